#include "OpglCamera.h"

#include "OpglVector.h"
#include "platform/system/System.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

float MoveStep = 5.0f;
float RotateStep = 5.0f;
int32_t LastMouseX = 0;
int32_t LastMouseY = 0;

namespace {

constexpr float kDefaultFov = 52.0f;
// View-volume sizes must lie strictly between these.
constexpr float kMinVolumeSize = 5.0f;
constexpr float kMaxVolumeSize = 10000.0f;
// A near plane at or behind the eye breaks the depth range of a projection.
constexpr float kMinNear = 0.5f;

const TGLVector& vectors()
{
    const TGLVector* v = TGLVector::Instance();
    if (!v)
        throw std::logic_error("The camera needs TGLVector: create it first");
    return *v;
}

TGLCamera& camera()
{
    TGLCamera* c = TGLCamera::Instance();
    if (!c)
        throw std::logic_error("The camera mouse procedures need TGLCamera: create it first");
    return *c;
}

TGLPoint4f asPoint(const TGLPoint3f& p) { return Point4f(p.X, p.Y, p.Z); }

void setXYZ(TGLPoint4f& p, float x, float y, float z)
{
    p.X = x;
    p.Y = y;
    p.Z = z;
}

// The eye of a preset: the view point moved by offset, with the given up vector.
void placePresetEye(TGLCameraRec& rec, float dx, float dy, float dz, const TGLPoint3f& up)
{
    rec.Eye = rec.View;
    setXYZ(rec.Eye, rec.View.X + dx, rec.View.Y + dy, rec.View.Z + dz);
    setXYZ(rec.Up, up.X, up.Y, up.Z);
}

void clampNear(TGLCameraRec& rec)
{
    if (rec.Near < kMinNear)
        rec.Near = kMinNear;
}

// Square extents of half-size h around the origin.
void setSquareExtents(TGLCameraRec& rec, double h)
{
    rec.VolLeft = static_cast<float>(-h);
    rec.VolRight = static_cast<float>(h);
    rec.VolBottom = static_cast<float>(-h);
    rec.VolTop = static_cast<float>(h);
}

double tanHalfFov(const TGLCameraRec& rec) { return std::tan(double(vectors().DegToRad(rec.Fov / 2.0f))); }

} // namespace

void TGLCamera::InitCamera(TGLCameraRec& rec, TGLViewDir viewDir, const TGLPoint4f& eye, const TGLPoint4f& view,
                           float size)
{
    const platform::ScreenSize screen = platform::DesktopSize();
    rec.Projection = TGLProjection::prPerspective;
    rec.ViewDir = viewDir;
    rec.ViewportX = 0;
    rec.ViewportY = 0;
    rec.ViewportWidth = screen.width;
    rec.ViewportHeight = screen.height;
    setXYZ(rec.Eye, eye.X, eye.Y, eye.Z);
    setXYZ(rec.View, view.X, view.Y, view.Z);
    setXYZ(rec.Up, 0.0f, 1.0f, 0.0f);
    rec.Fov = kDefaultFov;
    OrthonormalizeUp(rec);
    const float d = size * 2.0f;
    SetLookAt(rec, rec.Eye, rec.View);
    SetViewVolume(rec, d, d, d);
}

void TGLCamera::SetViewport(TGLCameraRec& rec, int32_t x, int32_t y, int32_t width, int32_t height)
{
    width = std::max(width, 1);
    height = std::max(height, 1);
    rec.ViewportX = x;
    rec.ViewportY = y;
    rec.ViewportWidth = width;
    rec.ViewportHeight = height;
    FitVolumeToViewport(rec, width, height);
}

