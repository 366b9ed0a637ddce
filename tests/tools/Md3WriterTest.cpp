#include "Md3Parse.h"

#include "tools/writers/Md3Writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace {

using namespace writers;
using toolstest::parseMd3;

float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Md3Surface triangleSurface(const std::string& name, int frames, int shaders)
{
    Md3Surface s;
    s.name = name;
    for (int i = 0; i < shaders; ++i)
        s.shaders.push_back("textures/" + name + std::to_string(i) + ".tga");
    s.triangles = {{0, 1, 2}, {0, 2, 3}};
    s.texCoords = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int f = 0; f < frames; ++f) {
        const float z = float(f);
        s.frames.push_back({{{0, 0, z}, {0, 0, 1}}, {{1, 0, z}, {0, 0, 1}}, {{1, 1, z}, {0, 0, 1}},
                            {{0, 1, z}, {0, 0, 1}}});
    }
    return s;
}

// Two frames, two tags per frame, two surfaces with different shader counts.
Md3Model twoFrameModel()
{
    Md3Model m;
    m.name = "test";
    m.frameCount = 2;
    for (int f = 0; f < 2; ++f) {
        Md3Tag a;
        a.name = "tag_a";
        a.origin = {1.5f, -2.25f, float(f)};
        Md3Tag b;
        b.name = "tag_b";
        b.axes = {Vec3{0, 1, 0}, Vec3{-1, 0, 0}, Vec3{0, 0, 1}};
        m.tags.push_back({a, b});
    }
    m.surfaces.push_back(triangleSurface("first", 2, 1));
    m.surfaces.push_back(triangleSurface("second", 2, 0));
    m.surfaces.back().triangles.pop_back();
    return m;
}

TEST(SerialiseMd3, LaysOutHeaderFramesTagsAndSurfacesBackToBack)
{
    const std::string bytes = serialiseMd3(twoFrameModel());
    ASSERT_EQ(bytes.substr(0, 4), "IDP3");
    EXPECT_EQ(readInt32(bytes, md3::kVersionField), 15);
    EXPECT_EQ(toolstest::fixedName(bytes, md3::kName), "test");
    EXPECT_EQ(readInt32(bytes, md3::kFrameCount), 2);
    EXPECT_EQ(readInt32(bytes, md3::kTagCount), 2);
    EXPECT_EQ(readInt32(bytes, md3::kSurfaceCount), 2);
    EXPECT_EQ(readInt32(bytes, md3::kFrameOffset), 108);
    EXPECT_EQ(readInt32(bytes, md3::kTagOffset), 108 + 2 * 56);
    EXPECT_EQ(readInt32(bytes, md3::kSurfaceOffset), 108 + 2 * 56 + 4 * 112);
    EXPECT_EQ(static_cast<std::size_t>(readInt32(bytes, md3::kEndOffset)), bytes.size());

    const auto starts = surfaceStarts(bytes);
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[0], std::size_t(108 + 2 * 56 + 4 * 112));
    const int shaders[] = {1, 0};
    const int triangles[] = {2, 1};
    std::size_t expectedStart = starts[0];
    for (int s = 0; s < 2; ++s) {
        const std::size_t p = starts[s];
        EXPECT_EQ(p, expectedStart);
        EXPECT_EQ(bytes.substr(p, 4), "IDP3");
        EXPECT_EQ(readInt32(bytes, p + md3::kSurfShaderCount), shaders[s]);
        EXPECT_EQ(readInt32(bytes, p + md3::kSurfShaderOffset), 108);
        const int32_t tri = 108 + 68 * shaders[s];
        EXPECT_EQ(readInt32(bytes, p + md3::kSurfTriangleOffset), tri);
        EXPECT_EQ(readInt32(bytes, p + md3::kSurfTexCoordOffset), tri + 12 * triangles[s]);
        EXPECT_EQ(readInt32(bytes, p + md3::kSurfVertexOffset), tri + 12 * triangles[s] + 8 * 4);
        EXPECT_EQ(readInt32(bytes, p + md3::kSurfEndOffset), tri + 12 * triangles[s] + 8 * 4 + 8 * 4 * 2);
        expectedStart = p + static_cast<std::size_t>(readInt32(bytes, p + md3::kSurfEndOffset));
    }
    EXPECT_EQ(expectedStart, bytes.size());

    // Tags come back frame by frame, bit for bit.
    const auto parsed = parseMd3(bytes);
    ASSERT_EQ(parsed.tags.size(), 4u);
    EXPECT_EQ(parsed.tag(1, 0).name, "tag_a");
    EXPECT_EQ(parsed.tag(1, 0).origin.y, -2.25f);
    EXPECT_EQ(parsed.tag(1, 0).origin.z, 1.0f);
    EXPECT_EQ(parsed.tag(0, 1).axes[1].x, -1.0f);
    ASSERT_EQ(parsed.surfaces.size(), 2u);
    EXPECT_EQ(parsed.surfaces[1].name, "second");
    EXPECT_EQ(parsed.surfaces[0].position(1, 2).z, 1.0f);
    EXPECT_EQ(parsed.surfaces[0].texCoords[2][1], 1.0f);
}

