#include <gtest/gtest.h>

#include "TestHelpers.h"
#include "core/Constants.h"
#include "core/PluginProcessor.h"

namespace
{
class ProcessorTest : public ::testing::Test
{
protected:
    TempWaveFolder waves;
    OstrelSynthAudioProcessor processor { waves.getFolder() };
};
} // namespace

TEST_F (ProcessorTest, FixedAnswersToTheHost)
{
    EXPECT_EQ (processor.getName(), "OstrelSynth");
    EXPECT_TRUE (processor.acceptsMidi());
    EXPECT_TRUE (processor.producesMidi());
    EXPECT_TRUE (processor.supportsMPE());
    EXPECT_FALSE (processor.isMidiEffect());
    EXPECT_TRUE (processor.hasEditor());
    EXPECT_EQ (processor.getNumPrograms(), 1);
    EXPECT_EQ (processor.getTailLengthSeconds(), 0.0);
    EXPECT_EQ (processor.getTotalNumInputChannels(), 0);
    EXPECT_EQ (processor.getTotalNumOutputChannels(), 2);
    EXPECT_EQ (processor.getBus (false, 0)->getName(), "Output");
}

TEST_F (ProcessorTest, OnlyMonoAndStereoOutputs)
{
    juce::AudioProcessor::BusesLayout layout;

    for (auto set : { juce::AudioChannelSet::mono(), juce::AudioChannelSet::stereo() })
    {
        layout.outputBuses = { set };
        EXPECT_TRUE (processor.isBusesLayoutSupported (layout)) << set.getDescription();
    }

    for (auto set : { juce::AudioChannelSet::quadraphonic(), juce::AudioChannelSet::create5point1(), juce::AudioChannelSet::disabled() })
    {
        layout.outputBuses = { set };
        EXPECT_FALSE (processor.isBusesLayoutSupported (layout)) << set.getDescription();
    }
}

TEST_F (ProcessorTest, MpeLowerZoneWhateverTheSwitchSays)
{
    processor.apvts.getParameter (CONST::MPEON_ID)->setValueNotifyingHost (0.0f);
    const auto layout = processor.synth.getZoneLayout();
    EXPECT_TRUE (layout.getLowerZone().isActive());
    EXPECT_EQ (layout.getLowerZone().numMemberChannels, 15);
    EXPECT_EQ (layout.getLowerZone().perNotePitchbendRange, 48);
    EXPECT_EQ (layout.getLowerZone().masterPitchbendRange, 2);
    EXPECT_FALSE (layout.getUpperZone().isActive());
    EXPECT_TRUE (processor.synth.isVoiceStealingEnabled());
}

TEST_F (ProcessorTest, SilentWithoutNotesAndMidiPassesThrough)
{
    processor.prepareToPlay (48000.0, 256);
    juce::AudioBuffer<float> buffer (2, 256);
    buffer.applyGain (0.0f);
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < 256; ++i)
            buffer.setSample (ch, i, 0.7f);   // garbage the processor must clear

    juce::MidiBuffer midi;
    midi.addEvent (juce::MidiMessage::controllerEvent (1, 7, 100), 3);
    midi.addEvent (juce::MidiMessage::programChange (1, 5), 10);
    processor.processBlock (buffer, midi);

    EXPECT_EQ (peak (buffer.getReadPointer (0), 256), 0.0f);
    EXPECT_EQ (peak (buffer.getReadPointer (1), 256), 0.0f);
    EXPECT_EQ (midi.getNumEvents(), 2);
}

