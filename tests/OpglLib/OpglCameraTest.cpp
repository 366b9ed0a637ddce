#include "OpglLib/OpglCamera.h"

#include "OpglLib/OpglVector.h"
#include "support/HeadlessGL.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

using namespace platform;
using testsupport::HeadlessGL;

namespace {

double dot(const TGLPoint4f& a, const TGLPoint4f& b) { return double(a.X) * b.X + double(a.Y) * b.Y + double(a.Z) * b.Z; }
double length(const TGLPoint4f& a) { return std::sqrt(dot(a, a)); }
TGLPoint4f minus(const TGLPoint4f& a, const TGLPoint4f& b) { return Point4f(a.X - b.X, a.Y - b.Y, a.Z - b.Z); }

bool sameRecord(const TGLCameraRec& a, const TGLCameraRec& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class CameraTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedDesktop = DesktopSize();
        SetDesktopSize({1280, 1024});
        vectors = TGLVector::Create();
        camera = TGLCamera::Create();
        MoveStep = 5.0f;
        RotateStep = 5.0f;
        MouseDownAt(0, 0);
        // The viewer's start-up camera.
        camera->InitCamera(rec, TGLViewDir::vdUser, Point4f(100, 200.0f / 3, 100), Point4f(0, 10, 0), 1000);
    }
    void TearDown() override
    {
        camera->Free();
        vectors->Free();
        SetDesktopSize(savedDesktop);
    }

    float dist() const { return vectors->Distance(rec.Eye, rec.View); }

    testsupport::Sandbox sandbox;
    ScreenSize savedDesktop{};
    TGLVector* vectors = nullptr;
    TGLCamera* camera = nullptr;
    TGLCameraRec rec{};
};

} // namespace

TEST_F(CameraTest, InitCameraBuildsThePerspectiveView)
{
    EXPECT_EQ(rec.Projection, TGLProjection::prPerspective);
    EXPECT_EQ(rec.ViewDir, TGLViewDir::vdUser);
    EXPECT_EQ(rec.ViewportWidth, 1280);
    EXPECT_EQ(rec.ViewportHeight, 1024);
    EXPECT_EQ(rec.Fov, 52.0f);
    EXPECT_EQ(rec.Eye.X, 100.0f);
    EXPECT_FLOAT_EQ(rec.Eye.Y, 200.0f / 3);
    EXPECT_NEAR(length(rec.Up), 1.0, 1e-6);
    EXPECT_NEAR(dot(rec.Up, minus(rec.View, rec.Eye)), 0.0, 1e-4);
    EXPECT_GT(rec.Up.Y, 0.0f);
    EXPECT_FLOAT_EQ(rec.VolLeft, -1000);
    EXPECT_FLOAT_EQ(rec.VolRight, 1000);
    EXPECT_FLOAT_EQ(rec.VolBottom, -990);
    EXPECT_FLOAT_EQ(rec.VolTop, 1010);
    EXPECT_FLOAT_EQ(rec.Near, dist() - 1000);
    EXPECT_LT(rec.Near, 0.0f);
    EXPECT_FLOAT_EQ(rec.Far, rec.Near + 2000);
    EXPECT_EQ(GLProjectionNames[3], "Perspective");
    EXPECT_EQ(GLViewDirNames[5], "Top");
}

