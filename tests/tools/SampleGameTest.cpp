#include "Md3Parse.h"
#include "TargaPackets.h"

#include "game/GameShader.h"
#include "game/Shaders.h"
#include "platform/system/Errors.h"
#include "platform/system/System.h"
#include "support/TempDir.h"
#include "tools/samples/GameTree.h"
#include "tools/samples/SampleGame.h"
#include "tools/writers/ZipArchive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <array>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>

namespace {

using samples::GameTree;
using platform::LowerCase;
using toolstest::parseMd3;
using writers::Vec3;

namespace fs = std::filesystem;

std::map<std::string, std::string> diskFiles(const std::string& root)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file()) {
            std::ifstream in(entry.path(), std::ios::binary);
            std::ostringstream bytes;
            bytes << in.rdbuf();
            files[fs::relative(entry.path(), root).generic_string()] = bytes.str();
        }
    return files;
}

TEST(ResolveGameTree, LaterMountsWinIgnoringLetterCase)
{
    testsupport::TempDir root;
    // Archives mount in name order ignoring case: pak0, then PAK1, then pak2.
    writers::writeZip(root.file("PAK1.PK3"), {{"Models/", {}}, {"Models/X.txt", "one"}, {"A.txt", "a1"}});
    writers::writeZip(root.file("pak0.pk3"), {{"models/x.TXT", "zero"}, {"a.txt", "a0"}, {"b.txt", "b0"}});
    writers::writeZip(root.file("pak2.pk3"), {{"b.TXT", "b2"}});
    root.write("MODELS/x.txt", "loose");
    root.write("sub/inner.pk3", "not mounted, only a file");
    const GameTree tree = samples::resolveGameTree(root.path());
    std::map<std::string, std::pair<std::string, std::string>> seen;
    for (const auto& [key, file] : tree)
        seen[key] = {file.path, file.bytes};
    EXPECT_EQ(seen, (std::map<std::string, std::pair<std::string, std::string>>{
                        {"a.txt", {"A.txt", "a1"}},
                        {"b.txt", {"b.TXT", "b2"}},
                        {"models/x.txt", {"MODELS/x.txt", "loose"}},
                        {"sub/inner.pk3", {"sub/inner.pk3", "not mounted, only a file"}}}));

    root.write("models/X.txt", "same path as MODELS/x.txt");
    EXPECT_THROW(samples::resolveGameTree(root.path()), std::invalid_argument);
    EXPECT_THROW(samples::resolveGameTree(root.file("missing")), platform::EInOutError);
}

// Generating takes a few seconds; the suite shares one folder per layout.
class SampleGame : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        archives_ = std::make_unique<testsupport::TempDir>();
        loose_ = std::make_unique<testsupport::TempDir>();
        samples::writeSampleGame(archives_->path(), samples::GameLayout::Archives);
        samples::writeSampleGame(loose_->path(), samples::GameLayout::Loose);
        tree_ = std::make_unique<GameTree>(samples::resolveGameTree(archives_->path()));
        // The scripts as the game finds them: every scripts/*.shader file.
        shaders_ = std::make_unique<ShaderTable>();
        for (const auto& [key, file] : *tree_)
            if (key.rfind("scripts/", 0) == 0 && key.size() > 7 && key.substr(key.size() - 7) == ".shader")
                shaders_->AddFile(file.path, file.bytes, scriptProblems_);
    }
    static void TearDownTestSuite()
    {
        archives_.reset();
        loose_.reset();
        tree_.reset();
        shaders_.reset();
        scriptProblems_.clear();
    }

    static const std::string& file(const std::string& path)
    {
        static const std::string none;
        // The game drops one leading slash from every path it opens.
        const auto found = tree_->find(LowerCase(path.rfind('/', 0) == 0 ? path.substr(1) : path));
        EXPECT_NE(found, tree_->end()) << path;
        return found == tree_->end() ? none : found->second.bytes;
    }
    static std::string archived(const char* archive, const std::string& path)
    {
        for (const auto& entry : writers::readZip(archives_->file(archive)))
            if (entry.name == path)
                return entry.bytes;
        ADD_FAILURE() << path << " is not in " << archive;
        return {};
    }

    static std::unique_ptr<testsupport::TempDir> archives_, loose_;
    static std::unique_ptr<GameTree> tree_;
    static std::unique_ptr<ShaderTable> shaders_;
    static std::vector<ShaderProblem> scriptProblems_;
};

