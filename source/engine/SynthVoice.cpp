#include "SynthVoice.h"
#include "../core/Constants.h"

namespace
{
constexpr float levelScale = 0.075f;
constexpr float twoPi = 6.2831855f;

// The 10 ms ramp of every modulation smoother, given as the single-precision 0.01 (440 steps at
// 44.1 kHz, 479 at 48 kHz).
constexpr double modulationRampSeconds = (double) 0.01f;
constexpr double glideSeconds = 0.005;
} // namespace

SynthVoice::SynthVoice (juce::AudioProcessorValueTreeState& tree, Synth& owner)
    : apvts (tree), synth (owner)
{
    for (auto& s : sources)
        s.store (0.0f);

    const auto& modTargets = synth.getModTargets();
    targets.resize (modTargets.size());
    modulatedTargets.resize (modTargets.size());
    smoothedTargets.resize (modTargets.size());
    realTargets.resize (modTargets.size());
    targetRanges.setParameters (modTargets);

    for (size_t i = 0; i < modTargets.size(); ++i)
    {
        targets[i].parameter = modTargets[i];
        targets[i].amounts = &synth.getModAmounts ((int) i);
        targets[i].smoother.setCurrentAndTargetValue (0.0f);
    }

    for (int k = 0; k < numSlots; ++k)
    {
        const auto& p = *synth.oscParams[(size_t) k];
        oscTargets[(size_t) k] = { synth.getModTargetIndex (p.detune), synth.getModTargetIndex (p.semi),
                                   synth.getModTargetIndex (p.gain), synth.getModTargetIndex (p.pan),
                                   synth.getModTargetIndex (p.unisonDetune), synth.getModTargetIndex (p.unisonSpread),
                                   synth.getModTargetIndex (p.unisonVoices) };
    }

    for (int k = 0; k < 4; ++k)
    {
        const auto& e = *synth.envParams[(size_t) k];
        envTargets[(size_t) k] = { synth.getModTargetIndex (e.attack), synth.getModTargetIndex (e.decay),
                                   synth.getModTargetIndex (e.sustain), synth.getModTargetIndex (e.release) };
        const auto& l = *synth.lfoParams[(size_t) k];
        lfoTargets[(size_t) k] = { synth.getModTargetIndex (l.frequency), synth.getModTargetIndex (l.depth),
                                   synth.getModTargetIndex (l.phase) };
    }

    const auto& filterOne = *synth.filterParams[0];
    cutoffTarget = synth.getModTargetIndex (filterOne.cutoff);
    resonanceTarget = synth.getModTargetIndex (filterOne.resonance);
    driveTarget = synth.getModTargetIndex (filterOne.drive);

    for (auto& envelope : envelopes)
        envelope.reset();

    voiceBuffer.clear();

    // "Custom" is the last choice, one past the last wave file.
    const auto customIndex = synth.getWaveLibrary().getCustomIndex();

    for (auto& slot : oscillatorSlots)
    {
        slot.setLibrary (&synth.getWaveLibrary());

        for (auto& osc : slot.oscillators)
            osc.customWaveIndex = customIndex;
    }
}

SynthVoice::~SynthVoice() = default;

void SynthVoice::prepareToPlay (double sampleRate, int samplesPerBlock, int)
{
    for (auto& t : targets)
    {
        t.smoother.reset (sampleRate, modulationRampSeconds);
        // Start from where each control stands, so a voice's first note does not sweep every
        // parameter up from the bottom of its range.
        t.smoother.setCurrentAndTargetValue (t.parameter->getValue());
    }

    for (size_t i = 0; i < targets.size(); ++i)
        smoothedTargets[i] = targets[i].smoother.getCurrentValue();

    targetRanges.reset();
    targetRanges.toLegalValues (smoothedTargets.data(), realTargets.data());

    for (auto& envelope : envelopes)
        envelope.setSampleRate (sampleRate);

    const juce::dsp::ProcessSpec spec { sampleRate, (juce::uint32) juce::jmax (1, samplesPerBlock), 2 };
    levelGain.prepare (spec);
    levelGain.setRampDurationSeconds (0.01);

    for (auto& lfo : lfos)
        lfo.sampleRate = sampleRate;

    for (auto& slot : oscillatorSlots)
        slot.setSampleRate ((float) sampleRate);

    filter.prepare (sampleRate);
    lastFilterSettings = { -1.0f, -1.0f, -1.0f };

    noteSmoother.reset (sampleRate, glideSeconds);
    noteSmoother.setCurrentAndTargetValue (noteSmoother.getTargetValue());

    isPrepared = true;
}

