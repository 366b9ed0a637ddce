#include "Md3Files.h"

#include "model/Model.h"
#include "platform/system/Errors.h"
#include "platform/files/FileLayer.h"
#include "support/TempDir.h"
#include "support/ZipWriter.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <utility>

using namespace md3files;

namespace {

std::vector<uint8_t> bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

// Two frames with two tags each, and two surfaces, the second with a shader.
Model sampleModel()
{
    Model m;
    m.frames = 2;
    m.tagsPerFrame = 2;
    for (int f = 0; f < 2; ++f) {
        m.tags.push_back({"tag_torso", {1.0f + f, 2, 3}});
        m.tags.push_back({"tag_head", {4, 5, 6.0f + f}});
    }
    m.surfaces = {triangleSurface("l_legs"), triangleSurface("l_belt")};
    m.surfaces[1].shaders = {"models/players/test/belt.tga"};
    return m;
}

TEST(LoadMD3, ReadsEveryArrayFromTheStandardPositions)
{
    Layout layout;
    std::string bytes = build(sampleModel(), &layout);
    // Offsets that point elsewhere are not consulted.
    for (size_t field : {kFrameOffset, kTagOffset, kSurfaceOffset, kEndOffset})
        put32(bytes, field, 9999);
    put32(bytes, layout.surfaces[1].start + kSurfShaderOffset, 4);

    TMD3Model part;
    part.CurrentFrame = 5;
    part.FPS = 7;
    LoadMD3FromBytes(part, "lower.md3", bytesOf(bytes));
    EXPECT_EQ(part.FileName, "lower.md3");
    EXPECT_EQ(part.Header.NumFrames, 2);
    EXPECT_EQ(part.Header.OfsEnd, 9999);
    EXPECT_EQ(part.StartFrame, 0);
    EXPECT_EQ(part.EndFrame, 1);
    EXPECT_EQ(part.CurrentFrame, 5);
    EXPECT_EQ(part.FPS, 7);
    ASSERT_EQ(part.Frames.size(), 2u);
    EXPECT_EQ(part.Frames[1].Data[0], 56);
    ASSERT_EQ(part.Tags.size(), 4u);
    EXPECT_EQ(MD3Name(part.Tags[3].Name), "tag_head");
    EXPECT_EQ(part.Tags[3].Origin[2], 7.0f);
    EXPECT_EQ(part.Tags[2].Origin[0], 2.0f);
    EXPECT_EQ(part.Tags[2].Axis[1][1], 1.0f);
    EXPECT_EQ(part.Links, (std::vector<TMD3Model*>{nullptr, nullptr}));
    ASSERT_EQ(part.Meshes.size(), 2u);
    const TMesh& belt = part.Meshes[1];
    EXPECT_EQ(MD3Name(belt.Header.Name), "l_belt");
    ASSERT_EQ(belt.Shaders.size(), 1u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(belt.Shaders[0].Data)), "models/players/test/belt.tga");
    ASSERT_EQ(belt.Triangles.size(), 1u);
    EXPECT_EQ(belt.Triangles[0].Index[2], 2);
    ASSERT_EQ(belt.TexCoords.size(), 3u);
    EXPECT_EQ(belt.TexCoords[1].T, 0.5f);
    ASSERT_EQ(belt.Vertices.size(), 6u);
    EXPECT_EQ(belt.Vertices[4].Position[0], 1280 + 8);
    EXPECT_EQ(belt.Vertices[4].Normal[0], 64 + 32);
    EXPECT_FALSE(belt.HasTexture);
}

