#pragma once

#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include "SignalMeasures.h"

#include <functional>
#include <vector>

/** A "Waveform Files" folder in a temporary directory, removed when the fixture goes. */
class TempWaveFolder
{
public:
    TempWaveFolder();
    ~TempWaveFolder();

    const juce::File& getFolder() const { return folder; }

    /** Writes a mono (or multi-channel) 32-bit float WAV at subfolder/name. */
    juce::File addWave (const juce::String& subfolder, const juce::String& name,
                        const std::vector<float>& samples, int numChannels = 1,
                        const juce::String& frameMarker = {});

    /** Writes raw bytes at subfolder/name (for files that are not audio). */
    juce::File addRaw (const juce::String& subfolder, const juce::String& name, const juce::MemoryBlock& bytes);

private:
    juce::File folder;
};

/** One period of a waveform as a function of phase in [0, 1), sampled at n points. */
std::vector<float> cycleOf (int n, const std::function<float (double)>& shape);
std::vector<float> sineCycle (int n = 1024, float amplitude = 1.0f, int harmonic = 1);
std::vector<float> sawCycle (int n = 1024);

/** Magnitude of harmonic k of one cycle held in n samples (DFT, amplitude-scaled: a unit sine gives 1). */
double harmonicMagnitude (const float* cycle, int n, int k);
double harmonicPhase (const float* cycle, int n, int k);

class OstrelSynthAudioProcessor;

/** Drives a processor like a host: prepared at a sample rate, rendering blocks with MIDI. */
class ProcessorDriver
{
public:
    ProcessorDriver (OstrelSynthAudioProcessor& processor, double sampleRate = 48000.0, int blockSize = 512, int numChannels = 2);

    /** Sets a parameter to a real value. */
    void set (const juce::String& id, float realValue);

    /** Queues a MIDI message for the start of the next rendered block. */
    void send (const juce::MidiMessage& message) { pending.addEvent (message, 0); }

    /** Renders numSamples more samples and returns them (all channels). */
    juce::AudioBuffer<float> render (int numSamples);

    OstrelSynthAudioProcessor& processor;
    const double sampleRate;
    const int blockSize;
    const int numChannels;

private:
    juce::MidiBuffer pending;
};

/** MPE note-on on a member channel (2..16), 14-bit velocity as 7-bit. */
juce::MidiMessage noteOn (int channel, int note, juce::uint8 velocity = 100);
juce::MidiMessage noteOff (int channel, int note);
