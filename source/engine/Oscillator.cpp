#include "Oscillator.h"
#include "WaveLibrary.h"

#include <cmath>

void Oscillator::setLibrary (const WaveLibrary* newLibrary) noexcept
{
    library = newLibrary;
    createWavetable();
}

void Oscillator::setNote (float midiNote) noexcept
{
    // The same note gives the same frequency and band: skip the power when nothing moved.
    if (midiNote == lastNote)
        return;

    lastNote = midiNote;
    const float semitonesFromA = midiNote - 69.0f;
    // exp2 is the power of two that pow (2.0, x) computes, at half the cost: this runs for every
    // unison oscillator whose pitch moves, every sub-block.
    auto hertz = (float) (440.0 * std::exp2 ((double) semitonesFromA / 12.0));

    // A note that is not a number, or absurdly high, must not stall the read loop.
    if (! (hertz >= 0.0f && hertz <= 4.0e6f))
        hertz = 0.0f;

    frequency = hertz;

    const int band = WaveTableSet::bandForFrequency (hertz);

    if (band >= 0)
        currentBand = band;
}

void Oscillator::createWavetable() noexcept
{
    if (library != nullptr)
        if (const auto* wave = library->tablesFor (waveIndex))
            tables = wave;
}

void Oscillator::createCustomWavetable() noexcept
{
    tables = customTables != nullptr ? customTables : &WaveTableSet::silence();
}

float Oscillator::nextSample() noexcept
{
    const float* w = currentTable();
    const auto idx = (int) readPosition;
    const auto next = idx == tableSize - 1 ? 0 : idx + 1;

    phaseIncrement = (float) tableSize * frequency / sampleRate;
    const float value = (w[next] - w[idx]) * (readPosition - (float) idx) + w[idx];

    readPosition += phaseIncrement;

    while (readPosition >= (float) tableSize)
        readPosition -= (float) tableSize;

    return value * gain;
}
