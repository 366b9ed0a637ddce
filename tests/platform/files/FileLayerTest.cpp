#include "platform/system/Dialogs.h"
#include "platform/system/Errors.h"
#include "platform/files/FileLayer.h"
#include "platform/system/System.h"
#include "support/TempDir.h"
#include "support/ZipWriter.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>

#include <sys/resource.h>
#include <unistd.h>

#include <functional>

namespace files = platform::files;
using testsupport::makeZip;
using testsupport::ZipEntry;

namespace {

std::string textOf(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

std::string readText(const std::string& path) { return textOf(files::ReadFileBytes(path)); }

// Every file of the mounted tree, by the paths ListFolder hands out.
void forEachFile(const std::string& folder, const std::function<void(const std::string&)>& visit)
{
    for (const files::FolderEntry& entry : files::ListFolder(folder)) {
        const std::string path = folder.empty() ? entry.name : folder + "/" + entry.name;
        if (entry.isFolder)
            forEachFile(path, visit);
        else
            visit(path);
    }
}

// The layer is process-wide: each test starts and ends on the disk.
class FileLayerGame : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::SetNonInteractive(true);
        platform::ClearRecordedMessages();
        files::MountDisk();
    }
    void TearDown() override
    {
        files::MountDisk();
        platform::ClearRecordedMessages();
    }

    void writeZip(const std::string& name, const std::vector<ZipEntry>& entries) const
    {
        dir.write(name, makeZip(entries));
    }

    testsupport::TempDir dir;
};

} // namespace

TEST_F(FileLayerGame, LaterArchivesWinInNameOrderIgnoringCaseAndLooseFilesWinOverAll)
{
    // Byte order would put "B.pk3" before "a.pk3"; the game sorts ignoring case.
    writeZip("a.pk3", {{"shared.txt", "a"}, {"loose.txt", "from a"}, {"only-a.txt", "only a"}});
    writeZip("B.pk3", {{"shared.txt", "B", true}, {"loose.txt", "from B"}});
    writeZip("c.PK3", {{"only-c.txt", "only c"}});
    writeZip("d.zip", {{"shared.txt", "zip"}});
    dir.write("loose.txt", "loose\r\nsecond line");
    // A loose file hides an archive's folder of the same name and all in it.
    writeZip("e.pk3", {{"maps/q.bsp", "map"}});
    dir.write("Maps", "a file");

    files::MountGameRoot(dir.path());
    EXPECT_TRUE(files::IsGameMode());
    EXPECT_EQ(readText("shared.txt"), "B");
    EXPECT_EQ(readText("only-a.txt"), "only a");
    EXPECT_EQ(readText("Only-C.TXT"), "only c");
    EXPECT_EQ(files::ReadTextLines("LOOSE.txt"), (std::vector<std::string>{"loose", "second line"}));
    EXPECT_EQ(files::SourceOf("shared.txt"), dir.file("B.pk3"));
    EXPECT_EQ(files::SourceOf("loose.txt"), dir.file("loose.txt"));
    EXPECT_EQ(files::SourceOf("missing.txt"), "");
    // The archives themselves are loose files of the folder, the .zip too.
    EXPECT_TRUE(files::FileExists("d.zip"));
    EXPECT_TRUE(files::FileExists("maps"));
    EXPECT_FALSE(files::FileExists("maps/q.bsp"));
    EXPECT_TRUE(platform::RecordedMessages().empty());

    // A .pk3 as the root is that archive alone.
    files::MountGameRoot(dir.file("a.pk3"));
    EXPECT_EQ(readText("shared.txt"), "a");
    EXPECT_FALSE(files::FileExists("only-c.txt"));
    EXPECT_EQ(files::SourceOf("loose.txt"), dir.file("a.pk3"));
}

