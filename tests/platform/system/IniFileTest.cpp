#include "platform/system/IniFile.h"

#include "platform/system/Errors.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

using platform::IniFile;
using testsupport::TempDir;

namespace {

namespace fs = std::filesystem;

// Permission bits of the file at path, links followed.
mode_t modeOf(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
}

// Names in folder, so a test can see that no temporary file is left behind.
std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void saveOneKey(const std::string& path, int value)
{
    IniFile ini(path);
    ini.WriteInteger("S", "k", value);
    ini.UpdateFile();
}

// Sets the process's umask for the life of the object.
class UmaskScope {
public:
    explicit UmaskScope(mode_t mask) : old_(::umask(mask)) {}
    ~UmaskScope() { ::umask(old_); }

private:
    mode_t old_;
};

} // namespace

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

// A new key joins its section after the last line with text in it, so the
// blank lines that separate the section from the next one stay between them.
TEST(IniFile, NewKeyGoesBeforeTheSectionsTrailingBlankLines)
{
    TempDir dir;
    dir.write("a.ini", "[A]\nk=1\n\n\n[B]\nx=2\n\n");
    IniFile ini(dir.file("a.ini"));
    ini.WriteInteger("A", "n", 2);
    ini.WriteInteger("b", "y", 3);
    ini.WriteInteger("C", "z", 4);
    ini.UpdateFile();
    EXPECT_EQ(dir.read("a.ini"), "[A]\nk=1\nn=2\n\n\n[B]\nx=2\ny=3\n\n[C]\nz=4\n");
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

// A settings file reached through symbolic links (a shared dotfiles folder,
// say) is saved into the file the links lead to: the links stay links, and
// the temporary file is made beside that file and gone afterwards.
TEST(IniFile, SaveWritesThroughSymbolicLinks)
{
    TempDir dir;
    dir.write("shared/real.ini", "[Keep]\nv=1\n");
    fs::create_symlink("shared/real.ini", dir.file("hop.ini")); // relative to the link's folder
    fs::create_symlink(dir.file("hop.ini"), dir.file("a.ini"));
    saveOneKey(dir.file("a.ini"), 5);
    EXPECT_TRUE(fs::is_symlink(dir.file("a.ini")));
    EXPECT_TRUE(fs::is_symlink(dir.file("hop.ini")));
    EXPECT_EQ(dir.read("shared/real.ini"), "[Keep]\nv=1\n\n[S]\nk=5\n");
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"a.ini", "hop.ini", "shared"}));
    EXPECT_EQ(namesIn(dir.file("shared")), std::vector<std::string>{"real.ini"});

    // A link to a file not made yet creates that file.
    fs::create_symlink("later.ini", dir.file("b.ini"));
    saveOneKey(dir.file("b.ini"), 6);
    EXPECT_TRUE(fs::is_symlink(dir.file("b.ini")));
    EXPECT_EQ(dir.read("later.ini"), "[S]\nk=6\n");

    // A link that leads to itself can never be saved through.
    fs::create_symlink("loop.ini", dir.file("loop.ini"));
    IniFile loop(dir.file("loop.ini"));
    loop.WriteInteger("S", "k", 1);
    EXPECT_THROW(loop.UpdateFile(), platform::EInOutError);
    EXPECT_TRUE(fs::is_symlink(dir.file("loop.ini")));
}

// A save keeps who may read the file; a new file gets the usual mode less
// the umask, as any file the user creates.
TEST(IniFile, SaveKeepsPermissionBits)
{
    TempDir dir;
    UmaskScope mask(022);
    for (mode_t mode : {mode_t(0600), mode_t(0640), mode_t(0664)}) {
        dir.write("a.ini", "[S]\nk=1\n");
        fs::permissions(dir.file("a.ini"), static_cast<fs::perms>(mode));
        saveOneKey(dir.file("a.ini"), 2);
        EXPECT_EQ(modeOf(dir.file("a.ini")), mode) << std::oct << mode;
    }
    dir.write("shared/real.ini", "");
    fs::permissions(dir.file("shared/real.ini"), fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("shared/real.ini", dir.file("link.ini"));
    saveOneKey(dir.file("link.ini"), 3);
    EXPECT_EQ(modeOf(dir.file("shared/real.ini")), mode_t(0600));

    saveOneKey(dir.file("new.ini"), 4);
    EXPECT_EQ(modeOf(dir.file("new.ini")), mode_t(0644));
    UmaskScope strict(077);
    saveOneKey(dir.file("private.ini"), 5);
    EXPECT_EQ(modeOf(dir.file("private.ini")), mode_t(0600));
}
