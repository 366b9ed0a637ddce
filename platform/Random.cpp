#include "Random.h"

#include <chrono>

namespace platform {

namespace {
uint32_t seed = 0;
}

uint32_t RandSeed() { return seed; }
void SetRandSeed(uint32_t value) { seed = value; }

uint32_t Random(uint32_t range)
{
    seed = seed * 134775813u + 1u;
    return static_cast<uint32_t>((static_cast<uint64_t>(seed) * range) >> 32);
}

void Randomize()
{
    using namespace std::chrono;
    auto now = system_clock::now().time_since_epoch();
    seed = static_cast<uint32_t>(duration_cast<milliseconds>(now).count());
}

} // namespace platform
