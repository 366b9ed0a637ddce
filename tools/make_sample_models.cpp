// Writes the sample Model folder and the sample game data folder:
// make_sample_models MODEL_DIR [GAME_DIR]. GAME_DIR defaults to the folder
// "SampleGame" beside MODEL_DIR.
#include "tools/samples/SampleGame.h"
#include "tools/samples/SampleModels.h"

#include <exception>
#include <filesystem>
#include <iostream>

namespace {

constexpr char kDefaultGameFolder[] = "SampleGame";

std::string siblingGameFolder(const std::string& modelDir)
{
    std::filesystem::path model(modelDir);
    if (!model.has_filename()) // "Model/"
        model = model.parent_path();
    return (model.parent_path() / kDefaultGameFolder).string();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::cerr << "usage: make_sample_models <output Model folder> [<output game data folder>]\n";
        return 2;
    }
    try {
        samples::writeSampleModels(argv[1]);
        samples::writeSampleGame(argc == 3 ? argv[2] : siblingGameFolder(argv[1]), samples::GameLayout::Archives);
    } catch (const std::exception& e) {
        std::cerr << "make_sample_models: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
