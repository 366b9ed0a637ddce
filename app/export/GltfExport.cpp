// The run of --export: the character of character mode's options loaded
// without a window, its skins gathered and its values that are no numbers
// mended, written as glTF (GltfCharacter.cpp) with the exit status of the
// tools.
#include "GltfExport.h"

#include "app/common/CharacterChoice.h"
#include "app/common/CharacterPicture.h"
#include "app/common/Outputs.h"
#include "game/GameCharacter.h"
#include "game/GameShader.h"
#include "platform/system/Dialogs.h"
#include "platform/system/Errors.h"
#include "platform/system/System.h"
#include "platform/window/BareGLWindow.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

namespace {

constexpr const char* kCaption = "Export";

bool allFinite(const float* begin, const float* end)
{
    return std::all_of(begin, end, [](float v) { return std::isfinite(v); });
}

// The names of a set, quoted and joined: "'a', 'b'".
std::string quotedNames(const std::set<std::string>& names)
{
    std::string joined;
    for (const std::string& name : names)
        joined += (joined.empty() ? "'" : ", '") + name + "'";
    return joined;
}

// Mends the values of part and of what hangs on it that are not numbers
// (glTF has no such numbers): a tag's origin is put at the part's origin,
// its axes taken as no turn, a texture coordinate taken as 0; one message
// for the tags and one for the surfaces names the file.
void mendNonNumbers(TMD3Model& part, std::set<const TMD3Model*>& seen)
{
    if (!seen.insert(&part).second)
        return;
    std::set<std::string> mendedTags, mendedSurfaces;
    for (TMD3Tag& tag : part.Tags) {
        const bool origin = !allFinite(std::begin(tag.Origin), std::end(tag.Origin));
        bool axes = false;
        for (const auto& axis : tag.Axis)
            axes = axes || !allFinite(std::begin(axis), std::end(axis));
        if (origin)
            std::fill(std::begin(tag.Origin), std::end(tag.Origin), 0.0f);
        if (axes) {
            for (int row = 0; row < 3; ++row)
                for (int col = 0; col < 3; ++col)
                    tag.Axis[row][col] = row == col ? 1.0f : 0.0f;
        }
        if (origin || axes)
            mendedTags.insert(MD3Name(tag.Name));
    }
    for (TMesh& mesh : part.Meshes)
        for (TMD3TexCoord& st : mesh.TexCoords)
            for (float* value : {&st.S, &st.T})
                if (!std::isfinite(*value)) {
                    *value = 0;
                    mendedSurfaces.insert(MD3Name(mesh.Header.Name));
                }
    if (!mendedTags.empty())
        platform::ShowMessage(part.FileName + ": tag " + quotedNames(mendedTags) +
                                  " holds values that are not numbers; exported at its part's origin, unturned",
                              kCaption);
    if (!mendedSurfaces.empty())
        platform::ShowMessage(part.FileName + ": surface " + quotedNames(mendedSurfaces) +
                                  " has texture coordinates that are not numbers; exported as 0",
                              kCaption);
    for (TMD3Model* linked : part.Links)
        if (linked)
            mendNonNumbers(*linked, seen);
}

} // namespace

int RunExport(const CommandLine& options)
{
    const std::string& path = *options.exportFile;
    const bool binary = platform::LowerCase(path.substr(std::min(path.size(), path.rfind('.')))) == ".glb";
    const size_t problemsBefore = platform::LoadProblemCount();
    std::string bytes;
    try {
        OffscreenRun run;
        const CharacterChoice choice = ResolveCharacterChoice(options);
        platform::BareGLWindow window(1, 1, true);
        ShaderTable shaders = ReadShaderScripts();
        TextureSet textures(&shaders);
        const TexturesClearedAtEnd cleared(textures);
        GamePlayer player;
        GamePart weapon;
        CharacterExport character;
        character.player = &player;
        character.name = choice.name;
        character.shaders = &shaders;
        {
            const platform::LoadWatch watch;
            try {
                LoadCharacter(choice, player, weapon, textures);
            } catch (const std::exception& e) {
                // What loaded before the failure is exported, as character mode shows it.
                platform::ShowMessage(e.what(), kCaption);
            }
            std::vector<std::string> names{choice.skin};
            if (options.allSkins)
                for (const std::string& skin : ListSkins(choice.folder))
                    if (!platform::SameText(skin, choice.skin))
                        names.push_back(skin);
            character.skins = GatherSkins(player, choice.folder, names, textures);
            std::set<const TMD3Model*> seen;
            mendNonNumbers(player.Lower.model, seen);
        }
        bytes = CharacterGltf(character, binary);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Quillmo: %s\n", e.what());
        return kExitCannotRun;
    }
    const bool whole = platform::LoadProblemCount() == problemsBefore;
    return FinishOutput(whole ? kExitDone : kExitProblems, [&] {
        platform::WriteFileBytes(path, std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    });
}
