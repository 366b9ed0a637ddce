#include "platform/window/GLContext.h"

#include "support/HeadlessGL.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

using namespace platform;

namespace {

PIXELFORMATDESCRIPTOR sceneRequest()
{
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.cColorBits = 24;
    pfd.cDepthBits = 32;
    return pfd;
}

GLint glInt(GLenum name)
{
    GLint v = 0;
    glGetIntegerv(name, &v);
    return v;
}

} // namespace

TEST(GLContext, NullAndDeadHandlesFailWithoutEffect)
{
    testsupport::HeadlessGL gl;
    const int dcs = LiveDeviceContextCount();
    PIXELFORMATDESCRIPTOR pfd = sceneRequest();
    EXPECT_EQ(GetDC(nullptr), nullptr);
    EXPECT_EQ(ChoosePixelFormat(nullptr, &pfd), 0);
    EXPECT_EQ(DescribePixelFormat(nullptr, 1, sizeof pfd, &pfd), 0);
    EXPECT_EQ(wglCreateContext(nullptr), nullptr);
    EXPECT_FALSE(wglDeleteContext(nullptr));
    EXPECT_FALSE(SwapBuffers(nullptr));

    HDC dc = GetDC(gl.window());
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(ChoosePixelFormat(dc, nullptr), 0);
    // No format set yet: no context can be made on the window.
    EXPECT_EQ(wglCreateContext(dc), nullptr);
    EXPECT_FALSE(SetPixelFormat(dc, 2, &pfd));
    EXPECT_FALSE(ReleaseDC(nullptr, dc));
    EXPECT_TRUE(ReleaseDC(gl.window(), dc));
    EXPECT_FALSE(ReleaseDC(gl.window(), dc)); // already gone
    EXPECT_EQ(ChoosePixelFormat(dc, &pfd), 0);
    EXPECT_EQ(LiveDeviceContextCount(), dcs);
}

TEST(GLContext, DescribesTheClosestFormatTheWindowReallyHas)
{
    testsupport::HeadlessGL gl;
    SDL_GLContext before = SDL_GL_GetCurrentContext();
    const GLint depthBits = glInt(GL_DEPTH_BITS);
    const GLint redBits = glInt(GL_RED_BITS);
    const std::string renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));

    HDC dc = GetDC(gl.window());
    PIXELFORMATDESCRIPTOR pfd = sceneRequest();
    const int format = ChoosePixelFormat(dc, &pfd);
    ASSERT_EQ(format, 1);
    EXPECT_TRUE(SetPixelFormat(dc, format, &pfd));
    ASSERT_EQ(DescribePixelFormat(dc, format, sizeof pfd, &pfd), 1);
    // Probing the window left the caller's context current.
    EXPECT_EQ(SDL_GL_GetCurrentContext(), before);

    EXPECT_EQ(pfd.nSize, 40);
    EXPECT_EQ(pfd.cDepthBits, depthBits); // 32 asked, what the window has given
    EXPECT_LE(pfd.cDepthBits, 32);
    EXPECT_EQ(pfd.cRedBits, redBits);
    EXPECT_EQ(pfd.cColorBits, pfd.cRedBits + pfd.cGreenBits + pfd.cBlueBits);
    EXPECT_EQ(pfd.cRedShift, pfd.cGreenBits + pfd.cBlueBits);
    EXPECT_TRUE(pfd.dwFlags & PFD_SUPPORT_OPENGL);
    EXPECT_EQ((pfd.dwFlags & PFD_GENERIC_FORMAT) != 0, IsSoftwareRenderer(renderer));
    EXPECT_EQ(RendererName(), renderer);

    // Only the bytes asked for are written; an unknown index fills nothing.
    PIXELFORMATDESCRIPTOR partial;
    std::memset(&partial, 0xEE, sizeof partial);
    EXPECT_EQ(DescribePixelFormat(dc, 1, 8, &partial), 1);
    EXPECT_EQ(partial.nSize, 40);
    EXPECT_EQ(partial.iPixelType, 0xEE);
    EXPECT_EQ(DescribePixelFormat(dc, 2, sizeof partial, &partial), 0);
    EXPECT_EQ(DescribePixelFormat(dc, 0, 0, nullptr), 1);
    ReleaseDC(gl.window(), dc);

    EXPECT_TRUE(IsSoftwareRenderer("llvmpipe (LLVM 15.0.6, 256 bits)"));
    EXPECT_TRUE(IsSoftwareRenderer("Gallium 0.4 on softpipe"));
    EXPECT_FALSE(IsSoftwareRenderer("Mesa Intel(R) UHD Graphics 620 (KBL GT2)"));
    EXPECT_FALSE(IsSoftwareRenderer(""));
}