TEST(LoadMD3, AcceptsLowerCaseIdentButOnlyVersion15)
{
    Model m = sampleModel();
    m.ident = "idp3";
    TMD3Model part;
    LoadMD3FromBytes(part, "a.md3", bytesOf(build(m)));
    EXPECT_EQ(part.Meshes.size(), 2u);

    m.ident = "IDP3";
    m.version = 16;
    TMD3Model fresh;
    LoadMD3FromBytes(fresh, "b.md3", bytesOf(build(m)));
    EXPECT_TRUE(fresh.Meshes.empty());
    EXPECT_EQ(fresh.Header.Version, 16);
    EXPECT_EQ(fresh.FileName, "b.md3");
    // A rejected file does not clear what an earlier load read.
    LoadMD3FromBytes(part, "b.md3", bytesOf(build(m)));
    EXPECT_EQ(part.Meshes.size(), 2u);
}

TEST(LoadMD3, WithoutTagsAndWithOneFrame)
{
    Model m;
    m.surfaces = {triangleSurface("h_head", 1)};
    TMD3Model part;
    LoadMD3FromBytes(part, "head.md3", bytesOf(build(m)));
    EXPECT_TRUE(part.Tags.empty());
    EXPECT_TRUE(part.Links.empty());
    EXPECT_EQ(part.StartFrame, 0);
    EXPECT_EQ(part.EndFrame, 0);
}

TEST(LoadMD3, FindsTheFileIgnoringCaseAndSkipsMissingFiles)
{
    testsupport::TempDir dir;
    dir.write("Body/Lower.MD3", build(sampleModel()));
    TMD3Model part;
    LoadMD3(part, dir.file("body/lower.md3"));
    EXPECT_EQ(part.Meshes.size(), 2u);
    EXPECT_EQ(part.FileName, dir.file("body/lower.md3"));
    LoadMD3(part, dir.file("body/upper.md3"));
    EXPECT_EQ(part.FileName, dir.file("body/lower.md3"));
}

// A large file is read array by array rather than copied whole first, a
// small one whole: either way the arrays must come out as from the same
// bytes in memory, and a file cut short must fail in the same words.
class LoadMD3FromFile : public ::testing::TestWithParam<int> {};

// The sample model with its frames repeated.
Model modelWithFrames(int frames)
{
    Model m = sampleModel();
    m.frames = frames;
    m.tags.clear();
    for (int f = 0; f < frames; ++f) {
        m.tags.push_back({"tag_torso", {1.0f + f, 2, 3}});
        m.tags.push_back({"tag_head", {4, 5, 6.0f + f}});
    }
    m.surfaces = {triangleSurface("l_legs", frames), triangleSurface("l_belt", frames)};
    return m;
}

void expectSameArrays(const TMD3Model& fromFile, const TMD3Model& fromBytes)
{
    ASSERT_EQ(fromFile.Meshes.size(), fromBytes.Meshes.size());
    ASSERT_EQ(fromFile.Tags.size(), fromBytes.Tags.size());
    EXPECT_EQ(std::memcmp(fromFile.Tags.data(), fromBytes.Tags.data(), fromBytes.Tags.size() * sizeof(TMD3Tag)), 0);
    for (size_t i = 0; i < fromBytes.Meshes.size(); ++i) {
        const TMesh& a = fromFile.Meshes[i];
        const TMesh& b = fromBytes.Meshes[i];
        ASSERT_EQ(a.Vertices.size(), b.Vertices.size());
        ASSERT_EQ(a.Triangles.size(), b.Triangles.size());
        EXPECT_EQ(std::memcmp(a.Vertices.data(), b.Vertices.data(), b.Vertices.size() * sizeof(TMD3Vertex)), 0);
        EXPECT_EQ(std::memcmp(a.Triangles.data(), b.Triangles.data(), b.Triangles.size() * sizeof(TMD3Triangle)), 0);
    }
}

