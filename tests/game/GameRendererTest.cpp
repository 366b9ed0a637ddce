// Surfaces drawn as the game draws them, checked by their pixels against
// values worked out here from the game's rules: a square 32 pixels wide in
// the middle of a 64 x 64 view, seen straight on from 1000 units away.
#include "Md3Files.h"

#include "game/GameData.h"
#include "game/GameLight.h"
#include "game/GameRenderer.h"
#include "platform/files/FileLayer.h"
#include "platform/system/Dialogs.h"
#include "support/HeadlessGL.h"
#include "support/TempDir.h"
#include "tools/writers/ImageWriters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

using namespace md3files;
namespace files = platform::files;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr uint8_t kBackground = 40;

// 16 x 16 images: flat, half transparent, four vertical bands, a 4 x 4 grid.
writers::Image picture(const std::function<void(int x, int y, uint8_t* p)>& paint, int channels = 3)
{
    writers::Image image(16, 16, channels);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            paint(x, y, image.at(x, y));
    return image;
}
const uint8_t kBands[4][3] = {{200, 0, 0}, {0, 200, 0}, {0, 0, 200}, {200, 200, 0}};
// The grid block at column bx and row by, rows counted from the top.
std::array<uint8_t, 3> gridColour(int bx, int by)
{
    return {static_cast<uint8_t>(bx * 60 + 10), static_cast<uint8_t>(by * 60 + 10), 100};
}

const char* const kScript =
    "t/const { { map t/white.tga\n rgbGen const ( 1 0 0 ) } }\n"
    "t/add { { map t/white.tga\n rgbGen const ( 0.5 0.5 0.5 ) } { map t/red.tga\n blendFunc add } }\n"
    "t/scroll { { map t/bands.tga\n tcMod scroll 0.25 0 } }\n"
    "t/holes { { map t/holes.tga\n alphaFunc GE128 } }\n"
    "t/chrome { { map t/grid.tga\n tcGen environment } }\n"
    "t/wave { deformVertexes wave 100 sin 0 0.25 0.25 0\n { map t/white.tga } }\n"
    "t/lit { { map t/white.tga\n rgbGen lightingDiffuse } }\n"
    "t/anim { { animMap 1 t/red.tga t/white.tga } }\n"
    "t/sawtooth { { map t/white.tga\n rgbGen wave sawtooth 0 1 0 1 } }\n"
    "t/triangle { { map t/white.tga\n rgbGen wave triangle 0 1 0 1 } }\n"
    "t/back { cull back\n { map t/white.tga } }\n"
    "t/twosided { cull twosided\n { map t/white.tga } }\n"
    "t/veil { { map t/white.tga\n blendFunc blend\n rgbGen const ( 0 0 1 )\n alphaGen const 0.5 } }\n"
    "t/red { { map t/red.tga\n rgbGen identity } }\n";

// A square of side 1 in the part's x-y plane at height z, its triangles
// clockwise seen from +z (as the game's models face outwards), texture t
// running down from its top edge, every normal from the given bytes.
Surface square(const std::string& shader, std::array<uint8_t, 2> normal, float z = 0)
{
    Surface s;
    s.name = shader;
    s.shaders = {shader};
    s.texCoords = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const auto h = static_cast<int16_t>(z * 64);
    s.vertices = {{-32, 32, h, normal[0], normal[1]}, {32, 32, h, normal[0], normal[1]},
                  {32, -32, h, normal[0], normal[1]}, {-32, -32, h, normal[0], normal[1]}};
    s.triangles = {{0, 1, 2}, {0, 2, 3}};
    return s;
}

// The normal of two file bytes as the game decodes them (steps of a 256th
// of a turn through its sine table of period 1023).
std::array<double, 3> gameNormal(std::array<uint8_t, 2> bytes)
{
    const double polar = 2 * kPi * (bytes[0] * 4) / 1023, around = 2 * kPi * (bytes[1] * 4) / 1023;
    return {std::cos(around) * std::sin(polar), std::sin(around) * std::sin(polar), std::cos(polar)};
}

using Rgb = std::array<int, 3>;

struct Probe {
    int x, y; // from the bottom left
    Rgb expected;
};

struct Case {
    const char* label;
    std::vector<Surface> surfaces;
    double seconds;
    bool lighting;
    std::vector<Probe> probes;
};

void PrintTo(const Case& value, std::ostream* out) { *out << value.label; }

const Rgb kEmpty{kBackground, kBackground, kBackground};
constexpr std::array<uint8_t, 2> kFacingEye{0, 0};