std::unique_ptr<testsupport::TempDir> SampleGame::archives_, SampleGame::loose_;
std::unique_ptr<GameTree> SampleGame::tree_;
std::unique_ptr<ShaderTable> SampleGame::shaders_;
std::vector<ShaderProblem> SampleGame::scriptProblems_;

const char* const kCharacters[] = {samples::kBruno, samples::kMira, samples::kOskar, samples::kVesta};

std::string folderOf(const std::string& character) { return "models/players/" + character + "/"; }

std::vector<std::string> skinsOf(const std::string& character)
{
    if (character == samples::kBruno)
        return {samples::kDefaultSkin, samples::kBrunoSecondSkin};
    if (character == samples::kMira)
        return {samples::kDefaultSkin, samples::kMiraSecondSkin};
    if (character == samples::kVesta)
        return {samples::kEffectsSkins.begin(), samples::kEffectsSkins.end()};
    return {samples::kDefaultSkin};
}

// Share of a 24-bit run-length Targa's pixels that have the colour.
double shareOfColour(const std::string& tga, const std::array<uint8_t, 3>& rgb)
{
    EXPECT_EQ(static_cast<uint8_t>(tga[2]), 10);
    EXPECT_EQ(static_cast<uint8_t>(tga[16]), 24);
    const std::size_t count = std::size_t(writers::readInt32(tga, 12) & 0xFFFF) * (writers::readInt32(tga, 14) & 0xFFFF);
    const std::string pixels = toolstest::unpackRunLength(tga.substr(18 + static_cast<uint8_t>(tga[0])), 3, count);
    const std::string bgr{char(rgb[2]), char(rgb[1]), char(rgb[0])};
    std::size_t same = 0;
    for (std::size_t i = 0; i + 3 <= pixels.size(); i += 3)
        same += pixels.compare(i, 3, bgr) == 0;
    return double(same) / double(count);
}

TEST_F(SampleGame, SameBytesOnEveryRun)
{
    testsupport::TempDir again;
    samples::writeSampleGame(again.path(), samples::GameLayout::Archives);
    const auto first = diskFiles(archives_->path());
    EXPECT_TRUE(first == diskFiles(again.path()));
    EXPECT_EQ(first.count(samples::kFirstArchive), 1u);
    EXPECT_EQ(first.count(samples::kSecondArchive), 1u);
    EXPECT_EQ(first.count(samples::kLooseSkin), 1u);
    EXPECT_EQ(first.count(std::string(samples::kOskarLooseFolder) + "lower_default.skin"), 1u);
}

// The loose layout holds, as loose files only, exactly what the game sees in
// the archives layout; there, pak1.pk3 overrides pak0.pk3, loose files
// override both, and oskar's folder merges across letter case.
TEST_F(SampleGame, BothLayoutsGiveTheSameFilesWithEveryOverride)
{
    const GameTree loose = samples::resolveGameTree(loose_->path());
    ASSERT_EQ(loose.size(), tree_->size());
    auto b = loose.begin();
    for (auto a = tree_->cbegin(); a != tree_->cend(); ++a, ++b) {
        EXPECT_EQ(a->first, b->first);
        EXPECT_EQ(a->second.path, b->second.path);
        EXPECT_TRUE(a->second.bytes == b->second.bytes) << a->first;
    }
    for (const auto& [path, bytes] : diskFiles(loose_->path()))
        EXPECT_NE(LowerCase(path).substr(path.size() - 4), ".pk3") << path;

    const std::string& override = file(samples::kOverriddenImage);
    EXPECT_EQ(override, archived(samples::kSecondArchive, samples::kOverriddenImage));
    EXPECT_NE(override, archived(samples::kFirstArchive, samples::kOverriddenImage));
    EXPECT_GT(shareOfColour(override, samples::kOverrideColour), 0.6);

    const std::string& skin = file(samples::kLooseSkin);
    EXPECT_EQ(skin, archives_->read(samples::kLooseSkin));
    EXPECT_NE(skin.find(samples::kLooseSkinImage), std::string::npos);
    EXPECT_NE(archived(samples::kFirstArchive, samples::kLooseSkin).find(samples::kArchivedSkinImage),
              std::string::npos);
    EXPECT_GT(shareOfColour(file(samples::kLooseSkinImage), samples::kLooseSkinColour), 0.6);

    const std::string oskar = folderOf(samples::kOskar);
    EXPECT_EQ(tree_->at(oskar + "lower.md3").path, std::string(samples::kOskarArchiveFolder) + "lower.md3");
    EXPECT_EQ(tree_->at(oskar + "lower_default.skin").path,
              std::string(samples::kOskarLooseFolder) + "lower_default.skin");
}

