#include "VoiceLadderFilter.h"

#include <cstring>

#include "SimdSupport.h"

// Compiled with -ffp-contract=off: every lane must round exactly as JUCE's scalar filter does.

namespace
{
/** JUCE's tanh table for the ladder: 128 points over [-5, 5] and a guard point, built exactly as
    juce::dsp::LookupTableTransform builds it. */
struct SaturationTable
{
    SaturationTable()
    {
        for (int i = 0; i < 128; ++i)
            values[(size_t) i] = std::tanh (juce::jlimit (-5.0f, 5.0f, juce::jmap ((float) i, 0.0f, 127.0f, -5.0f, 5.0f)));

        values[128] = values[127];
    }

    std::array<float, 129> values;
    static constexpr float scaler = 127.0f / (5.0f - -5.0f);
    static constexpr float offset = 5.0f * scaler;
};

const SaturationTable& saturationTable()
{
    static const SaturationTable table;
    return table;
}
} // namespace

VoiceLadderFilter::VoiceLadderFilter()
{
    prepare (1000.0);
    setResonance (0.0f);
    setDrive (1.2f);
}

void VoiceLadderFilter::prepare (double sampleRate) noexcept
{
    const auto rate = (float) sampleRate;
    cutoffFreqScaler = (float) (-2.0 * juce::MathConstants<double>::pi) / rate;
    cutoffTransformSmoother.reset (rate, 0.05f);
    scaledResonanceSmoother.reset (rate, 0.05f);
    setCutoffFrequencyHz (cutoffFreqHz);
    reset();
}

void VoiceLadderFilter::reset() noexcept
{
    for (auto& s : state)
        s.fill (0.0f);

    cutoffTransformSmoother.setCurrentAndTargetValue (cutoffTransformSmoother.getTargetValue());
    scaledResonanceSmoother.setCurrentAndTargetValue (scaledResonanceSmoother.getTargetValue());
}

void VoiceLadderFilter::setCutoffFrequencyHz (float hertz) noexcept
{
    cutoffFreqHz = hertz;
    cutoffTransformSmoother.setTargetValue (std::exp (cutoffFreqHz * cutoffFreqScaler));
}

void VoiceLadderFilter::setResonance (float newResonance) noexcept
{
    resonance = newResonance;
    scaledResonanceSmoother.setTargetValue (juce::jmap (resonance, 0.1f, 1.0f));
}

void VoiceLadderFilter::setDrive (float newDrive) noexcept
{
    drive = newDrive;
    gain = std::pow (drive, -2.642f) * 0.6103f + 0.3903f;
    drive2 = drive * 0.04f + 0.96f;
    gain2 = std::pow (drive2, -2.642f) * 0.6103f + 0.3903f;
}

void VoiceLadderFilter::process (float* left, float* right, int numSamples) noexcept
{
    if (! enabled)
        return;

    auto l = state[0], r = state[1];
    float* channels[] = { left, right };

    for (int n = 0; n < numSamples; ++n)
    {
        const auto a1 = cutoffTransformSmoother.getNextValue();
        const auto scaledResonance = scaledResonanceSmoother.getNextValue();
        const auto g = a1 * -1.0f + 1.0f;
        const auto b0 = g * 0.76923076923f;
        const auto b1 = g * 0.23076923076f;

        auto step = [&] (std::array<float, 5>& s, float input)
        {
            const auto dx = gain * saturation (drive * input);
            const auto a = dx + scaledResonance * -4.0f * (gain2 * saturation (drive2 * s[4]) - dx * comp);
            const auto b = b1 * s[0] + a1 * s[1] + b0 * a;
            const auto c = b1 * s[1] + a1 * s[2] + b0 * b;
            const auto d = b1 * s[2] + a1 * s[3] + b0 * c;
            const auto e = b1 * s[3] + a1 * s[4] + b0 * d;
            s = { a, b, c, d, e };
            return a * 0.0f + b * 0.0f + c * 0.0f + d * 0.0f + e * outputGain;
        };

        channels[0][n] = step (l, channels[0][n]);
        channels[1][n] = step (r, channels[1][n]);
    }

    state[0] = l;
    state[1] = r;
}

void VoiceLadderFilter::processVoices (VoiceLadderFilter* const* filters, float* const* lefts, float* const* rights,
                                       int numFilters, int numSamples) noexcept
{
    jassert (numSamples <= maxBatchSamples);

#if OSTREL_X86
    if (SimdSupport::cpuHasAvx2())
    {
        for (int first = 0; first < numFilters; first += 16)
        {
            const int count = juce::jmin (16, numFilters - first);
            auto* f = filters + first;
            auto* l = lefts + first;
            auto* r = rights + first;

            switch ((count + 3) / 4)
            {
                case 1:  processGroupAvx2<1> (f, l, r, count, numSamples); break;
                case 2:  processGroupAvx2<2> (f, l, r, count, numSamples); break;
                case 3:  processGroupAvx2<3> (f, l, r, count, numSamples); break;
                default: processGroupAvx2<4> (f, l, r, count, numSamples); break;
            }
        }

        return;
    }
#endif

    for (int i = 0; i < numFilters; ++i)
        filters[i]->process (lefts[i], rights[i], numSamples);
}

