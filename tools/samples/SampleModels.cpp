#include "tools/samples/SampleModels.h"

#include "tools/samples/Animations.h"
#include "tools/samples/Figures.h"
#include "tools/samples/SampleTextures.h"
#include "tools/samples/Weapons.h"
#include "tools/writers/ImageWriters.h"
#include "tools/writers/Md3Writer.h"
#include "tools/writers/TextWriters.h"

#include <functional>
#include <vector>

namespace samples {

namespace {

enum class Format { Tga, Bmp, Jpeg };

struct ImageFile {
    std::string surface; // empty for an image no surface of the body uses
    std::string name;
    Format format;
    std::function<writers::Image()> paint;
};

struct Character {
    std::string folder;     // below the model root
    std::string skinFolder; // the folders written in front of image names in the skins
    Build build;
    char sex;
    std::string footsteps;
    std::vector<ImageFile> bodyImages;
};

std::string encode(const ImageFile& file)
{
    const writers::Image image = file.paint();
    switch (file.format) {
    case Format::Tga: return writers::encodeTga(image);
    case Format::Bmp: return writers::encodeBmp24(image);
    case Format::Jpeg: break;
    }
    return writers::encodeJpeg(image);
}

// Across the two characters the skins use every image kind the viewer
// reads: 24-bit and 32-bit Targa, JPEG and 24-bit bitmap.
std::vector<Character> characters()
{
    return {
        {"ModelLara", "models/characters/lara/", slenderBuild(), 'f', "normal",
         {{"l_legs", "legs.tga", Format::Tga, [] { return legsTexture(Figure::Slender); }},
          {"u_torso", "torso.tga", Format::Tga, [] { return torsoTexture(Figure::Slender, 4); }},
          {"u_arms", "arms.tga", Format::Tga, [] { return armsTexture(Figure::Slender); }},
          {"h_head", "head.jpg", Format::Jpeg, [] { return headTexture(Figure::Slender); }},
          {"h_hair", "hair.bmp", Format::Bmp, [] { return hairTexture(); }}}},
        {"ModelSarge", "models/characters/sarge/", bulkyBuild(), 'm', "boot",
         {{"l_legs", "legs.jpg", Format::Jpeg, [] { return legsTexture(Figure::Bulky); }},
          {"u_torso", "torso.bmp", Format::Bmp, [] { return torsoTexture(Figure::Bulky, 3); }},
          {"u_arms", "arms.jpg", Format::Jpeg, [] { return armsTexture(Figure::Bulky); }},
          {"h_head", "head.tga", Format::Tga, [] { return headTexture(Figure::Bulky); }},
          {"h_helmet", "helmet.tga", Format::Tga, [] { return helmetTexture(); }}}},
    };
}

std::string animationConfig(const Character& c)
{
    writers::AnimationConfig config;
    config.comments = {"animation config file", "legs frames are numbered after the torso frames"};
    config.sex = c.sex;
    config.footsteps = c.footsteps;
    config.lines = animationLines();
    return writers::animationConfigText(config);
}

std::string skin(const Character& c, const std::vector<std::string>& surfaces, const std::vector<std::string>& tags)
{
    std::vector<writers::SkinLine> lines;
    for (const auto& surface : surfaces)
        for (const auto& image : c.bodyImages)
            if (image.surface == surface)
                lines.push_back({surface, c.skinFolder + image.name});
    for (const auto& tag : tags)
        lines.push_back({tag, ""});
    return writers::skinText(lines);
}

void writeCharacter(const std::string& root, const Character& c)
{
    const std::string body = root + c.folder + "/Body/";
    ShaderNames shaders;
    for (const auto& image : c.bodyImages)
        shaders[image.surface] = c.skinFolder + image.name;
    const bool bulky = c.build.figure == Figure::Bulky;

    writers::writeFileBytes(body + "lower.md3", writers::serialiseMd3(makeLegs(c.build, shaders)));
    writers::writeFileBytes(body + "upper.md3", writers::serialiseMd3(makeTorso(c.build, shaders)));
    writers::writeFileBytes(body + "head.md3", writers::serialiseMd3(makeHead(c.build, shaders)));
    writers::writeFileBytes(body + "lower_default.skin", skin(c, {"l_legs"}, {"tag_torso"}));
    writers::writeFileBytes(body + "upper_default.skin", skin(c, {"u_torso", "u_arms"}, {"tag_head", "tag_weapon"}));
    writers::writeFileBytes(body + "head_default.skin", skin(c, {"h_head", bulky ? "h_helmet" : "h_hair"}, {}));
    writers::writeFileBytes(body + "animation.cfg", animationConfig(c));
    for (const auto& image : c.bodyImages)
        writers::writeFileBytes(body + image.name, encode(image));
}

void writeWeapons(const std::string& root)
{
    const std::string lara = root + "ModelLara/Weapon/";
    const std::vector<ImageFile> laraImages{
        {"w_railcase", "railgun.bmp", Format::Bmp, railCaseTexture},
        {"w_railgrip", "railgun2.bmp", Format::Bmp, railGripTexture},
        {"w_railrear", "railgun3.bmp", Format::Bmp, railRearTexture},
        {"w_raillcd", "railgun4.bmp", Format::Bmp, railDisplayTexture},
    };
    ShaderNames shaders;
    for (const auto& image : laraImages) {
        shaders[image.surface] = "models/weapons/railgun/" + image.name;
        writers::writeFileBytes(lara + image.name, encode(image));
    }
    writers::writeFileBytes(lara + "railgun.md3", writers::serialiseMd3(makeSlenderWeapon(shaders)));

    const std::string sarge = root + "ModelSarge/Weapon/";
    const std::vector<ImageFile> sargeImages{
        {"w_railgun1", "railgun1.jpg", Format::Jpeg, gunBodyTexture},
        {"w_railgun2", "railgun2.glow.jpg", Format::Jpeg, gunCoilTexture},
        {"w_railgun4", "railgun4.jpg", Format::Jpeg, gunGripTexture},
        {"w_railgun3", "railgun3.glow.jpg", Format::Jpeg, gunRailTexture},
    };
    shaders.clear();
    for (const auto& image : sargeImages) {
        shaders[image.surface] = "models/weapons/railgun/" + image.name;
        writers::writeFileBytes(sarge + image.name, encode(image));
    }
    shaders["w_railgun05"] = shaders["w_railgun1"];
    writers::writeFileBytes(sarge + "railgun.md3", writers::serialiseMd3(makeBulkyWeapon(shaders)));
}

} // namespace

void writeSampleModels(const std::string& modelRoot)
{
    std::string root = modelRoot;
    if (!root.empty() && root.back() != '/')
        root += '/';
    for (const auto& c : characters())
        writeCharacter(root, c);
    writeWeapons(root);
}

} // namespace samples
