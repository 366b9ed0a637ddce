#pragma once
// The checker's rules for the images a character's skins and shaders draw:
// images their reader refuses, Targa images the game's own reader refuses,
// and Targa origin bits the game ignores.
#include "CheckCore.h"

#include "textures/Textures.h"

#include <map>
#include <optional>
#include <set>
#include <string>

class ImageCheck {
public:
    explicit ImageCheck(CharacterFindings& findings) : findings_(findings) {}

    // Adds the finding of image (a path of the game data) for skin, named
    // at whereText, unless reportedImages (lower-case paths) already holds
    // the image; each image is decoded once per character. Throws nothing
    // but std::bad_alloc.
    void Report(const std::string& skin, const std::string& whereText, const std::string& image,
                std::set<std::string>& reportedImages);

private:
    // What the readers, and the game's own Targa reader, say about an image.
    struct Judgement {
        std::optional<std::string> failure;
        std::optional<TargaGameReading> targa;
    };
    const Judgement& judge(const std::string& path);
    void reportOrientation(const std::string& skin, const std::string& image, const TargaGameReading& targa,
                           const std::string& where);

    CharacterFindings& findings_;
    std::map<std::string, Judgement> images_; // lower-case path -> what the readers say
};
