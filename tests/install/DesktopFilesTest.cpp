// The files a desktop reads, as they lie in the source tree, checked with the
// tools a desktop uses on them and against each other: the desktop entry, the
// thumbnailer entry, the file types and the manual page.
#include "Shell.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>

using namespace installtest;

namespace {

const std::string kDesktopFolder = std::string(QUILLMO_SOURCE_DIR) + "/desktop/";
const std::string kEntryGroup = "Desktop Entry";
const std::string kThumbnailerGroup = "Thumbnailer Entry";
// The system's own types, which ours must neither shadow nor duplicate.
const std::string kSystemTypes = "/usr/share/mime/packages/freedesktop.org.xml";

std::vector<std::string> sorted(std::vector<std::string> items)
{
    std::sort(items.begin(), items.end());
    return items;
}

std::vector<std::string> globsOf(const std::string& xml)
{
    static const std::regex glob("<glob pattern=\"([^\"]+)\"");
    std::vector<std::string> globs;
    for (std::sregex_iterator it(xml.begin(), xml.end(), glob), end; it != end; ++it)
        globs.push_back((*it)[1]);
    return globs;
}

// Every "--option" word of a text; roff's escaped hyphens and font changes
// are taken out first, so that a manual page reads as it renders.
std::set<std::string> longOptions(std::string text)
{
    text = std::regex_replace(text, std::regex(R"(\\f[BIRP])"), "");
    text = std::regex_replace(text, std::regex(R"(\\-)"), "-");
    static const std::regex option("--[a-z][a-z-]*[a-z]");
    std::set<std::string> options;
    for (std::sregex_iterator it(text.begin(), text.end(), option), end; it != end; ++it)
        options.insert(it->str());
    return options;
}

} // namespace

TEST(DesktopEntry, PassesTheValidatorAndOpensEveryDefinedTypeAndFolders)
{
    const std::string path = kDesktopFolder + "quillmo.desktop";
    const std::string entry = readFile(path);
    ASSERT_FALSE(entry.empty()) << path;
    std::vector<std::string> offered = definedMimeTypes(readFile(kDesktopFolder + "quillmo.xml"));
    ASSERT_EQ(offered.size(), 2u);
    offered.push_back("inode/directory");
    EXPECT_EQ(sorted(keyFileList(entry, kEntryGroup, "MimeType")), sorted(offered));
    // The program takes one PATH: a single file or folder, as %f hands over.
    EXPECT_EQ(keyFileValue(entry, kEntryGroup, "Exec"), "quillmo %f");

    if (!haveCommand("desktop-file-validate"))
        GTEST_SKIP() << "desktop-file-validate is not installed (package desktop-file-utils)";
    const CommandResult validation = run("desktop-file-validate " + quote(path));
    EXPECT_EQ(validation.status, 0) << validation.output;
    EXPECT_EQ(validation.output, "") << "hints and warnings count too";
}

TEST(ThumbnailerEntry, CoversTheDefinedTypesAndTakesEveryFieldAFileManagerFills)
{
    const std::string entry = readFile(kDesktopFolder + "quillmo.thumbnailer");
    ASSERT_FALSE(entry.empty());
    EXPECT_EQ(sorted(keyFileList(entry, kThumbnailerGroup, "MimeType")),
              sorted(definedMimeTypes(readFile(kDesktopFolder + "quillmo.xml"))));

    const std::string exec = keyFileValue(entry, kThumbnailerGroup, "Exec");
    const std::set<std::string> words = [&] {
        std::set<std::string> split;
        for (size_t start = 0, end; start < exec.size(); start = end + 1) {
            end = std::min(exec.find(' ', start), exec.size());
            split.insert(exec.substr(start, end - start));
        }
        return split;
    }();
    EXPECT_TRUE(words.count("%u") || words.count("%i")) << "no input in: " << exec;
    EXPECT_TRUE(words.count("%o")) << "no output in: " << exec;
    // Without the size, large thumbnails would be cached at the normal size.
    EXPECT_TRUE(words.count("%s")) << "no size in: " << exec;
    // File managers skip the entry unless TryExec names the program Exec runs.
    EXPECT_EQ(keyFileValue(entry, kThumbnailerGroup, "TryExec"), exec.substr(0, exec.find(' ')));
}

