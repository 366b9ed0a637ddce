// The run of --import: the file read with the glTF library (images kept as
// stored), its character made by the reader of its layout, written into the
// game data folder and checked.
#include "GltfImport.h"

#include "ImportLayouts.h"

#include "app/common/Outputs.h"
#include "app/tools/Check.h"
#include "app/tools/Thumbnail.h"
#include "platform/system/Errors.h"
#include "platform/system/System.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

namespace fs = std::filesystem;
using platform::EConvertError;

// The longest character name whose files all fit the game's 63-byte paths
// ("models/players/NAME/" and "lower_default.skin" and the like).
constexpr size_t kLongestName = 24;
// The side of the icons drawn for skins that have none.
constexpr int kIconSide = 128;

// The loader keeps each image's bytes as the file stores them (PNG or JPEG),
// to be written as they are: nothing is decoded.
bool keepImageBytes(tinygltf::Image* image, const int, std::string*, std::string*, int, int,
                    const unsigned char* bytes, int size, void*)
{
    image->image.assign(bytes, bytes + size);
    return true;
}

void append(std::string& out, const void* data, size_t size) { out.append(static_cast<const char*>(data), size); }

template <class T> void appendRecords(std::string& out, const std::vector<T, RecordAllocator<T>>& records)
{
    append(out, records.data(), records.size() * sizeof(T));
}

void putInt(std::string& out, size_t at, int64_t value)
{
    const auto v = static_cast<int32_t>(value);
    std::memcpy(out.data() + at, &v, sizeof v);
}

std::string skinText(const std::vector<std::pair<std::string, std::string>>& lines)
{
    std::string text;
    for (const auto& [surface, shader] : lines)
        text += surface + "," + shader + "\n";
    return text;
}

// A path of the game data as the game reads it (one leading separator
// dropped, "\\" taken for "/"), or "" for one that would lead out of the
// folder it is written into.
std::string gameDataPath(std::string path)
{
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.starts_with("/"))
        path.erase(0, 1);
    size_t start = 0;
    for (size_t end; start <= path.size(); start = end + 1) {
        end = std::min(path.find('/', start), path.size());
        const std::string part = path.substr(start, end - start);
        if (part.empty() || part == "." || part == ".." || part.find(':') != std::string::npos)
            return "";
    }
    return path;
}

std::string checkedName(const std::string& name)
{
    if (name.empty() || name == "." || name == ".." || name.find_first_of("/\\:") != std::string::npos ||
        name.size() > kLongestName)
        throw EConvertError("'" + name + "' cannot name a character: give --name with at most " +
                            std::to_string(kLongestName) + " bytes and no separators");
    return name;
}

// The name a file gives its character: the root node's, else its file name.
std::string nameOf(const gltfin::GltfScene& scene, const std::string& fileName, bool own)
{
    if (own)
        for (const tinygltf::Node& node : scene.Model().nodes)
            if (node.extras.Has("animationFile") && !node.name.empty())
                return node.name;
    const std::string file = platform::ExtractFileName(fileName);
    return platform::LowerCase(file.substr(0, file.rfind('.')));
}

// The game refuses a character whose skin has no icon: a skin the file
// carries none for gets a picture of the character drawn as its icon.
void drawIcons(const fs::path& folder, const std::vector<std::string>& skins)
{
    if (skins.empty())
        return;
    // A stand-in icon while the character is drawn, so that loading it for
    // the picture does not find it refused.
    const std::vector<uint8_t> standIn{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 32, 8, 0, 0, 0, 255};
    try {
        for (const std::string& skin : skins)
            platform::WriteFileBytes((folder / ("icon_" + skin + ".tga")).string(), standIn);
    } catch (const std::exception&) {
    }
    const fs::path drawn = folder / "icon.partial.png";
    CommandLine thumbnail;
    thumbnail.thumbnailInput = (folder / "head.md3").string();
    thumbnail.thumbnailOutput = drawn.string();
    thumbnail.thumbnailSize = kIconSide;
    std::vector<uint8_t> icon;
    if (RunThumbnail(thumbnail) == kExitDone) {
        try {
            icon = gltfin::TargaOfPng(platform::ReadFileBytes(drawn.string()));
        } catch (const std::exception&) {
        }
    }
    std::error_code error;
    fs::remove(drawn, error);
    if (icon.empty()) {
        std::fprintf(stderr, "Quillmo: import: no icon could be drawn for the skins without one\n");
        return;
    }
    try {
        for (const std::string& skin : skins)
            platform::WriteFileBytes((folder / ("icon_" + skin + ".tga")).string(), icon);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Quillmo: import: %s\n", e.what());
        return;
    }
    std::fprintf(stderr, "Quillmo: import: drew the icon of skin%s %s\n", skins.size() > 1 ? "s" : "",
                 [&] {
                     std::string names;
                     for (const std::string& skin : skins)
                         names += (names.empty() ? "'" : ", '") + skin + "'";
                     return names;
                 }()
                     .c_str());
}

} // namespace

