// Skin files, animation files and playback by the game's rules. Expected
// values are worked out by hand from the game's reading, not from our code.
#include "game/GameAnimation.h"
#include "game/GameCharacter.h"
#include "game/GameSkin.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(GameSkinFile, ReadsAStreamOfTokens)
{
    // One line, a comment after a name, a blank before a comma, a quoted
    // name, tags in any place and letter case, and a surface named twice.
    const GameSkin skin = ReadGameSkin("U_Torso,models/a.tga // the body\n"
                                       "h_head ,face.tga\n"
                                       "l_legs,\"my legs.tga\" tag_torso,\nmytag_x,\nTAG_head,z.tga\n"
                                       "u_torso,second.tga\n"
                                       "u_arms,\n");
    struct Entry {
        const char* surface;
        const char* shader;
        int line;
    };
    const Entry expected[] = {{"u_torso", "models/a.tga", 1}, {"h_head", ",face.tga", 2}, {"l_legs", "my legs.tga", 3},
                              {"tag_head", "z.tga", 5},       {"u_torso", "second.tga", 6}, {"u_arms", "", 7}};
    ASSERT_EQ(skin.entries.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(skin.entries[i].surface, expected[i].surface) << i;
        EXPECT_EQ(skin.entries[i].shader, expected[i].shader) << i;
        EXPECT_EQ(skin.entries[i].surfaceLine, expected[i].line) << i;
    }
    EXPECT_EQ(skin.tagLines, (std::vector<int>{3, 4}));
    EXPECT_EQ(FindSkinEntry(skin, "u_torso")->shader, "models/a.tga"); // the first line wins
    EXPECT_EQ(FindSkinEntry(skin, "U_Torso"), nullptr);                // stored names are lower case

    std::string many;
    for (int i = 0; i < 300; ++i)
        many += "s" + std::to_string(i) + ",x.tga\n";
    const GameSkin capped = ReadGameSkin(many);
    EXPECT_EQ(capped.entries.size(), 256u); // the game's limit, as the README gives it
    EXPECT_EQ(capped.ignored, 300u - 256u);
}

TEST(GameSkinFile, SurfaceNamesAsTheGameStoresThem)
{
    const std::pair<const char*, const char*> cases[] = {
        {"u_torso_1", "u_torso"}, {"U_Torso_A", "u_torso"}, {"gun_z", "gun"}, {"a_1", "a"},
        {"_1", "_1"},             {"u_torso_12", "u_torso_12"}, {"h_head", "h_head"}, {"", ""}};
    for (const auto& [md3, stored] : cases)
        EXPECT_EQ(GameSurfaceName(md3), stored) << md3;
}

// The 25 entries every file needs, the gesture at 90 and the first legs
// entry at 153, each with 5 frames, 2 looping, 20 per second.
std::string neededEntries(const std::string& separator)
{
    std::string text;
    for (int i = 0; i < 25; ++i) {
        const int first = i == 6 ? 90 : i == 13 ? 153 : 100 + i;
        text += std::to_string(first) + " 5 2 20" + separator;
    }
    return text;
}

