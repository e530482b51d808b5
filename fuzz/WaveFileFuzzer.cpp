// libFuzzer target: the bytes of a wave file, as a user's library may hold them. Reading must never
// crash, and any cycle read must build into finite band tables.
#include "engine/WaveFileReader.h"
#include "engine/WaveTableSet.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    static WaveFileReader reader;
    const auto cycle = reader.readCycle (data, size);

    if (! cycle.has_value())
        return 0;

    if (cycle->empty() || cycle->size() > (size_t) WaveFileReader::maxMarkedFrame)
        std::abort();

    const auto tables = WaveTableSet::build (cycle->data(), (int) cycle->size());

    for (int b = 0; b < WaveTableSet::numBands; ++b)
        for (int i = 0; i <= WaveTableSet::tableSize; ++i)
            if (! std::isfinite (tables->band (b)[i]))
                std::abort();

    return 0;
}
