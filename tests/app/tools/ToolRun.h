#pragma once
// The picture tools as a user runs them: the executable copied into a
// temporary folder (so that a settings file it wrote would land there) beside
// the sample game data, run through the shell; and the PNG files they write,
// read back with pixel tests.
#include "platform/images/PngFile.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"
#include "tools/samples/SampleGame.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace tooltest {

// The sample game data, in archives and loose files.
inline constexpr char kGame[] = "SampleGame";

struct Rgb {
    int r, g, b;
};
using PixelTest = bool (*)(Rgb);

inline bool lit(Rgb c) { return c.r + c.g + c.b > 40; }
// bruno's torso in the archives: its replacement image is mostly orange.
inline bool orange(Rgb c) { return c.r > 150 && c.g > 60 && c.g < 170 && c.b < 60; }
// mira's vest of her loose skin.
inline bool pink(Rgb c) { return c.r > 150 && c.g < 100 && c.b > 100; }
// oskar's steel blue, told apart from the weapon's cyan by its red.
inline bool steelBlue(Rgb c) { return c.b > c.g && c.g > c.r && c.r > 40 && c.b - c.r > 30; }
inline bool red(Rgb c) { return c.r > 200 && c.g < 50 && c.b < 50; }
// The labels' pale cyan.
inline bool labelInk(Rgb c) { return c.g > 80 && c.g - c.r > 30 && c.b - c.r > 30 && std::abs(c.g - c.b) < 20; }

// A PNG as read back: RGB, top row first; empty when it could not be read.
struct Png {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;

    Rgb at(int x, int y) const
    {
        const size_t i = (static_cast<size_t>(y) * width + x) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
    // Pixels passing test in the w x h rectangle with top left corner (x, y).
    int count(int x, int y, int w, int h, PixelTest test) const
    {
        int n = 0;
        for (int row = y; row < y + h; ++row)
            for (int col = x; col < x + w; ++col)
                n += test(at(col, row));
        return n;
    }
    int count(PixelTest test) const { return count(0, 0, width, height, test); }
    // The smallest rectangle holding every pixel that passes test: x, y, w, h.
    std::array<int, 4> extent(PixelTest test) const
    {
        int left = width, top = height, right = -1, bottom = -1;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (test(at(x, y))) {
                    left = std::min(left, x), right = std::max(right, x);
                    top = std::min(top, y), bottom = std::max(bottom, y);
                }
        return {left, top, right - left + 1, bottom - top + 1};
    }
};

inline Png readPng(const std::string& path)
{
    Png png;
    if (!platform::ReadPng(path, png.width, png.height, png.rgb))
        png = {};
    return png;
}

// A folder with the executable and the sample game data in archives.
class ToolFolder {
public:
    ToolFolder()
    {
        std::filesystem::copy_file(QUILLMO_EXE, dir.file("Quillmo"));
        samples::writeSampleGame(dir.file(kGame), samples::GameLayout::Archives);
    }

    // Runs the program in the folder with args; returns its exit status and
    // fills output with what it wrote to standard output and standard error.
    int run(const std::string& args, std::string& output) const
    {
        return testsupport::runCommand("cd '" + dir.path() + "' && SDL_VIDEODRIVER=offscreen ./Quillmo " + args + " 2>&1",
                                       output);
    }

    bool exists(const std::string& name) const { return std::filesystem::exists(dir.file(name)); }

    testsupport::TempDir dir;
};

} // namespace tooltest
