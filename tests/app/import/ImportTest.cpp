// The import as a user runs it: the sample characters exported and imported
// back (the same files), the skinned sample baked (frames where an
// independent computation puts them), the game's limits kept, and a real
// client's rewrite of an export imported (the same picture).
#include "../tools/ToolRun.h"
#include "SkinnedReference.h"

#include "app/export/GltfExport.h"
#include "game/GameAnimation.h"
#include "model/Model.h"
#include "platform/system/System.h"
#include "tools/samples/SkinnedCharacter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <map>

namespace {

using tooltest::ToolFolder;
namespace fs = std::filesystem;

constexpr char kLoose[] = "Loose";

std::string bytesOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Surface -> shader of a skin file as the game draws it: the first line of a
// surface, names in lower case, an image's extension aside; tags aside.
std::map<std::string, std::string> skinLines(const std::string& text)
{
    std::map<std::string, std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const size_t comma = line.find(',');
        std::string surface = platform::LowerCase(line.substr(0, comma)), shader;
        if (comma != std::string::npos)
            shader = platform::LowerCase(line.substr(comma + 1));
        while (!shader.empty() && std::isspace(static_cast<unsigned char>(shader.back())))
            shader.pop_back();
        for (const char* ext : {".tga", ".jpg", ".png"})
            if (shader.ends_with(ext))
                shader.resize(shader.size() - 4);
        if (!shader.empty() && !surface.starts_with("tag_"))
            lines.emplace(surface, shader);
    }
    return lines;
}

class Import : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = std::make_unique<ToolFolder>();
        samples::writeSampleGame(folder->dir.file(kLoose), samples::GameLayout::Loose);
        BuildNormalTable();
    }
    static void TearDownTestSuite() { folder.reset(); }

    static int run(const std::string& args, std::string& out = scratch) { return folder->run(args, out); }
    static std::string file(const std::string& path) { return bytesOf(folder->dir.file(path)); }

    static std::unique_ptr<ToolFolder> folder;
    static std::string scratch;
};

std::unique_ptr<ToolFolder> Import::folder;
std::string Import::scratch;

TEST_F(Import, EverySampleCharacterComesBackAsExported)
{
    for (const char* name : {samples::kBruno, samples::kMira, samples::kOskar, samples::kVesta}) {
        SCOPED_TRACE(name);
        const std::string from = std::string(kLoose) + "/models/players/" + name + "/";
        const std::string to = std::string("Back/models/players/") + name + "/";
        std::string out;
        ASSERT_EQ(run(std::string("--game-root ") + kLoose + " --character " + name + " --all-skins --export " + name +
                      ".glb"),
                  0);
        // The game refuses the sample characters for want of icons: drawn, no more errors.
        EXPECT_EQ(run(std::string("--import ") + name + ".glb --to Back --name " + name, out), 0) << out;
        for (const char* part : {"lower.md3", "upper.md3", "head.md3"}) {
            const std::string original = file(from + part), imported = file(to + part);
            if (std::string(name) != samples::kOskar) {
                EXPECT_EQ(original, imported) << part << " is not the same bytes";
                continue;
            }
            // oskar's names hold bytes past their end: the records are the same.
            TMD3Model a, b;
            LoadMD3(a, folder->dir.file(from + part));
            LoadMD3(b, folder->dir.file(to + part));
            ASSERT_EQ(a.Meshes.size(), b.Meshes.size()) << part;
            EXPECT_EQ(0, std::memcmp(a.Tags.data(), b.Tags.data(), a.Tags.size() * sizeof(TMD3Tag))) << part;
            for (size_t s = 0; s < a.Meshes.size(); ++s) {
                const TMesh &x = a.Meshes[s], &y = b.Meshes[s];
                EXPECT_EQ(MD3Name(x.Header.Name), MD3Name(y.Header.Name));
                EXPECT_EQ(std::string(reinterpret_cast<const char*>(x.Vertices.data()), x.Vertices.size() * 8),
                          std::string(reinterpret_cast<const char*>(y.Vertices.data()), y.Vertices.size() * 8));
                EXPECT_EQ(std::string(reinterpret_cast<const char*>(x.Triangles.data()), x.Triangles.size() * 12),
                          std::string(reinterpret_cast<const char*>(y.Triangles.data()), y.Triangles.size() * 12));
                EXPECT_EQ(0, std::memcmp(x.TexCoords.data(), y.TexCoords.data(), x.TexCoords.size() * 8));
            }
        }
        for (const auto& entry : fs::directory_iterator(folder->dir.file(from))) {
            if (const std::string skin = entry.path().filename().string(); skin.ends_with(".skin")) {
                EXPECT_EQ(skinLines(file(from + skin)), skinLines(file(to + skin))) << skin;
            }
        }
        const GameAnimationFile a = ReadGameAnimation(file(from + "animation.cfg"));
        const GameAnimationFile b = ReadGameAnimation(file(to + "animation.cfg"));
        for (size_t k = 0; k < kGameAnimationCount; ++k) {
            const GameAnimationEntry &x = a.entries[k], &y = b.entries[k];
            EXPECT_EQ(std::tie(x.FirstFrame, x.FrameCount, x.Reversed, x.LoopingFrames, x.FrameLerpMs),
                      std::tie(y.FirstFrame, y.FrameCount, y.Reversed, y.LoopingFrames, y.FrameLerpMs))
                << GameAnimationName(static_cast<uint32_t>(k));
        }
        ASSERT_EQ(a.keywords.size(), b.keywords.size());
        for (size_t k = 0; k < a.keywords.size(); ++k)
            EXPECT_EQ(std::tie(a.keywords[k].keyword, a.keywords[k].values),
                      std::tie(b.keywords[k].keyword, b.keywords[k].values));
    }
}

