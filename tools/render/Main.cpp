// ostrel-render: plays a MIDI file through OstrelSynth and writes a WAV file.
#include "OfflineRender.h"

#include <juce_events/juce_events.h>

#include <iostream>
#include <unistd.h>

namespace
{
void drawProgress (double fraction)
{
    constexpr int width = 40;
    const int filled = (int) (fraction * width);
    std::cerr << "\r[" << std::string ((size_t) filled, '#') << std::string ((size_t) (width - filled), '.') << "] "
              << (int) (fraction * 100.0) << "%" << std::flush;
}
} // namespace

int main (int argc, char** argv)
{
    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add (juce::String::fromUTF8 (argv[i]));

    const auto parsed = parseRenderOptions (args);

    if (const auto* error = std::get_if<UsageError> (&parsed))
    {
        std::cerr << "ostrel-render: " << error->message << std::endl;
        return 2;
    }

    const auto& options = std::get<RenderOptions> (parsed);

    if (options.showHelp)
    {
        std::cout << renderHelpText();
        return 0;
    }

    // The parameter tree expects JUCE's message manager to exist; no window is ever opened.
    juce::ScopedJuceInitialiser_GUI juce;

    if (options.listParameters)
    {
        juce::String listing;
        const auto listed = OfflineRender::listParameters (options, listing);

        if (listed.failed())
        {
            std::cerr << "ostrel-render: " << listed.getErrorMessage() << std::endl;
            return 1;
        }

        std::cout << listing;
        return 0;
    }

    const bool showProgress = ! options.quiet && isatty (STDERR_FILENO);
    OfflineRender::Summary summary;
    const auto result = OfflineRender::run (options, summary, showProgress ? drawProgress : std::function<void (double)>());

    if (showProgress)
        std::cerr << "\r" << std::string (48, ' ') << "\r" << std::flush;

    if (result.failed())
    {
        std::cerr << "ostrel-render: " << result.getErrorMessage() << std::endl;
        return 1;
    }

    const auto factor = summary.cpuSeconds > 0.0 ? summary.audioSeconds / summary.cpuSeconds : 0.0;
    std::cout << "rendered " << juce::String (summary.audioSeconds, 2) << " s of audio in "
              << juce::String (summary.cpuSeconds, 3) << " s of CPU ("
              << juce::String (factor, 1) << "x real time); first block after "
              << juce::String (summary.secondsToFirstBlock * 1000.0, 1) << " ms" << std::endl;
    return 0;
}
