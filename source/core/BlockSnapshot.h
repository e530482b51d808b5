#pragma once

#include <juce_audio_basics/juce_audio_basics.h>
#include <array>
#include <atomic>

/** A copy of the most recently rendered output block, handed from the audio thread to the message
    thread without either side ever waiting (a triple buffer).

    prepare() runs while audio is stopped; write() runs on the audio thread and never allocates;
    read() runs on the message thread. A block longer than the prepared capacity is kept up to the
    capacity. */
class BlockSnapshot
{
public:
    BlockSnapshot() = default;

    void prepare (int numChannels, int samplesPerBlock, double sampleRate);

    /** Audio thread: publishes a copy of the block. Lock-free and allocation-free. */
    void write (const juce::AudioBuffer<float>& block) noexcept;

    /** Message thread: copies the latest published block into destination (resizing it) and returns
        the sample rate it was rendered at. An empty buffer means nothing has been rendered since the
        last prepare. */
    double read (juce::AudioBuffer<float>& destination);

    int getCapacity() const noexcept { return capacity; }

private:
    struct Slot
    {
        juce::AudioBuffer<float> buffer;
        int numChannels = 0;
        int numSamples = 0;
    };

    static constexpr int freshFlag = 4;
    static constexpr int minimumCapacity = 8192;

    std::array<Slot, 3> slots;
    std::atomic<int> shared { 1 };
    int writeSlot = 0;
    int readSlot = 2;
    int capacity = 0;
    std::atomic<double> sampleRate { 0.0 };
    juce::SpinLock readerLock;   // only between prepare() and read(), both off the audio thread

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BlockSnapshot)
};
