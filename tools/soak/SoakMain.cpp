// ostrel_soak: plays OstrelSynth for a given time with everything randomised (MPE MIDI on every
// channel, every parameter over its whole range as "Randomize" does, modulation amounts, drawn
// cycles, host blocks from 1 to 4096 samples) and checks that every sample is finite and bounded
// and that blocks render well inside their own duration.
//
// Usage: ostrel_soak [--seconds N] [--seed S] [--waves FOLDER]   (default 600 s of wall time)
#include "core/PluginProcessor.h"

#include <juce_events/juce_events.h>

#include <chrono>
#include <cmath>
#include <iostream>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int maxBlock = 4096;
constexpr float sampleBound = 100.0f;

juce::AudioBuffer<float> randomCycle (juce::Random& random)
{
    juce::AudioBuffer<float> cycle (1, 1024);
    cycle.clear();
    const int harmonics = 1 + random.nextInt (40);

    for (int h = 1; h <= harmonics; ++h)
    {
        const float amplitude = random.nextFloat() / (float) h;
        const float phase = random.nextFloat() * juce::MathConstants<float>::twoPi;

        for (int i = 0; i < 1024; ++i)
            cycle.addSample (0, i, amplitude * std::sin (juce::MathConstants<float>::twoPi * (float) (h * i) / 1024.0f + phase));
    }

    return cycle;
}

/** Notes held down, as a player's fingers would: every note-on is released by a matching note-off. */
struct HeldNote { int channel, note; };
constexpr int maxHeld = 24;

void randomMidi (juce::Random& random, juce::MidiBuffer& midi, int blockLength, std::vector<HeldNote>& held)
{
    const int events = random.nextInt (6);

    for (int e = 0; e < events; ++e)
    {
        const int channel = 1 + random.nextInt (16);
        const int at = random.nextInt (blockLength);

        switch (random.nextInt (6))
        {
            case 0:
                if ((int) held.size() < maxHeld)
                {
                    held.push_back ({ channel, 24 + random.nextInt (84) });
                    midi.addEvent (juce::MidiMessage::noteOn (channel, held.back().note, (juce::uint8) (1 + random.nextInt (127))), at);
                }
                break;
            case 1:
                if (! held.empty())
                {
                    const auto index = (size_t) random.nextInt ((int) held.size());
                    midi.addEvent (juce::MidiMessage::noteOff (held[index].channel, held[index].note, (juce::uint8) random.nextInt (128)), at);
                    held.erase (held.begin() + (std::ptrdiff_t) index);
                }
                break;
            case 2: midi.addEvent (juce::MidiMessage::pitchWheel (channel, random.nextInt (16384)), at); break;
            case 3: midi.addEvent (juce::MidiMessage::channelPressureChange (channel, random.nextInt (128)), at); break;
            case 4: midi.addEvent (juce::MidiMessage::controllerEvent (channel, 74, random.nextInt (128)), at); break;
            default: midi.addEvent (juce::MidiMessage::controllerEvent (channel, random.nextInt (120), random.nextInt (128)), at); break;
        }
    }
}
} // namespace