// Pairs of archives (or .pk3dir folders) holding one file: the game mounts
// the first before the second, comparing letters as capitals and other bytes
// as signed chars ('_' after letters, bytes from 0x80 up before ASCII).
TEST_F(FileLayerGame, ArchivesMountInTheGamesNameOrder)
{
    const std::pair<std::string, std::string> pairs[] = {{"paka.pk3", "pak_a.pk3"}, {"a.pk3", "[.pk3"},
                                                         {"a.pk3", "Z.pk3"},        {"\xC3\xA9.pk3", "z.pk3"},
                                                         {"a.pk3", "a.pk3dir"},     {"B.PK3DIR", "c.pk3"},
                                                         // "\\" and ":" compare as "/", below the digits.
                                                         {"a\\.pk3", "a0.pk3"},   {"a:.pk3", "a0.pk3"}};
    for (const auto& [earlier, later] : pairs) {
        testsupport::TempDir root;
        for (const std::string& name : {later, earlier})
            root.write(name.back() == 'r' || name.back() == 'R' ? name + "/shared.txt" : name,
                       name.back() == 'r' || name.back() == 'R' ? name : makeZip({{"shared.txt", name}}));
        files::MountGameRoot(root.path());
        EXPECT_EQ(readText("shared.txt"), later) << earlier;
    }
}

TEST_F(FileLayerGame, FindsNamesIgnoringCaseWithTheSpellingSearchedFirst)
{
    writeZip("a.pk3", {{"models/players/Sarge/upper.md3", "a upper"},
                       {"models/players/Sarge/head.md3", "a head"},
                       {"dup/x.txt", "lower x"},
                       {"dup/X.txt", "upper X"}});
    writeZip("b.pk3", {{"Models/Players/sarge/UPPER.md3", "b upper", true}});
    dir.write("models/players/SARGE/default.skin", "loose skin");

    files::MountGameRoot(dir.path());
    EXPECT_EQ(files::ResolvePath("MODELS/players/sarge/upper.md3"), "Models/Players/sarge/UPPER.md3");
    EXPECT_EQ(readText("models/players/sarge/upper.md3"), "b upper");
    EXPECT_EQ(files::ResolvePath("models/PLAYERS/sarge/HEAD.MD3"), "models/players/Sarge/head.md3");
    EXPECT_EQ(readText("models/players/sarge/head.md3"), "a head");
    EXPECT_EQ(readText("Models/Players/Sarge/Default.Skin"), "loose skin");
    // One archive holding both spellings: the first in byte order.
    EXPECT_EQ(files::ResolvePath("dup/x.TXT"), "dup/X.txt");
    // Doubled, trailing and "." parts are tolerated.
    EXPECT_EQ(readText("models//players/./sarge/upper.md3/"), "b upper");

    EXPECT_TRUE(files::DirectoryExists("models/players/SaRgE"));
    EXPECT_FALSE(files::FileExists("models/players/sarge"));
    EXPECT_FALSE(files::DirectoryExists("models/players/sarge/upper.md3"));
    EXPECT_TRUE(files::DirectoryExists(""));
    EXPECT_EQ(files::ResolvePath("models/players/nobody"), std::nullopt);

    // The folder merges every spelling; each name comes once, as it is
    // stored in the mount that wins, sorted ignoring case.
    const std::vector<files::FolderEntry> sarge = files::ListFolder("models/players/sarge");
    ASSERT_EQ(sarge.size(), 3u);
    EXPECT_EQ(sarge[0].name, "default.skin");
    EXPECT_EQ(sarge[1].name, "head.md3");
    EXPECT_EQ(sarge[2].name, "UPPER.md3");
    EXPECT_FALSE(sarge[2].isFolder);
    const std::vector<files::FolderEntry> players = files::ListFolder("MODELS/players");
    ASSERT_EQ(players.size(), 1u);
    EXPECT_EQ(players[0].name, "SARGE"); // the loose folder is searched first
    EXPECT_TRUE(players[0].isFolder);
    EXPECT_TRUE(files::ListFolder("models/players/sarge/upper.md3").empty());
    EXPECT_TRUE(files::ListFolder("nothing").empty());
}

