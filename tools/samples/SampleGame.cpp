#include "tools/samples/SampleGame.h"

#include "platform/system/System.h"
#include "tools/samples/Animations.h"
#include "tools/samples/EffectTextures.h"
#include "tools/samples/Figures.h"
#include "tools/samples/GameScripts.h"
#include "tools/samples/GameTree.h"
#include "tools/samples/Painter.h"
#include "tools/samples/SampleTextures.h"
#include "tools/samples/Weapons.h"
#include "tools/writers/ImageWriters.h"
#include "tools/writers/Md3Writer.h"
#include "tools/writers/TextWriters.h"
#include "tools/writers/ZipArchive.h"

#include <algorithm>
#include <functional>
#include <map>
#include <set>

namespace samples {

namespace {

using writers::Image;

enum class Mount { FirstArchive, SecondArchive, Loose };

// The image file kinds the characters come with.
enum class Kind {
    Tga,                // type 2, bottom-left origin
    TgaTopLeft,         // type 2, top-left origin
    TgaRunLength,       // type 10
    TgaMapped,          // type 1
    TgaMappedRunLength, // type 9, top-left origin
    TgaGrey,            // type 3
    TgaGreyRunLength,   // type 11
    Jpeg,
    PngRgba,
    PngPalette,
};

// Six levels per channel leave at most 216 colours, few enough for a colour map.
constexpr int kMapLevels = 6;

const ChannelMix kRedSkin{{1.6f, 0.2f, 0.0f}, {0.0f, 0.45f, 0.0f}, {0.0f, 0.0f, 0.45f}};
const ChannelMix kBlueSkin{{0.4f, 0.0f, 0.0f}, {0.0f, 0.5f, 0.0f}, {0.0f, 0.3f, 1.3f}};
const ChannelMix kSteelBlue{{0.25f, 0.35f, 0.1f}, {0.3f, 0.45f, 0.15f}, {0.35f, 0.55f, 0.35f}};

struct ImageFile {
    std::string path; // game path; loose files go below the character's loose folder
    Mount mount;
    Kind kind;
    std::function<Image()> paint;
};

// One skin: the image of every surface. A skin covers the parts listed.
struct Skin {
    std::string name;
    Mount mount;
    std::map<std::string, std::string> paths; // by surface
    std::vector<std::string> parts{"lower", "upper", "head"};
    std::map<std::string, std::vector<writers::SkinLine>> extraLines{}; // by part, after the surfaces' own
};

struct Character {
    std::string name;
    Build build;
    Mount modelMount;          // parts and animation.cfg
    std::string looseFolder;   // the folder of loose files, in its letter case on disk
    std::map<std::string, float> tagScales; // by part and tag: "upper/tag_head"
    writers::AnimationConfig animation;
    ShaderNames shaders;
    std::vector<Skin> skins;
    std::vector<ImageFile> images;
    std::map<std::string, std::vector<writers::Md3Surface>> extraSurfaces; // by part, after its own surfaces
    // Surfaces written into the MD3 under another name than the skins use
    // ("u_torso" -> "u_torso_1", which the game stores as "u_torso").
    std::map<std::string, std::string> md3Names{};
    std::array<uint8_t, 3> iconColour{128, 128, 128};
};

struct Mounts {
    std::vector<GameFile> firstArchive, secondArchive, loose;

