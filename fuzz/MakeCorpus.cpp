// Writes the seed inputs of every fuzz target: files of the sample characters
// and small hand-made cases around the edges of each format. The output is the
// same on every run. Usage: quillmo_fuzz_corpus FOLDER (normally fuzz/corpus).
#include "Targets.h"
#include "TargetSupport.h"

#include "OpglLib/OpglLight.h"
#include "OpglLib/OpglManage.h"
#include "OpglLib/QueltoLogo.h"
#include "platform/images/PngFile.h"
#include "platform/system/System.h"
#include "tools/samples/Animations.h"
#include "tools/samples/SampleGame.h"
#include "tools/samples/SampleModels.h"
#include "tools/samples/SkinnedCharacter.h"
#include "tools/writers/ImageWriters.h"
#include "tools/writers/Md3Writer.h"
#include "tools/writers/TextWriters.h"
#include "tools/writers/ZipArchive.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class Corpus {
public:
    explicit Corpus(fs::path root) : root_(std::move(root)) {}

    void add(const std::string& target, const std::string& name, const std::string& bytes) const
    {
        writers::writeFileBytes((root_ / target / name).string(), bytes);
    }

private:
    fs::path root_;
};

writers::Md3Surface triangleSurface(const std::string& name, int frames)
{
    writers::Md3Surface surface;
    surface.name = name;
    surface.shaders = {"models/fuzz/" + name};
    surface.triangles = {{0, 1, 2}};
    surface.texCoords = {{0.0f, 0.0f}, {1.0f, 0.0f}, {0.0f, 1.0f}};
    for (int f = 0; f < frames; ++f) {
        const float z = static_cast<float>(f);
        surface.frames.push_back({{{0, 0, z}, {0, 0, 1}}, {{1, 0, z}, {0, 0, 1}}, {{0, 1, z}, {1, 0, 0}}});
    }
    return surface;
}

writers::Md3Model smallModel(int frames, const std::vector<std::string>& tagNames, int surfaces)
{
    writers::Md3Model model;
    model.name = "fuzz";
    model.frameCount = frames;
    for (int f = 0; f < frames; ++f) {
        std::vector<writers::Md3Tag> row;
        for (const std::string& name : tagNames)
            row.push_back({name, {0, 0, static_cast<float>(f)}});
        model.tags.push_back(row);
    }
    for (int s = 0; s < surfaces; ++s) {
        std::string name = "s"; // appended: "s" + to_string trips a false -Wrestrict at -O3
        name += std::to_string(s);
        model.surfaces.push_back(triangleSurface(name, frames));
    }
    return model;
}

void addModels(const Corpus& corpus, const fs::path& samples)
{
    corpus.add("md3", "lara-railgun.md3", readFile(samples / "ModelLara/Weapon/railgun.md3"));
    corpus.add("md3", "sarge-railgun.md3", readFile(samples / "ModelSarge/Weapon/railgun.md3"));
    corpus.add("md3", "sarge-head.md3", readFile(samples / "ModelSarge/Body/head.md3"));
    corpus.add("md3", "empty.md3", writers::serialiseMd3(smallModel(0, {}, 0)));
    corpus.add("md3", "one-triangle.md3", writers::serialiseMd3(smallModel(1, {"tag_torso"}, 1)));
    const std::string twoFrames = writers::serialiseMd3(smallModel(2, {"tag_head", "tag_weapon"}, 2));
    corpus.add("md3", "two-frames-two-surfaces.md3", twoFrames);
    std::string lowerCase = twoFrames;
    lowerCase.replace(writers::md3::kIdent, 4, "idp3");
    corpus.add("md3", "lower-case-ident.md3", lowerCase);
    std::string oldVersion = twoFrames;
    writers::patchInt32(oldVersion, writers::md3::kVersionField, 14);
    corpus.add("md3", "other-version.md3", oldVersion);
}

writers::Image gradient(int width, int height, int channels)
{
    writers::Image image(width, height, channels);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = image.at(x, y);
            for (int c = 0; c < channels; ++c)
                p[c] = static_cast<uint8_t>(x * 40 + y * 25 + c * 70);
        }
    }
    return image;
}

