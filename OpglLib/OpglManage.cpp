#include "OpglManage.h"

#include "platform/system/Dialogs.h"

#include <stdexcept>

namespace {

constexpr const char* kAxisLengthKey = "FAxisLength";
constexpr float kDefaultAxisLength = 20.0f;
// Colour, depth and stencil buffers.
constexpr GLbitfield kClearMask = GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT;
static_assert(kClearMask == 0x4500);
// A logical palette counts its entries in 16 bits.
constexpr int kMaxPaletteColorBits = 15;

void setEmission(const TGLColor4f& c)
{
    const GLfloat v[4] = {c.X, c.Y, c.Z, c.W};
    glMaterialfv(GL_FRONT, GL_EMISSION, v);
}

void setFrontMaterial(GLenum what, const TGLColor4f& c)
{
    const GLfloat v[4] = {c.X, c.Y, c.Z, c.W};
    glMaterialfv(GL_FRONT, what, v);
}

// The state every marker drawing shares: smooth shading without colour
// material, black reflective colours (so that only the emission shows) and a
// pushed matrix. The destructor restores what it found and leaves the front
// emission black, so that later lit drawing does not glow.
class MarkerScope {
public:
    MarkerScope()
    {
        glGetIntegerv(GL_SHADE_MODEL, &shadeModel_);
        glShadeModel(GL_SMOOTH);
        colorMaterial_ = glIsEnabled(GL_COLOR_MATERIAL);
        glDisable(GL_COLOR_MATERIAL);
        setFrontMaterial(GL_AMBIENT, GLBlack);
        setFrontMaterial(GL_DIFFUSE, GLBlack);
        setFrontMaterial(GL_SPECULAR, GLBlack);
        glMaterialf(GL_FRONT, GL_SHININESS, GLShininess);
        glPushMatrix();
    }
    ~MarkerScope()
    {
        glPopMatrix();
        glShadeModel(static_cast<GLenum>(shadeModel_));
        setEmission(GLBlack);
        if (colorMaterial_)
            glEnable(GL_COLOR_MATERIAL);
    }
    MarkerScope(const MarkerScope&) = delete;
    MarkerScope& operator=(const MarkerScope&) = delete;

private:
    GLint shadeModel_ = GL_SMOOTH;
    GLboolean colorMaterial_ = GL_FALSE;
};

// Line width, and optionally the stipple, for the life of the object. The
// width is read as a float so that a fractional width comes back unchanged.
class LineScope {
public:
    LineScope(float width, bool stippled) : stippled_(stippled)
    {
        if (stippled_) {
            stipple_ = glIsEnabled(GL_LINE_STIPPLE);
            glEnable(GL_LINE_STIPPLE);
            glLineStipple(3, 0xAAAA);
        }
        glGetFloatv(GL_LINE_WIDTH, &width_);
        glLineWidth(width);
    }
    ~LineScope()
    {
        glLineWidth(width_);
        if (stippled_ && !stipple_)
            glDisable(GL_LINE_STIPPLE);
    }
    LineScope(const LineScope&) = delete;
    LineScope& operator=(const LineScope&) = delete;

private:
    bool stippled_;
    GLboolean stipple_ = GL_FALSE;
    GLfloat width_ = 1.0f;
};

void vertexIn(const TGLColor4f& emission, float x, float y, float z)
{
    setEmission(emission);
    glVertex3f(x, y, z);
}

// Three quarter planes of side s in the positive quadrants, blended, their
// corners coloured by the axes they touch; back faces as outlines.
void drawQuarterPlanes(float s)
{
    GLint polygonMode[2] = {GL_FILL, GL_FILL};
    glGetIntegerv(GL_POLYGON_MODE, polygonMode);
    glPolygonMode(GL_FRONT, GL_FILL);
    glPolygonMode(GL_BACK, GL_LINE);
    const GLboolean blend = glIsEnabled(GL_BLEND);
    glEnable(GL_BLEND);

    glBegin(GL_QUADS);
    glNormal3f(0.0f, 1.0f, 0.0f);
    vertexIn(GLRed, s, 0, 0);
    vertexIn(GLRed, 0, 0, 0);
    vertexIn(GLBlue, 0, 0, s);
    vertexIn(GLBlue, s, 0, s);
    glNormal3f(0.0f, 0.0f, 1.0f);
    vertexIn(GLRed, s, 0, 0);
    vertexIn(GLRed, s, s, 0);
    vertexIn(GLGreen, 0, s, 0);
    vertexIn(GLGreen, 0, 0, 0);
    glNormal3f(1.0f, 0.0f, 0.0f);
    vertexIn(GLGreen, 0, s, 0);
    vertexIn(GLGreen, 0, s, s);
    vertexIn(GLBlue, 0, 0, s);
    vertexIn(GLBlue, 0, 0, 0);
    glEnd();

    if (!blend)
        glDisable(GL_BLEND);
    // Each face gets its own mode back, even when the two differed.
    glPolygonMode(GL_FRONT, static_cast<GLenum>(polygonMode[0]));
    glPolygonMode(GL_BACK, static_cast<GLenum>(polygonMode[1]));
}

uint8_t paletteChannel(uint32_t index, uint8_t bits, uint8_t shift)
{
    const uint32_t mask = (1u << bits) - 1;
    const uint32_t value = shift < 32 ? (index >> shift) & mask : 0;
    return static_cast<uint8_t>(value * 255 / mask);
}

} // namespace