TEST_F(FileLayerGame, MountFolderAtPutsADiskFolderOverEverything)
{
    writeZip("pak0.pk3", {{"models/players/visitor/upper.md3", "archive upper"},
                          {"models/players/visitor/head.md3", "archive head"}});
    testsupport::TempDir elsewhere;
    elsewhere.write("Visitor/UPPER.md3", "disk upper");
    elsewhere.write("Visitor/lower.md3", "disk lower");

    EXPECT_THROW(files::MountFolderAt(elsewhere.file("Visitor"), "models/players/visitor"), platform::EInOutError);
    files::MountGameRoot(dir.path());
    files::MountFolderAt(elsewhere.file("Visitor"), "Models/Players/Visitor");
    EXPECT_EQ(readText("models/players/visitor/upper.md3"), "disk upper");
    EXPECT_EQ(readText("models/players/visitor/LOWER.md3"), "disk lower");
    EXPECT_EQ(readText("models/players/visitor/head.md3"), "archive head");
    EXPECT_EQ(files::SourceOf("models/players/visitor/lower.md3"), elsewhere.file("Visitor/lower.md3"));
    EXPECT_EQ(files::ListFolder("models/players/visitor").size(), 3u);

    // Refused arguments leave the mounts as they were.
    EXPECT_THROW(files::MountFolderAt(elsewhere.file("nothing"), "models/players/x"), platform::EInOutError);
    EXPECT_THROW(files::MountFolderAt(elsewhere.file("Visitor"), "../x"), platform::EInOutError);
    EXPECT_EQ(readText("models/players/visitor/upper.md3"), "disk upper");

    // Mounted again elsewhere, the folder leaves its first place.
    files::MountFolderAt(elsewhere.file("Visitor"), "other/inner/deep");
    EXPECT_EQ(readText("models/players/visitor/upper.md3"), "archive upper");
    EXPECT_EQ(readText("other/inner/deep/upper.md3"), "disk upper");
    // A later mount with a file where that mount point has a folder hides it.
    elsewhere.write("Covering/inner", "file");
    files::MountFolderAt(elsewhere.file("Covering"), "other");
    EXPECT_TRUE(files::FileExists("other/inner"));
    EXPECT_FALSE(files::DirectoryExists("other/inner/deep"));
    EXPECT_FALSE(files::FileExists("other/inner/deep/upper.md3"));
}

TEST_F(FileLayerGame, BadArchivesAreProblemsAndTheOthersStillMount)
{
    const std::string sound = makeZip({{"good.txt", "good"}, {"more.txt", std::string(500, 'm'), true}});
    dir.write("a-corrupt.pk3", std::string(300, 'Z'));
    dir.write("b-truncated.pk3", sound.substr(0, sound.size() / 2));
    dir.write("c-empty.pk3", "");
    dir.write("d-good.pk3", sound);

    files::MountGameRoot(dir.path());
    EXPECT_EQ(readText("good.txt"), "good");
    // The layer shows nothing itself; its caller tells about the problems.
    EXPECT_TRUE(platform::RecordedMessages().empty());
    const auto& problems = files::MountProblems();
    ASSERT_EQ(problems.size(), 3u);
    const char* bad[] = {"a-corrupt.pk3", "b-truncated.pk3", "c-empty.pk3"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(problems[i].archive, dir.file(bad[i]));
        EXPECT_EQ(problems[i].entry, "");
        const std::string text = files::MountProblemText(problems[i]);
        EXPECT_NE(text.find("\"" + dir.file(bad[i]) + "\""), std::string::npos) << text;
        EXPECT_NE(text.find("not a zip archive"), std::string::npos) << text;
    }

    // Names of archives that are none: each left out with its reason, the
    // good archive beside them mounted.
    testsupport::TempDir odd;
    odd.write("good.pk3", sound);
    ASSERT_EQ(::mkfifo(odd.file("pipe.pk3").c_str(), 0600), 0);
    std::filesystem::create_symlink(odd.file("gone.zip"), odd.file("dangling.pk3"));
    std::filesystem::create_symlink(odd.file("loop.pk3"), odd.file("loop.pk3"));
    std::filesystem::create_directories(odd.file("folder.pk3"));
    files::MountGameRoot(odd.path());
    EXPECT_EQ(readText("good.txt"), "good");
    std::map<std::string, std::string> reasons;
    for (const files::MountProblem& problem : files::MountProblems())
        reasons[problem.archive.substr(problem.archive.rfind('/') + 1)] = problem.reason;
    EXPECT_EQ(reasons, (std::map<std::string, std::string>{{"dangling.pk3", "a link to nothing"},
                                                           {"folder.pk3", "a folder, not a file"},
                                                           {"loop.pk3", "a link that leads round in a loop"},
                                                           {"pipe.pk3", "a pipe, not a file"}}));

    // An entry compressed by bzip2 is one the game cannot read: that entry
    // alone is left out, named with its method.
    std::string bzipped = makeZip({{"bz.txt", "not really bzip2"}, {"plain.txt", "plain"}});
    for (const auto& [signature, methodAt] : {std::pair<std::string, size_t>{"PK\x03\x04", 8}, {"PK\x01\x02", 10}})
        bzipped[bzipped.find(signature) + methodAt] = 12;
    testsupport::TempDir methods;
    methods.write("m.pk3", bzipped);
    files::MountGameRoot(methods.path());
    EXPECT_EQ(readText("plain.txt"), "plain");
    EXPECT_FALSE(files::FileExists("bz.txt"));
    ASSERT_EQ(files::MountProblems().size(), 1u);
    EXPECT_EQ(files::MountProblems()[0].entry, "bz.txt");
    EXPECT_EQ(files::MountProblems()[0].reason, "compressed by a method the game does not read (bzip2)");

    // As the root, a bad archive is an error, and the layer is back on disk.
    platform::ClearRecordedMessages();
    EXPECT_THROW(files::MountGameRoot(dir.file("b-truncated.pk3")), platform::EInOutError);
    EXPECT_FALSE(files::IsGameMode());
    EXPECT_TRUE(files::MountProblems().empty());
}

