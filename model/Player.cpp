// Assembling a player from its three parts, and drawing part trees.
#include "Model.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Squared axis lengths this close to 1 count as unit length: exporters write
// unit axes with a little float noise.
constexpr double kUnitAxisTolerance = 1e-5;

// A vertex blended between two frames, ready for every corner that uses it.
struct BlendedVertex {
    GLfloat normal[3];
    GLfloat position[3];
};

void drawMesh(const TMesh& mesh, int32_t c, int32_t n, double f)
{
    const size_t vertsPerFrame = mesh.TexCoords.size();
    const size_t vertexFrames = VertexFrames(mesh);
    if (vertexFrames == 0)
        return;
    const TMD3Vertex* current = &mesh.Vertices[ClampFrame(c, vertexFrames) * vertsPerFrame];
    const TMD3Vertex* next = &mesh.Vertices[ClampFrame(n, vertexFrames) * vertsPerFrame];

    // Most vertices are corners of several triangles: blend each one once
    // and send the same values for every corner. Kept between frames so that
    // drawing allocates nothing once the largest mesh has been seen.
    static std::vector<BlendedVertex> blended;
    if (blended.size() < vertsPerFrame)
        blended.resize(vertsPerFrame);
    for (size_t v = 0; v < vertsPerFrame; ++v) {
        const TMD3Vertex& a = current[v];
        const TMD3Vertex& b = next[v];
        const double* normalA = NormalTable[a.Normal[0]][a.Normal[1]];
        const double* normalB = NormalTable[b.Normal[0]][b.Normal[1]];
        for (int k = 0; k < 3; ++k) {
            blended[v].normal[k] = static_cast<float>(normalA[k] + f * (normalB[k] - normalA[k]));
            const float pa = a.Position[k] * kMD3XyzScale;
            const float pb = b.Position[k] * kMD3XyzScale;
            blended[v].position[k] = static_cast<float>(pa + f * (pb - pa));
        }
    }
    for (const TMD3Triangle& triangle : mesh.Triangles) {
        glBegin(GL_TRIANGLES);
        for (int32_t v : triangle.Index) {
            // Texture rows run bottom-up, the file's t top-down.
            glTexCoord2f(mesh.TexCoords[v].S, 1.0f - mesh.TexCoords[v].T);
            glNormal3fv(blended[v].normal);
            glVertex3fv(blended[v].position);
        }
        glEnd();
    }
}

} // namespace

bool IsUnitTagAxis(const float (&axis)[3])
{
    const double x = axis[0], y = axis[1], z = axis[2];
    return std::abs(x * x + y * y + z * z - 1.0) <= kUnitAxisTolerance;
}

size_t VertexFrames(const TMesh& mesh)
{
    return mesh.TexCoords.empty() ? 0 : mesh.Vertices.size() / mesh.TexCoords.size();
}

size_t ClampFrame(int32_t frame, size_t frameCount)
{
    if (frame <= 0)
        return 0;
    return std::min(static_cast<size_t>(frame), frameCount - 1);
}

void TagMatrix(const TMD3Tag& tag, GLfloat matrix[16])
{
    for (int axis = 0; axis < 3; ++axis) {
        // Many exported characters carry axes longer than 1 (up to 30); the
        // game normalises them, so the parts keep their proportions. A unit
        // axis is taken as it is, so that its matrix stays bit for bit the
        // same, and an axis of length 0 cannot be normalised.
        const double x = tag.Axis[axis][0], y = tag.Axis[axis][1], z = tag.Axis[axis][2];
        const double squared = x * x + y * y + z * z;
        const double scale = squared == 0.0 || IsUnitTagAxis(tag.Axis[axis]) ? 1.0 : 1.0 / std::sqrt(squared);
        for (int c = 0; c < 3; ++c)
            matrix[axis * 4 + c] = scale == 1.0 ? tag.Axis[axis][c] : static_cast<GLfloat>(tag.Axis[axis][c] * scale);
        matrix[axis * 4 + 3] = 0.0f;
    }
    for (int c = 0; c < 3; ++c)
        matrix[12 + c] = tag.Origin[c];
    matrix[15] = 1.0f;
}

void LoadPlayer(Q3Player& player, const std::string& folder, const std::string& skinName)
{
    if (NormalTable[0][0][2] != 1.0)
        BuildNormalTable();
    LoadMD3(player.Lower, folder + "lower.md3");
    LoadMD3(player.Upper, folder + "upper.md3");
    LoadMD3(player.Head, folder + "head.md3");
    LoadSkin(player.Lower, folder, "lower_" + skinName + ".skin");
    LoadSkin(player.Upper, folder, "upper_" + skinName + ".skin");
    LoadSkin(player.Head, folder, "head_" + skinName + ".skin");
    LoadAnimation(player, folder + "animation.cfg");
    for (TMD3Model* part : {&player.Lower, &player.Upper, &player.Head}) {
        part->StartFrame = 0;
        part->EndFrame = 0;
    }
    // 11 is a torso animation, 14 a legs one; the head keeps frame 0.
    SetAnimation(player, 11);
    SetAnimation(player, 14);
    LinkModel(player.Lower, "tag_torso", player.Upper);
    LinkModel(player.Upper, "tag_head", player.Head);
}

void LinkModel(TMD3Model& parent, const std::string& tagName, TMD3Model& child)
{
    // Names are those of frame 0's tags; the comparison is case-sensitive.
    const size_t tagCount = std::min(parent.Links.size(), parent.Tags.size());
    for (size_t i = 0; i < tagCount; ++i) {
        if (MD3Name(parent.Tags[i].Name) == tagName) {
            parent.Links[i] = &child;
            return;
        }
    }
}

void UpdatePlayer(Q3Player& player, float t)
{
    UpdateFrame(player.Lower, t);
    UpdateFrame(player.Upper, t);
    UpdateFrame(player.Head, t);
}

void DrawPlayer(Q3Player& player, float t)
{
    UpdatePlayer(player, t);
    UseCharacterColours();
    DrawModel(player.Lower);
}

void UseCharacterColours()
{
    // With colour material on, the material's ambient and diffuse colours
    // follow the current colour, and the overlay's fonts set that colour.
    // Restoring the current colour afterwards (an attribute pop) does not
    // bring the tracked material back on every GL, so the material is set
    // here outright, with colour material off, and the current colour made
    // white again before colour material is switched back on.
    const GLboolean colorMaterial = glIsEnabled(GL_COLOR_MATERIAL);
    glDisable(GL_COLOR_MATERIAL);
    const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, white);
    glColor4fv(white);
    if (colorMaterial)
        glEnable(GL_COLOR_MATERIAL);
}

void DrawModel(const TMD3Model& part)
{
    DrawPartTree(part, [](const TMD3Model& p) { DrawMeshes(p, p.CurrentFrame, p.NextFrame, p.Blend); });
}

void DrawMeshes(const TMD3Model& part, int32_t c, int32_t n, double f)
{
    // The blend weight is the time since the last frame switch and can pass 1
    // after a jump of the clock; beyond 1 the vertices would overshoot the
    // next frame.
    const double weight = std::clamp(f, 0.0, 1.0);
    for (const TMesh& mesh : part.Meshes) {
        // A mesh without a texture of its own uses whatever is bound.
        if (mesh.HasTexture)
            glBindTexture(GL_TEXTURE_2D, mesh.Texture);
        drawMesh(mesh, c, n, weight);
    }
}
