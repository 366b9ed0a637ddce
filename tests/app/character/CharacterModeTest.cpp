// Character mode in-process: what the options and paths open, the window's
// title, stepping through skins and characters, dropped files, and the
// textures of characters switched many times.
#include "app/character/CharacterMode.h"
#include "app/viewer/Unit1.h"
#include "app/viewer/Units.h"

#include "platform/files/FileLayer.h"
#include "platform/window/GLContext.h"
#include "platform/system/System.h"
#include "platform/images/PngFile.h"
#include "platform/window/MessageBoxes.h"
#include "support/HeapBytes.h"
#include "support/RunCommand.h"
#include "support/ProgramSession.h"
#include "tools/samples/SampleGame.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <memory>
#include <tuple>
#include <optional>

namespace {

namespace files = platform::files;

CharacterChoice choose(std::initializer_list<std::pair<const char*, std::string>> options,
                       std::vector<std::string> paths = {})
{
    CommandLine line;
    for (const auto& [name, value] : options) {
        const std::string option = name;
        if (option == "root")
            line.gameRoot = value;
        else if (option == "character")
            line.character = value;
        else if (option == "skin")
            line.skin = value;
        else if (option == "weapon")
            line.weapon = value;
    }
    line.paths = std::move(paths);
    return ResolveCharacterChoice(line);
}

class CharacterModeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // llvmpipe frees textures when its rasterising threads have finished
        // with them; on a loaded machine the queue of frees can hold megabytes
        // whenever the heap is counted. Drawn on the calling thread, a frame's
        // textures are free when the frame is.
        ::setenv("LP_NUM_THREADS", "0", 1);
        session = std::make_unique<testsupport::ProgramSession>(5000, [](const testsupport::TempDir& dir) {
            game = dir.file("SampleGame");
            samples::writeSampleGame(game, samples::GameLayout::Archives);
        });
        sandbox = &session->sandbox;
    }
    static void TearDownTestSuite()
    {
        files::MountDisk();
        session.reset();
    }

    // A window in character mode on choice, created as the program creates it.
    void open(CharacterChoice choice) { show(std::make_unique<CharacterMode>(std::move(choice))); }
    // The same for PATH as given on the command line.
    void open(const std::string& path)
    {
        CommandLine line;
        line.paths = {path};
        show(std::make_unique<CharacterMode>(line));
    }
    void show(std::unique_ptr<CharacterMode> mode)
    {
        characters = std::move(mode);
        window.Create({});
        form = std::make_unique<TForm1>(window);
        form->Characters = characters.get();
        form->FormCreate();
        window.Show();
        form->FormResize();
    }
    void TearDown() override
    {
        if (form)
            form->FormDestroy();
    }
    void press(uint16_t key, platform::TShiftState shift = 0) { form->FormKeyDown(key, shift); }

    static inline std::unique_ptr<testsupport::ProgramSession> session;
    static inline testsupport::Sandbox* sandbox = nullptr;
    static inline std::string game;
    platform::Window window;
    std::unique_ptr<CharacterMode> characters;
    std::unique_ptr<TForm1> form;
};

