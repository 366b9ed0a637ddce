#include "Targets.h"

#include "DrawnTargets.h"
#include "TargetSupport.h"

#include "OpglLib/OpglLight.h"
#include "OpglLib/OpglManage.h"
#include "OpglLib/QueltoLogo.h"
#include "app/tools/CheckOutput.h"
#include "app/tools/CheckRules.h"
#include "model/Model.h"
#include "game/GameAnimation.h"
#include "game/GameShader.h"
#include "game/Shaders.h"
#include "platform/system/Errors.h"
#include "platform/files/FileLayer.h"
#include "platform/system/IniFile.h"
#include "platform/system/System.h"
#include "textures/Textures.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
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

void runMd3(Input bytes)
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

void runBitmap(Input bytes) { checkImage(DecodeBitmap(bytes)); }

// Both sets of rules read every input; the game's accept whatever the
// viewer's accept, with the same pixels where no origin bit is set (the
// game's rules ignore those bits, the viewer's honour them).
void runTarga(Input bytes)
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

// A JPEG or PNG header alone can ask for 8192 x 8192 pixels, 256 MB, which
// is the fuzzer's whole memory limit: decode smaller sizes only.
constexpr int64_t kFuzzedImageSide = 2048;

void checkFuzzedSize(const DecodedImage& image)
{
    checkImage(image);
    check(image.fault != ImageFault::None || (image.width <= kFuzzedImageSide && image.height <= kFuzzedImageSide),
          "an image is decoded within the size asked for");
}

void runJpeg(Input bytes) { checkFuzzedSize(DecodeJpeg(bytes, kFuzzedImageSide)); }

void runPng(Input bytes)
{
    const DecodedImage image = DecodePng(bytes, kFuzzedImageSide);
    checkFuzzedSize(image);
    check(image.fault != ImageFault::None || image.format == GL_RGBA, "a PNG becomes RGBA");
}

void runSkin(Input bytes)
{
    const std::vector<std::string> lines = platform::SplitTextLines(bytes);
    for (const std::string& line : lines)
        check(line.find_first_of("\r\n") == std::string::npos, "lines hold no line ends");
    for (const SkinBinding& binding : ParseSkinLines(lines)) {
        check(binding.imageName.find('/') == std::string::npos, "an image name has no folders");
        check(binding.surfaceName.find(',') == std::string::npos, "a surface name ends at the first comma");
        check(binding.surfaceName.compare(0, 4, "tag_") != 0, "tag lines bind nothing");
    }
}

void runAnimation(Input bytes)
{
    Q3Player player;
    try {
        LoadAnimationFromLines(player, platform::SplitTextLines(bytes));
    } catch (const platform::EConvertError&) {
        return;
    }
    // Start every animation and let the parts play it; odd tables must only
    // give odd frame numbers, which drawing clamps.
    for (uint32_t k = 0; k <= kAnimationCount; ++k) {
        SetAnimation(player, k);
        for (int step = 1; step <= 3; ++step) {
            const float t = 0.25f * static_cast<float>(k * 3 + static_cast<uint32_t>(step));
            UpdateFrame(player.Lower, t);
            UpdateFrame(player.Upper, t);
        }
    }
}

// The game's reading of an animation file: problems name a line of the file,
// keywords are kept in lower case, a file the game takes holds the entries it
// needs; then every animation played by the game's clock blends by a
// fraction wherever its frames lie.
void runGameAnimation(Input bytes)
{
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const GameAnimationFile file = ReadGameAnimation(text);
    const int lines = 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    for (const AnimationProblem& problem : file.problems)
        check(problem.line >= 1 && problem.line <= lines && !problem.text.empty(), "a problem names a line of the file");
    for (const AnimationKeyword& keyword : file.keywords)
        check(std::none_of(keyword.keyword.begin(), keyword.keyword.end(), [](char c) { return std::isupper(c); }),
              "keywords are kept in lower case");
    check(file.refusal || file.entriesRead >= static_cast<int>(kTorsoGetFlag), "a file the game takes has its entries");
    check(file.entriesRead <= static_cast<int>(kGameAnimationsRead), "at most the entries the game reads");

    for (const GameAnimationEntry& animation : file.entries) {
        GamePart part;
        StartGameAnimation(part, animation);
        for (int64_t ms = 0; ms < 2000; ms += 37) {
            UpdateGameFrame(part, ms);
            if (animation.FrameLerpMs > 0)
                check(part.model.Blend >= 0.0f && part.model.Blend <= 1.0f, "the game's blend is a fraction");
        }
        StepGameFrame(part, -1, 2000);
        StepGameFrame(part, 1, 2000);
    }
}

