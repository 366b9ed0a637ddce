// Writes the sample Model folder and the sample game data folder, or game
// data the size of a collection (tools/samples/Collections.h):
//
//   make_sample_models MODEL_DIR [GAME_DIR]    GAME_DIR defaults to the folder
//                                              "SampleGame" beside MODEL_DIR
//   make_sample_models --collection N DIR      N archives of one character each
//   make_sample_models --image-bomb FILE.pk3   one character whose three images
//                                              claim 8192 x 8192 pixels each
//   make_sample_models --pack-work DIR         a maker's work folder to pack
//                                              (DIR/work) and its base game (DIR/base)
//   make_sample_models --skinned-gltf FILE.glb a skinned character as a modelling
//                                              tool exports it (SkinnedCharacter.h)
//   make_sample_models --help
#include "tools/samples/Collections.h"
#include "tools/samples/PackWork.h"
#include "tools/samples/SampleGame.h"
#include "tools/samples/SampleModels.h"
#include "tools/samples/SkinnedCharacter.h"
#include "tools/writers/ImageWriters.h"

#include <charconv>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr char kDefaultGameFolder[] = "SampleGame";
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage: make_sample_models MODEL_DIR [GAME_DIR]\n"
    "       make_sample_models --collection N DIR\n"
    "       make_sample_models --image-bomb FILE.pk3\n"
    "       make_sample_models --pack-work DIR\n"
    "       make_sample_models --skinned-gltf FILE.glb\n"
    "  MODEL_DIR              the sample characters (ModelLara/, ModelSarge/)\n"
    "  GAME_DIR               the sample game data; default: SampleGame beside MODEL_DIR\n"
    "  --collection N DIR     N archives in DIR, one sample character each under its own name\n"
    "  --image-bomb FILE.pk3  one character whose three run-length images claim 8192 x 8192 pixels\n"
    "  --pack-work DIR        a character maker's work folder (DIR/work, character kestrel) and the\n"
    "                         base game it is packed for (DIR/base)\n"
    "  --skinned-gltf FILE.glb\n"
    "                         a skinned character with skeletal animations, as a modelling tool\n"
    "                         exports it to glTF\n"
    "  --help                 this text\n";

std::string siblingGameFolder(const std::string& modelDir)
{
    std::filesystem::path model(modelDir);
    if (!model.has_filename()) // "Model/"
        model = model.parent_path();
    return (model.parent_path() / kDefaultGameFolder).string();
}

int usageError(const std::string& what)
{
    std::cerr << "make_sample_models: " << what << "\n" << kUsage;
    return kExitUsage;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << kUsage;
        return 0;
    }
    try {
        if (!args.empty() && args[0] == "--collection") {
            int count = 0;
            if (args.size() != 3 ||
                std::from_chars(args[1].data(), args[1].data() + args[1].size(), count).ptr !=
                    args[1].data() + args[1].size() ||
                count <= 0)
                return usageError("--collection takes a positive count and a folder");
            std::filesystem::create_directories(args[2]);
            samples::writeSampleCollection(args[2], count);
            return 0;
        }
        if (!args.empty() && args[0] == "--image-bomb") {
            if (args.size() != 2)
                return usageError("--image-bomb takes the archive to write");
            samples::writeImageBombArchive(args[1]);
            return 0;
        }
        if (!args.empty() && args[0] == "--pack-work") {
            if (args.size() != 2)
                return usageError("--pack-work takes the folder to write");
            samples::writePackWork(args[1]);
            return 0;
        }
        if (!args.empty() && args[0] == "--skinned-gltf") {
            if (args.size() != 2)
                return usageError("--skinned-gltf takes the file to write");
            writers::writeFileBytes(args[1], samples::SkinnedCharacterGlb(samples::SampleSkinnedCharacter()));
            return 0;
        }
        // Anything else that looks like an option is a mistake, not a folder name.
        for (const std::string& arg : args)
            if (arg.size() > 1 && arg[0] == '-')
                return usageError("unknown option '" + arg + "'");
        if (args.size() != 1 && args.size() != 2)
            return usageError("give the Model folder and, if you like, the game data folder");
        samples::writeSampleModels(args[0]);
        samples::writeSampleGame(args.size() == 2 ? args[1] : siblingGameFolder(args[0]),
                                 samples::GameLayout::Archives);
    } catch (const std::exception& e) {
        std::cerr << "make_sample_models: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
