// The files a desktop reads, checked with the desktop's own tools and against
// each other as they lie in the source tree; then `cmake --install` of this
// build tree into a temporary prefix, and the installed program run as a
// user, a desktop and a file manager run it.
#include "platform/images/PngFile.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"
#include "tools/samples/SampleGame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <sys/wait.h>

namespace {

const std::string kDesktopFolder = std::string(QUILLMO_SOURCE_DIR) + "/desktop/";
const std::string kEntry = "Desktop Entry";
const std::string kThumbnailer = "Thumbnailer Entry";
// The system's own types, which ours must neither shadow nor duplicate.
const std::string kSystemTypes = "/usr/share/mime/packages/freedesktop.org.xml";
constexpr int kIconSizes[] = {48, 128, 256};
constexpr int kThumbnailSize = 128;
// A picture of a character, not of an empty scene: at least this share of
// its pixels differs from the corner's (the background's) colour.
constexpr double kLeastDrawnShare = 0.05;
// Seconds before a run that should take a few is taken for a hang.
constexpr int kRunTimeoutSeconds = 180;

struct CommandResult {
    int status = -1; // -1 when the command did not end normally
    std::string output; // standard output and standard error together
};

CommandResult run(const std::string& command)
{
    CommandResult result;
    result.status = testsupport::runCommand(command + " 2>&1", result.output);
    return result;
}

std::string quote(const std::string& word)
{
    return "'" + std::regex_replace(word, std::regex("'"), "'\\''") + "'";
}

bool haveCommand(const std::string& name) { return run("command -v " + quote(name)).status == 0; }

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The value of a key in a group of a freedesktop key file; "" when absent.
std::string keyValue(const std::string& text, const std::string& group, const std::string& key)
{
    std::istringstream in(text);
    bool inGroup = false;
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with('['))
            inGroup = line == "[" + group + "]";
        else if (inGroup && line.starts_with(key + "="))
            return line.substr(key.size() + 1);
    }
    return {};
}

// The items of a list value (MimeType=a;b;), sorted.
std::vector<std::string> keyList(const std::string& text, const std::string& group, const std::string& key)
{
    std::vector<std::string> items;
    std::istringstream in(keyValue(text, group, key));
    for (std::string item; std::getline(in, item, ';');) {
        if (!item.empty())
            items.push_back(item);
    }
    std::sort(items.begin(), items.end());
    return items;
}

// The first group of every match of pattern in text, sorted.
std::vector<std::string> captures(const std::string& text, const std::string& pattern)
{
    const std::regex expression(pattern);
    std::vector<std::string> found;
    for (std::sregex_iterator it(text.begin(), text.end(), expression), end; it != end; ++it)
        found.push_back((*it)[1]);
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<std::string> definedTypes(const std::string& xml) { return captures(xml, "<mime-type type=\"([^\"]+)\""); }

// Every "--option" word of a text; roff's escaped hyphens and font changes
// are taken out first, so that a manual page reads as it renders.
std::set<std::string> longOptions(std::string text)
{
    text = std::regex_replace(text, std::regex(R"(\\f[BIRP])"), "");
    text = std::regex_replace(text, std::regex(R"(\\-)"), "-");
    const std::vector<std::string> options = captures(text, "(--[a-z][a-z-]*[a-z])");
    return {options.begin(), options.end()};
}

// The words of an Exec line; the entries' lines have no quoting of their own.
std::vector<std::string> execWords(const std::string& exec)
{
    std::vector<std::string> words;
    std::istringstream in(exec);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

// A file:// URI as file managers write it, bytes outside the unreserved set
// and "/" percent-encoded.
std::string fileUri(const std::string& path)
{
    std::string uri = "file://";
    for (unsigned char c : path) {
        char escaped[4];
        std::snprintf(escaped, sizeof escaped, "%%%02X", c);
        uri += std::isalnum(c) || std::string_view("/-_.~").find(c) != std::string_view::npos
                   ? std::string(1, static_cast<char>(c))
                   : std::string(escaped);
    }
    return uri;
}

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;

    explicit Picture(const std::string& path)
    {
        if (!platform::ReadPng(path, width, height, rgb))
            width = height = 0;
    }
    double drawnShare() const
    {
        size_t drawn = 0;
        for (size_t i = 0; i + 2 < rgb.size(); i += 3)
            drawn += !std::equal(rgb.begin() + i, rgb.begin() + i + 3, rgb.begin());
        return rgb.empty() ? 0 : double(drawn) / double(rgb.size() / 3);
    }
};

} // namespace