std::vector<Case> cases()
{
    std::vector<Case> all;
    all.push_back({"ConstColourIsExact", {square("t/const", kFacingEye)}, 0, true, {{32, 32, {255, 0, 0}}}});
    // 255 * 0.5 truncated, then the red image added, clamped at 255.
    all.push_back({"AdditiveStageAddsClamped", {square("t/add", kFacingEye)}, 0, true,
                   {{32, 32, {std::min(255, 127 + 200), 127, 127}}}});
    for (const double seconds : {0.0, 1.0, 3.0}) {
        // At x = 36 the square's s is 0.64; scrolling adds the fraction of
        // 0.25 s^-1 times the time; the band is a quarter of the image.
        const double s = std::fmod(0.640625 + 0.25 * seconds, 1.0);
        const auto* band = kBands[static_cast<int>(s * 4)];
        all.push_back({"ScrollShiftsBySpeedTimesTime", {square("t/scroll", kFacingEye)}, seconds, true,
                       {{36, 32, {band[0], band[1], band[2]}}}});
    }
    all.push_back({"AlphaTestLeavesHolesBelowHalf", {square("t/holes", kFacingEye)}, 0, true,
                   {{20, 32, kEmpty}, {44, 32, {0, 200, 0}}}});
    {
        // The reflection of the eye about the normal picks the texel:
        // s = 0.5 + 0.5 R.y, t = 0.5 - 0.5 R.z with R = 2 (n.V) n - V.
        const std::array<uint8_t, 2> bytes{27, 11};
        const auto n = gameNormal(bytes);
        const double v[3] = {0, 0, 1}; // the eye straight ahead, 1000 away
        const double d = n[0] * v[0] + n[1] * v[1] + n[2] * v[2];
        const double s = 0.5 + 0.5 * (2 * d * n[1] - v[1]), t = 0.5 - 0.5 * (2 * d * n[2] - v[2]);
        // Well inside a block, where filtering cannot reach its neighbours.
        EXPECT_NEAR(std::fmod(s * 4, 1.0), 0.5, 0.3);
        EXPECT_NEAR(std::fmod(t * 4, 1.0), 0.5, 0.3);
        const auto colour = gridColour(static_cast<int>(s * 4), static_cast<int>(t * 4));
        all.push_back({"EnvironmentReflectsTheEye", {square("t/chrome", bytes)}, 0, true,
                       {{32, 32, {colour[0], colour[1], colour[2]}}}});
    }
    {
        // A normal along +x: the wave pushes the whole square right by
        // 0.25 sin(2 pi 256 / 1023) units, 32 pixels a unit.
        const double shift = 0.25 * std::sin(2 * kPi * 256 / 1023) * 32;
        const int left = static_cast<int>(std::lround(16 + shift)), right = static_cast<int>(std::lround(48 + shift));
        all.push_back({"WaveDeformMovesVerticesAlongTheirNormals", {square("t/wave", {64, 0})}, 0, true,
                       {{left - 3, 32, kEmpty}, {left + 3, 32, {255, 255, 255}}, {right - 3, 32, {255, 255, 255}},
                        {right + 3, 32, kEmpty}}});
    }
    {
        // The game's light for a model without a level: ambient 150 + 32,
        // directed 150 plus two lights of weight 400/3 (white) and 100 (red),
        // from in front, left and above the viewer.
        const double directed[3] = {150 + 400.0 / 3 + 100, 150 + 400.0 / 3, 150 + 400.0 / 3};
        const double menu[3] = {-400.0 / 3 / std::sqrt(3.0) - 100, 400.0 / 3 / std::sqrt(3.0), 400.0 / 3 / std::sqrt(3.0)};
        const double length = std::sqrt(menu[0] * menu[0] + menu[1] * menu[1] + menu[2] * menu[2]);
        const double towards[3] = {-menu[1] / length, menu[2] / length, -menu[0] / length}; // eye coordinates
        for (const std::array<uint8_t, 2> bytes : {std::array<uint8_t, 2>{128, 0}, std::array<uint8_t, 2>{100, 140},
                                                   std::array<uint8_t, 2>{0, 0}}) {
            const auto n = gameNormal(bytes);
            const double incoming = n[0] * towards[0] + n[1] * towards[1] + n[2] * towards[2];
            Rgb lit{};
            for (int c = 0; c < 3; ++c)
                lit[c] = static_cast<int>(std::min(255.0, std::nearbyint(182 + std::max(0.0, incoming) * directed[c])));
            all.push_back({"LightingDiffuseIsAmbientPlusDirected", {square("t/lit", bytes)}, 0, true, {{32, 32, lit}}});
        }
        all.push_back({"LightingOffDrawsLitStagesFullBright", {square("t/lit", {128, 0})}, 0, false,
                       {{32, 32, {255, 255, 255}}}});
    }
    all.push_back({"AnimMapShowsImageOfTheTime", {square("t/anim", kFacingEye)}, 0.5, true, {{32, 32, {200, 0, 0}}}});
    all.push_back({"AnimMapShowsImageOfTheTime", {square("t/anim", kFacingEye)}, 1.5, true, {{32, 32, {255, 255, 255}}}});
    // Table steps of a 1024th of a period: sawtooth 256/1024, triangle 128/256.
    all.push_back({"WaveColourAtItsTableStep", {square("t/sawtooth", kFacingEye)}, 0.25, true, {{32, 32, {64, 64, 64}}}});
    all.push_back({"WaveColourAtItsTableStep", {square("t/triangle", kFacingEye)}, 0.125, true,
                   {{32, 32, {128, 128, 128}}}});
    all.push_back({"CullBackHidesTheOutside", {square("t/back", kFacingEye)}, 0, true, {{32, 32, kEmpty}}});
    all.push_back({"CullTwoSidedShowsEither", {square("t/twosided", kFacingEye)}, 0, true, {{32, 32, {255, 255, 255}}}});
    // The veil comes first and nearer, yet opaque surfaces are drawn before
    // blended ones: red, then half of the blue veil over it.
    all.push_back({"OpaqueBeforeBlended", {square("t/veil", kFacingEye, 0.1f), square("t/red", kFacingEye)}, 0, true,
                   {{32, 32, {(200 * 128 + 127) / 255, 0, (255 * 127 + 127) / 255}}}});
    return all;
}