#if OSTREL_X86
namespace
{
/** The table's tanh for eight values: clamp, index, linear interpolation, as JUCE's table reads. */
__attribute__ ((target ("avx2"), always_inline)) inline
__m256 saturateAvx2 (__m256 v, const float* table, __m256 lowest, __m256 highest, __m256 scaler, __m256 offset) noexcept
{
    const __m256 index = _mm256_add_ps (_mm256_mul_ps (scaler, _mm256_min_ps (_mm256_max_ps (v, lowest), highest)), offset);
    const __m256i i = _mm256_cvttps_epi32 (index);
    const __m256 f = _mm256_sub_ps (index, _mm256_cvtepi32_ps (i));
    // Each lane's two neighbouring entries in one 64-bit load (faster than two gathers on AMD's
    // cores), then split into x0 and x1 with the lanes back in order.
    alignas (32) int at[8];
    _mm256_store_si256 (reinterpret_cast<__m256i*> (at), i);
    auto neighbours = [table] (int k) { double d; std::memcpy (&d, table + k, sizeof (d)); return d; };
    const __m256 low = _mm256_castpd_ps (_mm256_setr_pd (neighbours (at[0]), neighbours (at[1]), neighbours (at[2]), neighbours (at[3])));
    const __m256 high = _mm256_castpd_ps (_mm256_setr_pd (neighbours (at[4]), neighbours (at[5]), neighbours (at[6]), neighbours (at[7])));
    const __m256 x0 = _mm256_castpd_ps (_mm256_permute4x64_pd (_mm256_castps_pd (_mm256_shuffle_ps (low, high, _MM_SHUFFLE (2, 0, 2, 0))), _MM_SHUFFLE (3, 1, 2, 0)));
    const __m256 x1 = _mm256_castpd_ps (_mm256_permute4x64_pd (_mm256_castps_pd (_mm256_shuffle_ps (low, high, _MM_SHUFFLE (3, 1, 3, 1))), _MM_SHUFFLE (3, 1, 2, 0)));
    return _mm256_add_ps (x0, _mm256_mul_ps (f, _mm256_sub_ps (x1, x0)));
}
} // namespace

