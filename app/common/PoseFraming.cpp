#include "PoseFraming.h"



#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

using Vec3 = ScenePoint;

// The near plane sits at least this share of the eye's distance in front of
// the eye, so that a pose reaching up to the eye still has a depth range.
constexpr double kNearShare = 0.01;
// The clipping planes a little beyond the nearest and farthest point.
constexpr double kNearMargin = 0.99;
constexpr double kFarMargin = 1.01;
// Centring moves by less each pass; it stops once a move is below this
// share of the filled half width, or after the last pass.
constexpr double kCentred = 1e-4;
constexpr int kMostCentringPasses = 10;
// The eye's distance for a box that is a single point.
constexpr double kPointDistance = 1.0;

// A column-major 4 x 4 matrix, as GL keeps them.
struct Matrix {
    std::array<double, 16> m{};

    Matrix operator*(const Matrix& b) const
    {
        Matrix r;
        for (int col = 0; col < 4; ++col)
            for (int row = 0; row < 4; ++row) {
                double sum = 0;
                for (int k = 0; k < 4; ++k)
                    sum += m[k * 4 + row] * b.m[col * 4 + k];
                r.m[col * 4 + row] = sum;
            }
        return r;
    }
    Vec3 apply(const Vec3& p) const
    {
        Vec3 r;
        for (int row = 0; row < 3; ++row)
            r[row] = m[row] * p[0] + m[4 + row] * p[1] + m[8 + row] * p[2] + m[12 + row];
        return r;
    }
};

// The -90 degree turn about X with which the viewer stands the model's Z-up
// coordinates upright in its Y-up scene: (x, y, z) becomes (x, z, -y).
Matrix uprightTurn()
{
    Matrix r;
    r.m = {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1};
    return r;
}

Matrix tagMatrix(const TMD3Tag& tag)
{
    GLfloat values[16];
    TagMatrix(tag, values);
    Matrix r;
    std::copy(values, values + 16, r.m.begin());
    return r;
}

double dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// A pose's vertices in scene coordinates, gathered along the view's axes.
struct PoseCollector {
    const ViewAxes& axes;
    const std::unordered_set<const TMesh*>& drawingNothing;
    PoseInView pose;

    void add(const Vec3& p)
    {
        const ScenePoint along{dot(p, axes.right), dot(p, axes.up), dot(p, axes.toEye)};
        pose.points.push_back(along);
        pose.box.Add(along);
    }
};

void addMeshes(const TMD3Model& part, const Matrix& placed, PoseCollector& bounds)
{
    for (const TMesh& mesh : part.Meshes) {
        const size_t vertsPerFrame = mesh.TexCoords.size();
        if (bounds.drawingNothing.count(&mesh) || vertsPerFrame == 0 || mesh.Vertices.size() < vertsPerFrame)
            continue;
        // The same frame DrawMeshes draws for an unblended pose.
        const size_t first = ClampFrame(part.CurrentFrame, mesh.Vertices.size() / vertsPerFrame) * vertsPerFrame;
        for (size_t v = first; v < first + vertsPerFrame; ++v) {
            const int16_t* p = mesh.Vertices[v].Position;
            bounds.add(placed.apply({p[0] * kMD3XyzScale, p[1] * kMD3XyzScale, p[2] * kMD3XyzScale}));
        }
    }
}

// The part and the parts hanging on it, walked as DrawPartTree draws them.
void addPartTree(const TMD3Model& part, const Matrix& placed, PoseCollector& bounds)
{
    addMeshes(part, placed, bounds);
    const size_t tagsPerFrame = part.Links.size();
    if (tagsPerFrame == 0 || part.Tags.size() < tagsPerFrame)
        return;
    const size_t frame = ClampFrame(part.CurrentFrame, part.Tags.size() / tagsPerFrame);
    for (size_t i = 0; i < tagsPerFrame; ++i) {
        if (part.Links[i])
            addPartTree(*part.Links[i], placed * tagMatrix(part.Tags[frame * tagsPerFrame + i]), bounds);
    }
}

Vec3 cross(const Vec3& a, const Vec3& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

Vec3 normalized(const Vec3& v)
{
    const double length = std::sqrt(dot(v, v));
    return {v[0] / length, v[1] / length, v[2] / length};
}

Vec3 scaled(const Vec3& v, double factor) { return {v[0] * factor, v[1] * factor, v[2] * factor}; }

Vec3 sum(const Vec3& a, const Vec3& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }

TGLPoint4f pointOf(const Vec3& v)
{
    return Point4f(static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2]));
}

// The eye's distance and view point for a pose: in view coordinates (along
// right, up and toEye) the eye is at centre + (0, 0, distance). A point at
// (x, y, z) is then distance - (z - centre z) in front of the eye and shows
// at (x - centre x) / that depth / tanX of the picture's half width.
struct Framing {
    const std::vector<Vec3>& points;
    double reachX; // fill x tan(half the horizontal field of view)
    double reachY;
    Vec3 centre;