// Each vertex of a frame written lies within the format's step of one of
// the reference's points (welding merges equal ones).
void expectEachVertexOnOne(const TMesh& mesh, int frame, const std::vector<std::array<double, 3>>& points)
{
    const size_t count = static_cast<size_t>(mesh.Header.NumVerts);
    for (size_t v = 0; v < count; ++v) {
        const TMD3Vertex& r = mesh.Vertices[static_cast<size_t>(frame) * count + v];
        double nearest = 1e9;
        for (const auto& p : points)
            nearest = std::min(nearest, std::hypot(r.Position[0] / 64.0 - p[0], r.Position[1] / 64.0 - p[1],
                                                   r.Position[2] / 64.0 - p[2]));
        EXPECT_LT(nearest, 1.0 / 64) << "frame " << frame << " vertex " << v;
    }
}

// The skinned sample's walk, frame by frame, against the reference: every
// vertex of the legs where the skeleton puts it (to the format's 1/64 step)
// and tag_torso where its joint carries it; the dance is no game entry.
TEST_F(Import, SkinnedCharacterBakesWhereItsSkeletonPutsIt)
{
    const samples::SkinnedCharacter character = samples::SampleSkinnedCharacter();
    const std::string glb = samples::SkinnedCharacterGlb(character);
    std::ofstream(folder->dir.file("wren.glb"), std::ios::binary).write(glb.data(), static_cast<long>(glb.size()));
    std::string out;
    ASSERT_EQ(run("--import wren.glb --to Skinned", out), 0) << out;
    EXPECT_NE(out.find("'Dance' is not one of the game's entries"), std::string::npos) << out;
    const GameAnimationFile table = ReadGameAnimation(file("Skinned/models/players/wren/animation.cfg"));
    const GameAnimationEntry& walk = table.entries[kLegsWalk];
    ASSERT_GT(walk.FrameCount, 10);
    TMD3Model legs;
    LoadMD3(legs, folder->dir.file("Skinned/models/players/wren/lower.md3"));
    ASSERT_EQ(legs.Meshes.size(), 1u);
    const TMesh& mesh = legs.Meshes[0];
    const auto game = [](const importtest::RefPoint& p) { // metres in glTF's axes to game units in the game's
        return std::array<double, 3>{p[2] / kMetresPerGameUnit, p[0] / kMetresPerGameUnit, p[1] / kMetresPerGameUnit};
    };
    for (int f = 0; f < walk.FrameCount; f += 3) {
        const double seconds = f * walk.FrameLerpMs / 1000.0;
        const auto expected = importtest::ReferenceSkinnedPositions(character, "l_legs", samples::kSkinnedWalk, seconds);
        std::vector<std::array<double, 3>> inPart;
        for (const auto& p : expected)
            inPart.push_back(game(p));
        expectEachVertexOnOne(mesh, walk.FirstFrame + f, inPart);
        const auto tag = importtest::ReferenceWorldMatrix(character, "tag_torso", samples::kSkinnedWalk, seconds);
        const auto origin = game({tag[12], tag[13], tag[14]});
        const TMD3Tag& written = legs.Tags[static_cast<size_t>(walk.FirstFrame + f) * legs.Links.size()];
        for (size_t c = 0; c < 3; ++c)
            EXPECT_NEAR(written.Origin[c], origin[c], 1e-3) << "frame " << f;
    }
    // The gesture (cubic spline and step keys) on the torso, in the space of
    // tag_torso at the same moment (its node's Z, X and Y the tag's axes).
    const GameAnimationEntry& gesture = table.entries[kTorsoGesture];
    TMD3Model torso;
    LoadMD3(torso, folder->dir.file("Skinned/models/players/wren/upper.md3"));
    ASSERT_GT(gesture.FrameCount, 10);
    for (int f = 1; f < gesture.FrameCount; f += 4) {
        const double seconds = f * gesture.FrameLerpMs / 1000.0;
        const auto tag = importtest::ReferenceWorldMatrix(character, "tag_torso", samples::kSkinnedGesture, seconds);
        const auto origin = game({tag[12], tag[13], tag[14]});
        std::array<std::array<double, 3>, 3> axes{};
        for (size_t a = 0; a < 3; ++a) {
            const size_t column = (a + 2) % 3;
            const auto axis = game({tag[column * 4], tag[column * 4 + 1], tag[column * 4 + 2]});
            const double length = std::hypot(axis[0], axis[1], axis[2]);
            for (size_t c = 0; c < 3; ++c)
                axes[a][c] = axis[c] / length;
        }
        const auto expected = importtest::ReferenceSkinnedPositions(character, "u_torso", samples::kSkinnedGesture, seconds);
        std::vector<std::array<double, 3>> inPart;
        for (const auto& p : expected) {
            const auto g = game(p);
            std::array<double, 3> local{};
            for (size_t a = 0; a < 3; ++a)
                for (size_t c = 0; c < 3; ++c)
                    local[a] += (g[c] - origin[c]) * axes[a][c];
            inPart.push_back(local);
        }
        expectEachVertexOnOne(torso.Meshes[0], gesture.FirstFrame + f, inPart);
    }
}

