#pragma once
// The camera: turns a caller-owned camera record into the GL viewport,
// projection and model-view matrices, and moves the record (zoom, pan, orbit
// about the view point). Beside it, the mouse procedures that turn drags and
// wheel turns into fixed steps of those movements.
#include "OpglLib/base/Component.h"
#include "OpglLib/base/GOpglDefine.h"
#include "platform/window/Input.h"

#include <array>
#include <cstdint>
#include <string_view>

enum class TGLProjection : uint8_t { prOrtho2D, prOrtho, prFrustum, prPerspective };
enum class TGLViewDir : uint8_t { vdUser, vdFront, vdBack, vdRight, vdLeft, vdTop, vdBottom };

// Display names by enumeration value; the projection table ends with an empty entry.
inline constexpr std::array<std::string_view, 5> GLProjectionNames{"Ortho2D", "Ortho", "Frustum", "Perspective", ""};
inline constexpr std::array<std::string_view, 7> GLViewDirNames{"User", "Front", "Back",  "Right",
                                                                "Left", "Top",   "Bottom"};

// One view: projection, viewport, eye, view point (the orbit centre), up
// vector, field of view and view volume. Only X, Y, Z of the points count.
struct TGLCameraRec {
    TGLProjection Projection;
    TGLViewDir ViewDir;
    int32_t ViewportX;
    int32_t ViewportY;
    int32_t ViewportWidth;
    int32_t ViewportHeight;
    TGLPoint4f Eye;
    TGLPoint4f View;
    TGLPoint4f Up;
    float Fov; // vertical, degrees
    float VolLeft;
    float VolRight;
    float VolBottom;
    float VolTop;
    float Near;
    float Far;
};

class TGLCamera : public TComponent<TGLCamera> {
public:
    static constexpr const char* kClassName = "TGLCamera";
    static constexpr const char* kUnitName = "OpglCamera";
    static constexpr bool kRegistersUnit = true;

    // Perspective camera at eye looking at view, 52 degrees high, viewport the
    // whole desktop, view volume twice size on each side, then the preset of viewDir.
    void InitCamera(TGLCameraRec& rec, TGLViewDir viewDir, const TGLPoint4f& eye, const TGLPoint4f& view,
                    float size);
    // Stores the viewport (sizes below 1 become 1) and fits the volume to it.
    void SetViewport(TGLCameraRec& rec, int32_t x, int32_t y, int32_t width, int32_t height);
    // Sets the GL viewport and loads the projection; GL_PROJECTION stays the
    // matrix mode. Near below 0.5 is raised to 0.5 in rec.
    void ApplyProjection(TGLCameraRec& rec);
    // Loads the model-view matrix from eye, view point and up vector.
    void ApplyView(const TGLCameraRec& rec);
    // Sets extents and planes around the view point; sizes outside the open
    // range 5 to 10000 leave rec unchanged.
    void SetViewVolume(TGLCameraRec& rec, float width, float height, float depth);
    // Places eye and view point, then applies the preset of rec.ViewDir.
    void SetLookAt(TGLCameraRec& rec, const TGLPoint4f& eye, const TGLPoint4f& view);
    // Widens the volume in one direction so that it has the viewport's aspect.
    void FitVolumeToViewport(TGLCameraRec& rec, int32_t width, int32_t height);
    // Moves the eye step units toward the view point (never onto it).
    void MoveForward(TGLCameraRec& rec, float step);
    void MoveBackward(TGLCameraRec& rec, float step);
    // Moves eye and view point together by distance along direction.
    void Translate(TGLCameraRec& rec, const TGLPoint4f& direction, float distance);
    // Orbits the eye about the vertical through the view point; Up becomes (0, 1, 0).
    void OrbitHorizontal(TGLCameraRec& rec, float degrees);
    // Orbits the eye about axis through the view point, then straightens Up.
    void OrbitAroundAxis(TGLCameraRec& rec, const TGLPoint3f& axis, float degrees);
    // Makes Up a unit vector perpendicular to the line of sight.
    void OrthonormalizeUp(TGLCameraRec& rec);
};

// Zoom distance per event, and five times the pan distance.
extern float MoveStep;
// Degrees turned per event.
extern float RotateStep;
// Pointer position of the last mouse event the camera saw.
extern int32_t LastMouseX;
extern int32_t LastMouseY;

// Remembers where a drag starts.
void MouseDownAt(int32_t x, int32_t y);
// One step of the movement the held buttons and keys ask for: left orbits
// (Shift: about the side axis only, Ctrl: about the vertical only), right pans
// (Shift: up/down, Alt: in XY, Ctrl: in YZ, else in XZ), middle zooms. False
// when no button is held. The position is remembered in every case.
bool MouseMoveCamera(platform::TShiftState shift, int32_t x, int32_t y, TGLCameraRec& rec);
// A wheel turn toward the user (negative) zooms in, otherwise out.
void MouseWheelZoom(int32_t delta, TGLCameraRec& rec);

void OpglCameraInitialization();
void OpglCameraFinalization();
