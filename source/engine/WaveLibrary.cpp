#include "WaveLibrary.h"
#include "WaveFileReader.h"

std::shared_ptr<const WaveLibrary> WaveLibrary::load (const juce::File& folderToScan)
{
    auto library = std::make_shared<WaveLibrary>();
    library->folder = folderToScan;
    library->entries = WaveFolder::scan (folderToScan);
    library->tables.reserve (library->entries.size());

    WaveFileReader reader;

    for (const auto& entry : library->entries)
    {
        if (auto cycle = reader.readCycle (entry.file))
            library->tables.push_back (WaveTableSet::build (cycle->data(), (int) cycle->size()));
        else
            library->tables.push_back (nullptr);
    }

    return library;
}

juce::StringArray WaveLibrary::getChoiceNames() const
{
    juce::StringArray names;

    for (const auto& entry : entries)
        names.add (entry.displayName);

    names.add ("Custom");
    return names;
}
