#pragma once

#include "WaveTableSet.h"

#include <atomic>
#include <memory>
#include <vector>

/** The tables of the most recently drawn cycle. The editor hands the same drawing to every voice;
    the cache builds its tables once and gives every voice the same shared set. Message thread. */
class CustomWaveCache
{
public:
    CustomWaveCache() = default;

    std::shared_ptr<const WaveTableSet> tablesFor (const juce::AudioBuffer<float>& cycle);

private:
    std::vector<float> lastCycle;
    std::shared_ptr<const WaveTableSet> lastTables;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CustomWaveCache)
};

/** Hands a drawn cycle's tables from the message thread to one voice on the audio thread, without
    a lock on either side and without the audio thread ever freeing memory.

    The message thread publishes; the audio thread picks the newest set up at a sub-block boundary,
    so no oscillator's tables change while it renders. Sets the audio thread may still read are kept
    alive here and released on the message thread once it has moved on (two hazard pointers: the set
    in use and the one being taken over). */
class CustomWaveHandOver
{
public:
    CustomWaveHandOver() = default;

    /** Message thread: makes tables the voice's drawn cycle from its next sub-block on. */
    void publish (std::shared_ptr<const WaveTableSet> tables);

    /** Audio thread: the newest published set if it differs from current and could be taken over,
        else nullptr. Wait-free and allocation-free. */
    const WaveTableSet* takeNewer (const WaveTableSet* current) noexcept
    {
        auto* candidate = pending.load();

        if (candidate == current || candidate == nullptr)
            return nullptr;

        beingTaken.store (candidate);

        const WaveTableSet* taken = nullptr;

        if (pending.load() == candidate)
        {
            inUse.store (candidate);
            taken = candidate;
        }

        beingTaken.store (nullptr);
        return taken;
    }

    /** Message thread: how many sets are still kept alive (for tests). */
    size_t getNumRetained() const noexcept  { return retained.size(); }

private:
    std::atomic<const WaveTableSet*> pending { nullptr };
    std::atomic<const WaveTableSet*> beingTaken { nullptr };
    std::atomic<const WaveTableSet*> inUse { nullptr };
    std::vector<std::shared_ptr<const WaveTableSet>> retained;   // message thread only

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CustomWaveHandOver)
};
