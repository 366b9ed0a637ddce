// Per-vertex rules of the game's stages: deforms, colours, texture coordinates.
#include "StageVertices.h"

#include <algorithm>
#include <cmath>

namespace {

using Vec3 = std::array<float, 3>;

// The specular light of alphaGen lightingSpecular stands still in the part's
// own coordinates, wherever the part is.
constexpr float kSpecularLight[3] = {-960.0f, 1980.0f, 96.0f};
// tcMod turb reads the table at a vertex's coordinates shrunk this much.
constexpr float kTurbulenceScale = (1.0f / 128.0f) * 0.125f;
// deformVertexes bulge turns its phase into table steps at this rate
// (1024 steps a turn of 2 pi).
constexpr float kBulgeSteps = 162.974661f;
constexpr float kNormalNoiseScale = 0.98f;
constexpr float kNormalNoiseOffsetY = 100.0f;
constexpr float kNormalNoiseOffsetZ = 200.0f;

float dot(const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void normalize(float* v)
{
    const float length = std::sqrt(dot(v, v));
    if (length > 0) {
        for (int k = 0; k < 3; ++k)
            v[k] /= length;
    }
}

// The game's float-to-integer conversion: to the nearest whole number.
long roundToInt(float value) { return std::isfinite(value) ? std::lrint(value) : 0; }

uint8_t clampByte(long value) { return static_cast<uint8_t>(std::clamp<long>(value, 0, 255)); }

// What a wave is worth at time seconds, with an extra phase (wave deforms
// spread their phase over the vertices).
float waveAt(const Wave& wave, double seconds, double extraPhase)
{
    const int64_t index = WaveIndex(wave.phase + extraPhase + seconds * wave.frequency);
    return wave.base + WaveTableValue(wave.form, index) * wave.amplitude;
}

void deformWave(const Deform& deform, double seconds, BatchVertices& v)
{
    // Without a frequency every vertex moves alike; the spread is not used.
    const bool uniform = deform.wave.frequency == 0;
    const float uniformScale = uniform ? waveAt(deform.wave, seconds, 0) : 0;
    for (size_t i = 0; i < v.positions.size(); ++i) {
        Vec3& p = v.positions[i];
        const float scale =
            uniform ? uniformScale : waveAt(deform.wave, seconds, (p[0] + p[1] + p[2]) * deform.spread);
        for (int k = 0; k < 3; ++k)
            p[k] += v.normals[i][k] * scale;
    }
}

void deformNormals(const Deform& deform, double seconds, BatchVertices& v)
{
    const float time = static_cast<float>(seconds * deform.wave.frequency);
    for (size_t i = 0; i < v.positions.size(); ++i) {
        const Vec3& p = v.positions[i];
        Vec3& n = v.normals[i];
        const float x = p[0] * kNormalNoiseScale, y = p[1] * kNormalNoiseScale, z = p[2] * kNormalNoiseScale;
        n[0] += deform.wave.amplitude * Noise4(x, y, z, time);
        n[1] += deform.wave.amplitude * Noise4(kNormalNoiseOffsetY + x, y, z, time);
        n[2] += deform.wave.amplitude * Noise4(kNormalNoiseOffsetZ + x, y, z, time);
        normalize(n.data());
    }
}

void deformBulge(const Deform& deform, double seconds, BatchVertices& v)
{
    const float now = static_cast<float>(seconds * deform.bulge[2]);
    for (size_t i = 0; i < v.positions.size(); ++i) {
        const float phase = kBulgeSteps * (v.texCoords[i][0] * deform.bulge[0] + now);
        const int64_t index = std::isfinite(phase) ? static_cast<int64_t>(phase) : 0;
        const float scale = SinTable(index) * deform.bulge[1];
        for (int k = 0; k < 3; ++k)
            v.positions[i][k] += v.normals[i][k] * scale;
    }
}

void deformMove(const Deform& deform, double seconds, BatchVertices& v)
{
    const float scale = waveAt(deform.wave, seconds, 0);
    for (Vec3& p : v.positions) {
        for (int k = 0; k < 3; ++k)
            p[k] += deform.move[k] * scale;
    }
}

uint8_t specularAlpha(const float* position, const float* normal, const PartLighting& light)
{
    float toLight[3], toEye[3];
    for (int k = 0; k < 3; ++k) {
        toLight[k] = kSpecularLight[k] - position[k];
        toEye[k] = light.viewOrigin[k] - position[k];
    }
    normalize(toLight);
    const float d = dot(normal, toLight);
    float reflected[3];
    for (int k = 0; k < 3; ++k)
        reflected[k] = 2 * d * normal[k] - toLight[k];
    const float eyeLength = std::sqrt(dot(toEye, toEye));
    float l = eyeLength > 0 ? dot(reflected, toEye) / eyeLength : 0;
    if (!(l > 0))
        return 0;
    l = l * l;
    l = l * l;
    return static_cast<uint8_t>(std::min(255.0f, l * 255.0f));
}

uint8_t portalAlpha(const float* position, const PartLighting& light, float range)
{
    float toEye[3];
    for (int k = 0; k < 3; ++k)
        toEye[k] = position[k] - light.viewOrigin[k];
    const float distance = std::sqrt(dot(toEye, toEye));
    const float alpha = range > 0 ? std::clamp(distance / range, 0.0f, 1.0f) : 1.0f;
    return static_cast<uint8_t>(alpha * 255.0f);
}

void applyTexMod(const TexMod& mod, const BatchVertices& v, double seconds, std::vector<std::array<float, 2>>& st)
{
    switch (mod.kind) {
    case TexMod::Kind::Scroll: {
        // Only the fraction of the distance counts, so that texture
        // coordinates stay small however long the shader runs.
        double s = mod.values[0] * seconds, t = mod.values[1] * seconds;
        s -= std::floor(s);
        t -= std::floor(t);
        for (auto& c : st)
            c[0] += static_cast<float>(s), c[1] += static_cast<float>(t);
        break;
    }
    case TexMod::Kind::Scale:
        for (auto& c : st)
            c[0] *= mod.values[0], c[1] *= mod.values[1];
        break;
    case TexMod::Kind::Rotate: {
        const double degrees = -mod.values[0] * seconds;
        const double steps = degrees * (kWaveTableSize / 360.0);
        const int64_t index = std::isfinite(steps) ? static_cast<int64_t>(steps) : 0;
        const float sine = SinTable(index), cosine = SinTable(index + kWaveTableSize / 4);
        for (auto& c : st) {
            const float s = c[0], t = c[1];
            c[0] = s * cosine - t * sine + (0.5f - 0.5f * cosine + 0.5f * sine);
            c[1] = s * sine + t * cosine + (0.5f - 0.5f * sine - 0.5f * cosine);
        }
        break;
    }
    case TexMod::Kind::Stretch: {
        const float p = 1.0f / waveAt(mod.wave, seconds, 0);
        if (!std::isfinite(p))
            break; // a wave through 0 would stretch without end
        for (auto& c : st) {
            c[0] = c[0] * p + 0.5f - 0.5f * p;
            c[1] = c[1] * p + 0.5f - 0.5f * p;
        }
        break;
    }
    case TexMod::Kind::Turb: {
        // The base of the wave plays no part.
        const double now = mod.wave.phase + seconds * mod.wave.frequency;
        for (size_t i = 0; i < st.size(); ++i) {
            const auto& p = v.positions[i];
            st[i][0] += mod.wave.amplitude * SinTable(WaveIndex((p[0] + p[2]) * kTurbulenceScale + now));
            st[i][1] += mod.wave.amplitude * SinTable(WaveIndex(p[1] * kTurbulenceScale + now));
        }
        break;
    }
    case TexMod::Kind::Transform:
        for (auto& c : st) {
            const float s = c[0], t = c[1];
            c[0] = s * mod.values[0] + t * mod.values[2] + mod.values[4];
            c[1] = s * mod.values[1] + t * mod.values[3] + mod.values[5];
        }
        break;
    case TexMod::Kind::EntityTranslate: // a part has no texture offset of its own
    case TexMod::Kind::None:
        break;
    }
}

} // namespace

std::array<float, 3> DecodeGameNormal(const uint8_t (&bytes)[2])
{
    constexpr int kStep = kWaveTableSize / 256;
    const int64_t polar = int64_t{bytes[0]} * kStep, around = int64_t{bytes[1]} * kStep;
    const float sinPolar = SinTable(polar), cosPolar = SinTable(polar + kWaveTableSize / 4);
    return {SinTable(around + kWaveTableSize / 4) * sinPolar, SinTable(around) * sinPolar, cosPolar};
}

void ApplyDeforms(const GameShader& shader, double seconds, BatchVertices& vertices)
{
    for (const Deform& deform : shader.deforms) {
        switch (deform.kind) {
        case Deform::Kind::Wave:
            deformWave(deform, seconds, vertices);
            break;
        case Deform::Kind::Normal:
            deformNormals(deform, seconds, vertices);
            break;
        case Deform::Kind::Bulge:
            deformBulge(deform, seconds, vertices);
            break;
        case Deform::Kind::Move:
            deformMove(deform, seconds, vertices);
            break;
        }
    }
}

std::array<uint8_t, 3> DiffuseColor(const float (&n)[3], const PartLighting& light)
{
    std::array<uint8_t, 3> color{};
    const float incoming = dot(n, light.direction);
    for (int c = 0; c < 3; ++c) {
        const float value = incoming > 0 ? light.ambient[c] + incoming * light.directed[c] : light.ambient[c];
        color[c] = clampByte(roundToInt(value));
    }
    return color;
}

void StageColors(const GameStage& stage, const BatchVertices& vertices, const PartLighting& light,
                 const PartEntity& entity, double seconds, std::vector<uint8_t>& rgba)
{
    const size_t count = vertices.positions.size();
    rgba.assign(count * 4, 255);
    uint8_t uniform[3] = {255, 255, 255};
    bool perVertex = false;
    switch (stage.rgbGen) {
    case RgbGen::Identity:
    case RgbGen::IdentityLighting: // one light unit is full white in a window
    case RgbGen::Vertex:           // a model carries no vertex colours: white
    case RgbGen::ExactVertex:
        break;
    case RgbGen::OneMinusVertex:
        uniform[0] = uniform[1] = uniform[2] = 0;
        break;
    case RgbGen::Entity:
    case RgbGen::OneMinusEntity:
        for (int c = 0; c < 3; ++c)
            uniform[c] = stage.rgbGen == RgbGen::Entity ? entity.color[c] : 255 - entity.color[c];
        break;
    case RgbGen::Const:
        std::copy_n(stage.constColor, 3, uniform);
        break;
    case RgbGen::Wave: {
        const float glow = std::clamp(EvaluateWave(stage.rgbWave, seconds), 0.0f, 1.0f);
        uniform[0] = uniform[1] = uniform[2] = clampByte(roundToInt(255.0f * glow));
        break;
    }
    case RgbGen::LightingDiffuse:
        perVertex = light.lit;
        break;
    }
    for (size_t i = 0; i < count; ++i) {
        uint8_t* out = &rgba[i * 4];
        if (perVertex) {
            const float n[3] = {vertices.normals[i][0], vertices.normals[i][1], vertices.normals[i][2]};
            const std::array<uint8_t, 3> lit = DiffuseColor(n, light);
            std::copy(lit.begin(), lit.end(), out);
        } else {
            std::copy_n(uniform, 3, out);
        }
    }
    uint8_t alpha = 255;
    switch (stage.alphaGen) {
    case AlphaGen::Identity:
    case AlphaGen::Vertex:
        break;
    case AlphaGen::OneMinusVertex:
        alpha = 0;
        break;
    case AlphaGen::Const:
        alpha = stage.constColor[3];
        break;
    case AlphaGen::Wave:
        alpha = static_cast<uint8_t>(255.0f * EvaluateWaveClamped(stage.alphaWave, seconds));
        break;
    case AlphaGen::Entity:
        alpha = entity.color[3];
        break;
    case AlphaGen::OneMinusEntity:
        alpha = 255 - entity.color[3];
        break;
    case AlphaGen::LightingSpecular:
        for (size_t i = 0; i < count; ++i)
            rgba[i * 4 + 3] = specularAlpha(vertices.positions[i].data(), vertices.normals[i].data(), light);
        return;
    case AlphaGen::Portal:
        for (size_t i = 0; i < count; ++i)
            rgba[i * 4 + 3] = portalAlpha(vertices.positions[i].data(), light, stage.portalRange);
        return;
    }
    for (size_t i = 0; i < count; ++i)
        rgba[i * 4 + 3] = alpha;
}

void StageTexCoords(const GameStage& stage, const BatchVertices& vertices, const PartLighting& light,
                    double seconds, std::vector<std::array<float, 2>>& st)
{
    const size_t count = vertices.positions.size();
    st.resize(count);
    switch (stage.texGen) {
    case TexGen::Texture:
    case TexGen::Lightmap: // a model has no lightmap coordinates; its image is white
        std::copy(vertices.texCoords.begin(), vertices.texCoords.end(), st.begin());
        break;
    case TexGen::Environment:
        for (size_t i = 0; i < count; ++i) {
            float toEye[3];
            for (int k = 0; k < 3; ++k)
                toEye[k] = light.viewOrigin[k] - vertices.positions[i][k];
            normalize(toEye);
            const float* n = vertices.normals[i].data();
            const float d = dot(n, toEye);
            const float ry = 2 * d * n[1] - toEye[1];
            const float rz = 2 * d * n[2] - toEye[2];
            st[i] = {0.5f + ry * 0.5f, 0.5f - rz * 0.5f};
        }
        break;
    case TexGen::Vector:
        for (size_t i = 0; i < count; ++i) {
            st[i] = {dot(vertices.positions[i].data(), stage.texGenVectors[0]),
                     dot(vertices.positions[i].data(), stage.texGenVectors[1])};
        }
        break;
    }
    for (const TexMod& mod : stage.texMods) {
        if (mod.kind == TexMod::Kind::None)
            break;
        applyTexMod(mod, vertices, seconds, st);
    }
}

size_t AnimationImage(float frequency, size_t count, double seconds)
{
    if (count <= 1)
        return 0;
    const double steps = seconds * frequency * kWaveTableSize;
    int64_t index = std::isfinite(steps) && std::abs(steps) < 9.0e18 ? std::llrint(steps) : 0;
    index >>= 10; // whole images
    if (index < 0)
        index = 0;
    return static_cast<size_t>(index % static_cast<int64_t>(count));
}