TEST(DesktopFiles, EntriesPassTheValidatorAndOfferExactlyTheDefinedTypes)
{
    const std::string entry = readFile(kDesktopFolder + "quillmo.desktop");
    const std::string thumbnailer = readFile(kDesktopFolder + "quillmo.thumbnailer");
    std::vector<std::string> types = definedTypes(readFile(kDesktopFolder + "quillmo.xml"));
    ASSERT_EQ(types.size(), 2u);
    EXPECT_EQ(keyList(thumbnailer, kThumbnailer, "MimeType"), types);
    types.push_back("inode/directory");
    std::sort(types.begin(), types.end());
    EXPECT_EQ(keyList(entry, kEntry, "MimeType"), types);
    // The program takes one PATH: a single file or folder, as %f hands over.
    EXPECT_EQ(keyValue(entry, kEntry, "Exec"), "quillmo %f");

    // A file manager fills in the input, the output and the size; without the
    // size, large thumbnails would be made at the default size. It skips the
    // entry unless TryExec names the program Exec runs.
    const std::vector<std::string> words = execWords(keyValue(thumbnailer, kThumbnailer, "Exec"));
    ASSERT_FALSE(words.empty());
    for (const char* field : {"%o", "%s"})
        EXPECT_EQ(std::count(words.begin(), words.end(), field), 1) << field;
    EXPECT_EQ(std::count(words.begin(), words.end(), "%u") + std::count(words.begin(), words.end(), "%i"), 1);
    EXPECT_EQ(keyValue(thumbnailer, kThumbnailer, "TryExec"), words.front());

    if (!haveCommand("desktop-file-validate"))
        GTEST_SKIP() << "desktop-file-validate is not installed (package desktop-file-utils)";
    const CommandResult validation = run("desktop-file-validate " + quote(kDesktopFolder + "quillmo.desktop"));
    EXPECT_EQ(validation.status, 0) << validation.output;
    EXPECT_EQ(validation.output, "") << "hints and warnings count too";
}

TEST(DesktopFiles, FileTypesBuildADatabaseWithTheirGlobsMagicAndParentAndNoSystemTypeClashes)
{
    const std::string source = kDesktopFolder + "quillmo.xml";
    const std::string xml = readFile(source);
    const std::vector<std::string> globs = captures(xml, "<glob pattern=\"([^\"]+)\"");
    EXPECT_EQ(globs, (std::vector<std::string>{"*.md3", "*.pk3"}));
    const std::string system = readFile(kSystemTypes);
    for (const std::string& glob : globs)
        EXPECT_EQ(system.find("pattern=\"" + glob + "\""), std::string::npos) << glob << " is a system type's";
    for (const std::string& type : definedTypes(xml))
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
    const std::string globs2 = dir.read("mime/globs2");
    EXPECT_NE(globs2.find(":model/x-md3:*.md3\n"), std::string::npos) << globs2;
    EXPECT_NE(globs2.find(":application/x-pk3:*.pk3\n"), std::string::npos) << globs2;
    // ">0=", the value's length in two big-endian bytes, then the value.
    EXPECT_NE(dir.read("mime/magic").find(std::string(":model/x-md3]\n>0=\0\4IDP3", 23)), std::string::npos);
    EXPECT_NE(dir.read("mime/subclasses").find("application/x-pk3 application/zip\n"), std::string::npos);
}

TEST(DesktopFiles, ManualPageDescribesEveryOptionOfHelpAndNoOtherAndRendersCleanly)
{
    const CommandResult help = run(quote(QUILLMO_EXE) + " --help");
    ASSERT_EQ(help.status, 0) << help.output;
    const std::set<std::string> helpOptions = longOptions(help.output);
    ASSERT_GT(helpOptions.size(), 15u) << help.output;
    const std::set<std::string> pageOptions = longOptions(readFile(kDesktopFolder + "quillmo.1"));
    for (const std::string& option : helpOptions)
        EXPECT_TRUE(pageOptions.count(option)) << option << " is missing from the manual page";
    for (const std::string& option : pageOptions)
        EXPECT_TRUE(helpOptions.count(option)) << option << " of the manual page is no option of --help";

    if (!haveCommand("groff"))
        GTEST_SKIP() << "groff is not installed";
    const CommandResult render = run("groff -man -ww -z " + quote(kDesktopFolder + "quillmo.1"));
    EXPECT_EQ(render.status, 0) << render.output;
    EXPECT_EQ(render.output, "");
}