int main (int argc, char** argv)
{
    double seconds = 600.0;
    juce::int64 seed = 1;
    juce::File waves = juce::File::getCurrentWorkingDirectory().getChildFile ("build/Waveform Files");

    for (int i = 1; i + 1 < argc; i += 2)
    {
        const juce::String option (argv[i]), value (argv[i + 1]);
        if (option == "--seconds") seconds = value.getDoubleValue();
        else if (option == "--seed") seed = value.getLargeIntValue();
        else if (option == "--waves") waves = juce::File::getCurrentWorkingDirectory().getChildFile (value);
        else { std::cerr << "usage: ostrel_soak [--seconds N] [--seed S] [--waves FOLDER]" << std::endl; return 2; }
    }

    juce::ScopedJuceInitialiser_GUI juce;
    OstrelSynthAudioProcessor processor (waves);
    processor.setRateAndBufferSizeDetails (sampleRate, maxBlock);
    processor.prepareToPlay (sampleRate, maxBlock);

    juce::Random random (seed);
    juce::AudioBuffer<float> buffer (2, maxBlock);
    juce::MidiBuffer midi;
    std::vector<HeldNote> held;
    const auto& params = processor.getParameters();
    const auto& targets = processor.synth.getModTargets();

    long blocks = 0, samples = 0, badSamples = 0, timedBlocks = 0, overQuarter = 0, overWhole = 0;
    double longestBlockMs = 0.0, longestRatio = 0.0, totalRenderSeconds = 0.0;
    int longestBlockLength = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double> (seconds);

    std::cout << "soak: " << seconds << " s, seed " << seed << ", " << processor.getWaveLibrary().getNumWaves()
              << " waves from " << waves.getFullPathName() << std::endl;

    while (std::chrono::steady_clock::now() < deadline)
    {
        // Now and then: "Randomize", new modulation amounts, a new drawn cycle.
        if (random.nextInt (200) == 0)
            for (auto* p : params)
                p->setValueNotifyingHost (random.nextFloat());

        if (random.nextInt (20) == 0)
            processor.synth.getModAmounts (random.nextInt ((int) targets.size()))[(size_t) random.nextInt (Synth::numModSources)]
                = random.nextFloat() * 2.0f - 1.0f;

        if (random.nextInt (300) == 0)
        {
            const auto cycle = randomCycle (random);
            for (auto* v : processor.voices)
                v->setCustomBuffer (cycle);
        }

        const int length = random.nextInt (8) == 0 ? 1 + random.nextInt (maxBlock) : 1 + random.nextInt (1024);
        buffer.setSize (2, length, false, false, true);
        midi.clear();
        randomMidi (random, midi, length, held);

        const auto start = std::chrono::steady_clock::now();
        processor.processBlock (buffer, midi);
        const double elapsed = std::chrono::duration<double> (std::chrono::steady_clock::now() - start).count();

        totalRenderSeconds += elapsed;
        ++blocks;
        samples += length;

        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < length; ++i)
            {
                const auto x = buffer.getSample (ch, i);
                if (! std::isfinite (x) || std::abs (x) > sampleBound)
                    ++badSamples;
            }

        const double duration = length / sampleRate;

        if (elapsed * 1000.0 > longestBlockMs)
        {
            longestBlockMs = elapsed * 1000.0;
            longestBlockLength = length;
        }

        // Blocks shorter than a sub-block still pay a whole control update, so the budget is
        // checked on blocks of 64 samples or more.
        if (length >= 64)
        {
            ++timedBlocks;
            longestRatio = std::max (longestRatio, elapsed / duration);
            overQuarter += elapsed > duration / 4.0 ? 1 : 0;
            if (elapsed > duration)
            {
                ++overWhole;
                std::cout << "soak: block " << blocks << " of " << length << " samples took "
                          << juce::String (elapsed * 1000.0, 3) << " ms" << std::endl;
            }
        }
    }

    std::cout << "soak: " << blocks << " blocks, " << juce::String (samples / sampleRate, 1) << " s of audio in "
              << juce::String (totalRenderSeconds, 2) << " s (" << juce::String (samples / sampleRate / totalRenderSeconds, 1)
              << "x real time)" << std::endl
              << "soak: longest block " << juce::String (longestBlockMs, 3) << " ms (" << longestBlockLength << " samples); "
              << "worst time/duration for blocks of 64+ samples " << juce::String (longestRatio, 3) << std::endl
              << "soak: " << badSamples << " bad samples, " << overQuarter << " of " << timedBlocks
              << " blocks over a quarter of their duration, " << overWhole << " over their whole duration" << std::endl;

    // A scheduler hiccup on a shared machine can stretch a rare block; a real fault stretches many.
    // So: at most one block in a thousand over a quarter of its duration, one in ten thousand over
    // its whole duration.
    const bool tooSlow = overQuarter * 1000 > timedBlocks || overWhole * 10000 > timedBlocks;

    if (badSamples > 0 || tooSlow)
    {
        std::cout << "soak: FAILED" << std::endl;
        return 1;
    }

    std::cout << "soak: passed" << std::endl;
    return 0;
}
