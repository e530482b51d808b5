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
    infinity, or a sample beyond maxSampleMagnitude, gives no cycle. */
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
    std::optional<std::vector<float>> readCycle (std::unique_ptr<juce::InputStream> audio, int frameMarker);

    juce::AudioFormatManager formatManager;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WaveFileReader)
};
