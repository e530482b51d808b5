#include "Synth.h"
#include "SynthVoice.h"
#include "../core/Constants.h"

namespace
{
juce::RangedAudioParameter* parameterFor (juce::AudioProcessorValueTreeState& apvts, const juce::String& unitOneId, int unit)
{
    auto* parameter = apvts.getParameter (CONST::forUnit (unitOneId, unit));
    jassert (parameter != nullptr);
    return parameter;
}
} // namespace

Synth::OscParams::OscParams (juce::AudioProcessorValueTreeState& t, int n)
    : type (parameterFor (t, CONST::OSC1_TYPE_ID, n)),
      detune (parameterFor (t, CONST::OSC1_DETUNE_ID, n)),
      semi (parameterFor (t, CONST::OSC1_SEMI_ID, n)),
      gain (parameterFor (t, CONST::OSC1_GAIN_ID, n)),
      pan (parameterFor (t, CONST::OSC1_PAN_ID, n)),
      unisonVoices (parameterFor (t, CONST::OSC1_UNISON_VOICES_ID, n)),
      unisonDetune (parameterFor (t, CONST::OSC1_UNISON_DETUNE_ID, n)),
      unisonSpread (parameterFor (t, CONST::OSC1_UNISON_SPREAD_ID, n)),
      bypass (parameterFor (t, CONST::OSC1_BYPASS_ID, n))
{
}

Synth::ENVParams::ENVParams (juce::AudioProcessorValueTreeState& t, int n)
    : attack (parameterFor (t, CONST::ENV1_ATTACK_ID, n)),
      decay (parameterFor (t, CONST::ENV1_DECAY_ID, n)),
      sustain (parameterFor (t, CONST::ENV1_SUSTAIN_ID, n)),
      release (parameterFor (t, CONST::ENV1_RELEASE_ID, n))
{
}

Synth::FilterParams::FilterParams (juce::AudioProcessorValueTreeState& t, int n)
    : bypass (parameterFor (t, CONST::FILTER1_BYPASS_ID, n)),
      cutoff (parameterFor (t, CONST::FILTER1_CUTOFF_ID, n)),
      resonance (parameterFor (t, CONST::FILTER1_RES_ID, n)),
      drive (parameterFor (t, CONST::FILTER1_DRIVE_ID, n))
{
}

Synth::LFOParams::LFOParams (juce::AudioProcessorValueTreeState& t, int n)
    : frequency (parameterFor (t, CONST::LFO1_FREQ_ID, n)),
      depth (parameterFor (t, CONST::LFO1_DEPTH_ID, n)),
      wave (parameterFor (t, CONST::LFO1_WAVE_ID, n)),
      phase (parameterFor (t, CONST::LFO1_PHASE_ID, n)),
      polarity (parameterFor (t, CONST::LFO1_POLARITY_ID, n))
{
}

const juce::StringArray& Synth::getModSourceNames()
{
    static const juce::StringArray names { "LFO1", "LFO2", "LFO3", "LFO4",
                                           "MPE Timbre", "MPE Pressure", "MPE Slider", "MPE Strike", "MPE Lift",
                                           "Mod Envelope 1", "Mod Envelope 2", "Mod Envelope 3" };
    return names;
}

Synth::Synth (juce::AudioProcessorValueTreeState& tree, std::shared_ptr<const WaveLibrary> library)
    : apvts (tree), waveLibrary (library != nullptr ? std::move (library) : std::make_shared<WaveLibrary>())
{
    for (int n = 1; n <= 4; ++n) oscParams.push_back (std::make_unique<OscParams> (apvts, n));
    for (int n = 1; n <= 4; ++n) envParams.push_back (std::make_unique<ENVParams> (apvts, n));
    for (int n = 1; n <= 2; ++n) filterParams.push_back (std::make_unique<FilterParams> (apvts, n));
    for (int n = 1; n <= 4; ++n) lfoParams.push_back (std::make_unique<LFOParams> (apvts, n));

    for (auto& osc : oscParams)
        for (auto* p : { osc->detune, osc->semi, osc->gain, osc->pan, osc->unisonDetune, osc->unisonSpread, osc->unisonVoices })
            addModTarget (p);

    for (auto& filter : filterParams)
        for (auto* p : { filter->cutoff, filter->drive, filter->resonance })
            addModTarget (p);

    for (auto& lfo : lfoParams)
        for (auto* p : { lfo->frequency, lfo->depth, lfo->phase })
            addModTarget (p);

    for (auto& env : envParams)
        for (auto* p : { env->attack, env->decay, env->sustain, env->release })
            addModTarget (p);

    targetBase.resize (modTargets.size());
    amountsBySource.resize (modTargets.size() * numModSources);
    readTargetBases();
    readModAmounts();
    clearVoices();

    for (int i = 0; i < numVoices; ++i)
        addVoice (new SynthVoice (apvts, *this));

    for (int i = 0; i < getNumVoices(); ++i)
        if (auto* voice = dynamic_cast<SynthVoice*> (getVoice (i)))
            synthVoices.push_back (voice);
}

Synth::~Synth()
{
    // Voices refer to the bundles and the store, so they go first.
    synthVoices.clear();
    clearVoices();
}

