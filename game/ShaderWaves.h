#pragma once
// The periodic functions shader scripts animate with, evaluated the way the
// game evaluates them: from tables of 1024 entries a period, looked up
// without interpolation, so that a wave at a given time has exactly the
// game's value (quantised to 1/1024 of a period). The sine table has a period
// of 1023 entries, as the game's does.
#include <cstdint>

enum class WaveForm { Sin, Triangle, Square, Sawtooth, InverseSawtooth, Noise };

// base + amplitude * form(phase + time * frequency).
struct Wave {
    WaveForm form = WaveForm::Sin;
    float base = 0;
    float amplitude = 0;
    float phase = 0;
    float frequency = 0;
};

// Entries of one period of a table.
inline constexpr int kWaveTableSize = 1024;

// The table entry of form at index (taken modulo the table's size). Noise
// has no table: it answers 0.
float WaveTableValue(WaveForm form, int64_t index);

// The table index of a phase given in periods: truncated towards zero after
// scaling by the table size, as the game converts it.
int64_t WaveIndex(double periods);

// The value of wave at time seconds. Noise is the smooth noise below at
// (time + phase) * frequency.
float EvaluateWave(const Wave& wave, double time);

// The same, clamped to 0 ... 1.
float EvaluateWaveClamped(const Wave& wave, double time);

// sin(2 pi k / 1023) for table index k: the table behind sine waves,
// rotations and turbulence.
float SinTable(int64_t index);

// Smooth noise in four dimensions, roughly within -1 ... 1: fixed random
// values at whole coordinates, interpolated linearly in between. The same
// coordinates give the same value in every run.
float Noise4(float x, float y, float z, float t);
