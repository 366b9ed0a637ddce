// The export against loading: the largest sample character (bruno, by the
// bytes of its MD3 files with the weapon's) loaded as character mode loads it
// (parts, skins, animation table, textures in an offscreen context, weapon
// hung on the torso) against writing the loaded character as .glb with every
// skin, and against importing that .glb back (every file made in memory:
// parts, skins, animation file, images, shader script); and for every sample
// character the .glb's bytes against its MD3 files' bytes. All from the
// sample game written loose.
//
//   quillmo_bench_export [benchmark options]
#include "app/export/GltfExport.h"
#include "app/import/GltfImport.h"
#include "game/GameCharacter.h"
#include "game/GameData.h"
#include "platform/files/FileLayer.h"
#include "platform/system/Dialogs.h"
#include "LoadingContext.h"
#include "support/TempDir.h"
#include "tools/samples/SampleGame.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

namespace {

namespace files = platform::files;

struct Game {
    testsupport::TempDir dir;
    std::string root = dir.file("game");
    Game() { samples::writeSampleGame(root, samples::GameLayout::Loose); }
};

Game& game()
{
    static Game written;
    return written;
}

// A character of the mounted sample game, loaded, with every skin gathered.
struct Loaded {
    const ShaderTable* shaders;
    TextureSet textures{shaders};
    std::unique_ptr<GamePlayer> player = std::make_unique<GamePlayer>();
    std::unique_ptr<GamePart> weapon = std::make_unique<GamePart>();
    CharacterExport character;

    Loaded(const ShaderTable& table, const std::string& name, bool allSkins) : shaders(&table)
    {
        const std::string folder = std::string(kPlayersFolder) + name + "/";
        LoadGamePlayer(*player, folder, samples::kDefaultSkin, textures);
        LoadGameWeapon(*weapon, samples::kWeapon, textures);
        LinkGamePart(player->Upper, "tag_weapon", *weapon);
        character.player = player.get();
        character.name = name;
        character.shaders = &table;
        if (allSkins)
            character.skins = GatherSkins(*player, folder, ListSkins(folder), textures);
    }
};

ShaderTable& shaders()
{
    static ShaderTable table = [] {
        LoadingContext();
        files::MountGameRoot(game().root);
        std::vector<ShaderProblem> problems;
        return LoadShaderScripts(problems);
    }();
    return table;
}

void BM_LoadLargest(benchmark::State& state)
{
    shaders();
    for (auto _ : state) {
        Loaded loaded(shaders(), samples::kBruno, false);
        benchmark::DoNotOptimize(loaded.player->Lower.model.Meshes.data());
        glFinish();
    }
}

void BM_ExportLargest(benchmark::State& state)
{
    Loaded loaded(shaders(), samples::kBruno, true);
    size_t bytes = 0;
    for (auto _ : state)
        bytes = CharacterGltf(loaded.character, true).size();
    state.counters["glb_bytes"] = static_cast<double>(bytes);
}

void BM_ImportLargest(benchmark::State& state)
{
    Loaded loaded(shaders(), samples::kBruno, true);
    const std::string glb = CharacterGltf(loaded.character, true);
    const std::vector<uint8_t> bytes(glb.begin(), glb.end());
    size_t files = 0;
    for (auto _ : state)
        files = ImportGltf(bytes, "bruno.glb", samples::kBruno).files.size();
    state.counters["files"] = static_cast<double>(files);
}

// The .glb of each sample character with every skin against its MD3 files.
void BM_Sizes(benchmark::State& state)
{
    const std::string root = game().root + "/models/";
    for (auto _ : state) {
        for (const char* name : {samples::kBruno, samples::kMira, samples::kOskar, samples::kVesta}) {
            Loaded loaded(shaders(), name, true);
            const double glb = static_cast<double>(CharacterGltf(loaded.character, true).size());
            double md3 = 0;
            for (const char* part : {"lower.md3", "upper.md3", "head.md3"})
                md3 += static_cast<double>(std::filesystem::file_size(root + "players/" + name + "/" + part));
            md3 += static_cast<double>(
                std::filesystem::file_size(root + "weapons2/" + samples::kWeapon + "/" + samples::kWeapon + ".md3"));
            state.counters[std::string(name) + "_glb"] = glb;
            state.counters[std::string(name) + "_md3"] = md3;
            state.counters[std::string(name) + "_ratio"] = glb / md3;
        }
    }
}

BENCHMARK(BM_LoadLargest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportLargest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportLargest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sizes)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