// What the game reads in archives of odd shape, and the names it can read
// that this layer cannot open, each told.
TEST_F(FileLayerGame, ArchivesOfOddShapeReadAsTheGameReadsThem)
{
    ZipEntry tenGiB{"big/ten.bin", "tiny"};
    tenGiB.zip64ClaimedSize = uint64_t{10} << 30;
    writeZip("pak0.pk3", {{"dup.txt", "first"}, {"keep.txt", "kept"}, {"dup.txt", "last"}, tenGiB,
                          {"odd/a:b.txt", "colon"}});
    dir.write("models/players/x:y/lower.md3", "loose colon");
    dir.write("models/players/back\\slash/lower.md3", "loose backslash");
    files::MountGameRoot(dir.path());

    // A name met twice is one file holding the last entry's bytes.
    EXPECT_EQ(readText("dup.txt"), "last");
    EXPECT_EQ(readText("keep.txt"), "kept");
    const std::vector<std::string> top = files::ListFilesByMount("");
    EXPECT_EQ(std::count(top.begin(), top.end(), "dup.txt"), 1);
    // A zip64 entry is as large as its zip64 record says.
    try {
        files::ReadFileBytes("big/ten.bin");
        ADD_FAILURE() << "no error";
    } catch (const platform::EInOutError& e) {
        EXPECT_NE(std::string(e.what()).find("10737418240 bytes long"), std::string::npos) << e.what();
    }
    std::map<std::string, std::string> problems;
    for (const files::MountProblem& problem : files::MountProblems())
        problems[problem.entry] = problem.reason;
    EXPECT_EQ(problems, (std::map<std::string, std::string>{
                            {"models/players/back\\slash", "its name holds \"\\\", which the game reads as \"/\""},
                            {"models/players/x:y", "its name holds \":\", which cannot be opened here"},
                            {"odd/a:b.txt", "its name holds \":\", which cannot be opened here"}}));
}