// A surface over the game's vertex limit comes back as surfaces that fit,
// sharing the skin line; a vertex beyond the format's reach is refused,
// nothing written, with by how much.
TEST_F(Import, TheGameLimitsAreKept)
{
    samples::SkinnedCharacter character = samples::SampleSkinnedCharacter();
    samples::SkinnedMesh grid{"l_grid", character.meshes[0].material, character.meshes[0].colour, {}, {}};
    constexpr int kSide = 40; // 1600 vertices, 3042 triangles
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            grid.vertices.push_back({{x * 0.01f, 0.5f, y * 0.01f}, {0, 1, 0}, {x / 40.0f, y / 40.0f}, {0, 0, 0, 0}, {1, 0, 0, 0}});
    for (int y = 0; y + 1 < kSide; ++y)
        for (int x = 0; x + 1 < kSide; ++x) {
            const auto at = [](int col, int row) { return static_cast<uint16_t>(row * kSide + col); };
            grid.triangles.insert(grid.triangles.end(), {at(x, y), at(x, y + 1), at(x + 1, y), at(x + 1, y),
                                                         at(x, y + 1), at(x + 1, y + 1)});
        }
    character.meshes.push_back(grid);
    character.nodes.push_back({"l_grid", 0, {0, 0, 0}, {0, 0, 0, 1}, {1, 1, 1}, static_cast<int>(character.meshes.size()) - 1});
    std::string glb = samples::SkinnedCharacterGlb(character);
    std::ofstream(folder->dir.file("grid.glb"), std::ios::binary).write(glb.data(), static_cast<long>(glb.size()));
    std::string out;
    ASSERT_EQ(run("--import grid.glb --to Limits", out), 0) << out;
    EXPECT_NE(out.find("split into 2 surfaces"), std::string::npos) << out;
    TMD3Model legs;
    LoadMD3(legs, folder->dir.file("Limits/models/players/grid/lower.md3"));
    ASSERT_EQ(legs.Meshes.size(), 3u);
    for (const TMesh& mesh : legs.Meshes) {
        EXPECT_LE(mesh.Header.NumVerts, 999);
        EXPECT_LE(mesh.Header.NumTriangles, 1999);
    }
    EXPECT_EQ(skinLines(file("Limits/models/players/grid/lower_default.skin")).count("l_grid"), 1u);

    character.meshes.back().vertices[7].position = {20.0f, 0.5f, 0.0f}; // 787 units out; the format holds 512
    glb = samples::SkinnedCharacterGlb(character);
    std::ofstream(folder->dir.file("far.glb"), std::ios::binary).write(glb.data(), static_cast<long>(glb.size()));
    EXPECT_EQ(run("--import far.glb --to Far", out), 1) << out;
    EXPECT_NE(out.find("over by 275."), std::string::npos) << out;
    EXPECT_FALSE(folder->exists("Far/models/players/far/lower.md3"));
}

