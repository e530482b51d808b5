#pragma once

#include <juce_audio_formats/juce_audio_formats.h>
#include <optional>
#include <vector>

/** Reads the single cycle that a wave file holds. Message thread (or any thread but the audio
    thread): it opens and reads files.

    The cycle is the file's first channel:
    - with a frame-length marker (a "clm " chunk whose text holds "<!>" and a length), its first frame;
    - otherwise, when the file holds at most maxWholeCycle samples, the whole file;
    - otherwise its first 1024 samples.
    A file that is missing, cannot be decoded, is empty, has no channels or more than maxChannels, or holds a NaN or an
    infinity, or a sample beyond maxSampleMagnitude, or a metadata chunk larger than the file,
    gives no cycle. */
class WaveFileReader
{
public:
    static constexpr int defaultCycle = 1024;
    static constexpr int maxWholeCycle = 4096;
    static constexpr int maxMarkedFrame = 1 << 16;
    static constexpr float maxSampleMagnitude = 1000.0f;
    static constexpr unsigned int maxChannels = 64;

    WaveFileReader();

    std::optional<std::vector<float>> readCycle (const juce::File& file);

    /** The same, from the bytes of a file held in memory. */
    std::optional<std::vector<float>> readCycle (const void* data, size_t numBytes);

    /** The frame length a WAV file's "clm " chunk marks, or 0 when it has none. */
    static int findFrameLengthMarker (const juce::File& file);
    static int findFrameLengthMarker (juce::InputStream& wavStream);

private:
    static constexpr int maxChunks = 1024;
    static constexpr juce::uint32 maxMetadataChunk = 16 * 1024 * 1024;

    struct ChunkScan
    {
        int frameMarker = 0;
        bool sane = true;
    };

    /** One walk of a WAV file's chunk list: the frame-length marker, and whether every metadata
        chunk fits in the file. */
    static ChunkScan scanChunks (juce::InputStream& wavStream);

    std::optional<std::vector<float>> readCycle (std::unique_ptr<juce::InputStream> audio, int frameMarker);

    juce::AudioFormatManager formatManager;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WaveFileReader)
};
