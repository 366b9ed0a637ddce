#include "GLContext.h"

#include <SDL2/SDL.h>

#include <GL/gl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <utility>

namespace platform {

// A window is held by its SDL id, not its pointer: a context that outlives
// its window then fails cleanly instead of touching freed memory.
struct DeviceContext {
    Uint32 windowId = 0;
    HPALETTE selected = nullptr;
};

struct RenderingContext {
    SDL_GLContext context = nullptr;
};

struct LogicalPalette {
    std::vector<PALETTEENTRY> entries;
};

namespace {

// The one pixel format every window offers.
constexpr int kWindowFormat = 1;

template <class T>
class HandleTable {
public:
    T* add(std::unique_ptr<T> object)
    {
        items_.push_back(std::move(object));
        return items_.back().get();
    }
    T* find(const T* handle) const
    {
        if (!handle)
            return nullptr;
        auto it = std::find_if(items_.begin(), items_.end(), [&](const auto& p) { return p.get() == handle; });
        return it == items_.end() ? nullptr : it->get();
    }
    void remove(const T* handle)
    {
        std::erase_if(items_, [&](const auto& p) { return p.get() == handle; });
    }
    int size() const { return static_cast<int>(items_.size()); }
    template <class F>
    void forEach(F f) const
    {
        for (const auto& p : items_)
            f(*p);
    }

private:
    std::vector<std::unique_ptr<T>> items_;
};

struct WindowState {
    std::optional<PIXELFORMATDESCRIPTOR> description;
    int format = 0;
};

HandleTable<DeviceContext> deviceContexts;
HandleTable<RenderingContext> renderingContexts;
HandleTable<LogicalPalette> palettes;
std::map<Uint32, WindowState> windows;
std::string rendererName;
std::function<void()> beforeSwap;

SDL_Window* windowOf(const DeviceContext& dc) { return SDL_GetWindowFromID(dc.windowId); }

// Puts back the context that was current when the object was made; SDL makes
// every new context current, Windows does not.
class CurrentContextGuard {
public:
    CurrentContextGuard() : window_(SDL_GL_GetCurrentWindow()), context_(SDL_GL_GetCurrentContext()) {}
    ~CurrentContextGuard() { SDL_GL_MakeCurrent(context_ ? window_ : nullptr, context_); }
    CurrentContextGuard(const CurrentContextGuard&) = delete;
    CurrentContextGuard& operator=(const CurrentContextGuard&) = delete;

private:
    SDL_Window* window_;
    SDL_GLContext context_;
};

uint8_t glInteger(GLenum name)
{
    GLint value = 0;
    glGetIntegerv(name, &value);
    return static_cast<uint8_t>(std::clamp<GLint>(value, 0, 255));
}

// Reads the framebuffer of the window through a short-lived context: the only
// way to learn what SDL really gave the window before the program's own
// context exists.
std::optional<PIXELFORMATDESCRIPTOR> probeFramebuffer(SDL_Window* window)
{
    CurrentContextGuard keep;
    SDL_GLContext probe = SDL_GL_CreateContext(window);
    if (!probe)
        return std::nullopt;
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.iLayerType = PFD_MAIN_PLANE;
    pfd.cRedBits = glInteger(GL_RED_BITS);
    pfd.cGreenBits = glInteger(GL_GREEN_BITS);
    pfd.cBlueBits = glInteger(GL_BLUE_BITS);
    pfd.cAlphaBits = glInteger(GL_ALPHA_BITS);
    // Blue in the low bits, as in the usual BGRA layouts of true-colour visuals.
    pfd.cBlueShift = 0;
    pfd.cGreenShift = pfd.cBlueBits;
    pfd.cRedShift = static_cast<uint8_t>(pfd.cBlueBits + pfd.cGreenBits);
    pfd.cAlphaShift = static_cast<uint8_t>(pfd.cRedShift + pfd.cRedBits);
    pfd.cColorBits = static_cast<uint8_t>(pfd.cRedBits + pfd.cGreenBits + pfd.cBlueBits);
    pfd.cAccumRedBits = glInteger(GL_ACCUM_RED_BITS);
    pfd.cAccumGreenBits = glInteger(GL_ACCUM_GREEN_BITS);
    pfd.cAccumBlueBits = glInteger(GL_ACCUM_BLUE_BITS);
    pfd.cAccumAlphaBits = glInteger(GL_ACCUM_ALPHA_BITS);
    pfd.cAccumBits = static_cast<uint8_t>(std::min(
        255, pfd.cAccumRedBits + pfd.cAccumGreenBits + pfd.cAccumBlueBits + pfd.cAccumAlphaBits));
    pfd.cDepthBits = glInteger(GL_DEPTH_BITS);
    pfd.cStencilBits = glInteger(GL_STENCIL_BITS);
    pfd.cAuxBuffers = glInteger(GL_AUX_BUFFERS);
    GLboolean doubleBuffered = GL_FALSE;
    glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffered);
    const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    rendererName = renderer ? renderer : "";
    SDL_GL_DeleteContext(probe);

    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
    if (doubleBuffered)
        pfd.dwFlags |= PFD_DOUBLEBUFFER;
    if (IsSoftwareRenderer(rendererName))
        pfd.dwFlags |= PFD_GENERIC_FORMAT;
    // A framebuffer of 256 colours or fewer is a palette device.
    if (pfd.cColorBits <= 8)
        pfd.dwFlags |= PFD_NEED_PALETTE;
    return pfd;
}

// The window's format, probed once and then kept.
const PIXELFORMATDESCRIPTOR* describeWindow(const DeviceContext& dc)
{
    WindowState& state = windows[dc.windowId];
    if (!state.description) {
        SDL_Window* window = windowOf(dc);
        if (!window)
            return nullptr;
        state.description = probeFramebuffer(window);
    }
    return state.description ? &*state.description : nullptr;
}

} // namespace