TEST_F(CharacterModeTest, PathsAndOptionsOpenTheCharacterTheyName)
{
    // A game folder or an archive: the first character in name order.
    CharacterChoice c = choose({}, {game});
    EXPECT_EQ(c.name, samples::kBruno);
    EXPECT_EQ(c.folder, "models/players/bruno/");
    EXPECT_EQ(c.skin, samples::kDefaultSkin);
    EXPECT_EQ(c.weapon, samples::kWeapon);
    c = choose({}, {game + "/" + samples::kSecondArchive});
    EXPECT_EQ(c.name, samples::kOskar);
    EXPECT_EQ(c.weapon, ""); // that archive holds no weapon

    // A character folder inside game data finds its root above "models".
    c = choose({}, {game + "/Models/Players/Oskar"});
    EXPECT_EQ(c.name, "Oskar");
    EXPECT_EQ(c.gameRoot, game);
    EXPECT_EQ(c.folder, "Models/Players/Oskar/");
    EXPECT_TRUE(IsCharacterFolder(c.folder));

    c = choose({{"root", game}, {"character", "MIRA"}, {"skin", "Blue"}, {"weapon", "none"}});
    EXPECT_EQ(c.name, samples::kMira);
    EXPECT_EQ(c.skin, samples::kMiraSecondSkin);
    EXPECT_EQ(c.weapon, "");

    // A character folder outside the game root is mounted over it.
    const std::string outside = sandbox->dir.file("elsewhere/zed");
    std::filesystem::create_directories(outside);
    std::filesystem::copy(game + "/Models/Players/Oskar", outside);
    std::ofstream(outside + "/lower.md3") << "not a model";
    c = choose({{"root", game + "/" + samples::kFirstArchive}, {"character", outside}});
    EXPECT_EQ(c.outsideDir, outside);
    EXPECT_EQ(c.folder, "models/players/zed/");
    EXPECT_TRUE(files::FileExists("models/players/zed/lower.md3"));
    EXPECT_TRUE(files::FileExists("models/players/bruno/upper.md3"));
    // One in the usual work layout brings its work root along (its scripts).
    const std::string work = sandbox->dir.file("work");
    std::filesystem::create_directories(work + "/models/players");
    std::filesystem::create_directories(work + "/scripts");
    std::filesystem::copy(outside, work + "/models/players/zed");
    std::ofstream(work + "/scripts/zed.shader") << "";
    c = choose({{"root", game + "/" + samples::kFirstArchive}, {"character", work + "/models/players/zed"}});
    EXPECT_EQ(c.outsideDir, work);
    EXPECT_EQ(c.folder, "models/players/zed/");
    EXPECT_TRUE(files::FileExists("scripts/zed.shader"));
    EXPECT_TRUE(files::FileExists("models/players/zed/lower.md3"));

    // A lone character folder is its own game root.
    c = choose({}, {outside});
    EXPECT_EQ(c.gameRoot, outside);
    EXPECT_EQ(c.folder, "");
    EXPECT_EQ(c.skin, samples::kDefaultSkin);
}