struct SkinLine {
    std::string name, path;
};

std::vector<SkinLine> skinLines(const std::string& text)
{
    std::vector<SkinLine> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const auto comma = line.find(',');
        EXPECT_NE(comma, std::string::npos) << line;
        if (comma != std::string::npos)
            lines.push_back({line.substr(0, comma), line.substr(comma + 1)});
    }
    return lines;
}

// How the game finds an image a shader or skin names: the path from the game
// root ignoring letter case, also with the game's other extensions. Returns
// the rule that found it, or "" when none did, and the file found.
std::string resolveTexture(const GameTree& tree, const std::string& path, const std::string& ownFolder,
                           std::string& found)
{
    const std::string stem = path.substr(0, path.rfind('.'));
    for (const std::string extension : {"", ".tga", ".jpg", ".jpeg", ".png", ".pcx", ".bmp"}) {
        const std::string tried = extension.empty() ? path : stem + extension;
        const auto hit = tree.find(LowerCase(tried));
        if (hit == tree.end())
            continue;
        found = hit->first;
        if (!extension.empty())
            return "other extension";
        if (hit->second.path != tried)
            return "letter case";
        return LowerCase(path).rfind(ownFolder, 0) == 0 ? "exact" : "other character";
    }
    return "";
}

// The kind of an image file: "tga" with its type and bits per pixel (and
// "top" for a top-left origin), "png" with its colour type, or "jpg".
std::string imageKind(const std::string& key, const std::string& bytes)
{
    const std::string extension = key.substr(key.rfind('.') + 1);
    if (extension == "tga")
        return "tga" + std::to_string(uint8_t(bytes[2])) + "/" + std::to_string(uint8_t(bytes[16]))
               + (bytes[17] & 0x20 ? "top" : "");
    if (extension == "png")
        return "png" + std::to_string(uint8_t(bytes[25]));
    return extension;
}