HDC GetDC(WindowHandle window)
{
    Uint32 id = window ? SDL_GetWindowID(window) : 0;
    if (id == 0)
        return nullptr;
    auto dc = std::make_unique<DeviceContext>();
    dc->windowId = id;
    return deviceContexts.add(std::move(dc));
}

bool ReleaseDC(WindowHandle window, HDC dc)
{
    DeviceContext* found = deviceContexts.find(dc);
    if (!found || !window || SDL_GetWindowID(window) != found->windowId)
        return false;
    deviceContexts.remove(found);
    return true;
}

int ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* request)
{
    DeviceContext* found = deviceContexts.find(dc);
    if (!found || !request || !describeWindow(*found))
        return 0;
    return kWindowFormat;
}

bool SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR*)
{
    DeviceContext* found = deviceContexts.find(dc);
    if (!found || format != kWindowFormat || !describeWindow(*found))
        return false;
    windows[found->windowId].format = format;
    return true;
}

int DescribePixelFormat(HDC dc, int format, unsigned size, PIXELFORMATDESCRIPTOR* description)
{
    DeviceContext* found = deviceContexts.find(dc);
    const PIXELFORMATDESCRIPTOR* pfd = found ? describeWindow(*found) : nullptr;
    if (!pfd)
        return 0;
    if (description) {
        if (format != kWindowFormat)
            return 0;
        std::memcpy(description, pfd, std::min<size_t>(size, sizeof *pfd));
    }
    return kWindowFormat;
}

