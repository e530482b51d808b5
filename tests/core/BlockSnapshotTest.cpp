#include <gtest/gtest.h>

#include "core/BlockSnapshot.h"
#include "core/PluginProcessor.h"
#include "TestHelpers.h"

#include <atomic>
#include <thread>

TEST (BlockSnapshotTest, ReaderSeesTheLatestBlockAndSampleRate)
{
    BlockSnapshot snapshot;
    snapshot.prepare (2, 128, 44100.0);

    juce::AudioBuffer<float> out;
    EXPECT_EQ (snapshot.read (out), 44100.0);
    EXPECT_EQ (out.getNumSamples(), 0) << "nothing rendered yet";

    juce::AudioBuffer<float> block (2, 100);
    for (int value = 1; value <= 3; ++value)
    {
        for (int ch = 0; ch < 2; ++ch)
            juce::FloatVectorOperations::fill (block.getWritePointer (ch), (float) (value * 10 + ch), 100);
        snapshot.write (block);
    }

    snapshot.read (out);
    ASSERT_EQ (out.getNumChannels(), 2);
    ASSERT_EQ (out.getNumSamples(), 100);
    EXPECT_EQ (out.getSample (0, 0), 30.0f);
    EXPECT_EQ (out.getSample (1, 99), 31.0f);

    // Reading again without a new block gives the same block.
    snapshot.read (out);
    EXPECT_EQ (out.getSample (0, 50), 30.0f);
}

TEST (BlockSnapshotTest, ConcurrentReaderAlwaysSeesWholeBlocks)
{
    BlockSnapshot snapshot;
    snapshot.prepare (2, 512, 48000.0);
    std::atomic<bool> done { false };
    std::atomic<int> torn { 0 }, reads { 0 };

    std::thread reader ([&]
    {
        juce::AudioBuffer<float> out;

        while (! done.load())
        {
            snapshot.read (out);

            if (out.getNumSamples() == 0)
                continue;

            const float first = out.getSample (0, 0);

            for (int ch = 0; ch < out.getNumChannels(); ++ch)
                for (int i = 0; i < out.getNumSamples(); ++i)
                    if (out.getSample (ch, i) != first)
                        ++torn;

            if (out.getNumSamples() != (int) first % 512 + 1)
                ++torn;

            ++reads;
        }
    });

    juce::AudioBuffer<float> block (2, 512);

    for (int n = 0; n < 200000; ++n)
    {
        const int length = n % 512 + 1;
        block.setSize (2, length, false, false, true);
        for (int ch = 0; ch < 2; ++ch)
            juce::FloatVectorOperations::fill (block.getWritePointer (ch), (float) n, length);
        snapshot.write (block);
    }

    done = true;
    reader.join();
    EXPECT_EQ (torn.load(), 0);
    EXPECT_GT (reads.load(), 0);
}

TEST (BlockSnapshotTest, ProcessorPublishesEveryRenderedBlock)
{
    TempWaveFolder waves;
    OstrelSynthAudioProcessor processor (waves.getFolder());
    processor.prepareToPlay (48000.0, 64);
    juce::AudioBuffer<float> buffer (2, 64);
    juce::MidiBuffer midi;
    processor.processBlock (buffer, midi);

    juce::AudioBuffer<float> out;
    EXPECT_EQ (processor.lastBlock.read (out), 48000.0);
    EXPECT_EQ (out.getNumChannels(), 2);
    EXPECT_EQ (out.getNumSamples(), 64);
}
