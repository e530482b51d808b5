#include "TargetRanges.h"

#include "SimdSupport.h"

// Compiled with -ffp-contract=off: the pass must round exactly as JUCE's range arithmetic does.

namespace
{
/** start + span * p, snapped to the interval's grid (none for 0), kept within [start, end]: the
    arithmetic of NormalisableRange::convertFrom0to1 (after the skew) and snapToLegalValue. */
void snapScalar (const float* start, const float* span, const float* end, const float* interval,
                const float* proportion, float* real, size_t from, size_t count) noexcept
{
    for (size_t i = from; i < count; ++i)
    {
        auto value = start[i] + span[i] * proportion[i];

        if (interval[i] > 0.0f)
            value = start[i] + interval[i] * std::floor ((value - start[i]) / interval[i] + 0.5f);

        real[i] = (value <= start[i] || end[i] <= start[i]) ? start[i] : (value >= end[i] ? end[i] : value);
    }
}

#if OSTREL_X86
__attribute__ ((target ("avx2")))
void snapAvx2 (const float* start, const float* span, const float* end, const float* interval,
               const float* proportion, float* real, size_t count) noexcept
{
    size_t i = 0;

    for (; i + 8 <= count; i += 8)
    {
        const __m256 s = _mm256_loadu_ps (start + i), e = _mm256_loadu_ps (end + i), step = _mm256_loadu_ps (interval + i);
        const __m256 value = _mm256_add_ps (s, _mm256_mul_ps (_mm256_loadu_ps (span + i), _mm256_loadu_ps (proportion + i)));
        const __m256 steps = _mm256_floor_ps (_mm256_add_ps (_mm256_div_ps (_mm256_sub_ps (value, s), step), _mm256_set1_ps (0.5f)));
        const __m256 snapped = _mm256_add_ps (s, _mm256_mul_ps (step, steps));
        const __m256 v = _mm256_blendv_ps (value, snapped, _mm256_cmp_ps (step, _mm256_setzero_ps(), _CMP_GT_OQ));
        const __m256 atStart = _mm256_or_ps (_mm256_cmp_ps (v, s, _CMP_LE_OQ), _mm256_cmp_ps (e, s, _CMP_LE_OQ));
        const __m256 atEnd = _mm256_cmp_ps (v, e, _CMP_GE_OQ);
        _mm256_storeu_ps (real + i, _mm256_blendv_ps (_mm256_blendv_ps (v, e, atEnd), s, atStart));
    }

    snapScalar (start, span, end, interval, proportion, real, i, count);
}
#endif
} // namespace

void TargetRanges::setParameters (const std::vector<juce::RangedAudioParameter*>& targets)
{
    const auto n = targets.size();
    ranges.assign (n, {});
    start.assign (n, 0.0f);
    span.assign (n, 0.0f);
    end.assign (n, 0.0f);
    interval.assign (n, 0.0f);
    proportion.assign (n, 0.0f);
    lastNormalised.assign (n, -1.0f);
    byParameter.assign (n, 0.0f);

    for (size_t i = 0; i < n; ++i)
    {
        auto& r = ranges[i];
        r.parameter = targets[i];
        const auto& range = targets[i]->getNormalisableRange();

        // Symmetric skews are rare enough to leave to the parameter.
        if (dynamic_cast<const juce::AudioParameterFloat*> (targets[i]) == nullptr || range.symmetricSkew)
            continue;

        r.kind = range.skew != 1.0f ? Kind::skewed : Kind::linear;
        r.skew = range.skew;
        start[i] = range.start;
        span[i] = range.end - range.start;
        end[i] = range.end;
        interval[i] = range.interval;

        // A range with conversion functions of its own would disagree somewhere: check.
        std::vector<float> grid (1025), ours (1025), theirs (1025);

        for (int k = 0; k <= 1024; ++k)
        {
            const auto v = (float) k / 1024.0f;
            auto p = v;

            if (r.kind == Kind::skewed && p > 0.0f)
                p = std::exp (std::log (p) / r.skew);

            grid[(size_t) k] = p;
            theirs[(size_t) k] = targets[i]->convertFrom0to1 (v);
        }

        for (size_t k = 0; k < grid.size(); ++k)
            snapScalar (&start[i], &span[i], &end[i], &interval[i], &grid[k], &ours[k], 0, 1);

        if (ours != theirs)
            r.kind = Kind::byParameter;
    }
}

void TargetRanges::reset() noexcept
{
    std::fill (lastNormalised.begin(), lastNormalised.end(), -1.0f);
}

void TargetRanges::toLegalValues (const float* normalised, float* real) noexcept
{
    const auto n = ranges.size();

    for (size_t i = 0; i < n; ++i)
    {
        const auto v = juce::jlimit (0.0f, 1.0f, normalised[i]);

        if (v == lastNormalised[i])
            continue;

        lastNormalised[i] = v;
        const auto& r = ranges[i];

        if (r.kind == Kind::byParameter)
            byParameter[i] = r.parameter->convertFrom0to1 (v);
        else if (r.kind == Kind::skewed && v > 0.0f)
            proportion[i] = std::exp (std::log (v) / r.skew);
        else
            proportion[i] = v;
    }

#if OSTREL_X86
    if (SimdSupport::cpuHasAvx2())
        snapAvx2 (start.data(), span.data(), end.data(), interval.data(), proportion.data(), real, n);
    else
#endif
        snapScalar (start.data(), span.data(), end.data(), interval.data(), proportion.data(), real, 0, n);

    // Integers, switches and choices: their parameter's own conversion.
    for (size_t i = 0; i < n; ++i)
        if (ranges[i].kind == Kind::byParameter)
            real[i] = byParameter[i];
}