// Every file of a mounted archive, read whole and at offsets; nothing may
// resolve outside the game data or be larger than the layer hands out.
void walkArchive(const std::string& folder, int depth)
{
    namespace files = platform::files;
    if (depth > 32)
        return;
    for (const files::FolderEntry& entry : files::ListFolder(folder)) {
        check(!entry.name.empty() && entry.name.find('/') == std::string::npos && entry.name != ".." &&
                  entry.name != ".",
              "a folder entry is one plain name");
        const std::string path = folder.empty() ? entry.name : folder + "/" + entry.name;
        const std::optional<std::string> stored = files::ResolvePath(path);
        check(stored.has_value(), "a listed entry resolves");
        check(stored->front() != '/' && ("/" + *stored + "/").find("/../") == std::string::npos,
              "stored paths stay inside");
        if (entry.isFolder) {
            check(files::DirectoryExists(path), "a listed folder is a folder");
            walkArchive(path, depth + 1);
            continue;
        }
        try {
            const std::vector<uint8_t> bytes = files::ReadFileBytes(path);
            check(bytes.size() <= platform::files::kMaxFileBytes, "no file above the size limit");
            const std::unique_ptr<files::OpenedFile> opened = files::OpenFile(path);
            check(opened->Size() == bytes.size(), "an opened file has the size of its bytes");
            if (!bytes.empty()) {
                uint8_t last = 0;
                opened->ReadAt(bytes.size() - 1, &last, 1);
                check(last == bytes.back(), "reads at offsets give the file's bytes");
            }
        } catch (const platform::EInOutError&) {
            // A damaged entry is refused with a message; that is all.
        }
    }
}

void runArchive(Input bytes)
{
    try {
        platform::files::MountArchiveBytes(bytes, "fuzz.pk3");
    } catch (const platform::EInOutError&) {
        platform::files::MountDisk();
        return;
    }
    walkArchive("", 0);
    // The game reads "/etc/passwd" as "etc/passwd" of its own data: what it
    // finds comes from the archive, never from the disk.
    const std::optional<std::string> rooted = platform::files::ResolvePath("/etc/passwd");
    check(!platform::files::ResolvePath("../fuzz.pk3") &&
              (!rooted || (*rooted != "/etc/passwd" && (platform::files::DirectoryExists("/etc/passwd") ||
                                                        platform::files::SourceOf("/etc/passwd") == "fuzz.pk3"))),
          "paths outside the game data are refused");
    platform::files::MountDisk();
}

// Lines of a script as its reader counts them: CR LF, LF or CR ends a line.
size_t lineCount(std::string_view text)
{
    size_t lines = 1;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
            ++lines;
    }
    return lines;
}

bool isBlendFactor(GLenum factor, bool source)
{
    switch (factor) {
    case GL_ZERO:
    case GL_ONE:
    case GL_SRC_ALPHA:
    case GL_ONE_MINUS_SRC_ALPHA:
    case GL_DST_ALPHA:
    case GL_ONE_MINUS_DST_ALPHA:
        return true;
    case GL_DST_COLOR:
    case GL_ONE_MINUS_DST_COLOR:
    case GL_SRC_ALPHA_SATURATE:
        return source;
    case GL_SRC_COLOR:
    case GL_ONE_MINUS_SRC_COLOR:
        return !source;
    default:
        return false;
    }
}

