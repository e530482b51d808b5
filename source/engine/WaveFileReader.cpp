#include "WaveFileReader.h"

#include <cmath>

WaveFileReader::WaveFileReader()
{
    formatManager.registerBasicFormats();
}

int WaveFileReader::findFrameLengthMarker (const juce::File& file)
{
    juce::FileInputStream in (file);
    return in.openedOk() ? findFrameLengthMarker (in) : 0;
}

int WaveFileReader::findFrameLengthMarker (juce::InputStream& in)
{
    char header[12] {};

    if (in.read (header, 12) != 12 || std::memcmp (header, "RIFF", 4) != 0 || std::memcmp (header + 8, "WAVE", 4) != 0)
        return 0;

    // Walk the chunk list; a bounded number of chunks keeps a hostile file from costing much.
    for (int chunk = 0; chunk < 64 && ! in.isExhausted(); ++chunk)
    {
        char id[4] {};

        if (in.read (id, 4) != 4)
            return 0;

        const auto size = (juce::uint32) in.readInt();
        const auto dataStart = in.getPosition();

        if (std::memcmp (id, "clm ", 4) == 0)
        {
            juce::MemoryBlock text;
            in.readIntoMemoryBlock (text, (juce::int64) juce::jmin<juce::uint32> (size, 256));
            const auto marker = juce::String::fromUTF8 (static_cast<const char*> (text.getData()), (int) text.getSize());
            const auto at = marker.indexOf ("<!>");

            if (at < 0)
                return 0;

            const auto digits = marker.substring (at + 3).initialSectionContainingOnly ("0123456789");
            const auto length = digits.length() > 0 && digits.length() < 8 ? digits.getIntValue() : 0;
            return length > 0 && length <= maxMarkedFrame ? length : 0;
        }

        if (! in.setPosition (dataStart + (juce::int64) size + (size & 1u)))
            return 0;
    }

    return 0;
}

std::optional<std::vector<float>> WaveFileReader::readCycle (const juce::File& file)
{
    if (! file.existsAsFile())
        return std::nullopt;

    return readCycle (std::make_unique<juce::FileInputStream> (file), findFrameLengthMarker (file));
}

std::optional<std::vector<float>> WaveFileReader::readCycle (const void* data, size_t numBytes)
{
    juce::MemoryInputStream markerStream (data, numBytes, false);
    const auto marker = findFrameLengthMarker (markerStream);
    return readCycle (std::make_unique<juce::MemoryInputStream> (data, numBytes, false), marker);
}

std::optional<std::vector<float>> WaveFileReader::readCycle (std::unique_ptr<juce::InputStream> audio, int frameMarker)
{
    std::unique_ptr<juce::AudioFormatReader> reader (formatManager.createReaderFor (std::move (audio)));

    // No wave file has dozens of channels; a header that claims thousands would make reading even
    // one cycle take seconds.
    if (reader == nullptr || reader->numChannels < 1 || reader->numChannels > maxChannels
        || reader->lengthInSamples <= 0 || reader->bitsPerSample > 64)
        return std::nullopt;

    const auto fileLength = reader->lengthInSamples;
    juce::int64 cycleLength = fileLength <= maxWholeCycle ? fileLength : defaultCycle;

    if (frameMarker > 0 && frameMarker <= fileLength)
        cycleLength = frameMarker;

    juce::AudioBuffer<float> buffer (1, (int) cycleLength);
    buffer.clear();

    if (! reader->read (&buffer, 0, (int) cycleLength, 0, true, false))
        return std::nullopt;

    const auto* samples = buffer.getReadPointer (0);

    // NaN, infinity or values far beyond full scale are not a waveform: such a file is unreadable.
    for (int i = 0; i < (int) cycleLength; ++i)
        if (! (std::abs (samples[i]) <= maxSampleMagnitude))
            return std::nullopt;

    return std::vector<float> (samples, samples + cycleLength);
}
