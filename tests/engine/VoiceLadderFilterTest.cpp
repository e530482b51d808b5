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

TEST (VoiceLadderFilterTest, VoicesFilteredTogetherMatchEachOnItsOwn)
{
    for (int count : { 1, 3, 4, 7, 16 })
    {
        std::vector<std::unique_ptr<VoiceLadderFilter>> together, alone;
        std::vector<juce::AudioBuffer<float>> togetherBuffers, aloneBuffers;
        juce::Random random (count);

        for (int v = 0; v < count; ++v)
        {
            for (auto* list : { &together, &alone })
            {
                list->push_back (std::make_unique<VoiceLadderFilter>());
                list->back()->prepare (48000.0);
            }
            togetherBuffers.emplace_back (2, 64);
            aloneBuffers.emplace_back (2, 64);
        }

        for (int block = 0; block < 60; ++block)
        {
            std::vector<VoiceLadderFilter*> filters;
            std::vector<float*> lefts, rights;

            for (int v = 0; v < count; ++v)
            {
                if (block % 5 == 0)
                {
                    const float cutoff = 20.0f + random.nextFloat() * 9980.0f, res = random.nextFloat(), drive = 1.0f + random.nextFloat() * 7.0f;
                    const bool enabled = random.nextInt (4) != 0;
                    for (auto* list : { &together, &alone })
                    {
                        auto& f = *(*list)[(size_t) v];
                        f.setCutoffFrequencyHz (cutoff);
                        f.setResonance (res);
                        f.setDrive (drive);
                        f.setEnabled (enabled);
                    }
                }

                for (int ch = 0; ch < 2; ++ch)
                    for (int i = 0; i < 64; ++i)
                        togetherBuffers[(size_t) v].setSample (ch, i, (random.nextFloat() * 2.0f - 1.0f) * 3.0f);

                aloneBuffers[(size_t) v].makeCopyOf (togetherBuffers[(size_t) v]);
                alone[(size_t) v]->process (aloneBuffers[(size_t) v].getWritePointer (0), aloneBuffers[(size_t) v].getWritePointer (1), 64);
                filters.push_back (together[(size_t) v].get());
                lefts.push_back (togetherBuffers[(size_t) v].getWritePointer (0));
                rights.push_back (togetherBuffers[(size_t) v].getWritePointer (1));
            }

            VoiceLadderFilter::processVoices (filters.data(), lefts.data(), rights.data(), count, 64);

            for (int v = 0; v < count; ++v)
                for (int ch = 0; ch < 2; ++ch)
                    for (int i = 0; i < 64; ++i)
                        ASSERT_EQ (togetherBuffers[(size_t) v].getSample (ch, i), aloneBuffers[(size_t) v].getSample (ch, i))
                            << count << " voices, voice " << v << " block " << block << " ch " << ch << " i " << i;
        }
    }
}
