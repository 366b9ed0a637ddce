#pragma once
// The per-vertex work of drawing a surface as the game draws it: vertex
// deforms, the colour and alpha of every vertex for one stage, and its
// texture coordinates. Pure arithmetic on arrays: no OpenGL here, so each
// rule can be checked on its own.
#include "GameShader.h"

#include <array>
#include <cstdint>
#include <vector>

// The vertices of a batch of surfaces, in the part's own coordinates.
struct BatchVertices {
    std::vector<std::array<float, 3>> positions;
    std::vector<std::array<float, 3>> normals;   // unit length
    std::vector<std::array<float, 2>> texCoords; // the file's s, t (t runs down the image)
};

// What the scene lights a part with, in the part's own coordinates.
struct PartLighting {
    float ambient[3] = {0, 0, 0};  // 0 ... 255 a channel
    float directed[3] = {0, 0, 0}; // may pass 255
    float direction[3] = {0, 0, 0}; // towards the light, unit length (0 when there is none)
    float viewOrigin[3] = {0, 0, 0}; // the eye
    bool lit = true;                // false: lighting is switched off, lit stages draw full bright
};

// The part itself as the scene sees it.
struct PartEntity {
    uint8_t color[4] = {255, 255, 255, 255}; // what rgbGen/alphaGen entity take
};

// A vertex normal from its two file bytes as the game decodes them: the
// first the angle from the z axis, the second the angle about it, each a
// 256th of a turn looked up in the sine table.
std::array<float, 3> DecodeGameNormal(const uint8_t (&bytes)[2]);

// Applies the shader's deforms, in order, at shader time seconds.
void ApplyDeforms(const GameShader& shader, double seconds, BatchVertices& vertices);

// The RGBA colour of every vertex for stage (4 bytes a vertex).
void StageColors(const GameStage& stage, const BatchVertices& vertices, const PartLighting& light,
                 const PartEntity& entity, double seconds, std::vector<uint8_t>& rgba);

// The texture coordinates of every vertex for stage, in the game's
// orientation (t = 0 at the image's top row).
void StageTexCoords(const GameStage& stage, const BatchVertices& vertices, const PartLighting& light,
                    double seconds, std::vector<std::array<float, 2>>& st);

// The colour lightingDiffuse gives a vertex of unit normal n: the ambient
// light, plus the directed light as far as n faces it, each channel rounded
// and at most 255.
std::array<uint8_t, 3> DiffuseColor(const float (&n)[3], const PartLighting& light);

// Which image of an animMap cycle of count images shows at seconds.
size_t AnimationImage(float frequency, size_t count, double seconds);