// A compiled shader can be handed to GL as it is: factors GL 1.1 takes in
// their places, an alpha test with its reference, images for every stage, at
// most the stages, tcMods and deforms the game allows.
void checkCompiled(const GameShader& shader)
{
    check(shader.stages.size() <= kMaxStages && shader.deforms.size() <= kMaxDeforms,
          "no more stages and deforms than the game takes");
    check(!shader.stages.empty() || shader.defaulted || shader.sort == ShaderSort::Sky || !shader.notes.empty(),
          "a shader without stages says why");
    for (const GameStage& stage : shader.stages) {
        check(!stage.images.empty() && stage.images.size() <= kMaxAnimationImages, "every stage has its images");
        check(stage.texMods.size() <= kMaxTexMods, "no more tcMods than the game takes");
        if (stage.blend)
            check(isBlendFactor(stage.blendSrc, true) && isBlendFactor(stage.blendDst, false) &&
                      !(stage.blendSrc == GL_ONE && stage.blendDst == GL_ZERO),
                  "blending uses GL 1.1 factors in their places");
        else
            check(stage.depthWrite || shader.defaulted, "an opaque stage writes depth");
        const bool half = stage.alphaFunc == GL_LESS || stage.alphaFunc == GL_GEQUAL;
        check(half || stage.alphaFunc == GL_GREATER || stage.alphaFunc == GL_ALWAYS, "alpha tests are the known three");
        check(stage.alphaRef == (half ? 0.5f : 0.0f), "an alpha test has its reference");
    }
}

void checkShaderLines(const std::vector<ShaderLine>& lines)
{
    for (const ShaderLine& line : lines) {
        check(!line.empty(), "a keyword line holds its keyword");
        check(std::none_of(line[0].begin(), line[0].end(), [](char c) { return c >= 'A' && c <= 'Z'; }),
              "keywords are stored in lower case");
    }
}

void checkShaderTable(const ShaderTable& table, const std::string& fileName, size_t lines)
{
    for (const auto& [name, definition] : table.All()) {
        check(!name.empty(), "every shader has a name");
        check(definition.name == name && NormalShaderName(name) == name, "a shader is stored by its normal name");
        check(table.Find(name) == &definition, "a stored name finds its shader");
        check(definition.fileName == fileName && definition.line >= 1 && definition.line <= lines,
              "a shader names its file and a line of it");
        checkShaderLines(definition.lines);
        for (const ShaderStage& stage : definition.stages)
            checkShaderLines(stage.lines);
        // Every other image is there: the stages depend on the names only.
        size_t images = 0;
        checkCompiled(CompileShader(definition, [&](const std::string&, bool) { return ++images % 2 == 1; }));
        checkCompiled(CompileShader(definition, [](const std::string&, bool) { return true; }));
    }
}

void runShader(Input bytes)
{
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const size_t lines = lineCount(text);
    const std::string first = "scripts/a.shader", second = "scripts/B.shader";
    std::vector<ShaderProblem> problems;
    ShaderTable table;
    table.AddFile(first, text, problems);
    check(problems.size() <= 1, "one problem at most per file");
    for (const ShaderProblem& problem : problems) {
        check(problem.fileName == first && problem.line >= 1 && problem.line <= lines,
              "a problem names its file and a line of it");
        check(problem.message.rfind(first + ", line " + std::to_string(problem.line) + ": ", 0) == 0,
              "a problem's message starts with its file and line");
    }
    checkShaderTable(table, first, lines);

    // The same file again changes nothing, as repeats within a file are
    // ignored; as a file added later it replaces every shader.
    const size_t count = table.All().size();
    std::vector<ShaderProblem> again;
    table.AddFile(first, text, again);
    check(again.size() == problems.size() && table.All().size() == count, "a file read twice reads the same");
    table.AddFile(second, text, again);
    check(table.All().size() == count, "a later file of the same shaders adds none");
    checkShaderTable(table, second, lines);
}

