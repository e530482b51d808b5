#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include "BlockSnapshot.h"
#include "../engine/Synth.h"
#include "../engine/SynthVoice.h"
#include "../engine/WaveLibrary.h"

/** The plug-in: owns the parameter tree, the MPE synthesiser and its voices, renders each block by
    handing the output and the MIDI to the synthesiser, and saves and restores the parameter state.

    Constructed and destroyed on the message thread; processBlock runs on the audio thread. */
class OstrelSynthAudioProcessor : public juce::AudioProcessor,
                                  public juce::AudioProcessorValueTreeState::Listener,
                                  public juce::ValueTree::Listener
{
public:
    using ParameterList = std::vector<std::unique_ptr<juce::RangedAudioParameter>>;

    /** Plays the waves of the machine-wide "Waveform Files" folder. */
    OstrelSynthAudioProcessor();

    /** Plays the waves of another folder (tests and the command-line renderer use this). */
    explicit OstrelSynthAudioProcessor (const juce::File& waveFolder);

    /** Plays the waves of a library already loaded (shared between processors). */
    explicit OstrelSynthAudioProcessor (std::shared_ptr<const WaveLibrary> library);

    ~OstrelSynthAudioProcessor() override;

    const juce::String getName() const override;
    void prepareToPlay (double sampleRate, int samplesPerBlock) override;
    void releaseResources() override;
    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    using juce::AudioProcessor::processBlock;
    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;
    bool supportsMPE() const override;
    bool isMidiEffect() const override;
    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;
    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int) override;
    const juce::String getProgramName (int) override;
    void changeProgramName (int, const juce::String&) override;
    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;
    bool isBusesLayoutSupported (const BusesLayout&) const override;
    void parameterChanged (const juce::String&, float) override;

    /** The catalogue of all 81 parameters, in host order. */
    juce::AudioProcessorValueTreeState::ParameterLayout createParams();
    void createEnvParams (ParameterList& params, int unit);
    void createOscParams (ParameterList& params);
    void createLFOParams (ParameterList& params);

    const WaveLibrary& getWaveLibrary() const noexcept  { return *waveLibrary; }

private:
    std::shared_ptr<const WaveLibrary> waveLibrary;   // before apvts: the choice list comes from it

public:
    juce::AudioProcessorValueTreeState apvts;
    BlockSnapshot lastBlock;
    Synth synth;
    std::vector<SynthVoice*> voices;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OstrelSynthAudioProcessor)
};
