#include "Surfaces.h"

#include "app/common/CharacterPicture.h"
#include "app/common/Outputs.h"
#include "platform/system/Dialogs.h"
#include "platform/system/Errors.h"
#include "platform/system/System.h"
#include "platform/window/BareGLWindow.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <sstream>

namespace {

using Json = nlohmann::ordered_json;

const char* factorName(GLenum factor)
{
    switch (factor) {
    case GL_ONE: return "GL_ONE";
    case GL_ZERO: return "GL_ZERO";
    case GL_DST_COLOR: return "GL_DST_COLOR";
    case GL_ONE_MINUS_DST_COLOR: return "GL_ONE_MINUS_DST_COLOR";
    case GL_SRC_COLOR: return "GL_SRC_COLOR";
    case GL_ONE_MINUS_SRC_COLOR: return "GL_ONE_MINUS_SRC_COLOR";
    case GL_SRC_ALPHA: return "GL_SRC_ALPHA";
    case GL_ONE_MINUS_SRC_ALPHA: return "GL_ONE_MINUS_SRC_ALPHA";
    case GL_DST_ALPHA: return "GL_DST_ALPHA";
    case GL_ONE_MINUS_DST_ALPHA: return "GL_ONE_MINUS_DST_ALPHA";
    case GL_SRC_ALPHA_SATURATE: return "GL_SRC_ALPHA_SATURATE";
    default: return "?";
    }
}

const char* rgbGenName(RgbGen gen)
{
    constexpr const char* kNames[] = {"identityLighting", "identity", "lightingDiffuse", "vertex", "exactVertex",
                                      "oneMinusVertex", "entity", "oneMinusEntity", "const", "wave"};
    return kNames[static_cast<size_t>(gen)];
}

const char* alphaGenName(AlphaGen gen)
{
    constexpr const char* kNames[] = {"identity", "const", "wave", "entity", "oneMinusEntity",
                                      "vertex", "oneMinusVertex", "lightingSpecular", "portal"};
    return kNames[static_cast<size_t>(gen)];
}

const char* tcGenName(TexGen gen)
{
    constexpr const char* kNames[] = {"texture", "lightmap", "environment", "vector"};
    return kNames[static_cast<size_t>(gen)];
}

std::string number(float value)
{
    std::ostringstream text;
    text << value;
    return text.str();
}

std::string tcModText(const TexMod& mod)
{
    auto values = [&](size_t count) {
        std::string text;
        for (size_t i = 0; i < count; ++i)
            text += " " + number(mod.values[i]);
        return text;
    };
    switch (mod.kind) {
    case TexMod::Kind::Scroll: return "scroll" + values(2);
    case TexMod::Kind::Scale: return "scale" + values(2);
    case TexMod::Kind::Rotate: return "rotate" + values(1);
    case TexMod::Kind::Stretch: return "stretch";
    case TexMod::Kind::Turb: return "turb";
    case TexMod::Kind::Transform: return "transform" + values(6);
    case TexMod::Kind::EntityTranslate: return "entityTranslate";
    case TexMod::Kind::None: return "(not read)";
    }
    return "";
}

std::string blendText(const GameStage& stage)
{
    return stage.blend ? std::string(factorName(stage.blendSrc)) + " " + factorName(stage.blendDst) : std::string();
}

std::string placeText(const GameFilePlace& place)
{
    return place.path + (place.source.empty() ? "" : " in " + place.source);
}

Json placeJson(const std::optional<GameFilePlace>& place)
{
    if (!place)
        return nullptr;
    return {{"path", place->path}, {"archive", place->source}};
}

Json stageJson(const GameStage& stage)
{
    Json images = Json::array();
    for (const StageImageUse& image : StageImages(stage)) {
        images.push_back({{"name", image.name},
                          {"path", image.file ? Json(image.file->path) : Json(nullptr)},
                          {"archive", image.file ? Json(image.file->source) : Json(nullptr)}});
    }
    Json mods = Json::array();
    for (const TexMod& mod : stage.texMods)
        mods.push_back(tcModText(mod));
    return {{"images", images},
            {"blend", stage.blend ? Json(blendText(stage)) : Json(nullptr)},
            {"rgbGen", rgbGenName(stage.rgbGen)},
            {"alphaGen", alphaGenName(stage.alphaGen)},
            {"tcGen", tcGenName(stage.texGen)},
            {"tcMod", mods},
            {"animMapFrequency", stage.animationFrequency}};
}

// The figures of the game's own shader list for the shader: its passes,
// whether a script defined it as written, and its DEFAULTED mark.
struct ListedFigures {
    int passes;
    bool explicitlyDefined;
    bool defaulted;
};
ListedFigures listedFigures(const GameShader& shader)
{
    return {shader.listedPasses, shader.fromScript && !shader.defaulted, shader.defaulted};
}

std::string lookupHeading(const SurfaceLookup& lookup)
{
    std::string text = lookup.part + " " + lookup.surface + ": ";
    text += lookup.use == ShaderUse::Model ? "model's own name" : "skin " + lookup.skin;
    if (lookup.name.empty())
        return text + (lookup.use == ShaderUse::Model ? ": none" : ", no line for the surface") + " (" +
               lookup.fromFile + ")";
    text += " \"" + lookup.name + "\" (" + lookup.fromFile;
    if (lookup.fromLine > 0)
        text += ", line " + std::to_string(lookup.fromLine);
    return text + ")";
}

// A script's shader without stages is how packs hide a surface.
bool hidesOnPurpose(const SurfaceLookup& lookup)
{
    return lookup.made && lookup.resolution == NameResolution::Script && lookup.made->notes.size() == 1 &&
           lookup.made->notes[0] == kNoStagesNote;
}

} // namespace

