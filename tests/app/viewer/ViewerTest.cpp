// The main window in-process: a real offscreen window and GL context, the
// program's units, and the sample characters written into a sandbox.
#include "app/viewer/Unit1.h"
#include "app/viewer/Units.h"
#include "app/viewer/Weapons.h"

#include "OpglLib/MaterialDefine.h"
#include "OpglLib/OpglLight.h"
#include "OpglLib/OpglTxtFont.h"
#include "OpglLib/QueltoLogo.h"
#include "platform/window/GLContext.h"
#include "platform/system/Random.h"
#include "platform/system/System.h"
#include "support/ProgramSession.h"
#include "tools/samples/SampleModels.h"
#include "tools/writers/ImageWriters.h"
#include "tools/writers/Md3Writer.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace {

using platform::TShiftState;

class Viewer : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        session = std::make_unique<testsupport::ProgramSession>(
            5000, [](const testsupport::TempDir& dir) { samples::writeSampleModels(dir.file("Model")); });
        sandbox = &session->sandbox;
    }
    static void TearDownTestSuite() { session.reset(); }

    // A freshly created main window showing the Sarge character (the start
    // question is answered "closed" in non-interactive mode).
    void SetUp() override
    {
        ModelRoot = sandbox->dir.file("Model/");
        Player = Q3Player{};
        Weapon = TMD3Model{};
        SmoothedTime = StartTick = 0;
        ShowOverlay = UseTextureFont = true;
        window.Create({});
        form = std::make_unique<TForm1>(window);
        platform::ClearRecordedMessages();
        form->FormCreate();
        window.Show();
        form->FormResize();
    }
    void TearDown() override { form->FormDestroy(); }

    void press(uint16_t key, TShiftState shift = 0) { form->FormKeyDown(key, shift); }
    // One frame as drawn, read right before it is presented: RGB, bottom row first.
    std::vector<uint8_t> drawnFrame()
    {
        std::vector<uint8_t> pixels;
        platform::SetBeforeSwapHook([&] {
            pixels.resize(static_cast<size_t>(window.ClientWidth()) * window.ClientHeight() * 3);
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glReadPixels(0, 0, window.ClientWidth(), window.ClientHeight(), GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        });
        form->DrawFrame();
        platform::SetBeforeSwapHook(nullptr);
        return pixels;
    }
    // The picture once it no longer changes from frame to frame. Right after a
    // change the light markers, which are drawn untextured, show whatever
    // texture the frame before left bound, and the first update of a newly
    // loaded character moves its pose.
    std::vector<uint8_t> steadyFrame()
    {
        std::vector<uint8_t> last = drawnFrame();
        for (int i = 0; i < kFramesToSettle; ++i) {
            std::vector<uint8_t> next = drawnFrame();
            if (next == last)
                break;
            last = std::move(next);
        }
        return last;
    }
    static constexpr int kFramesToSettle = 5;
    float eyeDistance()
    {
        TGLPoint4f e = form->CameraRec.Eye, v = form->CameraRec.View;
        return std::sqrt((e.X - v.X) * (e.X - v.X) + (e.Y - v.Y) * (e.Y - v.Y) + (e.Z - v.Z) * (e.Z - v.Z));
    }

    static std::unique_ptr<testsupport::ProgramSession> session;
    static testsupport::Sandbox* sandbox;
    platform::Window window;
    std::unique_ptr<TForm1> form;
};

std::unique_ptr<testsupport::ProgramSession> Viewer::session;
testsupport::Sandbox* Viewer::sandbox = nullptr;

} // namespace

TEST_F(Viewer, ClosingTheQuestionLoadsTheSecondCharacterAndStartsTheClock)
{
    ASSERT_EQ(platform::RecordedMessages().size(), 2u); // "No OpenGL Hardware", then the question
    EXPECT_EQ(platform::RecordedMessages()[1].text, "Load Model Lara(Yes) or Sarge(No).");
    EXPECT_NE(Player.Lower.FileName.find("ModelSarge/Body/lower.md3"), std::string::npos);
    EXPECT_FALSE(Weapon.Meshes.empty());
    EXPECT_TRUE(form->Timer1.Enabled());
    EXPECT_EQ(StartTick, platform::GetTickCount());
}

