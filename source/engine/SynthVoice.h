#pragma once

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_dsp/juce_dsp.h>

#include "Synth.h"
#include "MultiVoiceOscillator.h"
#include "SimpleLFO.h"
#include "CustomWaveHandOver.h"
#include "TargetRanges.h"
#include "VoiceLadderFilter.h"

#include <array>
#include <atomic>
#include <unordered_map>

/** Plays one MPE note: four oscillator slots into a stereo voice buffer, a level stage driven by
    strike velocity then pressure, a ladder low-pass and the amplitude envelope, modulated once per
    sub-block of at most 64 samples by four LFOs, three modulation envelopes and five MPE dimensions.

    Audio thread, inside the synthesiser's rendering, except setCustomBuffer() and the display
    query modulatedParam (p, false), which run on the message thread. Nothing here allocates, locks
    or reads files once prepared. */
class SynthVoice : public juce::MPESynthesiserVoice
{
public:
    static constexpr int subBlockSize = 64;
    static constexpr int numSlots = 4;

    SynthVoice (juce::AudioProcessorValueTreeState& apvts, Synth& synth);
    ~SynthVoice() override;

    void noteStarted() override;
    void noteStopped (bool allowTailOff) override;
    void notePressureChanged() override;
    void notePitchbendChanged() override;
    void noteTimbreChanged() override {}
    void noteKeyStateChanged() override {}
    void renderNextBlock (juce::AudioBuffer<float>& output, int startSample, int numSamples) override;
    using juce::MPESynthesiserVoice::renderNextBlock;

    void prepareToPlay (double sampleRate, int samplesPerBlock, int numOutputChannels);

    /** The two halves of one sub-block, for the synthesiser to filter many voices at once between
        them (renderNextBlock runs the same steps with this voice's filter alone).
        renderSubBlockSources: modulation update, oscillator slots and level, into the voice buffer.
        finishSubBlock: amplitude envelope, mix into output, smoothers; false once the voice is free. */
    void renderSubBlockSources (int numSamples) noexcept;
    bool finishSubBlock (juce::AudioBuffer<float>& output, int startSample, int numSamples) noexcept;
    bool canRender() const noexcept                        { return isPrepared && isActive(); }
    VoiceLadderFilter& getFilter() noexcept                { return filter; }
    float* getVoiceChannel (int channel) noexcept          { return voiceBuffer.getWritePointer (channel); }

    /** The per-sub-block update of sources, envelopes, LFOs, slots, level and filter. */
    void updateParamsBeforeRender (int numSamples) noexcept;

    /** The modulated value of a parameter for this voice. smoothed = true: the real value its
        smoother gave at the start of the latest sub-block (audio thread). smoothed = false: the
        unsmoothed value in 0..1, changing nothing (message thread). A parameter that is not a target
        gives its current real value. */
    float modulatedParam (juce::RangedAudioParameter* parameter, bool smoothed) noexcept;

    /** Message thread: hands a drawn cycle to every oscillator of the voice; slots set to "Custom"
        play it from the voice's next sub-block. Builds tables only for a cycle it has not seen. */
    void setCustomBuffer (juce::AudioBuffer<float> cycle);

    /** A source's current value (any thread). */
    float getSourceValue (int source) const noexcept  { return sources[(size_t) source].load (std::memory_order_relaxed); }

    bool isVoiceStarted() const noexcept               { return voiceStarted; }

    /** Grows with every note this voice starts, in the order notes start across all voices. */
    juce::uint64 getStartOrder() const noexcept        { return startOrder; }
    const MultiVoiceOscillator& getSlot (int i) const noexcept  { return oscillatorSlots[(size_t) i]; }
    const juce::ADSR& getEnvelope (int i) const noexcept        { return envelopes[(size_t) i]; }
    const SimpleLFO& getLFO (int i) const noexcept              { return lfos[(size_t) i]; }
    double getCurrentPitch() const noexcept                     { return noteSmoother.getCurrentValue(); }
    float getLevel() const noexcept                             { return (float) level.getCurrentValue(); }

private:
    /** One modulation target's smoother. */
    struct TargetState
    {
        juce::RangedAudioParameter* parameter = nullptr;
        Synth::ModAmounts* amounts = nullptr;
        juce::SmoothedValue<float> smoother;
    };

    float modulatedNormalised (const TargetState&, float base) const noexcept;
    float modulatedTarget (int targetIndex) const noexcept  { return realTargets[(size_t) targetIndex]; }
    void smoothAndConvertTargets() noexcept;
    void updateSources() noexcept;
    void evaluateTargets() noexcept;
    void installNewCustomTables() noexcept;
    void setSlotWave (MultiVoiceOscillator&, int type) noexcept;
    static float realValue (const juce::RangedAudioParameter*) noexcept;

    std::array<std::atomic<float>, Synth::numModSources> sources {};
    std::vector<TargetState> targets;   // in the synthesiser's target order; fixed at construction
    std::vector<float> modulatedTargets; // this sub-block's unsmoothed values, same order
    std::vector<float> smoothedTargets;  // this sub-block's smoothed values in 0..1, same order
    std::vector<float> realTargets;      // and their real, legal values
    TargetRanges targetRanges;
    juce::AudioProcessorValueTreeState& apvts;
    Synth& synth;
    bool voiceStarted = false;
    juce::uint64 startOrder = 0;
    static inline std::atomic<juce::uint64> notesStarted { 0 };
    juce::SmoothedValue<double> level { 0.0 };
    juce::SmoothedValue<double> noteSmoother { 0.0 };
    std::array<SimpleLFO, 4> lfos;
    std::array<juce::ADSR, 4> envelopes;
    std::array<MultiVoiceOscillator, numSlots> oscillatorSlots;
    juce::AudioBuffer<float> voiceBuffer { 2, subBlockSize };
    juce::dsp::Gain<float> levelGain;
    VoiceLadderFilter filter;   // JUCE's ladder low-pass, same output, both channels in one loop
    bool isPrepared = false;

    // Target indices of each bundle field, so the per-sub-block update does no hash lookups.
    struct OscTargets { int detune, semi, gain, pan, unisonDetune, unisonSpread, unisonVoices; };
    struct EnvTargets { int attack, decay, sustain, release; };
    struct LfoTargets { int frequency, depth, phase; };
    std::array<OscTargets, numSlots> oscTargets {};
    std::array<EnvTargets, 4> envTargets {};
    std::array<LfoTargets, 4> lfoTargets {};
    int cutoffTarget = -1, resonanceTarget = -1, driveTarget = -1;
    std::array<float, 3> lastFilterSettings { -1.0f, -1.0f, -1.0f };   // cutoff, resonance, drive
    std::array<float, numSlots> lastSlotDecibels { 1000.0f, 1000.0f, 1000.0f, 1000.0f };

    CustomWaveHandOver customHandOver;
    const WaveTableSet* customTables = nullptr;   // audio thread's view of the drawn cycle

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SynthVoice)
};
