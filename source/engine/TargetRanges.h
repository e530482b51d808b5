#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <vector>

/** Turns the normalised values of all a voice's modulation targets into their real, legal values in
    one pass: each result is bit for bit what the target's parameter gives (convertFrom0to1, snapped
    to its steps). Float parameters have their range copied out and converted side by side (AVX2
    where the CPU has it); integers, switches and choices round through functions of their own and
    are left to their parameter. A value that did not move since the last pass keeps its result.
    Made on the message thread; toLegalValues runs on the audio thread and never allocates. */
class TargetRanges
{
public:
    void setParameters (const std::vector<juce::RangedAudioParameter*>& targets);

    /** real[i] = target i's legal value for normalised[i], for every target. */
    void toLegalValues (const float* normalised, float* real) noexcept;

    /** Forgets the values of the last pass, so the next one converts everything. */
    void reset() noexcept;

private:
    enum class Kind { linear, skewed, byParameter };

    struct Range
    {
        const juce::RangedAudioParameter* parameter = nullptr;
        Kind kind = Kind::byParameter;
        float skew = 1.0f;
    };

    std::vector<Range> ranges;
    // The float ranges' numbers, one array each, for the side-by-side pass.
    std::vector<float> start, span, end, interval;
    std::vector<float> proportion, lastNormalised, byParameter;

    JUCE_LEAK_DETECTOR (TargetRanges)
};
