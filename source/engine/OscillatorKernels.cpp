#include "OscillatorKernels.h"
#include "WaveTableSet.h"

#include <atomic>
#include <cmath>
#include <cstring>

#include "SimdSupport.h"

// This file is compiled with -ffp-contract=off: a fused multiply-add would round differently from
// the scalar read, and every lane must compute exactly what one oscillator computes on its own.

namespace OscillatorKernels
{
namespace
{
constexpr float tableSize = (float) WaveTableSet::tableSize;
constexpr float inverseTableSize = 1.0f / tableSize;
constexpr int maxSamplesPerCall = 64;

[[maybe_unused]] void renderScalar (const WaveTableSet& set, Lanes& lanes, int numGroups,
                                    float* left, float* right, int numSamples) noexcept
{
    const float* tables = set.allBands();
    for (int lane = 0; lane < numGroups * lanesPerGroup; ++lane)
    {
        auto* out = (lane % lanesPerGroup) < 4 ? left : right;
        const float* table = tables + lanes.tableOffset[lane];
        float position = lanes.position[lane];
        const float increment = lanes.increment[lane];
        const float gain = lanes.gain[lane];

        for (int j = 0; j < numSamples; ++j)
        {
            const auto idx = (int) position;
            const float a = table[idx];
            const float value = (table[idx + 1] - a) * (position - (float) idx) + a;
            out[j] += value * gain;
            position += increment;
            position -= std::floor (position * inverseTableSize) * tableSize;
        }

        lanes.position[lane] = position;
    }
}

/** True when no lane advances by a whole table or more per sample, so one conditional subtract
    wraps exactly as repeated subtraction does. */
[[maybe_unused]] bool hasSmallSteps (const Lanes& lanes, int numGroups) noexcept
{
    for (int lane = 0; lane < numGroups * lanesPerGroup; ++lane)
        if (! (lanes.increment[lane] < tableSize))
            return false;

    return true;
}

#if OSTREL_X86
// Four lanes per SSE register: [L L R R] for every half group.
void renderSse2 (const WaveTableSet& set, Lanes& lanes, int numGroups,
                 float* left, float* right, int numSamples) noexcept
{
    const float* tables = set.allBands();
    const int numVectors = numGroups * 2;
    __m128 position[maxLanes / 4], increment[maxLanes / 4], gain[maxLanes / 4];
    __m128i offset[maxLanes / 4];

    // Lane order within a group is [L0 L1 L2 L3 R0 R1 R2 R3]; regroup as [L0 L1 R0 R1] [L2 L3 R2 R3].
    auto regroup = [] (const float* g) { return _mm_set_ps (g[5], g[4], g[1], g[0]); };
    auto regroupHigh = [] (const float* g) { return _mm_set_ps (g[7], g[6], g[3], g[2]); };

    for (int g = 0; g < numGroups; ++g)
    {
        const int base = g * lanesPerGroup;
        position[2 * g]      = regroup (lanes.position + base);
        position[2 * g + 1]  = regroupHigh (lanes.position + base);
        increment[2 * g]     = regroup (lanes.increment + base);
        increment[2 * g + 1] = regroupHigh (lanes.increment + base);
        gain[2 * g]          = regroup (lanes.gain + base);
        gain[2 * g + 1]      = regroupHigh (lanes.gain + base);
        const auto* o = lanes.tableOffset + base;
        offset[2 * g]        = _mm_set_epi32 (o[5], o[4], o[1], o[0]);
        offset[2 * g + 1]    = _mm_set_epi32 (o[7], o[6], o[3], o[2]);
    }

    const __m128 size = _mm_set1_ps (tableSize);
    const __m128 inverseSize = _mm_set1_ps (inverseTableSize);
    const bool smallSteps = hasSmallSteps (lanes, numGroups);

    for (int j = 0; j < numSamples; ++j)
    {
        __m128 sum = _mm_setzero_ps();

        for (int v = 0; v < numVectors; ++v)
        {
            const __m128i idx = _mm_cvttps_epi32 (position[v]);
            const __m128 frac = _mm_sub_ps (position[v], _mm_cvtepi32_ps (idx));
            alignas (16) std::int32_t at[4];
            _mm_store_si128 (reinterpret_cast<__m128i*> (at), _mm_add_epi32 (idx, offset[v]));
            const __m128 a = _mm_set_ps (tables[at[3]], tables[at[2]], tables[at[1]], tables[at[0]]);
            const __m128 b = _mm_set_ps (tables[at[3] + 1], tables[at[2] + 1], tables[at[1] + 1], tables[at[0] + 1]);
            const __m128 value = _mm_add_ps (_mm_mul_ps (_mm_sub_ps (b, a), frac), a);
            sum = _mm_add_ps (sum, _mm_mul_ps (value, gain[v]));

            const __m128 advanced = _mm_add_ps (position[v], increment[v]);

            if (smallSteps)
            {
                position[v] = _mm_sub_ps (advanced, _mm_and_ps (_mm_cmpge_ps (advanced, size), size));
            }
            else
            {
                // Positions stay non-negative, so truncation is the floor.
                const __m128 turns = _mm_cvtepi32_ps (_mm_cvttps_epi32 (_mm_mul_ps (advanced, inverseSize)));
                position[v] = _mm_sub_ps (advanced, _mm_mul_ps (turns, size));
            }
        }

        const __m128 pairs = _mm_add_ps (sum, _mm_shuffle_ps (sum, sum, _MM_SHUFFLE (2, 3, 0, 1)));
        left[j] += _mm_cvtss_f32 (pairs);
        right[j] += _mm_cvtss_f32 (_mm_movehl_ps (pairs, pairs));
    }

    for (int g = 0; g < numGroups; ++g)
    {
        alignas (16) float lo[4], hi[4];
        _mm_store_ps (lo, position[2 * g]);
        _mm_store_ps (hi, position[2 * g + 1]);
        float* p = lanes.position + g * lanesPerGroup;
        p[0] = lo[0]; p[1] = lo[1]; p[4] = lo[2]; p[5] = lo[3];
        p[2] = hi[0]; p[3] = hi[1]; p[6] = hi[2]; p[7] = hi[3];
    }
}

template <int count, bool smallSteps>
__attribute__ ((target ("avx2")))
void renderAvx2Groups (const float* pairData, Lanes& lanes, float* left, float* right, int numSamples) noexcept
{
    __m256 position[count], increment[count], gain[count];
    __m256i offset[count];

    for (int g = 0; g < count; ++g)
    {
        position[g] = _mm256_load_ps (lanes.position + g * lanesPerGroup);
        increment[g] = _mm256_load_ps (lanes.increment + g * lanesPerGroup);
        gain[g] = _mm256_load_ps (lanes.gain + g * lanesPerGroup);
        offset[g] = _mm256_load_si256 (reinterpret_cast<const __m256i*> (lanes.tableOffset + g * lanesPerGroup));
    }

    const __m256 size = _mm256_set1_ps (tableSize);
    const __m256 inverseSize = _mm256_set1_ps (inverseTableSize);
    __m256 sums[maxSamplesPerCall];

    // Pair offsets are lane offsets too: pair i sits at double i of the pair data.
    const double* pairs = reinterpret_cast<const double*> (pairData);

    for (int j = 0; j < numSamples; ++j)
    {
        __m256 sum = _mm256_setzero_ps();

        for (int g = 0; g < count; ++g)
        {
            const __m256i idx = _mm256_cvttps_epi32 (position[g]);
            const __m256 frac = _mm256_sub_ps (position[g], _mm256_cvtepi32_ps (idx));
            const __m256i at = _mm256_add_epi32 (idx, offset[g]);

            // Eight (sample, slope) pairs, one 64-bit load each: plain loads beat the AVX2 gather
            // here (8% on the AMD cores this runs on). Then split the pairs and put the lanes back
            // in order.
            alignas (32) int where[lanesPerGroup];
            _mm256_store_si256 (reinterpret_cast<__m256i*> (where), at);
            const __m128d p0 = _mm_loadh_pd (_mm_load_sd (pairs + where[0]), pairs + where[1]);
            const __m128d p1 = _mm_loadh_pd (_mm_load_sd (pairs + where[2]), pairs + where[3]);
            const __m128d p2 = _mm_loadh_pd (_mm_load_sd (pairs + where[4]), pairs + where[5]);
            const __m128d p3 = _mm_loadh_pd (_mm_load_sd (pairs + where[6]), pairs + where[7]);
            const __m256 low = _mm256_castpd_ps (_mm256_insertf128_pd (_mm256_castpd128_pd256 (p0), p1, 1));
            const __m256 high = _mm256_castpd_ps (_mm256_insertf128_pd (_mm256_castpd128_pd256 (p2), p3, 1));
            const __m256 a = _mm256_castpd_ps (_mm256_permute4x64_pd (_mm256_castps_pd (_mm256_shuffle_ps (low, high, _MM_SHUFFLE (2, 0, 2, 0))), _MM_SHUFFLE (3, 1, 2, 0)));
            const __m256 slope = _mm256_castpd_ps (_mm256_permute4x64_pd (_mm256_castps_pd (_mm256_shuffle_ps (low, high, _MM_SHUFFLE (3, 1, 3, 1))), _MM_SHUFFLE (3, 1, 2, 0)));
            const __m256 value = _mm256_add_ps (_mm256_mul_ps (slope, frac), a);
            sum = _mm256_add_ps (sum, _mm256_mul_ps (value, gain[g]));

            const __m256 advanced = _mm256_add_ps (position[g], increment[g]);

            if constexpr (smallSteps)
            {
                // Every increment is below one table: at most one wrap, a compare and a subtract.
                const __m256 wrap = _mm256_and_ps (_mm256_cmp_ps (advanced, size, _CMP_GE_OQ), size);
                position[g] = _mm256_sub_ps (advanced, wrap);
            }
            else
            {
                const __m256 turns = _mm256_floor_ps (_mm256_mul_ps (advanced, inverseSize));
                position[g] = _mm256_sub_ps (advanced, _mm256_mul_ps (turns, size));
            }
        }

        sums[j] = sum;
    }

    // Each sum is [L L L L | R R R R]; reduce eight samples at a time with a transposing add tree.
    int j = 0;

    for (; j + 8 <= numSamples; j += 8)
    {
        const __m256 first = _mm256_hadd_ps (_mm256_hadd_ps (sums[j], sums[j + 1]), _mm256_hadd_ps (sums[j + 2], sums[j + 3]));
        const __m256 second = _mm256_hadd_ps (_mm256_hadd_ps (sums[j + 4], sums[j + 5]), _mm256_hadd_ps (sums[j + 6], sums[j + 7]));
        _mm_storeu_ps (left + j, _mm_add_ps (_mm_loadu_ps (left + j), _mm256_castps256_ps128 (first)));
        _mm_storeu_ps (left + j + 4, _mm_add_ps (_mm_loadu_ps (left + j + 4), _mm256_castps256_ps128 (second)));
        _mm_storeu_ps (right + j, _mm_add_ps (_mm_loadu_ps (right + j), _mm256_extractf128_ps (first, 1)));
        _mm_storeu_ps (right + j + 4, _mm_add_ps (_mm_loadu_ps (right + j + 4), _mm256_extractf128_ps (second, 1)));
    }

    for (; j < numSamples; ++j)
    {
        const __m256 pairSums = _mm256_hadd_ps (sums[j], sums[j]);
        const __m256 totals = _mm256_hadd_ps (pairSums, pairSums);
        left[j] += _mm256_cvtss_f32 (totals);
        right[j] += _mm_cvtss_f32 (_mm256_extractf128_ps (totals, 1));
    }

    for (int g = 0; g < count; ++g)
        _mm256_store_ps (lanes.position + g * lanesPerGroup, position[g]);
}

void renderAvx2 (const WaveTableSet& set, Lanes& lanes, int numGroups,
                 float* left, float* right, int numSamples) noexcept
{
    const float* tables = set.allBandPairs();
    const bool smallSteps = hasSmallSteps (lanes, numGroups);

    if (numGroups == 1)
        smallSteps ? renderAvx2Groups<1, true> (tables, lanes, left, right, numSamples)
                   : renderAvx2Groups<1, false> (tables, lanes, left, right, numSamples);
    else
        smallSteps ? renderAvx2Groups<2, true> (tables, lanes, left, right, numSamples)
                   : renderAvx2Groups<2, false> (tables, lanes, left, right, numSamples);
}
#endif

//==============================================================================
// 2^x as 2^n * e^(f ln 2), n the nearest integer, |f| <= 1/2: a degree-13 Taylor polynomial is
// accurate to about one double ulp there, far below the float the result is stored as. It is
// evaluated in Estrin's order (pairs, then pairs of pairs), which keeps the chain of dependent
// operations short; the scalar and the vector form do the same operations in the same order.
constexpr double ln2 = 0.69314718055994530942;
constexpr double c[] = { 1.0, 1.0, 1.0 / 2.0, 1.0 / 6.0, 1.0 / 24.0, 1.0 / 120.0, 1.0 / 720.0, 1.0 / 5040.0,
                         1.0 / 40320.0, 1.0 / 362880.0, 1.0 / 3628800.0, 1.0 / 39916800.0, 1.0 / 479001600.0,
                         1.0 / 6227020800.0 };
// Exponents kept where 2^n is a normal double, so 2^n can be built from its bits.
constexpr double lowestExponent = -1022.0, highestExponent = 1023.0;

/** e^y for |y| <= ln2 / 2. notesToHertzAvx2 does the same operations on four values at once. */
double expNearZero (double y) noexcept
{
    auto pair = [y] (int k) { return c[k] + c[k + 1] * y; };
    const double y2 = y * y, y4 = y2 * y2, y8 = y4 * y4;
    const double q0 = pair (0) + pair (2) * y2, q1 = pair (4) + pair (6) * y2;
    const double q2 = pair (8) + pair (10) * y2, q3 = pair (12);
    return (q0 + q1 * y4) + (q2 + q3 * y4) * y8;
}

double exp2Scalar (double x) noexcept
{
    x = x < lowestExponent ? lowestExponent : (x > highestExponent ? highestExponent : x);   // NaN passes
    const double n = std::nearbyint (x);
    const double p = expNearZero ((x - n) * ln2);

    const auto bits = (std::int64_t) ((std::isnan (n) ? 0 : (std::int64_t) n) + 1023) << 52;
    double scale;
    std::memcpy (&scale, &bits, sizeof (scale));
    return p * scale;
}

float hertzOfNote (float note) noexcept
{
    return (float) (440.0 * exp2Scalar ((double) (note - 69.0f) / 12.0));
}

#if OSTREL_X86
__attribute__ ((target ("avx2")))
void notesToHertzAvx2 (const float* notes, float* hertz, int count) noexcept
{
    const __m256d lowest = _mm256_set1_pd (lowestExponent), highest = _mm256_set1_pd (highestExponent);
    // Adding 2^52 + 2^51 puts a whole number's two's complement in the low mantissa bits.
    const __m256d magic = _mm256_set1_pd (6755399441055744.0);
    int i = 0;

    for (; i + 4 <= count; i += 4)
    {
        const __m128 semitones = _mm_sub_ps (_mm_loadu_ps (notes + i), _mm_set1_ps (69.0f));
        __m256d x = _mm256_div_pd (_mm256_cvtps_pd (semitones), _mm256_set1_pd (12.0));
        // The same clamp as the scalar form, NaN included: max/min return their second operand
        // for NaN, so x goes second.
        x = _mm256_min_pd (highest, _mm256_max_pd (lowest, x));
        const __m256d n = _mm256_round_pd (x, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
        const __m256d y = _mm256_mul_pd (_mm256_sub_pd (x, n), _mm256_set1_pd (ln2));
        // expNearZero, four at a time.
        const __m256d y2 = _mm256_mul_pd (y, y), y4 = _mm256_mul_pd (y2, y2), y8 = _mm256_mul_pd (y4, y4);
        __m256d pairs[7];

        for (int k = 0; k < 7; ++k)
            pairs[k] = _mm256_add_pd (_mm256_set1_pd (c[2 * k]), _mm256_mul_pd (_mm256_set1_pd (c[2 * k + 1]), y));

        const __m256d q0 = _mm256_add_pd (pairs[0], _mm256_mul_pd (pairs[1], y2));
        const __m256d q1 = _mm256_add_pd (pairs[2], _mm256_mul_pd (pairs[3], y2));
        const __m256d q2 = _mm256_add_pd (pairs[4], _mm256_mul_pd (pairs[5], y2));
        const __m256d p = _mm256_add_pd (_mm256_add_pd (q0, _mm256_mul_pd (q1, y4)),
                                         _mm256_mul_pd (_mm256_add_pd (q2, _mm256_mul_pd (pairs[6], y4)), y8));

        const __m256d whole = _mm256_and_pd (n, _mm256_cmp_pd (n, n, _CMP_ORD_Q));   // NaN -> 0, as above
        const __m256i integer = _mm256_sub_epi64 (_mm256_castpd_si256 (_mm256_add_pd (whole, magic)), _mm256_castpd_si256 (magic));
        const __m256d scale = _mm256_castsi256_pd (_mm256_slli_epi64 (_mm256_add_epi64 (integer, _mm256_set1_epi64x (1023)), 52));
        const __m256d result = _mm256_mul_pd (_mm256_set1_pd (440.0), _mm256_mul_pd (p, scale));
        _mm_storeu_ps (hertz + i, _mm256_cvtpd_ps (result));
    }

    for (; i < count; ++i)
        hertz[i] = hertzOfNote (notes[i]);
}
#endif

using RenderFunction = void (*) (const WaveTableSet&, Lanes&, int, float*, float*, int) noexcept;

std::atomic<bool> baselineForced { false };

RenderFunction chooseRenderer() noexcept
{
#if OSTREL_X86
    if (SimdSupport::cpuHasAvx2() && ! baselineForced.load (std::memory_order_relaxed))
        return renderAvx2;
    return renderSse2;
#else
    return renderScalar;
#endif
}
} // namespace

void render (const WaveTableSet& tables, Lanes& lanes, int numGroups,
             float* left, float* right, int numSamples) noexcept
{
    if (numGroups <= 0 || numSamples <= 0)
        return;

    const auto render = chooseRenderer();
    const int groups = numGroups > maxGroups ? maxGroups : numGroups;

    for (int start = 0; start < numSamples; start += maxSamplesPerCall)
        render (tables, lanes, groups, left + start, right + start,
                numSamples - start < maxSamplesPerCall ? numSamples - start : maxSamplesPerCall);
}

void notesToHertz (const float* notes, float* hertz, int count) noexcept
{
#if OSTREL_X86
    if (SimdSupport::cpuHasAvx2())
    {
        notesToHertzAvx2 (notes, hertz, count);
        return;
    }
#endif

    for (int i = 0; i < count; ++i)
        hertz[i] = hertzOfNote (notes[i]);
}

const char* activePath() noexcept
{
#if OSTREL_X86
    return chooseRenderer() == renderAvx2 ? "avx2" : "sse2";
#else
    return "scalar";
#endif
}

void forceBaseline (bool shouldForce) noexcept
{
    baselineForced.store (shouldForce);
}
} // namespace OscillatorKernels
