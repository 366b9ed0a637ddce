#include "Window.h"

#include "MessageBoxes.h"

#include "platform/system/Dialogs.h"
#include "platform/system/System.h"

#include <SDL2/SDL.h>

#include <clocale>
#include <cstdlib>
#include <exception>
#include <stdexcept>

#include <langinfo.h>

namespace platform {

void Timer::SetInterval(uint32_t ms)
{
    intervalMs_ = ms;
}

void Timer::SetEnabled(bool on)
{
    if (on && !enabled_)
        started_ = false; // a restarted timer waits one full interval
    enabled_ = on;
}

uint32_t Timer::effectiveInterval() const
{
    return intervalMs_ < kMinimumIntervalMs ? kMinimumIntervalMs : intervalMs_;
}

int64_t Timer::MillisecondsToTick(uint32_t nowMs) const
{
    if (!enabled_)
        return -1;
    if (!started_)
        return effectiveInterval();
    uint32_t elapsed = nowMs - lastTickMs_;
    return elapsed >= effectiveInterval() ? 0 : int64_t(effectiveInterval()) - elapsed;
}

bool Timer::Poll(uint32_t nowMs)
{
    if (!enabled_)
        return false;
    if (!started_) {
        started_ = true;
        lastTickMs_ = nowMs;
        return false;
    }
    if (nowMs - lastTickMs_ < effectiveInterval())
        return false;
    // Coalesced: however late we are, one tick, and the next one a full
    // interval from now.
    lastTickMs_ = nowMs;
    if (OnTimer)
        RunHandler(OnTimer);
    return true;
}

Window::~Window()
{
    if (window_)
        SDL_DestroyWindow(window_);
}

void Window::Create(const WindowPlacement& placement)
{
    // The framebuffer the GL context is made on must already be able to carry
    // a depth buffer: SDL picks the visual when the window is made.
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    window_ = SDL_CreateWindow(placement.caption.c_str(), placement.left, placement.top, placement.width,
                               placement.height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
    if (!window_)
        throw std::runtime_error(std::string("Cannot create the window: ") + SDL_GetError());
    SDL_EventState(SDL_DROPFILE, SDL_ENABLE);
}

void Window::SetCaption(const std::string& caption)
{
    if (window_)
        SDL_SetWindowTitle(window_, caption.c_str());
}

std::string Window::Caption() const { return window_ ? SDL_GetWindowTitle(window_) : std::string(); }

void Window::Show()
{
    if (window_)
        SDL_ShowWindow(window_);
}

int Window::ClientWidth() const
{
    int w = 0, h = 0;
    if (window_)
        SDL_GetWindowSize(window_, &w, &h);
    return w;
}

int Window::ClientHeight() const
{
    int w = 0, h = 0;
    if (window_)
        SDL_GetWindowSize(window_, &w, &h);
    return h;
}

void Window::SetClientSize(int width, int height)
{
    if (!window_)
        return;
    SDL_SetWindowSize(window_, width, height);
    if (OnResize)
        RunHandler(OnResize);
}

uint16_t VirtualKeyOf(int sym, int scancode)
{
    // Keypad digits by scancode: their key symbols depend on Num Lock.
    if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_9)
        return static_cast<uint16_t>(VK_NUMPAD0 + 1 + (scancode - SDL_SCANCODE_KP_1));
    if (scancode == SDL_SCANCODE_KP_0)
        return VK_NUMPAD0;
    // Letters arrive lower-case whatever Shift says.
    if (sym >= 'a' && sym <= 'z')
        return static_cast<uint16_t>(sym - 0x20);
    if (sym >= '0' && sym <= '9')
        return static_cast<uint16_t>(sym);
    if (sym >= SDLK_F1 && sym <= SDLK_F12)
        return static_cast<uint16_t>(VK_F1 + (sym - SDLK_F1));
    switch (sym) {
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_END: return VK_END;
    case SDLK_HOME: return VK_HOME;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_UP: return VK_UP;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_RETURN: return VK_RETURN;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL: case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LALT: case SDLK_RALT: return VK_MENU;
    case SDLK_COMMA: return VK_OEM_COMMA;
    case SDLK_PERIOD: return VK_OEM_PERIOD;
    default:
        // Other punctuation and the like share one code in the upper range
        // that no key of the program uses.
        return static_cast<uint16_t>(0xFF);
    }
}

TShiftState ShiftStateOf(uint32_t mods, uint32_t buttons)
{
    TShiftState s = 0;
    if (mods & KMOD_SHIFT)
        s |= ssShift;
    if (mods & KMOD_ALT)
        s |= ssAlt;
    if (mods & KMOD_CTRL)
        s |= ssCtrl;
    if (buttons & SDL_BUTTON_LMASK)
        s |= ssLeft;
    if (buttons & SDL_BUTTON_RMASK)
        s |= ssRight;
    if (buttons & SDL_BUTTON_MMASK)
        s |= ssMiddle;
    return s;
}

void RunHandler(const std::function<void()>& f)
{
    try {
        f();
    } catch (const std::exception& e) {
        ShowErrorBox(e.what());
    } catch (...) {
        ShowErrorBox("Unknown error");
    }
}

bool Window::Dispatch(const SDL_Event& e)
{
    switch (e.type) {
    case SDL_QUIT:
        closed_ = true;
        return true;
    case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE)
            closed_ = true;
        else if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED && OnResize)
            RunHandler(OnResize);
        return true;
    case SDL_KEYDOWN: {
        if (!OnKeyDown)
            return true;
        uint16_t key = VirtualKeyOf(e.key.keysym.sym, e.key.keysym.scancode);
        TShiftState shift = ShiftStateOf(e.key.keysym.mod, SDL_GetMouseState(nullptr, nullptr));
        RunHandler([&] { OnKeyDown(key, shift); });
        return true;
    }
    case SDL_MOUSEBUTTONDOWN: {
        if (!OnMouseDown)
            return true;
        TMouseButton button = e.button.button == SDL_BUTTON_RIGHT    ? TMouseButton::mbRight
                              : e.button.button == SDL_BUTTON_MIDDLE ? TMouseButton::mbMiddle
                                                                     : TMouseButton::mbLeft;
        TShiftState shift = ShiftStateOf(SDL_GetModState(), SDL_GetMouseState(nullptr, nullptr) |
                                                                 SDL_BUTTON(e.button.button));
        RunHandler([&] { OnMouseDown(button, shift, e.button.x, e.button.y); });
        return true;
    }
    case SDL_MOUSEMOTION: {
        if (!OnMouseMove)
            return true;
        TShiftState shift = ShiftStateOf(SDL_GetModState(), e.motion.state);
        RunHandler([&] { OnMouseMove(shift, e.motion.x, e.motion.y); });
        return true;
    }
    case SDL_MOUSEWHEEL: {
        if (!OnMouseWheel || e.wheel.y == 0)
            return true;
        int y = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
        int mx = 0, my = 0;
        uint32_t buttons = SDL_GetMouseState(&mx, &my);
        TShiftState shift = ShiftStateOf(SDL_GetModState(), buttons);
        bool handled = false;
        RunHandler([&] { OnMouseWheel(shift, y * 120, mx, my, handled); });
        return true;
    }
    case SDL_DROPFILE: {
        // SDL hands over the path's memory with the event.
        const std::string path = e.drop.file ? e.drop.file : "";
        SDL_free(e.drop.file);
        if (OnDropFile && !path.empty())
            RunHandler([&] { OnDropFile(path); });
        return true;
    }
    default:
        return false;
    }
}