TEST_F(Viewer, ClockIsTheMeanOfItsLastValueAndTheElapsedTime)
{
    platform::AdvanceTickCount(101);
    form->Timer1Timer();
    EXPECT_EQ(SmoothedTime, 50u); // 101 / 2, rounded down
    platform::AdvanceTickCount(60);
    form->Timer1Timer();
    EXPECT_EQ(SmoothedTime, (50u + 161u) / 2);
    press(platform::VK_SPACE); // pause
    EXPECT_FALSE(form->Timer1.Enabled());
    const uint32_t paused = SmoothedTime;
    platform::AdvanceTickCount(5000);
    press('L');
    form->FormMouseMove(0, 10, 10);
    EXPECT_EQ(SmoothedTime, paused);
}

TEST_F(Viewer, PageKeysStepTheIntervalWithinItsBounds)
{
    auto after = [&](uint32_t start, uint16_t key) {
        form->Timer1.SetInterval(start);
        press(key);
        return form->Timer1.Interval();
    };
    EXPECT_EQ(after(1, platform::VK_NEXT), 31u);
    EXPECT_EQ(after(31, platform::VK_PRIOR), 1u);
    EXPECT_EQ(after(30, platform::VK_PRIOR), 1u);
    EXPECT_EQ(after(1000, platform::VK_PRIOR), 970u);
    EXPECT_EQ(after(991, platform::VK_NEXT), 1000u);
    EXPECT_EQ(after(1000, platform::VK_NEXT), 1000u);
}

TEST_F(Viewer, SwitchKeysToggleAndUnknownKeysOnlyRedraw)
{
    TGLLighter* lighter = TGLLighter::Instance();
    auto lightStates = [&] {
        std::vector<bool> on;
        for (int i = 0; i < 8; ++i)
            on.push_back(lighter->IsLightOn(i));
        return on;
    };
    const std::vector<bool> before = lightStates();
    for (uint16_t key : {uint16_t('8'), uint16_t('9'), uint16_t(0x60), uint16_t(0x63), uint16_t(0x69),
                         uint16_t('Q'), uint16_t(0xFF)})
        press(key);
    EXPECT_EQ(lightStates(), before);
    EXPECT_TRUE(form->Timer1.Enabled());
    EXPECT_TRUE(ShowOverlay && UseTextureFont);

    press('3');
    EXPECT_NE(lighter->IsLightOn(3), before[3]);
    press('3');
    EXPECT_EQ(lightStates(), before);

    // Z steps the colour mode through 0 ... 3; four presses come back.
    const uint8_t mode = TGLTxtFont::Instance()->ColorMode;
    for (int i = 1; i <= 4; ++i) {
        press('Z');
        EXPECT_EQ(TGLTxtFont::Instance()->ColorMode, (mode + i) % 4) << i;
    }

    press('L');
    EXPECT_FALSE(lighter->IsLightingOn());
    press('L');
    EXPECT_TRUE(lighter->IsLightingOn());
    press('T');
    press('F');
    press('C');
    press('S');
    press('B');
    EXPECT_FALSE(ShowOverlay);
    EXPECT_FALSE(UseTextureFont);
    EXPECT_TRUE(TGLQueltoLogo::Instance()->LogoSwitch); // false after creation
    EXPECT_TRUE(lighter->TwoSide);
    EXPECT_TRUE(TGLManager::Instance()->BlendEnabled);
    press('B');
    press('S');
    EXPECT_FALSE(TGLManager::Instance()->BlendEnabled);
    EXPECT_FALSE(lighter->TwoSide);
}

TEST_F(Viewer, PoseKeyStartsTheAnimationDrawnFromTheClockSeed)
{
    // The generator seeded with the tick count t gives
    // ((t * 134775813 + 1) mod 2^32) * 25 / 2^32: worked out by hand for each
    // clock below, one animation of both parts, one of the torso, two of the legs.
    const struct {
        uint32_t tick;
        int32_t drawn;
        bool torso, legs;
    } cases[] = {{123457, 1, true, true}, {777, 9, true, false}, {424242, 17, false, true}, {5000, 22, false, true}};
    const uint32_t before = platform::GetTickCount();
    for (const auto& c : cases) {
        const int32_t legs = Player.LegsAnim, torso = Player.TorsoAnim;
        platform::UseManualClock(c.tick);
        press('M');
        EXPECT_EQ(Player.TorsoAnim, c.torso ? c.drawn : torso) << c.tick;
        EXPECT_EQ(Player.LegsAnim, c.legs ? c.drawn : legs) << c.tick;
    }
    platform::UseManualClock(before);
}