std::string SurfacesText(const SurfaceReport& report)
{
    std::string text = report.character + " (" + report.folder + "), skins:";
    for (const std::string& skin : report.skins)
        text += " " + skin;
    text += ", weapon: " + (report.weapon.empty() ? std::string("none") : report.weapon) + "\n";
    for (const SurfaceLookup& lookup : report.lookups) {
        text += lookupHeading(lookup) + "\n  ";
        if (!lookup.made) {
            text += "the game's default shader\n";
            continue;
        }
        text += "shader " + lookup.shader + ": ";
        if (lookup.script)
            text += "script " + placeText(*lookup.script) + ", line " + std::to_string(lookup.scriptLine);
        else if (lookup.image)
            text += "image " + placeText(*lookup.image);
        else
            text += "neither a shader nor an image";
        const ListedFigures listed = listedFigures(*lookup.made);
        text += "; " + std::string(SurfaceOutcomeName(lookup.outcome)) + "; listed as " +
                std::to_string(listed.passes) + (listed.passes == 1 ? " pass" : " passes") +
                (listed.explicitlyDefined ? ", from a script" : "") + (listed.defaulted ? ", DEFAULTED" : "") + "\n";
        for (const std::string& note : lookup.made->notes)
            text += "    note: " + note + "\n";
        for (size_t i = 0; i < lookup.made->stages.size(); ++i) {
            const GameStage& stage = lookup.made->stages[i];
            text += "    stage " + std::to_string(i + 1) + ":";
            for (const StageImageUse& image : StageImages(stage))
                text += " " + image.name + (image.file ? " [" + placeText(*image.file) + "]" : "");
            if (stage.images.size() > 1)
                text += " (animMap " + number(stage.animationFrequency) + "/s)";
            if (stage.blend)
                text += "; blendFunc " + blendText(stage);
            text += std::string("; rgbGen ") + rgbGenName(stage.rgbGen) + "; alphaGen " + alphaGenName(stage.alphaGen);
            if (stage.texGen != TexGen::Texture)
                text += std::string("; tcGen ") + tcGenName(stage.texGen);
            for (const TexMod& mod : stage.texMods)
                text += "; tcMod " + tcModText(mod);
            text += "\n";
        }
    }
    for (const MissingCharacterFile& missing : report.missing) {
        text += "missing: " + missing.what + (missing.skin.empty() ? "" : " of skin " + missing.skin) +
                " (looked for";
        for (const std::string& tried : missing.tried)
            text += " " + tried;
        text += ")\n";
    }
    for (const std::string& line : report.unreadable)
        text += "unreadable: " + line + "\n";
    for (const StageImageUse& image : report.images) {
        if (!image.gameRefusal.empty())
            text += "the game stops with an error on " + image.file->path + ": it refuses it (" + image.gameRefusal +
                    ")\n";
    }
    text += std::to_string(report.lookups.size()) + " lookups, " + std::to_string(report.images.size()) +
            " images read\n";
    return text;
}

