#include <gtest/gtest.h>

#include "TestHelpers.h"
#include "core/PluginProcessor.h"
#include "engine/TargetRanges.h"

TEST (TargetRangesTest, EveryTargetConvertsExactlyAsItsParameter)
{
    // All targets in one pass (side by side where the CPU allows) must give, bit for bit, what each
    // parameter's own conversion gives: skewed, stepped, integer and switch ranges alike, at the
    // ends, on values that repeat (kept from the last pass) and on values that move.
    TempWaveFolder waves;
    waves.addWave ("Basic", "Sine.wav", sineCycle());
    OstrelSynthAudioProcessor processor (waves.getFolder());
    const auto& targets = processor.synth.getModTargets();
    TargetRanges ranges;
    ranges.setParameters (targets);

    std::vector<float> normalised (targets.size()), real (targets.size());
    juce::Random random (11);

    for (int pass = 0; pass < 400; ++pass)
    {
        for (size_t i = 0; i < targets.size(); ++i)
        {
            if (pass == 0)
                normalised[i] = 0.0f;
            else if (pass == 1)
                normalised[i] = 1.0f;
            else if (pass % 3 != 0 || i % 2 == 0)   // some values stay as they were
                normalised[i] = random.nextFloat();
        }

        ranges.toLegalValues (normalised.data(), real.data());

        for (size_t i = 0; i < targets.size(); ++i)
            ASSERT_EQ (real[i], targets[i]->convertFrom0to1 (normalised[i]))
                << targets[i]->getParameterID() << " at " << normalised[i] << ", pass " << pass;
    }

    ranges.reset();
    ranges.toLegalValues (normalised.data(), real.data());

    for (size_t i = 0; i < targets.size(); ++i)
        EXPECT_EQ (real[i], targets[i]->convertFrom0to1 (normalised[i])) << targets[i]->getParameterID();

}
