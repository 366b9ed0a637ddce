// Counts the frames an unchanged viewer presents: loaded with LD_PRELOAD, it
// stands in front of SDL_GL_SwapWindow, notes the monotonic time of every
// call and hands the call on. At exit it writes the times, one nanosecond
// count a line, to the file named by QUILLMO_SWAP_LOG.
#include <SDL2/SDL.h>

#include <dlfcn.h>
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Enough for hours at a few hundred frames a second; the pages are touched
// only as they fill.
constexpr size_t kCapacity = size_t(1) << 22;
uint64_t swapTimes[kCapacity];
size_t swapCount = 0;

using SwapWindowFunction = void (*)(SDL_Window*);

SwapWindowFunction realSwapWindow()
{
    static auto real = reinterpret_cast<SwapWindowFunction>(dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"));
    return real;
}

uint64_t nowNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000000000u + uint64_t(now.tv_nsec);
}

[[gnu::destructor]] void writeSwapTimes()
{
    const char* path = std::getenv("QUILLMO_SWAP_LOG");
    if (!path)
        return;
    FILE* out = std::fopen(path, "w");
    if (!out)
        return;
    for (size_t i = 0; i < swapCount; ++i)
        std::fprintf(out, "%llu\n", static_cast<unsigned long long>(swapTimes[i]));
    std::fclose(out);
}

} // namespace

extern "C" void SDL_GL_SwapWindow(SDL_Window* window)
{
    if (swapCount < kCapacity)
        swapTimes[swapCount++] = nowNs();
    if (SwapWindowFunction real = realSwapWindow())
        real(window);
}
