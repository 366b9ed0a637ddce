#include "OpglLib/OpglManage.h"

#include "platform/system/Dialogs.h"
#include "support/HeadlessGL.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <GL/glu.h>

#include <array>
#include <cmath>
#include <stdexcept>

using testsupport::HeadlessGL;

namespace {

GLint glInt(GLenum name)
{
    GLint v = 0;
    glGetIntegerv(name, &v);
    return v;
}

std::array<GLfloat, 4> glFloats(GLenum name)
{
    std::array<GLfloat, 4> v{};
    glGetFloatv(name, v.data());
    return v;
}

// Every piece of state the marker drawings promise to put back.
struct MarkerState {
    GLint shadeModel;
    GLboolean colorMaterial, stipple, blend;
    GLfloat lineWidth;
    GLint blendSrc, blendDst;
    GLint polygonMode[2];
    GLint modelviewDepth;

    static MarkerState read()
    {
        MarkerState s{};
        s.shadeModel = glInt(GL_SHADE_MODEL);
        s.colorMaterial = glIsEnabled(GL_COLOR_MATERIAL);
        s.stipple = glIsEnabled(GL_LINE_STIPPLE);
        s.blend = glIsEnabled(GL_BLEND);
        glGetFloatv(GL_LINE_WIDTH, &s.lineWidth);
        s.blendSrc = glInt(GL_BLEND_SRC);
        s.blendDst = glInt(GL_BLEND_DST);
        glGetIntegerv(GL_POLYGON_MODE, s.polygonMode);
        s.modelviewDepth = glInt(GL_MODELVIEW_STACK_DEPTH);
        return s;
    }
    bool operator==(const MarkerState& o) const
    {
        return shadeModel == o.shadeModel && colorMaterial == o.colorMaterial && stipple == o.stipple &&
               blend == o.blend && lineWidth == o.lineWidth && blendSrc == o.blendSrc && blendDst == o.blendDst &&
               polygonMode[0] == o.polygonMode[0] && polygonMode[1] == o.polygonMode[1] &&
               modelviewDepth == o.modelviewDepth;
    }
};

// Looks for an exact colour in a small square around a window point.
bool colourNear(const HeadlessGL& gl, GLdouble wx, GLdouble wy, uint8_t r, uint8_t g, uint8_t b)
{
    for (int dy = -4; dy <= 4; ++dy)
        for (int dx = -4; dx <= 4; ++dx) {
            HeadlessGL::Rgb p = gl.pixel(static_cast<int>(wx) + dx, static_cast<int>(wy) + dy);
            if (p.r == r && p.g == g && p.b == b)
                return true;
        }
    return false;
}

class ManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::SetNonInteractive(true);
        platform::ClearRecordedMessages();
        manager = TGLManager::Create();
    }
    void TearDown() override { manager->Free(); }

    size_t noHardwareMessages() const
    {
        size_t n = 0;
        for (const auto& m : platform::RecordedMessages())
            if (m.text == "No OpenGL Hardware" && m.caption == manager->AppName)
                ++n;
        return n;
    }

    testsupport::Sandbox sandbox;
    TGLManager* manager = nullptr;
};

} // namespace

TEST_F(ManagerTest, CreateContextTwiceLeavesOneBinding)
{
    HeadlessGL gl;
    const int dcs = platform::LiveDeviceContextCount(), rcs = platform::LiveRenderingContextCount();
    TGLContextRec rec;
    ASSERT_TRUE(manager->CreateContext(gl.window(), rec));
    EXPECT_EQ(rec.Wnd, gl.window());
    EXPECT_NE(rec.DC, nullptr);
    EXPECT_NE(rec.RC, nullptr);
    EXPECT_EQ(rec.Palette, nullptr);
    const bool software = platform::IsSoftwareRenderer(platform::RendererName());
    EXPECT_EQ(noHardwareMessages(), software ? 1u : 0u);

    // The scene's default state, on the new context.
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(glInt(GL_DEPTH_FUNC), GL_LEQUAL);
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    EXPECT_EQ(glInt(GL_COLOR_MATERIAL_PARAMETER), GL_AMBIENT_AND_DIFFUSE);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(glInt(GL_BLEND_SRC), GL_SRC_COLOR);
    EXPECT_EQ(glInt(GL_BLEND_DST), GL_ONE_MINUS_SRC_COLOR);
    EXPECT_EQ(glInt(GL_STENCIL_CLEAR_VALUE), 5);
    EXPECT_EQ(glFloats(GL_COLOR_CLEAR_VALUE), (std::array<GLfloat, 4>{0, 0, 0, 1}));
    GLfloat shininess = 0;
    glGetMaterialfv(GL_FRONT, GL_SHININESS, &shininess);
    EXPECT_EQ(shininess, 120.0f);

    ASSERT_TRUE(manager->CreateContext(gl.window(), rec));
    EXPECT_EQ(platform::LiveDeviceContextCount(), dcs + 1);
    EXPECT_EQ(platform::LiveRenderingContextCount(), rcs + 1);
    EXPECT_EQ(noHardwareMessages(), software ? 2u : 0u); // once per context made

    manager->ReleaseContext(rec);
    EXPECT_EQ(rec.Wnd, gl.window());
    EXPECT_EQ(rec.DC, nullptr);
    EXPECT_EQ(rec.RC, nullptr);
    EXPECT_EQ(platform::LiveDeviceContextCount(), dcs);
    EXPECT_EQ(platform::LiveRenderingContextCount(), rcs);
    EXPECT_FALSE(platform::IsContextCurrent());
}

