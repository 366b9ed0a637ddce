#pragma once
// The program's one pseudo-random generator: a 32-bit seed advanced as
// seed * 134775813 + 1 (mod 2^32); a draw for range n returns the upper
// 32 bits of seed * n, so 0 ... n - 1. Reseeding from the clock is separate.
#include <cstdint>

namespace platform {

uint32_t RandSeed();
void SetRandSeed(uint32_t seed);
// Advances the seed and returns a number in 0 ... range - 1 (0 for range 0).
uint32_t Random(uint32_t range);
// Seeds from the clock (the millisecond tick count).
void Randomize();

} // namespace platform
