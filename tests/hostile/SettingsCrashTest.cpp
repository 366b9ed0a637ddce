// The settings file when the program dies in the middle of saving it: a
// helper saves a large settings file over and over and is killed (SIGKILL)
// at random moments; every time, the file must be one whole generation of
// each writer, never a mix or a torn copy.
#include "SettingsRewriter.h"

#include "OpglLib/OpglLight.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <poll.h>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kKills = 100;
constexpr int kLongestDelayUs = 20000;
constexpr int kReadyTimeoutMs = 30000;

// Starts the rewriter on folder and waits for its first generation; returns
// its process id, or -1 when it never got ready.
pid_t startRewriter(const std::string& folder)
{
    int out[2];
    if (::pipe(out) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        ::execl(SETTINGS_REWRITER_EXE, SETTINGS_REWRITER_EXE, folder.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    pollfd ready{out[0], POLLIN, 0};
    char line[16] = {};
    const bool got = pid > 0 && ::poll(&ready, 1, kReadyTimeoutMs) == 1 && ::read(out[0], line, sizeof line - 1) > 0 &&
                     std::strncmp(line, "ready", 5) == 0;
    ::close(out[0]);
    if (!got && pid > 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    return got ? pid : -1;
}

struct Generations {
    int filler, lighter, manager;
};

// Reads the file as the program does and checks that each writer's part of it
// is whole: every filler value, every light and the manager of one generation.
Generations checkWhole(const std::string& path)
{
    const platform::IniFile ini(path);
    Generations g{ini.ReadInteger(hostile::kGenerationSection, hostile::kGenerationKey, -1),
                  ini.ReadInteger("TGLLighter", "mGLLighter", -1), ini.ReadInteger("TGLManager", "mGLManager", -1)};
    std::string wrong;
    for (int s = 0; s < hostile::kFillerSections && wrong.empty(); ++s) {
        for (int k = 0; k < hostile::kFillerKeys && wrong.empty(); ++k) {
            if (ini.ReadString(hostile::fillerSection(s), hostile::fillerKey(k), "") !=
                hostile::fillerValue(g.filler, s, k))
                wrong = hostile::fillerSection(s) + "/" + hostile::fillerKey(k);
        }
    }
    EXPECT_EQ(wrong, "") << "filler of generation " << g.filler;
    int wrongLight = -1;
    for (int i = 0; i < 8 && wrongLight < 0; ++i) {
        TGLLight light{};
        const bool stored =
            platform::ReadBinaryRecord(ini, "TGLLighter", "FLights" + std::to_string(i), &light, sizeof light);
        const TGLPoint4f position = light.Position;
        if (!stored || position.X != static_cast<float>(g.lighter))
            wrongLight = i;
    }
    EXPECT_EQ(wrongLight, -1) << "lights of generation " << g.lighter;
    EXPECT_EQ(ini.ReadFloat("TGLManager", "FAxisLength", -1), g.manager);
    return g;
}

} // namespace

TEST(SettingsFile, IsAlwaysOneWholeSaveWhenTheProgramIsKilledWhileSaving)
{
    testsupport::TempDir dir;
    const std::string folder = dir.path().substr(0, dir.path().size() - 1);
    const std::string settings = dir.file("Quillmo.ini");
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> delayUs(0, kLongestDelayUs);
    int previous = 0, interruptedSaves = 0;

    for (int kill = 0; kill < kKills && !HasFailure(); ++kill) {
        const pid_t pid = startRewriter(folder);
        ASSERT_GT(pid, 0) << "the rewriter did not get ready";
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the rewriter stopped by itself";

        // Temporary files of an interrupted save lie beside the settings file
        // under names of their own; the settings file is never one of them.
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            if (name == "Quillmo.ini")
                continue;
            ASSERT_EQ(name.rfind("Quillmo.ini.", 0), 0u) << name;
            ++interruptedSaves;
            std::filesystem::remove(entry.path());
        }

        const Generations g = checkWhole(settings);
        // The file holds filler g and the components of g or g - 1, in the
        // order they are saved, and no save that finished is lost.
        EXPECT_GT(g.filler, previous);
        EXPECT_TRUE(g.filler - 1 <= g.manager && g.manager <= g.lighter && g.lighter <= g.filler)
            << g.filler << " " << g.lighter << " " << g.manager;
        previous = g.filler;
    }
    // The kills did land in the middle of saves.
    EXPECT_GT(interruptedSaves, 0);
}