TEST_P(LoadMD3FromFile, ReadsAFileAsItsBytesInMemory)
{
    const std::string whole = build(modelWithFrames(GetParam()));
    testsupport::TempDir dir;
    dir.write("lower.md3", whole);
    TMD3Model fromFile, fromBytes;
    LoadMD3(fromFile, dir.file("lower.md3"));
    LoadMD3FromBytes(fromBytes, dir.file("lower.md3"), bytesOf(whole));
    expectSameArrays(fromFile, fromBytes);

    dir.write("cut.md3", whole.substr(0, whole.size() - 5));
    TMD3Model cut;
    try {
        LoadMD3(cut, dir.file("cut.md3"));
        FAIL() << "no error";
    } catch (const platform::EInOutError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Model file \"" + dir.file("cut.md3") + "\": surface 2 vertices run past the end of the file");
    }
    EXPECT_TRUE(cut.Meshes.empty());
}

// 2 frames make a file of well under a kilobyte, 400 one of over 100 KB.
INSTANTIATE_TEST_SUITE_P(SmallAndLarge, LoadMD3FromFile, ::testing::Values(2, 400));

// In game data a part comes out of an archive, found ignoring letter case,
// small or large, stored or deflated, as from its bytes in memory.
TEST(LoadMD3, ReadsPartsFromGameArchives)
{
    struct DiskAgain {
        ~DiskAgain() { platform::files::MountDisk(); }
    } diskAgain;
    const std::string small = build(modelWithFrames(2));
    const std::string large = build(modelWithFrames(400));
    testsupport::TempDir dir;
    dir.write("pak0.pk3", testsupport::makeZip({{"models/players/test/lower.md3", small},
                                                {"models/players/test/upper.md3", large, true}}));
    platform::files::MountGameRoot(dir.path());
    for (const auto& [name, whole] : {std::pair{"Models/Players/Test/LOWER.md3", small},
                                      std::pair{"models/players/test/upper.MD3", large}}) {
        SCOPED_TRACE(name);
        TMD3Model fromArchive, fromBytes;
        LoadMD3(fromArchive, name);
        LoadMD3FromBytes(fromBytes, name, bytesOf(whole));
        EXPECT_EQ(fromArchive.FileName, name);
        expectSameArrays(fromArchive, fromBytes);
    }
    TMD3Model missing;
    LoadMD3(missing, "models/players/test/head.md3");
    EXPECT_TRUE(missing.FileName.empty());
}

TEST(LoadMD3, CutsNamesWithoutNulAtTheirWidth)
{
    Model m = sampleModel();
    const std::string longName(64, 'n');
    m.surfaces[0].name = longName;
    m.tags[0].name = longName;
    TMD3Model part, child;
    LoadMD3FromBytes(part, "a.md3", bytesOf(build(m)));
    EXPECT_EQ(MD3Name(part.Meshes[0].Header.Name), longName);
    LinkModel(part, longName, child);
    EXPECT_EQ(part.Links[0], &child);
}

TEST(NormalTable, DecodesWith255StepsToTheTurn)
{
    BuildNormalTable();
    auto expectNormal = [](int u, int w, double x, double y, double z) {
        EXPECT_NEAR(NormalTable[u][w][0], x, 1e-4) << u << "," << w;
        EXPECT_NEAR(NormalTable[u][w][1], y, 1e-4) << u << "," << w;
        EXPECT_NEAR(NormalTable[u][w][2], z, 1e-4) << u << "," << w;
    };
    EXPECT_EQ(NormalTable[0][0][2], 1.0);
    expectNormal(0, 0, 0, 0, 1);
    expectNormal(64, 0, 0.99998, 0, -0.0062);
    expectNormal(64, 64, -0.0062, 0.99996, -0.0062);
    expectNormal(32, 0, 0.7093, 0, 0.7049);
}

// A malformed file: how it is broken, and what the error says.
struct Malformed {
    const char* label;
    std::function<void(std::string&, const Layout&)> breakFile;
    const char* error;
};

std::function<void(std::string&, const Layout&)> patch(size_t field, int32_t value)
{
    return [=](std::string& b, const Layout&) { put32(b, field, value); };
}

// A field of the first (index 0) or second surface header.
std::function<void(std::string&, const Layout&)> patchSurface(size_t surface, size_t field, int32_t value)
{
    return [=](std::string& b, const Layout& l) { put32(b, l.surfaces[surface].start + field, value); };
}

