#pragma once

#include <juce_core/juce_core.h>

#include <optional>
#include <variant>
#include <vector>

/** What one run of ostrel-render is asked to do, as read from its command line. */
struct RenderOptions
{
    struct Setting { juce::String parameterId; juce::String value; };
    struct Modulation { juce::String source; juce::String targetId; float amount = 0.0f; };

    juce::File input;
    juce::File output;
    double sampleRate = 48000.0;
    int blockSize = 512;
    std::optional<double> tailSeconds;   // none: until every voice is idle
    std::optional<juce::File> stateFile;
    std::vector<Setting> settings;
    std::vector<Modulation> modulations;
    std::optional<juce::File> waveFolder;
    std::optional<juce::File> customCycle;
    juce::String bits = "24";
    bool mono = false;
    std::optional<juce::File> saveStateFile;
    bool quiet = false;
    bool showHelp = false;
    bool listParameters = false;   // print the parameters and stop; no MIDI file needed
};

/** A command line that cannot be run: the one-line message says why. */
struct UsageError
{
    juce::String message;
};

/** Reads the arguments (without the program name). Returns the options, or the usage error. */
std::variant<RenderOptions, UsageError> parseRenderOptions (const juce::StringArray& args);

/** The --help text. */
juce::String renderHelpText();
