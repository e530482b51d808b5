#include "Oscillator.h"
#include "OscillatorKernels.h"
#include "WaveLibrary.h"

#include <algorithm>
#include <cmath>

void Oscillator::setLibrary (const WaveLibrary* newLibrary) noexcept
{
    library = newLibrary;
    createWavetable();
}

void Oscillator::setNote (float midiNote) noexcept
{
    setNotes (this, &midiNote, 1);
}

void Oscillator::setNotes (Oscillator* oscillators, const float* midiNotes, int count) noexcept
{
    // The same note gives the same frequency and band: only the notes that moved pay for the power,
    // and those pay together.
    constexpr int batch = 16;
    float moved[batch], hertz[batch];
    int which[batch];

    for (int start = 0; start < count; start += batch)
    {
        int numMoved = 0;

        for (int i = start; i < std::min (count, start + batch); ++i)
            if (midiNotes[i] != oscillators[i].lastNote)
            {
                moved[numMoved] = midiNotes[i];
                which[numMoved++] = i;
            }

        OscillatorKernels::notesToHertz (moved, hertz, numMoved);

        for (int m = 0; m < numMoved; ++m)
        {
            auto& osc = oscillators[which[m]];
            osc.lastNote = moved[m];
            // A note that is not a number, or absurdly high, must not stall the read loop.
            const float h = hertz[m] >= 0.0f && hertz[m] <= 4.0e6f ? hertz[m] : 0.0f;
            osc.frequency = h;
            const int band = WaveTableSet::bandForFrequency (h);

            if (band >= 0)
                osc.currentBand = band;
        }
    }
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
