// The whole synthesiser at its worst case: 16 voices, 4 slots x 8 unison pairs, filter on, every
// LFO and modulation envelope routed to many targets; 48 kHz in 512-sample host blocks.
#include <benchmark/benchmark.h>

#include "core/PluginProcessor.h"

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int hostBlock = 512;

void setReal (OstrelSynthAudioProcessor& p, const juce::String& id, float value)
{
    auto* param = p.apvts.getParameter (id);
    param->setValueNotifyingHost (param->convertTo0to1 (value));
}

std::unique_ptr<OstrelSynthAudioProcessor> makeWorstCase()
{
    auto processor = std::make_unique<OstrelSynthAudioProcessor> (juce::File (OSTREL_FACTORY_WAVES_DIR));
    auto& p = *processor;

    for (int n = 1; n <= 4; ++n)
    {
        const auto osc = [n] (const char* id) { return juce::String (id).replaceCharacter ('1', (juce::juce_wchar) ('0' + n)); };
        setReal (p, osc ("OSC1BYPASS"), 1.0f);
        setReal (p, osc ("OSC1TYPE"), (float) (n * 5));
        setReal (p, osc ("OSC1UNISONVOICES"), 8.0f);
        setReal (p, osc ("OSC1UNISONDETUNE"), 0.3f);
        setReal (p, osc ("OSC1UNISONSPREAD"), 0.7f);
        setReal (p, osc ("LFO1FREQ"), 0.5f + (float) n);
        setReal (p, osc ("LFO1WAVE"), (float) (n % 6));
    }

    setReal (p, "FILTER1BYPASS", 1.0f);
    setReal (p, "FILTER1CUTOFF", 2000.0f);
    setReal (p, "FILTER1RESONANCE", 0.4f);
    setReal (p, "FILTER1DRIVE", 2.0f);

    // Every LFO and modulation envelope reaches many targets.
    const Synth::ModSource sources[] = { Synth::lfo1, Synth::lfo2, Synth::lfo3, Synth::lfo4,
                                         Synth::modEnv1, Synth::modEnv2, Synth::modEnv3 };
    const auto& targets = p.synth.getModTargets();

    for (size_t t = 0; t < targets.size(); ++t)
        for (size_t s = 0; s < std::size (sources); ++s)
            if ((t + s) % 3 == 0)
                p.synth.modAmounts.at (targets[t])[(size_t) sources[s]] = 0.05f;

    p.setRateAndBufferSizeDetails (sampleRate, hostBlock);
    p.prepareToPlay (sampleRate, hostBlock);

    juce::AudioBuffer<float> buffer (2, hostBlock);
    juce::MidiBuffer midi;
    for (int v = 0; v < 16; ++v)
        midi.addEvent (juce::MidiMessage::noteOn (2 + v % 15, 40 + v * 2, (juce::uint8) 100), v);
    p.processBlock (buffer, midi);
    return processor;
}

void BM_SynthWorstCase (benchmark::State& state)
{
    auto processor = makeWorstCase();
    juce::AudioBuffer<float> buffer (2, hostBlock);
    juce::MidiBuffer midi;
    int sounding = 0;

    for (auto _ : state)
    {
        for (int done = 0; done < (int) sampleRate; done += hostBlock)
        {
            processor->processBlock (buffer, midi);
            benchmark::DoNotOptimize (buffer.getReadPointer (0));
        }
    }

    for (auto* v : processor->voices)
        sounding += v->isActive() ? 1 : 0;

    state.counters["voices"] = sounding;
    state.counters["realtime_factor"] = benchmark::Counter ((double) state.iterations(), benchmark::Counter::kIsRate);
    state.counters["cpu_ms_per_audio_second"] = benchmark::Counter ((double) state.iterations() * 1e-3,
                                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
} // namespace

BENCHMARK (BM_SynthWorstCase)->Unit (benchmark::kMillisecond);