bool TGLManager::CreateContext(platform::WindowHandle window, TGLContextRec& rec)
{
    if (!window)
        return false;
    ReleaseContext(rec);
    rec.Wnd = window;
    try {
        rec.DC = platform::GetDC(window);
        SetupPixelFormat(rec.DC, rec.Palette);
        rec.RC = platform::wglCreateContext(rec.DC);
        platform::wglMakeCurrent(rec.DC, rec.RC);
        InitGLState();
        ClearBuffers();
        return true;
    } catch (...) {
        // A window that cannot be bound leaves the program running without a
        // picture; the caller learns it from the result alone.
        return false;
    }
}

void TGLManager::ReleaseContext(TGLContextRec& rec)
{
    if (rec.DC)
        platform::wglMakeCurrent(rec.DC, nullptr);
    if (rec.RC)
        platform::wglDeleteContext(rec.RC);
    if (rec.Wnd && rec.DC)
        platform::ReleaseDC(rec.Wnd, rec.DC);
    if (rec.Palette)
        platform::DeleteObject(rec.Palette);
    rec.DC = nullptr;
    rec.RC = nullptr;
    rec.Palette = nullptr;
}

void TGLManager::SetupPixelFormat(platform::HDC dc, platform::HPALETTE& palette)
{
    platform::PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = platform::PFD_DRAW_TO_WINDOW | platform::PFD_SUPPORT_OPENGL | platform::PFD_DOUBLEBUFFER;
    pfd.iPixelType = platform::PFD_TYPE_RGBA;
    pfd.cColorBits = 24;
    pfd.cDepthBits = 32;
    pfd.iLayerType = platform::PFD_MAIN_PLANE;
    // The closest format wins; what matters is what the format really is.
    const int format = platform::ChoosePixelFormat(dc, &pfd);
    platform::SetPixelFormat(dc, format, &pfd);
    platform::DescribePixelFormat(dc, format, sizeof pfd, &pfd);
    if (pfd.dwFlags & platform::PFD_GENERIC_FORMAT)
        platform::ShowMessage(kNoHardwareMessage, AppName);
    if (pfd.dwFlags & platform::PFD_NEED_PALETTE)
        BuildPalette(dc, pfd, palette);
}

void TGLManager::BuildPalette(platform::HDC dc, const platform::PIXELFORMATDESCRIPTOR& pfd,
                              platform::HPALETTE& palette)
{
    if (pfd.cColorBits > kMaxPaletteColorBits)
        throw std::invalid_argument("A palette cannot span more than 15 colour bits");
    for (uint8_t bits : {pfd.cRedBits, pfd.cGreenBits, pfd.cBlueBits})
        if (bits == 0 || bits > kMaxPaletteColorBits)
            throw std::invalid_argument("A palette channel needs 1 to 15 bits");

    platform::LOGPALETTE logical;
    logical.palVersion = 0x300;
    const uint32_t count = 1u << pfd.cColorBits;
    logical.palNumEntries = static_cast<uint16_t>(count);
    logical.palPalEntry.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        platform::PALETTEENTRY& e = logical.palPalEntry[i];
        e.peRed = paletteChannel(i, pfd.cRedBits, pfd.cRedShift);
        e.peGreen = paletteChannel(i, pfd.cGreenBits, pfd.cGreenShift);
        e.peBlue = paletteChannel(i, pfd.cBlueBits, pfd.cBlueShift);
        e.peFlags = 0;
    }
    if (platform::HPALETTE made = platform::CreatePalette(logical)) {
        palette = made;
        platform::SelectPalette(dc, made, false);
        platform::RealizePalette(dc);
    }
}

