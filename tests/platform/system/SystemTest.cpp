#include "platform/system/CodePage.h"
#include "platform/system/Errors.h"
#include "platform/system/Random.h"
#include "platform/system/System.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>

TEST(Random, DrawsFollowTheLinearCongruence)
{
    platform::SetRandSeed(1000);
    // seed 1000 -> 1000 * 134775813 + 1 mod 2^32 = 1631826825; 3 * that >> 32 = 1
    EXPECT_EQ(platform::Random(3), 1u);
    EXPECT_EQ(platform::RandSeed(), 1631826825u);
    platform::SetRandSeed(0xFFFFFFFFu);
    EXPECT_EQ(platform::Random(0), 0u);
    EXPECT_EQ(platform::RandSeed(), 4160191484u);
    for (int i = 0; i < 1000; ++i)
        EXPECT_LT(platform::Random(25), 25u);
}

TEST(StrToInt, AcceptsWholeNumbersAndNamesTheBadText)
{
    EXPECT_EQ(platform::StrToInt("  42"), 42);
    EXPECT_EQ(platform::StrToInt("-7"), -7);
    EXPECT_EQ(platform::StrToInt("$10"), 16);
    for (const char* bad : {"", " ", "4 2", "12abc", "2147483648", "//"}) {
        try {
            platform::StrToInt(bad);
            ADD_FAILURE() << bad;
        } catch (const platform::EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), std::string("'") + bad + "' is not a valid integer value");
        }
    }
}

// The ends of the 32-bit range in every form the conversion reads; one past
// them is refused. Hexadecimal stands for the 32 bits, so a sign negates them
// modulo 2^32.
TEST(StrToInt, ConvertsBothEndsOfTheRange)
{
    for (const char* lowest : {"-2147483648", "-$80000000", "-0x80000000", "$80000000", " -0X80000000"})
        EXPECT_EQ(platform::StrToInt(lowest), INT32_MIN) << lowest;
    EXPECT_EQ(platform::StrToInt("2147483647"), INT32_MAX);
    EXPECT_EQ(platform::StrToInt("$7FFFFFFF"), INT32_MAX);
    EXPECT_EQ(platform::StrToInt("-$FFFFFFFF"), 1);
    EXPECT_EQ(platform::StrToInt("$FFFFFFFF"), -1);
    for (const char* beyond : {"-2147483649", "$100000000", "-0x100000000", "-18446744073709551616"})
        EXPECT_EQ(platform::StrToIntDef(beyond, 77), 77) << beyond;
}

TEST(System, ResolvesFileNamesIgnoringCaseWhenNoExactMatch)
{
    testsupport::TempDir dir;
    dir.write("Model/ModelLara/Body/Lower.MD3", "x");
    dir.write("Model/exact.skin", "a");
    dir.write("Model/EXACT.skin", "b");
    EXPECT_EQ(platform::ResolvePath(dir.file("model/modellara/body/lower.md3")),
              dir.file("Model/ModelLara/Body/Lower.MD3"));
    EXPECT_EQ(platform::ResolvePath(dir.file("Model/EXACT.skin")), dir.file("Model/EXACT.skin"));
    EXPECT_EQ(platform::ResolvePath(dir.file("Model/nothing.skin")), "");
    EXPECT_TRUE(platform::FileExists(dir.file("MODEL/exact.SKIN")));
    EXPECT_FALSE(platform::FileExists(dir.file("Model")));
    EXPECT_TRUE(platform::DirectoryExists(dir.file("model")));
}

TEST(System, PathHelpers)
{
    EXPECT_EQ(platform::ChangeFileExt("/a/b.c/Quillmo", ".ini"), "/a/b.c/Quillmo.ini");
    EXPECT_EQ(platform::ChangeFileExt("/a/Quillmo.exe", ".ini"), "/a/Quillmo.ini");
    EXPECT_EQ(platform::ExtractFilePath("/a/b/c.md3"), "/a/b/");
    EXPECT_EQ(platform::ExpandFileName("/a/./b/../c/"), "/a/c/");
}

TEST(CodePage, Big5LeadBytesAndConversion)
{
    platform::SetActiveCodePage(platform::kCodePageBig5);
    EXPECT_TRUE(platform::IsDBCSLeadByte(0x81));
    EXPECT_TRUE(platform::IsDBCSLeadByte(0xFE));
    EXPECT_FALSE(platform::IsDBCSLeadByte(0x80));
    EXPECT_FALSE(platform::IsDBCSLeadByte(0xFF));
    EXPECT_EQ(platform::CharToUnicode("\xC0\xCB"), U'\u6AA2'); // 檢
    EXPECT_EQ(platform::CharToUnicode("A"), U'A');
    EXPECT_EQ(platform::CharToUnicode("\xC0"), 0u); // lone lead byte
    platform::SetActiveCodePage(platform::kCodePageWestern);
    EXPECT_FALSE(platform::IsDBCSLeadByte(0xC0));
    EXPECT_EQ(platform::CharToUnicode("\xC0"), U'\u00C0');
    platform::SetActiveCodePage(platform::kCodePageBig5);
}

// An absolute $XDG_CONFIG_HOME is the folder; a relative or empty one is
// invalid and ~/.config/ serves, as when it is unset.
TEST(System, UserConfigFolderTakesOnlyAnAbsoluteXdgConfigHome)
{
    const char* savedHome = std::getenv("HOME");
    const std::string home = savedHome ? savedHome : "";
    ::setenv("HOME", "/home/someone", 1);
    const std::pair<const char*, const char*> cases[] = {
        {"/elsewhere/cfg", "/elsewhere/cfg/"},
        {"relative/cfg", "/home/someone/.config/"},
        {"", "/home/someone/.config/"},
    };
    for (const auto& [config, folder] : cases) {
        ::setenv("XDG_CONFIG_HOME", config, 1);
        EXPECT_EQ(platform::UserConfigFolder(), folder) << config;
    }
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(platform::UserConfigFolder(), "/home/someone/.config/");
    savedHome ? ::setenv("HOME", home.c_str(), 1) : ::unsetenv("HOME");
}

// A new file among the devices is refused; one in a folder mounted below
// them for files of its own (/dev/shm, where there is one) or anywhere else
// is not.
TEST(System, NoNewFileAmongTheDevices)
{
    EXPECT_THROW(platform::CheckPlaceForNewFile("/dev/quillmo-test.gltf"), platform::EInOutError);
    EXPECT_NO_THROW(platform::CheckPlaceForNewFile("/dev/null")); // there already: the caller's choice
    const testsupport::TempDir dir;
    EXPECT_NO_THROW(platform::CheckPlaceForNewFile(dir.file("new.glb")));
    struct stat devices {}, shm {};
    if (::stat("/dev", &devices) == 0 && ::stat("/dev/shm", &shm) == 0 && shm.st_dev != devices.st_dev)
        EXPECT_NO_THROW(platform::CheckPlaceForNewFile("/dev/shm/quillmo-test.glb"));
}
