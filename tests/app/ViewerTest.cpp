// The main window in-process: a real offscreen window and GL context, the
// program's units, and the sample characters written into a sandbox.
#include "app/Unit1.h"
#include "app/Units.h"

#include "OpglLib/OpglLight.h"
#include "OpglLib/OpglTxtFont.h"
#include "OpglLib/QueltoLogo.h"
#include "platform/Random.h"
#include "platform/System.h"
#include "support/Sandbox.h"
#include "tools/samples/SampleModels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

using platform::TShiftState;

class Viewer : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        platform::SetNonInteractive(true);
        sandbox = std::make_unique<testsupport::Sandbox>();
        samples::writeSampleModels(sandbox->dir.file("Model"));
        platform::UseManualClock(5000);
        StartUnits();
        platform::Application::Initialize(true);
    }
    static void TearDownTestSuite()
    {
        EndUnits();
        platform::Application::Finish();
        platform::UseWallClock();
        sandbox.reset();
    }

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
    float eyeDistance()
    {
        TGLPoint4f e = form->CameraRec.Eye, v = form->CameraRec.View;
        return std::sqrt((e.X - v.X) * (e.X - v.X) + (e.Y - v.Y) * (e.Y - v.Y) + (e.Z - v.Z) * (e.Z - v.Z));
    }

    static std::unique_ptr<testsupport::Sandbox> sandbox;
    platform::Window window;
    std::unique_ptr<TForm1> form;
};

std::unique_ptr<testsupport::Sandbox> Viewer::sandbox;

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

    const uint8_t mode = TGLTxtFont::Instance()->ColorMode;
    for (int i = 0; i < 4; ++i)
        press('z');
    EXPECT_EQ(TGLTxtFont::Instance()->ColorMode, mode);

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
    for (int step = 0; step < 60; ++step) {
        platform::AdvanceTickCount(7);
        const int32_t legs = Player.LegsAnim, torso = Player.TorsoAnim;
        platform::SetRandSeed(platform::GetTickCount());
        const uint32_t r = platform::Random(25);
        press('M');
        if (r <= 5) {
            EXPECT_EQ(Player.LegsAnim, int32_t(r));
            EXPECT_EQ(Player.TorsoAnim, int32_t(r));
        } else if (r <= 12) {
            EXPECT_EQ(Player.TorsoAnim, int32_t(r));
            EXPECT_EQ(Player.LegsAnim, legs);
        } else {
            EXPECT_EQ(Player.LegsAnim, int32_t(r));
            EXPECT_EQ(Player.TorsoAnim, torso);
        }
    }
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
