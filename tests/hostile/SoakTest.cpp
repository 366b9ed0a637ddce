// A long session of random input on the real window: keys of the whole key
// table, mouse presses and moves under every button and modifier combination,
// wheel turns, resizes down to nothing and timer ticks on the manual clock.
// Nothing may fail, and replaying the same session from the same state may not
// take more heap than the time before.
#include "app/viewer/Unit1.h"
#include "app/viewer/Units.h"

#include "OpglLib/OpglLight.h"
#include "OpglLib/OpglTxtFont.h"
#include "OpglLib/QueltoLogo.h"
#include "platform/system/Random.h"
#include "platform/system/System.h"
#include "support/HeapBytes.h"
#include "support/ProgramSession.h"
#include "tools/samples/SampleModels.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

namespace {

using platform::TShiftState;

constexpr uint32_t kSeed = 0x51ED5EED;
constexpr int kEventsPerPass = 1500;
constexpr std::chrono::seconds kLongestPass{7};
// Allowed growth from one pass to the next. Replayed on softpipe the heap comes
// back to within a few bytes; a leak of some 50 bytes per event exceeds this.
constexpr size_t kGrowthToleranceBytes = 32u << 10;
constexpr int kLargestSide = 640;

// Every key the window hands on: Space, Page Up and Down, the digits, the
// keypad digits, the letters and a few keys the viewer does not use.
std::vector<uint16_t> keyTable()
{
    std::vector<uint16_t> keys{platform::VK_SPACE, platform::VK_PRIOR, platform::VK_NEXT, platform::VK_RETURN,
                               platform::VK_ESCAPE, platform::VK_F1, 0xFF};
    for (int d = 0; d <= 9; ++d) {
        keys.push_back(platform::VkDigit(d));
        keys.push_back(platform::VkNumpad(d));
    }
    for (char c = 'A'; c <= 'Z'; ++c)
        keys.push_back(platform::VkLetter(c));
    return keys;
}

// Everything the keys, the clock and the random generator change. The GL
// driver keeps a compiled program for every combination of switches it meets;
// starting each pass from the same state makes each pass meet the same ones.
struct SessionState {
    std::array<bool, 8> lightOn{};
    bool lighting = false, twoSide = false, blend = false, logo = false;
    bool textureFont = false, overlay = false, timerOn = false;
    uint8_t colorMode = 0;
    uint32_t interval = 0, clock = 0, seed = 0, startTick = 0, smoothedTime = 0;
    TGLCameraRec camera{};
    std::array<TMD3Model, 3> parts; // animation fields only, no meshes
    int32_t legsAnim = 0, torsoAnim = 0;
};

void copyAnimation(const TMD3Model& from, TMD3Model& to)
{
    to.CurrentFrame = from.CurrentFrame;
    to.StartFrame = from.StartFrame;
    to.EndFrame = from.EndFrame;
    to.NextFrame = from.NextFrame;
    to.FPS = from.FPS;
    to.Blend = from.Blend;
    to.LastTime = from.LastTime;
}

class Soak : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Mesa's softpipe: llvmpipe compiles shaders on threads of its own and
        // its heap differs by megabytes between two runs of the same frames.
        ::setenv("GALLIUM_DRIVER", "softpipe", 1);
        session = std::make_unique<testsupport::ProgramSession>(
            1000, [](const testsupport::TempDir& dir) { samples::writeSampleModels(dir.file("Model")); });
        ModelRoot = session->sandbox.dir.file("Model/");
        window.Create({});
        form = std::make_unique<TForm1>(window);
        form->FormCreate();
        window.Show();
        window.SetClientSize(320, 240);
        platform::ClearRecordedMessages();
    }
    void TearDown() override
    {
        form->FormDestroy();
        form.reset();
        session.reset();
    }

    SessionState capture() const
    {
        TGLLighter* lighter = TGLLighter::Instance();
        SessionState s;
        for (int i = 0; i < 8; ++i)
            s.lightOn[i] = lighter->IsLightOn(i);
        s.lighting = lighter->IsLightingOn();
        s.twoSide = lighter->TwoSide;
        s.blend = TGLManager::Instance()->BlendEnabled;
        s.logo = TGLQueltoLogo::Instance()->LogoSwitch;
        s.textureFont = UseTextureFont;
        s.overlay = ShowOverlay;
        s.colorMode = TGLTxtFont::Instance()->ColorMode;
        s.timerOn = form->Timer1.Enabled();
        s.interval = form->Timer1.Interval();
        s.clock = platform::GetTickCount();
        s.seed = platform::RandSeed();
        s.startTick = StartTick;
        s.smoothedTime = SmoothedTime;
        s.camera = form->CameraRec;
        copyAnimation(Player.Lower, s.parts[0]);
        copyAnimation(Player.Upper, s.parts[1]);
        copyAnimation(Player.Head, s.parts[2]);
        s.legsAnim = Player.LegsAnim;
        s.torsoAnim = Player.TorsoAnim;
        return s;
    }

    void restore(const SessionState& s)
    {
        TGLLighter* lighter = TGLLighter::Instance();
        for (int i = 0; i < 8; ++i)
            lighter->SetLightOn(i, s.lightOn[i]);
        s.lighting ? lighter->LightingOn() : lighter->LightingOff();
        lighter->SetTwoSide(s.twoSide);
        TGLManager::Instance()->SetBlending(s.blend);
        TGLQueltoLogo::Instance()->LogoSwitch = s.logo;
        UseTextureFont = s.textureFont;
        ShowOverlay = s.overlay;
        TGLTxtFont::Instance()->ColorMode = s.colorMode;
        platform::UseManualClock(s.clock);
        form->Timer1.SetEnabled(false); // a restarted timer counts from the next poll
        form->Timer1.SetInterval(s.interval);
        form->Timer1.SetEnabled(s.timerOn);
        platform::SetRandSeed(s.seed);
        StartTick = s.startTick;
        SmoothedTime = s.smoothedTime;
        form->CameraRec = s.camera;
        copyAnimation(s.parts[0], Player.Lower);
        copyAnimation(s.parts[1], Player.Upper);
        copyAnimation(s.parts[2], Player.Head);
        Player.LegsAnim = s.legsAnim;
        Player.TorsoAnim = s.torsoAnim;
        window.SetClientSize(320, 240);
    }

    // One random event; mouse and wheel events walk through all 64 shift
    // states in turn.
    void randomEvent()
    {
        const int x = coordinate(random), y = coordinate(random);
        const int eventKind = kind(random);
        const auto shift = static_cast<TShiftState>(eventKind >= 2 && eventKind <= 5 ? mouseEvents++ % 64 : 0);
        switch (eventKind) {
        case 0:
        case 1: {
            uint16_t key = keys[random() % keys.size()];
            const auto keyShift = static_cast<TShiftState>(random() % 64);
            platform::RunHandler([&] { form->FormKeyDown(key, keyShift); });
            break;
        }
        case 2: {
            const auto button = static_cast<platform::TMouseButton>(random() % 3);
            platform::RunHandler([&] { form->FormMouseDown(button, shift, x, y); });
            break;
        }
        case 3:
        case 4:
            platform::RunHandler([&] { form->FormMouseMove(shift, x, y); });
            break;
        case 5: {
            static constexpr int kDeltas[] = {-480, -120, -1, 1, 120, 480, 360, -240};
            const int delta = kDeltas[random() % 8];
            bool handled = false;
            platform::RunHandler([&] { form->FormMouseWheel(shift, delta, x, y, handled); });
            break;
        }
        case 6: {
            static constexpr int kSides[] = {0, 1, 2, 17};
            const int w = random() % 3 == 0 ? kSides[random() % 4] : 1 + static_cast<int>(random() % kLargestSide);
            const int h = random() % 3 == 0 ? kSides[random() % 4] : 1 + static_cast<int>(random() % kLargestSide);
            window.SetClientSize(w, h);
            break;
        }
        default:
            platform::AdvanceTickCount(random() % 120);
            form->Timer1.Poll(platform::GetTickCount());
            break;
        }
    }

    // One pass of the session from state start, at most count events and
    // kLongestPass long; returns the number of events.
    int runPass(const SessionState& start, int count)
    {
        restore(start);
        random.seed(kSeed);
        mouseEvents = 0;
        const auto end = std::chrono::steady_clock::now() + kLongestPass;
        int i = 0;
        for (; i < count && std::chrono::steady_clock::now() < end; ++i)
            randomEvent();
        events += i;
        return i;
    }

    // The heap at one window size with all drawing finished.
    size_t settledHeap()
    {
        window.SetClientSize(320, 240);
        form->DrawFrame();
        glFinish();
        return testsupport::heapBytes();
    }

    std::unique_ptr<testsupport::ProgramSession> session;
    platform::Window window;
    std::unique_ptr<TForm1> form;
    std::mt19937 random{kSeed};
    std::uniform_int_distribution<int> kind{0, 7};
    std::uniform_int_distribution<int> coordinate{-50, kLargestSide + 50};
    std::vector<uint16_t> keys = keyTable();
    int events = 0;
    int mouseEvents = 0;
};

} // namespace

TEST_F(Soak, RandomInputNeverFailsAndTheHeapStaysFlat)
{
    const SessionState start = capture();
    // The warm-up pass settles fonts, textures and driver programs, and sets
    // the length of the passes that follow, so that they replay it exactly.
    const int count = runPass(start, kEventsPerPass);
    runPass(start, count);
    const size_t first = settledHeap();
    runPass(start, count);
    const size_t second = settledHeap();

    EXPECT_TRUE(platform::RecordedMessages().empty())
        << platform::RecordedMessages().front().caption << ": " << platform::RecordedMessages().front().text;
    EXPECT_LT(second, first + kGrowthToleranceBytes)
        << "heap " << first << " bytes after one pass, " << second << " after the next; " << events << " events";
    // The window still answers.
    uint16_t space = platform::VK_SPACE;
    const bool enabled = form->Timer1.Enabled();
    form->FormKeyDown(space, 0);
    EXPECT_NE(form->Timer1.Enabled(), enabled);
}