//==============================================================================
void SynthVoice::noteStarted()
{
    startOrder = ++notesStarted;
    const auto& note = getCurrentlyPlayingNote();
    level.setCurrentAndTargetValue (note.noteOnVelocity.as14BitInt() / 16383.0);
    noteSmoother.setTargetValue (note.initialNote + note.totalPitchbendInSemitones);

    if (! voiceStarted)
    {
        voiceStarted = true;

        for (auto& lfo : lfos)
            lfo.phase = 0.0;

        for (auto& envelope : envelopes)
            envelope.reset();

        updateParamsBeforeRender (0);

        for (auto& lfo : lfos)
            lfo.phase = 0.0;

        for (auto& envelope : envelopes)
            envelope.noteOn();

        filter.reset();
        return;
    }

    // A stolen voice: the envelopes restart from where they are; LFOs, filter and phases run on.
    for (auto& envelope : envelopes)
        envelope.noteOn();
}

void SynthVoice::noteStopped (bool allowTailOff)
{
    if (allowTailOff)
    {
        for (auto& envelope : envelopes)
            envelope.noteOff();

        return;
    }

    for (auto& envelope : envelopes)
        envelope.reset();

    filter.reset();
    clearCurrentNote();
    voiceStarted = false;
}

void SynthVoice::notePressureChanged()
{
    level.setCurrentAndTargetValue (getCurrentlyPlayingNote().pressure.as14BitInt() / 16383.0);
}

void SynthVoice::notePitchbendChanged()
{
    const auto& note = getCurrentlyPlayingNote();
    noteSmoother.setTargetValue (note.initialNote + note.totalPitchbendInSemitones);
}

//==============================================================================
float SynthVoice::realValue (const juce::RangedAudioParameter* parameter) noexcept
{
    return parameter->convertFrom0to1 (parameter->getValue());
}

float SynthVoice::modulatedNormalised (const TargetState& t, float base) const noexcept
{
    float target = base;

    for (size_t s = 0; s < sources.size(); ++s)
        target += (*t.amounts)[s].load (std::memory_order_relaxed) * sources[s].load (std::memory_order_relaxed);

    return juce::jlimit (0.0f, 1.0f, target);
}

void SynthVoice::smoothAndConvertTargets() noexcept
{
    for (size_t i = 0; i < targets.size(); ++i)
    {
        auto& smoother = targets[i].smoother;
        smoother.setTargetValue (modulatedTargets[i]);
        smoothedTargets[i] = juce::jlimit (0.0f, 1.0f, smoother.getCurrentValue());
    }

    targetRanges.toLegalValues (smoothedTargets.data(), realTargets.data());
}

float SynthVoice::modulatedParam (juce::RangedAudioParameter* parameter, bool smoothed) noexcept
{
    const auto index = synth.getModTargetIndex (parameter);

    if (index < 0)
        return realValue (parameter);

    if (! smoothed)
        return modulatedNormalised (targets[(size_t) index], parameter->getValue());

    return modulatedTarget (index);
}

//==============================================================================
void SynthVoice::setCustomBuffer (juce::AudioBuffer<float> cycle)
{
    customHandOver.publish (synth.getCustomWaveCache().tablesFor (cycle));
}

void SynthVoice::installNewCustomTables() noexcept
{
    const auto* newer = customHandOver.takeNewer (customTables);

    if (newer == nullptr)
        return;

    customTables = newer;

    for (auto& slot : oscillatorSlots)
        for (auto& osc : slot.oscillators)
        {
            osc.customTables = newer;

            if (osc.waveIndex == osc.customWaveIndex)
                osc.createCustomWavetable();
        }
}