void TGLCamera::ApplyProjection(TGLCameraRec& rec)
{
    rec.ViewportHeight = std::max(rec.ViewportHeight, 1);
    glViewport(rec.ViewportX, rec.ViewportY, rec.ViewportWidth, rec.ViewportHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // The orthographic kinds and the frustum are square: the viewport's
    // aspect is not applied to them.
    switch (rec.Projection) {
    case TGLProjection::prOrtho2D:
        setSquareExtents(rec, tanHalfFov(rec) * vectors().Distance(rec.Eye, rec.View));
        gluOrtho2D(rec.VolLeft, rec.VolRight, rec.VolBottom, rec.VolTop);
        break;
    case TGLProjection::prOrtho:
        clampNear(rec);
        setSquareExtents(rec, tanHalfFov(rec) * vectors().Distance(rec.Eye, rec.View));
        glOrtho(rec.VolLeft, rec.VolRight, rec.VolBottom, rec.VolTop, rec.Near, rec.Far);
        break;
    case TGLProjection::prFrustum:
        clampNear(rec);
        setSquareExtents(rec, tanHalfFov(rec) * rec.Near);
        glFrustum(rec.VolLeft, rec.VolRight, rec.VolBottom, rec.VolTop, rec.Near, rec.Far);
        break;
    case TGLProjection::prPerspective:
        clampNear(rec);
        gluPerspective(rec.Fov, double(rec.ViewportWidth) / rec.ViewportHeight, rec.Near, rec.Far);
        break;
    default:
        break;
    }
}

void TGLCamera::ApplyView(const TGLCameraRec& rec)
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (rec.Projection != TGLProjection::prOrtho2D)
        gluLookAt(rec.Eye.X, rec.Eye.Y, rec.Eye.Z, rec.View.X, rec.View.Y, rec.View.Z, rec.Up.X, rec.Up.Y, rec.Up.Z);
}

void TGLCamera::SetViewVolume(TGLCameraRec& rec, float width, float height, float depth)
{
    // Written so that NaN sizes are refused as well.
    const auto inRange = [](float v) { return v > kMinVolumeSize && v < kMaxVolumeSize; };
    if (!inRange(width) || !inRange(height) || !inRange(depth))
        return;
    const double hw = width / 2.0, hh = height / 2.0, hd = depth / 2.0;
    const double dist = vectors().Distance(rec.Eye, rec.View);
    const double vx = rec.View.X, vy = rec.View.Y, vz = rec.View.Z;
    double left, right, bottom, top, nearPlane, extent;
    switch (rec.ViewDir) {
    case TGLViewDir::vdUser:
    case TGLViewDir::vdFront:
    case TGLViewDir::vdBack:
        left = vx - hw, right = vx + hw, bottom = vy - hh, top = vy + hh;
        nearPlane = dist - hd, extent = depth;
        break;
    case TGLViewDir::vdRight:
    case TGLViewDir::vdLeft:
        left = vz - hd, right = vz + hd, bottom = vy - hh, top = vy + hh;
        nearPlane = dist - hw, extent = width;
        break;
    case TGLViewDir::vdTop:
    case TGLViewDir::vdBottom:
        left = vx - hw, right = vx + hw, bottom = vz - hd, top = vz + hd;
        nearPlane = dist - hh, extent = height;
        break;
    default:
        return;
    }
    rec.VolLeft = static_cast<float>(left);
    rec.VolRight = static_cast<float>(right);
    rec.VolBottom = static_cast<float>(bottom);
    rec.VolTop = static_cast<float>(top);
    // Near may come out negative here; ApplyProjection corrects it.
    rec.Near = static_cast<float>(nearPlane);
    rec.Far = static_cast<float>(rec.Near + extent);
}

void TGLCamera::SetLookAt(TGLCameraRec& rec, const TGLPoint4f& eye, const TGLPoint4f& view)
{
    // Copies first: callers pass the record's own points.
    const TGLPoint4f newEye = eye, newView = view;
    rec.Eye = newEye;
    rec.View = newView;
    const float dist = vectors().Distance(rec.Eye, rec.View);
    constexpr TGLPoint3f yUp{0.0f, 1.0f, 0.0f};
    // Looking down the Y axis, "up" on the screen is -Z.
    constexpr TGLPoint3f zUp{0.0f, 0.0f, -1.0f};
    switch (rec.ViewDir) {
    case TGLViewDir::vdFront: placePresetEye(rec, 0, 0, dist, yUp); break;
    case TGLViewDir::vdBack: placePresetEye(rec, 0, 0, -dist, yUp); break;
    case TGLViewDir::vdRight: placePresetEye(rec, dist, 0, 0, yUp); break;
    case TGLViewDir::vdLeft: placePresetEye(rec, -dist, 0, 0, yUp); break;
    case TGLViewDir::vdTop: placePresetEye(rec, 0, dist, 0, zUp); break;
    case TGLViewDir::vdBottom: placePresetEye(rec, 0, -dist, 0, zUp); break;
    default: break; // "User" keeps the given eye and up vector
    }
}