TEST_F(ManagerTest, NullWindowAndBareRecordChangeNothing)
{
    HeadlessGL gl;
    const int dcs = platform::LiveDeviceContextCount();
    TGLContextRec rec;
    rec.Wnd = gl.window();
    EXPECT_FALSE(manager->CreateContext(nullptr, rec));
    EXPECT_EQ(rec.Wnd, gl.window());
    EXPECT_EQ(rec.DC, nullptr);
    EXPECT_EQ(platform::LiveDeviceContextCount(), dcs);

    manager->ReleaseContext(rec);
    EXPECT_EQ(rec.Wnd, gl.window());
    EXPECT_EQ(rec.DC, nullptr);
    EXPECT_EQ(rec.RC, nullptr);
    EXPECT_EQ(rec.Palette, nullptr);
    EXPECT_TRUE(platform::IsContextCurrent()); // nothing of ours was current: nothing released
    EXPECT_TRUE(platform::RecordedMessages().empty());
}

TEST_F(ManagerTest, BuildPaletteSpansEachChannel)
{
    HeadlessGL gl;
    platform::HDC dc = platform::GetDC(gl.window());
    const int palettes = platform::LivePaletteCount();
    // The classic 8-bit format: red 3 bits at 0, green 3 at 3, blue 2 at 6.
    platform::PIXELFORMATDESCRIPTOR pfd{};
    pfd.cColorBits = 8;
    pfd.cRedBits = 3, pfd.cRedShift = 0;
    pfd.cGreenBits = 3, pfd.cGreenShift = 3;
    pfd.cBlueBits = 2, pfd.cBlueShift = 6;
    platform::HPALETTE palette = nullptr;
    manager->BuildPalette(dc, pfd, palette);
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(platform::RealizePalette(dc), 256u); // selected into the device context

    platform::PALETTEENTRY e[256];
    ASSERT_EQ(platform::GetPaletteEntries(palette, 0, 256, e), 256u);
    auto expectEntry = [&](int i, int r, int g, int b) {
        EXPECT_EQ(e[i].peRed, r) << i;
        EXPECT_EQ(e[i].peGreen, g) << i;
        EXPECT_EQ(e[i].peBlue, b) << i;
        EXPECT_EQ(e[i].peFlags, 0) << i;
    };
    expectEntry(0, 0, 0, 0);
    expectEntry(255, 255, 255, 255);
    expectEntry(0b10'011'101, 182, 109, 170); // 5*255/7, 3*255/7, 2*255/3, rounded down
    expectEntry(0b01'000'001, 36, 0, 85);

    // Formats a palette cannot be built for fail without leaving one behind.
    platform::PIXELFORMATDESCRIPTOR noRed = pfd;
    noRed.cRedBits = 0;
    platform::HPALETTE other = nullptr;
    EXPECT_THROW(manager->BuildPalette(dc, noRed, other), std::invalid_argument);
    platform::PIXELFORMATDESCRIPTOR wide = pfd;
    wide.cColorBits = 16;
    EXPECT_THROW(manager->BuildPalette(dc, wide, other), std::invalid_argument);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(platform::LivePaletteCount(), palettes + 1);

    platform::DeleteObject(palette);
    platform::ReleaseDC(gl.window(), dc);
}