std::string bytesText(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

// The fields of a Targa header the game's rules read differently.
struct TargaSeed {
    uint8_t type;
    uint8_t depth;
    uint8_t descriptor;
    uint16_t mapLength;
    uint8_t mapBits;
    std::string map;
    std::string data;
};

// An 18-byte Targa header for a 3 x 2 image, then the colour map and data.
std::string targaFile(const TargaSeed& seed)
{
    const char mapType = seed.mapLength != 0 ? 1 : 0;
    std::string out{'\0', mapType, static_cast<char>(seed.type), 0, 0};
    out += {static_cast<char>(seed.mapLength & 0xFF), static_cast<char>(seed.mapLength >> 8),
            static_cast<char>(seed.mapBits), 0, 0, 0, 0, 3, 0, 2, 0, static_cast<char>(seed.depth),
            static_cast<char>(seed.descriptor)};
    return out + seed.map + seed.data;
}

// Targa files of the types and depths only the game's rules read, with
// run-length packets that cross the row end.
void addGameTargas(const Corpus& corpus)
{
    const std::string map24("\x00\x00\xFF\x00\xFF\x00\xFF\x00\x00", 9);
    corpus.add("targa", "mapped-24.tga", targaFile({1, 8, 0, 3, 24, map24, std::string("\0\1\2\2\1\0", 6)}));
    corpus.add("targa", "mapped-16-run-length.tga",
               targaFile({9, 8, 1, 2, 16, std::string("\x00\x7C\xE0\x83", 4), std::string("\x83\1\x01\0\1", 5)}));
    corpus.add("targa", "true-24-run-length.tga",
               targaFile({10, 24, 0, 0, 0, "", std::string("\x83\1\2\3\x01\4\5\6\7\x08\x09", 11)}));
    corpus.add("targa", "true-32-run-length-top-left.tga",
               targaFile({10, 32, 0x28, 0, 0, "", std::string("\x85\1\2\3\4", 5)}));
    corpus.add("targa", "true-15.tga", targaFile({2, 15, 0, 0, 0, "", std::string(12, '\x42')}));
    corpus.add("targa", "grey-8.tga", targaFile({3, 8, 0x10, 0, 0, "", "\x10\x20\x30\x40\x50\x60"}));
    corpus.add("targa", "grey-16-run-length.tga",
               targaFile({11, 16, 8, 0, 0, "", std::string("\x02\1\2\3\4\5\6\x82\7\x08", 10)}));
}

// PNG files of every colour type, some of them with transparency, 16-bit
// samples or interlacing.
void addPngs(const Corpus& corpus)
{
    auto add = [&](const char* name, platform::PngColorType type, int depth, int width, int height, bool interlaced,
                   auto&& finish) {
        platform::PngLayout layout;
        layout.width = width;
        layout.height = height;
        layout.colorType = type;
        layout.bitDepth = depth;
        layout.interlaced = interlaced;
        finish(layout);
        const int channels = type == platform::PngColorType::Rgb ? 3 : type == platform::PngColorType::Rgba ? 4
                             : type == platform::PngColorType::GreyAlpha                                   ? 2
                                                                                                          : 1;
        std::vector<uint8_t> rows(static_cast<size_t>((width * channels * depth + 7) / 8 * height));
        for (size_t i = 0; i < rows.size(); ++i)
            rows[i] = static_cast<uint8_t>(type == platform::PngColorType::Palette ? i % 3 * 0x55 : i * 37);
        corpus.add("png", name, bytesText(platform::EncodePng(layout, rows)));
    };
    auto plain = [](platform::PngLayout&) {};
    add("rgb-8.png", platform::PngColorType::Rgb, 8, 3, 2, false, plain);
    add("rgba-8-interlaced.png", platform::PngColorType::Rgba, 8, 9, 7, true, plain);
    add("grey-1.png", platform::PngColorType::Grey, 1, 9, 2, false, plain);
    add("grey-alpha-16.png", platform::PngColorType::GreyAlpha, 16, 2, 2, false, plain);
    add("rgb-16-transparent.png", platform::PngColorType::Rgb, 16, 2, 2, false,
        [](platform::PngLayout& l) { l.transparentColor = std::array<uint16_t, 3>{0x2500, 0x4a00, 0x6f00}; });
    add("palette-2-alpha.png", platform::PngColorType::Palette, 2, 5, 3, false, [](platform::PngLayout& l) {
        l.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255};
        l.paletteAlpha = {0, 128};
    });
}

