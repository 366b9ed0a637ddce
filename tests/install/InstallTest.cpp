// `cmake --install` of this build tree into a temporary prefix, then the
// installed program run as a user, a desktop and a file manager run it.
#include "Shell.h"

#include "platform/PngFile.h"
#include "support/TempDir.h"
#include "tools/samples/SampleModels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

using namespace installtest;

namespace {

constexpr int kIconSizes[] = {48, 128, 256};
constexpr int kThumbnailSize = 128;
// A picture of a character, not of an empty scene: at least this share of
// its pixels differs from the corner's (the background's) colour.
constexpr double kLeastDrawnShare = 0.05;
// Seconds before a run that should take a few is taken for a hang.
constexpr int kRunTimeoutSeconds = 180;

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;

    double drawnShare() const
    {
        if (rgb.size() < 3)
            return 0;
        size_t drawn = 0;
        for (size_t i = 0; i + 2 < rgb.size(); i += 3)
            drawn += !std::equal(rgb.begin() + i, rgb.begin() + i + 3, rgb.begin());
        return double(drawn) / double(rgb.size() / 3);
    }
};

Picture readPicture(const std::string& path)
{
    Picture picture;
    if (!platform::ReadPng(path, picture.width, picture.height, picture.rgb))
        return {};
    return picture;
}

// A file:// URI as file managers write it: every byte outside the unreserved
// set and "/" percent-encoded.
std::string fileUri(const std::string& path)
{
    std::string uri = "file://";
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            uri += escaped;
        }
    }
    return uri;
}

// The Exec line of a thumbnailer entry with its fields filled in, quoted for
// the shell. The entry's line has no quoting of its own.
std::string fillThumbnailerExec(const std::string& exec, const std::string& input, const std::string& output,
                                int size)
{
    std::string command;
    for (size_t start = 0, end; start < exec.size(); start = end + 1) {
        end = std::min(exec.find(' ', start), exec.size());
        std::string word = exec.substr(start, end - start);
        if (word == "%u")
            word = fileUri(input);
        else if (word == "%i")
            word = input;
        else if (word == "%o")
            word = output;
        else if (word == "%s")
            word = std::to_string(size);
        command += (command.empty() ? "" : " ") + quote(word);
    }
    return command;
}

} // namespace

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
        const std::string text = readFile(std::string(QUILLMO_SOURCE_DIR) + "/desktop/" + source);
        ASSERT_FALSE(text.empty()) << source;
        EXPECT_EQ(readFile(prefix.file(installed)), text) << installed;
    }

    // The command the desktop entry runs is the installed program, and it runs.
    const std::string entry = readFile(prefix.file("share/applications/quillmo.desktop"));
    const std::string exec = keyFileValue(entry, "Desktop Entry", "Exec");
    const std::string program = prefix.file("bin/" + exec.substr(0, exec.find(' ')));
    const CommandResult help = run(quote(program) + " --help");
    EXPECT_EQ(help.status, 0) << help.output;
    EXPECT_EQ(help.output.rfind("Usage: ", 0), 0u) << help.output;

    // The icon the entry names, in every size, drawn by the program itself.
    const std::string icon = keyFileValue(entry, "Desktop Entry", "Icon");
    for (int size : kIconSizes) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        const Picture picture = readPicture(prefix.file("share/icons/hicolor/" + folder + "/apps/" + icon + ".png"));
        EXPECT_EQ(std::max(picture.width, picture.height), size) << folder;
        EXPECT_LE(std::min(picture.width, picture.height), size) << folder;
        EXPECT_GT(picture.drawnShare(), kLeastDrawnShare) << folder;
    }

    // The thumbnailer entry's command as a file manager runs it: found through
    // PATH by the name TryExec gives, no display, an input URI with a space.
    const std::string thumbnailer = readFile(prefix.file("share/thumbnailers/quillmo.thumbnailer"));
    const std::string tryExec = keyFileValue(thumbnailer, "Thumbnailer Entry", "TryExec");
    EXPECT_EQ(run("test -x " + quote(prefix.file("bin/" + tryExec))).status, 0) << tryExec;
    testsupport::TempDir work;
    samples::writeSampleModels(work.file("My Models"));
    const std::string input = work.file("My Models/ModelSarge/Body/upper.md3");
    const std::string output = work.file("thumbnail.png");
    const std::string command =
        "cd " + quote(work.path()) + " && env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER HOME=" +
        quote(work.path()) + " XDG_CONFIG_HOME=" + quote(work.file("config")) + " PATH=" +
        quote(prefix.file("bin") + ":/usr/bin:/bin") + " timeout " + std::to_string(kRunTimeoutSeconds) + " " +
        fillThumbnailerExec(keyFileValue(thumbnailer, "Thumbnailer Entry", "Exec"), input, output, kThumbnailSize);
    const CommandResult thumbnail = run(command);
    EXPECT_EQ(thumbnail.status, 0) << command << "\n" << thumbnail.output;
    const Picture picture = readPicture(output);
    EXPECT_GT(picture.width, 0) << "no PNG from: " << command;
    EXPECT_GT(picture.height, 0);
    EXPECT_LE(std::max(picture.width, picture.height), kThumbnailSize);
    EXPECT_GT(picture.drawnShare(), kLeastDrawnShare);
}
