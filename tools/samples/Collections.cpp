#include "tools/samples/Collections.h"

#include "platform/system/System.h"
#include "tools/samples/GameTree.h"
#include "tools/samples/SampleGame.h"
#include "tools/writers/ZipArchive.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <vector>

namespace samples {

namespace {

namespace fs = std::filesystem;

constexpr const char* kPlayers = "models/players/";
constexpr const char* kCharacterSources[] = {kBruno, kMira, kOskar};
constexpr const char* kWeaponFolder = "models/weapons2/";
constexpr const char* kWeaponScriptPath = kWeaponScript;
constexpr const char* kCharacterScriptPath = kCharacterScript;
constexpr int kTargaHeaderSize = 18;
constexpr int kPixelsPerRun = 128;

// The sample game as the game sees it, written loose into a scratch folder
// and read back.
GameTree sampleGameFiles()
{
    const fs::path scratch = fs::temp_directory_path() / ("quillmo-collection-" + std::to_string(::getpid()));
    fs::remove_all(scratch);
    writeSampleGame(scratch.string(), GameLayout::Loose);
    GameTree tree = resolveGameTree(scratch.string());
    fs::remove_all(scratch);
    return tree;
}

bool startsWithIgnoringCase(const std::string& text, const std::string& start)
{
    return platform::LowerCase(text.substr(0, start.size())) == platform::LowerCase(start);
}

// Every "models/players/FROM/" in text, in any letter case, as "models/players/TO/".
std::string movedFolder(const std::string& text, const std::string& from, const std::string& to)
{
    const std::string lower = platform::LowerCase(text);
    const std::string wanted = platform::LowerCase(kPlayers + from + "/");
    std::string out;
    size_t at = 0;
    for (size_t found = lower.find(wanted); found != std::string::npos; found = lower.find(wanted, at)) {
        out += text.substr(at, found - at) + kPlayers + to + "/";
        at = found + wanted.size();
    }
    return out + text.substr(at);
}

bool isText(const std::string& path)
{
    const std::string lower = platform::LowerCase(path);
    for (const std::string extension : {".skin", ".cfg", ".shader"})
        if (lower.size() > extension.size() && lower.compare(lower.size() - extension.size(), std::string::npos, extension) == 0)
            return true;
    return false;
}

// The files of character from under the name to, with their texts and the
// character script's shaders moved along.
std::vector<writers::ZipEntry> movedCharacter(const GameTree& tree, const std::string& from, const std::string& to)
{
    std::vector<writers::ZipEntry> entries;
    const std::string folder = kPlayers + from + "/";
    for (const auto& [key, file] : tree) {
        if (!startsWithIgnoringCase(file.path, folder))
            continue;
        const std::string path = kPlayers + to + "/" + file.path.substr(folder.size());
        entries.push_back({path, isText(path) ? movedFolder(file.bytes, from, to) : file.bytes, true});
    }
    if (auto script = tree.find(platform::LowerCase(kCharacterScriptPath)); script != tree.end())
        entries.push_back({"scripts/" + to + ".shader", movedFolder(script->second.bytes, from, to), true});
    return entries;
}

// A run-length Targa (type 10, 24 bits) of side x side pixels of one colour:
// full runs of 128 pixels, four bytes each.
std::string oneColourTarga(int side, uint8_t red, uint8_t green, uint8_t blue)
{
    std::string bytes(kTargaHeaderSize, '\0');
    bytes[2] = 10;
    bytes[12] = static_cast<char>(side & 0xFF);
    bytes[13] = static_cast<char>(side >> 8);
    bytes[14] = bytes[12];
    bytes[15] = bytes[13];
    bytes[16] = 24;
    const char run[] = {static_cast<char>(0x80 | (kPixelsPerRun - 1)), static_cast<char>(blue),
                        static_cast<char>(green), static_cast<char>(red)};
    const int64_t runs = int64_t{side} * side / kPixelsPerRun;
    bytes.reserve(bytes.size() + static_cast<size_t>(runs) * sizeof run);
    for (int64_t i = 0; i < runs; ++i)
        bytes.append(run, sizeof run);
    return bytes;
}

} // namespace

std::string collectionCharacter(int index)
{
    char name[16];
    std::snprintf(name, sizeof name, "char%04d", index);
    return name;
}

void writeSampleCollection(const std::string& folder, int count)
{
    const GameTree tree = sampleGameFiles();
    for (int i = 0; i < count; ++i) {
        const std::string name = collectionCharacter(i);
        std::vector<writers::ZipEntry> entries = movedCharacter(tree, kCharacterSources[i % 3], name);
        if (i == 0) {
            for (const auto& [key, file] : tree)
                if (startsWithIgnoringCase(file.path, kWeaponFolder) ||
                    platform::SameText(file.path, kWeaponScriptPath))
                    entries.push_back({file.path, file.bytes, true});
        }
        writers::writeZip(folder + "/" + name + ".pk3", entries);
    }
}

void writeImageBombArchive(const std::string& path)
{
    const GameTree tree = sampleGameFiles();
    std::vector<writers::ZipEntry> entries;
    const std::string folder = std::string(kPlayers) + kImageBombCharacter + "/";
    const char* parts[] = {"lower", "upper", "head"};
    for (writers::ZipEntry& entry : movedCharacter(tree, kOskar, kImageBombCharacter)) {
        // Every line of each skin names the part's one large image.
        for (const char* part : parts) {
            if (!startsWithIgnoringCase(entry.name, folder + part + "_"))
                continue;
            std::istringstream lines(entry.bytes);
            std::string skin;
            for (std::string line; std::getline(lines, line);) {
                const size_t comma = line.find(',');
                skin += (comma == std::string::npos ? line : line.substr(0, comma + 1) + folder + part + ".tga") + "\n";
            }
            entry.bytes = skin;
        }
        entries.push_back(std::move(entry));
    }
    const uint8_t shades[][3] = {{200, 60, 40}, {40, 160, 80}, {60, 80, 200}};
    for (int i = 0; i < 3; ++i)
        entries.push_back({folder + parts[i] + ".tga",
                           oneColourTarga(kImageBombSide, shades[i][0], shades[i][1], shades[i][2]), true});
    writers::writeZip(path, entries);
}

} // namespace samples
