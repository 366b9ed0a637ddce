#include "Md3Files.h"

#include <cstring>

namespace md3files {

namespace {

void add32(std::string& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void addInt(std::string& out, int32_t v) { add32(out, static_cast<uint32_t>(v)); }
void addFloat(std::string& out, float f)
{
    uint32_t v;
    std::memcpy(&v, &f, 4);
    add32(out, v);
}
void add16(std::string& out, int16_t v)
{
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((static_cast<uint16_t>(v) >> 8) & 0xFF);
}
// A fixed-width name field; a name of the full width has no NUL.
void addName(std::string& out, const std::string& name, size_t width)
{
    std::string field = name.substr(0, width);
    field.resize(width, '\0');
    out += field;
}

} // namespace

void put32(std::string& bytes, size_t at, int32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>((static_cast<uint32_t>(value) >> (8 * i)) & 0xFF);
}

std::string build(const Model& model, Layout* layout)
{
    Layout local;
    std::string out;
    addName(out, model.ident, 4);
    addInt(out, model.version);
    addName(out, "models/test", 64);
    addInt(out, 0);
    addInt(out, model.frames);
    addInt(out, model.tagsPerFrame);
    addInt(out, static_cast<int32_t>(model.surfaces.size()));
    addInt(out, 0);
    out.append(16, '\0'); // offsets, patched below
    for (int f = 0; f < model.frames; ++f) {
        for (int i = 0; i < 56; ++i)
            out += static_cast<char>(f * 56 + i);
    }
    local.tags = out.size();
    for (const Tag& tag : model.tags) {
        addName(out, tag.name, 64);
        for (float v : tag.origin)
            addFloat(out, v);
        for (float v : tag.axes)
            addFloat(out, v);
    }
    const size_t surfacesStart = out.size();
    for (const Surface& s : model.surfaces) {
        SurfaceLayout at{};
        at.start = out.size();
        addName(out, "IDP3", 4);
        addName(out, s.name, 64);
        addInt(out, 0);
        addInt(out, s.vertexFrames);
        addInt(out, static_cast<int32_t>(s.shaders.size()));
        addInt(out, static_cast<int32_t>(s.texCoords.size()));
        addInt(out, static_cast<int32_t>(s.triangles.size()));
        out.append(20, '\0'); // offsets, patched below
        at.shaders = out.size();
        for (size_t i = 0; i < s.shaders.size(); ++i) {
            addName(out, s.shaders[i], 64);
            addInt(out, static_cast<int32_t>(i));
        }
        at.triangles = out.size();
        for (const auto& t : s.triangles)
            for (int32_t index : t)
                addInt(out, index);
        at.texCoords = out.size();
        for (const auto& st : s.texCoords)
            addFloat(out, st[0]), addFloat(out, st[1]);
        at.vertices = out.size();
        for (const Vertex& v : s.vertices) {
            add16(out, v.x), add16(out, v.y), add16(out, v.z);
            out += static_cast<char>(v.u);
            out += static_cast<char>(v.w);
        }
        at.end = out.size();
        put32(out, at.start + kSurfTriangleOffset, static_cast<int32_t>(at.triangles - at.start));
        put32(out, at.start + kSurfShaderOffset, static_cast<int32_t>(at.shaders - at.start));
        put32(out, at.start + kSurfStOffset, static_cast<int32_t>(at.texCoords - at.start));
        put32(out, at.start + kSurfVertexOffset, static_cast<int32_t>(at.vertices - at.start));
        put32(out, at.start + kSurfEndOffset, static_cast<int32_t>(at.end - at.start));
        local.surfaces.push_back(at);
    }
    put32(out, kFrameOffset, 108);
    put32(out, kTagOffset, static_cast<int32_t>(local.tags));
    put32(out, kSurfaceOffset, static_cast<int32_t>(surfacesStart));
    put32(out, kEndOffset, static_cast<int32_t>(out.size()));
    if (layout)
        *layout = local;
    return out;
}

Surface triangleSurface(const std::string& name, int frames, std::array<int16_t, 3> step)
{
    Surface s;
    s.name = name;
    s.vertexFrames = frames;
    s.triangles = {{0, 1, 2}};
    s.texCoords = {{0.0f, 0.25f}, {1.0f, 0.5f}, {0.0f, 1.0f}};
    const Vertex corners[3] = {{640, 640, 0, 0, 0}, {1280, 640, 0, 64, 0}, {640, 1280, 0, 64, 64}};
    for (int f = 0; f < frames; ++f) {
        for (Vertex v : corners) {
            v.x = static_cast<int16_t>(v.x + f * step[0]);
            v.y = static_cast<int16_t>(v.y + f * step[1]);
            v.z = static_cast<int16_t>(v.z + f * step[2]);
            v.u = static_cast<uint8_t>(v.u + f * 32);
            s.vertices.push_back(v);
        }
    }
    return s;
}

} // namespace md3files
