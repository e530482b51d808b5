#pragma once

#include "Oscillator.h"
#include "OscillatorKernels.h"

#include <array>

/** One oscillator slot of a voice: a panned pair, or up to eight detuned and stereo-spread unison
    pairs of wavetable oscillators, added into a two-channel buffer.

    The voice writes the public fields before every sub-block and then calls process(). Unison
    oscillator i plays at note - d + i * d / (N - 1), on the left channel when i is even, with level
    (1 + q) * gain / N where q is the spread signed by i (see process()). Audio thread. */
class MultiVoiceOscillator
{
public:
    static constexpr int maxOscillators = 16;
    static constexpr int maxUnisonVoices = maxOscillators / 2;

    MultiVoiceOscillator() = default;

    /** Points every oscillator at the wave library (message thread, before audio starts). */
    void setLibrary (const WaveLibrary* library) noexcept;

    void setSampleRate (float sampleRate) noexcept;

    /** Adds numSamples samples into channels 0 and 1 of buffer, from its first sample on. */
    void process (juce::AudioBuffer<float>& buffer, int numSamples) noexcept;

    /** As process(), into two channel pointers. */
    void process (float* left, float* right, int numSamples) noexcept;

    bool isOn = false;
    int numVoices = 1;
    std::array<Oscillator, maxOscillators> oscillators;
    float pan = 0.0f;
    float unisonDetune = 0.0f;
    float unisonSpread = 0.0f;
    float gain = 0.5f;
    float note = 440.0f;

private:
    /** Sets oscillator i's gain and returns its note. */
    float setUpOscillator (int i, int voices) noexcept;

    /** Where oscillator i sits among the kernel lanes: left oscillators fill lanes 0-3 of each group
        of eight, right oscillators lanes 4-7. */
    static int laneFor (int i) noexcept
    {
        const int onChannel = i / 2;
        return (onChannel / 4) * OscillatorKernels::lanesPerGroup + (i % 2) * 4 + onChannel % 4;
    }

    OscillatorKernels::Lanes lanes {};

    JUCE_LEAK_DETECTOR (MultiVoiceOscillator)
};
