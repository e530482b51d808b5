#include "WaveFolder.h"

namespace WaveFolder
{
juce::File defaultLocation()
{
    return juce::File::getSpecialLocation (juce::File::commonApplicationDataDirectory)
        .getChildFile ("Application Support")
        .getChildFile ("Tavik")
        .getChildFile ("Ostrel")
        .getChildFile ("Waveform Files");
}

std::vector<WaveFolderEntry> scan (const juce::File& folder)
{
    std::vector<WaveFolderEntry> entries;

    if (! folder.isDirectory())
        return entries;

    for (const auto& subfolder : folder.findChildFiles (juce::File::findDirectories, false, "*"))
        for (const auto& file : subfolder.findChildFiles (juce::File::findFiles, false, "*.wav"))
            entries.push_back ({ file, displayNameFor (file) });

    return entries;
}

juce::String displayNameFor (const juce::File& file)
{
    return file.getFileNameWithoutExtension().replaceCharacter ('_', ' ');
}
} // namespace WaveFolder
