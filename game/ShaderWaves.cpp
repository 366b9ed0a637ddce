// Wave tables and noise for shader effects.
#include "ShaderWaves.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr int kMask = kWaveTableSize - 1;
constexpr int kQuarter = kWaveTableSize / 4;
constexpr int kHalf = kWaveTableSize / 2;
// The sine table's period: one entry short of the table, as in the game.
constexpr double kSinePeriod = kWaveTableSize - 1;
constexpr double kTwoPi = 6.28318530717958647692;

struct Tables {
    std::array<float, kWaveTableSize> sine{};
    std::array<float, kWaveTableSize> triangle{};
    std::array<float, kWaveTableSize> square{};
    std::array<float, kWaveTableSize> sawtooth{};
    std::array<float, kWaveTableSize> inverseSawtooth{};

    Tables()
    {
        for (int i = 0; i < kWaveTableSize; ++i) {
            sine[i] = static_cast<float>(std::sin(kTwoPi * i / kSinePeriod));
            square[i] = i < kHalf ? 1.0f : -1.0f;
            sawtooth[i] = static_cast<float>(i) / kWaveTableSize;
            inverseSawtooth[i] = 1.0f - sawtooth[i];
            if (i < kQuarter)
                triangle[i] = static_cast<float>(i) / kQuarter;
            else if (i < kHalf)
                triangle[i] = 1.0f - static_cast<float>(i - kQuarter) / kQuarter;
            else
                triangle[i] = -triangle[i - kHalf];
        }
    }
};

const Tables& tables()
{
    static const Tables built;
    return built;
}

// The noise lattice: 256 values in -1 ... 1 and a scrambling of 0 ... 255,
// drawn once from a fixed seed so that pictures repeat from run to run.
constexpr int kNoiseSize = 256;
struct NoiseLattice {
    std::array<float, kNoiseSize> values{};
    std::array<uint8_t, kNoiseSize> scramble{};

    NoiseLattice()
    {
        uint32_t seed = 0x51A7E5u;
        auto next = [&seed] {
            seed = seed * 1664525u + 1013904223u;
            return (seed >> 8) / static_cast<float>(1u << 24); // 0 ... 1
        };
        for (int i = 0; i < kNoiseSize; ++i) {
            values[i] = next() * 2.0f - 1.0f;
            scramble[i] = static_cast<uint8_t>(next() * 255.0f);
        }
    }

    float at(int x, int y, int z, int t) const
    {
        const auto s = [this](int v) { return scramble[static_cast<size_t>(v) & (kNoiseSize - 1)]; };
        return values[s(x + s(y + s(z + s(t))))];
    }
};

const NoiseLattice& lattice()
{
    static const NoiseLattice built;
    return built;
}

float lerp(float a, float b, float w) { return a * (1.0f - w) + b * w; }

} // namespace

float WaveTableValue(WaveForm form, int64_t index)
{
    const auto i = static_cast<size_t>(index & kMask);
    const Tables& t = tables();
    switch (form) {
    case WaveForm::Sin:
        return t.sine[i];
    case WaveForm::Triangle:
        return t.triangle[i];
    case WaveForm::Square:
        return t.square[i];
    case WaveForm::Sawtooth:
        return t.sawtooth[i];
    case WaveForm::InverseSawtooth:
        return t.inverseSawtooth[i];
    case WaveForm::Noise:
        break;
    }
    return 0.0f;
}

int64_t WaveIndex(double periods)
{
    // Beyond what a 64-bit index holds the phase means nothing any more.
    const double scaled = periods * kWaveTableSize;
    if (!std::isfinite(scaled) || std::abs(scaled) > 9.0e18)
        return 0;
    return static_cast<int64_t>(scaled);
}

float EvaluateWave(const Wave& wave, double time)
{
    if (wave.form == WaveForm::Noise)
        return wave.base + Noise4(0, 0, 0, static_cast<float>((time + wave.phase) * wave.frequency)) * wave.amplitude;
    const int64_t index = WaveIndex(wave.phase + time * wave.frequency);
    return wave.base + WaveTableValue(wave.form, index) * wave.amplitude;
}

float EvaluateWaveClamped(const Wave& wave, double time)
{
    return std::clamp(EvaluateWave(wave, time), 0.0f, 1.0f);
}

float SinTable(int64_t index) { return tables().sine[static_cast<size_t>(index & kMask)]; }

float Noise4(float x, float y, float z, float t)
{
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z) || !std::isfinite(t))
        return 0.0f;
    const NoiseLattice& n = lattice();
    const float coords[4] = {x, y, z, t};
    int whole[4];
    float fraction[4];
    for (int k = 0; k < 4; ++k) {
        // Far coordinates repeat the lattice; only their place in it counts.
        const float f = std::floor(coords[k]);
        whole[k] = static_cast<int>(std::fmod(f, 65536.0f));
        fraction[k] = coords[k] - f;
    }
    float alongT[2];
    for (int dt = 0; dt < 2; ++dt) {
        float alongZ[2];
        for (int dz = 0; dz < 2; ++dz) {
            float alongY[2];
            for (int dy = 0; dy < 2; ++dy) {
                const float a = n.at(whole[0], whole[1] + dy, whole[2] + dz, whole[3] + dt);
                const float b = n.at(whole[0] + 1, whole[1] + dy, whole[2] + dz, whole[3] + dt);
                alongY[dy] = lerp(a, b, fraction[0]);
            }
            alongZ[dz] = lerp(alongY[0], alongY[1], fraction[1]);
        }
        alongT[dt] = lerp(alongZ[0], alongZ[1], fraction[2]);
    }
    return lerp(alongT[0], alongT[1], fraction[3]);
}
