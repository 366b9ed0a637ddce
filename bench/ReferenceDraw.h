#pragma once
// A reference to measure the viewer's drawing against: the same part tree,
// frames, blend weights, textures and tag matrices as DrawPlayer, but each
// mesh is blended on the CPU once per vertex into arrays and drawn with one
// glDrawElements call.
#include "model/Model.h"

#include <unordered_map>
#include <vector>

class ReferenceDrawer {
public:
    // Prepares arrays for every part reachable from the player's legs; the
    // player must stay where it is and keep its meshes.
    explicit ReferenceDrawer(const Q3Player& player);

    // Advances the three body parts to t seconds like DrawPlayer and draws
    // the tree from the legs.
    void drawPlayer(Q3Player& player, float t);

private:
    struct MeshArrays {
        std::vector<GLfloat> texCoords; // s, 1 - t per vertex: fixed for the life of the mesh
        std::vector<GLuint> indices;
        std::vector<GLfloat> positions; // blended per frame
        std::vector<GLfloat> normals;
    };

    void prepare(const TMD3Model& part);
    void drawModel(const TMD3Model& part);
    void drawMeshes(const TMD3Model& part, int32_t c, int32_t n, double f);
    void drawMesh(const TMesh& mesh, MeshArrays& arrays, int32_t c, int32_t n, double f);

    std::unordered_map<const TMD3Model*, std::vector<MeshArrays>> arrays_;
};
