#include <gtest/gtest.h>

#include "engine/VoiceLadderFilter.h"

TEST (VoiceLadderFilterTest, MatchesJuceLadderSampleForSample)
{
    for (double rate : { 44100.0, 48000.0, 96000.0 })
    {
        juce::dsp::LadderFilter<float> reference;
        reference.setMode (juce::dsp::LadderFilterMode::LPF24);
        reference.prepare ({ rate, 64, 2 });
        VoiceLadderFilter filter;
        filter.prepare (rate);

        juce::Random random (42);
        juce::AudioBuffer<float> expected (2, 64), actual (2, 64);

        for (int block = 0; block < 400; ++block)
        {
            if (block % 7 == 0)
            {
                const float cutoff = 20.0f + random.nextFloat() * 9980.0f;
                const float resonance = random.nextFloat();
                const float drive = 1.0f + random.nextFloat() * 7.0f;
                reference.setCutoffFrequencyHz (cutoff);  filter.setCutoffFrequencyHz (cutoff);
                reference.setResonance (resonance);       filter.setResonance (resonance);
                reference.setDrive (drive);               filter.setDrive (drive);
            }

            if (block == 200)
            {
                reference.reset();
                filter.reset();
            }

            const bool enabled = block % 50 != 49;
            reference.setEnabled (enabled);
            filter.setEnabled (enabled);

            for (int ch = 0; ch < 2; ++ch)
                for (int i = 0; i < 64; ++i)
                    expected.setSample (ch, i, (random.nextFloat() * 2.0f - 1.0f) * (ch == 0 ? 0.8f : 2.5f));

            actual.makeCopyOf (expected);
            juce::dsp::AudioBlock<float> referenceBlock (expected);
            reference.process (juce::dsp::ProcessContextReplacing<float> (referenceBlock));
            filter.process (actual.getWritePointer (0), actual.getWritePointer (1), 64);

            for (int ch = 0; ch < 2; ++ch)
                for (int i = 0; i < 64; ++i)
                    ASSERT_EQ (actual.getSample (ch, i), expected.getSample (ch, i)) << "rate " << rate << " block " << block << " ch " << ch << " i " << i;
        }
    }
}