void SynthVoice::setSlotWave (MultiVoiceOscillator& slot, int type) noexcept
{
    for (auto& osc : slot.oscillators)
    {
        if (osc.waveIndex == type)
            continue;

        osc.waveIndex = type;

        if (type == osc.customWaveIndex)
            osc.createCustomWavetable();
        else
            osc.createWavetable();
    }
}

void SynthVoice::updateSources() noexcept
{
    const auto& note = getCurrentlyPlayingNote();
    auto set = [this] (int source, float value) { sources[(size_t) source].store (value, std::memory_order_relaxed); };

    for (int k = 0; k < 4; ++k)
        set (Synth::lfo1 + k, lfos[(size_t) k].getCurrentValue());

    set (Synth::mpeTimbre, (float) note.timbre.as14BitInt() / 16383.0f);
    set (Synth::mpePressure, (float) note.pressure.as14BitInt() / 16383.0f);
    set (Synth::mpeSlider, (float) note.pitchbend.as14BitInt() / 16383.0f);
    set (Synth::mpeStrike, (float) note.noteOnVelocity.as14BitInt() / 16383.0f);
    set (Synth::mpeLift, (float) note.noteOffVelocity.as14BitInt() / 16383.0f);

    for (int k = 0; k < 3; ++k)
        set (Synth::modEnv1 + k, envelopes[(size_t) k + 1].getNextSample());
}

void SynthVoice::evaluateTargets() noexcept
{
    // base + amount[0] * source[0] + amount[1] * source[1] + ..., for all targets at once, source by
    // source over plain arrays (the same additions in the same order as one target at a time).
    const auto numTargets = modulatedTargets.size();
    const float* amounts = synth.getAmountsBySource();
    float* out = modulatedTargets.data();
    std::copy (synth.getTargetBases(), synth.getTargetBases() + numTargets, out);

    for (size_t s = 0; s < sources.size(); ++s)
    {
        const float source = sources[s].load (std::memory_order_relaxed);
        const float* amount = amounts + s * numTargets;

        for (size_t t = 0; t < numTargets; ++t)
            out[t] += amount[t] * source;
    }

    for (size_t t = 0; t < numTargets; ++t)
        out[t] = juce::jlimit (0.0f, 1.0f, out[t]);
}