// An archive that would take the game data past a million files and folders
// is left out alone; the archives and loose files beside it are read.
TEST_F(FileLayerGame, AnArchiveTooManyForTheIndexIsLeftOutAlone)
{
    std::vector<ZipEntry> half;
    half.reserve(500'001);
    for (int i = 0; i <= 500'000; ++i)
        half.emplace_back("f/" + std::to_string(i), "");
    writeZip("pak0.pk3", half);
    writeZip("pak1.pk3", half);
    writeZip("pak2.pk3", {{"good.txt", "good"}});
    dir.write("loose.txt", "loose");
    files::MountGameRoot(dir.path());

    EXPECT_EQ(readText("good.txt"), "good");
    EXPECT_EQ(readText("loose.txt"), "loose");
    EXPECT_TRUE(files::FileExists("f/500000"));
    ASSERT_EQ(files::MountProblems().size(), 1u);
    EXPECT_EQ(files::MountProblems()[0].archive, dir.file("pak0.pk3")); // searched last, so merged last
    EXPECT_EQ(files::MountProblems()[0].reason, "with it the game data would hold more than 1000000 files and folders");
}

TEST_F(FileLayerGame, MissingOrUnreadableRootsThrowAndLeaveTheDisk)
{
    dir.write("game/one.txt", "one");
    files::MountGameRoot(dir.file("game"));
    try {
        files::MountGameRoot(dir.file("nothing"));
        FAIL() << "no error";
    } catch (const platform::EInOutError& e) {
        EXPECT_NE(std::string(e.what()).find(dir.file("nothing")), std::string::npos) << e.what();
    }
    EXPECT_FALSE(files::IsGameMode());
    EXPECT_FALSE(files::FileExists("one.txt"));

    const std::vector<uint8_t> notZip(100, 7);
    EXPECT_THROW(files::MountArchiveBytes(notZip, "fuzz.pk3"), platform::EInOutError);
    EXPECT_FALSE(files::IsGameMode());
}

TEST_F(FileLayerGame, ReadsPathsAsTheGameDoesAndNothingAboveTheRoot)
{
    dir.write("secret.txt", "secret");
    dir.write("game/inside/file.txt", "inside");
    dir.write("game/pak0.pk3", makeZip({{"inside/packed.txt", "packed"}}));
    files::MountGameRoot(dir.file("game"));
    ASSERT_EQ(readText("inside/file.txt"), "inside");

    // The game drops one leading separator and reads "\\" as "/", in
    // archives and loose files alike.
    for (const char* path : {"/inside/file.txt", "\\inside\\file.txt", "inside\\file.txt"})
        EXPECT_EQ(files::ResolvePath(path), "inside/file.txt") << path;
    EXPECT_EQ(files::ResolvePath("\\inside\\packed.txt"), "inside/packed.txt");

    for (const std::string& path : {std::string("/etc/passwd"), dir.file("secret.txt"), std::string("../secret.txt"),
                                    std::string("inside/../../secret.txt"), std::string("inside/../inside/file.txt"),
                                    std::string("//inside/file.txt"), std::string("/\\inside/packed.txt"),
                                    std::string("..")}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(files::ResolvePath(path), std::nullopt);
        EXPECT_FALSE(files::FileExists(path));
        EXPECT_FALSE(files::DirectoryExists(path));
        EXPECT_TRUE(files::ListFolder(path).empty());
        EXPECT_THROW(files::ReadFileBytes(path), platform::EInOutError);
        EXPECT_THROW(files::OpenFile(path), platform::EInOutError);
        EXPECT_EQ(files::SourceOf(path), "");
    }
}

TEST_F(FileLayerGame, NothingInsideTheGameDataReachesOutside)
{
    dir.write("evil.txt", "SECRET");
    dir.write("b.txt", "SECRET");
    dir.write("game/pak0.pk3", makeZip({{"../evil.txt", "1"},
                                        {"a/../../b.txt", "2"},
                                        {"back\\slash.txt", "3"},
                                        {"ok.txt", "ok"}}));
    // A name from the root: that entry is left out, the others are kept.
    dir.write("game/pak1.pk3", makeZip({{"/etc/x", "4"}, {"pak1.txt", "5"}, {"C:/x", "6"}}));
    // A link in the game folder to a file outside it is not followed.
    ASSERT_EQ(::symlink(dir.file("evil.txt").c_str(), dir.file("game/link.txt").c_str()), 0);
    files::MountGameRoot(dir.file("game"));

    EXPECT_EQ(readText("ok.txt"), "ok");
    EXPECT_EQ(readText("pak1.txt"), "5");
    EXPECT_EQ(readText("back/slash.txt"), "3"); // the game takes "\" for "/" in any archive
    EXPECT_FALSE(files::FileExists("link.txt"));
    // Each entry that would lie outside is one problem, in archive order.
    std::vector<std::pair<std::string, std::string>> outside;
    for (const files::MountProblem& problem : files::MountProblems())
        outside.emplace_back(problem.archive.substr(problem.archive.rfind('/') + 1), problem.entry);
    EXPECT_EQ(outside, (std::vector<std::pair<std::string, std::string>>{
                           {"pak0.pk3", "../evil.txt"}, {"pak0.pk3", "a/../../b.txt"}, {"pak1.pk3", "/etc/x"},
                           {"pak1.pk3", "C:/x"}}));
    int seen = 0;
    forEachFile("", [&](const std::string& path) {
        ++seen;
        EXPECT_NE(readText(path), "SECRET") << path;
        EXPECT_EQ(path.find(".."), std::string::npos) << path;
        EXPECT_EQ(path.find('\\'), std::string::npos) << path;
    });
    EXPECT_EQ(seen, 5); // ok.txt, back/slash.txt, pak1.txt and the two archives themselves
}

// Thousands of archives mount and read with a few hundred descriptors:
// archives are opened while they are read, a bounded number at a time.
TEST_F(FileLayerGame, ThousandsOfArchivesMountUnderASmallDescriptorLimit)
{
    constexpr int kArchives = 1100;
    for (int i = 0; i < kArchives; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "pak%04d.pk3", i);
        writeZip(name, {{"shared.txt", name, true}, {"own/" + std::string(name) + ".txt", name}});
    }
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit lowered = saved;
    lowered.rlim_cur = 256;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    files::MountGameRoot(dir.path());
    EXPECT_TRUE(files::MountProblems().empty());
    // The archive sorted last overrides all, and every archive still reads.
    EXPECT_EQ(readText("shared.txt"), "pak1099.pk3");
    for (int i = 0; i < kArchives; i += 7) {
        char name[32];
        std::snprintf(name, sizeof name, "pak%04d.pk3", i);
        EXPECT_EQ(readText("own/" + std::string(name) + ".txt"), name);
    }
    EXPECT_LE(files::OpenArchiveCount(), files::kMostOpenArchives);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);

    // An archive changed after it was mounted (and closed since) is not read
    // as if it were the file it was.
    writeZip("pak0005.pk3", {{"own/pak0005.pk3.txt", "changed, and longer than before"}});
    EXPECT_THROW(files::ReadFileBytes("own/pak0005.pk3.txt"), platform::EInOutError);
}

