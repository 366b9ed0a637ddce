#include "platform/window/Window.h"

#include "platform/system/Dialogs.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using platform::Timer;

TEST(Timer, TicksAreCoalescedAndNeverFasterThanTenMilliseconds)
{
    Timer timer;
    int ticks = 0;
    timer.OnTimer = [&] { ++ticks; };
    timer.SetInterval(1);
    EXPECT_EQ(timer.Interval(), 1u); // reports what was set
    EXPECT_FALSE(timer.Poll(1000));   // starts counting
    EXPECT_EQ(timer.MillisecondsToTick(1001), 9);
    EXPECT_FALSE(timer.Poll(1009));
    EXPECT_TRUE(timer.Poll(1010));
    // Half a second late: one tick, not fifty, and the next a full interval on.
    EXPECT_TRUE(timer.Poll(1510));
    EXPECT_FALSE(timer.Poll(1519));
    EXPECT_EQ(ticks, 2);

    timer.SetInterval(100);
    EXPECT_EQ(timer.MillisecondsToTick(1530), 80);
    timer.SetEnabled(false);
    EXPECT_EQ(timer.MillisecondsToTick(5000), -1);
    EXPECT_FALSE(timer.Poll(5000));
    EXPECT_EQ(ticks, 2);
}

TEST(Timer, ExceptionInTheHandlerIsShownAndTheTimerGoesOn)
{
    platform::SetNonInteractive(true);
    platform::ClearRecordedMessages();
    Timer timer;
    timer.SetInterval(10);
    timer.OnTimer = [] { throw std::runtime_error("broken tick"); };
    timer.Poll(0);
    EXPECT_TRUE(timer.Poll(10));
    EXPECT_TRUE(timer.Poll(20));
    ASSERT_EQ(platform::RecordedMessages().size(), 2u);
    EXPECT_EQ(platform::RecordedMessages()[0].text, "broken tick");
}

TEST(WindowInput, KeysArriveAsVirtualKeyCodes)
{
    using platform::VirtualKeyOf;
    EXPECT_EQ(VirtualKeyOf(SDLK_a, SDL_SCANCODE_A), 0x41);
    EXPECT_EQ(VirtualKeyOf(SDLK_z, SDL_SCANCODE_Z), 0x5A);
    EXPECT_EQ(VirtualKeyOf(SDLK_7, SDL_SCANCODE_7), 0x37);
    EXPECT_EQ(VirtualKeyOf(SDLK_SPACE, SDL_SCANCODE_SPACE), 0x20);
    EXPECT_EQ(VirtualKeyOf(SDLK_PAGEUP, SDL_SCANCODE_PAGEUP), 0x21);
    EXPECT_EQ(VirtualKeyOf(SDLK_PAGEDOWN, SDL_SCANCODE_PAGEDOWN), 0x22);
    EXPECT_EQ(VirtualKeyOf(SDLK_COMMA, SDL_SCANCODE_COMMA), 0xBC);
    EXPECT_EQ(VirtualKeyOf(SDLK_PERIOD, SDL_SCANCODE_PERIOD), 0xBE);
    // Keypad digits by scancode, whatever Num Lock makes of their symbols.
    EXPECT_EQ(VirtualKeyOf(SDLK_END, SDL_SCANCODE_KP_1), 0x61);
    EXPECT_EQ(VirtualKeyOf(SDLK_KP_9, SDL_SCANCODE_KP_9), 0x69);
    EXPECT_EQ(VirtualKeyOf(SDLK_KP_0, SDL_SCANCODE_KP_0), 0x60);

    using namespace platform;
    EXPECT_EQ(ShiftStateOf(KMOD_LSHIFT | KMOD_RCTRL, SDL_BUTTON_LMASK | SDL_BUTTON_MMASK),
              ssShift | ssCtrl | ssLeft | ssMiddle);
    EXPECT_EQ(ShiftStateOf(KMOD_LALT, SDL_BUTTON_RMASK), ssAlt | ssRight);
}

TEST(WindowInput, EventsReachTheHandlersWithWindowsConventions)
{
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
    platform::Window window;
    window.Create({});
    int wheel = 0;
    uint16_t key = 0;
    window.OnMouseWheel = [&](platform::TShiftState, int delta, int, int, bool&) { wheel = delta; };
    window.OnKeyDown = [&](uint16_t& k, platform::TShiftState) { key = k; };

    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = 1;
    e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    window.Dispatch(e);
    EXPECT_EQ(wheel, 120); // away from the user
    e.wheel.direction = SDL_MOUSEWHEEL_FLIPPED;
    window.Dispatch(e);
    EXPECT_EQ(wheel, -120);

    SDL_Event k{};
    k.type = SDL_KEYDOWN;
    k.key.keysym.sym = SDLK_m;
    k.key.keysym.scancode = SDL_SCANCODE_M;
    k.key.keysym.mod = KMOD_LSHIFT;
    window.Dispatch(k);
    EXPECT_EQ(key, 'M');

    // A dropped file arrives by its path (the window frees SDL's copy).
    std::string dropped;
    window.OnDropFile = [&](const std::string& path) { dropped = path; };
    SDL_Event d{};
    d.type = SDL_DROPFILE;
    d.drop.file = SDL_strdup("/home/me/game/pak1.pk3");
    window.Dispatch(d);
    EXPECT_EQ(dropped, "/home/me/game/pak1.pk3");

    SDL_Event q{};
    q.type = SDL_QUIT;
    window.Dispatch(q);
    EXPECT_TRUE(window.Closed());
}
