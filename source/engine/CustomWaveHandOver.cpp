#include "CustomWaveHandOver.h"

std::shared_ptr<const WaveTableSet> CustomWaveCache::tablesFor (const juce::AudioBuffer<float>& cycle)
{
    const auto numSamples = cycle.getNumChannels() > 0 ? cycle.getNumSamples() : 0;
    const float* samples = numSamples > 0 ? cycle.getReadPointer (0) : nullptr;

    if (lastTables != nullptr && (size_t) numSamples == lastCycle.size()
        && std::equal (lastCycle.begin(), lastCycle.end(), samples))
        return lastTables;

    lastCycle.assign (samples, samples + numSamples);
    lastTables = WaveTableSet::build (samples, numSamples);
    return lastTables;
}

void CustomWaveHandOver::publish (std::shared_ptr<const WaveTableSet> tables)
{
    if (tables == nullptr)
        return;

    if (std::find (retained.begin(), retained.end(), tables) == retained.end())
        retained.push_back (tables);

    pending.store (tables.get());

    // The audio thread publishes beingTaken before inUse, so read them in the opposite order.
    const auto* taking = beingTaken.load();
    const auto* used = inUse.load();

    retained.erase (std::remove_if (retained.begin(), retained.end(),
                                    [&] (const auto& set)
                                    {
                                        const auto* p = set.get();
                                        return p != tables.get() && p != taking && p != used;
                                    }),
                    retained.end());
}