TEST_F(FileLayerGame, RefusesEntriesTooLargeOrDamagedWithoutCrashing)
{
    ZipEntry justTooLarge{"big/limit.bin", "abc"};
    justTooLarge.claimedSize = static_cast<uint32_t>(files::kMaxFileBytes + 1);
    // Allocating this before checking would take 4 GB.
    ZipEntry huge{"big/huge.bin", "x"};
    huge.claimedSize = 0xFFFFFFF0u;
    // Claims more bytes than the archive holds.
    ZipEntry endsEarly{"short.bin", "0123456789"};
    endsEarly.claimedSize = 5000;
    ZipEntry damaged{"damaged.bin", std::string(5000, 'q') + "tail", true};
    std::string archive = makeZip({damaged, justTooLarge, huge, endsEarly});
    // The first entry's deflated data starts after its 30-byte local header and name.
    for (size_t i = 0; i < 4; ++i)
        archive[30 + damaged.name.size() + i] = '\xFF';
    dir.write("pak0.pk3", archive);

    files::MountGameRoot(dir.path());
    const std::string tooLarge = "more than the 268435456 bytes";
    const std::string damagedText = "is damaged";
    for (const auto& [path, why] : {std::pair{"big/limit.bin", tooLarge}, std::pair{"big/HUGE.bin", tooLarge},
                                    std::pair{"short.bin", damagedText}, std::pair{"damaged.bin", damagedText}}) {
        SCOPED_TRACE(path);
        EXPECT_TRUE(files::FileExists(path));
        try {
            files::ReadFileBytes(path);
            ADD_FAILURE() << "no error";
        } catch (const platform::EInOutError& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(why), std::string::npos) << e.what();
        }
        EXPECT_THROW(files::OpenFile(path), platform::EInOutError);
    }
}