TEST_F(CameraTest, ViewportWidensTheVolumeAndNeverCollapses)
{
    camera->SetViewport(rec, 0, 0, 696, 480);
    EXPECT_NEAR(rec.VolRight - rec.VolLeft, 2000.0 * 696 / 480, 0.01);
    EXPECT_NEAR(rec.VolLeft + rec.VolRight, 0.0, 0.01); // still around View
    EXPECT_NEAR(rec.VolTop - rec.VolBottom, 2000.0, 0.01);
    EXPECT_EQ(rec.ViewportWidth, 696);
    // A viewport of more pixels than the volume has square units keeps the
    // horizontal extent and trims the vertical one instead.
    TGLCameraRec big{};
    camera->InitCamera(big, TGLViewDir::vdUser, rec.Eye, rec.View, 1000);
    camera->SetViewport(big, 0, 0, 2560, 1600);
    EXPECT_NEAR(big.VolRight - big.VolLeft, 2000.0, 0.01);
    EXPECT_NEAR(big.VolTop - big.VolBottom, 1250.0, 0.01);

    camera->SetViewport(rec, 0, 0, 0, -3);
    EXPECT_EQ(rec.ViewportWidth, 1);
    EXPECT_EQ(rec.ViewportHeight, 1);
    rec.ViewportHeight = 0;
    HeadlessGL gl;
    camera->ApplyProjection(rec);
    EXPECT_EQ(rec.ViewportHeight, 1);
}

TEST_F(CameraTest, ProjectionsReachTheGL)
{
    HeadlessGL gl;
    camera->SetViewport(rec, 0, 0, 696, 480);
    ASSERT_LT(rec.Near, 0.5f);
    camera->ApplyProjection(rec);
    EXPECT_EQ(rec.Near, 0.5f);
    GLint mode = 0, viewport[4];
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(mode, GL_PROJECTION);
    EXPECT_EQ(viewport[2], 696);
    EXPECT_EQ(viewport[3], 480);

    auto matrix = [] {
        GLfloat m[16];
        glGetFloatv(GL_PROJECTION_MATRIX, m);
        return std::vector<float>(m, m + 16);
    };
    const double n = 0.5, f = rec.Far, cot = 1.0 / std::tan(26.0 * M_PI / 180.0);
    std::vector<float> m = matrix();
    EXPECT_NEAR(m[5], cot, 1e-4);
    EXPECT_NEAR(m[0], cot * 480 / 696, 1e-4);
    EXPECT_NEAR(m[10], -(f + n) / (f - n), 1e-5);
    EXPECT_NEAR(m[14], -2 * f * n / (f - n), 1e-5);

    // The frustum and the orthographic kinds are square, sized by the field of view.
    rec.Projection = TGLProjection::prFrustum;
    camera->ApplyProjection(rec);
    EXPECT_NEAR(rec.VolRight, std::tan(26.0 * M_PI / 180.0) * 0.5, 1e-6);
    EXPECT_NEAR(matrix()[0], cot, 1e-4);
    rec.Projection = TGLProjection::prOrtho;
    camera->ApplyProjection(rec);
    EXPECT_NEAR(rec.VolTop, std::tan(26.0 * M_PI / 180.0) * dist(), 1e-3);
    EXPECT_NEAR(matrix()[5], 1.0 / rec.VolTop, 1e-6);
    EXPECT_NEAR(matrix()[10], -2.0 / (f - n), 1e-7);
    rec.Projection = TGLProjection::prOrtho2D;
    camera->ApplyProjection(rec);
    EXPECT_EQ(matrix()[10], -1.0f);
    camera->ApplyView(rec);
    GLfloat view[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, view);
    EXPECT_EQ(view[12], 0.0f); // no look-at for the 2D kind

    rec.Projection = TGLProjection::prPerspective;
    camera->ApplyView(rec);
    glGetFloatv(GL_MODELVIEW_MATRIX, view);
    // The view point lies straight ahead of the eye, dist away.
    const double vz = view[2] * rec.View.X + view[6] * rec.View.Y + view[10] * rec.View.Z + view[14];
    EXPECT_NEAR(vz, -dist(), 1e-3);
}

TEST_F(CameraTest, ViewVolumeRefusesSizesOutsideTheOpenRange)
{
    const TGLCameraRec before = rec;
    for (float bad : {5.0f, 10000.0f, 4.0f, 10001.0f, NAN}) {
        camera->SetViewVolume(rec, bad, 100, 100);
        camera->SetViewVolume(rec, 100, bad, 100);
        camera->SetViewVolume(rec, 100, 100, bad);
        EXPECT_TRUE(sameRecord(rec, before)) << bad;
    }
    camera->SetViewVolume(rec, 5.01f, 100, 100);
    EXPECT_FALSE(sameRecord(rec, before));
}

