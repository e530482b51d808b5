#pragma once

#include <juce_core/juce_core.h>
#include <vector>

/** One wave file of the "Waveform Files" folder and the name it is offered under. */
struct WaveFolderEntry
{
    juce::File file;
    juce::String displayName;
};

/** The "Waveform Files" folder convention: where the folder lives and which of its files become
    oscillator waves, in which order. Used on the message thread, when a processor is created. */
namespace WaveFolder
{
/** The machine-wide folder; the one place that decides where it is. */
juce::File defaultLocation();

/** The waves of a folder: for each immediate subfolder in listing order, its "*.wav" files in
    listing order. Files lying directly in the folder and anything deeper are not waves. Nothing is
    sorted, so this order is the order of the wave-type choices. A missing folder has no waves. */
std::vector<WaveFolderEntry> scan (const juce::File& folder);

/** A file's name without extension, with every "_" shown as a space. */
juce::String displayNameFor (const juce::File& file);
} // namespace WaveFolder
