#pragma once
// Framing a character for a picture: its pose seen along the directions of a
// view, and the camera that shows that pose centred and filling the picture.
#include "OpglLib/OpglCamera.h"
#include "model/Model.h"

#include <array>
#include <limits>
#include <stdexcept>
#include <unordered_set>
#include <vector>

// The share of a picture a framed character fills in its tighter direction,
// leaving a margin round it.
inline constexpr float kPictureFill = 0.85f;

// A point or direction in the scene, X, Y, Z.
using ScenePoint = std::array<double, 3>;

// The directions a picture is seen in, in scene coordinates: to the right
// and up on the picture, and from what is seen towards the eye; orthonormal.
struct ViewAxes {
    ScenePoint right;
    ScenePoint up;
    ScenePoint toEye;
};

// A start camera: where the eye is, the point it looks at, and the scale of
// the scene (which sets how far the camera sees).
struct StartView {
    TGLPoint4f eye;
    TGLPoint4f viewPoint;
    float sceneSize = 0;
};

// The directions of a start camera.
ViewAxes StartViewAxes(const StartView& view);

// A box with its edges along the axes of a view: low and high are distances
// along right, up and toEye. Empty until a point is added.
struct ViewBox {
    ScenePoint low{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
                   std::numeric_limits<double>::max()};
    ScenePoint high{std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest(),
                    std::numeric_limits<double>::lowest()};
    bool empty = true;

    // Widens the box to hold the point given along the axes.
    void Add(const ScenePoint& point);
    // True when the box holds points and every bound is a finite number.
    bool Finite() const;
};

// The width of the game's world in game units: no pose the game draws spans
// more and shows as anything but dots.
inline constexpr double kGameWorldWidth = 2 * 128 * 1024;

// What has nothing to draw: no surface with vertices, a pose whose bounds
// are no finite numbers, or one wider than the game's world. The message
// says which.
class NothingToDraw : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A pose seen along a view's axes: each vertex as its distances along
// right, up and toEye, and the box around them.
struct PoseInView {
    std::vector<ScenePoint> points;
    ViewBox box;
};

// What DrawModel(root) draws with the model stood upright in the scene (its
// Z axis turned onto the scene's Y axis), seen along axes: every vertex of
// every surface in its part's current frame but those of drawingNothing,
// carried through the tag matrices of the part tree.
PoseInView PoseAlong(const TMD3Model& root, const ViewAxes& axes,
                     const std::unordered_set<const TMesh*>& drawingNothing = {});

// A camera looking along axes at the pose, with the pose's picture centred
// in a width x height viewport (its lower left corner at (0, bottom)) and as
// large as lets it fill the fraction fill of the viewport in its tighter
// direction. Needs the camera component. Throws NothingToDraw for a pose
// without points, with bounds that are no finite numbers, or wider than
// kGameWorldWidth (parts hung on tags far out of the world).
TGLCameraRec FramePose(const PoseInView& pose, const ViewAxes& axes, const StartView& view, int bottom, int width,
                       int height, float fill);
