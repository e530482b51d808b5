#include "WaveLibrary.h"
#include "WaveFileReader.h"

#include <thread>

std::shared_ptr<const WaveLibrary> WaveLibrary::load (const juce::File& folderToScan)
{
    auto library = std::make_shared<WaveLibrary>();
    library->folder = folderToScan;
    library->entries = WaveFolder::scan (folderToScan);
    library->tables.resize (library->entries.size());

    // Files are independent: read and build them on every core, each worker taking every n-th file.
    const auto numFiles = library->entries.size();
    const auto numWorkers = (size_t) juce::jlimit (1, 8, juce::SystemStats::getNumCpus());
    auto work = [&library, numFiles, numWorkers] (size_t first)
    {
        WaveFileReader reader;

        for (size_t i = first; i < numFiles; i += numWorkers)
            if (auto cycle = reader.readCycle (library->entries[i].file))
                library->tables[i] = WaveTableSet::build (cycle->data(), (int) cycle->size());
    };

    if (numFiles < 8 || numWorkers == 1)
    {
        for (size_t w = 0; w < numWorkers; ++w)
            work (w);
        return library;
    }

    std::vector<std::thread> workers;

    for (size_t w = 1; w < numWorkers; ++w)
        workers.emplace_back (work, w);

    work (0);

    for (auto& t : workers)
        t.join();

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
