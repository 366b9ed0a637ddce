// Character mode in-process: what the options and paths open, the window's
// title, stepping through skins and characters, dropped files, and the
// textures of characters switched many times.
#include "app/character/CharacterMode.h"
#include "app/viewer/Unit1.h"
#include "app/viewer/Units.h"

#include "platform/files/FileLayer.h"
#include "platform/window/GLContext.h"
#include "platform/system/System.h"
#include "support/HeapBytes.h"
#include "support/ProgramSession.h"
#include "tools/samples/SampleGame.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

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
    void open(CharacterChoice choice)
    {
        characters = std::make_unique<CharacterMode>(std::move(choice));
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
    EXPECT_EQ(characters->ShownPlayer().Lower.FileName, "models/players/mira/lower.md3");
    press('P');
    press('P');
    press('P'); // round to the first
    EXPECT_EQ(window.Caption(), "Quillmo \xE2\x80\x94 bruno (default)");
    press('P', platform::ssShift);
    EXPECT_EQ(characters->Choice().name, "vesta");
    press('P', platform::ssShift);
    EXPECT_EQ(characters->Choice().name, "Oskar"); // as his loose folder spells it
    EXPECT_FALSE(characters->ShownWeapon().Meshes.empty());
    EXPECT_EQ(characters->ShownPlayer().Rules, Conventions::Game);
}

// Live GL textures: names that are textures, among the first few thousand.
int liveTextures()
{
    int count = 0;
    for (GLuint name = 1; name < 4096; ++name)
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
    // Two rounds of 96 switches, each back to the same character and skin,
    // whose textures are to be counted against the same character's before.
    const size_t before = testsupport::heapBytes();
    switches(96);
    EXPECT_EQ(liveTextures(), textures);
    const size_t between = testsupport::heapBytes();
    switches(96);
    EXPECT_EQ(liveTextures(), textures);
    const size_t after = testsupport::heapBytes();
    // A leaked character (parts and textures) would cost tens of kilobytes
    // every time, in both rounds; a pool the driver grows once shows in one.
    const auto growth = [](size_t from, size_t to) { return to > from ? to - from : 0; };
    EXPECT_LT(std::min(growth(before, between), growth(between, after)), 1024u * 1024u)
        << "heap " << before << " -> " << between << " -> " << after;
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

} // namespace