std::function<void(std::string&, const Layout&)> truncate(std::function<size_t(const Layout&)> where)
{
    return [=](std::string& b, const Layout& l) { b.resize(where(l)); };
}

void PrintTo(const Malformed& value, std::ostream* out) { *out << value.label; }

class LoadMD3Malformed : public ::testing::TestWithParam<Malformed> {};

TEST_P(LoadMD3Malformed, RaisesAClearErrorAndKeepsThePart)
{
    Layout layout;
    std::string bytes = build(sampleModel(), &layout);
    GetParam().breakFile(bytes, layout);

    Model good;
    good.surfaces = {triangleSurface("h_head", 1)};
    TMD3Model part;
    LoadMD3FromBytes(part, "good.md3", bytesOf(build(good)));
    try {
        LoadMD3FromBytes(part, "bad.md3", bytesOf(bytes));
        FAIL() << "no error";
    } catch (const platform::EInOutError& e) {
        EXPECT_EQ(std::string(e.what()), std::string("Model file \"bad.md3\": ") + GetParam().error);
    }
    EXPECT_EQ(part.FileName, "good.md3");
    EXPECT_EQ(part.Header.NumSurfaces, 1);
    ASSERT_EQ(part.Meshes.size(), 1u);
    EXPECT_EQ(MD3Name(part.Meshes[0].Header.Name), "h_head");
}

