// The program as a user runs it: the executable, copied into a temporary
// folder so that its settings file lands there, drawing sample characters
// into PNG files.
#include "platform/system/IniFile.h"
#include "platform/images/PngFile.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"
#include "tools/samples/SampleGame.h"
#include "tools/samples/SampleModels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>

namespace {

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb; // top row first

    std::array<uint8_t, 3> at(int x, int y) const
    {
        size_t i = (static_cast<size_t>(y) * width + x) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
    int count(bool (*test)(int r, int g, int b)) const
    {
        int n = 0;
        for (size_t i = 0; i + 2 < rgb.size(); i += 3)
            n += test(rgb[i], rgb[i + 1], rgb[i + 2]);
        return n;
    }
};

Picture readPng(const std::string& path)
{
    Picture p;
    if (!platform::ReadPng(path, p.width, p.height, p.rgb))
        p = {};
    return p;
}

class EndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = std::make_unique<testsupport::TempDir>();
        std::filesystem::copy_file(QUILLMO_EXE, dir->file("Quillmo"));
        samples::writeSampleModels(dir->file("Model"));
        samples::writeSampleGame(dir->file("SampleGame"), samples::GameLayout::Archives);
        samples::writeSampleGame(dir->file("LooseGame"), samples::GameLayout::Loose);
    }
    static void TearDownTestSuite() { dir.reset(); }

    // Runs the program in the folder; returns its exit status and fills output
    // with what it wrote to standard error and standard output.
    int run(const std::string& args, std::string& output,
            const std::string& environment = "SDL_VIDEODRIVER=offscreen")
    {
        return testsupport::runCommand("cd '" + dir->path() + "' && env " + environment + " ./Quillmo " + args + " 2>&1",
                                       output);
    }

    static std::unique_ptr<testsupport::TempDir> dir;
};

std::unique_ptr<testsupport::TempDir> EndToEnd::dir;

bool reddish(int r, int g, int b) { return r > 150 && g < 90 && b < 90; }
bool greenish(int r, int g, int b) { return g > 150 && r < 90 && b < 90; }
bool bluish(int r, int g, int b) { return b > 150 && r < 90 && g < 90; }

} // namespace

TEST_F(EndToEnd, ScreenshotShowsTheSceneAndSettingsAreWritten)
{
    std::string out;
    ASSERT_EQ(run("--model-root Model --answer yes --frames 3 --screenshot lara.png", out), 0) << out;
    EXPECT_NE(out.find("No OpenGL Hardware"), std::string::npos) << out;
    Picture p = readPng(dir->file("lara.png"));
    ASSERT_EQ(p.width, 696);
    ASSERT_EQ(p.height, 480);
    EXPECT_GT(p.count(reddish), 20);   // the X axis and the cross
    EXPECT_GT(p.count(greenish), 20);  // the Y axis
    EXPECT_GT(p.count(bluish), 20);    // the Z axis
    // The character stands at the centre of the picture.
    int lit = 0;
    for (int y = 150; y < 330; ++y)
        for (int x = 300; x < 400; ++x) {
            auto c = p.at(x, y);
            lit += c[0] + c[1] + c[2] > 60;
        }
    EXPECT_GT(lit, 2000);

    platform::IniFile ini(dir->file("Quillmo.ini"));
    for (const char* section : {"Application Info", "CopyRight", "TBatchRunner", "TGLVector", "TGLCamera",
                                "TGLManager", "TRasProcessor", "TRasTransformer", "TRasManager", "TGLTexturer",
                                "TGLMaterialer", "TGLQueltoLogo", "TGLLighter", "TGLUniFont", "TGLTxtFont"})
        EXPECT_TRUE(ini.SectionExists(section)) << section;
    EXPECT_EQ(ini.ReadString("TGLManager", "FAxisLength", ""), "20");
    EXPECT_EQ(ini.ReadInteger("TGLLighter", "LightNum", -1), 7);
    EXPECT_EQ(ini.ReadString("TGLLighter", "FLights7", "").size(), 188u);
    EXPECT_EQ(ini.ReadInteger("TGLMaterialer", "mGLMaterialer", -1), 0);
    EXPECT_EQ(ini.ReadString("TGLQueltoLogo", "FLogoWidth", ""), "100");
    EXPECT_EQ(ini.ReadString("TGLQueltoLogo", "FMixRate", ""), "0.800000011920929");
    EXPECT_EQ(ini.ReadString("TGLQueltoLogo", "FMixLogoColor", ""), "1");
    EXPECT_FALSE(ini.SectionExists("Project Info") && ini.ValueExists("Project Info", "FFullProjectName"));
}