std::string SurfacesJson(const SurfaceReport& report)
{
    Json lookups = Json::array();
    for (const SurfaceLookup& lookup : report.lookups) {
        Json entry = {{"part", lookup.part},
                      {"model", lookup.model},
                      {"surface", lookup.surface},
                      {"skin", lookup.skin.empty() ? Json(nullptr) : Json(lookup.skin)},
                      {"use", lookup.use == ShaderUse::Model ? "model" : "skin"},
                      {"name", lookup.name},
                      {"from", {{"file", lookup.fromFile},
                                {"line", lookup.fromLine > 0 ? Json(lookup.fromLine) : Json(nullptr)}}},
                      {"shader", lookup.shader},
                      {"resolvesTo", NameResolutionName(lookup.resolution)},
                      {"definedIn", lookup.script ? Json({{"file", lookup.script->path},
                                                          {"line", lookup.scriptLine},
                                                          {"archive", lookup.script->source}})
                                                  : Json(nullptr)},
                      {"image", placeJson(lookup.image)},
                      {"outcome", SurfaceOutcomeName(lookup.outcome)}};
        Json stages = Json::array();
        Json notes = Json::array();
        Json listed = nullptr;
        if (lookup.made) {
            for (const GameStage& stage : lookup.made->stages)
                stages.push_back(stageJson(stage));
            for (const std::string& note : lookup.made->notes)
                notes.push_back(note);
            const ListedFigures figures = listedFigures(*lookup.made);
            listed = {{"passes", figures.passes},
                      {"explicit", figures.explicitlyDefined},
                      {"defaulted", figures.defaulted}};
        }
        entry["stages"] = stages;
        entry["notes"] = notes;
        entry["shaderlist"] = listed;
        lookups.push_back(std::move(entry));
    }
    Json missing = Json::array();
    for (const MissingCharacterFile& file : report.missing)
        missing.push_back({{"skin", file.skin.empty() ? Json(nullptr) : Json(file.skin)},
                           {"file", file.what},
                           {"tried", file.tried}});
    Json images = Json::array();
    for (const StageImageUse& image : report.images)
        images.push_back({{"name", image.name},
                          {"path", image.file->path},
                          {"archive", image.file->source},
                          {"gameRefuses", image.gameRefusal.empty() ? Json(nullptr) : Json(image.gameRefusal)}});
    const Json json = {{"character", report.character},
                       {"folder", report.folder},
                       {"weapon", report.weapon.empty() ? Json(nullptr) : Json(report.weapon)},
                       {"skins", report.skins},
                       {"surfaces", lookups},
                       {"missing", missing},
                       {"unreadable", report.unreadable},
                       {"images", images}};
    return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

int RunSurfaces(const CommandLine& options)
{
    CommandLine one;
    one.gameRoot = options.gameRoot;
    if (!options.paths.empty())
        one.character = options.paths.front();
    one.skin = options.skin;
    one.weapon = options.weapon;
    try {
        OffscreenRun run;
        const CharacterChoice choice = ResolveCharacterChoice(one);
        const std::vector<std::string> skins =
            options.allSkins ? ListSkins(choice.folder) : std::vector<std::string>{choice.skin};
        platform::BareGLWindow context(16, 16, true);
        ShaderTable shaders;
        TextureSet textures(&shaders);
        TexturesClearedAtEnd cleared(textures);
        SurfaceReport report;
        shaders = ReadShaderScripts();
        report = GatherSurfaces(choice, skins, textures);
        // What is drawn counts: a character's parts are drawn with their
        // skins' shaders, the weapon with its own names.
        bool whole = report.missing.empty() && report.unreadable.empty();
        for (const StageImageUse& image : report.images)
            whole = whole && image.gameRefusal.empty();
        for (const SurfaceLookup& lookup : report.lookups) {
            const bool drawn = lookup.use == ShaderUse::Skin || lookup.part == "weapon" || lookup.part == "barrel";
            whole = whole && (!drawn || lookup.outcome == SurfaceOutcome::Made || hidesOnPurpose(lookup));
        }
        const std::string text = options.format == "json" ? SurfacesJson(report) : SurfacesText(report);
        return FinishOutput(whole ? kExitDone : kExitProblems, [&] { platform::WriteStandardOutput(text); });
    } catch (const CharacterError& e) {
        std::fprintf(stderr, "Quillmo: %s\n", e.what());
    } catch (const platform::EInOutError& e) {
        std::fprintf(stderr, "Quillmo: %s\n", e.what());
    } catch (const std::runtime_error& e) {
        std::fprintf(stderr, "Quillmo: %s\n", e.what());
    }
    return kExitCannotRun;
}
