#pragma once
// The window framework: one top-level window whose whole client area is the
// OpenGL view, a message timer, and the message loop. Everything runs on one
// thread and handlers run one at a time. An exception that escapes a handler
// is shown in the error box and the program goes on.
#include "Input.h"

#include <cstdint>
#include <functional>
#include <string>

struct SDL_Window;
union SDL_Event;

namespace platform {

// A message timer: while enabled it delivers at most one tick per interval
// and never queues missed ticks. Intervals below 10 ms behave as 10 ms, as
// the system timer does; Interval() still reports what was set.
class Timer {
public:
    static constexpr uint32_t kMinimumIntervalMs = 10;

    uint32_t Interval() const { return intervalMs_; }
    void SetInterval(uint32_t ms);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool on);
    std::function<void()> OnTimer;

    // Milliseconds until the next tick is due (0 when due now), or -1 when off.
    int64_t MillisecondsToTick(uint32_t nowMs) const;
    // Delivers the tick when due and schedules the next one; true if it fired.
    bool Poll(uint32_t nowMs);

private:
    uint32_t effectiveInterval() const;
    uint32_t intervalMs_ = 1000;
    bool enabled_ = true;
    uint32_t lastTickMs_ = 0;
    bool started_ = false;
};

struct WindowPlacement {
    int left = 195;
    int top = 103;
    int width = 696;
    int height = 480;
    std::string caption = "Form1";
};

class Window {
public:
    Window() = default;
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Makes the (hidden) window with an OpenGL-capable surface.
    void Create(const WindowPlacement& placement);
    void Show();
    void Close() { closed_ = true; }
    bool Closed() const { return closed_; }

    SDL_Window* Handle() const { return window_; }
    int ClientWidth() const;
    int ClientHeight() const;
    // Changes the client size and reports the resize.
    void SetClientSize(int width, int height);
    // The title bar's text (UTF-8).
    void SetCaption(const std::string& caption);
    std::string Caption() const;

    std::function<void()> OnResize;
    std::function<void(uint16_t& key, TShiftState shift)> OnKeyDown;
    std::function<void(TMouseButton button, TShiftState shift, int x, int y)> OnMouseDown;
    std::function<void(TShiftState shift, int x, int y)> OnMouseMove;
    std::function<void(TShiftState shift, int wheelDelta, int x, int y, bool& handled)> OnMouseWheel;
    // A file or folder dropped on the window, by its path.
    std::function<void(const std::string& path)> OnDropFile;

    // Turns one event into a handler call; false when the event is not for
    // this window. Used by the message loop and by tests that feed events.
    bool Dispatch(const SDL_Event& event);

private:
    SDL_Window* window_ = nullptr;
    bool closed_ = false;
};

// Translations the window applies to SDL input.
uint16_t VirtualKeyOf(int sdlKeycode, int sdlScancode);
TShiftState ShiftStateOf(uint32_t sdlModifiers, uint32_t sdlButtons);

// Runs f; an exception escaping it is shown in the error box (its message)
// and swallowed, so the program goes on.
void RunHandler(const std::function<void()>& f);

class Application {
public:
    // Starts SDL's video. Without a display (or when asked) it uses the
    // offscreen driver, which still gives a real GL context.
    static void Initialize(bool forceOffscreen);
    static bool IsOffscreen();
    // True when no display could be used and nobody asked for the offscreen
    // driver: a window would be invisible and could never be closed.
    static bool NoDisplay();
    static void Finish();

    // The message loop: handles events and the timer's ticks until the
    // window is closed.
    static void Run(Window& window, Timer& timer);
};

} // namespace platform