TEST(GameAnimationFile, ReadsEntriesAsTheGameDoes)
{
    struct Case {
        const char* what;
        std::string text;
        int entriesRead;
        bool refused;
        bool copied;
        size_t problems;
    };
    const Case cases[] = {
        {"an entry a line", "sex f\nheadoffset 0 0 0\n" + neededEntries("\n"), 25, false, true, 0},
        {"all numbers on one line", neededEntries(" "), 25, false, true, 0},
        {"with the newer torso entries", neededEntries("\n") + "1 2 3 4 1 2 3 4 1 2 3 4 1 2 3 4 "
                                                                                     "1 2 3 4 1 2 3 4",
         31, false, false, 0},
        {"an unknown word before the entries", "walk fast\n" + neededEntries("\n"), 25, false, true, 2},
        {"an entry short", neededEntries("\n").substr(0, neededEntries("\n").rfind("153")), 13, true, false, 0},
        {"an entry cut short", neededEntries("\n") + "1 2", 25, true, false, 0},
        {"empty", "", 0, true, false, 0},
        {"keywords only", "sex m\nfootsteps boot\n", 0, true, false, 0},
        {"too long", neededEntries("\n") + std::string(20000, ' '), 0, true, false, 0},
    };
    for (const Case& c : cases) {
        const GameAnimationFile file = ReadGameAnimation(c.text);
        EXPECT_EQ(file.entriesRead, c.entriesRead) << c.what;
        EXPECT_EQ(file.refusal.has_value(), c.refused) << c.what;
        EXPECT_EQ(file.copiedFromGesture, c.copied) << c.what;
        EXPECT_EQ(file.problems.size(), c.problems) << c.what;
    }

    // Numbers as atoi and atof read them, the legs moved down by 153 - 90,
    // a negative count played backwards, a rate of 0 taken as 1.
    std::string text = neededEntries("\n");
    text.replace(text.find("100 5 2 20"), 10, "100x 5.9 2 0");
    text.replace(text.find("122 5 2 20"), 10, "122 -5 0 12.5");
    const GameAnimationFile file = ReadGameAnimation(text);
    ASSERT_FALSE(file.refusal);
    const GameAnimationEntry& death = file.entries[0];
    EXPECT_EQ(death.FirstFrame, 100);
    EXPECT_EQ(death.FrameCount, 5);
    EXPECT_EQ(death.FrameLerpMs, 1000);
    const GameAnimationEntry& idle = file.entries[kLegsIdle];
    EXPECT_EQ(idle.FirstFrame, 122 - 63);
    EXPECT_EQ(idle.FrameCount, 5);
    EXPECT_TRUE(idle.Reversed);
    EXPECT_EQ(idle.FrameLerpMs, 80);
    EXPECT_EQ(file.entries[kLegsWalkCrouched].FirstFrame, 90);
    EXPECT_EQ(file.entries[kTorsoStand].FirstFrame, 111); // torso entries stay
    // The entries the game makes: the gesture for the newer torso ones,
    // backwards walks, and the flag's own.
    EXPECT_EQ(file.entries[kTorsoNegative].FirstFrame, 90);
    EXPECT_EQ(file.entries[kLegsBackWalk].FirstFrame, 114 - 63);
    EXPECT_TRUE(file.entries[kLegsBackWalk].Reversed);
    EXPECT_EQ(file.entries[kFlagStand].FirstFrame, 16);
    EXPECT_STREQ(GameAnimationName(kLegsBackWalk), "LEGS_BACKWALK");
    EXPECT_STREQ(GameAnimationName(31), "");
}

// Frames 10 ... 14, the last 2 looping, 10 per second: the game's clock
// starts the animation on frame 10 and switches every 100 ms.
TEST(GamePlayback, FramesOverTimeAsTheGameShowsThem)
{
    struct Step {
        int64_t ms;
        int32_t current, next;
        float blend;
    };
    const auto play = [](GameAnimationEntry a, std::initializer_list<Step> steps) {
        GamePart part;
        StartGameAnimation(part, a);
        for (const Step& s : steps) {
            UpdateGameFrame(part, s.ms);
            EXPECT_EQ(part.model.CurrentFrame, s.current) << s.ms;
            EXPECT_EQ(part.model.NextFrame, s.next) << s.ms;
            EXPECT_NEAR(part.model.Blend, s.blend, 1e-5) << s.ms;
        }
    };
    GameAnimationEntry a{10, 4, 2, 10};
    a.FrameCount = 5;
    a.FrameLerpMs = a.InitialLerpMs = 100;
    play(a, {{0, 10, 10, 0}, {50, 10, 10, 0.5f}, {100, 10, 11, 0}, {150, 10, 11, 0.5f}, {200, 11, 12, 0},
             {300, 12, 13, 0}, {400, 13, 14, 0}, {500, 14, 13, 0}, {600, 13, 14, 0},
             // a clock that jumps moves one frame and catches up
             {1000, 14, 13, 1}, {1050, 13, 14, 0.5f}});
    // Backwards: the clock starts on the first frame in the file, then plays
    // from the last frame down, and stays on the lowest without looping.
    a.Reversed = true;
    a.LoopingFrames = 0;
    play(a, {{0, 10, 14, 0}, {100, 14, 13, 0}, {200, 13, 12, 0}, {300, 12, 11, 0}, {400, 11, 10, 0}, {500, 10, 10, 1}, {700, 10, 10, 1}});
}

