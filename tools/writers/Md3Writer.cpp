#include "tools/writers/Md3Writer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <numbers>
#include <stdexcept>

namespace writers {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
// A full turn of either normal angle takes 255 steps, not 256.
constexpr double kNormalSteps = 255.0;

void appendInt32(std::string& out, int32_t value)
{
    const auto bits = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((bits >> shift) & 0xFF));
}

void appendInt16(std::string& out, int16_t value)
{
    const auto bits = static_cast<uint16_t>(value);
    out.push_back(static_cast<char>(bits & 0xFF));
    out.push_back(static_cast<char>(bits >> 8));
}

void appendFloat(std::string& out, float value)
{
    appendInt32(out, static_cast<int32_t>(std::bit_cast<uint32_t>(value)));
}

void appendVec3(std::string& out, const Vec3& v)
{
    appendFloat(out, v.x);
    appendFloat(out, v.y);
    appendFloat(out, v.z);
}

// A NUL-terminated name in a fixed-size field; the NUL must fit.
void appendName(std::string& out, const std::string& name, std::size_t size)
{
    if (name.size() >= size || name.find('\0') != std::string::npos)
        throw std::invalid_argument("MD3 name does not fit its field: " + name);
    out += name;
    out.append(size - name.size(), '\0');
}

int32_t toInt32(std::size_t value)
{
    if (value > static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
        throw std::invalid_argument("MD3 count or offset beyond int32");
    return static_cast<int32_t>(value);
}

void checkModel(const Md3Model& model)
{
    if (model.frameCount < 0 || model.tags.size() != static_cast<std::size_t>(model.frameCount))
        throw std::invalid_argument("MD3 model needs one tag row per frame");
    for (const auto& row : model.tags)
        if (row.size() != model.tags.front().size())
            throw std::invalid_argument("MD3 tag rows differ in length");
    for (const auto& surface : model.surfaces)
        for (const auto& frame : surface.frames)
            if (frame.size() != surface.texCoords.size())
                throw std::invalid_argument("MD3 surface " + surface.name
                                            + ": vertex count differs from texture-coordinate count");
}

// Frame record: bounds, local origin and radius of the frame's vertices over
// all surfaces that have that frame, then a short name.
void appendFrame(std::string& out, const Md3Model& model, std::size_t frame)
{
    Vec3 lo{}, hi{};
    float radius = 0.0f;
    bool any = false;
    for (const auto& surface : model.surfaces) {
        if (frame >= surface.frames.size())
            continue;
        for (const auto& v : surface.frames[frame]) {
            const Vec3& p = v.position;
            if (!any) {
                lo = hi = p;
                any = true;
            }
            lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
            hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
            radius = std::max(radius, std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z));
        }
    }
    appendVec3(out, lo);
    appendVec3(out, hi);
    appendVec3(out, Vec3{});
    appendFloat(out, radius);
    appendName(out, "frame" + std::to_string(frame), md3::kFrameNameSize);
}

void appendTag(std::string& out, const Md3Tag& tag)
{
    appendName(out, tag.name, md3::kNameSize);
    appendVec3(out, tag.origin);
    for (const auto& axis : tag.axes)
        appendVec3(out, axis);
}

void appendShaders(std::string& out, const Md3Surface& surface)
{
    for (std::size_t i = 0; i < surface.shaders.size(); ++i) {
        appendName(out, surface.shaders[i], md3::kNameSize);
        appendInt32(out, toInt32(i));
    }
}

void appendSurface(std::string& out, const Md3Surface& surface, Md3ShaderPlace place)
{
    const std::size_t vertexCount = surface.texCoords.size();
    const std::size_t shadersSize = md3::kShaderSize * surface.shaders.size();
    const std::size_t trianglesSize = md3::kTriangleSize * surface.triangles.size();
    const bool after = place == Md3ShaderPlace::AfterTriangles;
    const std::size_t triangleOffset = md3::kSurfaceHeaderSize + (after ? 0 : shadersSize);
    const std::size_t shaderOffset = after ? triangleOffset + trianglesSize : md3::kSurfaceHeaderSize;
    const std::size_t texCoordOffset = triangleOffset + trianglesSize + (after ? shadersSize : 0);
    const std::size_t vertexOffset = texCoordOffset + md3::kTexCoordSize * vertexCount;
    const std::size_t endOffset = vertexOffset + md3::kVertexSize * vertexCount * surface.frames.size();

    out += "IDP3";
    appendName(out, surface.name, md3::kNameSize);
    appendInt32(out, surface.flags);
    appendInt32(out, toInt32(surface.frames.size()));
    appendInt32(out, toInt32(surface.shaders.size()));
    appendInt32(out, toInt32(vertexCount));
    appendInt32(out, toInt32(surface.triangles.size()));
    appendInt32(out, toInt32(triangleOffset));
    appendInt32(out, toInt32(shaderOffset));
    appendInt32(out, toInt32(texCoordOffset));
    appendInt32(out, toInt32(vertexOffset));
    appendInt32(out, toInt32(endOffset));

    if (!after)
        appendShaders(out, surface);
    for (const auto& triangle : surface.triangles)
        for (int32_t index : triangle)
            appendInt32(out, index);
    if (after)
        appendShaders(out, surface);
    for (const auto& st : surface.texCoords) {
        appendFloat(out, st[0]);
        appendFloat(out, st[1]);
    }
    for (const auto& frame : surface.frames) {
        for (const auto& vertex : frame) {
            appendInt16(out, encodeCoordinate(vertex.position.x));
            appendInt16(out, encodeCoordinate(vertex.position.y));
            appendInt16(out, encodeCoordinate(vertex.position.z));
            const auto [u, w] = encodeNormal(vertex.normal);
            out.push_back(static_cast<char>(u));
            out.push_back(static_cast<char>(w));
        }
    }
}