TEST_F(CharacterModeTest, UnknownNamesAreRefusedNamingWhatWasLookedFor)
{
    auto refusal = [](auto&& resolve) {
        try {
            resolve();
        } catch (const CharacterError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_NE(refusal([] { choose({{"root", game}, {"character", "nobody"}}); }).find("models/players/nobody/"),
              std::string::npos);
    EXPECT_NE(refusal([] { choose({{"root", game}, {"skin", "gold"}}); }).find("lower_gold.skin"), std::string::npos);
    EXPECT_NE(refusal([] { choose({{"root", game}, {"weapon", "bow"}}); }).find("models/weapons2/bow/bow.md3"),
              std::string::npos);
    EXPECT_NE(refusal([] { choose({{"root", sandbox->dir.file("empty")}}); }).find("empty"), std::string::npos);
    std::filesystem::create_directories(sandbox->dir.file("nothing"));
    EXPECT_NE(refusal([] { choose({{"root", sandbox->dir.file("nothing")}}); }).find("no characters in"),
              std::string::npos);
}

TEST_F(CharacterModeTest, NAndPStepThroughSkinsAndCharactersAndTheTitleFollows)
{
    open(choose({}, {game}));
    EXPECT_EQ(window.Caption(), "Quillmo \xE2\x80\x94 bruno (default)");
    press('N');
    EXPECT_EQ(window.Caption(), "Quillmo \xE2\x80\x94 bruno (red)");
    press('N');
    EXPECT_EQ(window.Caption(), "Quillmo \xE2\x80\x94 bruno (default)");
    press('N', platform::ssShift);
    EXPECT_EQ(window.Caption(), "Quillmo \xE2\x80\x94 bruno (red)");
    press('P');
    EXPECT_EQ(window.Caption(), "Quillmo \xE2\x80\x94 mira (default)");
    EXPECT_EQ(characters->ShownPlayer().Lower.model.FileName, "models/players/mira/lower.md3");
    press('P');
    press('P');
    press('P'); // round to the first
    EXPECT_EQ(window.Caption(), "Quillmo \xE2\x80\x94 bruno (default)");
    press('P', platform::ssShift);
    EXPECT_EQ(characters->Choice().name, "vesta");
    press('P', platform::ssShift);
    EXPECT_EQ(characters->Choice().name, "Oskar"); // as his loose folder spells it
    EXPECT_FALSE(characters->ShownWeapon().model.Meshes.empty());
    static_assert(std::is_same_v<decltype(characters->ShownPlayer()), const GamePlayer&>, "played by the game's rules");
}

// Live GL textures: names that are textures, among the first 65,536 (names
// are not reused at once, so a long run of switches climbs through them).
int liveTextures()
{
    int count = 0;
    for (GLuint name = 1; name < 65536; ++name)
        count += glIsTexture(name) == GL_TRUE;
    return count;
}

TEST_F(CharacterModeTest, AHundredSwitchesLeaveTexturesAndMemoryFlat)
{
    open(choose({}, {game}));
    const auto switches = [this](int count) {
        for (int i = 0; i < count; ++i)
            press(i % 3 ? 'P' : 'N');
    };
    // Mesa and the allocator keep pools that fill during the first switches.
    // Every round ends on a P that comes back to the first character (four
    // of them) with its default skin.
    switches(48);
    const int textures = liveTextures();
    ASSERT_GT(characters->TextureCount(), 0u);
    // Rounds of 96 switches, each back to the same character and skin, whose
    // textures are to be counted against the same character's before. A
    // leaked character (parts and textures) would cost tens of kilobytes
    // every time, in every round; the driver's pools grow for a few rounds
    // at a time and then give memory back, so one round of the first twelve
    // at least must stay flat.
    const auto growth = [](size_t from, size_t to) { return to > from ? to - from : 0; };
    std::string rounds;
    size_t least = SIZE_MAX;
    for (int round = 0; round < 12 && least >= 1024u * 1024u; ++round) {
        const size_t before = testsupport::heapBytes();
        switches(96);
        EXPECT_EQ(liveTextures(), textures);
        least = std::min(least, growth(before, testsupport::heapBytes()));
        rounds += " " + std::to_string(growth(before, testsupport::heapBytes()));
    }
    EXPECT_LT(least, 1024u * 1024u) << "growth per round:" << rounds;
}

TEST_F(CharacterModeTest, DroppedFoldersAndArchivesOpenAndOthersAreExplained)
{
    open(choose({}, {game}));
    window.OnDropFile(game + "/" + samples::kSecondArchive);
    EXPECT_EQ(characters->Choice().name, samples::kOskar); // pak1.pk3 alone spells it so
    EXPECT_EQ(window.Caption(), "Quillmo \xE2\x80\x94 oskar (default)");

    platform::ClearRecordedMessages();
    window.OnDropFile(sandbox->dir.file("no such folder"));
    EXPECT_EQ(characters->Choice().name, samples::kOskar);
    ASSERT_EQ(platform::RecordedMessages().size(), 1u);
    EXPECT_NE(platform::RecordedMessages()[0].text.find("no such folder"), std::string::npos);
    // The character's game data is still there to step through.
    press('N');
    EXPECT_EQ(characters->Choice().name, samples::kOskar);
    EXPECT_TRUE(files::FileExists("models/players/oskar/upper.md3"));
}

// The overlay's line for a part ("Torso: NAME  frame N ..."), by its start.
std::string overlayLine(const CharacterMode& mode, const std::string& start)
{
    for (const std::string& line : mode.OverlayLines())
        if (line.rfind(start, 0) == 0)
            return line;
    return "";
}
int shownFrame(const std::string& line) { return std::stoi(line.substr(line.find(" frame ") + 7)); }

int boxesShown = 0;

TEST_F(CharacterModeTest, LoadingProblemsAreListedPerCharacterAndNoBoxWaits)
{
    const std::string broken = sandbox->dir.file("Broken");
    samples::writeSampleGame(broken, samples::GameLayout::Loose);
    std::filesystem::resize_file(broken + "/" + samples::kOtherCaseImage, 10);
    // A word the game does not know before the numbers (after them the game
    // reads nothing more).
    const std::string animation = broken + "/models/players/mira/animation.cfg";
    std::stringstream text;
    text << "oops\n" << std::ifstream(animation).rdbuf();
    std::ofstream(animation) << text.str();
    // Without an icon the game refuses the character.
    std::filesystem::remove(broken + "/models/players/mira/icon_default.tga");
    // Interactive, every box counted instead of shown.
    platform::SetNonInteractive(false);
    platform::SetMessageBoxShower([](const platform::MessageBoxRequest&) {
        ++boxesShown;
        return platform::MessageBoxResult::Closed;
    });
    platform::ClearRecordedMessages();
    open(broken);
    // bruno's own files are sound: the game data's broken shader script only.
    // The software GL is the machine's, told once and counted nowhere.
    const size_t ofGameData = characters->Problems().size();
    EXPECT_EQ(ofGameData, 1u);
    EXPECT_EQ(characters->Problems().front().caption, "Shader Scripts");
    const size_t machineFacts = overlayLine(*characters, "Machine: ").empty() ? 0 : 1;
    if (machineFacts)
        EXPECT_EQ(overlayLine(*characters, "Machine: "), "Machine: No OpenGL Hardware");
    press('P');
    const std::vector<platform::RecordedMessage> mira = characters->Problems();
    ASSERT_EQ(mira.size(), ofGameData + 3) << overlayLine(*characters, "Problems");
    EXPECT_NE(mira[ofGameData].text.find("egs.tga"), std::string::npos) << mira[ofGameData].text;
    EXPECT_NE(mira[ofGameData + 1].text.find("unknown token 'oops'"), std::string::npos);
    EXPECT_EQ(mira[ofGameData + 2].caption, "Game");
    EXPECT_EQ(mira[ofGameData + 2].text.find("the game refuses this character and shows its default character: no icon"),
              0u)
        << mira[ofGameData + 2].text;
    EXPECT_EQ(overlayLine(*characters, "Problems"), "Problems: " + std::to_string(ofGameData + 3) + " (E lists them)");
    EXPECT_EQ(overlayLine(*characters, "Game"), "Game: refuses this character and shows its default one (1 reason, E "
                                                "lists them)");
    press('E');
    EXPECT_EQ(characters->OverlayLines().back(), "- Game: " + mira.back().text);
    press('P');
    EXPECT_EQ(characters->Problems().size(), ofGameData);
    // Every message is still recorded, none waited in a box.
    EXPECT_EQ(platform::RecordedMessages().size(), ofGameData + 3 + machineFacts);
    EXPECT_EQ(boxesShown, 0);
    platform::SetNonInteractive(true);
    platform::UseWindowMessageBoxes();
}

TEST_F(CharacterModeTest, ArrowsChooseWhatPlaysAndPeriodAndCommaStepThePausedFrames)
{
    open(game);
    // The key, then the animations of torso and legs the overlay names.
    const std::tuple<uint16_t, const char*, const char*> steps[] = {
        {platform::VK_UP, "TORSO_STAND2", "LEGS_IDLE"},
        {platform::VK_UP, "TORSO_GETFLAG", "LEGS_IDLE"}, // the newer torso animations follow
        {platform::VK_DOWN, "TORSO_STAND2", "LEGS_IDLE"},
        {platform::VK_LEFT, "TORSO_STAND2", "LEGS_LANDB"},
        {platform::VK_RIGHT, "TORSO_STAND2", "LEGS_IDLE"},
        {platform::VK_RIGHT, "TORSO_STAND2", "LEGS_IDLECR"},
        {platform::VK_RIGHT, "TORSO_STAND2", "LEGS_TURN"},
        {platform::VK_RIGHT, "TORSO_STAND2", "LEGS_BACKCR"}, // the game's own backwards walks
        {platform::VK_RIGHT, "TORSO_STAND2", "LEGS_BACKWALK"},
        {platform::VK_RIGHT, "BOTH_DEATH1", "BOTH_DEATH1"}, // round the table, onto both parts
        {platform::VK_LEFT, "TORSO_STAND", "LEGS_BACKWALK"}, // off it: the torso stands
    };
    for (const auto& [key, torso, legs] : steps) {
        press(key);
        EXPECT_NE(overlayLine(*characters, std::string("Torso: ") + torso + "  frame"), "") << torso;
        EXPECT_NE(overlayLine(*characters, std::string("Legs: ") + legs + "  frame"), "") << legs;
    }
    for (int tick = 0; tick < 10; ++tick) {
        platform::AdvanceTickCount(40);
        form->Timer1Timer();
    }
    const std::string playing = overlayLine(*characters, "Legs: ");
    press(platform::VK_OEM_PERIOD);
    EXPECT_EQ(overlayLine(*characters, "Legs: "), playing) << "steps only while paused";
    press(platform::VK_SPACE);
    press(platform::VK_UP); // paused: the new animation shows its first frame at once
    EXPECT_NE(overlayLine(*characters, "Torso: ").find("(1 of "), std::string::npos);
    const int torso = shownFrame(overlayLine(*characters, "Torso: "));
    const int legs = shownFrame(overlayLine(*characters, "Legs: "));
    press(platform::VK_OEM_PERIOD);
    EXPECT_EQ(shownFrame(overlayLine(*characters, "Torso: ")), torso + 1);
    EXPECT_NE(shownFrame(overlayLine(*characters, "Legs: ")), legs);
    press(platform::VK_OEM_COMMA);
    EXPECT_EQ(shownFrame(overlayLine(*characters, "Torso: ")), torso);
    EXPECT_EQ(shownFrame(overlayLine(*characters, "Legs: ")), legs);
}

TEST_F(CharacterModeTest, HomeFramesTheCharacterAgainAndF12SavesTheView)
{
    open(game);
    const TGLCameraRec framed = form->CameraRec;
    EXPECT_NE(framed.View.Y, StartViewPoint().Y); // framed on the character, not the scene
    bool handled = false;
    form->FormMouseWheel(0, -120, 0, 0, handled);
    EXPECT_NE(form->CameraRec.Eye.Z, framed.Eye.Z);
    press(platform::VK_HOME);
    EXPECT_EQ(std::memcmp(&form->CameraRec.Eye, &framed.Eye, sizeof framed.Eye), 0);

    const std::string here = platform::GetCurrentDir();
    const std::string shots = sandbox->dir.file("shots"), pictures = sandbox->dir.file("pictures");
    std::filesystem::create_directories(shots);
    std::filesystem::create_directories(pictures);
    ASSERT_TRUE(platform::SetCurrentDir(shots));
    press(platform::VK_F12);
    std::vector<uint8_t> shown(static_cast<size_t>(window.ClientWidth()) * window.ClientHeight() * 3);
    platform::SetBeforeSwapHook([&] {
        glReadPixels(0, 0, window.ClientWidth(), window.ClientHeight(), GL_RGB, GL_UNSIGNED_BYTE, shown.data());
    });
    press(platform::VK_F12);
    platform::SetBeforeSwapHook(nullptr);
    EXPECT_EQ(overlayLine(*characters, "Saved "), "Saved " + shots + "/quillmo-bruno-default-2.png");
    int width = 0, height = 0;
    std::vector<uint8_t> saved;
    ASSERT_TRUE(platform::ReadPng(shots + "/quillmo-bruno-default-1.png", width, height, saved));
    EXPECT_EQ(width, window.ClientWidth());
    // The view without the overlay: none of its text's colour.
    const auto overlayInk = [](const std::vector<uint8_t>& p) {
        int n = 0;
        for (size_t i = 0; i + 2 < p.size(); i += 3)
            n += p[i] == 0 && p[i + 1] == p[i + 2] && (p[i + 1] == 134 || p[i + 1] == 135);
        return n;
    };
    EXPECT_GT(overlayInk(shown), 100);
    // The axes stand inside the hips as lines only; X hides and shows them.
    EXPECT_EQ(characters->Axes(), SceneAxes::Lines);
    press('X');
    EXPECT_EQ(characters->Axes(), SceneAxes::Hidden);
    press('X');
    EXPECT_NE(characters->OverlayLines().back().find("X axes"), std::string::npos);
    EXPECT_EQ(overlayInk(saved), 0);
    // A current folder that cannot be written: the pictures folder.
    std::filesystem::remove_all(shots);
    ::setenv("XDG_PICTURES_DIR", pictures.c_str(), 1);
    press(platform::VK_F12);
    ::unsetenv("XDG_PICTURES_DIR");
    platform::SetCurrentDir(here);
    EXPECT_TRUE(std::filesystem::exists(pictures + "/quillmo-bruno-default-1.png"))
        << overlayLine(*characters, "Not saved");
}

// The sample game's quirks play as the game plays them: bruno's table on one
// line is read whole, and vesta's idle legs (a negative count) start on the
// first frame in the file, then run down from the last.
TEST_F(CharacterModeTest, TablesOnOneLineAndBackwardsEntriesPlayAsTheGamePlaysThem)
{
    open(choose({{"root", game}, {"character", "bruno"}}));
    EXPECT_NE(overlayLine(*characters, "Torso: TORSO_STAND  frame").find("(1 of "), std::string::npos);
    open(choose({{"root", game}, {"character", "vesta"}}));
    const GameAnimationEntry idle = characters->ShownPlayer().Animations[kLegsIdle];
    ASSERT_TRUE(idle.Reversed);
    std::vector<int> shown;
    for (int tick = 0; tick < 4; ++tick) {
        shown.push_back(shownFrame(overlayLine(*characters, "Legs: LEGS_IDLE")));
        platform::AdvanceTickCount(idle.FrameLerpMs);
        form->Timer1Timer();
    }
    const int last = idle.FirstFrame + idle.FrameCount - 1;
    EXPECT_EQ(shown, (std::vector<int>{idle.FirstFrame, idle.FirstFrame, last, last - 1}));
}

// The animations named in the overlay after keys are the ones drawn: the
// program's picture after those keys equals its picture started on them.
TEST_F(CharacterModeTest, TheAnimationsTheOverlayNamesAreTheOnesDrawn)
{
    const std::string keys = "Up,Up,Down,Left,Left";
    open(game);
    for (uint16_t key : {platform::VK_UP, platform::VK_UP, platform::VK_DOWN, platform::VK_LEFT, platform::VK_LEFT})
        press(key);
    const auto named = [&](const std::string& part) {
        const std::string line = overlayLine(*characters, part + ": ");
        return line.substr(part.size() + 2, line.find("  frame") - part.size() - 2);
    };
    std::filesystem::copy_file(QUILLMO_EXE, sandbox->dir.file("Quillmo"),
                               std::filesystem::copy_options::overwrite_existing);
    const auto picture = [&](const std::string& args) {
        std::string out;
        EXPECT_EQ(testsupport::runCommand("cd '" + sandbox->dir.path() + "' && SDL_VIDEODRIVER=offscreen ./Quillmo " +
                                              "SampleGame --frames 30 --screenshot p.png " + args + " 2>&1",
                                          out),
                  0)
            << out;
        int width = 0, height = 0;
        std::vector<uint8_t> rgb;
        EXPECT_TRUE(platform::ReadPng(sandbox->dir.file("p.png"), width, height, rgb));
        return rgb;
    };
    // On a stopped clock and framed again, as the game's playback blends a
    // change in from the frame shown while a start shows the first frame.
    // The two ways to the pose reach it by other float steps (a blend
    // between two equal frames), which may move a pixel or two.
    const auto differing = [](const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
        size_t count = a.size() == b.size() ? 0 : a.size() + b.size();
        for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
            count += a[i] != b[i];
        return count;
    };
    const std::vector<uint8_t> stepped = picture("--keys Space," + keys + ",Home,T");
    EXPECT_LE(differing(stepped, picture("--torso " + named("Torso") + " --legs " + named("Legs") +
                                         " --keys Space,Home,T")),
              12u);
    EXPECT_GT(differing(stepped, picture("--keys Space,Home,T")), 1000u);
}

} // namespace
