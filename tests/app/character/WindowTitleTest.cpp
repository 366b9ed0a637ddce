// The window's title as the window manager reads it from a real X server
// (Xvfb, no window manager): the program run on the sample game data,
// its title read with xprop, keys pressed with xdotool.
#include "support/RunCommand.h"
#include "support/TempDir.h"
#include "tools/samples/SampleGame.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace {

// A program started by /bin/sh in folder, ended with SIGTERM when the
// object goes.
class Started {
public:
    explicit Started(const std::string& command, const std::string& folder = "/") : pid_(::fork())
    {
        if (pid_ == 0) {
            if (::chdir(folder.c_str()) == 0)
                ::execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~Started()
    {
        if (pid_ > 0 && ::kill(pid_, SIGTERM) == 0)
            ::waitpid(pid_, nullptr, 0);
    }
    Started(const Started&) = delete;
    Started& operator=(const Started&) = delete;
    pid_t pid() const { return pid_; }

private:
    pid_t pid_;
};

// What command prints once the text wanted is in it, or its last output
// after half a minute.
std::string waitFor(const std::string& command, const std::string& wanted)
{
    std::string out;
    for (int tries = 0; tries < 300; ++tries) {
        testsupport::runCommand(command + " 2>/dev/null", out);
        if (out.find(wanted) != std::string::npos)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return out;
}

} // namespace

TEST(WindowTitle, ReachesTheXServerFromTheFirstFrameAndAfterEverySwitch)
{
    std::string out;
    if (testsupport::runCommand("command -v Xvfb && command -v xprop && command -v xdotool", out) != 0)
        GTEST_SKIP() << "needs Xvfb, xprop and xdotool (scripts/setup installs xvfb, x11-utils and xdotool)";
    testsupport::TempDir dir;
    samples::writeSampleGame(dir.file("SampleGame"), samples::GameLayout::Archives);
    // A copy, so that the settings it writes stay in the folder.
    std::filesystem::copy_file(QUILLMO_EXE, dir.file("Quillmo"));
    // The server picks a free display and writes its number once it listens.
    Started server("Xvfb -displayfd 3 -nolisten tcp -screen 0 800x600x24 3>'" + dir.file("display") +
                   "' >/dev/null 2>&1");
    std::string display = waitFor("cat '" + dir.file("display") + "'", "\n");
    ASSERT_FALSE(display.empty()) << "Xvfb did not start";
    display.pop_back();
    const std::string x = "DISPLAY=:" + display + " LC_ALL=C.UTF-8 ";
    // Interactive: a message box would keep the window from ever showing.
    Started viewer("env -u SDL_VIDEODRIVER " + x + "./Quillmo SampleGame >/dev/null 2>&1", dir.path());

    // The first time the window can be seen it carries the character's title.
    std::string window = waitFor(x + "xdotool search --onlyvisible --pid " + std::to_string(viewer.pid()), "\n");
    ASSERT_FALSE(window.empty()) << "no window appeared";
    window.pop_back();
    const std::string title = x + "xprop -id " + window + " _NET_WM_NAME WM_NAME";
    std::string names;
    testsupport::runCommand(title, names);
    // Both names, the window manager's and the older one, in UTF-8.
    const std::string first = ") = \"Quillmo \xE2\x80\x94 bruno (default)\"";
    EXPECT_NE(names.find("_NET_WM_NAME(UTF8_STRING" + first), std::string::npos) << names;
    EXPECT_NE(names.find(first, names.find("\nWM_NAME(")), std::string::npos) << names;

    // Each switch of character or skin retitles it.
    for (const auto& [key, wanted] : {std::pair{"p", "mira (default)"}, std::pair{"n", "mira (blue)"}}) {
        testsupport::runCommand(x + "xdotool windowfocus " + window + " key " + key, out);
        names = waitFor(title, wanted);
        EXPECT_NE(names.find("_NET_WM_NAME(UTF8_STRING) = \"Quillmo \xE2\x80\x94 " + std::string(wanted)),
                  std::string::npos)
            << names;
    }
}
