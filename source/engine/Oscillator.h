#pragma once

#include "WaveTableSet.h"

class WaveLibrary;

/** One single-cycle wavetable oscillator. It plays one of eight octave-band tables of its wave,
    chosen by the frequency of its note, with linear interpolation, and runs freely from its
    construction on.

    The band tables are shared and immutable (WaveTableSet): choosing another wave, or a new drawn
    cycle, swaps a pointer and never reads a file or runs an FFT. The owner writes the public fields
    directly. Audio thread, after construction; nothing here allocates or waits. */
class Oscillator
{
public:
    static constexpr int tableSize = WaveTableSet::tableSize;

    Oscillator() = default;

    /** The waves a file choice selects from; the oscillator then plays the wave at waveIndex. */
    void setLibrary (const WaveLibrary* newLibrary) noexcept;

    /** Sets the frequency from a (fractional) MIDI note and switches to the band of that frequency.
        At or above 10240 Hz the band stays as it was. */
    void setNote (float midiNote) noexcept;

    /** setNote for count oscillators at once (a unison slot), with their powers computed together. */
    static void setNotes (Oscillator* oscillators, const float* midiNotes, int count) noexcept;

    /** Plays the wave at waveIndex. Without such a wave, or when it could not be read, the previous
        wave stays. */
    void createWavetable() noexcept;

    /** Plays the drawn cycle's tables (customTables), or silence when nothing has been drawn. */
    void createCustomWavetable() noexcept;

    /** The increment for the current frequency and sample rate: tableSize * frequency / sampleRate. */
    float computeIncrement() const noexcept  { return (float) tableSize * frequency / sampleRate; }

    /** The reference per-sample read, one sample at a time (the unison oscillator renders many
        oscillators at once with the same arithmetic). */
    float nextSample() noexcept;

    /** The table being played: band currentBand of the current wave. */
    const float* currentTable() const noexcept  { return tables->band (currentBand); }

    int customWaveIndex = -1;
    const WaveLibrary* library = nullptr;
    const WaveTableSet* tables = &WaveTableSet::silence();
    const WaveTableSet* customTables = nullptr;
    float phaseIncrement = 0.0f;
    float readPosition = 0.0f;
    float frequency = 440.0f;
    float sampleRate = 44100.0f;
    float gain = 1.0f;
    int waveIndex = 0;
    int currentBand = 0;

private:
    float lastNote = std::numeric_limits<float>::quiet_NaN();   // NaN never equals: the first note always counts

    JUCE_LEAK_DETECTOR (Oscillator)
};