INSTANTIATE_TEST_SUITE_P(
    Files, LoadMD3Malformed,
    ::testing::Values(
        Malformed{"TruncatedHeader", truncate([](auto&) { return 100; }), "the header runs past the end of the file"},
        Malformed{"TruncatedFrames", truncate([](auto&) { return 108 + 60; }), "frames run past the end of the file"},
        Malformed{"TruncatedTags", truncate([](auto& l) { return l.tags + 300; }), "tags run past the end of the file"},
        Malformed{"TruncatedSurfaceHeader", truncate([](auto& l) { return l.surfaces[1].start + 100; }),
                  "surface 2 header runs past the end of the file"},
        Malformed{"TruncatedShaders", truncate([](auto& l) { return l.surfaces[1].shaders + 60; }),
                  "surface 2 shaders run past the end of the file"},
        Malformed{"TruncatedTriangles", truncate([](auto& l) { return l.surfaces[1].triangles + 8; }),
                  "surface 2 triangles run past the end of the file"},
        Malformed{"TruncatedTexCoords", truncate([](auto& l) { return l.surfaces[1].texCoords + 20; }),
                  "surface 2 texture coordinates run past the end of the file"},
        Malformed{"TruncatedVertices", truncate([](auto& l) { return l.surfaces[1].end - 1; }),
                  "surface 2 vertices run past the end of the file"},
        Malformed{"NegativeFrames", patch(kFrameCount, -1), "frame count -1 is negative"},
        Malformed{"NegativeTags", patch(kTagCount, -2), "tag count -2 is negative"},
        Malformed{"NegativeSurfaces", patch(kSurfaceCount, INT_MIN),
                  "surface count -2147483648 is negative"},
        Malformed{"NegativeVertexFrames", patchSurface(0, kSurfFrames, -1), "surface 1 vertex frame count -1 is negative"},
        Malformed{"NegativeShaders", patchSurface(1, kSurfShaders, -1), "surface 2 shader count -1 is negative"},
        Malformed{"NegativeVertices", patchSurface(0, kSurfVerts, -3), "surface 1 vertex count -3 is negative"},
        Malformed{"NegativeTriangles", patchSurface(0, kSurfTriangles, -1), "surface 1 triangle count -1 is negative"},
        Malformed{"HugeFrames", patch(kFrameCount, INT_MAX), "frames run past the end of the file"},
        Malformed{"HugeTags", patch(kTagCount, INT_MAX), "tag count 2147483647 does not fit in the file"},
        Malformed{"ManyTags", patch(kTagCount, 6), "tags run past the end of the file"},
        Malformed{"HugeSurfaces", patch(kSurfaceCount, INT_MAX), "surface count 2147483647 does not fit in the file"},
        Malformed{"HugeVertexFrames", patchSurface(0, kSurfFrames, INT_MAX),
                  "surface 1 vertices run past the end of the file"},
        Malformed{"HugeShaders", patchSurface(0, kSurfShaders, INT_MAX), "surface 1 shaders run past the end of the file"},
        Malformed{"HugeVertexCount", patchSurface(0, kSurfVerts, INT_MAX),
                  "surface 1 texture coordinates run past the end of the file"},
        Malformed{"HugeTriangles", patchSurface(0, kSurfTriangles, INT_MAX),
                  "surface 1 triangles run past the end of the file"},
        Malformed{"TrianglesPastEnd", patchSurface(0, kSurfTriangleOffset, 100000000),
                  "surface 1 triangles run past the end of the file"},
        Malformed{"TexCoordsPastEnd", patchSurface(1, kSurfStOffset, INT_MAX),
                  "surface 2 texture coordinates run past the end of the file"},
        Malformed{"VerticesBeforeSurface", patchSurface(0, kSurfVertexOffset, -8),
                  "surface 1 vertex offset -8 lies before the surface"},
        Malformed{"VerticesInNextSurface",
                  [](std::string& b, const Layout& l) {
                      const auto& s = l.surfaces[0];
                      put32(b, s.start + kSurfVertexOffset, static_cast<int32_t>(s.end - s.start - 8));
                  },
                  "surface 1 vertices run past the end of the surface"},
        Malformed{"EndOffsetZero", patchSurface(0, kSurfEndOffset, 0), "surface 1 end offset 0 does not fit in the file"},
        Malformed{"EndOffsetPastEnd", patchSurface(1, kSurfEndOffset, 5000),
                  "surface 2 end offset 5000 does not fit in the file"},
        Malformed{"TriangleIndexTooLarge",
                  [](std::string& b, const Layout& l) { put32(b, l.surfaces[1].triangles + 4, 3); },
                  "surface 2 triangle 1 has vertex index 3 outside 0 ... 2"},
        Malformed{"TriangleIndexNegative",
                  [](std::string& b, const Layout& l) { put32(b, l.surfaces[0].triangles + 8, -1); },
                  "surface 1 triangle 1 has vertex index -1 outside 0 ... 2"}),
    [](const auto& info) { return std::string(info.param.label); });

// Every prefix of a valid file and corrupted copies of it either load or
// raise EInOutError; nothing else escapes and nothing reads past the data.
TEST(LoadMD3, SurvivesTruncatedAndCorruptedFiles)
{
    const std::string whole = build(sampleModel());
    for (size_t size = 0; size < whole.size(); ++size) {
        TMD3Model part;
        EXPECT_THROW(LoadMD3FromBytes(part, "cut.md3", bytesOf(whole.substr(0, size))), platform::EInOutError);
    }
    uint32_t seed = 7;
    for (int round = 0; round < 500; ++round) {
        std::vector<uint8_t> bytes = bytesOf(whole);
        for (int flips = 0; flips < 3; ++flips) {
            seed = seed * 134775813 + 1;
            bytes[seed % bytes.size()] ^= static_cast<uint8_t>(1u << (seed >> 29));
        }
        TMD3Model part;
        try {
            LoadMD3FromBytes(part, "flip.md3", bytes);
        } catch (const platform::EInOutError&) {
            continue;
        }
        for (const TMesh& mesh : part.Meshes)
            for (const TMD3Triangle& t : mesh.Triangles)
                for (int32_t index : t.Index)
                    ASSERT_LT(static_cast<size_t>(index), mesh.TexCoords.size());
    }
}

} // namespace