TEST_F (ProcessorTest, SynthHoldsBundlesStoreAndVoices)
{
    auto& synth = processor.synth;
    ASSERT_EQ (synth.oscParams.size(), 4u);
    ASSERT_EQ (synth.envParams.size(), 4u);
    ASSERT_EQ (synth.filterParams.size(), 2u);
    ASSERT_EQ (synth.lfoParams.size(), 4u);
    EXPECT_EQ (synth.oscParams[2]->type, processor.apvts.getParameter ("OSC3TYPE"));
    EXPECT_EQ (synth.oscParams[3]->bypass, processor.apvts.getParameter ("OSC4BYPASS"));
    EXPECT_EQ (synth.filterParams[1]->cutoff, processor.apvts.getParameter ("FILTER2CUTOFF"));
    EXPECT_EQ (synth.lfoParams[1]->polarity, processor.apvts.getParameter ("LFO2POLARITY"));
    EXPECT_EQ (synth.envParams[3]->release, processor.apvts.getParameter ("ENV4RELEASE"));

    // 62 targets, in order: oscillators, filter 1, filter 2, LFOs, envelopes.
    const auto& targets = synth.getModTargets();
    ASSERT_EQ (targets.size(), 62u);
    ASSERT_EQ (synth.modAmounts.size(), 62u);
    EXPECT_EQ (targets[0]->getParameterID(), "OSC1DETUNE");
    EXPECT_EQ (targets[6]->getParameterID(), "OSC1UNISONVOICES");
    EXPECT_EQ (targets[28]->getParameterID(), "FILTER1CUTOFF");
    EXPECT_EQ (targets[33]->getParameterID(), "FILTER2RESONANCE");
    EXPECT_EQ (targets[34]->getParameterID(), "LFO1FREQ");
    EXPECT_EQ (targets[45]->getParameterID(), "LFO4PHASE");
    EXPECT_EQ (targets[46]->getParameterID(), "ENV1ATTACK");
    EXPECT_EQ (targets[61]->getParameterID(), "ENV4RELEASE");

    for (auto& [param, amounts] : synth.modAmounts)
        for (auto& a : amounts)
            EXPECT_EQ (a.load(), 0.0f);

    for (const char* notTarget : { "OSC1TYPE", "OSC1BYPASS", "FILTER1BYPASS", "LFO1WAVE", "LFO1POLARITY", "MPEON" })
        EXPECT_EQ (synth.modAmounts.count (processor.apvts.getParameter (notTarget)), 0u) << notTarget;

    ASSERT_EQ (synth.synthVoices.size(), 16u);
    ASSERT_EQ (processor.voices.size(), 16u);
    std::set<SynthVoice*> distinct (processor.voices.begin(), processor.voices.end());
    EXPECT_EQ (distinct.size(), 16u);

    for (int i = 0; i < 16; ++i)
    {
        EXPECT_EQ (synth.synthVoices[(size_t) i], synth.getVoice (i));
        EXPECT_EQ (processor.voices[(size_t) i], synth.getVoice (i));
    }

    EXPECT_EQ (Synth::getModSourceNames()[Synth::mpeSlider], "MPE Slider");
    EXPECT_EQ (Synth::getModSourceNames()[Synth::modEnv3], "Mod Envelope 3");
}

TEST_F (ProcessorTest, StateSavedAndRestoredWhileRendering)
{
    waves.addWave ("Basic", "Sine.wav", sineCycle());
    OstrelSynthAudioProcessor p (waves.getFolder());
    ProcessorDriver host (p, 48000.0, 256);
    for (int n = 0; n < 8; ++n)
        host.send (juce::MidiMessage::noteOn (2 + n, 48 + n * 3, (juce::uint8) 100));

    juce::MemoryBlock bright, dark;
    host.set ("FILTER1CUTOFF", 8000.0f);
    p.getStateInformation (bright);
    host.set ("FILTER1CUTOFF", 200.0f);
    p.getStateInformation (dark);

    std::atomic<bool> done { false };
    std::atomic<int> bad { 0 };
    std::thread audio ([&]
    {
        while (! done)
        {
            const auto out = host.render (256);
            for (int i = 0; i < 256; ++i)
                if (! std::isfinite (out.getSample (0, i)) || std::abs (out.getSample (0, i)) > 4.0f)
                    ++bad;
        }
    });

    juce::MemoryBlock saved;
    for (int round = 0; round < 300; ++round)
    {
        const auto& state = round % 2 == 0 ? bright : dark;
        p.setStateInformation (state.getData(), (int) state.getSize());
        p.getStateInformation (saved);
    }

    done = true;
    audio.join();
    EXPECT_EQ (bad.load(), 0);
    EXPECT_EQ (saved, dark);
}