void SynthVoice::updateParamsBeforeRender (int numSamples) noexcept
{
    installNewCustomTables();
    updateSources();
    evaluateTargets();
    smoothAndConvertTargets();
    const auto& units = synth.getUnitSettings();

    // The modulation envelopes advance through the rest of the sub-block (the amplitude envelope
    // runs per sample later), side by side so that one envelope's steps do not wait on another's.
    for (int i = 1; i < numSamples; ++i)
    {
        envelopes[1].getNextSample();
        envelopes[2].getNextSample();
        envelopes[3].getNextSample();
    }

    for (int k = 0; k < 4; ++k)
    {
        const auto& t = envTargets[(size_t) k];
        envelopes[(size_t) k].setParameters ({ modulatedTarget (t.attack), modulatedTarget (t.decay),
                                               modulatedTarget (t.sustain), modulatedTarget (t.release) });
    }

    SimpleLFO::process (lfos, numSamples);

    for (int k = 0; k < 4; ++k)
    {
        auto& lfo = lfos[(size_t) k];
        const auto& t = lfoTargets[(size_t) k];

        lfo.wave = units.lfoWave[(size_t) k];
        lfo.frequency = modulatedTarget (t.frequency);
        lfo.phaseOffset = modulatedTarget (t.phase) / twoPi;
        lfo.depth = modulatedTarget (t.depth);
        lfo.bipolar = units.lfoBipolar[(size_t) k];
    }

    const auto pitch = noteSmoother.getNextValue();

    if (numSamples > 1)
        noteSmoother.skip (numSamples - 1);

    for (int k = 0; k < numSlots; ++k)
    {
        auto& slot = oscillatorSlots[(size_t) k];
        const auto& t = oscTargets[(size_t) k];

        const auto fine = modulatedTarget (t.detune);
        const auto semi = modulatedTarget (t.semi);
        setSlotWave (slot, units.oscType[(size_t) k]);
        slot.note = semi + fine / 100.0f + (float) pitch;
        slot.isOn = units.oscOn[(size_t) k];
        slot.pan = modulatedTarget (t.pan);
        const auto decibels = modulatedTarget (t.gain);

        if (decibels != lastSlotDecibels[(size_t) k])
        {
            lastSlotDecibels[(size_t) k] = decibels;
            slot.gain = juce::Decibels::decibelsToGain (decibels, -100.0f);
        }
        slot.numVoices = (int) modulatedTarget (t.unisonVoices);
        slot.unisonSpread = modulatedTarget (t.unisonSpread);
        slot.unisonDetune = modulatedTarget (t.unisonDetune);
    }

    levelGain.setGainLinear ((float) level.getCurrentValue() * levelScale);

    filter.setEnabled (units.filterOn);

    // Each setter costs a transcendental function: call them only for changed values.
    const auto cutoff = modulatedTarget (cutoffTarget);
    const auto resonance = modulatedTarget (resonanceTarget);
    const auto drive = modulatedTarget (driveTarget);

    if (cutoff != lastFilterSettings[0])  filter.setCutoffFrequencyHz (cutoff);
    if (resonance != lastFilterSettings[1]) filter.setResonance (resonance);
    if (drive != lastFilterSettings[2])   filter.setDrive (drive);

    lastFilterSettings = { cutoff, resonance, drive };
}

//==============================================================================
void SynthVoice::renderSubBlockSources (int chunk) noexcept
{
    auto* left = voiceBuffer.getWritePointer (0);
    auto* right = voiceBuffer.getWritePointer (1);
    juce::FloatVectorOperations::clear (left, chunk);
    juce::FloatVectorOperations::clear (right, chunk);

    updateParamsBeforeRender (chunk);

    for (auto& slot : oscillatorSlots)
        slot.process (left, right, chunk);

    auto block = juce::dsp::AudioBlock<float> (voiceBuffer).getSubBlock (0, (size_t) chunk);
    levelGain.process (juce::dsp::ProcessContextReplacing<float> (block));
}

bool SynthVoice::finishSubBlock (juce::AudioBuffer<float>& output, int startSample, int chunk) noexcept
{
    envelopes[0].applyEnvelopeToBuffer (voiceBuffer, 0, chunk);

    if (output.getNumChannels() == 1)
    {
        output.addFrom (0, startSample, voiceBuffer, 0, 0, chunk, 0.5f);
        output.addFrom (0, startSample, voiceBuffer, 1, 0, chunk, 0.5f);
    }
    else if (output.getNumChannels() >= 2)
    {
        output.addFrom (0, startSample, voiceBuffer, 0, 0, chunk);
        output.addFrom (1, startSample, voiceBuffer, 1, 0, chunk);
    }

    for (auto& t : targets)
        t.smoother.skip (chunk);

    if (std::none_of (envelopes.begin(), envelopes.end(), [] (const juce::ADSR& e) { return e.isActive(); }))
    {
        // Every envelope has finished: the voice is free. What is left of the block is silent.
        clearCurrentNote();
        voiceStarted = false;
        return false;
    }

    return true;
}

void SynthVoice::renderNextBlock (juce::AudioBuffer<float>& output, int startSample, int numSamples)
{
    if (! isPrepared || numSamples <= 0)
        return;

    while (numSamples > 0)
    {
        const int chunk = juce::jmin (numSamples, subBlockSize);
        renderSubBlockSources (chunk);
        filter.process (voiceBuffer.getWritePointer (0), voiceBuffer.getWritePointer (1), chunk);

        if (! finishSubBlock (output, startSample, chunk))
            return;

        startSample += chunk;
        numSamples -= chunk;
    }
}
