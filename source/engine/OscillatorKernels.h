#pragma once

#include <cstdint>

class WaveTableSet;

/** The per-sample wavetable read of up to sixteen oscillators at once, as SIMD lanes.

    Lanes come in groups of eight: lanes 0-3 of a group feed the left channel and lanes 4-7 the
    right. Every lane reads the shared band tables at its own offset with linear interpolation,
    scales by its gain, advances by its increment and wraps into [0, tableSize). Unused lanes have
    gain 0 and increment 0. Each lane computes exactly what the scalar read computes; only the order
    in which lanes are summed into a channel differs.

    An AVX2 path is chosen at run time where the CPU has it; the baseline path needs only SSE2.
    Audio thread; allocation-free. */
namespace OscillatorKernels
{
constexpr int lanesPerGroup = 8;
constexpr int maxGroups = 2;
constexpr int maxLanes = lanesPerGroup * maxGroups;

struct alignas (32) Lanes
{
    float position[maxLanes];
    float increment[maxLanes];
    float gain[maxLanes];
    std::int32_t tableOffset[maxLanes];   // band * stride: where each lane's band starts
};

/** Adds numSamples samples of every lane into left and right and advances the lanes' positions. */
void render (const WaveTableSet& tables, Lanes& lanes, int numGroups,
             float* left, float* right, int numSamples) noexcept;

/** hertz[i] = 440 * 2^((notes[i] - 69) / 12), in double precision and stored as floats, for count
    notes. One polynomial serves the scalar and the AVX2 path, operation for operation, so a note
    gives the same frequency on every machine and whichever path computes it. NaN stays NaN;
    notes far outside the audible range give 0 or infinity. */
void notesToHertz (const float* notes, float* hertz, int count) noexcept;

/** The name of the path render() uses: "avx2", "sse2" or "scalar". */
const char* activePath() noexcept;

/** Forces the baseline path even on an AVX2 CPU (for measuring and comparing both). */
void forceBaseline (bool shouldForce) noexcept;
} // namespace OscillatorKernels