// On a stopped clock each step shows the next or the previous frame as the
// game would play them (round the looping frames at the end, never before
// the first), unblended, and playing on continues from there.
TEST(GamePlayback, StepsOnAStoppedClock)
{
    GameAnimationEntry a{10, 4, 2, 10};
    a.FrameCount = 5;
    a.FrameLerpMs = a.InitialLerpMs = 100;
    GamePart part;
    StartGameAnimation(part, a);
    UpdateGameFrame(part, 5000);
    const std::pair<int, int32_t> steps[] = {{-1, 10}, {1, 11}, {1, 12}, {-1, 11}, {1, 12},
                                             {1, 13}, {1, 14}, {1, 13}, {1, 14}};
    for (const auto& [step, shown] : steps) {
        StepGameFrame(part, step, 5000);
        EXPECT_EQ(part.model.CurrentFrame, shown);
        EXPECT_EQ(part.model.Blend, 0.0f);
    }
    UpdateGameFrame(part, 5000);
    EXPECT_EQ(part.model.CurrentFrame, 14);
    EXPECT_EQ(part.model.NextFrame, 13);
    UpdateGameFrame(part, 5050);
    EXPECT_NEAR(part.model.Blend, 0.5f, 1e-5);
}

TEST(GameModel, RefusedAsTheGameRefusesIt)
{
    const auto part = [](const char* ident, int32_t version, int32_t frames, int32_t verts, int32_t tris) {
        TMD3Model p;
        std::copy_n(ident, 4, p.Header.Ident);
        p.Header.Version = version;
        p.Header.NumFrames = frames;
        p.Meshes.resize(1);
        p.Meshes[0].Header.NumVerts = verts;
        p.Meshes[0].Header.NumTriangles = tris;
        return p;
    };
    EXPECT_FALSE(GameModelRefusal(part("IDP3", 15, 1, 999, 1999)));
    EXPECT_TRUE(GameModelRefusal(part("IDP3", 15, 1, 1000, 10)));
    EXPECT_TRUE(GameModelRefusal(part("IDP3", 15, 1, 10, 2000)));
    EXPECT_TRUE(GameModelRefusal(part("IDP3", 15, 0, 10, 10)));
    EXPECT_TRUE(GameModelRefusal(part("IDP3", 16, 1, 10, 10)));
    EXPECT_TRUE(GameModelRefusal(part("idp3", 15, 1, 10, 10)));
    // The format's documented limits, as the README gives them: 32
    // surfaces, 16 tags, 1,024 frames, 256 shaders a surface; each over by
    // one is a note, each at its limit none.
    TMD3Model atLimits = part("IDP3", 15, 1024, 3, 1);
    atLimits.Header.NumSurfaces = 32;
    atLimits.Header.NumTags = 16;
    atLimits.Meshes[0].Header.NumShaders = 256;
    EXPECT_TRUE(GameModelLimitNotes(atLimits).empty());
    TMD3Model big = atLimits;
    big.Header.NumFrames = 1025;
    big.Header.NumSurfaces = 33;
    big.Header.NumTags = 17;
    big.Meshes[0].Header.NumShaders = 257;
    const std::vector<std::string> notes = GameModelLimitNotes(big);
    ASSERT_EQ(notes.size(), 4u);
    EXPECT_EQ(notes[1].rfind("17 tags, more than the format's 16", 0), 0u) << notes[1];
    EXPECT_EQ(notes[3].rfind("257 shaders on surface", 0), 0u) << notes[3];
}

} // namespace
