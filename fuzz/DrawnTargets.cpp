#include "DrawnTargets.h"

#include "TargetSupport.h"

#include "app/common/CommandLine.h"
#include "app/export/AnimatedPreview.h"
#include "app/export/GltfCheck.h"
#include "app/export/GltfExport.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fuzz {

namespace {

using namespace support;

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The options of a run on the character of the input, in a game folder of
// the scratch folder's own. The game refuses a character without an icon and draws nothing of it: the
// folder of every input has one, a grey 2 x 2 Targa, so that the input's
// parts are what is drawn.
CommandLine characterOptions(const std::string& game, Input bytes)
{
    const std::string folder = game + "/models/players/fuzz";
    writeCharacterFiles(folder, bytes);
    static const uint8_t kIcon[18 + 12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0,
                                           128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128};
    scratch().write(folder + "/icon_default.tga", Input(kIcon, sizeof kIcon));
    CommandLine options;
    options.gameRoot = scratch().file(game);
    options.character = "fuzz";
    options.weapon = "none";
    return options;
}

} // namespace

void RunExportInput(Input bytes)
{
    CommandLine options = characterOptions("export", bytes);
    const std::string out = scratch().file("fuzz.glb");
    std::filesystem::remove(out);
    options.exportFile = out;
    options.allSkins = true;
    const int status = RunExport(options);
    check(status >= 0 && status <= 2, "the exit status is 0, 1 or 2");
    const bool written = std::filesystem::exists(out);
    check(written == (status != 2), "a file is written exactly when the exit status says so");
    if (written)
        check(GlbProblem(readFile(out)).empty(), "the file is a whole glTF");
}

void RunRecordInput(Input bytes)
{
    CommandLine options = characterOptions("record", bytes);
    const bool gif = bytes.size() % 2 == 0;
    const std::string out = scratch().file(gif ? "fuzz.gif" : "fuzz.webp");
    std::filesystem::remove(out);
    options.recordFile = out;
    options.size = std::pair{24, 30};
    options.seconds = 0.2;
    const int status = RunRecord(options);
    check(status >= 0 && status <= 2, "the exit status is 0, 1 or 2");
    const bool written = std::filesystem::exists(out);
    check(status != 0 || written, "a recording that says it is written is there");
    check(status != 2 || !written, "a recording that could not be made leaves no file");
    if (!written)
        return;
    const std::string file = readFile(out);
    check(gif ? file.rfind("GIF89a", 0) == 0 : (file.rfind("RIFF", 0) == 0 && file.compare(8, 4, "WEBP") == 0),
          "a recording begins as its format does");
}

} // namespace fuzz
