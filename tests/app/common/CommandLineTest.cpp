#include "app/common/CommandLine.h"
#include "platform/window/Input.h"

#include <gtest/gtest.h>

TEST(CommandLine, NoArgumentsMeanThePlainViewer)
{
    CommandLine c = ParseCommandLine({});
    EXPECT_FALSE(c.frames || c.screenshot || c.answer || c.modelRoot || c.size || c.batch || c.help);
    EXPECT_TRUE(c.keys.empty());
}

TEST(CommandLine, OptionsAndKeyNames)
{
    CommandLine c = ParseCommandLine({"--model-root", "M", "--answer", "No", "--size", "320x200", "--screenshot",
                                      "a.png", "--keys", "Space,pageup,PageDown,7,z,Num3,Home,up,Down,Left,Right,Comma,Period,F12"});
    EXPECT_EQ(*c.modelRoot, "M");
    EXPECT_EQ(*c.answer, platform::DialogAnswer::No);
    EXPECT_EQ(c.size->first, 320);
    EXPECT_EQ(c.size->second, 200);
    EXPECT_TRUE(c.batch); // a screenshot never waits for a box
    EXPECT_EQ(*c.frames, 1);
    EXPECT_EQ(c.keys, (std::vector<uint16_t>{0x20, 0x21, 0x22, 0x37, 0x5A, 0x63, 0x24, 0x26, 0x28, 0x25, 0x27, 0xBC,
                                             0xBE, 0x7B}));
}

TEST(CommandLine, BadOptionsGiveAOneLineError)
{
    for (auto args : std::vector<std::vector<std::string>>{{"--frames", "0"},
                                                           {"--frames"},
                                                           {"--size", "12"},
                                                           {"--answer", "maybe"},
                                                           {"--keys", "Space,,A"},
                                                           {"--keys", "F13"},
                                                           {"--keys", "F0"},
                                                           {"--torso", "DANCE"},
                                                           {"G", "--torso", "LEGS_RUN"},
                                                           {"G", "--legs", "TORSO_GESTURE"},
                                                           {"--check", "--legs", "BOTH_DEAD1"},
                                                           {"--bogus"},
                                                           {"--skin"},
                                                           {"one", "two"},
                                                           {"--weapon", "none"},
                                                           {"--character", "x", "path"},
                                                           {"--game-root", "g", "--model-root", "m"},
                                                           {"--check", "--frames", "2"},
                                                           {"--check", "--contact-sheet", "a.png"},
                                                           {"--contact-sheet", "a.png", "--cell", "3x"},
                                                           {"--all-skins"},
                                                           {"--thumbnail", "in.md3"},
                                                           {"--thumbnail", "a", "b", "--game-root", "g"},
                                                           {"--thumbnail-size", "64"},
                                                           {"--export", "x.glb"},
                                                           {"G", "--export", "x.obj"},
                                                           {"G", "--record", "x.png"},
                                                           {"G", "--export", "x.glb", "--record", "x.gif"},
                                                           {"G", "--export", "x.glb", "--legs", "LEGS_RUN"},
                                                           {"G", "--record", "x.gif", "--frames", "3"},
                                                           {"G", "--record", "x.gif", "--seconds", "0"},
                                                           {"G", "--record", "x.gif", "--animation", "DANCE"},
                                                           {"G", "--turntable"},
                                                           {"--check", "--export", "x.glb"}}) {
        try {
            ParseCommandLine(args);
            ADD_FAILURE() << args[0];
        } catch (const CommandLineError& e) {
            EXPECT_EQ(std::string(e.what()).find('\n'), std::string::npos);
        }
    }
}

TEST(CommandLine, CharacterModeAndTheTools)
{
    CommandLine c = ParseCommandLine({"--game-root", "G", "--character", "mira", "--skin", "blue", "--keys",
                                      "N,Shift+P"});
    EXPECT_TRUE(c.CharacterMode());
    EXPECT_EQ(c.keys, (std::vector<uint16_t>{'N', 'P'}));
    EXPECT_EQ(c.keyShifts, (std::vector<uint8_t>{0, uint8_t(platform::ssShift)}));
    EXPECT_TRUE(ParseCommandLine({"SampleGame"}).CharacterMode());
    // Animations by the game's names in any letter case; one of both parts for either.
    c = ParseCommandLine({"SampleGame", "--torso", "both_dead2", "--legs", "LEGS_RUN"});
    EXPECT_EQ(c.animations.torso, 3u);
    EXPECT_EQ(c.animations.legs, 15u);

    c = ParseCommandLine({"--contact-sheet", "s.png", "--game-root", "G", "a", "b", "--cell", "64x32", "--columns",
                          "3", "--all-skins"});
    EXPECT_FALSE(c.CharacterMode());
    EXPECT_TRUE(c.Tool());
    EXPECT_EQ(c.paths.size(), 2u);
    EXPECT_EQ(*c.cell, std::make_pair(64, 32));
    // --animation sets the parts its animation plays on.
    c = ParseCommandLine({"G", "--record", "a.GIF", "--animation", "torso_gesture", "--seconds", "1.5", "--turntable"});
    EXPECT_TRUE(c.CharacterMode() && c.Writes());
    EXPECT_EQ(c.animations.torso, 6u);
    EXPECT_FALSE(c.animations.legs);
    EXPECT_EQ(*c.seconds, 1.5);
    c = ParseCommandLine({"G", "--record", "a.webp", "--animation", "BOTH_DEATH2"});
    EXPECT_EQ(c.animations.torso, 2u);
    EXPECT_EQ(c.animations.legs, 2u);
    EXPECT_TRUE(ParseCommandLine({"G", "--export", "a.gltf", "--all-skins"}).allSkins);
    c = ParseCommandLine({"--thumbnail", "file:///x.md3", "o.png", "--thumbnail-size", "128", "--legs", "BOTH_DEAD1"});
    EXPECT_EQ(*c.thumbnailOutput, "o.png");
    EXPECT_EQ(*c.thumbnailSize, 128);
}