// Every surface has exactly one skin line and every line names a surface or
// a tag of its part; every texture resolves to an image or, naming none, to
// a shader of the scripts, and across the characters each way of finding one
// and each image kind occurs. Each quirk shader is named by a skin or the
// weapon and, as no image of its name exists, is used.
TEST_F(SampleGame, SkinsCoverEverySurfaceAndEveryTextureResolves)
{
    std::set<std::string> rules, kinds, shadersUsed;
    // A shader first (named without the extension), else an image.
    auto resolve = [&](const std::string& path, const std::string& ownFolder) {
        if (const ShaderDefinition* shader = shaders_->Find(path.substr(0, path.rfind('.') < path.rfind('/') ? path.size() : path.rfind('.')))) {
            shadersUsed.insert(shader->name);
            return std::string("shader");
        }
        std::string found;
        if (path.rfind('/', 0) == 0) {
            rules.insert("leading slash");
            return resolveTexture(*tree_, path.substr(1), ownFolder, found).empty() ? std::string() : std::string("exact");
        }
        const std::string rule = resolveTexture(*tree_, path, ownFolder, found);
        if (!rule.empty())
            kinds.insert(imageKind(found, tree_->at(found).bytes));
        return rule;
    };
    std::vector<std::string> twice;
    for (const std::string character : kCharacters)
        for (const auto& skin : skinsOf(character))
            for (const std::string part : {"lower", "upper", "head"}) {
                SCOPED_TRACE(character + " " + part + "_" + skin);
                const auto model = parseMd3(file(folderOf(character) + part + ".md3"));
                std::set<std::string> surfaces, tags, named;
                // The game stores "name_N" as "name".
                for (const auto& s : model.surfaces)
                    surfaces.insert(s.name.size() > 2 && s.name[s.name.size() - 2] == '_'
                                        ? s.name.substr(0, s.name.size() - 2)
                                        : s.name);
                for (int t = 0; t < model.tagsPerFrame; ++t)
                    tags.insert(model.tag(0, t).name);
                for (const auto& line : skinLines(file(folderOf(character) + part + "_" + skin + ".skin"))) {
                    if (line.path.empty()) {
                        EXPECT_EQ(tags.count(line.name), 1u) << line.name;
                        continue;
                    }
                    if (!named.insert(line.name).second)
                        twice.push_back(character + "/" + skin + " " + line.name);
                    const std::string rule = resolve(line.path, folderOf(character));
                    EXPECT_NE(rule, "") << line.path;
                    rules.insert(rule);
                }
                EXPECT_EQ(named, surfaces);
            }
    EXPECT_EQ(twice, std::vector<std::string>{std::string(samples::kBruno) + "/red u_torso"});
    EXPECT_EQ(rules, (std::set<std::string>{"exact", "letter case", "other extension", "other character", "shader",
                                            "leading slash"}));
    for (const char* kind : {"tga1/8", "tga2/24", "tga2/24top", "tga2/32", "tga3/8", "tga9/8top", "tga10/24", "tga10/32",
                             "tga11/8", "png6", "png3", "jpg"})
        EXPECT_EQ(kinds.count(kind), 1u) << kind;

    const std::string weapon = std::string("models/weapons2/") + samples::kWeapon + "/";
    for (const auto& s : parseMd3(file(weapon + samples::kWeapon + ".md3")).surfaces) {
        // The weapon's images are found by their shader names as written.
        const std::string rule = resolve(s.shader, weapon);
        EXPECT_TRUE(rule == "exact" || rule == "shader") << s.name << " " << s.shader;
    }
    for (const char* quirk : {samples::kAlphaTestedShader, samples::kBlendedShader, samples::kTwoSidedShader,
                              samples::kOtherFolderShader, samples::kNoDrawShader})
        EXPECT_EQ(shadersUsed.count(quirk), 1u) << quirk;
    // Every shader of the scripts is used by a surface.
    for (const auto& [name, definition] : shaders_->All())
        EXPECT_EQ(shadersUsed.count(name), 1u) << name;
}

// The scripts lie in both archives and loose; the broken one adds the only
// problem, and nothing of it is used.
TEST_F(SampleGame, ScriptsLoadWithOneProblemFromTheBrokenFile)
{
    EXPECT_NE(archived(samples::kFirstArchive, samples::kCharacterScript), "");
    EXPECT_NE(archived(samples::kSecondArchive, samples::kWeaponScript), "");
    EXPECT_NE(archives_->read(samples::kBrokenScript), "");
    EXPECT_NE(archives_->read(samples::kEffectsScript), "");
    ASSERT_EQ(scriptProblems_.size(), 1u);
    EXPECT_EQ(scriptProblems_[0].fileName, samples::kBrokenScript);
    for (const auto& [name, definition] : shaders_->All())
        EXPECT_NE(definition.fileName, samples::kBrokenScript) << name;
}

// Whether a 32-bit uncompressed Targa has both fully transparent and fully
// opaque pixels.
bool hasHoles(const std::string& tga)
{
    constexpr std::size_t kHeaderSize = 18;
    EXPECT_GE(tga.size(), kHeaderSize);
    if (tga.size() < kHeaderSize)
        return false;
    EXPECT_EQ(static_cast<uint8_t>(tga[2]), 2);
    EXPECT_EQ(static_cast<uint8_t>(tga[16]), 32);
    const std::size_t count =
        std::size_t(writers::readInt32(tga, 12) & 0xFFFF) * (writers::readInt32(tga, 14) & 0xFFFF);
    const std::size_t first = kHeaderSize + static_cast<uint8_t>(tga[0]);
    EXPECT_LE(first + count * 4, tga.size());
    bool clear = false, opaque = false;
    for (std::size_t at = first + 3; at < std::min(first + count * 4, tga.size()); at += 4) {
        clear = clear || tga[at] == '\0';
        opaque = opaque || static_cast<uint8_t>(tga[at]) == 255;
    }
    return clear && opaque;
}