TEST_F(CameraTest, ViewDirectionPresets)
{
    struct Preset {
        TGLViewDir dir;
        float ox, oy, oz;
        TGLPoint4f up;
    };
    const float d = dist();
    for (const Preset& p : {Preset{TGLViewDir::vdFront, 0, 0, 1, Point4f(0, 1, 0)},
                            Preset{TGLViewDir::vdBack, 0, 0, -1, Point4f(0, 1, 0)},
                            Preset{TGLViewDir::vdRight, 1, 0, 0, Point4f(0, 1, 0)},
                            Preset{TGLViewDir::vdLeft, -1, 0, 0, Point4f(0, 1, 0)},
                            Preset{TGLViewDir::vdTop, 0, 1, 0, Point4f(0, 0, -1)},
                            Preset{TGLViewDir::vdBottom, 0, -1, 0, Point4f(0, 0, -1)}}) {
        TGLCameraRec r = rec;
        r.ViewDir = p.dir;
        camera->SetLookAt(r, rec.Eye, rec.View);
        const int i = static_cast<int>(p.dir);
        EXPECT_NEAR(r.Eye.X, 0 + p.ox * d, 1e-3) << i;
        EXPECT_NEAR(r.Eye.Y, 10 + p.oy * d, 1e-3) << i;
        EXPECT_NEAR(r.Eye.Z, 0 + p.oz * d, 1e-3) << i;
        EXPECT_EQ(r.Up.X, p.up.X) << i;
        EXPECT_EQ(r.Up.Y, p.up.Y) << i;
        EXPECT_EQ(r.Up.Z, p.up.Z) << i;
    }

    // Side and top views lay the volume out in their own planes.
    TGLCameraRec side = rec;
    side.ViewDir = TGLViewDir::vdRight;
    camera->SetViewVolume(side, 100, 200, 300);
    EXPECT_FLOAT_EQ(side.VolLeft, -150); // around View.Z, half the depth
    EXPECT_FLOAT_EQ(side.VolTop, 110);
    EXPECT_FLOAT_EQ(side.Near, d - 50);
    EXPECT_FLOAT_EQ(side.Far, side.Near + 100);
    TGLCameraRec top = rec;
    top.ViewDir = TGLViewDir::vdTop;
    camera->SetViewVolume(top, 100, 200, 300);
    EXPECT_FLOAT_EQ(top.VolBottom, -150); // around View.Z
    EXPECT_FLOAT_EQ(top.Near, d - 100);
    EXPECT_FLOAT_EQ(top.Far, top.Near + 200);
}

TEST_F(CameraTest, CtrlLeftDragOrbitsTheVerticalAndAFullTurnComesBack)
{
    const TGLPoint4f start = rec.Eye;
    auto azimuth = [&] { return std::atan2(rec.Eye.X - rec.View.X, rec.Eye.Z - rec.View.Z) * 180 / M_PI; };
    const double startAzimuth = azimuth();
    MouseMoveCamera(ssLeft | ssCtrl, 2, 9, rec); // a drag to the right turns the eye by +5 degrees
    EXPECT_NEAR(azimuth() - startAzimuth, 5.0, 1e-3);
    MouseMoveCamera(ssLeft | ssCtrl, 0, 0, rec);
    EXPECT_NEAR(azimuth(), startAzimuth, 1e-3);
    int x = 0, y = 0;
    for (int i = 0; i < 72; ++i) {
        x += 3, y += 7; // mostly vertical, but Ctrl keeps only the sideways part
        ASSERT_TRUE(MouseMoveCamera(ssLeft | ssCtrl, x, y, rec));
        EXPECT_NEAR(rec.Eye.Y, start.Y, 1e-3);
    }
    EXPECT_NEAR(rec.Eye.X, start.X, 1e-3);
    EXPECT_NEAR(rec.Eye.Z, start.Z, 1e-3);
    EXPECT_EQ(rec.Up.X, 0.0f);
    EXPECT_EQ(rec.Up.Y, 1.0f);
    EXPECT_EQ(rec.Up.Z, 0.0f);
}