// Peak resident memory of this process so far, in kilobytes.
long peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST_F(FileLayerGame, AnEntryClaimingMoreThanItHoldsCostsOnlyWhatItHolds)
{
    // Under the cap, so only the bytes that come out can refuse it.
    ZipEntry liar{"models/players/liar/lower.md3", "0123456789"};
    liar.claimedSize = static_cast<uint32_t>(files::kMaxFileBytes - 4096);
    ZipEntry deflatedLiar{"models/players/liar/upper.md3", std::string(3000, 'u'), true};
    deflatedLiar.claimedSize = static_cast<uint32_t>(files::kMaxFileBytes - 4096);
    writeZip("pak0.pk3", {liar, deflatedLiar});
    files::MountGameRoot(dir.path());

    const long before = peakKilobytes();
    for (const char* path : {"models/players/liar/lower.md3", "models/players/liar/upper.md3"}) {
        SCOPED_TRACE(path);
        try {
            files::ReadFileBytes(path);
            ADD_FAILURE() << "no error";
        } catch (const platform::EInOutError& e) {
            EXPECT_NE(std::string(e.what()).find("is damaged"), std::string::npos) << e.what();
        }
    }
    // Memory set aside for the claim would have raised the peak by 256 MB.
    EXPECT_LT(peakKilobytes() - before, 32 * 1024);
}

// Archives are read through a buffer: entries and a central directory
// larger than it, read whole and in pieces, from disk and from memory.
TEST_F(FileLayerGame, OpenedFilesReadAtOffsetsFromArchivesAndMemory)
{
    std::string pattern;
    for (int i = 0; i < 100000; ++i)
        pattern += static_cast<char>('a' + i % 26 + (i / 26) % 3);
    std::string noise(200000, '\0');
    uint32_t seed = 1;
    for (char& c : noise) {
        seed = seed * 1664525u + 1013904223u;
        c = static_cast<char>(seed >> 24);
    }
    std::vector<ZipEntry> entries{{"models/big.md3", pattern, true}, {"raw.bin", noise}, {"empty.txt", ""}};
    constexpr int kManyEntries = 1500; // about 130 KB of central directory
    for (int i = 0; i < kManyEntries; ++i)
        entries.emplace_back("many/a-rather-long-entry-name-" + std::to_string(i) + ".txt", std::to_string(i));
    const std::string archive = makeZip(entries);
    dir.write("pak0.pk3", archive);

    auto checkOpened = [&](const char* label) {
        SCOPED_TRACE(label);
        const std::unique_ptr<files::OpenedFile> file = files::OpenFile("MODELS/BIG.MD3");
        ASSERT_EQ(file->Size(), pattern.size());
        std::string middle(16, '\0');
        file->ReadAt(50000, middle.data(), middle.size());
        EXPECT_EQ(middle, pattern.substr(50000, 16));
        EXPECT_THROW(file->ReadAt(pattern.size() - 4, middle.data(), 8), platform::EInOutError);
        EXPECT_THROW(file->ReadAt(UINT64_MAX, middle.data(), 2), platform::EInOutError);
        EXPECT_EQ(readText("models/big.md3"), pattern);
        EXPECT_TRUE(files::ReadFileBytes("empty.txt").empty());
        EXPECT_EQ(readText("raw.bin"), noise);
        const std::unique_ptr<files::OpenedFile> raw = files::OpenFile("raw.bin");
        std::string piece(70000, '\0');
        raw->ReadAt(123457, piece.data(), piece.size());
        EXPECT_EQ(piece, noise.substr(123457, piece.size()));
        EXPECT_EQ(files::ListFolder("many").size(), static_cast<size_t>(kManyEntries));
        EXPECT_EQ(readText("many/a-rather-long-entry-name-1234.txt"), "1234");
    };
    files::MountGameRoot(dir.path());
    checkOpened("folder");
    files::MountArchiveBytes(std::vector<uint8_t>(archive.begin(), archive.end()), "memory.pk3");
    checkOpened("memory");
    EXPECT_EQ(files::SourceOf("models/big.md3"), "memory.pk3");
    EXPECT_FALSE(files::FileExists("pak0.pk3"));
}