void Synth::addModTarget (juce::RangedAudioParameter* parameter)
{
    auto& amounts = modAmounts[parameter];

    for (auto& amount : amounts)
        amount.store (0.0f);

    modTargets.push_back (parameter);
    modAmountsByIndex.push_back (&amounts);
}

void Synth::readTargetBases() noexcept
{
    for (size_t i = 0; i < modTargets.size(); ++i)
        targetBase[i] = modTargets[i]->getValue();

    auto index = [] (const juce::RangedAudioParameter* p) { return juce::roundToInt (p->convertFrom0to1 (p->getValue())); };

    for (size_t k = 0; k < 4; ++k)
    {
        unitSettings.oscType[k] = index (oscParams[k]->type);
        unitSettings.oscOn[k] = oscParams[k]->bypass->getValue() != 0.0f;   // an on switch, whatever its name
        unitSettings.lfoWave[k] = index (lfoParams[k]->wave);
        unitSettings.lfoBipolar[k] = lfoParams[k]->polarity->getValue() != 0.0f;
    }

    unitSettings.filterOn = filterParams[0]->bypass->getValue() != 0.0f;
}

void Synth::readModAmounts() noexcept
{
    const auto numTargets = modTargets.size();

    for (size_t t = 0; t < numTargets; ++t)
        for (size_t s = 0; s < (size_t) numModSources; ++s)
            amountsBySource[s * numTargets + t] = (*modAmountsByIndex[t])[s].load (std::memory_order_relaxed);
}

void Synth::renderNextSubBlock (juce::AudioBuffer<float>& output, int startSample, int numSamples)
{
    readTargetBases();

    // Every sounding voice renders the same sub-blocks as it would on its own, with the filter step
    // of all voices done together in between (see VoiceLadderFilter::processVoices). The output is
    // the same sample for sample; voices are added in the same order.
    std::array<SynthVoice*, numVoices> rendering {};
    std::array<VoiceLadderFilter*, numVoices> filters {};
    std::array<float*, numVoices> lefts {}, rights {};

    while (numSamples > 0)
    {
        const int chunk = juce::jmin (numSamples, SynthVoice::subBlockSize);
        int count = 0;
        readModAmounts();

        for (auto* voice : synthVoices)
        {
            if (count == numVoices || ! voice->canRender())
                continue;

            voice->renderSubBlockSources (chunk);
            rendering[(size_t) count] = voice;
            filters[(size_t) count] = &voice->getFilter();
            lefts[(size_t) count] = voice->getVoiceChannel (0);
            rights[(size_t) count] = voice->getVoiceChannel (1);
            ++count;
        }

        if (count == 0)
            return;

        VoiceLadderFilter::processVoices (filters.data(), lefts.data(), rights.data(), count, chunk);

        for (int i = 0; i < count; ++i)
            rendering[(size_t) i]->finishSubBlock (output, startSample, chunk);

        startSample += chunk;
        numSamples -= chunk;
    }
}

int Synth::getModTargetIndex (const juce::RangedAudioParameter* parameter) const noexcept
{
    const auto found = std::find (modTargets.begin(), modTargets.end(), parameter);
    return found == modTargets.end() ? -1 : (int) std::distance (modTargets.begin(), found);
}

juce::MPESynthesiserVoice* Synth::findVoiceToSteal (juce::MPENote noteToStealVoiceFor) const
{
    // Voices that sound the lowest and highest held notes are protected unless nothing else is left.
    SynthVoice* low = nullptr;
    SynthVoice* top = nullptr;
    std::array<SynthVoice*, numVoices> byAge {};
    size_t count = 0;

    for (auto* voice : synthVoices)
    {
        if (count == byAge.size())
            break;

        byAge[count++] = voice;

        if (! voice->isPlayingButReleased())
        {
            const auto note = voice->getCurrentlyPlayingNote().initialNote;

            if (low == nullptr || note < low->getCurrentlyPlayingNote().initialNote)
                low = voice;

            if (top == nullptr || note > top->getCurrentlyPlayingNote().initialNote)
                top = voice;
        }
    }

    // Start orders are unique, so a plain sort is stable enough; std::stable_sort would allocate.
    std::sort (byAge.begin(), byAge.begin() + (std::ptrdiff_t) count,
                      [] (const SynthVoice* a, const SynthVoice* b) { return a->getStartOrder() < b->getStartOrder(); });
    struct { SynthVoice* const* first; SynthVoice* const* last;
             auto begin() const { return first; } auto end() const { return last; } } oldestFirst { byAge.data(), byAge.data() + count };

    if (top == low)
        top = nullptr;

    if (noteToStealVoiceFor.isValid())
        for (auto* voice : oldestFirst)
            if (voice->getCurrentlyPlayingNote().initialNote == noteToStealVoiceFor.initialNote)
                return voice;

    for (auto* voice : oldestFirst)
        if (voice != low && voice != top && voice->isPlayingButReleased())
            return voice;

    for (auto* voice : oldestFirst)
        if (voice != low && voice != top
            && voice->getCurrentlyPlayingNote().keyState != juce::MPENote::keyDown
            && voice->getCurrentlyPlayingNote().keyState != juce::MPENote::keyDownAndSustained)
            return voice;

    for (auto* voice : oldestFirst)
        if (voice != low && voice != top)
            return voice;

    return top != nullptr ? top : low;
}
