#include <gtest/gtest.h>

#include "TestHelpers.h"
#include "engine/MultiVoiceOscillator.h"
#include "engine/OscillatorKernels.h"
#include "engine/WaveLibrary.h"

#include <cmath>

namespace
{
constexpr int blockLength = 64;

class UnisonTest : public ::testing::TestWithParam<bool>   // parameter: force the baseline path
{
protected:
    UnisonTest()
    {
        waves.addWave ("A", "Saw.wav", sawCycle());
        library = WaveLibrary::load (waves.getFolder());
        slot.setLibrary (library.get());
        slot.setSampleRate (48000.0f);
        slot.isOn = true;
        slot.gain = 0.5f;
        slot.note = 57.0f;
        OscillatorKernels::forceBaseline (GetParam());
    }

    ~UnisonTest() override { OscillatorKernels::forceBaseline (false); }

    juce::AudioBuffer<float> render (int numSamples = blockLength)
    {
        juce::AudioBuffer<float> buffer (2, numSamples);
        buffer.clear();
        slot.process (buffer, numSamples);
        return buffer;
    }

    /** What the slot should add, from each oscillator's reference read, on a copy of the slot. */
    juce::AudioBuffer<float> reference (int numSamples = blockLength)
    {
        auto copy = std::make_unique<MultiVoiceOscillator> ();
        copy->oscillators = slot.oscillators;
        juce::AudioBuffer<float> buffer (2, numSamples);
        buffer.clear();
        const int n = slot.numVoices;

        for (int i = 0; i < 2 * n; ++i)
        {
            auto& osc = copy->oscillators[(size_t) i];
            float q = 0.0f;

            if (n == 1)
                osc.gain = (i == 0 ? 1.0f - slot.pan : 1.0f + slot.pan) * slot.gain;
            else
            {
                q = juce::jlimit (-1.0f, 1.0f, ((i % 4) < 2 ? 1.0f : -1.0f) * slot.unisonSpread);
                if (i % 2 == 0) q = -q;
                osc.gain = (1.0f + q) * slot.gain / (float) n;
            }

            osc.setNote (n == 1 ? slot.note : slot.note - slot.unisonDetune + (float) i * slot.unisonDetune / (float) (n - 1));

            for (int j = 0; j < numSamples; ++j)
                buffer.getWritePointer (i % 2)[j] += osc.nextSample();
        }

        referencePositions.clear();
        for (auto& osc : copy->oscillators)
            referencePositions.push_back (osc.readPosition);

        return buffer;
    }

    void expectMatchesReference (const juce::AudioBuffer<float>& actual, const juce::AudioBuffer<float>& expected)
    {
        for (int ch = 0; ch < 2; ++ch)
            for (int j = 0; j < actual.getNumSamples(); ++j)
                ASSERT_NEAR (actual.getSample (ch, j), expected.getSample (ch, j), 2e-6f) << "ch " << ch << " sample " << j;

        for (size_t i = 0; i < referencePositions.size(); ++i)
            EXPECT_EQ (slot.oscillators[i].readPosition, referencePositions[i]) << "oscillator " << i;
    }

    TempWaveFolder waves;
    std::shared_ptr<const WaveLibrary> library;
    MultiVoiceOscillator slot;
    std::vector<float> referencePositions;
};
} // namespace

TEST_P (UnisonTest, EveryUnisonCountMatchesTheOscillatorsOwnReads)
{
    for (int voices = 1; voices <= 8; ++voices)
    {
        SCOPED_TRACE ("voices " + std::to_string (voices));
        slot.numVoices = voices;
        slot.unisonDetune = 0.37f;
        slot.unisonSpread = 0.6f;
        slot.pan = -0.3f;

        for (int block = 0; block < 3; ++block)   // positions carry over between blocks
        {
            const auto expected = reference();
            expectMatchesReference (render(), expected);
        }
    }
}

TEST_P (UnisonTest, PanLawWithoutUnison)
{
    slot.numVoices = 1;
    slot.pan = 0.0f;
    auto centred = render();
    EXPECT_GT (rms (centred.getReadPointer (0), blockLength), 0.01);
    for (int j = 0; j < blockLength; ++j)
        EXPECT_EQ (centred.getSample (0, j), centred.getSample (1, j));

    slot.pan = -1.0f;
    auto left = render();
    EXPECT_EQ (peak (left.getReadPointer (1), blockLength), 0.0f);
    EXPECT_GT (rms (left.getReadPointer (0), blockLength), 0.01);
    EXPECT_FLOAT_EQ (slot.oscillators[0].gain, 2.0f * slot.gain);
    EXPECT_FLOAT_EQ (slot.oscillators[1].gain, 0.0f);
}

TEST_P (UnisonTest, UnisonPitchesAndChannels)
{
    slot.numVoices = 2;
    slot.unisonDetune = 1.0f;
    slot.pan = 0.9f;   // plays no part with unison
    render();

    const float base = 440.0f * std::pow (2.0f, (57.0f - 69.0f) / 12.0f);
    const float offsets[] = { -1.0f, 0.0f, 1.0f, 2.0f };

    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR (slot.oscillators[(size_t) i].frequency, base * std::pow (2.0f, offsets[i] / 12.0f), 0.01f) << i;

    // Spread 0: every oscillator at g / N.
    slot.unisonSpread = 0.0f;
    render();
    for (int i = 0; i < 4; ++i)
        EXPECT_FLOAT_EQ (slot.oscillators[(size_t) i].gain, 0.25f);
}

TEST_P (UnisonTest, OffSlotLeavesTheBufferAndPhasesAlone)
{
    slot.numVoices = 8;
    render();
    const auto positions = slot.oscillators[15].readPosition;
    EXPECT_GT (positions, 0.0f) << "eight voices use all sixteen oscillators";

    slot.isOn = false;
    juce::AudioBuffer<float> buffer (2, blockLength);
    buffer.clear();
    buffer.setSample (0, 3, 0.25f);
    slot.process (buffer, blockLength);
    EXPECT_EQ (buffer.getSample (0, 3), 0.25f);
    EXPECT_EQ (rms (buffer.getReadPointer (1), blockLength), 0.0);

    // Oscillators a smaller unison leaves idle keep their positions.
    slot.isOn = true;
    slot.numVoices = 2;
    render();
    EXPECT_EQ (slot.oscillators[15].readPosition, positions);
}

TEST_P (UnisonTest, ProcessAddsIntoTheBuffer)
{
    slot.numVoices = 3;
    auto once = reference();
    juce::AudioBuffer<float> buffer (2, blockLength);
    for (int ch = 0; ch < 2; ++ch)
        juce::FloatVectorOperations::fill (buffer.getWritePointer (ch), 1.0f, blockLength);
    slot.process (buffer, blockLength);

    for (int j = 0; j < blockLength; ++j)
        EXPECT_NEAR (buffer.getSample (0, j), 1.0f + once.getSample (0, j), 2e-6f);
}

INSTANTIATE_TEST_SUITE_P (Paths, UnisonTest, ::testing::Values (false, true),
                          [] (const auto& info) { return info.param ? "Baseline" : "Best"; });
