#include "app/CommandLine.h"

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
                                      "a.png", "--keys", "Space,pageup,PageDown,7,z,Num3"});
    EXPECT_EQ(*c.modelRoot, "M");
    EXPECT_EQ(*c.answer, platform::DialogAnswer::No);
    EXPECT_EQ(c.size->first, 320);
    EXPECT_EQ(c.size->second, 200);
    EXPECT_TRUE(c.batch); // a screenshot never waits for a box
    EXPECT_EQ(*c.frames, 1);
    EXPECT_EQ(c.keys, (std::vector<uint16_t>{0x20, 0x21, 0x22, 0x37, 0x5A, 0x63}));
}

TEST(CommandLine, BadOptionsGiveAOneLineError)
{
    for (auto args : std::vector<std::vector<std::string>>{{"--frames", "0"},
                                                           {"--frames"},
                                                           {"--size", "12"},
                                                           {"--answer", "maybe"},
                                                           {"--keys", "Space,,A"},
                                                           {"--keys", "F13"},
                                                           {"--bogus"}}) {
        try {
            ParseCommandLine(args);
            ADD_FAILURE() << args[0];
        } catch (const CommandLineError& e) {
            EXPECT_EQ(std::string(e.what()).find('\n'), std::string::npos);
        }
    }
}