// Numbers read from text come back as the same number; NaN has no payload
// worth keeping.
bool sameNumber(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

template <class T> bool sameBytes(const T& a, const T& b) { return std::memcmp(&a, &b, sizeof(T)) == 0; }

// What the components take from the settings file.
struct LoadedSettings {
    int32_t lighterValue = 0;
    int32_t managerValue = 0;
    int32_t logoValue = 0;
    std::vector<TGLLight> lights;
    float axisLength = 0;
    float logoWidth = 0, scale = 0, mixRate = 0, shininess = 0;
    bool mixLogoColor = false;
    TGLColor4f ambient{}, diffuse{}, specular{}, emission{};

    bool operator==(const LoadedSettings& o) const
    {
        return lighterValue == o.lighterValue && managerValue == o.managerValue && logoValue == o.logoValue &&
               lights.size() == o.lights.size() &&
               std::memcmp(lights.data(), o.lights.data(), lights.size() * sizeof(TGLLight)) == 0 &&
               sameNumber(axisLength, o.axisLength) && sameNumber(logoWidth, o.logoWidth) &&
               sameNumber(scale, o.scale) && sameNumber(mixRate, o.mixRate) && sameNumber(shininess, o.shininess) &&
               mixLogoColor == o.mixLogoColor && sameBytes(ambient, o.ambient) && sameBytes(diffuse, o.diffuse) &&
               sameBytes(specular, o.specular) && sameBytes(emission, o.emission);
    }
};

// Makes the components (reading the settings file), takes what they loaded,
// and frees them (writing it back).
LoadedSettings loadAndSaveComponents()
{
    TGLLighter* lighter = TGLLighter::Create();
    TGLManager* manager = TGLManager::Create();
    TGLQueltoLogo* logo = TGLQueltoLogo::Create();
    LoadedSettings loaded;
    loaded.lighterValue = lighter->SettingsValue;
    loaded.managerValue = manager->SettingsValue;
    loaded.logoValue = logo->SettingsValue;
    loaded.lights = lighter->Lights;
    loaded.axisLength = manager->FAxisLength;
    loaded.logoWidth = logo->FLogoWidth;
    loaded.scale = logo->FScale;
    loaded.mixRate = logo->FMixRate;
    loaded.shininess = logo->FShinese;
    loaded.mixLogoColor = logo->FMixLogoColor;
    loaded.ambient = logo->FClrAmbient;
    loaded.diffuse = logo->FClrDiffuse;
    loaded.specular = logo->FClrSpecular;
    loaded.emission = logo->FClrEmission;
    logo->Free();
    manager->Free();
    lighter->Free();
    return loaded;
}

// A light as stored holds a valid switch byte and kind and finite numbers,
// whatever the file said.
void checkLight(const TGLLight& light)
{
    uint8_t on = 0, kind = 0;
    std::memcpy(&on, reinterpret_cast<const uint8_t*>(&light) + offsetof(TGLLight, LightOn), 1);
    std::memcpy(&kind, reinterpret_cast<const uint8_t*>(&light) + offsetof(TGLLight, LightKind), 1);
    check(on <= 1, "a light's switch is on or off");
    check(kind <= static_cast<uint8_t>(TGLLightKind::Spot), "a light's kind is known");
    float numbers[22];
    std::memcpy(numbers, reinterpret_cast<const uint8_t*>(&light) + offsetof(TGLLight, Ambient), sizeof numbers);
    for (float number : numbers)
        check(std::isfinite(number), "a light's colours, position and spot are finite");
}

// Names in the text that look like sections and keys, as queries for the
// reader; the reader decides what they really are.
void collectNames(const std::string& text, std::vector<std::string>& sections, std::vector<std::string>& keys)
{
    constexpr size_t kMaxNames = 12;
    size_t start = 0;
    while (start < text.size() && (sections.size() < kMaxNames || keys.size() < kMaxNames)) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        const size_t open = line.find('['), close = line.find(']');
        if (open != std::string::npos && close != std::string::npos && open < close && sections.size() < kMaxNames)
            sections.push_back(line.substr(open + 1, close - open - 1));
        const size_t eq = line.find('=');
        if (eq != std::string::npos && keys.size() < kMaxNames)
            keys.push_back(line.substr(0, eq));
        start = end + 1;
    }
}

void queryIniFile(const std::string& path, const std::string& text)
{
    platform::IniFile ini(path, text);
    std::vector<std::string> sections{"TGLLighter"}, keys{"FLights0"};
    collectNames(text, sections, keys);
    // A line never holds a line end, so this fallback is never a stored value.
    const std::string missing = "\n";
    for (const std::string& section : sections) {
        ini.SectionExists(section);
        for (const std::string& key : keys) {
            const bool exists = ini.ValueExists(section, key);
            check(exists == (ini.ReadString(section, key, missing) != missing), "a key exists when it has a value");
            ini.ReadInteger(section, key, 0);
            ini.ReadFloat(section, key, 0);
            ini.ReadBool(section, key, false);
            uint8_t record[sizeof(TGLLight)];
            const auto binary = ini.ReadBinary(section, key);
            check(platform::ReadBinaryRecord(ini, section, key, record, sizeof record) ==
                      (binary && binary->size() >= sizeof record),
                  "a record is filled from a value at least its size");
        }
    }
    // The program's own keys are found again after a write, whatever the
    // rest of the file holds.
    const std::string value = platform::IniFile::BytesToHex(text.data(), std::min<size_t>(text.size(), 8));
    ini.WriteString("Fuzz", "Key", value);
    check(ini.ReadString("Fuzz", "Key", missing) == value, "a written value reads back");
}