// A real client: bruno exported, opened and written again by Blender,
// imported back: checked without errors, and drawn as the original is.
TEST_F(Import, ACharacterRewrittenByBlenderLooksTheSame)
{
    std::string out;
    ASSERT_EQ(run(std::string("--game-root ") + kLoose + " --character bruno --all-skins --export bruno.glb"), 0);
    const int blender = testsupport::runCommand("cd '" + folder->dir.path() + "' && '" BLENDER_ROUNDTRIP
                                                "' bruno.glb bruno-blender.glb > blender.log 2>&1",
                                                out);
    if (blender == 77)
        GTEST_SKIP() << "Blender is not installed (scripts/test installs Debian's blender): " << file("blender.log");
    ASSERT_EQ(blender, 0) << file("blender.log");
    ASSERT_EQ(run("--import bruno-blender.glb --to Blender --name bruno", out), 0) << out;
    // The original alone, as the import is alone in its folder (no weapon).
    fs::create_directories(folder->dir.file("Original/models/players"));
    fs::copy(folder->dir.file(std::string(kLoose) + "/models/players/bruno"),
             folder->dir.file("Original/models/players/bruno"));
    fs::copy(folder->dir.file(std::string(kLoose) + "/scripts"), folder->dir.file("Original/scripts"));
    for (const char* root : {"Original", "Blender"})
        ASSERT_EQ(run(std::string("--thumbnail ") + root + "/models/players/bruno/head.md3 " + root + ".png", out), 0)
            << out;
    const tooltest::Png a = tooltest::readPng(folder->dir.file("Original.png"));
    const tooltest::Png b = tooltest::readPng(folder->dir.file("Blender.png"));
    ASSERT_EQ(a.rgb.size(), b.rgb.size());
    // The same figure (its outline) in the same colours; Blender computes
    // the animated normals again, so the shading may differ a little.
    int covered = 0, apart = 0;
    double difference = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const bool inA = tooltest::lit(a.at(x, y)), inB = tooltest::lit(b.at(x, y));
            covered += inA;
            apart += inA != inB;
            const tooltest::Rgb p = a.at(x, y), q = b.at(x, y);
            difference += std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b);
        }
    EXPECT_GT(covered, a.width * a.height / 20);
    EXPECT_LT(apart, covered / 50) << "outline pixels that differ";
    EXPECT_LT(difference / covered / 3, 8.0) << "mean difference per channel over the figure";
}

} // namespace