std::string Md3Bytes(const TMD3Model& part)
{
    TMD3Header header = part.Header;
    std::memcpy(header.Ident, "IDP3", 4);
    header.Version = kMD3Version;
    header.NumFrames = static_cast<int32_t>(part.Frames.size());
    header.NumTags = static_cast<int32_t>(part.Links.size());
    header.NumSurfaces = static_cast<int32_t>(part.Meshes.size());
    header.OfsFrames = sizeof(TMD3Header);
    header.OfsTags = static_cast<int32_t>(header.OfsFrames + part.Frames.size() * sizeof(TMD3Frame));
    header.OfsSurfaces = static_cast<int32_t>(header.OfsTags + part.Tags.size() * sizeof(TMD3Tag));
    std::string out;
    append(out, &header, sizeof header);
    appendRecords(out, part.Frames);
    appendRecords(out, part.Tags);
    for (const TMesh& mesh : part.Meshes) {
        TMD3SurfaceHeader s = mesh.Header;
        std::memcpy(s.Ident, "IDP3", 4);
        s.NumShaders = static_cast<int32_t>(mesh.Shaders.size());
        s.NumTriangles = static_cast<int32_t>(mesh.Triangles.size());
        s.NumVerts = static_cast<int32_t>(mesh.TexCoords.size());
        // A surface without vertices keeps the frames its header claims.
        if (s.NumVerts > 0)
            s.NumFrames = static_cast<int32_t>(mesh.Vertices.size() / mesh.TexCoords.size());
        s.OfsShaders = sizeof(TMD3SurfaceHeader);
        s.OfsTriangles = static_cast<int32_t>(s.OfsShaders + mesh.Shaders.size() * sizeof(TMD3Shader));
        s.OfsSt = static_cast<int32_t>(s.OfsTriangles + mesh.Triangles.size() * sizeof(TMD3Triangle));
        s.OfsXyzNormal = static_cast<int32_t>(s.OfsSt + mesh.TexCoords.size() * sizeof(TMD3TexCoord));
        s.OfsEnd = static_cast<int32_t>(s.OfsXyzNormal + mesh.Vertices.size() * sizeof(TMD3Vertex));
        append(out, &s, sizeof s);
        appendRecords(out, mesh.Shaders);
        appendRecords(out, mesh.Triangles);
        appendRecords(out, mesh.TexCoords);
        appendRecords(out, mesh.Vertices);
    }
    putInt(out, offsetof(TMD3Header, OfsEnd), static_cast<int64_t>(out.size()));
    return out;
}

