#include <gtest/gtest.h>

#include "TestHelpers.h"
#include "core/PluginProcessor.h"

#include <thread>

namespace
{
juce::AudioBuffer<float> drawnCycle (const std::vector<float>& samples)
{
    juce::AudioBuffer<float> cycle (1, (int) samples.size());
    for (size_t i = 0; i < samples.size(); ++i)
        cycle.setSample (0, (int) i, samples[i]);
    return cycle;
}

class CustomWaveTest : public ::testing::Test
{
protected:
    CustomWaveTest()
    {
        waves.addWave ("Basic", "Saw.wav", sawCycle());
        processor = std::make_unique<OstrelSynthAudioProcessor> (waves.getFolder());
    }

    void choose (const char* id, int index)
    {
        auto* p = processor->apvts.getParameter (id);
        p->setValueNotifyingHost (p->convertTo0to1 ((float) index));
    }

    void handOver (const std::vector<float>& samples)
    {
        for (auto* v : processor->voices)
            v->setCustomBuffer (drawnCycle (samples));
    }

    int customIndex() const { return processor->getWaveLibrary().getCustomIndex(); }

    TempWaveFolder waves;
    std::unique_ptr<OstrelSynthAudioProcessor> processor;   // made once the waves are in place
};
} // namespace

TEST_F (CustomWaveTest, CustomIsSilentUntilACycleIsDrawn)
{
    ProcessorDriver host (*processor);
    choose ("OSC1TYPE", customIndex());
    host.send (noteOn (2, 60));
    EXPECT_EQ (peak (host.render (4800).getReadPointer (0), 4800), 0.0f);

    handOver (sineCycle());
    const auto out = host.render (9600);
    EXPECT_GT (peak (out.getReadPointer (0) + 4800, 4800), 0.05f);
    EXPECT_NEAR (estimateFrequency (out.getReadPointer (0) + 4800, 4800, 48000.0), 261.63, 0.5);
}

TEST_F (CustomWaveTest, DrawingChangesOnlyOscillatorsSetToCustom)
{
    ProcessorDriver host (*processor);
    choose ("OSC1TYPE", customIndex());
    choose ("OSC2TYPE", 0);
    host.set ("OSC2BYPASS", 1.0f);
    host.send (noteOn (2, 60));
    host.render (512);

    handOver (sineCycle());
    host.render (64);

    SynthVoice* voice = nullptr;
    for (auto* v : processor->voices)
        if (v->isActive()) voice = v;
    ASSERT_NE (voice, nullptr);

    const auto* drawn = voice->getSlot (0).oscillators[0].tables;
    const auto* saw = processor->getWaveLibrary().tablesFor (0);
    EXPECT_NE (drawn, saw);
    EXPECT_FALSE (drawn->isSilent());
    EXPECT_EQ (voice->getSlot (1).oscillators[0].tables, saw);

    // Switching oscillator 2 to "Custom" afterwards plays the same drawn cycle.
    choose ("OSC2TYPE", customIndex());
    host.render (64);
    EXPECT_EQ (voice->getSlot (1).oscillators[5].tables, drawn);

    // Every voice shares one set of tables for the same drawing.
    for (auto* v : processor->voices)
        for (auto& slot : { 0, 1 })
            if (v->isActive())
                EXPECT_EQ (v->getSlot (slot).oscillators[0].tables, drawn);
}

TEST_F (CustomWaveTest, HandOverWhileRenderingOnAnotherThread)
{
    ProcessorDriver host (*processor, 48000.0, 128);
    choose ("OSC1TYPE", customIndex());
    for (int n = 0; n < 6; ++n)
        host.send (noteOn (2 + n, 50 + n * 3));

    std::atomic<bool> done { false };
    std::atomic<int> nonFinite { 0 };

    std::thread audio ([&]
    {
        while (! done)
        {
            const auto out = host.render (128);
            for (int i = 0; i < 128; ++i)
                if (! std::isfinite (out.getSample (0, i)))
                    ++nonFinite;
        }
    });

    for (int drawing = 1; drawing <= 100; ++drawing)
        handOver (sineCycle (1024, 0.5f, drawing % 7 + 1));

    done = true;
    audio.join();
    EXPECT_EQ (nonFinite.load(), 0);

    // After the last hand-over every sounding oscillator plays the last drawing.
    host.render (128);
    for (auto* v : processor->voices)
        if (v->isActive())
            EXPECT_NEAR (harmonicMagnitude (v->getSlot (0).oscillators[0].tables->band (0), 1024, 100 % 7 + 1), 0.5, 1e-3);
}

TEST (CustomWaveWithoutFiles, DrawnCycleStillPlaysWhenTheFolderIsEmpty)
{
    TempWaveFolder empty;
    OstrelSynthAudioProcessor processor (empty.getFolder());
    juce::MemoryBlock state;
    processor.getStateInformation (state);
    processor.setStateInformation (state.getData(), (int) state.getSize());   // a restored "Custom" stays "Custom"

    ProcessorDriver host (processor);
    for (auto* v : processor.voices)
        v->setCustomBuffer (drawnCycle (sineCycle()));
    host.send (noteOn (2, 69));
    host.render (4800);
    const auto out = host.render (4800);
    EXPECT_NEAR (estimateFrequency (out.getReadPointer (0), 4800, 48000.0), 440.0, 0.5);
}
