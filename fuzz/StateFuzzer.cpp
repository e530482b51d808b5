// libFuzzer target: any bytes a host may hand to setStateInformation. Loading must never crash or
// hang, every parameter must stay a finite value in its range, and whatever was loaded must save
// and load again to the same bytes.
#include "core/PluginProcessor.h"

#include <cmath>
#include <cstdlib>

namespace
{
OstrelSynthAudioProcessor& processor()
{
    // Made once and never destroyed: tearing JUCE down from libFuzzer's exit handlers is not safe.
    static auto* juceInit = new juce::ScopedJuceInitialiser_GUI();
    static auto* instance = new OstrelSynthAudioProcessor (juce::File ("/nonexistent-ostrel-fuzz-waves"));
    juce::ignoreUnused (juceInit);
    return *instance;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    auto& p = processor();
    p.setStateInformation (data, (int) size);

    for (auto* parameter : p.getParameters())
    {
        const auto value = parameter->getValue();

        if (! std::isfinite (value) || value < 0.0f || value > 1.0f)
            std::abort();
    }

    juce::MemoryBlock saved, again;
    p.getStateInformation (saved);
    p.setStateInformation (saved.getData(), (int) saved.getSize());
    p.getStateInformation (again);

    if (saved != again)
        std::abort();

    return 0;
}
