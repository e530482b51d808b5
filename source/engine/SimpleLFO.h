#pragma once

#include <juce_core/juce_core.h>

#include <array>
#include <cmath>

/** A low-frequency oscillator for modulation: sine, triangle, rising and falling saw, square and a
    sample-and-hold random that draws one new value per cycle. Control rate: the voice reads
    getCurrentValue() once per sub-block and then advances it with process(). Audio thread. */
class SimpleLFO
{
public:
    enum Wave { sine = 0, triangle, sawUp, sawDown, square, random };

    SimpleLFO() = default;

    /** The output at the current phase: in [-depth, depth] when bipolar, [0, depth] otherwise.
        Changes nothing. */
    float getCurrentValue() const noexcept
    {
        const float p = offsetPhase();
        float e = 0.0f;

        switch (wave)
        {
            case sine:     e = std::sin (juce::MathConstants<float>::twoPi * p); break;
            case triangle: e = p < 0.5f ? 4.0f * p - 1.0f : 3.0f - 4.0f * p; break;
            case sawUp:    e = 2.0f * p - 1.0f; break;
            case sawDown:  e = 1.0f - 2.0f * p; break;
            case square:   e = p < 0.5f ? 1.0f : -1.0f; break;
            case random:   e = heldValue; break;
            default:       break;
        }

        if (! bipolar)
            e = (e + 1.0f) / 2.0f;

        return e * depth;
    }

    /** Advances the phase by numSamples samples; the random wave draws a new value each time its
        offset phase wraps. */
    void process (int numSamples) noexcept
    {
        const double increment = phaseIncrement();

        if (wave != random)
        {
            for (int i = 0; i < numSamples; ++i)
            {
                phase += increment;
                if (phase >= 1.0)
                    phase -= 1.0;
            }

            return;
        }

        for (int i = 0; i < numSamples; ++i)
        {
            phase += increment;
            if (phase >= 1.0)
                phase -= 1.0;

            const double p = offsetPhase();

            if (p < lastPhase)
                heldValue = 2.0f * randomGenerator.nextFloat() - 1.0f;

            lastPhase = p;
        }
    }

    int wave = sine;
    float frequency = 0.0f;
    float phaseOffset = 0.0f;
    float depth = 0.0f;
    bool bipolar = true;
    double phase = 0.0;
    double lastPhase = 1.0;
    double sampleRate = 0.0;
    float heldValue = 0.0f;
    juce::Random randomGenerator { 1 };

    /** process (numSamples) for several LFOs, with the same result for each. Their phases advance
        side by side in one loop, so the additions of one LFO do not wait on another's. */
    template <size_t count>
    static void process (std::array<SimpleLFO, count>& lfos, int numSamples) noexcept
    {
        std::array<double, count> phases {}, increments {};

        for (size_t k = 0; k < count; ++k)
        {
            // The random wave draws values as it goes: it keeps its own loop.
            if (lfos[k].wave == random)
                lfos[k].process (numSamples);

            phases[k] = lfos[k].phase;
            increments[k] = lfos[k].wave == random ? 0.0 : lfos[k].phaseIncrement();
        }

        for (int i = 0; i < numSamples; ++i)
            for (size_t k = 0; k < count; ++k)
            {
                phases[k] += increments[k];
                if (phases[k] >= 1.0)
                    phases[k] -= 1.0;
            }

        for (size_t k = 0; k < count; ++k)
            if (lfos[k].wave != random)
                lfos[k].phase = phases[k];
    }

private:
    double phaseIncrement() const noexcept
    {
        return frequency > 0.001f && sampleRate > 0.0 ? (double) frequency / sampleRate : 0.0;
    }

    float offsetPhase() const noexcept
    {
        const double x = phaseOffset == 0.0f ? phase : std::fmod (phase + (double) phaseOffset, 1.0);
        auto p = (float) x;

        // Bounded: x is finite and within one cycle of [0, 1) here.
        while (p >= 1.0f) p -= 1.0f;
        while (p < 0.0f)  p += 1.0f;
        return p;
    }

    JUCE_LEAK_DETECTOR (SimpleLFO)
};
