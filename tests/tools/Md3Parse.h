#pragma once
// Reads a serialised MD3 back for the tests, following the offsets stored in
// the file (not the standard positions), so a wrong offset shows up as wrong
// data. Fails the current test on anything that does not fit.
#include "tools/writers/Md3Writer.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace toolstest {

struct ParsedTag {
    std::string name;
    writers::Vec3 origin;
    std::array<writers::Vec3, 3> axes;
};

struct ParsedSurface {
    std::string name;
    std::string shader; // the first shader record's name, "" without one
    int32_t frames = 0;
    int32_t vertices = 0;
    std::vector<std::array<int32_t, 3>> triangles;
    std::vector<std::array<float, 2>> texCoords;
    std::vector<std::array<int16_t, 3>> xyz; // frame-major
    std::vector<std::array<uint8_t, 2>> normals;

    writers::Vec3 position(int frame, int vertex) const
    {
        const auto& p = xyz[static_cast<std::size_t>(frame) * vertices + vertex];
        return {p[0] / 64.0f, p[1] / 64.0f, p[2] / 64.0f};
    }
    writers::Vec3 normal(int frame, int vertex) const
    {
        const auto& n = normals[static_cast<std::size_t>(frame) * vertices + vertex];
        return writers::decodeNormal(n[0], n[1]);
    }
};

struct ParsedMd3 {
    int32_t frames = 0;
    int32_t tagsPerFrame = 0;
    std::vector<ParsedTag> tags; // frame-major
    std::vector<ParsedSurface> surfaces;

    const ParsedTag& tag(int frame, int index) const
    {
        return tags[static_cast<std::size_t>(frame) * tagsPerFrame + index];
    }
};

inline std::string fixedName(const std::string& bytes, std::size_t at)
{
    const std::string field = bytes.substr(at, writers::md3::kNameSize);
    return field.substr(0, field.find('\0'));
}

inline int16_t readInt16(const std::string& bytes, std::size_t at)
{
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]))
                                | static_cast<uint16_t>(static_cast<unsigned char>(bytes[at + 1]) << 8));
}

inline writers::Vec3 readVec3(const std::string& bytes, std::size_t at)
{
    return {writers::readFloat(bytes, at), writers::readFloat(bytes, at + 4), writers::readFloat(bytes, at + 8)};
}

inline ParsedMd3 parseMd3(const std::string& bytes)
{
    namespace md3 = writers::md3;
    using writers::readInt32;
    ParsedMd3 out;
    EXPECT_GE(bytes.size(), md3::kHeaderSize);
    if (bytes.size() < md3::kHeaderSize)
        return out;
    out.frames = readInt32(bytes, md3::kFrameCount);
    out.tagsPerFrame = readInt32(bytes, md3::kTagCount);
    const auto tagAt = static_cast<std::size_t>(readInt32(bytes, md3::kTagOffset));
    for (int32_t i = 0; i < out.frames * out.tagsPerFrame; ++i) {
        const std::size_t at = tagAt + md3::kTagSize * static_cast<std::size_t>(i);
        out.tags.push_back({fixedName(bytes, at), readVec3(bytes, at + md3::kTagOrigin),
                            {readVec3(bytes, at + md3::kTagAxes), readVec3(bytes, at + md3::kTagAxes + 12),
                             readVec3(bytes, at + md3::kTagAxes + 24)}});
    }
    std::size_t p = static_cast<std::size_t>(readInt32(bytes, md3::kSurfaceOffset));
    for (int32_t s = 0; s < readInt32(bytes, md3::kSurfaceCount); ++s) {
        ParsedSurface surface;
        surface.name = fixedName(bytes, p + md3::kSurfName);
        surface.frames = readInt32(bytes, p + md3::kSurfFrameCount);
        surface.vertices = readInt32(bytes, p + md3::kSurfVertexCount);
        const int32_t triangles = readInt32(bytes, p + md3::kSurfTriangleCount);
        if (readInt32(bytes, p + md3::kSurfShaderCount) > 0)
            surface.shader = fixedName(bytes, p + static_cast<std::size_t>(readInt32(bytes, p + md3::kSurfShaderOffset)));
        const std::size_t end = p + static_cast<std::size_t>(readInt32(bytes, p + md3::kSurfEndOffset));
        EXPECT_LE(end, bytes.size()) << surface.name;
        if (end > bytes.size())
            return out;
        const std::size_t tri = p + static_cast<std::size_t>(readInt32(bytes, p + md3::kSurfTriangleOffset));
        for (int32_t i = 0; i < triangles; ++i)
            surface.triangles.push_back({readInt32(bytes, tri + 12 * i), readInt32(bytes, tri + 12 * i + 4),
                                         readInt32(bytes, tri + 12 * i + 8)});
        const std::size_t st = p + static_cast<std::size_t>(readInt32(bytes, p + md3::kSurfTexCoordOffset));
        for (int32_t i = 0; i < surface.vertices; ++i)
            surface.texCoords.push_back({writers::readFloat(bytes, st + 8 * i), writers::readFloat(bytes, st + 8 * i + 4)});
        const std::size_t xyz = p + static_cast<std::size_t>(readInt32(bytes, p + md3::kSurfVertexOffset));
        for (int32_t i = 0; i < surface.vertices * surface.frames; ++i) {
            const std::size_t at = xyz + 8 * static_cast<std::size_t>(i);
            surface.xyz.push_back({readInt16(bytes, at), readInt16(bytes, at + 2), readInt16(bytes, at + 4)});
            surface.normals.push_back({static_cast<uint8_t>(bytes[at + 6]), static_cast<uint8_t>(bytes[at + 7])});
        }
        out.surfaces.push_back(std::move(surface));
        p = end;
    }
    return out;
}

} // namespace toolstest
