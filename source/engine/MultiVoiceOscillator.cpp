#include "MultiVoiceOscillator.h"

void MultiVoiceOscillator::setLibrary (const WaveLibrary* library) noexcept
{
    for (auto& osc : oscillators)
        osc.setLibrary (library);
}

void MultiVoiceOscillator::setSampleRate (float sampleRate) noexcept
{
    for (auto& osc : oscillators)
        osc.sampleRate = sampleRate;
}

void MultiVoiceOscillator::process (juce::AudioBuffer<float>& buffer, int numSamples) noexcept
{
    jassert (buffer.getNumChannels() >= 2 && buffer.getNumSamples() >= numSamples);
    process (buffer.getWritePointer (0), buffer.getWritePointer (1), numSamples);
}

float MultiVoiceOscillator::setUpOscillator (int i, int voices) noexcept
{
    auto& osc = oscillators[(size_t) i];

    if (voices == 1)
    {
        osc.gain = (i == 0 ? 1.0f - pan : 1.0f + pan) * gain;
        return note;
    }

    const float sign = (i % 4) < 2 ? 1.0f : -1.0f;
    auto q = juce::jlimit (-1.0f, 1.0f, sign * unisonSpread);

    if (i % 2 == 0)
        q = -q;

    osc.gain = (1.0f + q) * gain / (float) voices;
    return note - unisonDetune + (float) i * unisonDetune / (float) (voices - 1);
}

void MultiVoiceOscillator::process (float* left, float* right, int numSamples) noexcept
{
    if (! isOn || numVoices < 1 || numSamples <= 0)
        return;

    const int voices = juce::jmin (numVoices, maxUnisonVoices);
    const int used = 2 * voices;
    const auto* sharedTables = oscillators[0].tables;
    bool allShareTables = true;

    float notes[maxOscillators];

    for (int i = 0; i < used; ++i)
    {
        notes[i] = setUpOscillator (i, voices);
        allShareTables = allShareTables && oscillators[(size_t) i].tables == sharedTables;
    }

    Oscillator::setNotes (oscillators.data(), notes, used);

    if (! allShareTables)
    {
        // Only reachable if a caller gave the oscillators of one slot different waves.
        for (int i = 0; i < used; ++i)
        {
            auto& osc = oscillators[(size_t) i];
            auto* out = (i % 2 == 0) ? left : right;

            for (int j = 0; j < numSamples; ++j)
                out[j] += osc.nextSample();
        }

        return;
    }

    const int numGroups = (voices + 3) / 4;
    std::fill (std::begin (lanes.gain), std::end (lanes.gain), 0.0f);
    std::fill (std::begin (lanes.increment), std::end (lanes.increment), 0.0f);
    std::fill (std::begin (lanes.position), std::end (lanes.position), 0.0f);
    std::fill (std::begin (lanes.tableOffset), std::end (lanes.tableOffset), 0);

    for (int i = 0; i < used; ++i)
    {
        auto& osc = oscillators[(size_t) i];
        const int lane = laneFor (i);
        osc.phaseIncrement = osc.computeIncrement();   // constant over the sub-block
        lanes.position[lane] = osc.readPosition;
        lanes.increment[lane] = osc.phaseIncrement;
        lanes.gain[lane] = osc.gain;
        lanes.tableOffset[lane] = osc.currentBand * WaveTableSet::stride;
    }

    OscillatorKernels::render (*sharedTables, lanes, numGroups, left, right, numSamples);

    for (int i = 0; i < used; ++i)
        oscillators[(size_t) i].readPosition = lanes.position[laneFor (i)];
}
