#include <gtest/gtest.h>

#include "TestHelpers.h"
#include "engine/WaveTableSet.h"

#include <cmath>

TEST (WaveTableSetTest, EachBandKeepsHarmonicsBelowItsLimitWithAmplitudeAndPhase)
{
    // A saw with a DC offset: every harmonic present, each with its own amplitude.
    auto source = sawCycle();
    for (auto& x : source) x += 0.3f;

    const auto tables = WaveTableSet::build (source.data(), (int) source.size());

    for (int b = 0; b < WaveTableSet::numBands; ++b)
    {
        SCOPED_TRACE ("band " + std::to_string (b));
        const auto* t = tables->band (b);
        const int limit = WaveTableSet::harmonicLimits[(size_t) b];

        EXPECT_NEAR (harmonicMagnitude (t, 1024, 0), 0.0, 1e-5) << "DC removed";
        EXPECT_EQ (t[1024], t[0]) << "guard sample";

        for (int k : { 1, limit / 2, limit - 1 })
        {
            EXPECT_NEAR (harmonicMagnitude (t, 1024, k), harmonicMagnitude (source.data(), 1024, k), 1e-4) << "kept harmonic " << k;
            EXPECT_NEAR (std::remainder (harmonicPhase (t, 1024, k) - harmonicPhase (source.data(), 1024, k), 2 * M_PI), 0.0, 1e-3);
        }

        for (int k : { limit, limit + 1, 511 })
            EXPECT_NEAR (harmonicMagnitude (t, 1024, k), 0.0, 1e-5) << "removed harmonic " << k;
    }
}

TEST (WaveTableSetTest, TopBandIsTheFundamentalSine)
{
    const auto source = cycleOf (1024, [] (double p) { return (float) (0.5 * std::sin (2 * M_PI * p + 1.0) + 0.25 * std::sin (6 * M_PI * p)); });
    const auto tables = WaveTableSet::build (source.data(), 1024);
    const auto* top = tables->band (7);

    for (int i = 0; i < 1024; i += 37)
        EXPECT_NEAR (top[i], 0.5 * std::sin (2 * M_PI * i / 1024.0 + 1.0), 1e-5);
}

TEST (WaveTableSetTest, SilentSources)
{
    const std::vector<float> constant (1024, 0.7f);
    EXPECT_TRUE (WaveTableSet::build (constant.data(), 1024)->isSilent());
    EXPECT_TRUE (WaveTableSet::build (nullptr, 0)->isSilent());

    auto poisoned = sineCycle();
    poisoned[100] = std::nanf ("");
    EXPECT_TRUE (WaveTableSet::build (poisoned.data(), 1024)->isSilent());

    EXPECT_TRUE (WaveTableSet::silence().isSilent());
    EXPECT_EQ (peak (WaveTableSet::silence().band (0), 1025), 0.0f);
}

TEST (WaveTableSetTest, CyclesOfOtherLengthsAreResampledWithoutAliasing)
{
    for (int length : { 256, 600, 2048, 4096 })
    {
        SCOPED_TRACE ("length " + std::to_string (length));
        const auto source = cycleOf (length, [] (double p) { return (float) (0.8 * std::sin (2 * M_PI * p) + 0.2 * std::sin (2 * M_PI * 5 * p)); });
        const auto tables = WaveTableSet::build (source.data(), length);
        const auto* t = tables->band (0);

        EXPECT_NEAR (harmonicMagnitude (t, 1024, 1), 0.8, 1e-3);
        EXPECT_NEAR (harmonicMagnitude (t, 1024, 5), 0.2, 1e-3);
        EXPECT_NEAR (harmonicMagnitude (t, 1024, 3), 0.0, 1e-4);
    }

    // A 4096-sample saw holds harmonics the table cannot: they are dropped, not folded back.
    const auto saw = sawCycle (4096);
    const auto tables = WaveTableSet::build (saw.data(), 4096);
    const auto reference = sawCycle (1024);
    const auto referenceTables = WaveTableSet::build (reference.data(), 1024);

    for (int k : { 1, 10, 100, 300 })
        EXPECT_NEAR (harmonicMagnitude (tables->band (0), 1024, k), harmonicMagnitude (referenceTables->band (0), 1024, k), 1e-3) << k;
}

TEST (WaveTableSetTest, BandLadderHasAbsoluteEdges)
{
    struct Case { float hertz; int band; };
    const Case cases[] = { { 20.0f, 0 }, { 79.99f, 0 }, { 80.0f, 1 }, { 159.9f, 1 }, { 160.0f, 2 }, { 440.0f, 3 },
                           { 640.0f, 4 }, { 1280.0f, 5 }, { 2560.0f, 6 }, { 5120.0f, 7 }, { 10239.0f, 7 },
                           { 10240.0f, -1 }, { 30000.0f, -1 } };

    for (const auto& c : cases)
        EXPECT_EQ (WaveTableSet::bandForFrequency (c.hertz), c.band) << c.hertz;
}