TEST_F(CameraTest, ShiftLeftDragOrbitsOnlyAboutTheSideAxis)
{
    const double azimuth = std::atan2(rec.Eye.X - rec.View.X, rec.Eye.Z - rec.View.Z);
    const float d = dist();
    auto elevation = [&] { return std::asin((rec.Eye.Y - rec.View.Y) / dist()) * 180 / M_PI; };
    double previous = elevation();
    int x = 0, y = 0;
    for (int i = 0; i < 5; ++i) {
        x += 9, y -= 2; // mostly sideways, but Shift keeps only the vertical part
        ASSERT_TRUE(MouseMoveCamera(ssLeft | ssShift, x, y, rec));
        EXPECT_NEAR(std::atan2(rec.Eye.X - rec.View.X, rec.Eye.Z - rec.View.Z), azimuth, 1e-5);
        EXPECT_NEAR(dist(), d, 1e-2);
        EXPECT_NEAR(elevation() - previous, 5.0, 1e-3); // a drag up raises the eye
        EXPECT_NEAR(dot(rec.Up, minus(rec.View, rec.Eye)), 0.0, 1e-3);
        previous = elevation();
    }
    // A drag that only went sideways does nothing with Shift held.
    const TGLCameraRec before = rec;
    EXPECT_TRUE(MouseMoveCamera(ssLeft | ssShift, x + 20, y, rec));
    EXPECT_TRUE(sameRecord(rec, before));
}

TEST_F(CameraTest, RightDragsPanOneUnitInTheirPlanes)
{
    struct Pan {
        TShiftState keys;
        int dx, dy;
        float TGLPoint4f::*kept; // the coordinate the pan leaves alone; none for Shift
    };
    for (const Pan& p : {Pan{0, 0, -4, &TGLPoint4f::Y}, Pan{0, 6, 1, &TGLPoint4f::Y}, Pan{ssAlt, 6, 1, &TGLPoint4f::Z},
                         Pan{ssAlt, 0, -3, &TGLPoint4f::Z}, Pan{ssCtrl, -6, 1, &TGLPoint4f::X},
                         Pan{ssCtrl, 1, 5, &TGLPoint4f::X}, Pan{ssShift, 9, -1, nullptr}}) {
        TGLCameraRec r = rec;
        MouseDownAt(100, 100);
        ASSERT_TRUE(MouseMoveCamera(ssRight | p.keys, 100 + p.dx, 100 + p.dy, r));
        const TGLPoint4f moved = minus(r.View, rec.View);
        EXPECT_NEAR(length(moved), 1.0, 1e-4) << int(p.keys);
        EXPECT_NEAR(length(minus(minus(r.Eye, rec.Eye), moved)), 0.0, 1e-4); // eye moves along
        if (p.kept) {
            EXPECT_EQ(moved.*p.kept, 0.0f) << int(p.keys);
        } else {
            EXPECT_NEAR(moved.Y, 1.0, 1e-6); // Shift: straight up for a drag up
        }
    }
    // Dragging up pans forward along the line of sight's ground projection.
    TGLCameraRec r = rec;
    MouseDownAt(0, 0);
    MouseMoveCamera(ssRight, 0, -1, r);
    EXPECT_GT(dot(minus(r.View, rec.View), minus(rec.View, rec.Eye)), 0.0);
    // Dragging right pans toward the side vector (line of sight x up).
    r = rec;
    MouseMoveCamera(ssRight, 1, -1, r);
    const TGLPoint3f side = vectors->CrossProduct(minus(rec.View, rec.Eye), rec.Up);
    EXPECT_GT(dot(minus(r.View, rec.View), Point4f(side.X, side.Y, side.Z)), 0.0);
}

