#include "BlockSnapshot.h"

void BlockSnapshot::prepare (int numChannels, int samplesPerBlock, double newSampleRate)
{
    const juce::SpinLock::ScopedLockType lock (readerLock);

    capacity = juce::jmax (samplesPerBlock, minimumCapacity);

    for (auto& slot : slots)
    {
        slot.buffer.setSize (juce::jmax (1, numChannels), capacity);
        slot.buffer.clear();
        slot.numChannels = 0;
        slot.numSamples = 0;
    }

    shared.store (1);
    writeSlot = 0;
    readSlot = 2;
    sampleRate.store (newSampleRate);
}

void BlockSnapshot::write (const juce::AudioBuffer<float>& block) noexcept
{
    auto& slot = slots[(size_t) writeSlot];
    const auto channels = juce::jmin (block.getNumChannels(), slot.buffer.getNumChannels());
    const auto samples = juce::jmin (block.getNumSamples(), capacity);

    for (int ch = 0; ch < channels; ++ch)
        slot.buffer.copyFrom (ch, 0, block, ch, 0, samples);   // a block flagged as cleared copies as silence

    slot.numChannels = channels;
    slot.numSamples = samples;

    writeSlot = shared.exchange (writeSlot | freshFlag, std::memory_order_acq_rel) & 3;
}

double BlockSnapshot::read (juce::AudioBuffer<float>& destination)
{
    const juce::SpinLock::ScopedLockType lock (readerLock);

    if ((shared.load (std::memory_order_acquire) & freshFlag) != 0)
        readSlot = shared.exchange (readSlot, std::memory_order_acq_rel) & 3;

    const auto& slot = slots[(size_t) readSlot];
    destination.setSize (slot.numChannels, slot.numSamples, false, false, true);

    for (int ch = 0; ch < slot.numChannels; ++ch)
        destination.copyFrom (ch, 0, slot.buffer, ch, 0, slot.numSamples);

    return sampleRate.load();
}