void TGLManager::InitGLState()
{
    const TSplitColor c = SplitColor(BackColor);
    glClearColor(static_cast<GLclampf>(c.R), static_cast<GLclampf>(c.G), static_cast<GLclampf>(c.B), 1.0f);
    glClearDepth(1.0);
    glClearIndex(1.0f);
    glClearAccum(static_cast<GLfloat>(c.R), static_cast<GLfloat>(c.G), static_cast<GLfloat>(c.B), 0.5f);
    glClearStencil(5);

    glShadeModel(GL_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);

    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, GLShininess);

    // The factors are ready; blending itself stays off until asked for.
    BlendSrc = GL_SRC_COLOR;
    BlendDst = GL_ONE_MINUS_SRC_COLOR;
    glBlendFunc(BlendSrc, BlendDst);
    glDepthMask(GL_TRUE);
}

void TGLManager::ClearBuffers() { glClear(kClearMask); }

void TGLManager::SetBackColor(TColorValue color)
{
    BackColor = color;
    // Before a window is bound there is no GL state to change.
    if (!platform::IsContextCurrent())
        return;
    const TSplitColor c = SplitColor(color);
    glClearColor(static_cast<GLclampf>(c.R), static_cast<GLclampf>(c.G), static_cast<GLclampf>(c.B), 0.5f);
}

void TGLManager::SetBlending(bool on)
{
    BlendEnabled = on;
    if (on) {
        glBlendFunc(BlendSrc, BlendDst);
        glEnable(GL_BLEND);
    } else {
        glDisable(GL_BLEND);
    }
}

void TGLManager::DrawAxis(float length)
{
    MarkerScope marker;
    LineScope line(2.0f, true);
    glBegin(GL_LINES);
    vertexIn(GLRed, 0, 0, 0);
    glVertex3f(length, 0, 0);
    vertexIn(GLGreen, 0, 0, 0);
    glVertex3f(0, length, 0);
    vertexIn(GLBlue, 0, 0, 0);
    glVertex3f(0, 0, length);
    glEnd();
    if (ShowAxisPlanes)
        drawQuarterPlanes(length / 5.0f);
}

void TGLManager::DrawCross(const TGLPoint4f& point, float size)
{
    MarkerScope marker;
    LineScope line(1.0f, false);
    const float x = point.X, y = point.Y, z = point.Z;
    glBegin(GL_LINES);
    vertexIn(GLRed, x - size, y, z);
    glVertex3f(x + size, y, z);
    vertexIn(GLGreen, x, y - size, z);
    glVertex3f(x, y + size, z);
    vertexIn(GLBlue, x, y, z - size);
    glVertex3f(x, y, z + size);
    glEnd();
}

TSplitColor TGLManager::SplitColor(TColorValue color)
{
    return {(color & 0xFF) / 255.0, ((color >> 8) & 0xFF) / 255.0, ((color >> 16) & 0xFF) / 255.0,
            ((color >> 24) & 0xFF) / 255.0};
}

void TGLManager::InitDefaults()
{
    FAxisLength = kDefaultAxisLength;
    ShowAxisPlanes = true;
    BackColor = 0;
}

void TGLManager::LoadKeys(const platform::IniFile& ini)
{
    FAxisLength = static_cast<float>(ini.ReadFloat(kClassName, kAxisLengthKey, kDefaultAxisLength));
}

void TGLManager::SaveKeys(platform::IniFile& ini) { ini.WriteFloat(kClassName, kAxisLengthKey, FAxisLength); }

void OpglManageInitialization() { TGLManager::Create(); }

void OpglManageFinalization()
{
    if (TGLManager* manager = TGLManager::Instance())
        manager->Free();
}