// Each quirk shader draws as its name promises, from images that exist; the
// effects character's shaders use every keyword the game draws models with.
TEST_F(SampleGame, QuirkAndEffectShadersCompileAsTheirNamesSay)
{
    auto compile = [](const std::string& name) {
        const ShaderDefinition* shader = shaders_->Find(name);
        EXPECT_NE(shader, nullptr) << name;
        return shader ? CompileShader(*shader, [](const std::string& image, bool) { return !file(image).empty(); })
                      : GameShader{};
    };
    const GameShader hair = compile(samples::kAlphaTestedShader);
    ASSERT_EQ(hair.stages.size(), 2u); // a lightmap stage, white on a model, then the strands
    EXPECT_EQ(hair.stages[0].images[0].kind, StageImageKind::Lightmap);
    EXPECT_EQ(hair.stages[1].images[0].name, samples::kAlphaTestedImage);
    EXPECT_EQ(hair.stages[1].alphaFunc, GLenum(GL_GEQUAL));
    EXPECT_TRUE(hasHoles(file(samples::kAlphaTestedImage)));

    const GameShader glow = compile(samples::kBlendedShader);
    EXPECT_EQ(glow.stages.at(0).images.at(0).name, samples::kBlendedImage);
    EXPECT_EQ(std::pair(glow.stages[0].blendSrc, glow.stages[0].blendDst), std::pair(GLenum(GL_ONE), GLenum(GL_ONE)));
    for (const char* name : {samples::kTwoSidedShader, samples::kOtherFolderShader})
        EXPECT_EQ(compile(name).cull, CullFace::None) << name;
    EXPECT_TRUE(compile(samples::kNoDrawShader).stages.empty());

    // Every keyword of the effects script, each of them in a shader the game can make.
    const std::string script = file(samples::kEffectsScript);
    for (const char* keyword :
         {"map ", "clampMap", "animMap", "$whiteimage", "$lightmap", "blendFunc add", "blendFunc filter", "blendFunc blend",
          "GL_DST_COLOR", "GL_ONE_MINUS_SRC_COLOR", "alphaFunc GT0", "alphaFunc LT128", "alphaFunc GE128", "depthWrite",
          "depthFunc equal", "rgbGen identity\n", "rgbGen identityLighting", "rgbGen lightingDiffuse", "rgbGen vertex",
          "rgbGen exactVertex", "rgbGen entity", "rgbGen oneMinusEntity", "rgbGen const", "wave sin", "wave triangle",
          "wave square", "wave sawtooth", "wave inversesawtooth", "wave noise", "alphaGen identity", "alphaGen const",
          "alphaGen wave", "alphaGen entity", "alphaGen lightingSpecular", "alphaGen portal", "tcGen base",
          "tcGen environment", "tcGen vector", "tcMod scroll", "tcMod scale", "tcMod rotate", "tcMod stretch",
          "tcMod turb", "tcMod transform", "deformVertexes wave", "deformVertexes normal", "deformVertexes bulge",
          "deformVertexes move", "deformVertexes autosprite", "cull front", "cull back", "cull none", "cull disable",
          "cull twosided", "polygonOffset", "sort", "surfaceparm nodraw"})
        EXPECT_NE(script.find(keyword), std::string::npos) << keyword;
    for (const auto& [name, definition] : shaders_->All()) {
        if (definition.fileName == samples::kEffectsScript) {
            EXPECT_EQ(compile(name).defaulted, name.find("hidden") != std::string::npos) << name;
        }
    }
}

struct AnimationTable {
    std::vector<std::array<int, 4>> lines;
    std::set<std::string> keywords;
};

// Reads the table as the game does: whitespace-separated tokens, "//" to the
// end of a line a comment, lines starting with a word keywords, the numbers
// one stream taken four at a time wherever the lines break.
AnimationTable readTable(const std::string& text)
{
    AnimationTable table;
    std::istringstream in(text);
    std::vector<int> numbers;
    for (std::string line; std::getline(in, line);) {
        std::istringstream tokens(line.substr(0, line.find("//")));
        std::vector<std::string> words;
        for (std::string word; tokens >> word;)
            words.push_back(word);
        if (words.empty())
            continue;
        if (!std::isdigit(static_cast<unsigned char>(words[0][0])) && words[0][0] != '-') {
            std::string keyword = words[0];
            for (std::size_t i = 1; i < words.size(); ++i)
                keyword += " " + words[i];
            table.keywords.insert(keyword);
            continue;
        }
        for (const std::string& word : words)
            numbers.push_back(std::stoi(word));
    }
    EXPECT_EQ(numbers.size() % 4, 0u);
    for (std::size_t i = 0; i + 3 < numbers.size(); i += 4)
        table.lines.push_back({numbers[i], numbers[i + 1], numbers[i + 2], numbers[i + 3]});
    return table;
}

