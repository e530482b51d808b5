#include <gtest/gtest.h>

#include "TestHelpers.h"
#include "engine/Oscillator.h"
#include "engine/WaveLibrary.h"

#include <cmath>

namespace
{
class OscillatorTest : public ::testing::Test
{
protected:
    OscillatorTest()
    {
        waves.addWave ("A", "Saw.wav", sawCycle());
        waves.addRaw ("A", "Broken.wav", juce::MemoryBlock ("RIFF....WAVEjunk", 16));
        library = WaveLibrary::load (waves.getFolder());
        osc.sampleRate = 48000.0f;
    }

    int indexOf (const juce::String& name) const { return library->getChoiceNames().indexOf (name); }

    TempWaveFolder waves;
    std::shared_ptr<const WaveLibrary> library;
    Oscillator osc;
};
} // namespace

TEST_F (OscillatorTest, NoteSetsFrequencyAndBand)
{
    osc.setNote (69.0f);
    EXPECT_FLOAT_EQ (osc.frequency, 440.0f);
    EXPECT_EQ (osc.currentBand, 3);

    osc.setNote (69.0f + 12.0f * std::log2 (80.5f / 440.0f));
    EXPECT_EQ (osc.currentBand, 1);
    osc.setNote (69.0f + 12.0f * std::log2 (79.5f / 440.0f));
    EXPECT_EQ (osc.currentBand, 0);

    // At or above the top of the ladder the band stays and only the frequency moves.
    osc.setNote (69.0f);
    osc.setNote (140.0f);
    EXPECT_GT (osc.frequency, 10240.0f);
    EXPECT_EQ (osc.currentBand, 3);

    osc.setNote (std::nanf (""));
    EXPECT_EQ (osc.frequency, 0.0f) << "a note that is not a number stops the oscillator";
}

TEST_F (OscillatorTest, ChoosingAWaveSwapsTablesAndKeepsTheBand)
{
    osc.setLibrary (library.get());
    const int saw = indexOf ("Saw");
    ASSERT_GE (saw, 0);

    osc.waveIndex = saw;
    osc.createWavetable();
    osc.setNote (69.0f);
    EXPECT_EQ (osc.currentTable(), library->tablesFor (saw)->band (3));

    // An unreadable file and an index past the files keep the previous wave.
    for (int index : { indexOf ("Broken"), 99 })
    {
        osc.waveIndex = index;
        osc.createWavetable();
        EXPECT_EQ (osc.currentTable(), library->tablesFor (saw)->band (3));
    }

    // "Custom" before anything was drawn is silent, and keeps the band.
    osc.createCustomWavetable();
    EXPECT_EQ (osc.currentBand, 3);
    EXPECT_EQ (peak (osc.currentTable(), 1024), 0.0f);

    const auto drawn = WaveTableSet::build (sineCycle().data(), 1024);
    osc.customTables = drawn.get();
    osc.createCustomWavetable();
    EXPECT_EQ (osc.currentTable(), drawn->band (3));
}

TEST_F (OscillatorTest, ReadInterpolatesWrapsAndRunsFreely)
{
    osc.setLibrary (library.get());
    osc.waveIndex = indexOf ("Saw");
    osc.createWavetable();
    osc.setNote (30.0f);
    const float* w = osc.currentTable();

    // Between the last sample and the first.
    osc.readPosition = 1023.25f;
    osc.gain = 0.5f;
    const float expected = ((w[0] - w[1023]) * 0.25f + w[1023]) * 0.5f;
    EXPECT_FLOAT_EQ (osc.nextSample(), expected);
    EXPECT_GE (osc.readPosition, 0.0f);
    EXPECT_LT (osc.readPosition, 1024.0f);

    // An increment larger than the table still leaves the position inside it.
    osc.frequency = 200000.0f;
    for (int i = 0; i < 1000; ++i)
    {
        osc.nextSample();
        ASSERT_GE (osc.readPosition, 0.0f);
        ASSERT_LT (osc.readPosition, 1024.0f);
    }
}

TEST (OscillatorPitch, PowerOfTwoMatchesTheDoublePrecisionPower)
{
    // The frequency is 440 * 2^((note - 69) / 12) in double precision, stored as a float.
    Oscillator osc;
    int differing = 0;

    for (int hundredths = -6000; hundredths <= 22000; ++hundredths)
    {
        const float note = (float) hundredths / 100.0f;
        osc.setNote (note);
        const float semitones = note - 69.0f;
        differing += osc.frequency != (float) (440.0 * std::pow (2.0, (double) semitones / 12.0)) ? 1 : 0;
    }

    EXPECT_EQ (differing, 0);
}

TEST (OscillatorPitch, UnisonBatchGivesTheSameFrequenciesAsOneAtATime)
{
    // A slot sets its sixteen oscillators together (the vector path where the CPU has one); each
    // must get what setNote gives it alone, the double-precision power included, and a nonsense
    // note must leave a still oscillator.
    const float notes[] = { -60.0f, -0.01f, 0.0f, 21.5f, 57.0f, 68.99f, 69.0f, 69.01f, 100.0f, 127.0f,
                            135.3f, 200.0f, 1.0e6f, -1.0e6f, std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity() };
    static_assert (std::size (notes) == 16);
    std::array<Oscillator, 16> together, alone;
    Oscillator::setNotes (together.data(), notes, 16);

    for (size_t i = 0; i < 16; ++i)
    {
        alone[i].setNote (notes[i]);
        EXPECT_EQ (together[i].frequency, alone[i].frequency) << notes[i];
        EXPECT_EQ (together[i].currentBand, alone[i].currentBand) << notes[i];

        const auto exact = (float) (440.0 * std::pow (2.0, (double) (notes[i] - 69.0f) / 12.0));

        if (exact > 0.0f && exact <= 4.0e6f)
            EXPECT_EQ (together[i].frequency, exact) << notes[i];
        else if (! (exact > 0.0f))
            EXPECT_LE (together[i].frequency, 1.0e-10f) << notes[i];
        else
            EXPECT_EQ (together[i].frequency, 0.0f) << notes[i];
    }
}
