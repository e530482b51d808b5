#include <gtest/gtest.h>

#include "engine/SimpleLFO.h"

namespace
{
SimpleLFO makeLFO (int wave, bool bipolar, float depth = 1.0f)
{
    SimpleLFO lfo;
    lfo.wave = wave;
    lfo.bipolar = bipolar;
    lfo.depth = depth;
    lfo.sampleRate = 1000.0;
    return lfo;
}
} // namespace

TEST (SimpleLFOTest, ShapesAtKnownPhases)
{
    struct Case { int wave; bool bipolar; double phase; float expected; };
    const Case cases[] = {
        { SimpleLFO::sine, true, 0.0, 0.0f },        { SimpleLFO::sine, false, 0.0, 0.5f },
        { SimpleLFO::sine, true, 0.25, 1.0f },       { SimpleLFO::triangle, true, 0.0, -1.0f },
        { SimpleLFO::triangle, true, 0.5, 1.0f },    { SimpleLFO::sawUp, true, 0.0, -1.0f },
        { SimpleLFO::sawUp, false, 0.75, 0.75f },    { SimpleLFO::sawDown, true, 0.0, 1.0f },
        { SimpleLFO::square, true, 0.25, 1.0f },     { SimpleLFO::square, true, 0.5, -1.0f },
        { SimpleLFO::square, false, 0.5, 0.0f },
    };

    for (const auto& c : cases)
    {
        auto lfo = makeLFO (c.wave, c.bipolar, 0.8f);
        lfo.phase = c.phase;
        EXPECT_NEAR (lfo.getCurrentValue(), c.expected * 0.8f, 1e-6f) << "wave " << c.wave << " phase " << c.phase;
    }

    for (int wave = 0; wave < 6; ++wave)
        for (bool bipolar : { false, true })
        {
            auto silent = makeLFO (wave, bipolar, 0.0f);
            silent.phase = 0.3;
            EXPECT_EQ (silent.getCurrentValue(), 0.0f);
        }
}

TEST (SimpleLFOTest, PhaseOffsetAndFrequency)
{
    auto lfo = makeLFO (SimpleLFO::sawUp, true);
    lfo.phase = 0.2;
    const float plain = lfo.getCurrentValue();
    lfo.phaseOffset = 1.0f;
    EXPECT_NEAR (lfo.getCurrentValue(), plain, 1e-6f) << "a full-turn offset changes nothing";
    lfo.phaseOffset = 0.5f;
    EXPECT_NEAR (lfo.getCurrentValue(), 2.0f * 0.7f - 1.0f, 1e-6f);

    lfo.frequency = 0.001f;
    lfo.process (100000);
    EXPECT_EQ (lfo.phase, 0.2) << "at or below 0.001 Hz the phase does not move";

    lfo.frequency = 10.0f;
    lfo.process (50);   // half a cycle at 1 kHz
    EXPECT_NEAR (lfo.phase, 0.7, 1e-9);
}

TEST (SimpleLFOTest, RandomHoldsOneValuePerCycleAndIsSeeded)
{
    auto a = makeLFO (SimpleLFO::random, true);
    auto b = makeLFO (SimpleLFO::random, true);
    a.frequency = b.frequency = 10.0f;   // 100 samples per cycle

    std::vector<float> values;
    for (int i = 0; i < 1000; ++i)
    {
        a.process (1);
        b.process (1);
        ASSERT_EQ (a.getCurrentValue(), b.getCurrentValue());
        if (values.empty() || values.back() != a.getCurrentValue())
            values.push_back (a.getCurrentValue());
    }

    // One draw at the start, then one per wrap: ten cycles, ten or eleven distinct held values.
    EXPECT_GE (values.size(), 10u);
    EXPECT_LE (values.size(), 11u);

    for (auto v : values)
    {
        EXPECT_GE (v, -1.0f);
        EXPECT_LT (v, 1.0f);
    }
}

TEST (SimpleLFOTest, FourTogetherAdvanceExactlyAsEachAlone)
{
    // A voice advances its four LFOs in one loop; every phase (and every random draw) must come out
    // bit for bit as if each had run on its own, whatever the waves and rates.
    std::array<SimpleLFO, 4> together;
    const int waves[] = { SimpleLFO::sine, SimpleLFO::random, SimpleLFO::sawUp, SimpleLFO::square };
    const float rates[] = { 0.3f, 7.0f, 40.0f, 0.0005f };

    for (size_t k = 0; k < 4; ++k)
    {
        together[k] = makeLFO (waves[k], true);
        together[k].frequency = rates[k];
        together[k].phaseOffset = 0.1f * (float) k;
    }

    auto alone = together;

    for (int block = 0; block < 500; ++block)
    {
        const int length = 1 + (block * 37) % 64;
        SimpleLFO::process (together, length);

        for (auto& lfo : alone)
            lfo.process (length);

        for (size_t k = 0; k < 4; ++k)
        {
            ASSERT_EQ (together[k].phase, alone[k].phase) << "LFO " << k << ", block " << block;
            ASSERT_EQ (together[k].getCurrentValue(), alone[k].getCurrentValue()) << "LFO " << k << ", block " << block;
        }
    }

    EXPECT_NE (together[2].phase, 0.0);
}
