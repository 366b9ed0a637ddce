#include "platform/IniFile.h"

#include "platform/Errors.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

using platform::IniFile;
using testsupport::TempDir;

TEST(IniFile, MissingFileReadsEmptyAndIsCreatedOnWrite)
{
    TempDir dir;
    IniFile ini(dir.file("a.ini"));
    EXPECT_FALSE(ini.SectionExists("S"));
    EXPECT_EQ(ini.ReadInteger("S", "k", 42), 42);
    ini.WriteInteger("S", "k", 7);
    ini.UpdateFile();
    EXPECT_EQ(dir.read("a.ini"), "[S]\nk=7\n");
}

TEST(IniFile, MatchesSectionsAndKeysIgnoringCaseAndKeepsOtherLines)
{
    TempDir dir;
    dir.write("a.ini", "; a comment\n[Other]\nx = keep me \n\n[TGLManager]\nFAxisLength=20\nstray line\n"
                       "[Third]\ny=2\n");
    IniFile ini(dir.file("a.ini"));
    EXPECT_EQ(ini.ReadString("other", "X", ""), "keep me");
    ini.WriteInteger("tglmanager", "mGLManager", 3);
    ini.WriteFloat("TGLMANAGER", "faxislength", 12.5);
    ini.UpdateFile();
    EXPECT_EQ(dir.read("a.ini"), "; a comment\n[Other]\nx = keep me \n\n[TGLManager]\nfaxislength=12.5\n"
                                 "stray line\nmGLManager=3\n[Third]\ny=2\n");
}

TEST(IniFile, ValueEncodings)
{
    TempDir dir;
    IniFile ini(dir.file("a.ini"));
    ini.WriteFloat("S", "twenty", 20.0);
    ini.WriteFloat("S", "single", 0.3f);
    ini.WriteFloat("S", "neg", -2.5);
    const uint8_t bytes[] = {0x00, 0x3F, 0xAB, 0xff};
    ini.WriteBinary("S", "bin", bytes, sizeof bytes);
    EXPECT_EQ(ini.ReadString("S", "twenty", ""), "20");
    EXPECT_EQ(ini.ReadString("S", "single", ""), "0.300000011920929");
    EXPECT_EQ(ini.ReadString("S", "bin", ""), "003FABFF");
    EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "neg", 0), -2.5);
    auto back = ini.ReadBinary("S", "bin");
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, std::vector<uint8_t>(bytes, bytes + 4));
}

// Garbage of every kind falls back to the default, and a later save still
// writes a well-formed file in which unrelated sections survive.
TEST(IniFile, BadInputFallsBackToDefaults)
{
    TempDir dir;
    std::string longLine(100000, 'x');
    dir.write("a.ini", "\x01\x02 garbage\n" + longLine + "\n[Unclosed\nint=12\n[S]\nint=12abc\nfloat=1,5\n"
                           "hex=0x1F\nbig=99999999999\nodd=ABC\nnonhex=GG00\nempty=\n" + longLine + "=1\n"
                           "[Keep]\nk=v\n");
    IniFile ini(dir.file("a.ini"));
    EXPECT_EQ(ini.ReadInteger("S", "int", -1), -1);
    EXPECT_EQ(ini.ReadInteger("Unclosed", "int", -1), -1);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "float", 2.0), 2.0);
    EXPECT_EQ(ini.ReadInteger("S", "hex", 0), 31);
    EXPECT_EQ(ini.ReadInteger("S", "big", 5), 5);
    EXPECT_FALSE(ini.ReadBinary("S", "odd"));
    EXPECT_FALSE(ini.ReadBinary("S", "nonhex"));
    ASSERT_TRUE(ini.ReadBinary("S", "empty"));
    EXPECT_TRUE(ini.ReadBinary("S", "empty")->empty());

    float record[2] = {1.0f, 2.0f};
    ini.WriteString("S", "short", "0000803F");      // 4 bytes for an 8-byte record
    ini.WriteString("S", "long", "0000004000004040FFFF"); // 10 bytes: the first 8 count
    EXPECT_FALSE(platform::ReadBinaryRecord(ini, "S", "short", record, sizeof record));
    EXPECT_FALSE(platform::ReadBinaryRecord(ini, "S", "nonhex", record, sizeof record));
    EXPECT_EQ(record[0], 1.0f);
    EXPECT_TRUE(platform::ReadBinaryRecord(ini, "S", "long", record, sizeof record));
    EXPECT_EQ(record[0], 2.0f);
    EXPECT_EQ(record[1], 3.0f);

    ini.WriteInteger("S", "int", 4);
    ini.UpdateFile();
    IniFile again(dir.file("a.ini"));
    EXPECT_EQ(again.ReadInteger("S", "int", -1), 4);
    EXPECT_EQ(again.ReadString("Keep", "k", ""), "v");
    EXPECT_NE(dir.read("a.ini").find(longLine + "\n[Unclosed\n"), std::string::npos);
}

TEST(IniFile, DeleteKeyRemovesOnlyThatLine)
{
    TempDir dir;
    dir.write("a.ini", "[P]\nU0=a\nU1=b\n[Q]\nU0=c\n");
    IniFile ini(dir.file("a.ini"));
    ini.DeleteKey("p", "u0");
    ini.DeleteKey("P", "absent");
    ini.UpdateFile();
    EXPECT_EQ(dir.read("a.ini"), "[P]\nU1=b\n[Q]\nU0=c\n");
}

TEST(IniFile, FailedSaveRaisesAndLeavesNoTemporaryFile)
{
    TempDir dir;
    dir.write("a.ini/occupied", "x"); // the settings path is taken by a folder
    IniFile ini(dir.file("a.ini"));
    ini.WriteInteger("S", "k", 2);
    try {
        ini.UpdateFile();
        FAIL() << "expected EInOutError";
    } catch (const platform::EInOutError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + dir.file("a.ini"));
    }
    size_t entries = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 1u);
}

TEST(IniFile, SaveIntoMissingFolderRaises)
{
    TempDir dir;
    IniFile ini(dir.file("no/such/folder/a.ini"));
    ini.WriteInteger("S", "k", 2);
    EXPECT_THROW(ini.UpdateFile(), platform::EInOutError);
}