void addImages(const Corpus& corpus, const fs::path& samples)
{
    corpus.add("bitmap", "lara-hair.bmp", readFile(samples / "ModelLara/Body/hair.bmp"));
    corpus.add("bitmap", "lara-railgun2.bmp", readFile(samples / "ModelLara/Weapon/railgun2.bmp"));
    corpus.add("bitmap", "one-pixel.bmp", writers::encodeBmp24(gradient(1, 1, 3)));
    const std::string padded = writers::encodeBmp24(gradient(3, 2, 3));
    corpus.add("bitmap", "padded-rows.bmp", padded);
    // Height -2: the same rows stored top-down.
    std::string topDown = padded;
    writers::patchInt32(topDown, 22, -2);
    corpus.add("bitmap", "top-down.bmp", topDown);

    corpus.add("targa", "lara-arms.tga", readFile(samples / "ModelLara/Body/arms.tga"));
    corpus.add("targa", "rgb-2x2.tga", writers::encodeTga(gradient(2, 2, 3)));
    corpus.add("targa", "rgba-top-left-id.tga", writers::encodeTga(gradient(3, 1, 4), {true, "id"}));
    addGameTargas(corpus);
    addPngs(corpus);

    corpus.add("jpeg", "sarge-arms.jpg", readFile(samples / "ModelSarge/Body/arms.jpg"));
    corpus.add("jpeg", "sarge-railgun2-glow.jpg", readFile(samples / "ModelSarge/Weapon/railgun2.glow.jpg"));
    corpus.add("jpeg", "one-pixel.jpg", writers::encodeJpeg(gradient(1, 1, 3)));
    corpus.add("jpeg", "odd-size.jpg", writers::encodeJpeg(gradient(9, 7, 3), 50));
}

void addTextFiles(const Corpus& corpus, const fs::path& samples)
{
    for (const char* character : {"Lara", "Sarge"}) {
        const fs::path body = samples / ("Model" + std::string(character)) / "Body";
        for (const char* part : {"lower", "upper", "head"}) {
            corpus.add("skin", std::string(character) + "-" + part + ".skin",
                       readFile(body / (std::string(part) + "_default.skin")));
        }
        corpus.add("animation", std::string(character) + ".cfg", readFile(body / "animation.cfg"));
    }
    corpus.add("skin", "edges.skin",
               "tag_torso,\r\nTAG_head,models/x/head.TGA\r\n,a/b.jpg\r\nnocomma/img.bmp\rx\nu_arms,ab\n"
               "h_head,models/characters/head.jpg.txt\nl_legs,legs.tga\n");

    writers::AnimationConfig config;
    config.comments = {"edges"};
    config.lines = {{0, 30, 0, 25, "BOTH_DEATH1"}, {30, 1, 0, 25, "BOTH_DEAD1"}, {31, -5, 0, 0, "TORSO_GESTURE"},
                    {2147483647, 2, 0, -1, "LEGS_WALKCR"}};
    corpus.add("animation", "edges.cfg", writers::animationConfigText(config));
    corpus.add("animation", "bad-number.cfg", "0\t30\tx\t25\t\t// BOTH_DEATH1\n");
}