TEST_F(Viewer, MouseAndWheelMoveTheCamera)
{
    const float start = eyeDistance();
    bool handled = false;
    form->FormMouseWheel(0, -120, 0, 0, handled);
    EXPECT_NEAR(eyeDistance(), start - 5, 1e-3);
    form->FormMouseWheel(platform::ssShift, -1, 0, 0, handled);
    form->FormMouseWheel(platform::ssCtrl, -480, 0, 0, handled);
    EXPECT_NEAR(eyeDistance(), start - 15, 1e-3);
    form->FormMouseWheel(platform::ssShift | platform::ssCtrl, 120, 0, 0, handled);
    EXPECT_NEAR(eyeDistance(), start - 10, 1e-3);

    const TGLPoint4f eye = form->CameraRec.Eye;
    form->FormMouseDown(platform::TMouseButton::mbLeft, platform::ssLeft, 100, 100);
    form->FormMouseMove(0, 140, 100); // no button: only recorded
    EXPECT_EQ(form->CameraRec.Eye.X, eye.X);
    form->FormMouseMove(platform::ssLeft, 180, 100); // orbit about the vertical
    EXPECT_NE(form->CameraRec.Eye.X, eye.X);
    EXPECT_NEAR(eyeDistance(), start - 10, 1e-2);
}

TEST_F(Viewer, BrokenModelFileEndsCreationWithAMessageAndTheTimerOff)
{
    form->FormDestroy();
    sandbox->dir.write("Broken/ModelSarge/Body/lower.md3", std::string("IDP3\x0F\0\0\0", 8) + "short");
    ModelRoot = sandbox->dir.file("Broken/");
    Player = Q3Player{};
    StartTick = 0;
    TForm1 broken(window);
    platform::ClearRecordedMessages();
    platform::RunHandler([&] { broken.FormCreate(); });
    EXPECT_FALSE(broken.Timer1.Enabled());
    EXPECT_EQ(StartTick, 0u);
    ASSERT_FALSE(platform::RecordedMessages().empty());
    EXPECT_NE(platform::RecordedMessages().back().text.find("lower.md3"), std::string::npos);
    broken.DrawFrame(); // the window still draws: axes, cross, lights, overlay
    broken.FormDestroy();
}

TEST_F(Viewer, DigitKeysZeroToSevenSwitchOnlyTheirLight)
{
    TGLLighter* lighter = TGLLighter::Instance();
    for (int i = 0; i < 8; ++i) {
        std::vector<bool> before, after;
        for (int j = 0; j < 8; ++j)
            before.push_back(lighter->IsLightOn(j));
        press(static_cast<uint16_t>('0' + i));
        for (int j = 0; j < 8; ++j)
            after.push_back(lighter->IsLightOn(j));
        for (int j = 0; j < 8; ++j)
            EXPECT_EQ(after[j], j == i ? !before[j] : before[j]) << "key " << i << ", light " << j;
    }
}

// Hiding the overlay removes its six lines and nothing else: outside the
// band the lines take up, the picture is the same pixel for pixel. Several
// frames are drawn in each state, so that GL state the overlay's drawing
// left behind would show in the scene of the frames after it.
TEST_F(Viewer, HidingTheOverlayChangesOnlyTheOverlay)
{
    const std::vector<uint8_t> shown = steadyFrame();
    press('T');
    ASSERT_FALSE(ShowOverlay);
    const std::vector<uint8_t> hidden = steadyFrame();
    ASSERT_EQ(shown.size(), hidden.size());

    // The lines start at x = 20 and y = 20 ... 170 of a text plane as large
    // as the desktop, stretched over the window; a line is one cell high.
    const int width = window.ClientWidth(), height = window.ClientHeight();
    const platform::ScreenSize plane = platform::DesktopSize();
    const double toX = double(width) / plane.width, toY = double(height) / plane.height;
    const int bandLeft = int((20 - 2) * toX), bandTop = int(std::ceil((170 + TGLTxtFont::kCellSize + 2) * toY));
    size_t inBand = 0, outside = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const size_t at = (size_t(y) * width + x) * 3;
            if (std::memcmp(&shown[at], &hidden[at], 3) == 0)
                continue;
            (x >= bandLeft && y <= bandTop ? inBand : outside) += 1;
        }
    EXPECT_GT(inBand, 500u); // the text was there
    EXPECT_EQ(outside, 0u);
}