TEST(FileTypes, BuildADatabaseWithTheirGlobsMagicAndParentAndClashWithNoSystemType)
{
    const std::string source = kDesktopFolder + "quillmo.xml";
    const std::string xml = readFile(source);
    const std::vector<std::string> types = definedMimeTypes(xml);
    EXPECT_EQ(sorted(types), sorted({"application/x-pk3", "model/x-md3"}));
    EXPECT_EQ(sorted(globsOf(xml)), sorted({"*.md3", "*.pk3"}));

    const std::string system = readFile(kSystemTypes);
    for (const std::string& glob : globsOf(xml))
        EXPECT_EQ(system.find("pattern=\"" + glob + "\""), std::string::npos) << glob << " is a system type's";
    for (const std::string& type : types)
        EXPECT_EQ(system.find("type=\"" + type + "\""), std::string::npos) << type << " is a system type";

    if (haveCommand("xmllint")) {
        const CommandResult lint = run("xmllint --noout " + quote(source));
        EXPECT_EQ(lint.status, 0) << lint.output;
    }
    if (!haveCommand("update-mime-database"))
        GTEST_SKIP() << "update-mime-database is not installed (package shared-mime-info)";
    testsupport::TempDir dir;
    std::filesystem::create_directories(dir.file("mime/packages"));
    std::filesystem::copy_file(source, dir.file("mime/packages/quillmo.xml"));
    const CommandResult update = run("update-mime-database " + quote(dir.file("mime")));
    ASSERT_EQ(update.status, 0) << update.output;
    const std::string globs = dir.read("mime/globs2");
    EXPECT_NE(globs.find(":model/x-md3:*.md3\n"), std::string::npos) << globs;
    EXPECT_NE(globs.find(":application/x-pk3:*.pk3\n"), std::string::npos) << globs;
    const std::string magic = dir.read("mime/magic");
    const size_t md3Magic = magic.find(":model/x-md3]\n>0=");
    ASSERT_NE(md3Magic, std::string::npos) << "no magic for model/x-md3";
    // ">0=" then the value's length in two big-endian bytes, then the value.
    EXPECT_EQ(magic.substr(md3Magic + 17, 6), std::string("\0\4IDP3", 6));
    EXPECT_NE(dir.read("mime/subclasses").find("application/x-pk3 application/zip\n"), std::string::npos);
}

TEST(ManualPage, DescribesEveryOptionOfHelpAndNoOther)
{
    const CommandResult help = run(quote(QUILLMO_EXE) + " --help");
    ASSERT_EQ(help.status, 0) << help.output;
    const std::set<std::string> helpOptions = longOptions(help.output);
    ASSERT_GT(helpOptions.size(), 15u) << help.output;
    const std::string page = readFile(kDesktopFolder + "quillmo.1");
    const std::set<std::string> pageOptions = longOptions(page);
    for (const std::string& option : helpOptions)
        EXPECT_TRUE(pageOptions.count(option)) << option << " is missing from the manual page";
    for (const std::string& option : pageOptions)
        EXPECT_TRUE(helpOptions.count(option)) << option << " of the manual page is not an option of --help";
}

TEST(ManualPage, RendersWithoutWarnings)
{
    if (!haveCommand("groff"))
        GTEST_SKIP() << "groff is not installed";
    const CommandResult render = run("groff -man -ww -z " + quote(kDesktopFolder + "quillmo.1"));
    EXPECT_EQ(render.status, 0) << render.output;
    EXPECT_EQ(render.output, "");
}