TEST_F(EndToEnd, SwitchingLightingOffChangesThePicture)
{
    std::string out;
    ASSERT_EQ(run("--model-root Model --answer no --frames 5 --screenshot lit.png", out), 0) << out;
    ASSERT_EQ(run("--model-root Model --answer no --keys L --frames 5 --screenshot unlit.png", out), 0) << out;
    Picture lit = readPng(dir->file("lit.png")), unlit = readPng(dir->file("unlit.png"));
    ASSERT_EQ(lit.rgb.size(), unlit.rgb.size());
    size_t differing = 0;
    for (size_t i = 0; i < lit.rgb.size(); ++i)
        differing += lit.rgb[i] != unlit.rgb[i];
    EXPECT_GT(differing, 1000u);

    // The same run twice gives the same picture: the clock is scripted.
    ASSERT_EQ(run("--model-root Model --answer no --frames 5 --screenshot again.png", out), 0) << out;
    EXPECT_EQ(readPng(dir->file("again.png")).rgb, lit.rgb);
}

TEST_F(EndToEnd, MistakesOnTheCommandLineAreExplained)
{
    std::string out;
    EXPECT_EQ(run("--frames", out), 2);
    EXPECT_NE(out.find("--frames needs a value"), std::string::npos);
    EXPECT_EQ(run("--help", out), 0);
    EXPECT_NE(out.find("--screenshot"), std::string::npos);

    // Without a display an interactive window could never be seen or closed.
    const std::string noDisplay = "-u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER";
    EXPECT_EQ(run("--model-root Model --answer no", out, noDisplay), 1);
    EXPECT_NE(out.find("no display to show the viewer on"), std::string::npos) << out;
    EXPECT_EQ(run("--model-root Model --answer no --frames 1 --screenshot headless.png", out, noDisplay), 0) << out;
    EXPECT_TRUE(std::filesystem::exists(dir->file("headless.png")));
}

// Pixels near a colour, within tolerance on each channel.
int countNear(const Picture& p, std::array<uint8_t, 3> colour, int tolerance)
{
    int n = 0;
    for (size_t i = 0; i + 2 < p.rgb.size(); i += 3)
        n += std::abs(p.rgb[i] - colour[0]) <= tolerance && std::abs(p.rgb[i + 1] - colour[1]) <= tolerance &&
             std::abs(p.rgb[i + 2] - colour[2]) <= tolerance;
    return n;
}

TEST_F(EndToEnd, EachSampleCharacterLooksTheSameFromArchivesAndFromLooseFiles)
{
    for (const char* name : {samples::kBruno, samples::kMira, samples::kOskar}) {
        std::string out;
        // Without the overlay, whose GL font takes its colour from the settings
        // file the run before wrote.
        const std::string common = std::string(" --character ") + name + " --keys T --frames 4 --screenshot ";
        ASSERT_EQ(run("--game-root SampleGame" + common + name + "-packed.png", out), 0) << out;
        // Every texture of the sample game resolves: no message but the GL one.
        EXPECT_EQ(out.find("Texture"), std::string::npos) << out;
        ASSERT_EQ(run("--game-root LooseGame" + common + name + "-loose.png", out), 0) << out;
        const Picture packed = readPng(dir->file(std::string(name) + "-packed.png"));
        const Picture loose = readPng(dir->file(std::string(name) + "-loose.png"));
        ASSERT_EQ(packed.width, 696);
        EXPECT_TRUE(packed.rgb == loose.rgb) << name;
        int lit = 0;
        for (int y = 150; y < 330; ++y)
            for (int x = 300; x < 400; ++x) {
                auto c = packed.at(x, y);
                lit += c[0] + c[1] + c[2] > 60;
            }
        EXPECT_GT(lit, 2000) << name; // standing in proportion at the centre
    }
    // The later archive's torso of bruno and mira's loose skin are the ones drawn.
    EXPECT_GT(countNear(readPng(dir->file("bruno-packed.png")), samples::kOverrideColour, 40), 300);
    EXPECT_GT(countNear(readPng(dir->file("mira-packed.png")), samples::kLooseSkinColour, 40), 300);
}

TEST_F(EndToEnd, CharacterModeRefusesWhatIsNotThereBeforeAnyWindow)
{
    std::filesystem::create_directories(dir->file("NoCharacters/models"));
    const std::pair<const char*, const char*> cases[] = {
        {"--game-root SampleGame --character nobody", "models/players/nobody/"},
        {"--game-root SampleGame --skin gold", "lower_gold.skin"},
        {"--game-root SampleGame --weapon bow", "models/weapons2/bow/bow.md3"},
        {"--game-root NoCharacters", "no characters in NoCharacters"},
        {"--game-root Missing", "Missing"},
        {"Model/ModelSarge", "no character in Model/ModelSarge"},
        {"Model/Nowhere", "no character folder"},
        {"--skin red", "--skin, --weapon, --torso and --legs need a character"},
        {"SampleGame --answer yes", "--model-root and --answer"},
    };
    std::filesystem::remove(dir->file("Quillmo.ini"));
    for (const auto& [args, named] : cases) {
        std::string out;
        EXPECT_EQ(run(args, out), 2) << args;
        EXPECT_NE(out.find(named), std::string::npos) << args << ": " << out;
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    }
    EXPECT_FALSE(std::filesystem::exists(dir->file("Quillmo.ini")));
}