TEST(FileLayerDisk, AnswersAsTheDiskLookUpDoes)
{
    files::MountDisk();
    testsupport::TempDir dir;
    dir.write("Model/ModelLara/Body/Lower.MD3", "lower");
    dir.write("Model/exact.skin", "a");
    dir.write("Model/EXACT.skin", "b\nline");
    EXPECT_FALSE(files::IsGameMode());
    EXPECT_EQ(files::ResolvePath(dir.file("model/modellara/body/lower.md3")),
              dir.file("Model/ModelLara/Body/Lower.MD3"));
    EXPECT_EQ(files::ResolvePath(dir.file("Model/nothing.skin")), std::nullopt);
    EXPECT_TRUE(files::FileExists(dir.file("MODEL/exact.SKIN")));
    EXPECT_TRUE(files::DirectoryExists(dir.file("model")));
    EXPECT_FALSE(files::FileExists(dir.file("model")));
    EXPECT_EQ(readText(dir.file("model/MODELLARA/body/LOWER.md3")), "lower");
    EXPECT_EQ(files::ReadTextLines(dir.file("Model/EXACT.skin")), (std::vector<std::string>{"b", "line"}));
    EXPECT_EQ(files::SourceOf(dir.file("model/exact.skin")), platform::ResolvePath(dir.file("model/exact.skin")));
    EXPECT_THROW(files::ReadFileBytes(dir.file("Model/nothing.skin")), platform::EInOutError);

    const std::vector<files::FolderEntry> model = files::ListFolder(dir.file("MODEL"));
    ASSERT_EQ(model.size(), 2u);
    EXPECT_EQ(model[0].name, "EXACT.skin"); // one per name ignoring case
    EXPECT_FALSE(model[0].isFolder);
    EXPECT_EQ(model[1].name, "ModelLara");
    EXPECT_TRUE(model[1].isFolder);

    const std::unique_ptr<files::OpenedFile> file = files::OpenFile(dir.file("model/modellara/body/lower.md3"));
    char middle[3] = {};
    file->ReadAt(1, middle, 3);
    EXPECT_EQ(std::string(middle, 3), "owe");
    EXPECT_THROW(file->ReadAt(3, middle, 3), platform::EInOutError);
    EXPECT_THROW(files::OpenFile(dir.file("Model/nothing.skin")), platform::EInOutError);
    EXPECT_THROW(files::OpenFile(dir.file("Model")), platform::EInOutError);

    // A sparse file just above the limit is refused before it is read.
    dir.write("large.bin", "");
    ASSERT_EQ(::truncate(dir.file("large.bin").c_str(), static_cast<off_t>(files::kMaxFileBytes + 1)), 0);
    EXPECT_THROW(files::ReadFileBytes(dir.file("large.bin")), platform::EInOutError);
    EXPECT_THROW(files::OpenFile(dir.file("LARGE.bin")), platform::EInOutError);
}

// Ranges of a disk file read at once land where they belong, in any order,
// with gaps and overlaps between them; one past the end fails them all. A
// file named in another letter case, or not there, opens as OpenFile says.
TEST(FileLayerDisk, RangesReadTogetherLandWhereTheyBelong)
{
    files::MountDisk();
    testsupport::TempDir dir;
    std::string bytes(300000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    dir.write("Parts/Upper.MD3", bytes);
    const std::unique_ptr<files::OpenedFile> file = files::OpenFileIfExists(dir.file("parts/upper.md3"));
    ASSERT_TRUE(file);
    EXPECT_FALSE(files::OpenFileIfExists(dir.file("parts/lower.md3")));
    EXPECT_FALSE(files::OpenFileIfExists(dir.file("Parts")));
    // After one another, a small gap, a gap larger than is read along,
    // an overlap, out of order, empty.
    const std::pair<uint64_t, uint64_t> wanted[] = {{1000, 500},   {0, 1000},    {1600, 3},  {200000, 99999},
                                                    {1550, 100},   {150000, 1},  {7, 0},     {299999, 1}};
    std::vector<std::string> targets;
    for (const auto& [offset, count] : wanted)
        targets.emplace_back(count, '\0');
    std::vector<files::FileRange> ranges;
    for (size_t i = 0; i < targets.size(); ++i)
        ranges.push_back({wanted[i].first, targets[i].data(), wanted[i].second});
    file->ReadRanges(ranges);
    for (size_t i = 0; i < targets.size(); ++i)
        EXPECT_EQ(targets[i], bytes.substr(wanted[i].first, wanted[i].second)) << i;
    ranges.push_back({299999, targets[0].data(), 2});
    EXPECT_THROW(file->ReadRanges(ranges), platform::EInOutError);
}