void TGLCamera::FitVolumeToViewport(TGLCameraRec& rec, int32_t width, int32_t height)
{
    width = std::max(width, 1);
    height = std::max(height, 1);
    double ew = double(rec.VolRight) - rec.VolLeft;
    double eh = double(rec.VolTop) - rec.VolBottom;
    const double ed = double(rec.Far) - rec.Near;
    if (height / ew >= eh / width)
        eh = ew * (double(height) / width);
    else
        ew = eh * (double(width) / height);
    SetViewVolume(rec, static_cast<float>(ew), static_cast<float>(eh), static_cast<float>(ed));
}

void TGLCamera::MoveForward(TGLCameraRec& rec, float step)
{
    TGLPoint4f eye = rec.Eye;
    vectors().MoveAlong(eye, VectorFromTo(rec.Eye, rec.View), step);
    // An eye on the view point has no line of sight left: no zoom, orbit or
    // pan could ever move it off again, so that one step is not taken.
    if (vectors().Distance(eye, rec.View) == 0.0f)
        return;
    rec.Eye = eye;
}

void TGLCamera::MoveBackward(TGLCameraRec& rec, float step) { MoveForward(rec, -step); }

void TGLCamera::Translate(TGLCameraRec& rec, const TGLPoint4f& direction, float distance)
{
    const TGLPoint4f dir = direction;
    vectors().MoveAlong(rec.Eye, dir, distance);
    vectors().MoveAlong(rec.View, dir, distance);
}

void TGLCamera::OrbitHorizontal(TGLCameraRec& rec, float degrees)
{
    vectors().RotateAroundVertical(rec.Eye, rec.View, vectors().DegToRad(degrees));
    setXYZ(rec.Up, 0.0f, 1.0f, 0.0f);
}

void TGLCamera::OrbitAroundAxis(TGLCameraRec& rec, const TGLPoint3f& axis, float degrees)
{
    vectors().RotateAroundAxis(rec.Eye, rec.View, vectors().DegToRad(degrees), axis);
    OrthonormalizeUp(rec);
}

void TGLCamera::OrthonormalizeUp(TGLCameraRec& rec)
{
    const TGLVector& v = vectors();
    const TGLPoint4f dir = VectorFromTo(rec.Eye, rec.View);
    const TGLPoint3f side = v.CrossProduct(dir, rec.Up);
    const TGLPoint3f up = v.Normalize(asPoint(v.CrossProduct(asPoint(side), dir)));
    setXYZ(rec.Up, up.X, up.Y, up.Z);
}

