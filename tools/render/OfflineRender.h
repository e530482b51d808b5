#pragma once

#include "RenderOptions.h"

#include <functional>

/** Plays a MIDI file through a fresh OstrelSynth processor and writes the audio, offline, on the
    calling thread (which stands in for both the message thread and the audio thread). */
namespace OfflineRender
{
struct Summary
{
    double audioSeconds = 0.0;
    double cpuSeconds = 0.0;
    double secondsToFirstBlock = 0.0;
};

/** Runs the whole render. On failure the result holds the one-line reason, and no output file
    (audio or state) is left behind. progress receives the fraction done, from 0 to 1. */
/** One line per parameter, in the order hosts see them: ID, name, lowest and highest value and the
    default, separated by tabs. Fails only when the waveform folder given does not exist. */
juce::Result listParameters (const RenderOptions& options, juce::String& listing);

juce::Result run (const RenderOptions& options, Summary& summary, const std::function<void (double)>& progress);
} // namespace OfflineRender
