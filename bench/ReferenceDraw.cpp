#include "ReferenceDraw.h"

#include <algorithm>

ReferenceDrawer::ReferenceDrawer(const Q3Player& player) { prepare(player.Lower); }

void ReferenceDrawer::prepare(const TMD3Model& part)
{
    if (arrays_.count(&part))
        return;
    std::vector<MeshArrays>& meshes = arrays_[&part];
    for (const TMesh& mesh : part.Meshes) {
        MeshArrays arrays;
        for (const TMD3TexCoord& st : mesh.TexCoords) {
            arrays.texCoords.push_back(st.S);
            arrays.texCoords.push_back(1.0f - st.T);
        }
        for (const TMD3Triangle& triangle : mesh.Triangles) {
            for (int32_t v : triangle.Index)
                arrays.indices.push_back(static_cast<GLuint>(v));
        }
        arrays.positions.resize(mesh.TexCoords.size() * 3);
        arrays.normals.resize(mesh.TexCoords.size() * 3);
        meshes.push_back(std::move(arrays));
    }
    for (const TMD3Model* child : part.Links) {
        if (child)
            prepare(*child);
    }
}

void ReferenceDrawer::drawPlayer(Q3Player& player, float t)
{
    UpdateFrame(player.Lower, t);
    UpdateFrame(player.Upper, t);
    UpdateFrame(player.Head, t);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    drawModel(player.Lower);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

void ReferenceDrawer::drawModel(const TMD3Model& part)
{
    DrawPartTree(part, [this](const TMD3Model& p) { drawMeshes(p, p.CurrentFrame, p.NextFrame, p.Blend); });
}

void ReferenceDrawer::drawMeshes(const TMD3Model& part, int32_t c, int32_t n, double f)
{
    const double weight = std::clamp(f, 0.0, 1.0);
    std::vector<MeshArrays>& meshes = arrays_.at(&part);
    for (size_t i = 0; i < part.Meshes.size(); ++i) {
        const TMesh& mesh = part.Meshes[i];
        if (mesh.HasTexture)
            glBindTexture(GL_TEXTURE_2D, mesh.Texture);
        drawMesh(mesh, meshes[i], c, n, weight);
    }
}

void ReferenceDrawer::drawMesh(const TMesh& mesh, MeshArrays& arrays, int32_t c, int32_t n, double f)
{
    const size_t vertsPerFrame = mesh.TexCoords.size();
    if (vertsPerFrame == 0 || mesh.Vertices.size() < vertsPerFrame)
        return;
    const size_t vertexFrames = mesh.Vertices.size() / vertsPerFrame;
    const TMD3Vertex* current = &mesh.Vertices[ClampFrame(c, vertexFrames) * vertsPerFrame];
    const TMD3Vertex* next = &mesh.Vertices[ClampFrame(n, vertexFrames) * vertsPerFrame];
    // The same arithmetic as the viewer, once per vertex instead of once per corner.
    for (size_t v = 0; v < vertsPerFrame; ++v) {
        const TMD3Vertex& a = current[v];
        const TMD3Vertex& b = next[v];
        const double* normalA = NormalTable[a.Normal[0]][a.Normal[1]];
        const double* normalB = NormalTable[b.Normal[0]][b.Normal[1]];
        for (int k = 0; k < 3; ++k) {
            arrays.normals[v * 3 + k] = static_cast<float>(normalA[k] + f * (normalB[k] - normalA[k]));
            const float pa = a.Position[k] * kMD3XyzScale;
            const float pb = b.Position[k] * kMD3XyzScale;
            arrays.positions[v * 3 + k] = static_cast<float>(pa + f * (pb - pa));
        }
    }
    glVertexPointer(3, GL_FLOAT, 0, arrays.positions.data());
    glNormalPointer(GL_FLOAT, 0, arrays.normals.data());
    glTexCoordPointer(2, GL_FLOAT, 0, arrays.texCoords.data());
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(arrays.indices.size()), GL_UNSIGNED_INT, arrays.indices.data());
}