class GameRendering : public ::testing::TestWithParam<Case> {
protected:
    static void SetUpTestSuite()
    {
        platform::SetNonInteractive(true);
        gl = std::make_unique<testsupport::HeadlessGL>(64, 64);
        root = std::make_unique<testsupport::TempDir>();
        auto flat = [](uint8_t r, uint8_t g, uint8_t b) {
            return picture([=](int, int, uint8_t* p) { p[0] = r, p[1] = g, p[2] = b; });
        };
        root->write("t/white.tga", writers::encodeTga(flat(255, 255, 255)));
        root->write("t/red.tga", writers::encodeTga(flat(200, 0, 0)));
        root->write("t/holes.tga", writers::encodeTga(picture(
                                       [](int x, int, uint8_t* p) { p[0] = 0, p[1] = 200, p[2] = 0, p[3] = x < 8 ? 0 : 255; },
                                       4)));
        root->write("t/bands.tga", writers::encodeTga(picture([](int x, int, uint8_t* p) {
                        std::copy_n(kBands[x / 4], 3, p);
                    })));
        root->write("t/grid.tga", writers::encodeTga(picture([](int x, int y, uint8_t* p) {
                        const auto c = gridColour(x / 4, y / 4);
                        std::copy(c.begin(), c.end(), p);
                    })));
        root->write("scripts/t.shader", kScript);
        files::MountGameRoot(root->path());
        std::vector<ShaderProblem> problems;
        shaders = LoadShaderScripts(problems);
        ASSERT_TRUE(problems.empty());
    }
    static void TearDownTestSuite()
    {
        files::MountDisk();
        root.reset();
        gl.reset();
    }

    std::vector<uint8_t> draw(const Case& c)
    {
        Model model;
        model.surfaces = c.surfaces;
        const std::string bytes = build(model);
        GamePart part;
        LoadMD3FromBytes(part.model, "square.md3", std::vector<uint8_t>(bytes.begin(), bytes.end()));
        TextureSet textures(&shaders);
        for (const TMesh& mesh : part.model.Meshes)
            part.shaders.push_back(textures.ShaderFor(ShaderName(mesh), ShaderUse::Skin));
        glViewport(0, 0, 64, 64);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-1, 1, -1, 1, 1, 3000);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslatef(0, 0, -1000);
        glClearColor(kBackground / 255.0f, kBackground / 255.0f, kBackground / 255.0f, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        c.lighting ? glEnable(GL_LIGHTING) : glDisable(GL_LIGHTING);
        glDisable(GL_BLEND);
        DrawGameModel(part, c.seconds);
        // Nothing of the passes is left behind.
        EXPECT_FALSE(glIsEnabled(GL_BLEND) || glIsEnabled(GL_ALPHA_TEST) || glIsEnabled(GL_CULL_FACE));
        EXPECT_EQ(glIsEnabled(GL_LIGHTING), c.lighting ? GL_TRUE : GL_FALSE);
        std::vector<uint8_t> pixels = gl->readPixels();
        textures.Clear();
        return pixels;
    }

    static inline std::unique_ptr<testsupport::HeadlessGL> gl;
    static inline std::unique_ptr<testsupport::TempDir> root;
    static inline ShaderTable shaders;
};

TEST_P(GameRendering, GivesThePixelsOfTheGamesRules)
{
    UseSceneLight(SceneLight::Game);
    const Case& c = GetParam();
    const std::vector<uint8_t> pixels = draw(c);
    for (const Probe& probe : c.probes) {
        const uint8_t* p = &pixels[(static_cast<size_t>(probe.y) * 64 + probe.x) * 3];
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(p[k], probe.expected[k], 1) << "channel " << k << " at " << probe.x << ", " << probe.y;
    }
}

INSTANTIATE_TEST_SUITE_P(Shaders, GameRendering, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return std::string(info.param.label) + std::to_string(info.index); });

// What draws nothing, for framing: the meshes of stageless shaders through
// the whole tree, not those without a shader or with stages.
TEST(GameRendering, MeshesDrawingNothingAreThoseOfStagelessShaders)
{
    BoundShader stageless, staged;
    staged.shader.stages.emplace_back();
    GamePart root, child;
    root.model.Meshes.resize(3);
    root.shaders = {&stageless, &staged};
    root.links = {nullptr, &child};
    child.model.Meshes.resize(1);
    child.shaders = {&stageless};
    EXPECT_EQ(MeshesDrawingNothing(root),
              (std::unordered_set<const TMesh*>{&root.model.Meshes[0], &child.model.Meshes[0]}));
}

} // namespace
