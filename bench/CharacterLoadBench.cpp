// Loading a character of game data: its three parts, skins, textures,
// animation table and weapon, by the game's rules, from .pk3 archives against
// the same files loose. Each benchmark mounts its folder and then loads and
// frees the character once per iteration (textures included, in an
// offscreen GL context).
//
// Two sets of files: the sample game as written (small textures, so that
// inflating the 1.1 MB of the character's parts weighs most), and the same
// game with the character's images at 512 x 512, the size real packs use,
// in one archive and loose.
//
//   quillmo_bench_character [benchmark options]
#include "game/GameCharacter.h"
#include "game/GameData.h"
#include "platform/system/Dialogs.h"
#include "platform/files/FileLayer.h"
#include "LoadingContext.h"
#include "support/TempDir.h"
#include "tools/samples/GameTree.h"
#include "tools/samples/SampleGame.h"
#include "tools/writers/ImageWriters.h"
#include "tools/writers/ZipArchive.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

namespace files = platform::files;

constexpr int kLargeSide = 512;

// A 512 x 512 picture with enough detail that run-length packing and
// deflate do not reduce it to nothing.
std::string largeImage(int seed)
{
    writers::Image image(kLargeSide, kLargeSide, 3);
    for (int y = 0; y < kLargeSide; ++y)
        for (int x = 0; x < kLargeSide; ++x) {
            uint8_t* p = image.at(x, y);
            p[0] = static_cast<uint8_t>((x * 7 + seed) ^ (y * 3));
            p[1] = static_cast<uint8_t>((x / 8 + y / 8 + seed) * 16);
            p[2] = static_cast<uint8_t>(x + y * 5);
        }
    writers::TgaOptions options;
    options.runLength = true;
    return writers::encodeTga(image, options);
}

struct Folders {
    testsupport::TempDir dir;
    std::string packed = dir.file("packed");
    std::string loose = dir.file("loose");
    std::string largePacked = dir.file("large-packed");
    std::string largeLoose = dir.file("large-loose");
    Folders()
    {
        samples::writeSampleGame(packed, samples::GameLayout::Archives);
        samples::writeSampleGame(loose, samples::GameLayout::Loose);
        // The resolved sample game with the character's Targa images large,
        // once in one archive and once loose.
        std::vector<writers::ZipEntry> entries;
        int seed = 0;
        for (const auto& [key, file] : samples::resolveGameTree(loose)) {
            std::string bytes = file.bytes;
            if (key.rfind("models/players/bruno/", 0) == 0 && key.size() > 4 &&
                key.compare(key.size() - 4, 4, ".tga") == 0)
                bytes = largeImage(seed++);
            entries.push_back({file.path, bytes, true});
            writers::writeFileBytes(largeLoose + "/" + file.path, bytes);
        }
        writers::writeZip(largePacked + "/pak0.pk3", entries);
    }
};

Folders& folders()
{
    static Folders written;
    return written;
}

void loadCharacter(benchmark::State& state, const std::string& root)
{
    LoadingContext();
    files::MountGameRoot(root);
    std::vector<ShaderProblem> problems;
    const ShaderTable shaders = LoadShaderScripts(problems);
    const std::string folder = std::string(kPlayersFolder) + samples::kBruno + "/";
    for (auto _ : state) {
        TextureSet textures(&shaders);
        auto player = std::make_unique<GamePlayer>();
        auto weapon = std::make_unique<GamePart>();
        LoadGamePlayer(*player, folder, samples::kDefaultSkin, textures);
        LoadGameWeapon(*weapon, samples::kWeapon, textures);
        benchmark::DoNotOptimize(player->Lower.model.Meshes.data());
        glFinish();
    }
    files::MountDisk();
}

// What sharing one texture per image saves on the sample game: every
// character with every skin, its textured surfaces (one texture each without
// sharing) against the GL textures of its set.
void BM_TextureSharing(benchmark::State& state)
{
    LoadingContext();
    files::MountGameRoot(folders().packed);
    std::vector<ShaderProblem> problems;
    const ShaderTable shaders = LoadShaderScripts(problems);
    size_t surfaces = 0, textures = 0;
    for (auto _ : state) {
        surfaces = textures = 0;
        for (const std::string& name : ListCharacters()) {
            const std::string folder = std::string(kPlayersFolder) + name + "/";
            for (const std::string& skin : ListSkins(folder)) {
                TextureSet set(&shaders);
                auto player = std::make_unique<GamePlayer>();
                auto weapon = std::make_unique<GamePart>();
                LoadGamePlayer(*player, folder, skin, set);
                LoadGameWeapon(*weapon, samples::kWeapon, set);
                for (const GamePart* part : {&player->Lower, &player->Upper, &player->Head, weapon.get()})
                    for (const TMesh& mesh : part->model.Meshes)
                        surfaces += mesh.HasTexture && mesh.Texture != 0;
                textures += set.Count();
            }
        }
    }
    state.counters["surfaces"] = static_cast<double>(surfaces);
    state.counters["textures"] = static_cast<double>(textures);
    files::MountDisk();
}
BENCHMARK(BM_TextureSharing)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_LoadCharacterFromArchives(benchmark::State& state) { loadCharacter(state, folders().packed); }
void BM_LoadCharacterLoose(benchmark::State& state) { loadCharacter(state, folders().loose); }
void BM_LoadLargeCharacterFromArchive(benchmark::State& state) { loadCharacter(state, folders().largePacked); }
void BM_LoadLargeCharacterLoose(benchmark::State& state) { loadCharacter(state, folders().largeLoose); }

BENCHMARK(BM_LoadCharacterFromArchives)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadCharacterLoose)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadLargeCharacterFromArchive)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadLargeCharacterLoose)->Unit(benchmark::kMillisecond);

} // namespace
