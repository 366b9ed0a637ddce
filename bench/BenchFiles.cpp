// Writes the files the benchmarks read: the two sample characters below
// FOLDER/samples, the sample game data below FOLDER/game, and parts of growing size below FOLDER/generated, each a
// rippling tube of 1000 vertices with one tag, from 10 to 400 frames
// (about 80 KB to 3.3 MB).
//
//   quillmo_bench_files FOLDER
#include "platform/system/Errors.h"
#include "tools/samples/SampleGame.h"
#include "tools/samples/SampleModels.h"
#include "tools/writers/Md3Writer.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>

namespace {

constexpr int kRings = 25;
constexpr int kSegments = 40; // kRings x kSegments = 1000 vertices per frame
constexpr int kFrameCounts[] = {10, 25, 50, 100, 200, 400};
constexpr float kRadius = 10.0f;
constexpr float kRingSpacing = 2.0f;

// A tube along Z whose radius ripples with the frame, so that every frame
// holds different positions and normals.
writers::Md3Surface tube(int frames)
{
    writers::Md3Surface surface;
    surface.name = "tube";
    surface.shaders = {"models/bench/tube"};
    for (int r = 0; r < kRings; ++r) {
        for (int s = 0; s < kSegments; ++s)
            surface.texCoords.push_back({float(s) / (kSegments - 1), float(r) / (kRings - 1)});
    }
    for (int r = 0; r + 1 < kRings; ++r) {
        for (int s = 0; s + 1 < kSegments; ++s) {
            const int a = r * kSegments + s;
            const int b = a + kSegments;
            surface.triangles.push_back({a, a + 1, b});
            surface.triangles.push_back({a + 1, b + 1, b});
        }
    }
    const float twoPi = 2.0f * std::numbers::pi_v<float>;
    for (int f = 0; f < frames; ++f) {
        std::vector<writers::Md3Vertex> vertices;
        const float phase = twoPi * float(f) / float(frames);
        for (int r = 0; r < kRings; ++r) {
            const float radius = kRadius + 2.0f * std::sin(phase + 0.5f * float(r));
            for (int s = 0; s < kSegments; ++s) {
                const float angle = twoPi * float(s) / float(kSegments - 1);
                const writers::Vec3 normal{std::cos(angle), std::sin(angle), 0.0f};
                vertices.push_back({{radius * normal.x, radius * normal.y, kRingSpacing * float(r)}, normal});
            }
        }
        surface.frames.push_back(std::move(vertices));
    }
    return surface;
}

writers::Md3Model generatedPart(int frames)
{
    writers::Md3Model model;
    model.name = "tube";
    model.frameCount = frames;
    for (int f = 0; f < frames; ++f) {
        writers::Md3Tag tag;
        tag.name = "tag_weapon";
        tag.origin = {0.0f, 0.0f, kRingSpacing * kRings};
        model.tags.push_back({tag});
    }
    model.surfaces.push_back(tube(frames));
    return model;
}

void writeFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw platform::EInOutError("Cannot write \"" + path.string() + "\"");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: quillmo_bench_files FOLDER\n");
        return 2;
    }
    try {
        const std::filesystem::path folder = argv[1];
        samples::writeSampleModels((folder / "samples").string());
        samples::writeSampleGame((folder / "game").string(), samples::GameLayout::Archives);
        std::filesystem::create_directories(folder / "generated");
        for (int frames : kFrameCounts) {
            char name[64];
            std::snprintf(name, sizeof name, "tube_f%03d_v%d.md3", frames, kRings * kSegments);
            writeFile(folder / "generated" / name, writers::serialiseMd3(generatedPart(frames)));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillmo_bench_files: %s\n", e.what());
        return 1;
    }
    return 0;
}
