#pragma once
// Device contexts, pixel formats, rendering contexts, logical palettes and the
// buffer swap of a window, on SDL's OpenGL support.
//
// SDL fixes a window's framebuffer when the window is made, so every window
// offers exactly one pixel format (index 1): choosing a format always picks
// that one, the closest available (a 32-bit depth request may give 24), and
// describing it reports what the framebuffer really has. A format is
// "generic" when the GL renderer is a software rasteriser.
//
// Handles are opaque; a null handle means "none". Calls with a handle that is
// not alive fail and change nothing.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct SDL_Window;

namespace platform {

using WindowHandle = SDL_Window*;

struct DeviceContext;
struct RenderingContext;
struct LogicalPalette;
using HDC = DeviceContext*;
using HGLRC = RenderingContext*;
using HPALETTE = LogicalPalette*;

// Pixel format request and description, field for field as the Windows
// structure (40 bytes).
struct PIXELFORMATDESCRIPTOR {
    uint16_t nSize;
    uint16_t nVersion;
    uint32_t dwFlags;
    uint8_t iPixelType;
    uint8_t cColorBits;
    uint8_t cRedBits;
    uint8_t cRedShift;
    uint8_t cGreenBits;
    uint8_t cGreenShift;
    uint8_t cBlueBits;
    uint8_t cBlueShift;
    uint8_t cAlphaBits;
    uint8_t cAlphaShift;
    uint8_t cAccumBits;
    uint8_t cAccumRedBits;
    uint8_t cAccumGreenBits;
    uint8_t cAccumBlueBits;
    uint8_t cAccumAlphaBits;
    uint8_t cDepthBits;
    uint8_t cStencilBits;
    uint8_t cAuxBuffers;
    uint8_t iLayerType;
    uint8_t bReserved;
    uint32_t dwLayerMask;
    uint32_t dwVisibleMask;
    uint32_t dwDamageMask;
};
static_assert(sizeof(PIXELFORMATDESCRIPTOR) == 40);

inline constexpr uint32_t PFD_DOUBLEBUFFER = 0x01;
inline constexpr uint32_t PFD_STEREO = 0x02;
inline constexpr uint32_t PFD_DRAW_TO_WINDOW = 0x04;
inline constexpr uint32_t PFD_SUPPORT_OPENGL = 0x20;
inline constexpr uint32_t PFD_GENERIC_FORMAT = 0x40;
inline constexpr uint32_t PFD_NEED_PALETTE = 0x80;
inline constexpr uint8_t PFD_TYPE_RGBA = 0;
inline constexpr uint8_t PFD_TYPE_COLORINDEX = 1;
inline constexpr uint8_t PFD_MAIN_PLANE = 0;

struct PALETTEENTRY {
    uint8_t peRed;
    uint8_t peGreen;
    uint8_t peBlue;
    uint8_t peFlags;
};
static_assert(sizeof(PALETTEENTRY) == 4);

// A logical palette: palNumEntries must equal the number of entries given.
struct LOGPALETTE {
    uint16_t palVersion = 0;
    uint16_t palNumEntries = 0;
    std::vector<PALETTEENTRY> palPalEntry;
};

// Device context of a window; null for a null window.
HDC GetDC(WindowHandle window);
// Releases a device context got from GetDC for that window; false when the
// context is not alive or belongs to another window.
bool ReleaseDC(WindowHandle window, HDC dc);

// Index (1) of the window's pixel format, the closest to the request; 0 when
// the window cannot carry OpenGL or the arguments are invalid.
int ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* request);
// Gives the window the format; the index must be one DescribePixelFormat knows.
bool SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR* request);
// Fills up to size bytes of *description with the format (when description is
// not null) and returns the highest format index, or 0 on failure.
int DescribePixelFormat(HDC dc, int format, unsigned size, PIXELFORMATDESCRIPTOR* description);

// A rendering context for the device context's window, on the pixel format set
// for it; null when no format is set or the context cannot be made. The
// calling thread's current context does not change.
HGLRC wglCreateContext(HDC dc);
// Makes rc current on dc's window; a null rc releases the current context.
bool wglMakeCurrent(HDC dc, HGLRC rc);
// Deletes the context, releasing it first when it is current.
bool wglDeleteContext(HGLRC rc);
// Shows the back buffer of dc's window. The before-swap hook runs first.
bool SwapBuffers(HDC dc);
// True when the calling thread has a current GL context (from any source).
bool IsContextCurrent();

// Called by SwapBuffers right before the buffers are swapped, with the
// window's context current: the last moment at which the finished frame can
// be read back (after a swap the back buffer is undefined). An exception from
// the hook propagates and the swap does not happen. An empty function removes it.
void SetBeforeSwapHook(std::function<void()> hook);

// Makes a logical palette; null when the entry count is 0 or does not match.
HPALETTE CreatePalette(const LOGPALETTE& palette);
// Selects the palette into the device context; returns the one selected
// before, or null on failure.
HPALETTE SelectPalette(HDC dc, HPALETTE palette, bool forceBackground);
// Maps the selected palette; returns its number of entries (0 when none).
unsigned RealizePalette(HDC dc);
// Copies count entries from start; returns the number copied.
unsigned GetPaletteEntries(HPALETTE palette, unsigned start, unsigned count, PALETTEENTRY* entries);
// Deletes a palette; a palette still selected into a device context is
// deselected first.
bool DeleteObject(HPALETTE palette);

// Live objects, for checks that nothing leaks.
int LiveDeviceContextCount();
int LiveRenderingContextCount();
int LivePaletteCount();

// The GL_RENDERER text of the driver behind the windows ("" before the first
// pixel format was described), and whether it is a software rasteriser.
std::string RendererName();
bool IsSoftwareRenderer(const std::string& renderer);

} // namespace platform