ImportedFiles ImportGltf(const std::vector<uint8_t>& bytes, const std::string& fileName, const std::string& name)
{
    tinygltf::TinyGLTF loader;
    loader.SetImageLoader(keepImageBytes, nullptr);
    tinygltf::Model model;
    std::string error, warning;
    const bool binary = bytes.size() >= 4 && std::memcmp(bytes.data(), "glTF", 4) == 0;
    const std::string folder = platform::ExtractFilePath(fileName);
    const bool read = binary ? loader.LoadBinaryFromMemory(&model, &error, &warning, bytes.data(),
                                                           static_cast<unsigned int>(bytes.size()), folder)
                             : loader.LoadASCIIFromString(&model, &error, &warning,
                                                          reinterpret_cast<const char*>(bytes.data()),
                                                          static_cast<unsigned int>(bytes.size()), folder);
    if (!read)
        throw EConvertError(fileName + " is not a glTF file the import can read: " + (error.empty() ? warning : error));
    const gltfin::GltfScene scene(std::move(model));
    const bool own = gltfin::IsOwnLayout(scene);
    ImportedFiles out;
    out.name = checkedName(name.empty() ? nameOf(scene, fileName, own) : name);
    gltfin::ImportedCharacter character =
        own ? gltfin::ReadOwnLayout(scene, out.name) : gltfin::ReadToolLayout(scene, out.name);
    out.notes = std::move(character.notes);
    out.refusals = std::move(character.refusals);
    if (!out.refusals.empty())
        return out;
    const std::string folderPath = "models/players/" + out.name + "/";
    for (int p = 0; p < gltfin::kPartCount; ++p)
        out.files.emplace_back(folderPath + gltfin::PartFileName(static_cast<gltfin::ImportedPart>(p)) + ".md3",
                               Md3Bytes(character.parts[static_cast<size_t>(p)]));
    for (const gltfin::ImportedCharacter::Skin& skin : character.skins)
        for (int p = 0; p < gltfin::kPartCount; ++p) {
            // The files a variant carries as written, else its lines.
            const std::string part = gltfin::PartFileName(static_cast<gltfin::ImportedPart>(p));
            const auto carried = skin.files.find(part);
            if (carried == skin.files.end() && !skin.files.empty())
                continue;
            out.files.emplace_back(folderPath + part + "_" + skin.name + ".skin",
                                   carried != skin.files.end() ? carried->second
                                                               : skinText(skin.lines[static_cast<size_t>(p)]));
        }
    out.files.emplace_back(folderPath + "animation.cfg", character.animationFile);
    for (auto& [path, image] : character.images) {
        const std::string safe = gameDataPath(path);
        if (safe.empty())
            out.notes.push_back("image '" + path + "' would lie outside the game data; left out");
        else
            out.files.emplace_back(safe, std::string(image.begin(), image.end()));
    }
    for (const gltfin::ImportedCharacter::Skin& skin : character.skins) {
        const std::string icon = folderPath + "icon_" + skin.name + ".";
        if (std::none_of(out.files.begin(), out.files.end(), [&](const auto& file) { return file.first.starts_with(icon); }))
            out.iconsToDraw.push_back(skin.name);
    }
    if (!character.shaders.empty()) {
        std::string script;
        for (const auto& [shader, text] : character.shaders)
            script += text + "\n\n";
        out.files.emplace_back("scripts/" + out.name + ".shader", script);
    }
    // Nothing is written outside the folder, whatever names the file holds.
    std::erase_if(out.files, [&](const auto& file) {
        const bool outside = gameDataPath(file.first) != file.first;
        if (outside)
            out.notes.push_back("'" + file.first + "' would lie outside the game data; left out");
        return outside;
    });
    return out;
}

int RunImport(const CommandLine& options)
{
    const std::string& input = *options.importFile;
    const fs::path root = *options.importTo;
    ImportedFiles imported;
    try {
        imported = ImportGltf(platform::ReadFileBytes(input), input, options.importName.value_or(""));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Quillmo: %s\n", e.what());
        return kExitCannotRun;
    }
    for (const std::string& note : imported.notes)
        std::fprintf(stderr, "Quillmo: import: %s\n", note.c_str());
    if (!imported.refusals.empty()) {
        for (const std::string& refusal : imported.refusals)
            std::fprintf(stderr, "Quillmo: import: %s\n", refusal.c_str());
        std::fprintf(stderr, "Quillmo: %s was not written\n", input.c_str());
        return kExitProblems;
    }
    const fs::path folder = root / "models" / "players" / imported.name;
    std::error_code error;
    if (!options.force && fs::exists(folder / "lower.md3", error)) {
        std::fprintf(stderr, "Quillmo: %s already holds a character; give another --name, or --force to write over it\n",
                     folder.string().c_str());
        return kExitCannotRun;
    }
    try {
        for (const auto& [path, bytes] : imported.files) {
            const fs::path file = root / path;
            fs::create_directories(file.parent_path());
            platform::WriteFileBytes(file.string(),
                                     std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Quillmo: cannot write into %s: %s\n", root.string().c_str(), e.what());
        return kExitCannotRun;
    }
    std::fprintf(stderr, "Quillmo: wrote %zu files of '%s' into %s\n", imported.files.size(), imported.name.c_str(),
                 root.string().c_str());
    drawIcons(folder, imported.iconsToDraw);
    // What the game will make of it, as --check says.
    CommandLine check;
    check.check = true;
    check.gameRoot = root.string();
    check.paths = {imported.name};
    check.format = options.format;
    check.jobs = 1;
    return RunCheck(check);
}