    // The nearest distance at which every point shows within the fill.
    double fitDistance() const
    {
        double distance = 0;
        for (const Vec3& p : points) {
            const double z = p[2] - centre[2];
            distance = std::max({distance, z + std::abs(p[0] - centre[0]) / reachX,
                                 z + std::abs(p[1] - centre[1]) / reachY});
        }
        return distance > 0 ? distance : kPointDistance;
    }

    // Moves the centre across so that the points' picture at the fitted
    // distance lies evenly about it; returns the move as a share of the
    // filled half width or height, whichever is larger.
    double centreAcross()
    {
        const double distance = fitDistance();
        double lowX = 0, highX = 0, lowY = 0, highY = 0;
        for (const Vec3& p : points) {
            const double depth = distance - (p[2] - centre[2]);
            if (depth <= 0)
                continue;
            const double x = (p[0] - centre[0]) / depth, y = (p[1] - centre[1]) / depth;
            lowX = std::min(lowX, x), highX = std::max(highX, x);
            lowY = std::min(lowY, y), highY = std::max(highY, y);
        }
        centre[0] += (lowX + highX) / 2 * distance;
        centre[1] += (lowY + highY) / 2 * distance;
        return std::max(std::abs(lowX + highX) / 2 / reachX, std::abs(lowY + highY) / 2 / reachY);
    }
};

} // namespace

void ViewBox::Add(const ScenePoint& point)
{
    for (int i = 0; i < 3; ++i) {
        low[i] = std::min(low[i], point[i]);
        high[i] = std::max(high[i], point[i]);
    }
    empty = false;
}

bool ViewBox::Finite() const
{
    if (empty)
        return false;
    for (int i = 0; i < 3; ++i) {
        if (!std::isfinite(low[i]) || !std::isfinite(high[i]) || !std::isfinite(high[i] - low[i]))
            return false;
    }
    return true;
}

ViewAxes StartViewAxes(const StartView& start)
{
    const TGLPoint4f eye = start.eye, view = start.viewPoint;
    const Vec3 toEye = normalized({eye.X - view.X, eye.Y - view.Y, eye.Z - view.Z});
    const Vec3 right = normalized(cross({0.0, 1.0, 0.0}, toEye));
    return {right, cross(toEye, right), toEye};
}

PoseInView PoseAlong(const TMD3Model& root, const ViewAxes& axes, const std::unordered_set<const TMesh*>& drawingNothing)
{
    PoseCollector bounds{axes, drawingNothing, {}};
    addPartTree(root, uprightTurn(), bounds);
    return std::move(bounds.pose);
}

TGLCameraRec FramePose(const PoseInView& pose, const ViewAxes& axes, const StartView& view, int bottom, int width,
                       int height, float fill)
{
    const ViewBox& box = pose.box;
    if (box.empty)
        throw NothingToDraw("no surface to draw");
    if (!box.Finite())
        throw NothingToDraw("its pose has no finite bounds");
    for (int i = 0; i < 3; ++i)
        if (box.high[i] - box.low[i] > kGameWorldWidth)
            throw NothingToDraw("its parts lie further apart than the game's world is wide (" +
                                std::to_string(static_cast<long>(kGameWorldWidth)) + " units)");
    TGLCameraRec rec{};
    TGLCamera* camera = TGLCamera::Instance();
    camera->InitCamera(rec, TGLViewDir::vdUser, view.eye, view.viewPoint, view.sceneSize * 5);

    const double tanY = std::tan(rec.Fov * std::numbers::pi / 360.0);
    const double tanX = tanY * std::max(width, 1) / std::max(height, 1);
    Framing framing{pose.points,
                    fill * tanX,
                    fill * tanY,
                    {(box.low[0] + box.high[0]) / 2, (box.low[1] + box.high[1]) / 2, (box.low[2] + box.high[2]) / 2}};
    // Nearer points show larger, so the box's centre is not the centre of the
    // picture: move across by what is left over, and fit again.
    for (int pass = 0; pass < kMostCentringPasses; ++pass) {
        if (framing.centreAcross() <= kCentred)
            break;
    }
    const double distance = framing.fitDistance();

    Vec3 centre{0, 0, 0};
    const Vec3* directions[3] = {&axes.right, &axes.up, &axes.toEye};
    for (int i = 0; i < 3; ++i)
        centre = sum(centre, scaled(*directions[i], framing.centre[i]));
    rec.View = pointOf(centre);
    rec.Eye = pointOf(sum(centre, scaled(axes.toEye, distance)));
    rec.Up = pointOf(axes.up);
    const double nearest = distance - (box.high[2] - framing.centre[2]);
    const double farthest = distance - (box.low[2] - framing.centre[2]);
    rec.Near = static_cast<float>(std::max(nearest * kNearMargin, distance * kNearShare));
    rec.Far = static_cast<float>(farthest * kFarMargin);
    camera->SetViewport(rec, 0, bottom, width, height);
    return rec;
}

