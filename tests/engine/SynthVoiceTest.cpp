#include <gtest/gtest.h>

#include "TestHelpers.h"
#include "core/PluginProcessor.h"

#include <cmath>

namespace
{
double hertzOf (double midiNote) { return 440.0 * std::pow (2.0, (midiNote - 69.0) / 12.0); }

class VoiceTest : public ::testing::Test
{
protected:
    VoiceTest()
    {
        waves.addWave ("Basic", "Sine.wav", sineCycle());
        waves.addWave ("Basic", "Saw.wav", sawCycle());
        processor = std::make_unique<OstrelSynthAudioProcessor> (waves.getFolder());
        selectWave ("OSC1TYPE", "Sine");
    }

    void selectWave (const char* id, const juce::String& name)
    {
        auto* type = dynamic_cast<juce::AudioParameterChoice*> (processor->apvts.getParameter (id));
        type->setValueNotifyingHost (type->convertTo0to1 ((float) type->choices.indexOf (name)));
    }

    int activeVoices() const
    {
        int n = 0;
        for (auto* v : processor->voices)
            n += v->isActive() ? 1 : 0;
        return n;
    }

    SynthVoice* voicePlaying (int initialNote) const
    {
        for (auto* v : processor->voices)
            if (v->isActive() && v->getCurrentlyPlayingNote().initialNote == initialNote)
                return v;
        return nullptr;
    }

    TempWaveFolder waves;
    std::unique_ptr<OstrelSynthAudioProcessor> processor;
};
} // namespace

TEST_F (VoiceTest, NotePlaysItsPitchAtVelocityLevel)
{
    ProcessorDriver host (*processor);
    host.send (noteOn (2, 69, 127));
    host.render (4800);                       // attack (10 ms) and decay to sustain 1 done
    const auto out = host.render (9600);

    EXPECT_NEAR (estimateFrequency (out.getReadPointer (0), 9600, 48000.0), 440.0, 0.5);
    // Full strike velocity: level 0.075; a unit sine at 0 dB, pan centre.
    EXPECT_NEAR (peak (out.getReadPointer (0), 9600), 0.075f, 0.002f);

    for (int i = 0; i < 9600; ++i)
        ASSERT_EQ (out.getSample (0, i), out.getSample (1, i));

    // Half the velocity, half the level.
    host.send (noteOff (2, 69));
    host.render (48000);
    host.send (noteOn (3, 69, 64));
    host.render (4800);
    EXPECT_NEAR (peak (host.render (4800).getReadPointer (0), 4800), 0.075f * 64.0f / 127.0f, 0.002f);
}

TEST_F (VoiceTest, PerNotePitchBendMovesOnlyItsOwnNote)
{
    ProcessorDriver host (*processor);
    host.send (noteOn (2, 60));
    host.send (noteOn (3, 67));
    host.render (4800);
    // +12 semitones of the 48-semitone per-note range on channel 2 only.
    host.send (juce::MidiMessage::pitchWheel (2, 8192 + 2048));
    host.render (4800);
    const auto out = host.render (19200);
    const auto* x = out.getReadPointer (0);

    EXPECT_GT (toneAmplitude (x, 19200, 48000.0, hertzOf (72)), 0.02);
    EXPECT_GT (toneAmplitude (x, 19200, 48000.0, hertzOf (67)), 0.02);
    EXPECT_LT (toneAmplitude (x, 19200, 48000.0, hertzOf (60)), 0.002);
    EXPECT_LT (toneAmplitude (x, 19200, 48000.0, hertzOf (79)), 0.002);
}

TEST_F (VoiceTest, PressureReplacesVelocityAndTimbreReachesItsSource)
{
    ProcessorDriver host (*processor);
    host.send (noteOn (2, 69, 127));
    host.render (4800);
    EXPECT_GT (peak (host.render (2400).getReadPointer (0), 2400), 0.07f);

    // A note starts at pressure 0, so the first pressure message is a change.
    host.send (juce::MidiMessage::channelPressureChange (2, 32));
    host.render (2400);
    EXPECT_NEAR (peak (host.render (2400).getReadPointer (0), 2400), 0.075f * 32.0f / 127.0f, 0.002f);

    host.send (juce::MidiMessage::channelPressureChange (2, 0));
    host.send (juce::MidiMessage::controllerEvent (2, 74, 100));
    host.render (2400);   // the level stage ramps over 10 ms
    EXPECT_LT (peak (host.render (2400).getReadPointer (0), 2400), 1e-4f);

    auto* voice = voicePlaying (69);
    ASSERT_NE (voice, nullptr);
    EXPECT_NEAR (voice->getSourceValue (Synth::mpeTimbre), 100.0 / 127.0, 0.01);
    EXPECT_EQ (voice->getSourceValue (Synth::mpePressure), 0.0f);
    EXPECT_EQ (voice->getSourceValue (Synth::mpeLift), 0.0f) << "nothing until the note is released";
}

TEST_F (VoiceTest, SeventeenthNoteStealsAVoice)
{
    ProcessorDriver host (*processor);
    for (int i = 0; i < 17; ++i)
        host.send (noteOn (2 + i % 15, 40 + i));
    host.render (512);

    EXPECT_EQ (activeVoices(), 16);
    EXPECT_NE (voicePlaying (56), nullptr) << "the newest note sounds";
}

