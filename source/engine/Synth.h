#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include "WaveLibrary.h"
#include "CustomWaveHandOver.h"

#include <array>
#include <atomic>
#include <memory>
#include <unordered_map>
#include <vector>

class SynthVoice;

/** The polyphonic MPE synthesiser: JUCE's MPE note handling, sixteen voices, the parameter bundles
    the voices read and the store of modulation amounts. Built and destroyed on the message thread;
    renders on the audio thread. */
class Synth : public juce::MPESynthesiser
{
public:
    static constexpr int numVoices = 16;
    static constexpr int numModSources = 12;

    /** The modulation sources; the value indexes every amounts array and every voice's sources. */
    enum ModSource
    {
        lfo1 = 0, lfo2, lfo3, lfo4,
        mpeTimbre, mpePressure, mpeSlider, mpeStrike, mpeLift,
        modEnv1, modEnv2, modEnv3
    };

    /** The display names of the sources, in ModSource order. */
    static const juce::StringArray& getModSourceNames();

    struct OscParams
    {
        OscParams (juce::AudioProcessorValueTreeState&, int unit);
        juce::RangedAudioParameter *type, *detune, *semi, *gain, *pan,
                                   *unisonVoices, *unisonDetune, *unisonSpread, *bypass;
    };

    struct ENVParams
    {
        ENVParams (juce::AudioProcessorValueTreeState&, int unit);
        juce::RangedAudioParameter *attack, *decay, *sustain, *release;
    };

    struct FilterParams
    {
        FilterParams (juce::AudioProcessorValueTreeState&, int unit);
        juce::RangedAudioParameter *bypass, *cutoff, *resonance, *drive;
    };

    struct LFOParams
    {
        LFOParams (juce::AudioProcessorValueTreeState&, int unit);
        juce::RangedAudioParameter *frequency, *depth, *wave, *phase, *polarity;
    };

    using ModAmounts = std::array<std::atomic<float>, numModSources>;

    Synth (juce::AudioProcessorValueTreeState& apvts, std::shared_ptr<const WaveLibrary> library);
    ~Synth() override;

    /** JUCE's choice of voice to steal, made without allocating: the base class rebuilds a list on
        the heap for every steal, on the audio thread. Same rules, same order. */
    juce::MPESynthesiserVoice* findVoiceToSteal (juce::MPENote noteToStealVoiceFor = juce::MPENote()) const override;

    std::vector<std::unique_ptr<OscParams>> oscParams;
    std::vector<std::unique_ptr<FilterParams>> filterParams;
    std::vector<std::unique_ptr<LFOParams>> lfoParams;
    std::vector<std::unique_ptr<ENVParams>> envParams;

    /** Modulation depth per (target, source), as a fraction of the target's normalised range. The
        key set is fixed at construction; the message thread stores amounts atomically. */
    std::unordered_map<juce::RangedAudioParameter*, ModAmounts> modAmounts;

    std::vector<SynthVoice*> synthVoices;
    juce::AudioProcessorValueTreeState& apvts;

    /** The modulation targets in the order they were entered. */
    const std::vector<juce::RangedAudioParameter*>& getModTargets() const noexcept  { return modTargets; }

    /** A target's position in getModTargets(), or -1 for a parameter that is not a target. */
    int getModTargetIndex (const juce::RangedAudioParameter* parameter) const noexcept;

    /** Every target's normalised value as it stood at the start of the current stretch of rendering
        (read once for all sixteen voices), then every amount source by source (amounts of source s for
        all targets at s * numTargets): read once per sub-block for all voices, so that each voice
        evaluates its targets in one pass over plain arrays (audio thread). */
    const float* getTargetBases() const noexcept              { return targetBase.data(); }
    const float* getAmountsBySource() const noexcept          { return amountsBySource.data(); }

    /** The switches and choices the voices read, as they stood at the start of the current stretch
        of rendering (audio thread): reading them once spares every voice the conversions. */
    struct UnitSettings
    {
        std::array<int, 4> oscType {}, lfoWave {};
        std::array<bool, 4> oscOn {}, lfoBipolar {};
        bool filterOn = false;
    };

    const UnitSettings& getUnitSettings() const noexcept      { return unitSettings; }

    /** Takes the parameters and amounts as they stand now (audio thread, at the start of a host
        block, so that notes starting at its first sample see them too). */
    void readParameters() noexcept                           { readTargetBases(); readModAmounts(); }

    /** Reads the modulation amounts of every target (audio thread, once per sub-block). */
    void readModAmounts() noexcept;

    /** The amounts of the target at index, without a hash lookup. */
    ModAmounts& getModAmounts (int targetIndex) noexcept      { return *modAmountsByIndex[(size_t) targetIndex]; }

    const WaveLibrary& getWaveLibrary() const noexcept        { return *waveLibrary; }

    /** Builds the tables of a drawn cycle once for every voice that receives it (message thread). */
    CustomWaveCache& getCustomWaveCache() noexcept            { return customWaveCache; }

protected:
    void renderNextSubBlock (juce::AudioBuffer<float>& output, int startSample, int numSamples) override;
    using juce::MPESynthesiser::renderNextSubBlock;

private:
    void addModTarget (juce::RangedAudioParameter*);
    void readTargetBases() noexcept;

    std::shared_ptr<const WaveLibrary> waveLibrary;
    std::vector<juce::RangedAudioParameter*> modTargets;
    std::vector<ModAmounts*> modAmountsByIndex;
    std::vector<float> targetBase;        // audio thread
    std::vector<float> amountsBySource;   // audio thread
    UnitSettings unitSettings;            // audio thread
    CustomWaveCache customWaveCache;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Synth)
};