TEST_F(ManagerTest, MarkersPutBackTheStateTheyChange)
{
    HeadlessGL gl;
    manager->InitGLState();
    struct Start {
        GLenum shade;
        bool colorMaterial, stipple, blend;
        float width;
        GLenum src, dst, front, back;
    };
    for (const Start& s : {Start{GL_FLAT, true, true, true, 3.5f, GL_ONE, GL_ZERO, GL_LINE, GL_POINT},
                           Start{GL_SMOOTH, false, false, false, 1.0f, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA,
                                 GL_FILL, GL_FILL}}) {
        glShadeModel(s.shade);
        s.colorMaterial ? glEnable(GL_COLOR_MATERIAL) : glDisable(GL_COLOR_MATERIAL);
        s.stipple ? glEnable(GL_LINE_STIPPLE) : glDisable(GL_LINE_STIPPLE);
        s.blend ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
        glLineWidth(s.width);
        glBlendFunc(s.src, s.dst);
        glPolygonMode(GL_FRONT, s.front);
        glPolygonMode(GL_BACK, s.back);
        const MarkerState before = MarkerState::read();

        manager->DrawAxis(40.0f);
        EXPECT_TRUE(MarkerState::read() == before) << "after DrawAxis, shade model " << s.shade;
        manager->DrawCross(Point4f(1, 2, 3), 5.0f);
        EXPECT_TRUE(MarkerState::read() == before) << "after DrawCross, shade model " << s.shade;

        GLfloat emission[4];
        glGetMaterialfv(GL_FRONT, GL_EMISSION, emission);
        EXPECT_EQ(emission[0] + emission[1] + emission[2], 0.0f);
        EXPECT_EQ(emission[3], 0.5f);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

TEST_F(ManagerTest, AxesAreDrawnInTheirColoursAndPlanesOnlyWhenAsked)
{
    HeadlessGL gl(128, 128);
    manager->InitGLState();
    glEnable(GL_LIGHTING); // only the emission colours the markers
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-50, 50, -50, 50, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(20, 1, 0, 0);
    glRotatef(-30, 0, 1, 0);

    manager->ShowAxisPlanes = false;
    manager->ClearBuffers();
    manager->DrawAxis(40.0f);
    GLdouble model[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    auto expectColourAt = [&](double x, double y, double z, uint8_t r, uint8_t g, uint8_t b) {
        GLdouble wx, wy, wz;
        gluProject(x, y, z, model, projection, viewport, &wx, &wy, &wz);
        EXPECT_TRUE(colourNear(gl, wx, wy, r, g, b)) << "at (" << x << "," << y << "," << z << ")";
    };
    expectColourAt(25, 0, 0, 255, 0, 0);
    expectColourAt(0, 25, 0, 0, 255, 0);
    expectColourAt(0, 0, 25, 0, 0, 255);

    // Seen straight down Z the XY quarter plane faces the viewer: its middle is
    // a blend of its red and green corners, and black without planes.
    glLoadIdentity();
    manager->ClearBuffers();
    manager->DrawAxis(40.0f);
    HeadlessGL::Rgb bare = gl.pixel(64 + 5, 64 + 5);
    EXPECT_EQ(bare.r + bare.g + bare.b, 0);
    manager->ShowAxisPlanes = true;
    manager->ClearBuffers();
    manager->DrawAxis(40.0f);
    HeadlessGL::Rgb plane = gl.pixel(64 + 5, 64 + 5);
    EXPECT_GT(plane.r, 0);
    EXPECT_GT(plane.g, 0);
    EXPECT_EQ(plane.b, 0);
}

TEST_F(ManagerTest, BlendingAndBackColour)
{
    // No context yet: the colour is kept, GL is left alone.
    manager->SetBackColor(0x00'80'FF'00u);
    EXPECT_EQ(manager->BackColor, 0x0080FF00u);

    HeadlessGL gl;
    manager->InitGLState();
    manager->SetBlending(true);
    EXPECT_TRUE(manager->BlendEnabled);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(glInt(GL_BLEND_SRC), GL_SRC_COLOR);
    EXPECT_EQ(glInt(GL_BLEND_DST), GL_ONE_MINUS_SRC_COLOR);
    manager->SetBlending(false);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));

    manager->SetBackColor(0xAB'80'FF'00u); // byte 3 has no effect on the colour
    std::array<GLfloat, 4> clear = glFloats(GL_COLOR_CLEAR_VALUE);
    EXPECT_EQ(clear[0], 0.0f);
    EXPECT_EQ(clear[1], 1.0f);
    EXPECT_NEAR(clear[2], 128.0 / 255.0, 1e-6);
    EXPECT_EQ(clear[3], 0.5f);
    const TSplitColor split = TGLManager::SplitColor(0xFF'00'00'33u);
    EXPECT_DOUBLE_EQ(split.R, 0x33 / 255.0);
    EXPECT_DOUBLE_EQ(split.A, 1.0);
}

TEST(ManagerSettings, DefaultsAndRoundTrip)
{
    testsupport::Sandbox sandbox;
    TGLManager* manager = TGLManager::Create();
    EXPECT_EQ(manager->FAxisLength, 20.0f);
    EXPECT_EQ(manager->SettingsValue, 0);
    EXPECT_TRUE(manager->ShowAxisPlanes);
    EXPECT_EQ(manager->BackColor, 0u);
    manager->Free();
    EXPECT_EQ(sandbox.settingsText(), "[TGLManager]\nmGLManager=0\nFAxisLength=20\n");

    sandbox.writeSettings("[TGLManager]\nmGLManager=7\nFAxisLength=12.5\n");
    manager = TGLManager::Create();
    EXPECT_EQ(manager->SettingsValue, 7);
    EXPECT_EQ(manager->FAxisLength, 12.5f);
    manager->Free();
    EXPECT_EQ(sandbox.settingsText(), "[TGLManager]\nmGLManager=7\nFAxisLength=12.5\n");
}
