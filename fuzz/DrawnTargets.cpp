#include "DrawnTargets.h"

#include "TargetSupport.h"

#include "app/export/AnimatedPreview.h"
#include "app/export/GltfExport.h"
#include "app/viewer/CommandLine.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fuzz {

namespace {

using namespace support;
using nlohmann::json;

constexpr uint32_t kGlbMagic = 0x46546C67; // "glTF"
constexpr uint32_t kJsonChunk = 0x4E4F534A;
constexpr uint32_t kBinChunk = 0x004E4942;
constexpr int kFloat = 5126;

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t u32(const std::string& bytes, size_t at)
{
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

bool holdsNull(const json& value)
{
    if (value.is_null())
        return true;
    if (value.is_array() || value.is_object())
        for (const json& item : value)
            if (holdsNull(item))
                return true;
    return false;
}

size_t componentBytes(int type)
{
    switch (type) {
    case 5120: case 5121: return 1;
    case 5122: case 5123: return 2;
    case 5125: case 5126: return 4;
    default: return 0;
    }
}

size_t componentCount(const std::string& type)
{
    static const std::pair<const char*, size_t> kCounts[] = {{"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4},
                                                             {"MAT2", 4},   {"MAT3", 9}, {"MAT4", 16}};
    for (const auto& [name, count] : kCounts)
        if (type == name)
            return count;
    return 0;
}

void checkGlb(const std::string& file)
{
    check(file.size() >= 20 && u32(file, 0) == kGlbMagic && u32(file, 4) == 2, "a .glb begins as glTF 2.0 does");
    check(u32(file, 8) == file.size(), "a .glb is as long as its header says");
    const size_t jsonLength = u32(file, 12);
    check(u32(file, 16) == kJsonChunk && jsonLength <= file.size() - 20, "the JSON chunk comes first and fits");
    json gltf;
    try {
        gltf = json::parse(file.substr(20, jsonLength));
    } catch (const json::exception&) {
        check(false, "the JSON chunk parses");
    }
    check(!holdsNull(gltf), "no null in the JSON (a number that is none)");
    std::string bin;
    const size_t binAt = 20 + jsonLength;
    if (file.size() - binAt >= 8) {
        check(u32(file, binAt + 4) == kBinChunk && u32(file, binAt) <= file.size() - binAt - 8,
              "the binary chunk follows and fits");
        bin = file.substr(binAt + 8, u32(file, binAt));
    }
    const json& views = gltf.value("bufferViews", json::array());
    for (const json& view : views) {
        const uint64_t offset = view.value("byteOffset", uint64_t{0});
        const uint64_t length = view.value("byteLength", uint64_t{0});
        check(offset <= bin.size() && length <= bin.size() - offset, "a buffer view lies inside the buffer");
    }
    for (const json& accessor : gltf.value("accessors", json::array())) {
        if (!accessor.contains("bufferView"))
            continue;
        const json& view = views.at(accessor["bufferView"].get<size_t>());
        const size_t element = componentBytes(accessor.value("componentType", 0)) *
                               componentCount(accessor.value("type", std::string()));
        check(element > 0, "an accessor has a known type");
        const uint64_t count = accessor.value("count", uint64_t{0});
        const uint64_t offset = accessor.value("byteOffset", uint64_t{0});
        const uint64_t stride = view.value("byteStride", uint64_t{element});
        const uint64_t length = view.value("byteLength", uint64_t{0});
        check(count == 0 || (offset <= length && (count - 1) * stride + element <= length - offset),
              "an accessor lies inside its buffer view");
        if (accessor.value("componentType", 0) != kFloat || count == 0)
            continue;
        const uint64_t base = view.value("byteOffset", uint64_t{0}) + offset;
        for (uint64_t i = 0; i < count; ++i)
            for (size_t c = 0; c < element / sizeof(float); ++c) {
                float value = 0;
                std::memcpy(&value, bin.data() + base + i * stride + c * sizeof(float), sizeof value);
                check(std::isfinite(value), "every float of an accessor is a finite number");
            }
    }
}

// The options of a run on the character of the input, in a game folder of
// the scratch folder's own. The game refuses a character without an icon and draws nothing of it: the
// folder of every input has one, a grey 2 x 2 Targa, so that the input's
// parts are what is drawn.
CommandLine characterOptions(const std::string& game, Input bytes)
{
    const std::string folder = game + "/models/players/fuzz";
    writeCharacterFiles(folder, bytes);
    static const uint8_t kIcon[18 + 12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0,
                                           128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128};
    scratch().write(folder + "/icon_default.tga", Input(kIcon, sizeof kIcon));
    CommandLine options;
    options.gameRoot = scratch().file(game);
    options.character = "fuzz";
    options.weapon = "none";
    return options;
}

} // namespace

void RunExportInput(Input bytes)
{
    CommandLine options = characterOptions("export", bytes);
    const std::string out = scratch().file("fuzz.glb");
    std::filesystem::remove(out);
    options.exportFile = out;
    options.allSkins = true;
    const int status = RunExport(options);
    check(status >= 0 && status <= 2, "the exit status is 0, 1 or 2");
    const bool written = std::filesystem::exists(out);
    check(written == (status != 2), "a file is written exactly when the exit status says so");
    if (written)
        checkGlb(readFile(out));
}

void RunRecordInput(Input bytes)
{
    CommandLine options = characterOptions("record", bytes);
    const bool gif = bytes.size() % 2 == 0;
    const std::string out = scratch().file(gif ? "fuzz.gif" : "fuzz.webp");
    std::filesystem::remove(out);
    options.recordFile = out;
    options.size = std::pair{24, 30};
    options.seconds = 0.2;
    const int status = RunRecord(options);
    check(status >= 0 && status <= 2, "the exit status is 0, 1 or 2");
    const bool written = std::filesystem::exists(out);
    check(status != 0 || written, "a recording that says it is written is there");
    check(status != 2 || !written, "a recording that could not be made leaves no file");
    if (!written)
        return;
    const std::string file = readFile(out);
    check(gif ? file.rfind("GIF89a", 0) == 0 : (file.rfind("RIFF", 0) == 0 && file.compare(8, 4, "WEBP") == 0),
          "a recording begins as its format does");
}

} // namespace fuzz
