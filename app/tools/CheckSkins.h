#pragma once
// The checker's rules for a character's skins: whether the game finds and
// reads each part's skin file, lines it reads otherwise than they say,
// surfaces named twice or not at all, texture names that are neither image
// nor shader (shaders and images go on to CheckShaders.h and
// CheckImages.h), and the icon of each skin.
#include "CheckCore.h"
#include "CheckImages.h"
#include "CheckParts.h"
#include "CheckShaders.h"

#include "game/GameData.h"
#include "game/GameSkin.h"

#include <array>
#include <map>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

class SkinCheck {
public:
    // The skins of the character whose files are in folder, with its parts
    // as CheckParts read them and the game root's shader scripts.
    SkinCheck(const std::string& folder, const ShaderTable& shaders, const CharacterParts& parts,
              CharacterFindings& findings);

    // Every skin any part has a file of, in name order ignoring letter case.
    std::vector<std::string> SkinNames() const;

    // Counts the skin and adds its findings: each part's skin file in part
    // order, then its icon. Throws nothing but std::bad_alloc.
    void Check(const std::string& skin);

private:
    void checkSkinFile(const std::string& skin, const FoundFile& file, int partIndex,
                       std::set<std::string>& reportedImages);
    void checkMisreads(const std::string& skin, const std::string& path, const GameSkin& read);
    void checkEntries(const std::string& skin, const std::string& path, const GameSkin& read, int partIndex,
                      std::set<std::string>& reportedImages);
    void checkBareSurfaces(const std::string& skin, const std::string& path, const PartFile& part,
                           const std::map<std::string, int>& firstLines);
    void checkIcon(const std::string& skin, const FoundFile& icon);
    void checkTexture(const std::string& skin, const Place& where, const std::string& whereText,
                      const std::string& texture, std::set<std::string>& reportedImages);
    const SurfaceName& resolve(const std::string& texture);

    const std::string& folder_;
    const ShaderTable& shaders_;
    const CharacterParts& parts_;
    CharacterFindings& findings_;
    ImageCheck images_;
    ShaderCheck shaderCheck_;
    std::array<std::unordered_set<std::string>, kPartCount> surfaces_; // each part's surface names, lower case
    std::map<std::string, SurfaceName> textures_; // lower-case texture name -> what it stands for
};
