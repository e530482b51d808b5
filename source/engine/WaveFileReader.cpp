#include "WaveFileReader.h"

#include <cmath>
#include <string_view>

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
    return scanChunks (in).frameMarker;
}

WaveFileReader::ChunkScan WaveFileReader::scanChunks (juce::InputStream& in)
{
    ChunkScan scan;
    char header[12] {};

    if (in.read (header, 12) != 12 || std::memcmp (header, "RIFF", 4) != 0 || std::memcmp (header + 8, "WAVE", 4) != 0)
        return scan;   // not a RIFF wave: the audio reader decides what it is

    const auto total = in.getTotalLength();

    // Walk the chunk list; a bounded number of chunks keeps a hostile file from costing much.
    for (int chunk = 0; chunk < maxChunks && ! in.isExhausted(); ++chunk)
    {
        char id[4] {};

        if (in.read (id, 4) != 4)
            break;

        const auto size = (juce::uint32) in.readInt();
        const auto dataStart = in.getPosition();
        const bool isAudio = std::memcmp (id, "data", 4) == 0;

        // A metadata chunk that claims more bytes than the file holds, or an absurd amount, is a
        // corrupt or hostile file: JUCE's reader would allocate and walk whatever it claims.
        if (! isAudio && ((total >= 0 && dataStart + (juce::int64) size > total) || size > maxMetadataChunk))
        {
            scan.sane = false;
            return scan;
        }

        if (std::memcmp (id, "clm ", 4) == 0 && scan.frameMarker == 0)
        {
            // Raw bytes, read as ASCII: the marker's text is untrusted and need not be valid UTF-8.
            char text[256] {};
            const auto length = in.read (text, (int) juce::jmin<juce::uint32> (size, sizeof (text)));
            const std::string_view view (text, (size_t) juce::jmax (0, length));
            const auto at = view.find ("<!>");

            if (at != std::string_view::npos)
            {
                int frame = 0, digits = 0;

                for (auto i = at + 3; i < view.size() && view[i] >= '0' && view[i] <= '9' && digits < 8; ++i, ++digits)
                    frame = frame * 10 + (view[i] - '0');

                const bool tooLong = at + 3 + (size_t) digits < view.size() && digits == 8
                                     && view[at + 3 + (size_t) digits] >= '0' && view[at + 3 + (size_t) digits] <= '9';
                scan.frameMarker = ! tooLong && frame > 0 && frame <= maxMarkedFrame ? frame : 0;
            }
        }

        if (! in.setPosition (dataStart + (juce::int64) size + (size & 1u)))
            break;
    }

    return scan;
}

std::optional<std::vector<float>> WaveFileReader::readCycle (const juce::File& file)
{
    if (! file.existsAsFile())
        return std::nullopt;

    juce::FileInputStream scanStream (file);

    if (! scanStream.openedOk())
        return std::nullopt;

    const auto scan = scanChunks (scanStream);

    if (! scan.sane)
        return std::nullopt;

    return readCycle (std::make_unique<juce::FileInputStream> (file), scan.frameMarker);
}

std::optional<std::vector<float>> WaveFileReader::readCycle (const void* data, size_t numBytes)
{
    juce::MemoryInputStream scanStream (data, numBytes, false);
    const auto scan = scanChunks (scanStream);

    if (! scan.sane)
        return std::nullopt;

    return readCycle (std::make_unique<juce::MemoryInputStream> (data, numBytes, false), scan.frameMarker);
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
