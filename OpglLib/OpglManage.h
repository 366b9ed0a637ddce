#pragma once
// Binds OpenGL to a window and owns the scene's global drawing state: the
// pixel format, the rendering context and palette, the default GL state, the
// clear colour and buffers, blending, and two debugging aids (the world axes
// with quarter planes, and a three-colour cross marker).
#include "OpglLib/base/Component.h"
#include "OpglLib/base/GOpglDefine.h"
#include "platform/window/GLContext.h"

#include <GL/gl.h>

// What binds OpenGL to one window; owned by the window, filled and cleared by
// TGLManager.
struct TGLContextRec {
    platform::WindowHandle Wnd = nullptr;
    platform::HDC DC = nullptr;
    platform::HGLRC RC = nullptr;
    platform::HPALETTE Palette = nullptr; // only when the pixel format needs one
};

// A colour value split into channels of 0..1.
struct TSplitColor {
    double R;
    double G;
    double B;
    double A;
};

class TGLManager : public TComponent<TGLManager> {
public:
    static constexpr const char* kClassName = "TGLManager";
    static constexpr const char* kUnitName = "OpglManage";
    static constexpr bool kRegistersUnit = true;

    TColorValue BackColor = 0; // byte 3 has no effect
    bool BlendEnabled = false;
    GLenum BlendSrc = 0; // InitGLState sets the scene's factors
    GLenum BlendDst = 0;
    float FAxisLength = 0; // stored and persisted; default 20
    bool ShowAxisPlanes = false; // default true

    // Binds OpenGL to the window: device context, pixel format, rendering
    // context (made current), default state, cleared buffers. Releases an
    // earlier binding of rec first. False for a null window or when any step
    // throws (the exception is swallowed; rec keeps what was filled).
    bool CreateContext(platform::WindowHandle window, TGLContextRec& rec);
    // Releases what CreateContext made; the window handle stays in rec.
    void ReleaseContext(TGLContextRec& rec);

    // Clears the colour, depth and stencil buffers.
    void ClearBuffers();
    // Stores the background colour and makes it the clear colour.
    void SetBackColor(TColorValue color);
    // Switches blending with BlendSrc/BlendDst on, or off.
    void SetBlending(bool on);
    // Draws the three stippled axes and, if ShowAxisPlanes, the coloured
    // quarter planes of side length / 5. GL state is restored afterwards; the
    // front emission is left black.
    void DrawAxis(float length);
    // Draws a red/green/blue cross of half-width size at point.
    void DrawCross(const TGLPoint4f& point, float size);

    // Steps of CreateContext, reachable for tests.
    // Sets the window's pixel format; shows "No OpenGL Hardware" for a
    // software format and builds a palette where the format needs one.
    void SetupPixelFormat(platform::HDC dc, platform::HPALETTE& palette);
    // Makes, selects and realises a palette spanning the format's colour
    // channels. Throws when a channel has no bits or the format has more than
    // 15 colour bits (its entries would not fit a logical palette).
    void BuildPalette(platform::HDC dc, const platform::PIXELFORMATDESCRIPTOR& pfd, platform::HPALETTE& palette);
    // Puts OpenGL into the scene's default state.
    void InitGLState();
    static TSplitColor SplitColor(TColorValue color);

    static constexpr const char* kNoHardwareMessage = "No OpenGL Hardware";

protected:
    void InitDefaults() override;
    void LoadKeys(const platform::IniFile& ini) override;
    void SaveKeys(platform::IniFile& ini) override;
};

void OpglManageInitialization();
void OpglManageFinalization();
