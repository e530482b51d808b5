// Start-up cost of the wave library: scanning a folder and building every file's band tables.
#include <benchmark/benchmark.h>

#include "engine/WaveLibrary.h"

#include <juce_audio_formats/juce_audio_formats.h>
#include <cmath>

namespace
{
/** A temporary folder of n single-cycle files (10 subfolders), made once. */
juce::File makeLibraryOf (int n)
{
    static std::map<int, juce::File> made;

    if (auto found = made.find (n); found != made.end())
        return found->second;

    auto folder = juce::File::createTempFile ("ostrel-bench-waves");
    juce::WavAudioFormat wav;

    for (int i = 0; i < n; ++i)
    {
        auto file = folder.getChildFile ("Set_" + juce::String (i % 10)).getChildFile ("Wave_" + juce::String (i) + ".wav");
        file.getParentDirectory().createDirectory();
        juce::AudioBuffer<float> cycle (1, 1024);

        for (int t = 0; t < 1024; ++t)
            cycle.setSample (0, t, (float) std::sin (2.0 * M_PI * t / 1024.0) * 0.5f
                                    + (float) std::sin (2.0 * M_PI * (i % 13 + 2) * t / 1024.0) * 0.3f);

        std::unique_ptr<juce::OutputStream> out (file.createOutputStream().release());
        std::unique_ptr<juce::AudioFormatWriter> writer (wav.createWriterFor (out.get(), 48000.0, 1, 32, {}, 0));
        out.release();
        writer->writeFromAudioSampleBuffer (cycle, 0, 1024);
    }

    made[n] = folder;
    return folder;
}

void loadFolder (benchmark::State& state, const juce::File& folder)
{
    int waves = 0;

    for (auto _ : state)
    {
        auto library = WaveLibrary::load (folder);
        waves = library->getNumWaves();
        benchmark::DoNotOptimize (library);
    }

    state.counters["waves"] = waves;
}

void BM_WaveLibraryLoad_Factory (benchmark::State& state)
{
    loadFolder (state, juce::File (OSTREL_FACTORY_WAVES_DIR));
}

void BM_WaveLibraryLoad_200Files (benchmark::State& state)
{
    loadFolder (state, makeLibraryOf (200));
}
} // namespace

BENCHMARK (BM_WaveLibraryLoad_Factory)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_WaveLibraryLoad_200Files)->Unit (benchmark::kMillisecond);