template <int numVectors>
__attribute__ ((target ("avx2")))
void VoiceLadderFilter::processGroupAvx2 (VoiceLadderFilter* const* filters, float* const* lefts, float* const* rights,
                                          int count, int numSamples) noexcept
{
    // Lanes: [f0 left, f0 right, f1 left, f1 right, ...], four filters per vector; lanes past count
    // filter silence and are dropped. The vectors run side by side in one loop, so their long chains
    // of dependent operations overlap instead of waiting on one another.
    constexpr int numLanes = numVectors * 8;
    constexpr int numFilters = numVectors * 4;
    alignas (32) float a1s[maxBatchSamples][numLanes] {}, resonances[maxBatchSamples][numLanes] {}, io[maxBatchSamples][numLanes] {};
    alignas (32) float laneDrive[numLanes], laneDrive2[numLanes], laneGain[numLanes], laneGain2[numLanes], state[5][numLanes];
    bool active[numFilters] {};

    for (int k = 0; k < numFilters; ++k)
    {
        auto* f = k < count ? filters[k] : nullptr;
        active[k] = f != nullptr && f->enabled;

        for (int ch = 0; ch < 2; ++ch)
        {
            const int lane = 2 * k + ch;
            laneDrive[lane] = active[k] ? f->drive : 1.0f;
            laneDrive2[lane] = active[k] ? f->drive2 : 1.0f;
            laneGain[lane] = active[k] ? f->gain : 0.0f;
            laneGain2[lane] = active[k] ? f->gain2 : 0.0f;

            for (int s = 0; s < 5; ++s)
                state[s][lane] = active[k] ? f->state[(size_t) ch][(size_t) s] : 0.0f;
        }

        if (! active[k])
            continue;

        const float* in[2] = { lefts[k], rights[k] };

        for (int n = 0; n < numSamples; ++n)
        {
            const auto a1 = f->cutoffTransformSmoother.getNextValue();
            const auto resonance = f->scaledResonanceSmoother.getNextValue();
            a1s[n][2 * k] = a1s[n][2 * k + 1] = a1;
            resonances[n][2 * k] = resonances[n][2 * k + 1] = resonance;
            io[n][2 * k] = in[0][n];
            io[n][2 * k + 1] = in[1][n];
        }
    }

    const float* table = saturationTable().values.data();
    const __m256 lowest = _mm256_set1_ps (-5.0f), highest = _mm256_set1_ps (5.0f);
    const __m256 scaler = _mm256_set1_ps (SaturationTable::scaler), offset = _mm256_set1_ps (SaturationTable::offset);
    const __m256 minusOne = _mm256_set1_ps (-1.0f), one = _mm256_set1_ps (1.0f), minusFour = _mm256_set1_ps (-4.0f);
    const __m256 b0Scale = _mm256_set1_ps (0.76923076923f), b1Scale = _mm256_set1_ps (0.23076923076f);
    const __m256 half = _mm256_set1_ps (comp), zero = _mm256_setzero_ps(), out = _mm256_set1_ps (outputGain);

    __m256 drive[numVectors], drive2[numVectors], gain[numVectors], gain2[numVectors];
    __m256 s0[numVectors], s1[numVectors], s2[numVectors], s3[numVectors], s4[numVectors];

    for (int v = 0; v < numVectors; ++v)
    {
        drive[v] = _mm256_load_ps (laneDrive + 8 * v);   drive2[v] = _mm256_load_ps (laneDrive2 + 8 * v);
        gain[v] = _mm256_load_ps (laneGain + 8 * v);     gain2[v] = _mm256_load_ps (laneGain2 + 8 * v);
        s0[v] = _mm256_load_ps (state[0] + 8 * v);       s1[v] = _mm256_load_ps (state[1] + 8 * v);
        s2[v] = _mm256_load_ps (state[2] + 8 * v);       s3[v] = _mm256_load_ps (state[3] + 8 * v);
        s4[v] = _mm256_load_ps (state[4] + 8 * v);
    }

    for (int n = 0; n < numSamples; ++n)
    {
        for (int v = 0; v < numVectors; ++v)
        {
            const __m256 a1 = _mm256_load_ps (a1s[n] + 8 * v);
            const __m256 resonance = _mm256_load_ps (resonances[n] + 8 * v);
            const __m256 g = _mm256_add_ps (_mm256_mul_ps (a1, minusOne), one);
            const __m256 b0 = _mm256_mul_ps (g, b0Scale);
            const __m256 b1 = _mm256_mul_ps (g, b1Scale);

            const __m256 dx = _mm256_mul_ps (gain[v], saturateAvx2 (_mm256_mul_ps (drive[v], _mm256_load_ps (io[n] + 8 * v)), table, lowest, highest, scaler, offset));
            const __m256 feedback = _mm256_sub_ps (_mm256_mul_ps (gain2[v], saturateAvx2 (_mm256_mul_ps (drive2[v], s4[v]), table, lowest, highest, scaler, offset)),
                                                   _mm256_mul_ps (dx, half));
            const __m256 a = _mm256_add_ps (dx, _mm256_mul_ps (_mm256_mul_ps (resonance, minusFour), feedback));
            const __m256 b = _mm256_add_ps (_mm256_add_ps (_mm256_mul_ps (b1, s0[v]), _mm256_mul_ps (a1, s1[v])), _mm256_mul_ps (b0, a));
            const __m256 c = _mm256_add_ps (_mm256_add_ps (_mm256_mul_ps (b1, s1[v]), _mm256_mul_ps (a1, s2[v])), _mm256_mul_ps (b0, b));
            const __m256 d = _mm256_add_ps (_mm256_add_ps (_mm256_mul_ps (b1, s2[v]), _mm256_mul_ps (a1, s3[v])), _mm256_mul_ps (b0, c));
            const __m256 e = _mm256_add_ps (_mm256_add_ps (_mm256_mul_ps (b1, s3[v]), _mm256_mul_ps (a1, s4[v])), _mm256_mul_ps (b0, d));
            s0[v] = a; s1[v] = b; s2[v] = c; s3[v] = d; s4[v] = e;

            const __m256 y = _mm256_add_ps (_mm256_add_ps (_mm256_add_ps (_mm256_add_ps (_mm256_mul_ps (a, zero), _mm256_mul_ps (b, zero)),
                                                                          _mm256_mul_ps (c, zero)), _mm256_mul_ps (d, zero)),
                                            _mm256_mul_ps (e, out));
            _mm256_store_ps (io[n] + 8 * v, y);
        }
    }

    for (int v = 0; v < numVectors; ++v)
    {
        _mm256_store_ps (state[0] + 8 * v, s0[v]); _mm256_store_ps (state[1] + 8 * v, s1[v]);
        _mm256_store_ps (state[2] + 8 * v, s2[v]); _mm256_store_ps (state[3] + 8 * v, s3[v]);
        _mm256_store_ps (state[4] + 8 * v, s4[v]);
    }

    for (int k = 0; k < count; ++k)
    {
        if (! active[k])
            continue;

        auto* f = filters[k];

        for (int ch = 0; ch < 2; ++ch)
            for (int s = 0; s < 5; ++s)
                f->state[(size_t) ch][(size_t) s] = state[s][2 * k + ch];

        for (int n = 0; n < numSamples; ++n)
        {
            lefts[k][n] = io[n][2 * k];
            rights[k][n] = io[n][2 * k + 1];
        }
    }
}
#endif
