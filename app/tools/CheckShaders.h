#pragma once
// The checker's rules for the shaders a character's skins name: a shader
// defined more than once, one the game cannot make as written (an unknown
// keyword, a stage image that is not there, a stage without an image), one
// without stages that does not hide its surface on purpose, and the images
// of its stages (CheckImages.h).
#include "CheckCore.h"
#include "CheckImages.h"

#include "game/Shaders.h"

#include <set>
#include <string>

class ShaderCheck {
public:
    ShaderCheck(CharacterFindings& findings, ImageCheck& images) : findings_(findings), images_(images) {}

    // Adds the findings of the shader texture, defined by definition and
    // named by skin at whereText; reportedImages as ImageCheck::Report takes
    // it. Throws nothing but std::bad_alloc.
    void Check(const std::string& skin, const std::string& whereText, const std::string& texture,
               const ShaderDefinition& definition, std::set<std::string>& reportedImages);

private:
    void reportDefinedTwice(const std::string& skin, const std::string& whereText, const std::string& texture,
                            const ShaderDefinition& definition);

    CharacterFindings& findings_;
    ImageCheck& images_;
    std::set<std::string> reportedTwice_; // skin and shader name of each shader-defined-twice finding
};