namespace {

// Pointer deltas saturate instead of overflowing; only their signs and
// relative sizes matter.
int32_t pointerDelta(int32_t to, int32_t from)
{
    const int64_t d = int64_t(to) - from;
    return static_cast<int32_t>(std::clamp<int64_t>(d, INT32_MIN, INT32_MAX));
}

// A move is vertical when it went further up or down than sideways; ties
// count as horizontal.
bool isVertical(int32_t dx, int32_t dy) { return std::llabs(dx) < std::llabs(dy); }

TGLPoint4f lineOfSight(const TGLCameraRec& rec) { return VectorFromTo(rec.Eye, rec.View); }
TGLPoint3f sideOf(const TGLCameraRec& rec) { return vectors().CrossProduct(lineOfSight(rec), rec.Up); }

// One pan step along the vertical or the horizontal direction: forward for a
// drag up or to the right, backward otherwise.
void panStep(TGLCameraRec& rec, int32_t dx, int32_t dy, const TGLPoint4f& verticalDir,
             const TGLPoint4f& horizontalDir)
{
    const bool vertical = isVertical(dx, dy);
    const bool forward = vertical ? dy < 0 : dx > 0;
    const float step = MoveStep / 5.0f;
    camera().Translate(rec, vertical ? verticalDir : horizontalDir, forward ? step : -step);
}

void MouseRotate(int32_t dx, int32_t dy, TGLCameraRec& rec)
{
    if (dx == 0 && dy == 0)
        return;
    if (isVertical(dx, dy))
        camera().OrbitAroundAxis(rec, sideOf(rec), dy < 0 ? -RotateStep : RotateStep);
    else
        camera().OrbitHorizontal(rec, dx <= 0 ? -RotateStep : RotateStep);
}

void MousePanXZ(int32_t dx, int32_t dy, TGLCameraRec& rec)
{
    if (dx == 0 && dy == 0)
        return;
    const TGLPoint4f dir = lineOfSight(rec);
    const TGLPoint3f side = sideOf(rec);
    panStep(rec, dx, dy, Point4f(dir.X, 0, dir.Z), Point4f(side.X, 0, side.Z));
}

void MousePanXY(int32_t dx, int32_t dy, TGLCameraRec& rec)
{
    if (dx == 0 && dy == 0)
        return;
    const TGLPoint3f side = sideOf(rec);
    panStep(rec, dx, dy, Point4f(rec.Up.X, rec.Up.Y, 0), Point4f(side.X, side.Y, 0));
}

void MousePanYZ(int32_t dx, int32_t dy, TGLCameraRec& rec)
{
    if (dx == 0 && dy == 0)
        return;
    const TGLPoint4f dir = lineOfSight(rec);
    panStep(rec, dx, dy, Point4f(0, rec.Up.Y, rec.Up.Z), Point4f(0, dir.Y, dir.Z));
}

void MousePanY(int32_t dy, TGLCameraRec& rec)
{
    if (dy == 0)
        return;
    const float step = MoveStep / 5.0f;
    camera().Translate(rec, Point4f(0, 1, 0), dy < 0 ? step : -step);
}

void MouseZoom(int32_t dx, int32_t dy, TGLCameraRec& rec)
{
    if (dx == 0 && dy == 0)
        return;
    if (dy < 0)
        camera().MoveForward(rec, MoveStep);
    else
        camera().MoveBackward(rec, MoveStep);
}

} // namespace

void MouseDownAt(int32_t x, int32_t y)
{
    LastMouseX = x;
    LastMouseY = y;
}

bool MouseMoveCamera(platform::TShiftState shift, int32_t x, int32_t y, TGLCameraRec& rec)
{
    int32_t dx = pointerDelta(x, LastMouseX);
    int32_t dy = pointerDelta(y, LastMouseY);
    // Remembered before moving, so that it holds whatever the movement does.
    LastMouseX = x;
    LastMouseY = y;
    if (shift & platform::ssLeft) {
        if (shift & platform::ssShift)
            dx = 0;
        else if (shift & platform::ssCtrl)
            dy = 0;
        MouseRotate(dx, dy, rec);
    } else if (shift & platform::ssRight) {
        if (shift & platform::ssShift)
            MousePanY(dy, rec);
        else if (shift & platform::ssAlt)
            MousePanXY(dx, dy, rec);
        else if (shift & platform::ssCtrl)
            MousePanYZ(dx, dy, rec);
        else
            MousePanXZ(dx, dy, rec);
    } else if (shift & platform::ssMiddle) {
        MouseZoom(dx, dy, rec);
    } else {
        return false;
    }
    return true;
}

void MouseWheelZoom(int32_t delta, TGLCameraRec& rec)
{
    if (delta < 0)
        camera().MoveForward(rec, MoveStep);
    else
        camera().MoveBackward(rec, MoveStep);
}

void OpglCameraInitialization() { TGLCamera::Create(); }

void OpglCameraFinalization()
{
    if (TGLCamera* instance = TGLCamera::Instance())
        instance->Free();
}