// The tables come as Windows editors and hand-edited files leave them, and
// every animation fits its part's frames once the legs lines are moved down
// by the distance between the first legs and the first torso line; a line
// past the 25 standard ones fits both parts, moved down or not. One table
// has all its numbers on one line, one plays its idle legs backwards.
TEST_F(SampleGame, AnimationTablesFitTheirParts)
{
    std::set<std::string> keywords;
    for (const std::string character : kCharacters) {
        SCOPED_TRACE(character);
        const std::string text = file(folderOf(character) + "animation.cfg");
        const bool handEdited = character == samples::kOskar;
        EXPECT_EQ(text.find('\r') == std::string::npos, handEdited);
        EXPECT_EQ(text.find('\t') != std::string::npos, handEdited);
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n') < 20, character == samples::kBruno);
        const AnimationTable table = readTable(text);
        keywords.insert(table.keywords.begin(), table.keywords.end());
        ASSERT_EQ(table.lines.size(), handEdited ? std::size_t(samples::kOskarAnimationLines) : 25u);
        const int lowerFrames = parseMd3(file(folderOf(character) + "lower.md3")).frames;
        const int upperFrames = parseMd3(file(folderOf(character) + "upper.md3")).frames;
        const int legsShift = table.lines[13][0] - table.lines[6][0];
        for (std::size_t k = 0; k < table.lines.size(); ++k) {
            auto [first, count, looping, rate] = table.lines[k];
            EXPECT_EQ(count < 0, character == samples::kVesta && k == 22) << k;
            count = std::abs(count);
            EXPECT_TRUE(count >= 1 && looping >= 0 && looping <= count && rate > 0) << k;
            auto fits = [&](int start, int frames) { return start >= 0 && start + count <= frames; };
            if (k < 6)
                EXPECT_TRUE(fits(first, lowerFrames) && fits(first, upperFrames)) << k;
            else if (k < 13)
                EXPECT_TRUE(fits(first, upperFrames)) << k;
            else if (k < 25)
                EXPECT_TRUE(fits(first - legsShift, lowerFrames)) << k;
            else
                for (const int start : {first, first - legsShift})
                    EXPECT_TRUE(fits(start, lowerFrames) && fits(start, upperFrames)) << k;
        }
    }
    for (const char* keyword : {"sex f", "headoffset 0 0 0", "footsteps boot", "fixedlegs", "fixedtorso"})
        EXPECT_EQ(keywords.count(keyword), 1u) << keyword;
}

float length(Vec3 v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }
Vec3 scaled(Vec3 v, float s) { return {v.x * s, v.y * s, v.z * s}; }
float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

// The named tags have axes of the given length on every frame, every other
// tag unit axes; all of them in the directions of a rotation.
TEST_F(SampleGame, ScaledTagAxesKeepTheDirectionsOfARotation)
{
    const std::map<std::string, float> scales{
        {"bruno/lower/tag_torso", samples::kBrunoTorsoTagScale},
        {"bruno/upper/tag_head", samples::kBrunoHeadTagScale},
        {"bruno/upper/tag_weapon", samples::kBrunoWeaponTagScale},
        {"mira/upper/tag_head", samples::kMiraHeadTagScale}};
    std::size_t scaledSeen = 0;
    for (const std::string character : kCharacters)
        for (const std::string part : {"lower", "upper", "head"}) {
            const auto model = parseMd3(file(folderOf(character) + part + ".md3"));
            for (int f = 0; f < model.frames; ++f)
                for (int t = 0; t < model.tagsPerFrame; ++t) {
                    const auto& tag = model.tag(f, t);
                    const auto found = scales.find(character + "/" + part + "/" + tag.name);
                    const float scale = found == scales.end() ? 1.0f : found->second;
                    scaledSeen += f == 0 && scale != 1.0f;
                    std::array<Vec3, 3> unit;
                    for (int i = 0; i < 3; ++i) {
                        ASSERT_NEAR(length(tag.axes[i]), scale, 1e-4f * scale) << character << " " << tag.name;
                        unit[i] = scaled(tag.axes[i], 1.0f / scale);
                    }
                    EXPECT_NEAR(dot(unit[0], unit[1]), 0.0f, 1e-4f);
                    EXPECT_NEAR(dot(unit[1], unit[2]), 0.0f, 1e-4f);
                    EXPECT_GT(dot(cross(unit[0], unit[1]), unit[2]), 0.999f);
                }
        }
    EXPECT_EQ(scaledSeen, scales.size());
}