TEST_F (VoiceTest, ProgramChangesAndUnassignedControllersChangeNothing)
{
    auto renderWith = [this] (bool extra)
    {
        OstrelSynthAudioProcessor p (waves.getFolder());
        ProcessorDriver host (p);
        host.send (noteOn (2, 64));
        if (extra)
        {
            host.send (juce::MidiMessage::programChange (1, 7));
            host.send (juce::MidiMessage::programChange (2, 3));
            host.send (juce::MidiMessage::controllerEvent (2, 20, 90));
            host.send (juce::MidiMessage::controllerEvent (1, 21, 10));
        }
        return host.render (4096);
    };

    const auto plain = renderWith (false);
    const auto withExtras = renderWith (true);

    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < 4096; ++i)
            ASSERT_EQ (plain.getSample (ch, i), withExtras.getSample (ch, i));
}

TEST_F (VoiceTest, WaveChangeReachesEverySoundingVoiceWithinOneSubBlock)
{
    ProcessorDriver host (*processor, 48000.0, 64);
    for (int note : { 50, 57, 64 })
        host.send (noteOn (2 + note % 3, note));
    host.render (640);

    const auto sawIndex = processor->getWaveLibrary().getChoiceNames().indexOf ("Saw");
    const auto* sawTables = processor->getWaveLibrary().tablesFor (sawIndex);
    selectWave ("OSC1TYPE", "Saw");
    host.render (1);

    int switched = 0;
    for (auto* v : processor->voices)
        if (v->isActive())
        {
            for (auto& osc : v->getSlot (0).oscillators)
                ASSERT_EQ (osc.tables, sawTables);
            ++switched;
        }

    EXPECT_EQ (switched, 3);

    // An idle voice switches when its next note starts.
    SynthVoice* idle = nullptr;
    for (auto* v : processor->voices)
        if (! v->isActive())
            idle = v;
    ASSERT_NE (idle, nullptr);
    EXPECT_NE (idle->getSlot (0).oscillators[0].tables, sawTables);
}

TEST_F (VoiceTest, ReleasedVoiceStaysBusyUntilEveryEnvelopeIsIdle)
{
    ProcessorDriver host (*processor);
    host.set ("ENV1RELEASE", 0.01f);
    host.set ("ENV3RELEASE", 0.5f);
    host.send (noteOn (2, 60));
    host.render (4800);
    host.send (noteOff (2, 60));
    const auto tail = host.render (4800);

    EXPECT_LT (peak (tail.getReadPointer (0) + 2400, 2400), 1e-6f) << "the amplitude envelope has finished";
    EXPECT_EQ (activeVoices(), 1) << "envelope 3 is still releasing";
    host.render (24000);
    EXPECT_EQ (activeVoices(), 0);
}

TEST_F (VoiceTest, NoteStoppedWithoutTailOffFreesTheVoiceAtOnce)
{
    ProcessorDriver host (*processor);
    host.send (noteOn (2, 60));
    host.render (512);
    processor->synth.turnOffAllVoices (false);
    EXPECT_EQ (activeVoices(), 0);
    EXPECT_FALSE (processor->voices[0]->isVoiceStarted());
}

TEST_F (VoiceTest, MonoOutputGetsOneChannelsWorth)
{
    auto renderInto = [this] (int channels)
    {
        OstrelSynthAudioProcessor p (waves.getFolder());
        auto* type = dynamic_cast<juce::AudioParameterChoice*> (p.apvts.getParameter ("OSC1TYPE"));
        type->setValueNotifyingHost (type->convertTo0to1 ((float) type->choices.indexOf ("Sine")));
        ProcessorDriver host (p, 48000.0, 512, channels);
        host.send (noteOn (2, 62));
        return host.render (4096);
    };

    const auto stereo = renderInto (2);
    const auto mono = renderInto (1);
    ASSERT_EQ (mono.getNumChannels(), 1);

    for (int i = 0; i < 4096; ++i)
        ASSERT_NEAR (mono.getSample (0, i), stereo.getSample (0, i), 1e-7f);
}

TEST_F (VoiceTest, FilterOneShapesTheSoundOnlyWhenSwitchedOn)
{
    selectWave ("OSC1TYPE", "Saw");
    auto brightness = [this] (bool filterOn)
    {
        ProcessorDriver host (*processor);
        host.set ("FILTER1BYPASS", filterOn ? 1.0f : 0.0f);
        host.set ("FILTER1CUTOFF", 300.0f);
        host.send (noteOn (2, 45));   // 110 Hz
        host.render (4800);
        const auto out = host.render (19200);
        host.send (noteOff (2, 45));
        host.render (48000);
        const auto* x = out.getReadPointer (0);
        return toneAmplitude (x, 19200, 48000.0, 110.0 * 16) / toneAmplitude (x, 19200, 48000.0, 110.0);
    };

    const auto open = brightness (false);
    const auto filtered = brightness (true);
    EXPECT_NEAR (open, 1.0 / 16.0, 0.01) << "a saw's 16th harmonic, untouched";
    EXPECT_LT (filtered, open / 20.0);
}

TEST_F (VoiceTest, WaveTypeChangesWhileRendering)
{
    ProcessorDriver host (*processor, 48000.0, 128);
    for (int n = 0; n < 5; ++n)
        host.send (noteOn (2 + n, 50 + n * 4));

    std::atomic<bool> done { false };
    std::thread audio ([&] { while (! done) host.render (128); });

    auto* type = dynamic_cast<juce::AudioParameterChoice*> (processor->apvts.getParameter ("OSC1TYPE"));
    const int choices = type->choices.size();

    for (int round = 0; round < 2000; ++round)
        type->setValueNotifyingHost (type->convertTo0to1 ((float) (round % choices)));

    selectWave ("OSC1TYPE", "Saw");
    done = true;
    audio.join();
    host.render (64);

    const auto* saw = processor->getWaveLibrary().tablesFor (type->choices.indexOf ("Saw"));
    for (auto* v : processor->voices)
        if (v->isActive())
            EXPECT_EQ (v->getSlot (0).oscillators[3].tables, saw);
}
