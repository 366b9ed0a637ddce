#include "CheckShaders.h"

#include "game/GameData.h"
#include "game/GameShader.h"
#include "platform/files/FileLayer.h"
#include "platform/system/System.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace {

namespace files = platform::files;

constexpr const char* kDrawsStagesBefore = "the game draws this surface with the stages before the problem only";

std::string placeText(const std::string& file, size_t line) { return file + ", line " + std::to_string(line); }

// A "surfaceparm nodraw" line among the shader's own keyword lines.
bool saysNoDraw(const ShaderDefinition& definition)
{
    return std::any_of(definition.lines.begin(), definition.lines.end(), [](const ShaderLine& line) {
        return line.size() >= 2 && line[0] == "surfaceparm" && platform::SameText(line[1], "nodraw");
    });
}

} // namespace

// A shader with more than one definition: which one the game takes.
void ShaderCheck::reportDefinedTwice(const std::string& skin, const std::string& whereText,
                                     const std::string& texture, const ShaderDefinition& definition)
{
    if (definition.overrides.empty() || !reportedTwice_.insert(skin + '\n' + definition.name).second)
        return;
    std::vector<std::string> others;
    bool looseRival = false;
    const bool looseWinner = !files::HasArchiveExtension(files::SourceOf(definition.fileName));
    for (const ShaderPlace& place : definition.overrides) {
        others.push_back(placeText(place.fileName, place.line));
        looseRival = looseRival || (place.fileName != definition.fileName &&
                                    !files::HasArchiveExtension(files::SourceOf(place.fileName)));
    }
    const std::string used = placeText(definition.fileName, definition.line);
    std::string text = whereText + ": shader " + Quoted(texture) + " is defined " + std::to_string(others.size() + 1) +
                       " times; the game uses the one in " + used +
                       " (the first in the scripts as the game joins them) over " + NameList(others);
    if (looseWinner && looseRival)
        text += "; between scripts of one folder the game follows the order the system lists them in, "
                "Quillmo takes the later name";
    findings_.Add(skin, Severity::Warning, FindingKind::ShaderDefinedTwice, {definition.fileName, definition.line},
                  text, "the game uses the definition in " + used);
}

// A shader the game cannot make as written, and the images of its stages.
void ShaderCheck::Check(const std::string& skin, const std::string& whereText, const std::string& texture,
                        const ShaderDefinition& definition, std::set<std::string>& reportedImages)
{
    reportDefinedTwice(skin, whereText, texture, definition);
    const Place script{definition.fileName, definition.line};
    const std::string shaderPlace =
        "shader " + Quoted(texture) + " (" + placeText(definition.fileName, definition.line) + ")";
    const auto add = [&](Severity severity, FindingKind kind, const std::string& text, const char* gameDoes) {
        findings_.Add(skin, severity, kind, script, whereText + ": " + shaderPlace + text, gameDoes);
    };
    std::vector<std::string> images;
    const GameShader shader = CompileShader(definition, [&](const std::string& image, bool) {
        const std::optional<std::string> path = FindGameImage(image);
        if (path)
            images.push_back(*path);
        else
            add(Severity::Error, FindingKind::ShaderImageMissing,
                " draws image " + Quoted(image) + ", which is not there", kDrawsStagesBefore);
        return path.has_value();
    });
    const bool missingImage = !shader.notes.empty() && shader.notes.back().find("is not there") != std::string::npos;
    const bool stageless = shader.notes.size() == 1 && shader.notes[0] == kNoStagesNote;
    // A stageless "surfaceparm nodraw" shader hides its surface, as meant.
    if (stageless && !saysNoDraw(definition))
        add(Severity::Warning, FindingKind::ShaderWithoutStages,
            " has no stages; the game draws this surface invisible", kDrawsInvisible);
    else if (shader.defaulted && !stageless && !missingImage)
        add(Severity::Error, FindingKind::ShaderUnusable,
            ": " + shader.notes.back() + "; the game draws this surface with the stages before it only",
            kDrawsStagesBefore);
    // A stage without an image ("{ }") ends what the game draws of a
    // shader it otherwise makes.
    for (const std::string& note : shader.notes) {
        if (!shader.defaulted && note.rfind("stage ", 0) == 0 && note.find("has no image") != std::string::npos)
            add(Severity::Error, FindingKind::ShaderUnusable, ": " + note, kDrawsStagesBefore);
    }
    for (const std::string& image : images)
        images_.Report(skin, whereText, image, reportedImages);
}