// The settings file the components write with their defaults.
std::string componentSettings(const fs::path& folder)
{
    platform::SetModuleFileName((folder / "Quillmo").string());
    TGLLighter::Create()->Free();
    TGLManager::Create()->Free();
    TGLQueltoLogo::Create()->Free();
    platform::SetModuleFileName("");
    return readFile(folder / "Quillmo.ini");
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

void addSettings(const Corpus& corpus, const fs::path& work)
{
    const std::string saved = componentSettings(work);
    corpus.add("settings", "components", saved);
    corpus.add("settings", "components-crlf", replaceAll(saved, "\n", "\r\n"));
    corpus.add("settings", "edges",
               "; comment\n[tgllighter]\nFLights0=00\nFLights1=0G\nFLights2=ABC\n mTGLLighter = $10 \n"
               "[TGLLighter]\nFLights0=FFFF\n[TGLQueltoLogo\nFScale=1e309\n[TGLQueltoLogo]\nFScale=+2.5\n"
               "FMixRate=nan\nFMixLogoColor=-1\nFClrAmbient=0000803F0000803F\n[TGLManager]\nFAxisLength=0x10\n");
}

// Shader scripts as character packs write them, and broken ones.
// The sample game's animation files (CRLF, spaces, keyword lines) and lines
// the game's reading must refuse.
void addGameAnimations(const Corpus& corpus, const fs::path& game)
{
    for (const char* name : {samples::kBruno, samples::kMira, samples::kOskar})
        corpus.add("gameanimation", std::string(name) + ".cfg",
                   readFile(game / "models/players" / name / "animation.cfg"));
    corpus.add("gameanimation", "malformed.cfg",
               "sex\r\nheadoffset 1 2\r\nwalk 0 1 2 3\r\n0 10 x 20 // bad\r\n0 1 2\r\n-5 +3 0 2147483647\r\n"
               "99999999999 1 1 1\r\nfixedlegs please\r\n");
}

// Small archives: stored and deflated entries, folder entries, names that
// try to leave the game data, and one of the sample game's skins and parts.
void addArchives(const Corpus& corpus, const fs::path& work, const fs::path& game)
{
    const auto archive = [&](const std::string& name, const std::vector<writers::ZipEntry>& entries) {
        const std::string path = (work / name).string();
        writers::writeZip(path, entries);
        corpus.add("pk3", name, readFile(path));
    };
    archive("stored.pk3", {{"models/", "", false}, {"models/players/", "", false},
                           {"models/players/a/lower_default.skin", "l_legs,models/players/a/legs.tga\n", false}});
    archive("deflated.pk3", {{"scripts/a.shader", "a { { map a.tga } }\n", true},
                             {"models/players/A/Upper.MD3", std::string(300, 'x'), true},
                             {"models/players/a/upper.md3", std::string(40, 'y'), true}});
    archive("outside.pk3", {{"../evil.txt", "out", false}, {"/etc/x", "abs", true}, {"a\\b.txt", "back", false}});
    archive("character.pk3", {{"models/players/oskar/animation.cfg",
                                readFile(game / "models/players/oskar/animation.cfg"), true},
                               {"models/players/oskar/head.md3", readFile(game / "models/players/oskar/head.md3"),
                                true}});
}

void addShaderScripts(const Corpus& corpus)
{
    const std::string character = "// the sample character's surfaces\n"
                                  "models/players/sample/hair\n"
                                  "{\n"
                                  "\tcull none\n"
                                  "\tdeformVertexes wave 100 sin 0 0.5 0 0.4\n"
                                  "\t{\n"
                                  "\t\tmap models/players/sample/hair.tga\n"
                                  "\t\talphaFunc GE128\n"
                                  "\t\tdepthWrite\n"
                                  "\t\trgbGen lightingDiffuse\n"
                                  "\t}\n"
                                  "}\n\n"
                                  "models/players/sample/visor\n"
                                  "{\n"
                                  "\t{\n"
                                  "\t\tmap $lightmap\n"
                                  "\t\trgbGen identity\n"
                                  "\t}\n"
                                  "\t{\n"
                                  "\t\tanimMap 4 models/players/sample/visor1.tga models/players/sample/visor2.tga\n"
                                  "\t\tblendFunc GL_SRC_ALPHA GL_ONE_MINUS_SRC_ALPHA\n"
                                  "\t\ttcMod scroll 0.1 0\n"
                                  "\t}\n"
                                  "\t{\n"
                                  "\t\tmap textures/effects/envmap.tga\n"
                                  "\t\tblendFunc add\n"
                                  "\t\ttcGen environment\n"
                                  "\t}\n"
                                  "}\n\n"
                                  "models/players/sample/shadow { surfaceparm nodraw }\n"
                                  "models/players/sample/glow\n"
                                  "{\n"
                                  "\tcull disable /* both faces */\n"
                                  "\t{ clampMap $whiteimage\n blendFunc filter\n alphaFunc GT0 }\n"
                                  "}\n";
    corpus.add("shader", "character.shader", character);
    corpus.add("shader", "character-crlf.shader", replaceAll(character, "\n", "\r\n"));
    corpus.add("shader", "edges.shader",
               "\"Models\\Players\\Quoted Name\" {\n{ MAP *white\nBLENDFUNC gl_dst_color GL_SRC_COLOR }\n}\n"
               "twice { } twice { cull twosided }\n/* a comment\nover lines */ deep { { { { map x.tga } } } }\n"
               "paths { { map textures//a.tga// } }\nempty { { animMap 10 } { map \"\" } }\n"
               "hidden\n{\n\tsurfaceparm nodraw\n\t{\n\t\tmap a.tga\n\t\tblendFunc add\n\t}\n}\n");
    corpus.add("shader", "close-without-shader.shader", "first { { map a.tga } }\n}\nlost { }\n");
    corpus.add("shader", "end-inside-stage.shader", "first { }\nlost {\n\t{\n\t\tmap a.tga\n");
    corpus.add("shader", "stray-token.shader", "first { }\nstray\nlost\n{\n}\n");
}

// A part of a few frames with the sample's surface and tag names, so that
// the sample skins and animation tables fit it, or plainly do not.
std::string namedPart(int frames, const std::vector<std::string>& tagNames,
                      const std::vector<std::string>& surfaceNames)
{
    writers::Md3Model model = smallModel(frames, tagNames, 0);
    for (const std::string& name : surfaceNames)
        model.surfaces.push_back(triangleSurface(name, frames));
    return writers::serialiseMd3(model);
}

// The checker's input for the files of a character folder, with the parts
// given instead of the folder's.
std::string characterInput(const fs::path& folder, const std::array<std::string, 3>& parts)
{
    std::string input;
    for (size_t i = 0; i < std::size(fuzz::kCheckerFiles); ++i) {
        if (i > 0)
            input += fuzz::kCheckerSeparator;
        input += i < parts.size() ? parts[i] : readFile(folder / fuzz::kCheckerFiles[i]);
    }
    return input;
}

// The input with every skin line naming the one image the drawing targets
// put beside each input (its icon), so that its surfaces are drawn.
std::string withIconSkins(const std::string& input)
{
    std::vector<std::string> pieces;
    for (std::string_view piece : fuzz::support::checkerPieces(input))
        pieces.emplace_back(piece);
    for (size_t i = 3; i < 6 && i < pieces.size(); ++i) {
        std::istringstream lines(pieces[i]);
        std::string line, skin;
        while (std::getline(lines, line)) {
            const size_t comma = line.find(',');
            if (comma != std::string::npos && comma + 1 < line.size())
                line = line.substr(0, comma + 1) + "models/players/fuzz/icon_default.tga";
            skin += line + "\n";
        }
        pieces[i] = skin;
    }
    std::string joined;
    for (size_t i = 0; i < pieces.size(); ++i)
        joined += (i > 0 ? std::string(fuzz::kCheckerSeparator) : std::string()) + pieces[i];
    return joined;
}

// Character folders of the sample characters' skins and animation tables,
// with small parts: parts as long as the tables need, parts too short for
// them, and a game-style folder with parts missing.
void addCharacters(const Corpus& corpus, const fs::path& work)
{
    const int legsFrames = samples::frameTotal(0, samples::kFirstTorsoAnimation - 1) +
                           samples::frameTotal(samples::kFirstLegsAnimation, samples::kAnimationCount - 1);
    const int torsoFrames = samples::frameTotal(0, samples::kFirstLegsAnimation - 1);
    const fs::path sarge = work / "Model/ModelSarge/Body";
    corpus.add("checker", "sarge",
               characterInput(sarge, {namedPart(legsFrames, {"tag_torso"}, {"l_legs"}),
                                      namedPart(torsoFrames, {"tag_head", "tag_weapon"}, {"u_torso", "u_arms"}),
                                      namedPart(1, {}, {"h_head", "h_helmet"})}));
    const fs::path lara = work / "Model/ModelLara/Body";
    corpus.add("checker", "lara-short-parts",
               characterInput(lara, {namedPart(2, {"tag_torso"}, {"l_legs"}), namedPart(2, {"tag_head"}, {"u_torso"}),
                                     namedPart(1, {}, {"h_head", "h_hair"})}));
    samples::writeSampleGame((work / "Game").string(), samples::GameLayout::Loose);
    const std::string sargeParts = characterInput(sarge, {namedPart(legsFrames, {"tag_torso"}, {"l_legs"}),
                                                          namedPart(torsoFrames, {"tag_head", "tag_weapon"},
                                                                    {"u_torso", "u_arms"}),
                                                          namedPart(1, {}, {"h_head", "h_helmet"})});
    const std::string brunoWithoutHead =
        characterInput(work / "Game/models/players/bruno",
                       {namedPart(3, {"tag_torso"}, {"l_legs"}), namedPart(3, {"tag_weapon"}, {"u_torso"}), ""});
    corpus.add("checker", "bruno-without-head", brunoWithoutHead);

    // The tools that draw take the same inputs, and what once broke the
    // export: an entry of a billion frames, tags at no number or at the
    // largest float, a tag name that is no UTF-8.
    const std::string shortParts = characterInput(
        lara, {namedPart(2, {"tag_torso"}, {"l_legs"}), namedPart(2, {"tag_head"}, {"u_torso"}), namedPart(1, {}, {"h_head"})});
    for (const char* target : {"export", "record"}) {
        corpus.add(target, "sarge", withIconSkins(sargeParts));
        corpus.add(target, "bruno-without-head", withIconSkins(brunoWithoutHead));
        std::string billion = withIconSkins(shortParts);
        billion += "\n5 999999999 999999999 25\n";
        corpus.add(target, "a-billion-frames", billion);
    }
    auto tagAt = [&](float origin, const std::string& tagName) {
        writers::Md3Model legs = smallModel(2, {tagName}, 0);
        legs.surfaces.push_back(triangleSurface("l_legs", 2));
        for (auto& row : legs.tags)
            for (writers::Md3Tag& tag : row)
                tag.origin = {origin, -origin, origin};
        return withIconSkins(characterInput(lara, {writers::serialiseMd3(legs), namedPart(2, {"tag_head"}, {"u_torso"}),
                                                   namedPart(1, {}, {"h_head"})}));
    };
    corpus.add("export", "tags-at-nan", tagAt(std::nanf(""), "tag_torso"));
    corpus.add("export", "tags-at-largest-float", tagAt(3.4e38f, "tag_torso"));
    corpus.add("export", "tag-name-no-utf8", tagAt(1, "tag_\xff\xfe"));
}

// The skinned sample character, as a modelling tool writes one.
void addImports(const Corpus& corpus)
{
    const std::string glb = samples::SkinnedCharacterGlb(samples::SampleSkinnedCharacter());
    corpus.add("import", "skinned.glb", glb);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: quillmo_fuzz_corpus FOLDER\n");
        return 2;
    }
    try {
        std::string pattern = (fs::temp_directory_path() / "quillmo-corpus-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a temporary folder");
        const fs::path work = pattern;
        samples::writeSampleModels((work / "Model").string());
        samples::writeSampleGame((work / "Game").string(), samples::GameLayout::Loose);
        const Corpus corpus{fs::path(argv[1])};
        addGameAnimations(corpus, work / "Game");
        addArchives(corpus, work, work / "Game");
        addModels(corpus, work / "Model");
        addImages(corpus, work / "Model");
        addTextFiles(corpus, work / "Model");
        addShaderScripts(corpus);
        addCharacters(corpus, work);
        addImports(corpus);
        addSettings(corpus, work);
        fs::remove_all(work);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quillmo_fuzz_corpus: %s\n", error.what());
        return 1;
    }
    return 0;
}
