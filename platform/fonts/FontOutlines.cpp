// Display lists of extruded glyph outlines: the outline is read unscaled and
// unhinted in font units, measured in ems, flattened into polygons, filled
// with the GLU tessellator and extruded along -z.
#include "Fonts.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BBOX_H
#include FT_OUTLINE_H

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <memory>
#include <vector>

namespace platform {

namespace {

// Curves are cut into at most this many chords, whatever the deviation asked.
constexpr int kMaxChords = 64;
// Bold synthesis widens strokes by 1/24 em, as the bitmap glyphs do.
constexpr double kEmboldenEmFraction = 1.0 / 24.0;

struct Vec2 {
    double x;
    double y;
};
using Contour = std::vector<Vec2>;

// State of one outline walk. FreeType calls the walkers below through C
// frames, so they report failure by their result and never throw.
struct OutlineWalk {
    double unitsToEm = 1.0;
    double tolerance = 1.0; // largest chord deviation, ems
    std::vector<Contour> contours;
    Vec2 last{0.0, 0.0};
};

Vec2 toEm(const OutlineWalk& walk, const FT_Vector* v)
{
    return {static_cast<double>(v->x) * walk.unitsToEm, static_cast<double>(v->y) * walk.unitsToEm};
}

// Chords needed so that a curve whose largest second difference is
// secondDifference strays at most tolerance: the chord error of a parametric
// curve cut into n equal steps is at most |B''| / (8 n^2).
int chordsFor(double secondDifference, double factor, double tolerance)
{
    double n = std::ceil(std::sqrt(factor * secondDifference / (8.0 * tolerance)));
    if (!std::isfinite(n) || n < 1.0)
        return 1;
    return static_cast<int>(std::min(n, static_cast<double>(kMaxChords)));
}

int moveTo(const FT_Vector* to, void* user)
{
    auto& walk = *static_cast<OutlineWalk*>(user);
    try {
        walk.last = toEm(walk, to);
        walk.contours.push_back({walk.last});
    } catch (...) {
        return 1;
    }
    return 0;
}

int lineTo(const FT_Vector* to, void* user)
{
    auto& walk = *static_cast<OutlineWalk*>(user);
    if (walk.contours.empty())
        return 1;
    try {
        walk.last = toEm(walk, to);
        walk.contours.back().push_back(walk.last);
    } catch (...) {
        return 1;
    }
    return 0;
}

int conicTo(const FT_Vector* control, const FT_Vector* to, void* user)
{
    auto& walk = *static_cast<OutlineWalk*>(user);
    if (walk.contours.empty())
        return 1;
    const Vec2 p0 = walk.last, p1 = toEm(walk, control), p2 = toEm(walk, to);
    // B'' = 2 (p0 - 2 p1 + p2).
    const int n = chordsFor(std::hypot(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y), 2.0, walk.tolerance);
    try {
        for (int k = 1; k <= n; ++k) {
            const double t = static_cast<double>(k) / n, u = 1.0 - t;
            walk.contours.back().push_back({u * u * p0.x + 2 * u * t * p1.x + t * t * p2.x,
                                            u * u * p0.y + 2 * u * t * p1.y + t * t * p2.y});
        }
    } catch (...) {
        return 1;
    }
    walk.last = p2;
    return 0;
}

int cubicTo(const FT_Vector* control1, const FT_Vector* control2, const FT_Vector* to, void* user)
{
    auto& walk = *static_cast<OutlineWalk*>(user);
    if (walk.contours.empty())
        return 1;
    const Vec2 p0 = walk.last, p1 = toEm(walk, control1), p2 = toEm(walk, control2), p3 = toEm(walk, to);
    // |B''| <= 6 max(|p0 - 2 p1 + p2|, |p1 - 2 p2 + p3|).
    const double d = std::max(std::hypot(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y),
                              std::hypot(p1.x - 2 * p2.x + p3.x, p1.y - 2 * p2.y + p3.y));
    const int n = chordsFor(d, 6.0, walk.tolerance);
    try {
        for (int k = 1; k <= n; ++k) {
            const double t = static_cast<double>(k) / n, u = 1.0 - t;
            const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, e = t * t * t;
            walk.contours.back().push_back({a * p0.x + b * p1.x + c * p2.x + e * p3.x,
                                            a * p0.y + b * p1.y + c * p2.y + e * p3.y});
        }
    } catch (...) {
        return 1;
    }
    walk.last = p3;
    return 0;
}

bool samePoint(const Vec2& a, const Vec2& b) { return a.x == b.x && a.y == b.y; }

// The walk closes each contour by returning to its start; that repeated
// point and repeated neighbours would make zero-length walls, so drop them.
void tidyContours(std::vector<Contour>& contours)
{
    for (Contour& c : contours) {
        c.erase(std::unique(c.begin(), c.end(), samePoint), c.end());
        while (c.size() > 1 && samePoint(c.front(), c.back()))
            c.pop_back();
    }
    std::erase_if(contours, [](const Contour& c) { return c.size() < 3; });
}

// Triangles from the GLU tessellator. Vertex storage is a deque: GLU keeps
// pointers into it, and a deque never moves what it already holds.
struct Tessellation {
    std::deque<std::array<GLdouble, 3>> vertices;
    std::vector<const GLdouble*> corners; // three per triangle
    bool failed = false;
};

void GLAPIENTRY tessBegin(GLenum type, void* user) noexcept
{
    // With an edge-flag callback installed GLU emits only triangles.
    if (type != GL_TRIANGLES)
        static_cast<Tessellation*>(user)->failed = true;
}

void GLAPIENTRY tessEdgeFlag(GLboolean, void*) noexcept {}

void GLAPIENTRY tessVertex(void* vertex, void* user) noexcept
{
    auto& tess = *static_cast<Tessellation*>(user);
    try {
        tess.corners.push_back(static_cast<const GLdouble*>(vertex));
    } catch (...) {
        tess.failed = true;
    }
}

// Overlapping contours (an accented capital whose ring touches the letter,
// say) meet in new vertices that GLU asks us to store.
void GLAPIENTRY tessCombine(GLdouble coords[3], void* neighbours[4], GLfloat[4], void** out, void* user) noexcept
{
    auto& tess = *static_cast<Tessellation*>(user);
    try {
        tess.vertices.push_back({coords[0], coords[1], 0.0});
        *out = tess.vertices.back().data();
    } catch (...) {
        tess.failed = true;
        *out = neighbours[0];
    }
}

void GLAPIENTRY tessError(GLenum, void* user) noexcept { static_cast<Tessellation*>(user)->failed = true; }

struct TessDeleter {
    void operator()(GLUtesselator* t) const { gluDeleteTess(t); }
};
using TessPtr = std::unique_ptr<GLUtesselator, TessDeleter>;

TessPtr makeTessellator()
{
    TessPtr tess(gluNewTess());
    if (!tess)
        return tess;
    gluTessCallback(tess.get(), GLU_TESS_BEGIN_DATA, reinterpret_cast<_GLUfuncptr>(&tessBegin));
    gluTessCallback(tess.get(), GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<_GLUfuncptr>(&tessEdgeFlag));
    gluTessCallback(tess.get(), GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(&tessVertex));
    gluTessCallback(tess.get(), GLU_TESS_COMBINE_DATA, reinterpret_cast<_GLUfuncptr>(&tessCombine));
    gluTessCallback(tess.get(), GLU_TESS_ERROR_DATA, reinterpret_cast<_GLUfuncptr>(&tessError));
    gluTessProperty(tess.get(), GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
    gluTessNormal(tess.get(), 0.0, 0.0, 1.0);
    return tess;
}

// Fills the contours; false when GLU reported an error.
bool tessellate(GLUtesselator* glu, const std::vector<Contour>& contours, Tessellation& out)
{
    // Every input vertex is stored before GLU starts, so nothing in this
    // function can throw while GLU is inside a polygon.
    for (const Contour& c : contours)
        for (const Vec2& p : c)
            out.vertices.push_back({p.x, p.y, 0.0});
    auto vertex = out.vertices.begin();
    gluTessBeginPolygon(glu, &out);
    for (const Contour& c : contours) {
        gluTessBeginContour(glu);
        for (size_t i = 0; i < c.size(); ++i, ++vertex)
            gluTessVertex(glu, vertex->data(), vertex->data());
        gluTessEndContour(glu);
    }
    gluTessEndPolygon(glu);
    return !out.failed && out.corners.size() % 3 == 0;
}

// A glyph's outline in ems, with its metrics.
struct GlyphOutline {
    std::vector<Contour> contours;
    bool fillsRight = true; // TrueType direction: the filled side lies right of each edge
    GLYPHMETRICSFLOAT metrics{};
};

bool readOutline(const Font& font, uint32_t code, double deviation, GlyphOutline& glyph)
{
    FT_Face face = font.Face();
    constexpr FT_Int32 kUnscaledOutline = FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP;
    if (face->units_per_EM == 0 || FT_Load_Glyph(face, GlyphIndexOf(font, code), kUnscaledOutline) != 0 ||
        face->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
        return false;
    FT_GlyphSlot slot = face->glyph;
    const double unitsPerEm = face->units_per_EM;
    FT_Pos advance = slot->metrics.horiAdvance;
    if (font.Embolden() && slot->outline.n_points > 0) {
        const auto strength = static_cast<FT_Pos>(std::lround(unitsPerEm * kEmboldenEmFraction));
        FT_Outline_EmboldenXY(&slot->outline, strength, strength);
        advance += strength;
    }
    glyph.fillsRight = FT_Outline_Get_Orientation(&slot->outline) != FT_ORIENTATION_POSTSCRIPT;

    FT_BBox box{};
    if (slot->outline.n_points > 0)
        FT_Outline_Get_BBox(&slot->outline, &box);
    glyph.metrics.gmfBlackBoxX = static_cast<float>((box.xMax - box.xMin) / unitsPerEm);
    glyph.metrics.gmfBlackBoxY = static_cast<float>((box.yMax - box.yMin) / unitsPerEm);
    glyph.metrics.gmfptGlyphOrigin = {static_cast<float>(box.xMin / unitsPerEm),
                                      static_cast<float>(box.yMax / unitsPerEm)};
    glyph.metrics.gmfCellIncX = static_cast<float>(advance / unitsPerEm);
    glyph.metrics.gmfCellIncY = 0.0f;

    OutlineWalk walk;
    walk.unitsToEm = 1.0 / unitsPerEm;
    // No deviation asks for the finest flattening: one font unit.
    walk.tolerance = deviation > 0.0 ? deviation : walk.unitsToEm;
    const FT_Outline_Funcs funcs{&moveTo, &lineTo, &conicTo, &cubicTo, 0, 0};
    if (FT_Outline_Decompose(&slot->outline, &funcs, &walk) != 0)
        return false;
    glyph.contours = std::move(walk.contours);
    tidyContours(glyph.contours);
    return true;
}

double cross(const GLdouble* a, const GLdouble* b, const GLdouble* c)
{
    return (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
}

void emitFaces(const Tessellation& tess, double depth)
{
    glBegin(GL_TRIANGLES);
    glNormal3f(0.0f, 0.0f, 1.0f);
    for (size_t i = 0; i + 2 < tess.corners.size(); i += 3) {
        const GLdouble *a = tess.corners[i], *b = tess.corners[i + 1], *c = tess.corners[i + 2];
        if (cross(a, b, c) < 0.0)
            std::swap(b, c); // front faces turn counter-clockwise seen from +z
        glVertex3d(a[0], a[1], 0.0);
        glVertex3d(b[0], b[1], 0.0);
        glVertex3d(c[0], c[1], 0.0);
    }
    if (depth != 0.0) {
        glNormal3f(0.0f, 0.0f, -1.0f);
        for (size_t i = 0; i + 2 < tess.corners.size(); i += 3) {
            const GLdouble *a = tess.corners[i], *b = tess.corners[i + 1], *c = tess.corners[i + 2];
            if (cross(a, b, c) > 0.0)
                std::swap(b, c); // the back face turns the other way
            glVertex3d(a[0], a[1], -depth);
            glVertex3d(b[0], b[1], -depth);
            glVertex3d(c[0], c[1], -depth);
        }
    }
    glEnd();
}

// One quad per contour edge from z = 0 to z = -depth, wound counter-clockwise
// seen from outside, with its outward normal.
void emitWalls(const std::vector<Contour>& contours, bool fillsRight, double depth)
{
    glBegin(GL_QUADS);
    for (const Contour& c : contours) {
        for (size_t i = 0; i < c.size(); ++i) {
            const Vec2 p0 = c[i], p1 = c[(i + 1) % c.size()];
            const double dx = p1.x - p0.x, dy = p1.y - p0.y, length = std::hypot(dx, dy);
            if (length == 0.0)
                continue;
            const double nx = (fillsRight ? -dy : dy) / length, ny = (fillsRight ? dx : -dx) / length;
            glNormal3d(nx, ny, 0.0);
            const Vec2 a = fillsRight ? p0 : p1, b = fillsRight ? p1 : p0;
            glVertex3d(a.x, a.y, 0.0);
            glVertex3d(b.x, b.y, 0.0);
            glVertex3d(b.x, b.y, -depth);
            glVertex3d(a.x, a.y, -depth);
        }
    }
    glEnd();
}

} // namespace

bool wglUseFontOutlinesA(const Font& font, uint32_t first, uint32_t count, uint32_t listBase, float deviation,
                         float extrusion, int format, GLYPHMETRICSFLOAT* metrics)
{
    if (!font.Valid() || format != WGL_FONT_POLYGONS || !(extrusion >= 0.0f) || !std::isfinite(extrusion))
        return false;
    TessPtr glu = makeTessellator();
    if (!glu)
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        GlyphOutline glyph;
        if (!readOutline(font, first + i, deviation, glyph))
            continue;
        Tessellation tess;
        if (!glyph.contours.empty() && !tessellate(glu.get(), glyph.contours, tess))
            continue;
        if (metrics)
            metrics[i] = glyph.metrics;
        glNewList(listBase + i, GL_COMPILE);
        if (!tess.corners.empty())
            emitFaces(tess, extrusion);
        if (extrusion != 0.0f && !glyph.contours.empty())
            emitWalls(glyph.contours, glyph.fillsRight, extrusion);
        // Lists called one after another set text: move on by the advance.
        glTranslatef(glyph.metrics.gmfCellIncX, glyph.metrics.gmfCellIncY, 0.0f);
        glEndList();
    }
    return true;
}

} // namespace platform