HGLRC wglCreateContext(HDC dc)
{
    DeviceContext* found = deviceContexts.find(dc);
    if (!found)
        return nullptr;
    const WindowState& state = windows[found->windowId];
    SDL_Window* window = windowOf(*found);
    if (!window || state.format != kWindowFormat || !state.description)
        return nullptr;
    // Ask for the framebuffer the window has, so that whichever way SDL picks
    // a configuration for the context it matches the window.
    const PIXELFORMATDESCRIPTOR& pfd = *state.description;
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, pfd.cRedBits);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, pfd.cGreenBits);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, pfd.cBlueBits);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, pfd.cAlphaBits);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, pfd.cDepthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, pfd.cStencilBits);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, (pfd.dwFlags & PFD_DOUBLEBUFFER) ? 1 : 0);

    CurrentContextGuard keep;
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context)
        return nullptr;
    auto rc = std::make_unique<RenderingContext>();
    rc->context = context;
    return renderingContexts.add(std::move(rc));
}

bool wglMakeCurrent(HDC dc, HGLRC rc)
{
    if (!rc)
        return SDL_GL_MakeCurrent(nullptr, nullptr) == 0;
    DeviceContext* foundDc = deviceContexts.find(dc);
    RenderingContext* foundRc = renderingContexts.find(rc);
    SDL_Window* window = foundDc ? windowOf(*foundDc) : nullptr;
    if (!foundRc || !window)
        return false;
    return SDL_GL_MakeCurrent(window, foundRc->context) == 0;
}

bool wglDeleteContext(HGLRC rc)
{
    RenderingContext* found = renderingContexts.find(rc);
    if (!found)
        return false;
    // SDL releases the context first when it is current.
    SDL_GL_DeleteContext(found->context);
    renderingContexts.remove(found);
    return true;
}

bool SwapBuffers(HDC dc)
{
    DeviceContext* found = deviceContexts.find(dc);
    SDL_Window* window = found ? windowOf(*found) : nullptr;
    if (!window)
        return false;
    if (beforeSwap)
        beforeSwap();
    SDL_GL_SwapWindow(window);
    return true;
}

bool IsContextCurrent() { return SDL_GL_GetCurrentContext() != nullptr; }

void SetBeforeSwapHook(std::function<void()> hook) { beforeSwap = std::move(hook); }

HPALETTE CreatePalette(const LOGPALETTE& palette)
{
    if (palette.palNumEntries == 0 || palette.palNumEntries != palette.palPalEntry.size())
        return nullptr;
    auto made = std::make_unique<LogicalPalette>();
    made->entries = palette.palPalEntry;
    return palettes.add(std::move(made));
}

HPALETTE SelectPalette(HDC dc, HPALETTE palette, bool /*forceBackground*/)
{
    DeviceContext* found = deviceContexts.find(dc);
    if (!found || !palettes.find(palette))
        return nullptr;
    return std::exchange(found->selected, palette);
}

unsigned RealizePalette(HDC dc)
{
    DeviceContext* found = deviceContexts.find(dc);
    LogicalPalette* palette = found ? palettes.find(found->selected) : nullptr;
    return palette ? static_cast<unsigned>(palette->entries.size()) : 0;
}

unsigned GetPaletteEntries(HPALETTE palette, unsigned start, unsigned count, PALETTEENTRY* entries)
{
    LogicalPalette* found = palettes.find(palette);
    if (!found || !entries || start >= found->entries.size())
        return 0;
    unsigned n = std::min<unsigned>(count, static_cast<unsigned>(found->entries.size()) - start);
    std::copy_n(found->entries.begin() + start, n, entries);
    return n;
}

bool DeleteObject(HPALETTE palette)
{
    if (!palettes.find(palette))
        return false;
    deviceContexts.forEach([&](DeviceContext& dc) {
        if (dc.selected == palette)
            dc.selected = nullptr;
    });
    palettes.remove(palette);
    return true;
}

int LiveDeviceContextCount() { return deviceContexts.size(); }
int LiveRenderingContextCount() { return renderingContexts.size(); }
int LivePaletteCount() { return palettes.size(); }

std::string RendererName() { return rendererName; }

bool IsSoftwareRenderer(const std::string& renderer)
{
    std::string lower = renderer;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const char* name : {"llvmpipe", "softpipe", "software rasterizer"})
        if (lower.find(name) != std::string::npos)
            return true;
    return false;
}

} // namespace platform