TEST(Install, PutsInPlaceAProgramThatRunsAndDesktopFilesThatAgreeWithIt)
{
    testsupport::TempDir prefix;
    const CommandResult install = run("timeout " + std::to_string(kRunTimeoutSeconds * 3) + " " + quote(CMAKE_EXE) +
                                      " --install " + quote(QUILLMO_BUILD_DIR) + " --prefix " + quote(prefix.path()));
    ASSERT_EQ(install.status, 0) << install.output;
    const std::pair<const char*, const char*> copied[] = {
        {"quillmo.desktop", "share/applications/quillmo.desktop"},
        {"quillmo.thumbnailer", "share/thumbnailers/quillmo.thumbnailer"},
        {"quillmo.xml", "share/mime/packages/quillmo.xml"},
        {"quillmo.1", "share/man/man1/quillmo.1"},
    };
    for (const auto& [source, installed] : copied) {
        const std::string text = readFile(kDesktopFolder + source);
        ASSERT_FALSE(text.empty()) << source;
        EXPECT_EQ(readFile(prefix.file(installed)), text) << installed;
    }

    // The command the desktop entry runs is the installed program, and it runs.
    const std::string entry = readFile(prefix.file("share/applications/quillmo.desktop"));
    const std::string program = prefix.file("bin/" + execWords(keyValue(entry, kEntry, "Exec")).front());
    const CommandResult help = run(quote(program) + " --help");
    EXPECT_EQ(help.status, 0) << help.output;
    EXPECT_TRUE(help.output.starts_with("Usage: ")) << help.output;

    // The icon the entry names, in every size, drawn by the program itself.
    for (int size : kIconSizes) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        const Picture icon(prefix.file("share/icons/hicolor/" + folder + "/apps/" + keyValue(entry, kEntry, "Icon") +
                                       ".png"));
        EXPECT_EQ(std::max(icon.width, icon.height), size) << folder;
        EXPECT_GT(icon.drawnShare(), kLeastDrawnShare) << folder;
    }

    // The thumbnailer entry's command as a file manager runs it: found through
    // PATH, no display, an input URI with a space in it.
    const std::string thumbnailer = readFile(prefix.file("share/thumbnailers/quillmo.thumbnailer"));
    testsupport::TempDir work;
    samples::writeSampleGame(work.file("My Game"), samples::GameLayout::Loose);
    const std::string input = work.file("My Game/models/players/vesta/upper.md3");
    const std::string output = work.file("thumbnail.png");
    std::string command = "cd " + quote(work.path()) + " && env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER" +
                          " HOME=" + quote(work.path()) + " XDG_CONFIG_HOME=" + quote(work.file("config")) +
                          " PATH=" + quote(prefix.file("bin") + ":/usr/bin:/bin") + " timeout " +
                          std::to_string(kRunTimeoutSeconds);
    for (const std::string& word : execWords(keyValue(thumbnailer, kThumbnailer, "Exec"))) {
        const std::string filled = word == "%u"   ? fileUri(input)
                                   : word == "%i" ? input
                                   : word == "%o" ? output
                                   : word == "%s" ? std::to_string(kThumbnailSize)
                                                  : word;
        command += " " + quote(filled);
    }
    const CommandResult thumbnail = run(command);
    EXPECT_EQ(thumbnail.status, 0) << command << "\n" << thumbnail.output;
    const Picture picture(output);
    EXPECT_GT(std::min(picture.width, picture.height), 0) << "no PNG from: " << command;
    EXPECT_LE(std::max(picture.width, picture.height), kThumbnailSize);
    EXPECT_GT(picture.drawnShare(), kLeastDrawnShare);
}

namespace {

// The commands of a README section that run the build's programs: lines of
// its code blocks and its inline code that start with "build/" and give
// arguments.
std::vector<std::string> readmeCommands(const std::string& section)
{
    std::ifstream readme(std::string(QUILLMO_SOURCE_DIR) + "/README.md");
    std::vector<std::string> commands;
    bool inSection = false, inBlock = false;
    for (std::string line; std::getline(readme, line);) {
        if (line.rfind("## ", 0) == 0)
            inSection = line == "## " + section;
        if (!inSection)
            continue;
        if (line.rfind("```", 0) == 0) {
            inBlock = !inBlock;
            continue;
        }
        if (inBlock) {
            if (line.rfind("build/", 0) == 0)
                commands.push_back(line);
            continue;
        }
        // A program named alone (as in "the program (`build/Quillmo`)") is no command.
        static const std::regex kInline("`(build/[^` ]+ [^`]+)`");
        for (std::sregex_iterator it(line.begin(), line.end(), kInline), end; it != end; ++it)
            commands.push_back((*it)[1]);
    }
    return commands;
}

} // namespace

// The README's commands for the icon and the export run as written, from a
// folder laid out as the source folder is after a build.
TEST(Readme, InstallingAndExportingCommandsRunAsWritten)
{
    testsupport::TempDir dir;
    std::filesystem::create_directories(dir.file("build"));
    std::filesystem::create_directories(dir.file("docs"));
    std::filesystem::copy_file(QUILLMO_EXE, dir.file("build/Quillmo"));
    std::filesystem::copy_file(std::filesystem::path(QUILLMO_EXE).parent_path() / "make_sample_models",
                               dir.file("build/make_sample_models"));
    samples::writeSampleGame(dir.file("SampleGame"), samples::GameLayout::Archives);
    for (const char* section : {"Installing on the desktop", "Exporting to glTF, and animated previews"}) {
        const std::vector<std::string> commands = readmeCommands(section);
        EXPECT_GE(commands.size(), 2u) << section;
        for (const std::string& command : commands) {
            std::string output;
            EXPECT_EQ(testsupport::runCommand("cd '" + dir.path() + "' && SDL_VIDEODRIVER=offscreen " + command +
                                                  " >/dev/null 2>&1",
                                              output),
                      0)
                << command;
        }
    }
    EXPECT_TRUE(std::filesystem::exists(dir.file("build/icons/quillmo-256.png")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("bruno.glb")));
}