    std::vector<GameFile>& operator[](Mount m)
    {
        return m == Mount::FirstArchive ? firstArchive : m == Mount::SecondArchive ? secondArchive : loose;
    }
};

std::string encodeAs(Kind kind, const Image& image)
{
    using writers::TgaPixels;
    switch (kind) {
    case Kind::Tga: return writers::encodeTga(image);
    case Kind::TgaTopLeft: return writers::encodeTga(image, {true, "", TgaPixels::TrueColour, false});
    case Kind::TgaRunLength: return writers::encodeTga(image, {false, "", TgaPixels::TrueColour, true});
    case Kind::TgaMapped: return writers::encodeTga(image, {false, "", TgaPixels::ColourMapped, false});
    case Kind::TgaMappedRunLength: return writers::encodeTga(image, {true, "", TgaPixels::ColourMapped, true});
    case Kind::TgaGrey: return writers::encodeTga(image, {false, "", TgaPixels::Grey, false});
    case Kind::TgaGreyRunLength: return writers::encodeTga(image, {false, "", TgaPixels::Grey, true});
    case Kind::Jpeg: return writers::encodeJpeg(image);
    case Kind::PngRgba: return writers::encodePng(image, platform::PngColorType::Rgba);
    case Kind::PngPalette: return writers::encodePng(image, platform::PngColorType::Palette);
    }
    return {};
}

Colour fromBytes(const std::array<uint8_t, 3>& c) { return {c[0] / 255.0f, c[1] / 255.0f, c[2] / 255.0f}; }

// A torso picture in one flat colour with a darker belt and zip, so that the
// colour shows plainly wherever it is used.
Image flatTorso(const std::array<uint8_t, 3>& colour)
{
    const Colour base = fromBytes(colour);
    Canvas c(64, 64, base);
    c.rect(0, 0.93f, 1, 1, shade(base, 0.4f));
    c.line(0.5f, 0.05f, 0.5f, layout::kChest.t1, 0.02f, shade(base, 0.6f));
    return c.image(3);
}

// The picture with an opaque alpha channel added, as painting programs
// save it by default.
// A character's menu picture: a flat square in its colour.
Image iconImage(const std::array<uint8_t, 3>& colour)
{
    Image icon(32, 32, 3);
    for (size_t i = 0; i < icon.pixels.size(); ++i)
        icon.pixels[i] = colour[i % 3];
    return icon;
}

Image withAlpha(const Image& image)
{
    Image out(image.width, image.height, 4);
    for (std::size_t i = 0, o = 0; i < image.pixels.size(); i += 3, o += 4) {
        std::copy_n(image.pixels.begin() + static_cast<std::ptrdiff_t>(i), 3,
                    out.pixels.begin() + static_cast<std::ptrdiff_t>(o));
        out.pixels[o + 3] = 255;
    }
    return out;
}

void scaleTagAxes(writers::Md3Model& model, const std::string& part, const std::map<std::string, float>& scales)
{
    for (auto& frame : model.tags)
        for (auto& tag : frame) {
            const auto found = scales.find(part + "/" + tag.name);
            if (found == scales.end())
                continue;
            for (auto& axis : tag.axes)
                axis = {axis.x * found->second, axis.y * found->second, axis.z * found->second};
        }
}

writers::AnimationConfig animationConfig(char sex, const std::string& footsteps, bool windowsEditor)
{
    writers::AnimationConfig config;
    config.comments = {"animation config file", "legs frames are numbered after the torso frames"};
    config.sex = sex;
    config.footsteps = footsteps;
    config.lines = animationLines();
    if (windowsEditor) {
        config.lineEnd = "\r\n";
        config.separator = "   ";
    }
    return config;
}

Build tallBuild()
{
    Build b = bulkyBuild();
    b.thighLength = 11.5f;
    b.shinLength = 11.5f;
    b.hipZ = kGroundZ - b.footLo.z + b.shinLength + b.thighLength;
    b.chestRadii = {5.0f, 7.0f, 7.6f};
    b.shoulderHalfWidth = 7.8f;
    b.upperArmLength = 9.0f;
    b.forearmLength = 8.4f;
    return b;
}

Character bruno()
{
    const std::string dir = "models/players/bruno/";
    Character c{kBruno, bulkyBuild(), Mount::FirstArchive, dir, {}, animationConfig('m', "boot", true), {}, {}, {}, {}};
    c.tagScales = {{"lower/tag_torso", kBrunoTorsoTagScale},
                   {"upper/tag_head", kBrunoHeadTagScale},
                   {"upper/tag_weapon", kBrunoWeaponTagScale}};
    c.animation.keywords = {"fixedlegs", "fixedtorso"};
    c.animation.oneLine = true;
    c.shaders = {{"l_legs", dir + "legs.tga"},
                 {"u_torso", dir + "torso.tga"},
                 {"u_arms", dir + "arms.tga"},
                 {"h_head", dir + "head.tga"},
                 {"h_helmet", dir + "helmet.tga"},
                 {kTwoSidedSurface, kTwoSidedShader},
                 {kNoDrawSurface, kNoDrawShader}};
    c.extraSurfaces = {{"upper", {makeCape(c.build, kTwoSidedSurface, kTwoSidedShader)}},
                       {"head", {makeHeadBox(c.build, kNoDrawSurface, kNoDrawShader)}}};
    Skin base{kDefaultSkin, Mount::FirstArchive, c.shaders};
    Skin red{kBrunoSecondSkin, Mount::FirstArchive, c.shaders};
    red.paths["l_legs"] = kColourMappedImage;
    red.paths["u_torso"] = kRunLength32Image;
    red.paths[kTwoSidedSurface] = kOtherFolderShaderPath;
    // A second line for the torso, as a careless edit leaves it: the game
    // keeps the first.
    red.extraLines["upper"] = {{"u_torso", kOverriddenImage}};
    c.skins = {base, red};
    c.iconColour = {150, 90, 40};
    const Mount pak0 = Mount::FirstArchive;
    c.images = {
        {kRunLength24Image, pak0, Kind::TgaRunLength, [] { return legsTexture(Figure::Bulky); }},
        {kOverriddenImage, pak0, Kind::Tga, [] { return torsoTexture(Figure::Bulky, 3); }},
        {kOverriddenImage, Mount::SecondArchive, Kind::TgaRunLength, [] { return flatTorso(kOverrideColour); }},
        {kColourMappedRunLengthImage, pak0, Kind::TgaMappedRunLength,
         [] { return posterised(armsTexture(Figure::Bulky), kMapLevels); }},
        {kTopLeftImage, pak0, Kind::TgaTopLeft, [] { return headTexture(Figure::Bulky); }},
        {kGreyRunLengthImage, pak0, Kind::TgaGreyRunLength, helmetTexture},
        {kColourMappedImage, pak0, Kind::TgaMapped,
         [] { return posterised(remixed(legsTexture(Figure::Bulky), kRedSkin), kMapLevels); }},
        {kRunLength32Image, pak0, Kind::TgaRunLength, [] { return remixed(torsoTexture(Figure::Bulky, 4), kRedSkin); }},
        {kOtherFolderImage, pak0, Kind::Tga, [] { return remixed(armsTexture(Figure::Slender), kBlueSkin); }},
        {kTwoSidedImage, pak0, Kind::Tga, capeTexture},
    };
    return c;
}

Character mira()
{
    const std::string dir = "models/players/mira/";
    Character c{kMira, slenderBuild(), Mount::FirstArchive, dir, {}, animationConfig('f', "normal", true),
                {}, {}, {}, {}};
    c.tagScales = {{"upper/tag_head", kMiraHeadTagScale}};
    c.md3Names = {{"u_torso", "u_torso_1"}};
    c.iconColour = {60, 90, 170};
    c.shaders = {{"l_legs", kOtherCaseImage},
                 {"u_torso", kArchivedSkinImage},
                 {"u_arms", dir + "arms.tga"},
                 {"h_head", kOtherExtensionImage},
                 {kAlphaTestedSurface, kAlphaTestedShader}};
    Skin base{kDefaultSkin, Mount::FirstArchive, c.shaders};
    base.paths["l_legs"] = kOtherCasePath;
    base.paths["h_head"] = kOtherExtensionPath;
    Skin loose{kDefaultSkin, Mount::Loose, base.paths, {"upper"}};
    loose.paths["u_torso"] = kLooseSkinImage;
    Skin blue{kMiraSecondSkin, Mount::FirstArchive, c.shaders};
    blue.paths["u_torso"] = dir + "torso_blue.tga";
    blue.paths["u_arms"] = kOtherFolderImage;
    blue.paths[kAlphaTestedSurface] = kGreyImage;
    c.skins = {base, blue, loose};
    const Mount pak0 = Mount::FirstArchive;
    c.images = {
        {kOtherCaseImage, pak0, Kind::Tga, [] { return legsTexture(Figure::Slender); }},
        {kArchivedSkinImage, pak0, Kind::TgaTopLeft, [] { return torsoTexture(Figure::Slender, 3); }},
        {dir + "torso_blue.tga", pak0, Kind::Tga, [] { return remixed(torsoTexture(Figure::Slender, 4), kBlueSkin); }},
        {dir + "arms.tga", pak0, Kind::Tga, [] { return armsTexture(Figure::Slender); }},
        {kOtherExtensionImage, pak0, Kind::Jpeg, [] { return headTexture(Figure::Slender); }},
        {kGreyImage, pak0, Kind::TgaGrey, hairTexture},
        {kAlphaTestedImage, pak0, Kind::Tga, hairStrandsTexture},
        {kOtherFolderShaderImage, pak0, Kind::TgaRunLength, [] { return remixed(capeTexture(), kRedSkin); }},
        {kLooseSkinImage, Mount::Loose, Kind::TgaRunLength, [] { return flatTorso(kLooseSkinColour); }},
    };
    return c;
}

Character oskar()
{
    const std::string dir = kOskarArchiveFolder;
    Character c{kOskar, tallBuild(), Mount::SecondArchive, kOskarLooseFolder, {}, animationConfig('m', "normal", false),
                {}, {}, {}, {}};
    // A 26th line whose frames lie inside both parts whether or not a reader
    // moves it down with the legs lines.
    const int legsShift = frameTotal(0, kFirstLegsAnimation - 1) - frameTotal(0, kFirstTorsoAnimation - 1);
    c.animation.lines.push_back({legsShift + 4, 10, 0, 15, "TORSO_SALUTE"});
    c.iconColour = {70, 110, 130};
    // The legs' name starts with a slash, which the game drops from every
    // path it opens (the name is no script's shader: the image serves).
    c.shaders = {{"l_legs", "/" + dir + "legs.tga"},
                 {"u_torso", dir + "torso.tga"},
                 {"u_arms", dir + "arms.jpg"},
                 {"h_head", dir + "head.png"},
                 {"h_helmet", dir + "helmet.png"}};
    c.skins = {{kDefaultSkin, Mount::Loose, c.shaders}};
    const Mount loose = Mount::Loose;
    c.images = {
        {dir + "legs.tga", loose, Kind::Tga, [] { return remixed(legsTexture(Figure::Bulky), kSteelBlue); }},
        {dir + "torso.tga", loose, Kind::TgaRunLength, [] { return remixed(torsoTexture(Figure::Bulky, 3), kSteelBlue); }},
        {dir + "arms.jpg", loose, Kind::Jpeg, [] { return remixed(armsTexture(Figure::Bulky), kSteelBlue); }},
        {dir + "head.png", loose, Kind::PngRgba, [] { return withAlpha(remixed(headTexture(Figure::Bulky), kSteelBlue)); }},
        {dir + "helmet.png", loose, Kind::PngPalette,
         [] { return posterised(remixed(helmetTexture(), kSteelBlue), kMapLevels); }},
    };
    return c;
}

Character vesta()
{
    const std::string dir = std::string("models/players/") + kVesta + "/";
    Character c{kVesta, slenderBuild(), Mount::Loose, dir, {}, animationConfig('f', "energy", true), {}, {}, {}, {}};
    // The idle legs play backwards.
    for (writers::AnimationLine& line : c.animation.lines)
        if (line.name == "LEGS_IDLE")
            line.frameCount = -line.frameCount;
    c.iconColour = {30, 160, 150};
    auto shader = [&](const char* name) { return dir + name; };
    // The body's own shaders are named after their images, as real packs name them.
    c.shaders = {{"l_legs", shader("legs")},   {"u_torso", shader("torso")}, {"u_arms", shader("arms")},
                 {"u_cape", shader("cape")},   {"h_head", shader("head")},   {"h_hair", shader("hair")},
                 {"h_visor", shader("visor")}};
    c.extraSurfaces = {{"upper", {makeCape(c.build, "u_cape", shader("cape"))}},
                       {"head", {makeHeadBox(c.build, "h_visor", shader("visor"))}}};
    const char* const themes[][7] = {
        {"legs", "torso", "arms", "cape", "head", "hair", "visor"},
        {"pulse", "swirl", "breathe", "flag", "scan", "sprite", "hidden"},
        {"entity", "oneminus", "vertex", "exact", "portal", "ghost", "hidden"},
        {"triangle", "noise", "inverse", "vector", "decal", "sawtooth", "hidden"},
    };
    const char* const surfaces[] = {"l_legs", "u_torso", "u_arms", "u_cape", "h_head", "h_hair", "h_visor"};
    for (size_t skin = 0; skin < kEffectsSkins.size(); ++skin) {
        Skin s{kEffectsSkins[skin], Mount::Loose, {}};
        for (size_t i = 0; i < std::size(surfaces); ++i)
            s.paths[surfaces[i]] = shader(themes[skin][i]);
        c.skins.push_back(s);
    }
    const Mount loose = Mount::Loose;
    c.images = {
        {dir + "legs.tga", loose, Kind::TgaRunLength, effectsLegsTexture},
        {dir + "torso.tga", loose, Kind::Tga, effectsTorsoTexture},
        {dir + "arms.tga", loose, Kind::Tga, effectsArmsTexture},
        {dir + "cape.tga", loose, Kind::TgaRunLength, effectsCapeTexture},
        {dir + "head.tga", loose, Kind::TgaTopLeft, effectsHeadTexture},
        {dir + "chrome.tga", loose, Kind::Tga, chromeTexture},
        {dir + "lines.tga", loose, Kind::Tga, glowLinesTexture},
        {dir + "swirl.tga", loose, Kind::Tga, swirlTexture},
        {dir + "pulse.tga", loose, Kind::Tga, pulseTexture},
        {dir + "visor.tga", loose, Kind::Tga, visorTexture},
    };
    for (int frame = 1; frame <= 3; ++frame)
        c.images.push_back({dir + "hair" + std::to_string(frame) + ".tga", loose, Kind::Tga,
                            [frame] { return effectsHairTexture(frame); }});
    return c;
}

// The disk path of a character's loose file: its name in the loose folder.
std::string looseName(const Character& c, const std::string& gamePath)
{
    return c.looseFolder + gamePath.substr(gamePath.rfind('/') + 1);
}

void addFile(Mounts& mounts, const Character& c, Mount mount, const std::string& gamePath, std::string bytes)
{
    mounts[mount].push_back({mount == Mount::Loose ? looseName(c, gamePath) : gamePath, std::move(bytes)});
}

std::string skinText(const Skin& skin, const std::string& part, const writers::Md3Model& model)
{
    std::vector<writers::SkinLine> lines;
    for (const auto& surface : model.surfaces)
        lines.push_back({surface.name, skin.paths.at(surface.name)});
    if (const auto extra = skin.extraLines.find(part); extra != skin.extraLines.end())
        lines.insert(lines.end(), extra->second.begin(), extra->second.end());
    if (!model.tags.empty() && part != "head")
        for (const auto& tag : model.tags.front())
            lines.push_back({tag.name, ""});
    return writers::skinText(lines);
}

void addCharacter(Mounts& mounts, const Character& c)
{
    const std::string dir = "models/players/" + c.name + "/";
    std::map<std::string, writers::Md3Model> parts{{"lower", makeLegs(c.build, c.shaders)},
                                                   {"upper", makeTorso(c.build, c.shaders)},
                                                   {"head", makeHead(c.build, c.shaders)}};
    for (const auto& [part, surfaces] : c.extraSurfaces)
        parts[part].surfaces.insert(parts[part].surfaces.end(), surfaces.begin(), surfaces.end());
    for (auto& [part, model] : parts) {
        scaleTagAxes(model, part, c.tagScales);
        writers::Md3Model written = model;
        for (auto& surface : written.surfaces)
            if (const auto renamed = c.md3Names.find(surface.name); renamed != c.md3Names.end())
                surface.name = renamed->second;
        addFile(mounts, c, c.modelMount, dir + part + ".md3", writers::serialiseMd3(written));
    }
    addFile(mounts, c, c.modelMount, dir + "animation.cfg", writers::animationConfigText(c.animation));
    for (const auto& skin : c.skins)
        for (const auto& part : skin.parts)
            addFile(mounts, c, skin.mount, dir + part + "_" + skin.name + ".skin", skinText(skin, part, parts[part]));
    for (const auto& image : c.images)
        addFile(mounts, c, image.mount, image.path, encodeAs(image.kind, image.paint()));
    // The picture the game shows for a character in its menus: without one
    // the game refuses the character.
    std::set<std::string> icons;
    for (const auto& skin : c.skins)
        if (icons.insert(skin.name).second)
            addFile(mounts, c, skin.mount, dir + "icon_" + skin.name + ".tga", encodeAs(Kind::Tga, iconImage(c.iconColour)));
}

void addWeapon(Mounts& mounts)
{
    const std::string dir = std::string("models/weapons2/") + kWeapon + "/";
    const std::vector<std::pair<std::string, Kind>> images{
        {"railgun1.tga", Kind::Tga}, {"railgun2.jpg", Kind::Jpeg}, {"railgun3.tga", Kind::TgaRunLength},
        {"railgun4.jpg", Kind::Jpeg}};
    const std::function<Image()> painters[] = {gunBodyTexture, gunCoilTexture, gunRailTexture, gunGripTexture};
    ShaderNames shaders;
    for (std::size_t i = 0; i < images.size(); ++i) {
        shaders["w_railgun" + std::to_string(i + 1)] = dir + images[i].first;
        mounts.firstArchive.push_back({dir + images[i].first, encodeAs(images[i].second, painters[i]())});
    }
    shaders["w_railgun05"] = shaders["w_railgun1"];
    shaders["w_railgun3"] = "/" + shaders["w_railgun3"];
    shaders[kBlendedSurface] = kBlendedShader;
    // The weapon is laid out as exporters of real weapons lay theirs out:
    // each surface's shader names after its triangles.
    writers::Md3Model weapon = makeBulkyWeapon(shaders);
    weapon.shaderPlace = writers::Md3ShaderPlace::AfterTriangles;
    mounts.firstArchive.push_back({dir + kWeapon + ".md3", writers::serialiseMd3(weapon)});
}

Mounts gameFiles()
{
    Mounts mounts;
    for (const Character& c : {bruno(), mira(), oskar(), vesta()})
        addCharacter(mounts, c);
    addWeapon(mounts);
    mounts.firstArchive.push_back({kCharacterScript, characterScriptText()});
    mounts.secondArchive.push_back({kWeaponScript, weaponScriptText()});
    mounts.loose.push_back({kBrokenScript, brokenScriptText()});
    mounts.loose.push_back({kEffectsScript, effectsScriptText()});
    return mounts;
}

// Archive entries in the given order; with folders, each folder gets its own
// entry in front of its first file, as many archiving tools write them.
std::vector<writers::ZipEntry> archiveEntries(const std::vector<GameFile>& files, bool withFolders)
{
    std::vector<writers::ZipEntry> entries;
    std::set<std::string> folders;
    for (const auto& file : files) {
        for (std::size_t slash = file.path.find('/'); withFolders && slash != std::string::npos;
             slash = file.path.find('/', slash + 1)) {
            const std::string folder = file.path.substr(0, slash + 1);
            if (folders.insert(folder).second)
                entries.push_back({folder, {}, false});
        }
        // Images already compressed gain nothing from deflating.
        const std::string extension = platform::LowerCase(file.path.substr(file.path.rfind('.') + 1));
        const bool compressed = extension == "jpg" || extension == "png";
        entries.push_back({file.path, file.bytes, !compressed});
    }
    return entries;
}

} // namespace

void writeSampleGame(const std::string& gameRoot, GameLayout layout)
{
    std::string root = gameRoot;
    if (!root.empty() && root.back() != '/')
        root += '/';
    Mounts mounts = gameFiles();
    if (layout == GameLayout::Archives) {
        writers::writeZip(root + kFirstArchive, archiveEntries(mounts.firstArchive, true));
        writers::writeZip(root + kSecondArchive, archiveEntries(mounts.secondArchive, false));
        for (const auto& file : mounts.loose)
            writers::writeFileBytes(root + file.path, file.bytes);
        return;
    }
    GameTree tree;
    for (const Mount m : {Mount::FirstArchive, Mount::SecondArchive, Mount::Loose})
        mountOver(tree, mounts[m]);
    for (const auto& [key, file] : tree)
        writers::writeFileBytes(root + file.path, file.bytes);
}

} // namespace samples
