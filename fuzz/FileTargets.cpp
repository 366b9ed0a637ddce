// The entry points of the binary readers: MD3 models and images.
#include "FileTargets.h"

#include "TargetSupport.h"

#include "app/import/GltfImport.h"
#include "model/Model.h"
#include "platform/system/Errors.h"
#include "textures/Textures.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace fuzz {

namespace {

using namespace support;

constexpr const char* kModelName = "fuzz/lower.md3";

bool isKnownModel(const TMD3Header& header)
{
    const char* ident = "IDP3";
    for (int i = 0; i < 4; ++i) {
        if (std::toupper(static_cast<unsigned char>(header.Ident[i])) != ident[i])
            return false;
    }
    return header.Version == kMD3Version;
}

// The arrays of an accepted part have exactly the sizes its header gives, and
// every triangle indexes a vertex of its own surface: drawing relies on both.
void checkAcceptedPart(const TMD3Model& part)
{
    const TMD3Header& h = part.Header;
    check(part.Frames.size() == static_cast<size_t>(h.NumFrames), "one frame record per frame");
    check(part.Links.size() == static_cast<size_t>(h.NumTags), "one link per tag");
    check(part.Tags.size() == part.Frames.size() * part.Links.size(), "tags for every frame");
    check(part.Meshes.size() == static_cast<size_t>(h.NumSurfaces), "one mesh per surface");
    check(part.EndFrame == h.NumFrames - 1, "the frame range ends at the last frame");
    for (const TMesh& mesh : part.Meshes) {
        const TMD3SurfaceHeader& s = mesh.Header;
        const auto vertsPerFrame = static_cast<size_t>(s.NumVerts);
        check(mesh.TexCoords.size() == vertsPerFrame, "one texture coordinate per vertex");
        check(mesh.Vertices.size() == (vertsPerFrame == 0 ? 0 : vertsPerFrame * static_cast<size_t>(s.NumFrames)),
              "vertices for every vertex frame");
        check(mesh.Shaders.size() == static_cast<size_t>(s.NumShaders), "one shader record per shader");
        check(mesh.Triangles.size() == static_cast<size_t>(s.NumTriangles), "one record per triangle");
        for (const TMD3Triangle& triangle : mesh.Triangles) {
            for (int32_t index : triangle.Index)
                check(index >= 0 && static_cast<size_t>(index) < vertsPerFrame, "triangle indices name vertices");
        }
    }
}

// A part that already holds a model, as when a character is reloaded.
TMD3Model loadedPart()
{
    TMD3Model part;
    part.FileName = "previous.md3";
    part.Meshes.resize(1);
    part.CurrentFrame = 7;
    return part;
}

template <class T> bool sameRecords(const RecordArray<T>& a, const RecordArray<T>& b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

bool sameParts(const TMD3Model& a, const TMD3Model& b)
{
    if (a.FileName != b.FileName || std::memcmp(&a.Header, &b.Header, sizeof a.Header) != 0 ||
        !sameRecords(a.Frames, b.Frames) || !sameRecords(a.Tags, b.Tags) || a.Links != b.Links ||
        a.Meshes.size() != b.Meshes.size() || a.StartFrame != b.StartFrame || a.EndFrame != b.EndFrame)
        return false;
    for (size_t i = 0; i < a.Meshes.size(); ++i) {
        const TMesh& m = a.Meshes[i];
        const TMesh& n = b.Meshes[i];
        if (std::memcmp(&m.Header, &n.Header, sizeof m.Header) != 0 || !sameRecords(m.Shaders, n.Shaders) ||
            !sameRecords(m.Triangles, n.Triangles) || !sameRecords(m.TexCoords, n.TexCoords) ||
            !sameRecords(m.Vertices, n.Vertices))
            return false;
    }
    return true;
}

// Loads with load; the error message, or "" when it loaded.
template <class Load> std::string loadMd3(TMD3Model& part, Load load)
{
    try {
        load(part);
    } catch (const platform::EInOutError& error) {
        return error.what();
    }
    return {};
}

// The program reads models from disk, large files array by array: the file
// of the same bytes must give the same part or the same error. The bytes are
// padded past the size from which the reader stops reading files whole.
void compareWithFile(Input bytes)
{
    constexpr size_t kLargeFileBytes = 64 * 1024 + 1;
    std::vector<uint8_t> padded(bytes.begin(), bytes.end());
    padded.resize(std::max(padded.size(), kLargeFileBytes));
    const std::string path = scratch().file("lower.md3");
    scratch().write("lower.md3", padded);

    TMD3Model fromMemory = loadedPart(), fromFile = loadedPart();
    const std::string memoryError =
        loadMd3(fromMemory, [&](TMD3Model& part) { LoadMD3FromBytes(part, path, padded); });
    const std::string fileError = loadMd3(fromFile, [&](TMD3Model& part) { LoadMD3(part, path); });
    check(memoryError == fileError, "a model file fails as its bytes in memory do");
    check(sameParts(fromMemory, fromFile), "a model file loads as its bytes in memory do");
}

void checkImage(const DecodedImage& image)
{
    if (image.fault != ImageFault::None) {
        check(image.pixels.empty(), "a failed decode leaves no pixels");
        return;
    }
    check(image.width >= 1 && image.width <= kMaxImageSide && image.height >= 1 && image.height <= kMaxImageSide,
          "a decoded image has a supported size");
    check(image.format == GL_RGB || image.format == GL_RGBA, "pixels are RGB or RGBA");
    const size_t channels = image.format == GL_RGBA ? 4 : 3;
    check(image.pixels.size() == static_cast<size_t>(image.width * image.height) * channels,
          "one pixel per texel of the decoded size");
}

// A JPEG or PNG header alone can ask for 8192 x 8192 pixels, 256 MB, which
// is the fuzzer's whole memory limit: decode smaller sizes only.
constexpr int64_t kFuzzedImageSide = 2048;

void checkFuzzedSize(const DecodedImage& image)
{
    checkImage(image);
    check(image.fault != ImageFault::None || (image.width <= kFuzzedImageSide && image.height <= kFuzzedImageSide),
          "an image is decoded within the size asked for");
}

} // namespace

void RunMd3Input(Input bytes)
{
    compareWithFile(bytes);
    TMD3Model part = loadedPart();
    try {
        LoadMD3FromBytes(part, kModelName, bytes);
    } catch (const platform::EInOutError& error) {
        check(std::strstr(error.what(), kModelName) != nullptr, "the message names the model file");
        check(part.FileName == "previous.md3" && part.Meshes.size() == 1 && part.Frames.empty() &&
                  part.Tags.empty() && part.Links.empty() && part.CurrentFrame == 7,
              "a rejected model file leaves the part as it was");
        return;
    }
    check(part.FileName == kModelName, "the part names its file");
    if (!isKnownModel(part.Header)) {
        check(part.Meshes.size() == 1 && part.Frames.empty(), "a file of another kind keeps the old meshes");
        return;
    }
    checkAcceptedPart(part);

    // Hanging a part on a tag and walking its frames needs no GL.
    TMD3Model child;
    LinkModel(part, "tag_torso", child);
    part.FPS = 15;
    for (int step = 1; step <= 4; ++step)
        UpdateFrame(part, 0.1f * static_cast<float>(step));
}

void RunBitmapInput(Input bytes) { checkImage(DecodeBitmap(bytes)); }

// Both sets of rules read every input; the game's accept whatever the
// viewer's accept, with the same pixels where no origin bit is set (the
// game's rules ignore those bits, the viewer's honour them).
void RunTargaInput(Input bytes)
{
    const DecodedImage viewer = DecodeTarga(bytes);
    const DecodedImage game = DecodeGameTarga(bytes);
    checkImage(viewer);
    checkImage(game);
    const bool originSet = bytes.size() > 17 && (bytes[17] & 0x30) != 0;
    check(viewer.fault != ImageFault::None ||
              (game.fault == ImageFault::None && game.format == viewer.format && game.width == viewer.width &&
               (originSet || game.pixels == viewer.pixels)),
          "the game's rules read a Targa the viewer's read, alike");
    const TargaGameReading reading = ReadTargaAsGame(bytes);
    check(reading.refusal.empty() || (!reading.upsideDown && !reading.mirrored),
          "a Targa the game refuses is not also shown flipped");
}

void RunJpegInput(Input bytes) { checkFuzzedSize(DecodeJpeg(bytes, kFuzzedImageSide)); }

void RunPngInput(Input bytes)
{
    const DecodedImage image = DecodePng(bytes, kFuzzedImageSide);
    checkFuzzedSize(image);
    check(image.fault != ImageFault::None || image.format == GL_RGBA, "a PNG becomes RGBA");
}

} // namespace fuzz

namespace fuzz {

void RunImportInput(Input bytes)
{
    ImportedFiles imported;
    try {
        imported = ImportGltf(std::vector<uint8_t>(bytes.begin(), bytes.end()), "fuzz.glb", "fuzz");
    } catch (const platform::EConvertError&) {
        return;
    }
    for (const auto& [path, data] : imported.files) {
        check(!path.empty() && path[0] != '/' && path.find("..") == std::string::npos && path.find('\\') == std::string::npos,
              "every file made lies inside the folder");
        if (!path.ends_with(".md3"))
            continue;
        TMD3Model part;
        LoadMD3FromBytes(part, path, std::span(reinterpret_cast<const uint8_t*>(data.data()), data.size()));
        check(!part.Frames.empty() && part.Tags.size() == part.Frames.size() * part.Links.size(),
              "a part made reads back with its frames and tags");
    }
}

} // namespace fuzz