Vec3 minOf(Vec3 a, Vec3 b) { return {std::min(a.x, b.x), std::min(a.y, b.y), std::min(a.z, b.z)}; }
Vec3 maxOf(Vec3 a, Vec3 b) { return {std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z)}; }

// The corners of the box around a surface's vertices on one frame.
std::pair<Vec3, Vec3> boundsOf(const toolstest::ParsedSurface& surface, int frame)
{
    std::pair<Vec3, Vec3> box{surface.position(frame, 0), surface.position(frame, 0)};
    for (int v = 1; v < surface.vertices; ++v)
        box = {minOf(box.first, surface.position(frame, v)), maxOf(box.second, surface.position(frame, v))};
    return box;
}

const toolstest::ParsedSurface& surfaceNamed(const toolstest::ParsedMd3& model, const std::string& name)
{
    const auto found = std::find_if(model.surfaces.begin(), model.surfaces.end(),
                                    [&](const auto& s) { return s.name == name; });
    if (found == model.surfaces.end())
        throw std::runtime_error("no surface " + name);
    return *found;
}

// The surfaces added for shaders would show if drawn wrongly: the nodraw box
// encloses bruno's whole head; on every frame the cape faces away from his
// body and reaches out beside it, where a viewer in front sees its inner side.
TEST_F(SampleGame, ShaderSurfacesWouldShowIfDrawnWrongly)
{
    const auto head = parseMd3(file(folderOf(samples::kBruno) + "head.md3"));
    const auto [lo, hi] = boundsOf(surfaceNamed(head, samples::kNoDrawSurface), 0);
    for (const auto& s : head.surfaces) {
        if (s.name == samples::kNoDrawSurface)
            continue;
        const auto [sLo, sHi] = boundsOf(s, 0);
        EXPECT_TRUE(sLo.x > lo.x && sLo.y > lo.y && sLo.z > lo.z && sHi.x < hi.x && sHi.y < hi.y && sHi.z < hi.z)
            << s.name;
    }

    const auto upper = parseMd3(file(folderOf(samples::kBruno) + "upper.md3"));
    const auto& cape = surfaceNamed(upper, samples::kTwoSidedSurface);
    const auto& torso = surfaceNamed(upper, "u_torso");
    for (int f = 0; f < upper.frames; ++f) {
        const auto [capeLo, capeHi] = boundsOf(cape, f);
        const float middle = (capeLo.z + capeHi.z) * 0.5f;
        // Below the middle of the cape, beside the belly and hips, where no
        // arm hangs in front of it.
        auto widthBelow = [&](const toolstest::ParsedSurface& s) {
            float width = 0;
            for (int v = 0; v < s.vertices; ++v)
                if (s.position(f, v).z < middle)
                    width = std::max(width, std::abs(s.position(f, v).y));
            return width;
        };
        EXPECT_GT(widthBelow(cape), widthBelow(torso) + 1.0f) << f;
        const auto [torsoLo, torsoHi] = boundsOf(torso, f);
        const Vec3 centre = scaled({torsoLo.x + torsoHi.x, torsoLo.y + torsoHi.y, torsoLo.z + torsoHi.z}, 0.5f);
        for (int v = 0; v < cape.vertices; ++v) {
            const Vec3 p = cape.position(f, v);
            EXPECT_GT(dot(cape.normal(f, v), {p.x - centre.x, p.y - centre.y, p.z - centre.z}), 0.0f) << f << " " << v;
        }
    }
}

} // namespace
