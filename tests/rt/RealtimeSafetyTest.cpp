#include <gtest/gtest.h>

#include "RealtimeHooks.h"
#include "TestHelpers.h"
#include "core/PluginProcessor.h"

#include <thread>

namespace
{
juce::AudioBuffer<float> cycle (int harmonic)
{
    const auto samples = sineCycle (1024, 0.5f, harmonic);
    juce::AudioBuffer<float> b (1, 1024);
    b.copyFrom (0, 0, samples.data(), 1024);
    return b;
}

/** A scripted performance for one block: notes, MPE expression, stealing, every wave type and
    automation, all sent the way a host sends them, from the audio thread. */
void scriptBlock (int block, OstrelSynthAudioProcessor& processor, juce::MidiBuffer& midi, int numWaveChoices)
{
    const int channel = 2 + block % 15;
    const int note = 36 + (block * 7) % 48;

    if (block % 3 == 0)
        midi.addEvent (juce::MidiMessage::noteOn (channel, note, (juce::uint8) (40 + block % 80)), block % 200);

    if (block % 3 == 1)
    {
        midi.addEvent (juce::MidiMessage::pitchWheel (channel, 8192 + (block * 97) % 4000), 10);
        midi.addEvent (juce::MidiMessage::channelPressureChange (channel, block % 128), 20);
        midi.addEvent (juce::MidiMessage::controllerEvent (channel, 74, (block * 5) % 128), 30);
    }

    if (block % 5 == 4)
        midi.addEvent (juce::MidiMessage::noteOff (2 + (block + 7) % 15, 36 + ((block - 12) * 7) % 48), 40);

    if (block % 17 == 0)
        midi.addEvent (juce::MidiMessage::allNotesOff (channel), 50);

    // Automation: wave types including "Custom", unison, filter and LFO settings.
    auto setReal = [&] (const char* id, float value)
    {
        auto* p = processor.apvts.getParameter (id);
        p->setValueNotifyingHost (p->convertTo0to1 (value));
    };

    setReal ("OSC1TYPE", (float) (block / 4 % numWaveChoices));
    setReal ("OSC2TYPE", (float) ((block / 6 + 1) % numWaveChoices));
    setReal ("OSC2BYPASS", 1.0f);
    setReal ("OSC1UNISONVOICES", (float) (1 + block % 8));
    setReal ("FILTER1BYPASS", (float) (block / 10 % 2));
    setReal ("FILTER1CUTOFF", 100.0f + (float) (block % 50) * 150.0f);
    setReal ("LFO1WAVE", (float) (block % 6));
    setReal ("ENV1RELEASE", 0.01f + (float) (block % 10) * 0.05f);
}
} // namespace

TEST (RealtimeSafety, AudioThreadNeverAllocatesWaitsOrOpensFiles)
{
    TempWaveFolder waves;
    waves.addWave ("Basic", "Sine.wav", sineCycle());
    waves.addWave ("Basic", "Saw.wav", sawCycle());
    waves.addWave ("More", "Square.wav", cycleOf (1024, [] (double p) { return p < 0.5 ? 0.8f : -0.8f; }));

    OstrelSynthAudioProcessor processor (waves.getFolder());
    const int numWaveChoices = processor.getWaveLibrary().getNumWaves() + 1;
    auto& mods = processor.synth.modAmounts;
    mods.at (processor.apvts.getParameter ("OSC1PAN"))[Synth::lfo1] = 0.5f;
    mods.at (processor.apvts.getParameter ("FILTER1CUTOFF"))[Synth::modEnv1] = 0.4f;
    mods.at (processor.apvts.getParameter ("OSC2SEMI"))[Synth::mpeSlider] = 0.1f;

    constexpr int blockSize = 256;
    processor.setRateAndBufferSizeDetails (48000.0, blockSize);
    processor.prepareToPlay (48000.0, blockSize);

    juce::MemoryBlock savedState;
    processor.getStateInformation (savedState);

    std::atomic<bool> audioDone { false };
    long allocationsWithoutNoteEvents = 0, allocationsOverNoteListLimit = 0;
    RealtimeHooks::reset();

    std::thread audio ([&]
    {
        juce::AudioBuffer<float> buffer (2, blockSize);
        juce::MidiBuffer midi;
        midi.ensureSize (4096);
        RealtimeHooks::countOnThisThread (true);

        for (int block = 0; block < 3000; ++block)
        {
            midi.clear();

            // Automation arrives through JUCE's parameter classes, whose listener lock the message
            // thread shares while it restores a state; that lock belongs to the host side of the
            // parameter, not to rendering, so it is applied outside the counted region.
            RealtimeHooks::countOnThisThread (false);
            scriptBlock (block, processor, midi, numWaveChoices);
            RealtimeHooks::countOnThisThread (true);

            int noteEvents = 0;
            for (const auto event : midi)
                noteEvents += event.getMessage().isNoteOnOrOff() ? 1 : (event.getMessage().isAllNotesOff() ? Synth::numVoices : 0);

            const auto before = RealtimeHooks::counted().allocations;
            processor.processBlock (buffer, midi);
            const auto made = RealtimeHooks::counted().allocations - before;

            if (noteEvents == 0)
                allocationsWithoutNoteEvents += made;
            else
                allocationsOverNoteListLimit += std::max<long> (0, made - noteEvents);
        }

        RealtimeHooks::countOnThisThread (false);
        audioDone = true;
    });

    // Meanwhile the message thread hands over drawings, restores a state and reads the display.
    for (int round = 0; ! audioDone; ++round)
    {
        for (auto* v : processor.voices)
            v->setCustomBuffer (cycle (round % 9 + 1));

        if (round % 10 == 0)
            processor.setStateInformation (savedState.getData(), (int) savedState.getSize());

        juce::AudioBuffer<float> shown;
        processor.lastBlock.read (shown);
        processor.voices[0]->modulatedParam (processor.apvts.getParameter ("OSC1PAN"), false);
        std::this_thread::sleep_for (std::chrono::milliseconds (1));
    }

    audio.join();
    const auto counts = RealtimeHooks::counted();
    std::cout << "audio thread: " << counts.allocations << " allocations, " << counts.fileOpens << " file opens, "
              << counts.lockAcquisitions << " lock acquisitions, " << counts.lockWaits << " waits" << std::endl;

    // JUCE's MPE instrument resizes its list of playing notes when a note starts or ends (at most
    // one allocation per note event); nothing else may allocate.
    EXPECT_EQ (allocationsWithoutNoteEvents, 0);
    EXPECT_EQ (allocationsOverNoteListLimit, 0);
    EXPECT_EQ (counts.fileOpens, 0);
    EXPECT_EQ (counts.lockWaits, 0);
}