TEST(SerialiseMd3, StoresPositionsInSixtyFourthsRoundedToNearest)
{
    Md3Model m;
    m.frameCount = 1;
    m.tags.resize(1);
    Md3Surface s;
    s.name = "s";
    s.texCoords.resize(2);
    s.frames = {{{{1.0f, -2.5f, 0.01f}, {0, 0, 1}}, {{0.007f, -0.008f, 511.99f}, {0, 0, 1}}}};
    m.surfaces.push_back(s);
    const auto parsed = parseMd3(serialiseMd3(m));
    ASSERT_EQ(parsed.surfaces.size(), 1u);
    const auto& xyz = parsed.surfaces[0].xyz;
    EXPECT_EQ(xyz[0], (std::array<int16_t, 3>{64, -160, 1}));
    EXPECT_EQ(xyz[1], (std::array<int16_t, 3>{0, -1, 32767}));
    EXPECT_EQ(encodeCoordinate(-512.0f), -32768);
    EXPECT_THROW(encodeCoordinate(512.0f), std::invalid_argument);
}

TEST(SerialiseMd3, RejectsDescriptionsThatCannotBeWritten)
{
    Md3Model missingTagRow = twoFrameModel();
    missingTagRow.tags.pop_back();
    EXPECT_THROW(serialiseMd3(missingTagRow), std::invalid_argument);

    Md3Model unevenTags = twoFrameModel();
    unevenTags.tags[1].pop_back();
    EXPECT_THROW(serialiseMd3(unevenTags), std::invalid_argument);

    Md3Model shortFrame = twoFrameModel();
    shortFrame.surfaces[0].frames[1].pop_back();
    EXPECT_THROW(serialiseMd3(shortFrame), std::invalid_argument);

    Md3Model longName = twoFrameModel();
    longName.surfaces[0].name = std::string(64, 'n'); // no room for the NUL
    EXPECT_THROW(serialiseMd3(longName), std::invalid_argument);
    longName.surfaces[0].name = std::string(63, 'n');
    EXPECT_NO_THROW(serialiseMd3(longName));
}

TEST(SerialiseMd3, PatchedFieldsReadBack)
{
    std::string bytes = serialiseMd3(twoFrameModel());
    const std::size_t second = surfaceStarts(bytes)[1];
    patchInt32(bytes, second + md3::kSurfVertexCount, -7);
    EXPECT_EQ(readInt32(bytes, second + md3::kSurfVertexCount), -7);
    EXPECT_EQ(static_cast<unsigned char>(bytes[second + md3::kSurfVertexCount + 3]), 0xFF);
    EXPECT_THROW(patchInt32(bytes, bytes.size() - 3, 1), std::out_of_range);
}

TEST(NormalBytes, DecodeWithTwoHundredFiftyFiveStepsPerTurn)
{
    const Vec3 up = decodeNormal(0, 0);
    EXPECT_FLOAT_EQ(up.z, 1.0f);
    const Vec3 x = decodeNormal(64, 0);
    EXPECT_NEAR(x.x, 1.0f, 1e-4);
    EXPECT_NEAR(x.z, -0.0062f, 1e-4);
    const Vec3 y = decodeNormal(64, 64);
    EXPECT_NEAR(y.x, -0.0062f, 1e-4);
    EXPECT_NEAR(y.y, 1.0f, 1e-4);
    const Vec3 diagonal = decodeNormal(32, 0);
    EXPECT_NEAR(diagonal.x, 0.7093f, 1e-4);
    EXPECT_NEAR(diagonal.z, 0.7049f, 1e-4);
}

// The encoder searches only near the two angle spellings of a direction;
// compare it with scoring every byte pair, over directions that include the
// poles, the seam of the azimuth and points just off them.
TEST(NormalBytes, EncodeFindsTheClosestPairEverywhere)
{
    std::vector<Vec3> directions{{0, 0, 1}, {0, 0, -1}, {1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0},
                                 {0.01f, 0.0f, 1.0f}, {1.0f, -0.001f, 0.0f}, {-0.3f, -0.001f, -0.95f}};
    for (int i = 0; i < 12; ++i)
        for (int j = 0; j < 8; ++j) {
            const double a = i * 2.0 * std::numbers::pi / 12 + 0.05, b = (j + 0.5) * std::numbers::pi / 8;
            directions.push_back({float(std::cos(a) * std::sin(b)), float(std::sin(a) * std::sin(b)), float(std::cos(b))});
        }
    const double maxStepDegrees = 360.0 / 255.0;
    for (Vec3 d : directions) {
        const float length = std::sqrt(dot(d, d));
        d = {d.x / length, d.y / length, d.z / length};
        float best = -2.0f;
        for (int u = 0; u < 256; ++u)
            for (int w = 0; w < 256; ++w)
                best = std::max(best, dot(decodeNormal(uint8_t(u), uint8_t(w)), d));
        const auto [u, w] = encodeNormal(d);
        const float got = dot(decodeNormal(u, w), d);
        EXPECT_NEAR(got, best, 1e-6f) << d.x << " " << d.y << " " << d.z;
        EXPECT_LT(std::acos(std::min(got, 1.0f)) * 180.0 / std::numbers::pi, maxStepDegrees);
    }
}

} // namespace