TEST_F(Viewer, AnsweringNoOrYesLoadsThatCharacterAndItsWeapon)
{
    form->FormDestroy();
    for (auto [answer, folder] : {std::pair{platform::DialogAnswer::No, std::string("ModelSarge/")},
                                  std::pair{platform::DialogAnswer::Yes, std::string("ModelLara/")}}) {
        Player = Q3Player{};
        Weapon = TMD3Model{};
        TForm1 other(window);
        other.PresetAnswer = answer;
        other.FormCreate();
        EXPECT_EQ(Player.Lower.FileName, ModelRoot + folder + "Body/lower.md3");
        EXPECT_EQ(Weapon.FileName, ModelRoot + folder + "Weapon/railgun.md3");
        EXPECT_FALSE(Weapon.Meshes.empty());
        EXPECT_TRUE(other.Timer1.Enabled());
        other.FormDestroy();
    }
}

// The logo's material after window creation is the table's "Polished_Gold",
// found by its name rather than by its place in the table.
TEST_F(Viewer, WindowCreationGivesTheLogoThePolishedGoldMaterial)
{
    const auto named = std::find(MaterialNames.begin(), MaterialNames.end(), "Polished_Gold");
    ASSERT_NE(named, MaterialNames.end());
    const TGLMaterial& entry = MaterialTable[size_t(named - MaterialNames.begin())];
    const TGLMaterial& logo = TGLQueltoLogo::Instance()->LogoMaterial;
    EXPECT_EQ(logo.Name, "Polished_Gold");
    EXPECT_EQ(logo.Shininess, entry.Shininess);
    for (auto colour : {&TGLMaterial::Ambient, &TGLMaterial::Diffuse, &TGLMaterial::Specular, &TGLMaterial::Emission})
        EXPECT_EQ(std::memcmp(&(logo.*colour), &(entry.*colour), sizeof(TGLColor4f)), 0);
}

// In the second weapon set one image serves two surfaces; it is loaded once
// for each, as two textures of the same picture.
TEST_F(Viewer, SameWeaponImageTwiceMakesTwoTextures)
{
    auto textureOf = [](const char* surface) -> GLuint {
        for (const TMesh& mesh : Weapon.Meshes)
            if (MD3Name(mesh.Header.Name) == surface && mesh.HasTexture)
                return mesh.Texture;
        return 0;
    };
    const GLuint first = textureOf("w_railgun1"), again = textureOf("w_railgun05");
    ASSERT_TRUE(glIsTexture(first));
    ASSERT_TRUE(glIsTexture(again));
    EXPECT_NE(first, again);
    auto texels = [](GLuint texture) {
        GLint width = 0, height = 0;
        glBindTexture(GL_TEXTURE_2D, texture);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        std::vector<uint8_t> bytes(size_t(width) * height * 4);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
        return bytes;
    };
    EXPECT_EQ(texels(first), texels(again));
    EXPECT_NE(texels(first), texels(textureOf("w_railgun4")));
}

// Surface names match the set's names whatever their letter case; a surface
// the set does not name stays untextured.
TEST_F(Viewer, WeaponSurfacesMatchIgnoringLetterCase)
{
    auto triangle = [](const std::string& name) {
        writers::Md3Surface surface;
        surface.name = name;
        surface.triangles = {{0, 1, 2}};
        surface.texCoords = {{0, 0}, {1, 0}, {0, 1}};
        surface.frames = {{{{0, 0, 0}, {0, 0, 1}}, {{8, 0, 0}, {0, 0, 1}}, {{0, 8, 0}, {0, 0, 1}}}};
        return surface;
    };
    writers::Md3Model gun;
    gun.name = "railgun";
    gun.frameCount = 1;
    gun.tags = {{}};
    gun.surfaces = {triangle("W_RAILCASE"), triangle("w_RailGrip"), triangle("w_railcase_spare")};
    auto solid = [](uint8_t r, uint8_t g, uint8_t b) {
        writers::Image image(2, 2, 3);
        for (size_t i = 0; i < image.pixels.size(); i += 3)
            image.pixels[i] = r, image.pixels[i + 1] = g, image.pixels[i + 2] = b;
        return writers::encodeBmp24(image);
    };
    sandbox->dir.write("Caps/ModelLara/Weapon/railgun.md3", writers::serialiseMd3(gun));
    sandbox->dir.write("Caps/ModelLara/Weapon/railgun.bmp", solid(200, 10, 10));
    sandbox->dir.write("Caps/ModelLara/Weapon/railgun2.bmp", solid(10, 200, 10));
    ModelRoot = sandbox->dir.file("Caps/");
    Weapon = TMD3Model{};
    LoadLaraWeapon();
    ASSERT_EQ(Weapon.Meshes.size(), 3u);

    auto firstTexel = [](const TMesh& mesh) {
        uint8_t rgb[2 * 2 * 3] = {};
        glBindTexture(GL_TEXTURE_2D, mesh.Texture);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb);
        return std::vector<int>{rgb[0], rgb[1], rgb[2]};
    };
    ASSERT_TRUE(Weapon.Meshes[0].HasTexture);
    ASSERT_TRUE(Weapon.Meshes[1].HasTexture);
    EXPECT_EQ(firstTexel(Weapon.Meshes[0]), (std::vector<int>{200, 10, 10}));
    EXPECT_EQ(firstTexel(Weapon.Meshes[1]), (std::vector<int>{10, 200, 10}));
    EXPECT_FALSE(Weapon.Meshes[2].HasTexture);
}

