// The oscillator hot loop at its worst case: 16 voices x 4 slots x 8 unison pairs = 1024
// oscillators, one second at 48 kHz in 64-sample sub-blocks.
#include <benchmark/benchmark.h>

#include "engine/MultiVoiceOscillator.h"
#include "engine/OscillatorKernels.h"
#include "engine/WaveTableSet.h"

#include <cmath>
#include <memory>
#include <vector>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int subBlock = 64;
constexpr int numSlots = 64;
constexpr int oscillatorsPerSlot = 16;

std::shared_ptr<const WaveTableSet> sawTables()
{
    std::vector<float> saw (1024);
    for (int i = 0; i < 1024; ++i)
        saw[(size_t) i] = 2.0f * (float) i / 1024.0f - 1.0f;
    return WaveTableSet::build (saw.data(), 1024);
}

std::vector<std::unique_ptr<MultiVoiceOscillator>> makeSlots (const WaveTableSet& tables)
{
    std::vector<std::unique_ptr<MultiVoiceOscillator>> slots;

    for (int s = 0; s < numSlots; ++s)
    {
        auto slot = std::make_unique<MultiVoiceOscillator>();
        slot->setSampleRate ((float) sampleRate);
        for (auto& osc : slot->oscillators)
            osc.tables = &tables;
        slot->isOn = true;
        slot->numVoices = 8;
        slot->unisonDetune = 0.3f;
        slot->unisonSpread = 0.5f;
        slot->note = 36.0f + (float) (s % 48);
        slot->gain = 0.5f;
        slots.push_back (std::move (slot));
    }

    return slots;
}

void reportCounters (benchmark::State& state, double oscillatorSamples)
{
    state.counters["ns_per_osc_sample"] = benchmark::Counter (oscillatorSamples * 1e-9,
                                                              benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["realtime_factor"] = benchmark::Counter ((double) state.iterations(), benchmark::Counter::kIsRate);
}

void renderOneSecond (benchmark::State& state, bool baseline)
{
    OscillatorKernels::forceBaseline (baseline);
    state.SetLabel (OscillatorKernels::activePath());
    const auto tables = sawTables();
    auto slots = makeSlots (*tables);
    std::vector<float> left (subBlock), right (subBlock);

    for (auto _ : state)
    {
        for (int done = 0; done < (int) sampleRate; done += subBlock)
        {
            std::fill (left.begin(), left.end(), 0.0f);
            std::fill (right.begin(), right.end(), 0.0f);

            for (auto& slot : slots)
                slot->process (left.data(), right.data(), subBlock);

            benchmark::DoNotOptimize (left.data());
        }
    }

    OscillatorKernels::forceBaseline (false);
    reportCounters (state, (double) state.iterations() * sampleRate * numSlots * oscillatorsPerSlot);
}

void BM_Oscillators1024_Best (benchmark::State& state)     { renderOneSecond (state, false); }
void BM_Oscillators1024_Baseline (benchmark::State& state) { renderOneSecond (state, true); }

// For comparison: the same work read one sample at a time, increment recomputed per sample.
void BM_Oscillators1024_PerSampleReference (benchmark::State& state)
{
    const auto tables = sawTables();
    auto slots = makeSlots (*tables);
    std::vector<float> left (subBlock), right (subBlock);

    for (auto _ : state)
    {
        for (int done = 0; done < (int) sampleRate; done += subBlock)
        {
            for (auto& slot : slots)
                for (int i = 0; i < oscillatorsPerSlot; ++i)
                {
                    auto& osc = slot->oscillators[(size_t) i];
                    osc.setNote (slot->note + (float) i * 0.05f);
                    auto* out = (i % 2 == 0) ? left.data() : right.data();
                    for (int j = 0; j < subBlock; ++j)
                        out[j] += osc.nextSample();
                }

            benchmark::DoNotOptimize (left.data());
        }
    }

    reportCounters (state, (double) state.iterations() * sampleRate * numSlots * oscillatorsPerSlot);
}
} // namespace

BENCHMARK (BM_Oscillators1024_Best)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_Oscillators1024_Baseline)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_Oscillators1024_PerSampleReference)->Unit (benchmark::kMillisecond);
