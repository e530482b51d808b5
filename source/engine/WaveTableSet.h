#pragma once

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_dsp/juce_dsp.h>
#include <array>
#include <memory>

/** One waveform's eight octave-band tables, built once from a source cycle and then never changed,
    so that any number of oscillators on the audio thread can share them.

    Band i holds the cycle with its DC and every harmonic from harmonicLimits[i] upwards removed;
    the harmonics below keep their amplitude and phase, and nothing is normalised. Every table has
    one guard sample past its end equal to its first, so a read at idx + 1 never needs a wrap.

    Built on the message thread (or any thread but the audio thread): building allocates and runs
    FFTs. */
class WaveTableSet
{
public:
    static constexpr int tableSize = 1024;
    static constexpr int numBands = 8;
    static constexpr int stride = tableSize + 8;   // guard sample plus padding, keeps bands aligned
    static constexpr std::array<int, numBands> harmonicLimits { 368, 184, 92, 46, 23, 11, 5, 2 };

    /** A silent set: what an oscillator plays before any source has filled its tables. */
    WaveTableSet();

    /** Builds the bands from a cycle of any length. A cycle of tableSize samples is used as it is;
        any other length is taken as one whole period and resampled to tableSize samples in the
        frequency domain, which keeps it free of aliasing. An empty cycle gives silent tables, and so
        does a cycle holding a NaN or an infinity. */
    static std::shared_ptr<const WaveTableSet> build (const float* cycle, int numSamples);

    /** The samples of band b: tableSize values and the guard sample. */
    const float* band (int b) const noexcept   { return data.get() + (size_t) b * stride; }

    /** All bands, back to back at `stride` floats apart. */
    const float* allBands() const noexcept     { return data.get(); }

    /** All bands again as (sample, slope) pairs: pair i of a band holds w[i] and w[i + 1] - w[i], so
        one 64-bit load fetches everything a linear read needs. Pairs of band b start at pair
        b * stride. */
    const float* allBandPairs() const noexcept { return pairs.get(); }

    bool isSilent() const noexcept             { return silent; }

    /** The band for a frequency in hertz, or -1 at or above the top of the ladder (10240 Hz). Each
        band includes its lower edge; the edges do not depend on the sample rate. */
    static int bandForFrequency (float hertz) noexcept;

    /** The shared silent set. */
    static const WaveTableSet& silence();

private:
    juce::HeapBlock<float> data;
    juce::HeapBlock<float> pairs;
    bool silent = true;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WaveTableSet)
};