TEST(GLContext, ContextLifecycleAndTheFrameSeenBeforeTheSwap)
{
    testsupport::HeadlessGL gl(64, 64);
    SDL_GLContext headless = SDL_GL_GetCurrentContext();
    const int rcs = LiveRenderingContextCount();
    HDC dc = GetDC(gl.window());
    PIXELFORMATDESCRIPTOR pfd = sceneRequest();
    SetPixelFormat(dc, ChoosePixelFormat(dc, &pfd), &pfd);

    HGLRC rc = wglCreateContext(dc);
    ASSERT_NE(rc, nullptr);
    EXPECT_EQ(LiveRenderingContextCount(), rcs + 1);
    EXPECT_EQ(SDL_GL_GetCurrentContext(), headless); // making a context does not switch to it
    ASSERT_TRUE(wglMakeCurrent(dc, rc));
    EXPECT_NE(SDL_GL_GetCurrentContext(), headless);

    int calls = 0;
    uint8_t seen[3] = {0, 0, 0};
    SetBeforeSwapHook([&] {
        ++calls;
        glReadPixels(10, 10, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, seen);
    });
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_TRUE(SwapBuffers(dc));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seen[0], 255);
    EXPECT_EQ(seen[1], 0);

    SetBeforeSwapHook([] { throw std::runtime_error("disk full"); });
    EXPECT_THROW(SwapBuffers(dc), std::runtime_error);
    SetBeforeSwapHook({});
    EXPECT_TRUE(SwapBuffers(dc));

    // Deleting the current context leaves none current.
    EXPECT_TRUE(wglDeleteContext(rc));
    EXPECT_FALSE(IsContextCurrent());
    EXPECT_FALSE(wglDeleteContext(rc));
    EXPECT_FALSE(wglMakeCurrent(dc, rc));
    EXPECT_EQ(LiveRenderingContextCount(), rcs);
    ReleaseDC(gl.window(), dc);
}

TEST(GLContext, PalettesAreSelectedRealisedAndDeleted)
{
    testsupport::HeadlessGL gl;
    const int palettesBefore = LivePaletteCount();
    LOGPALETTE logical;
    logical.palVersion = 0x300;
    EXPECT_EQ(CreatePalette(logical), nullptr); // no entries
    logical.palPalEntry = {{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}};
    logical.palNumEntries = 4;
    EXPECT_EQ(CreatePalette(logical), nullptr); // count does not match
    logical.palNumEntries = 3;
    HPALETTE palette = CreatePalette(logical);
    ASSERT_NE(palette, nullptr);

    PALETTEENTRY out[3] = {};
    EXPECT_EQ(GetPaletteEntries(palette, 1, 5, out), 2u);
    EXPECT_EQ(out[0].peRed, 4);
    EXPECT_EQ(out[1].peBlue, 9);
    EXPECT_EQ(GetPaletteEntries(palette, 3, 1, out), 0u);

    HDC dc = GetDC(gl.window());
    EXPECT_EQ(RealizePalette(dc), 0u);
    EXPECT_EQ(SelectPalette(dc, palette, false), nullptr);
    EXPECT_EQ(RealizePalette(dc), 3u);
    EXPECT_TRUE(DeleteObject(palette));
    EXPECT_EQ(RealizePalette(dc), 0u); // a deleted palette is no longer selected
    EXPECT_FALSE(DeleteObject(palette));
    EXPECT_EQ(LivePaletteCount(), palettesBefore);
    ReleaseDC(gl.window(), dc);
}