double angleOf(double y, double x)
{
    const double a = std::atan2(y, x);
    return a < 0.0 ? a + kTwoPi : a;
}

} // namespace

std::string serialiseMd3(const Md3Model& model)
{
    checkModel(model);
    const std::size_t frames = model.tags.size();
    const std::size_t tagsPerFrame = frames == 0 ? 0 : model.tags.front().size();
    const std::size_t tagOffset = md3::kHeaderSize + md3::kFrameSize * frames;
    const std::size_t surfaceOffset = tagOffset + md3::kTagSize * frames * tagsPerFrame;

    std::string body;
    for (const auto& surface : model.surfaces)
        appendSurface(body, surface, model.shaderPlace);

    std::string out;
    out.reserve(surfaceOffset + body.size());
    out += "IDP3";
    appendInt32(out, md3::kVersion);
    appendName(out, model.name, md3::kNameSize);
    appendInt32(out, model.flags);
    appendInt32(out, toInt32(frames));
    appendInt32(out, toInt32(tagsPerFrame));
    appendInt32(out, toInt32(model.surfaces.size()));
    appendInt32(out, model.skinCount);
    appendInt32(out, toInt32(md3::kHeaderSize));
    appendInt32(out, toInt32(tagOffset));
    appendInt32(out, toInt32(surfaceOffset));
    appendInt32(out, toInt32(surfaceOffset + body.size()));
    for (std::size_t f = 0; f < frames; ++f)
        appendFrame(out, model, f);
    for (const auto& row : model.tags)
        for (const auto& tag : row)
            appendTag(out, tag);
    out += body;
    return out;
}

Vec3 decodeNormal(uint8_t u, uint8_t w)
{
    const double thetaU = u * kTwoPi / kNormalSteps;
    const double thetaW = w * kTwoPi / kNormalSteps;
    return {static_cast<float>(std::cos(thetaW) * std::sin(thetaU)),
            static_cast<float>(std::sin(thetaW) * std::sin(thetaU)),
            static_cast<float>(std::cos(thetaU))};
}

// Each direction has two spellings: polar angle θu with azimuth θw, and
// 2π − θu with θw + π. The closest byte pair lies next to one of them, so only
// the few pairs around both are scored instead of all 65536.
std::pair<uint8_t, uint8_t> encodeNormal(const Vec3& normal)
{
    const double length = std::sqrt(double(normal.x) * normal.x + double(normal.y) * normal.y
                                    + double(normal.z) * normal.z);
    if (!(length > 0.0))
        return {0, 0};
    const double nx = normal.x / length, ny = normal.y / length, nz = normal.z / length;
    const double thetaU = std::acos(std::clamp(nz, -1.0, 1.0));
    const double thetaW = angleOf(ny, nx);

    std::pair<uint8_t, uint8_t> best{0, 0};
    double bestDot = -2.0;
    auto consider = [&](double uSteps, double wSteps) {
        const int u0 = static_cast<int>(std::floor(uSteps));
        const int w0 = static_cast<int>(std::floor(wSteps));
        for (int u = u0 - 1; u <= u0 + 2; ++u) {
            if (u < 0 || u > 255)
                continue;
            for (int w = w0 - 1; w <= w0 + 2; ++w) {
                const int wrapped = ((w % 255) + 255) % 255;
                const Vec3 d = decodeNormal(static_cast<uint8_t>(u), static_cast<uint8_t>(wrapped));
                const double dot = d.x * nx + d.y * ny + d.z * nz;
                if (dot > bestDot) {
                    bestDot = dot;
                    best = {static_cast<uint8_t>(u), static_cast<uint8_t>(wrapped)};
                }
            }
        }
    };
    const double scale = kNormalSteps / kTwoPi;
    consider(thetaU * scale, thetaW * scale);
    consider((kTwoPi - thetaU) * scale, std::fmod(thetaW + std::numbers::pi, kTwoPi) * scale);
    return best;
}

int16_t encodeCoordinate(float value)
{
    const double scaled = std::round(double(value) * md3::kXyzScale);
    if (!(scaled >= std::numeric_limits<int16_t>::min() && scaled <= std::numeric_limits<int16_t>::max()))
        throw std::invalid_argument("MD3 coordinate out of range: " + std::to_string(value));
    return static_cast<int16_t>(scaled);
}

void patchInt32(std::string& bytes, std::size_t at, int32_t value)
{
    if (at > bytes.size() || bytes.size() - at < 4)
        throw std::out_of_range("patchInt32 past the end of the bytes");
    const auto bits = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
}

int32_t readInt32(const std::string& bytes, std::size_t at)
{
    if (at > bytes.size() || bytes.size() - at < 4)
        throw std::out_of_range("readInt32 past the end of the bytes");
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return static_cast<int32_t>(bits);
}

float readFloat(const std::string& bytes, std::size_t at)
{
    return std::bit_cast<float>(static_cast<uint32_t>(readInt32(bytes, at)));
}

std::vector<std::size_t> surfaceStarts(const std::string& bytes)
{
    const auto frames = static_cast<std::size_t>(readInt32(bytes, md3::kFrameCount));
    const auto tags = static_cast<std::size_t>(readInt32(bytes, md3::kTagCount));
    const auto surfaces = readInt32(bytes, md3::kSurfaceCount);
    std::vector<std::size_t> starts;
    std::size_t at = md3::kHeaderSize + md3::kFrameSize * frames + md3::kTagSize * frames * tags;
    for (int32_t i = 0; i < surfaces; ++i) {
        starts.push_back(at);
        at += static_cast<std::size_t>(readInt32(bytes, at + md3::kSurfEndOffset));
    }
    return starts;
}

} // namespace writers
