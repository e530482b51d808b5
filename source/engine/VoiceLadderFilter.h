#pragma once

#include <juce_dsp/juce_dsp.h>
#include <array>

/** The voice's 24 dB-per-octave ladder low-pass, for two channels.

    It computes exactly what juce::dsp::LadderFilter<float> computes in its LPF24 mode (the same
    arithmetic in the same order, the same tanh table and 50 ms parameter smoothing), but renders
    both channels in one inlined loop with the state in registers: the voice's filter is the most
    expensive stage of the synthesiser after the oscillators. A test checks it sample for sample
    against JUCE's filter. Audio thread after prepare(). */
class VoiceLadderFilter
{
public:
    VoiceLadderFilter();

    void prepare (double sampleRate) noexcept;
    void reset() noexcept;

    void setEnabled (bool isEnabled) noexcept   { enabled = isEnabled; }
    void setCutoffFrequencyHz (float hertz) noexcept;
    void setResonance (float newResonance) noexcept;
    void setDrive (float newDrive) noexcept;

    /** Filters numSamples samples of both channels in place; a disabled filter leaves them. */
    void process (float* left, float* right, int numSamples) noexcept;

    static constexpr int maxBatchSamples = 64;

    /** Filters several voices at once, each in place, with exactly the results process() gives for
        each of them. The ladder is one long chain of dependent operations per sample, so one voice
        at a time leaves the CPU waiting; several voices side by side as SIMD lanes keep it busy.
        At most maxBatchSamples samples. */
    static void processVoices (VoiceLadderFilter* const* filters, float* const* lefts, float* const* rights,
                               int numFilters, int numSamples) noexcept;

private:
#if defined(__x86_64__) || defined(__i386__)
    template <int numVectors>
    __attribute__ ((target ("avx2")))
    static void processGroupAvx2 (VoiceLadderFilter* const* filters, float* const* lefts, float* const* rights,
                                  int count, int numSamples) noexcept;
#endif

    float drive = 1.2f, drive2 = 0.0f, gain = 0.0f, gain2 = 0.0f;
    static constexpr float comp = 0.5f;
    static constexpr float outputGain = 1.2f;
    std::array<std::array<float, 5>, 2> state {};
    juce::SmoothedValue<float> cutoffTransformSmoother, scaledResonanceSmoother;
    juce::dsp::LookupTableTransform<float> saturation { [] (float x) { return std::tanh (x); }, -5.0f, 5.0f, 128 };
    float cutoffFreqHz = 200.0f, resonance = 0.0f, cutoffFreqScaler = 0.0f;
    bool enabled = true;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VoiceLadderFilter)
};