// The weapon hangs on the torso's tag when it is loaded. Loaded before the
// character, it finds an empty torso and is never drawn, not even once the
// character is there; loaded after, it shows.
TEST_F(Viewer, WeaponLoadedBeforeTheCharacterDrawsNothing)
{
    const std::string body = ModelRoot + "ModelSarge/Body/";
    Player = Q3Player{};
    Weapon = TMD3Model{};
    const std::vector<uint8_t> emptyScene = steadyFrame();
    LoadSargeWeapon();
    ASSERT_FALSE(Weapon.Meshes.empty());
    EXPECT_EQ(steadyFrame(), emptyScene);
    LoadPlayer(Player, body, "default");
    const std::vector<uint8_t> weaponFirst = steadyFrame();

    Player = Q3Player{};
    Weapon = TMD3Model{};
    LoadPlayer(Player, body, "default");
    EXPECT_EQ(steadyFrame(), weaponFirst); // the character alone
    LoadSargeWeapon();
    EXPECT_NE(steadyFrame(), weaponFirst);
}

// The model folder is taken from the current folder: "Model/", or under a
// debugger "ReleaseQuillmo/Model/", where the batch runner keeps the build.
TEST(Unit1, ModelFolderFollowsTheDebuggerFlag)
{
    const std::string start = platform::GetCurrentDir();
    testsupport::TempDir dir;
    ASSERT_TRUE(platform::SetCurrentDir(dir.path()));
    const std::string here = platform::GetCurrentDir() + "/";
    platform::SetDebuggerOverride(true);
    Unit1Initialization();
    EXPECT_EQ(ModelRoot, here + "ReleaseQuillmo/Model/");
    platform::SetDebuggerOverride(false);
    Unit1Initialization();
    EXPECT_EQ(ModelRoot, here + "Model/");
    platform::SetDebuggerOverride(std::nullopt);
    Unit1Finalization();
    platform::SetCurrentDir(start);
}

TEST_F(Viewer, OverlayFontsAndColourModesLeaveTheCharacterItsColours)
{
    press(platform::VK_SPACE); // a still pose
    // Rows above the overlay's six lines (they run up from the bottom), where
    // the character stands.
    const int width = window.ClientWidth(), height = window.ClientHeight();
    const int overlayTop = 230, rows = height - overlayTop;
    auto character = [&] {
        std::vector<uint8_t> pixels(static_cast<size_t>(width) * rows * 3);
        platform::SetBeforeSwapHook([&] {
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glReadPixels(0, overlayTop, width, rows, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        });
        // The frame after the overlay changed is the one it could tint.
        form->DrawFrame();
        form->DrawFrame();
        platform::SetBeforeSwapHook(nullptr);
        return pixels;
    };
    press('T');
    ASSERT_FALSE(ShowOverlay);
    const std::vector<uint8_t> alone = character();
    size_t lit = 0;
    for (uint8_t value : alone)
        lit += value > 40;
    ASSERT_GT(lit, 3000u) << "the character is not in the compared rows";

    press('T');
    EXPECT_TRUE(alone == character()) << "texture font";
    for (int mode = 0; mode < 4; ++mode) {
        press('Z');
        EXPECT_TRUE(alone == character()) << "colour mode " << int(TGLTxtFont::Instance()->ColorMode);
    }
    press('F');
    EXPECT_TRUE(alone == character()) << "GL font";
}
