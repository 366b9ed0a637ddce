// The entry points of the text readers: skin files, animation files (the
// viewer's reading and the game's), shader scripts and the settings file.
#include "TextTargets.h"

#include "TargetSupport.h"

#include "OpglLib/OpglLight.h"
#include "OpglLib/OpglManage.h"
#include "OpglLib/QueltoLogo.h"
#include "game/GameAnimation.h"
#include "game/GameShader.h"
#include "game/Shaders.h"
#include "model/Model.h"
#include "platform/system/Errors.h"
#include "platform/system/IniFile.h"
#include "platform/system/System.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

namespace {

using namespace support;

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

} // namespace

void RunSkinInput(Input bytes)
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

void RunAnimationInput(Input bytes)
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
void RunGameAnimationInput(Input bytes)
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

void RunShaderInput(Input bytes)
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

void RunSettingsInput(Input bytes)
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

} // namespace fuzz
