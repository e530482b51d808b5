#include "TestHelpers.h"

#include <cmath>
#include <complex>

TempWaveFolder::TempWaveFolder()
    : folder (juce::File::createTempFile ("ostrel-waves"))
{
    folder.createDirectory();
}

TempWaveFolder::~TempWaveFolder()
{
    folder.deleteRecursively();
}

juce::File TempWaveFolder::addWave (const juce::String& subfolder, const juce::String& name,
                                    const std::vector<float>& samples, int numChannels,
                                    const juce::String& frameMarker)
{
    auto dir = subfolder.isEmpty() ? folder : folder.getChildFile (subfolder);
    dir.createDirectory();
    auto file = dir.getChildFile (name);
    file.deleteFile();

    {
        juce::WavAudioFormat wav;
        std::unique_ptr<juce::OutputStream> out (file.createOutputStream().release());
        std::unique_ptr<juce::AudioFormatWriter> writer (wav.createWriterFor (out.get(), 48000.0, (unsigned int) numChannels, 32, {}, 0));
        out.release();
        juce::AudioBuffer<float> buffer (numChannels, (int) samples.size());

        for (int ch = 0; ch < numChannels; ++ch)
            for (size_t i = 0; i < samples.size(); ++i)
                buffer.setSample (ch, (int) i, ch == 0 ? samples[i] : -samples[i] * 0.5f);

        writer->writeFromAudioSampleBuffer (buffer, 0, buffer.getNumSamples());
    }

    if (frameMarker.isNotEmpty())
    {
        // Append a "clm " chunk and fix the RIFF size, as wavetable exporters do.
        juce::MemoryBlock data;
        file.loadFileAsData (data);
        juce::MemoryOutputStream chunk;
        chunk.write ("clm ", 4);
        const auto text = frameMarker.toStdString();
        chunk.writeInt ((int) text.size());
        chunk.write (text.data(), text.size());
        if (text.size() % 2 != 0) chunk.writeByte (0);
        data.append (chunk.getData(), chunk.getDataSize());
        auto riffSize = (juce::uint32) (data.getSize() - 8);
        data.copyFrom (&riffSize, 4, 4);
        file.replaceWithData (data.getData(), data.getSize());
    }

    return file;
}

juce::File TempWaveFolder::addRaw (const juce::String& subfolder, const juce::String& name, const juce::MemoryBlock& bytes)
{
    auto dir = folder.getChildFile (subfolder);
    dir.createDirectory();
    auto file = dir.getChildFile (name);

    if (bytes.getSize() == 0)
        file.create();
    else
        file.replaceWithData (bytes.getData(), bytes.getSize());

    return file;
}

std::vector<float> cycleOf (int n, const std::function<float (double)>& shape)
{
    std::vector<float> out ((size_t) n);

    for (int i = 0; i < n; ++i)
        out[(size_t) i] = shape ((double) i / n);

    return out;
}

std::vector<float> sineCycle (int n, float amplitude, int harmonic)
{
    return cycleOf (n, [=] (double p) { return amplitude * (float) std::sin (2.0 * juce::MathConstants<double>::pi * harmonic * p); });
}

std::vector<float> sawCycle (int n)
{
    return cycleOf (n, [] (double p) { return (float) (2.0 * p - 1.0); });
}

static std::complex<double> dftBin (const float* cycle, int n, int k)
{
    std::complex<double> sum;

    for (int t = 0; t < n; ++t)
    {
        const auto w = -2.0 * juce::MathConstants<double>::pi * k * t / n;
        sum += (double) cycle[t] * std::complex<double> (std::cos (w), std::sin (w));
    }

    return sum;
}

double harmonicMagnitude (const float* cycle, int n, int k)
{
    return std::abs (dftBin (cycle, n, k)) * (k == 0 ? 1.0 : 2.0) / n;
}

double harmonicPhase (const float* cycle, int n, int k)
{
    return std::arg (dftBin (cycle, n, k));
}

#include "core/PluginProcessor.h"

ProcessorDriver::ProcessorDriver (OstrelSynthAudioProcessor& p, double rate, int block, int channels)
    : processor (p), sampleRate (rate), blockSize (block), numChannels (channels)
{
    if (channels == 1)
    {
        auto layout = processor.getBusesLayout();
        layout.outputBuses.getReference (0) = juce::AudioChannelSet::mono();
        processor.setBusesLayout (layout);
    }

    processor.setRateAndBufferSizeDetails (rate, block);
    processor.prepareToPlay (rate, block);
}

void ProcessorDriver::set (const juce::String& id, float realValue)
{
    auto* param = processor.apvts.getParameter (id);
    jassert (param != nullptr);
    param->setValueNotifyingHost (param->convertTo0to1 (realValue));
}

juce::AudioBuffer<float> ProcessorDriver::render (int numSamples)
{
    juce::AudioBuffer<float> out (numChannels, numSamples);
    juce::AudioBuffer<float> block (numChannels, blockSize);

    for (int done = 0; done < numSamples; done += blockSize)
    {
        const int n = std::min (blockSize, numSamples - done);
        block.setSize (numChannels, n, false, false, true);
        juce::MidiBuffer midi;
        midi.swapWith (pending);
        processor.processBlock (block, midi);

        for (int ch = 0; ch < numChannels; ++ch)
            out.copyFrom (ch, done, block, ch, 0, n);
    }

    return out;
}

juce::MidiMessage noteOn (int channel, int note, juce::uint8 velocity)
{
    return juce::MidiMessage::noteOn (channel, note, velocity);
}

juce::MidiMessage noteOff (int channel, int note)
{
    return juce::MidiMessage::noteOff (channel, note);
}