void runSettings(Input bytes)
{
    // The components find their settings beside the executable.
    static const bool moved = (platform::SetModuleFileName(scratch().file("Quillmo")), true);
    (void)moved;
    const std::string path = scratch().file("Quillmo.ini");
    queryIniFile(path, textOf(bytes));
    scratch().write("Quillmo.ini", bytes);
    const LoadedSettings first = loadAndSaveComponents();
    for (const TGLLight& light : first.lights)
        checkLight(light);
    // What was loaded was saved, and loads again unchanged.
    const LoadedSettings second = loadAndSaveComponents();
    check(second == first, "settings read back as they were saved");
}

bool startsWith(const std::string& text, const std::string& start) { return text.rfind(start, 0) == 0; }

// Each line is "SUBJECT: error: TEXT" or "SUBJECT: warning: TEXT" about the
// character or its one skin, on one line; returns whether it is an error.
bool checkFindingLine(const std::string& line)
{
    check(std::none_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }),
          "a finding is one line of text");
    for (const char* subject : {"fuzz: ", "fuzz/default: "}) {
        if (!startsWith(line, subject))
            continue;
        const std::string rest = line.substr(std::strlen(subject));
        const bool error = startsWith(rest, "error: ");
        check(error || startsWith(rest, "warning: "), "a finding says error or warning");
        check(rest.size() > std::strlen(error ? "error: " : "warning: "), "a finding has a text");
        return error;
    }
    check(false, "a finding names the character or its skin");
    return false;
}

void runChecker(Input bytes)
{
    const std::string folder = scratch().file("checker");
    const bool skinGiven = writeCharacterFiles("checker", bytes);
    const std::string text = textOf(bytes);
    const std::vector<std::string_view> pieces = checkerPieces(text);
    const MountedFolder mounted(folder);
    const ShaderTable noShaders;
    CheckReport report;
    CheckCharacter("fuzz", "", noShaders, report);
    check(report.characters == 1 && report.skins == (skinGiven ? 1 : 0), "one character and its skins are counted");

    int errors = 0, warnings = 0;
    for (const CheckFinding& finding : report.findings)
        (checkFindingLine(FindingLine(finding)) ? errors : warnings) += 1;
    check(report.Errors() == errors && report.Warnings() == warnings, "the counts are those of the lines");
    const std::string summary = SummaryLine(report);
    char expected[128];
    std::snprintf(expected, sizeof expected, "1 character, %d skin%s: %d error%s, %d warning%s", report.skins,
                  report.skins == 1 ? "" : "s", errors, errors == 1 ? "" : "s", warnings, warnings == 1 ? "" : "s");
    check(summary == expected, "the summary counts the lines");
    for (size_t i = 0; i < 3; ++i) {
        if (i >= pieces.size() || pieces[i].empty())
            check(std::any_of(report.findings.begin(), report.findings.end(),
                              [&](const CheckFinding& f) {
                                  return f.severity == Severity::Error &&
                                         f.text.rfind(std::string(kCheckerFiles[i]) + " is missing", 0) == 0;
                              }),
                  "a missing part is an error");
    }

    // The same folder checked again says the same.
    CheckReport again;
    CheckCharacter("fuzz", "", noShaders, again);
    check(again.findings.size() == report.findings.size() &&
              std::equal(again.findings.begin(), again.findings.end(), report.findings.begin(),
                         [](const CheckFinding& a, const CheckFinding& b) { return FindingLine(a) == FindingLine(b); }),
          "a check says the same every time");
}

constexpr Target kTargets[] = {
    {"md3", runMd3},       {"bitmap", runBitmap},       {"targa", runTarga},       {"jpeg", runJpeg},
    {"png", runPng},       {"skin", runSkin},           {"animation", runAnimation}, {"settings", runSettings},
    {"shader", runShader}, {"gameanimation", runGameAnimation}, {"pk3", runArchive}, {"checker", runChecker},
    {"export", RunExportInput, true}, {"record", RunRecordInput, true},
};

} // namespace

std::span<const Target> Targets() { return kTargets; }

const Target* FindTarget(std::string_view name)
{
    for (const Target& target : kTargets) {
        if (name == target.name)
            return &target;
    }
    return nullptr;
}

} // namespace fuzz
