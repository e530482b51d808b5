#pragma once

#include "../core/WaveFolder.h"
#include "WaveTableSet.h"

#include <memory>
#include <vector>

/** Every wave of a "Waveform Files" folder: the folder is scanned once and each file is built into
    shared band tables when a processor is created. The wave-type choices and the oscillators both
    come from this one object, so they can never disagree.

    Built on the message thread; immutable afterwards, so the audio thread reads it freely. */
class WaveLibrary
{
public:
    /** Scans the folder and builds every file's tables. */
    static std::shared_ptr<const WaveLibrary> load (const juce::File& folder);

    /** An empty library: no file choices, only "Custom". */
    WaveLibrary() = default;

    int getNumWaves() const noexcept                        { return (int) entries.size(); }

    /** The index of the "Custom" choice: one past the last file. */
    int getCustomIndex() const noexcept                     { return getNumWaves(); }

    /** The wave-type choice list: every file's display name, then "Custom". */
    juce::StringArray getChoiceNames() const;

    /** The tables of the wave at index, or nullptr when there is no such file or it could not be
        read. Audio thread safe. */
    const WaveTableSet* tablesFor (int index) const noexcept
    {
        return index >= 0 && index < (int) tables.size() ? tables[(size_t) index].get() : nullptr;
    }

    const std::vector<WaveFolderEntry>& getEntries() const noexcept  { return entries; }
    const juce::File& getFolder() const noexcept                     { return folder; }

private:
    juce::File folder;
    std::vector<WaveFolderEntry> entries;
    std::vector<std::shared_ptr<const WaveTableSet>> tables;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WaveLibrary)
};