namespace {
bool offscreen = false;
bool offscreenByDefault = false;

// The program's texts (window titles included) are UTF-8, but a program
// starts in the "C" locale, in which the X11 video driver cannot convert a
// title with a character beyond ASCII: it then leaves the window manager's
// title (_NET_WM_NAME) as it was and writes the raw bytes into WM_NAME.
// Character types become C.UTF-8 (where the C library lacks it, the user's
// locale if that is UTF-8): UTF-8 with the plain ASCII letter cases that
// names of files are compared by. Numbers and messages keep the "C" locale.
void useUtf8Characters()
{
    if (std::setlocale(LC_CTYPE, "C.UTF-8"))
        return;
    if (std::setlocale(LC_CTYPE, "") && std::string(nl_langinfo(CODESET)) == "UTF-8")
        return;
    std::setlocale(LC_CTYPE, "C");
}
} // namespace

void Application::Initialize(bool forceOffscreen)
{
    UseWindowMessageBoxes();
    useUtf8Characters();
    const bool noDisplay = !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY");
    const char* requested = std::getenv("SDL_VIDEODRIVER");
    const bool driverChosen = requested && *requested;
    if (forceOffscreen || (noDisplay && !driverChosen)) {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
        offscreenByDefault = !forceOffscreen;
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        // A display that cannot be opened: draw offscreen instead.
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
        offscreenByDefault = true;
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            throw std::runtime_error(std::string("Cannot start the video system: ") + SDL_GetError());
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    offscreen = driver && std::string(driver) == "offscreen";
    SDL_DisplayMode mode{};
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 && mode.h > 0)
        SetDesktopSize({mode.w, mode.h});
}

bool Application::IsOffscreen() { return offscreen; }
bool Application::NoDisplay() { return offscreen && offscreenByDefault; }

void Application::Finish()
{
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void Application::Run(Window& window, Timer& timer)
{
    while (!window.Closed()) {
        int64_t wait = timer.MillisecondsToTick(SDL_GetTicks());
        SDL_Event event;
        // Whole milliseconds, never 0 while a tick is pending: otherwise the
        // loop would spin instead of sleeping.
        bool got = wait < 0 ? SDL_WaitEvent(&event) != 0
                            : SDL_WaitEventTimeout(&event, static_cast<int>(wait < 1 ? 1 : wait)) != 0;
        while (got) {
            window.Dispatch(event);
            if (window.Closed())
                return;
            got = SDL_PollEvent(&event) != 0;
        }
        timer.Poll(SDL_GetTicks());
    }
}

} // namespace platform