TEST_F(CameraTest, ZoomsFromMiddleDragAndWheel)
{
    const float d = dist();
    const TGLPoint4f view = rec.View;
    MouseWheelZoom(-120, rec);
    EXPECT_NEAR(dist(), d - 5, 1e-3);
    EXPECT_EQ(std::memcmp(&rec.View, &view, sizeof view), 0);
    MouseWheelZoom(120, rec);
    EXPECT_NEAR(dist(), d, 1e-3);

    MouseDownAt(10, 10);
    EXPECT_TRUE(MouseMoveCamera(ssMiddle, 10, 4, rec)); // drag up: closer
    EXPECT_NEAR(dist(), d - 5, 1e-3);
    EXPECT_TRUE(MouseMoveCamera(ssMiddle, 10, 9, rec));
    EXPECT_NEAR(dist(), d, 1e-3);
    // Left wins over the other buttons: an orbit keeps the distance.
    EXPECT_TRUE(MouseMoveCamera(ssLeft | ssRight | ssMiddle, 30, 9, rec));
    EXPECT_NEAR(dist(), d, 1e-2);
    EXPECT_EQ(std::memcmp(&rec.View, &view, sizeof view), 0);

    // The eye never lands on the view point: the step that would is skipped.
    TGLCameraRec close = rec;
    close.ViewDir = TGLViewDir::vdFront;
    camera->SetLookAt(close, Point4f(0, 0, 10), Point4f(0, 0, 0));
    camera->MoveForward(close, 5);
    camera->MoveForward(close, 5);
    EXPECT_EQ(close.Eye.Z, 5.0f);
    camera->MoveBackward(close, 5);
    EXPECT_EQ(close.Eye.Z, 10.0f);
}

TEST_F(CameraTest, MovesWithoutAButtonOnlyRecordThePointer)
{
    const TGLCameraRec before = rec;
    EXPECT_FALSE(MouseMoveCamera(ssShift | ssCtrl | ssAlt, 40, 50, rec));
    EXPECT_TRUE(sameRecord(rec, before));
    EXPECT_EQ(LastMouseX, 40);
    EXPECT_EQ(LastMouseY, 50);
    // The next drag measures from there: no movement since, nothing happens.
    EXPECT_TRUE(MouseMoveCamera(ssMiddle, 40, 50, rec));
    EXPECT_TRUE(sameRecord(rec, before));
}

// A drag as far sideways as up or down counts as sideways: a left drag
// orbits about the vertical (the eye's height stays), a right drag pans
// along the side vector, exactly as a purely sideways drag would.
TEST_F(CameraTest, DiagonalDragsCountAsSideways)
{
    auto azimuth = [](const TGLCameraRec& r) {
        return std::atan2(r.Eye.X - r.View.X, r.Eye.Z - r.View.Z) * 180 / M_PI;
    };
    for (int dx : {4, -4}) {
        for (int dy : {4, -4}) {
            TGLCameraRec r = rec;
            MouseDownAt(50, 50);
            ASSERT_TRUE(MouseMoveCamera(ssLeft, 50 + dx, 50 + dy, r));
            EXPECT_NEAR(r.Eye.Y, rec.Eye.Y, 1e-3) << dx << "," << dy;
            EXPECT_NEAR(azimuth(r) - azimuth(rec), dx > 0 ? 5.0 : -5.0, 1e-3) << dx << "," << dy;

            TGLCameraRec diagonal = rec, sideways = rec;
            MouseDownAt(50, 50);
            MouseMoveCamera(ssRight, 50 + dx, 50 + dy, diagonal);
            MouseDownAt(50, 50);
            MouseMoveCamera(ssRight, 50 + dx, 50, sideways);
            EXPECT_TRUE(sameRecord(diagonal, sideways)) << dx << "," << dy;
        }
    }
}
