#include "RenderOptions.h"
#include "core/ParameterText.h"

#include <cmath>

namespace
{
juce::File fileArgument (const juce::String& path)
{
    return juce::File::getCurrentWorkingDirectory().getChildFile (path);
}
} // namespace

std::variant<RenderOptions, UsageError> parseRenderOptions (const juce::StringArray& args)
{
    RenderOptions options;
    bool haveInput = false, haveOutput = false;

    for (int i = 0; i < args.size(); ++i)
    {
        const auto& arg = args[i];

        auto value = [&] () -> std::optional<juce::String>
        {
            if (i + 1 >= args.size())
                return std::nullopt;
            return args[++i];
        };

        auto needs = [&] (const char* what) { return UsageError { arg + " needs " + what }; };

        if (arg == "--help" || arg == "-h")
        {
            options.showHelp = true;
            return options;
        }
        else if (arg == "-o" || arg == "--output")
        {
            auto v = value();
            if (! v) return needs ("an output file");
            options.output = fileArgument (*v);
            haveOutput = true;
        }
        else if (arg == "--rate")
        {
            double rate = 0;
            auto v = value();
            if (! v || ! ParameterText::parseFiniteNumber (*v, rate) || rate < 8000.0 || rate > 384000.0)
                return UsageError { "--rate needs a sample rate from 8000 to 384000" };
            options.sampleRate = rate;
        }
        else if (arg == "--block")
        {
            double block = 0;
            auto v = value();
            if (! v || ! ParameterText::parseFiniteNumber (*v, block) || block < 1 || block > 65536 || block != std::floor (block))
                return UsageError { "--block needs a whole number of samples from 1 to 65536" };
            options.blockSize = (int) block;
        }
        else if (arg == "--tail")
        {
            double tail = 0;
            auto v = value();
            if (! v || ! ParameterText::parseFiniteNumber (*v, tail) || tail < 0.0 || tail > 600.0)
                return UsageError { "--tail needs a number of seconds from 0 to 600" };
            options.tailSeconds = tail;
        }
        else if (arg == "--state")
        {
            auto v = value();
            if (! v) return needs ("a state file");
            options.stateFile = fileArgument (*v);
        }
        else if (arg == "--save-state")
        {
            auto v = value();
            if (! v) return needs ("a file to write the state to");
            options.saveStateFile = fileArgument (*v);
        }
        else if (arg == "--set")
        {
            auto v = value();
            if (! v || ! v->containsChar ('='))
                return UsageError { "--set needs ID=VALUE, for example --set FILTER1CUTOFF=800" };
            options.settings.push_back ({ v->upToFirstOccurrenceOf ("=", false, false).trim(),
                                          v->fromFirstOccurrenceOf ("=", false, false).trim() });
        }
        else if (arg == "--mod")
        {
            auto v = value();
            double amount = 0;

            if (! v || ! v->containsChar (':') || ! v->containsChar ('='))
                return UsageError { "--mod needs SOURCE:TARGET=AMOUNT, for example --mod LFO1:FILTER1CUTOFF=0.5" };

            const auto source = v->upToFirstOccurrenceOf (":", false, false).trim().unquoted();
            const auto rest = v->fromFirstOccurrenceOf (":", false, false);
            const auto target = rest.upToLastOccurrenceOf ("=", false, false).trim();

            if (! ParameterText::parseFiniteNumber (rest.fromLastOccurrenceOf ("=", false, false), amount) || amount < -1.0 || amount > 1.0)
                return UsageError { "--mod amount must be a number from -1 to 1: " + *v };

            options.modulations.push_back ({ source, target, (float) amount });
        }
        else if (arg == "--waves")
        {
            auto v = value();
            if (! v) return needs ("a waveform folder");
            options.waveFolder = fileArgument (*v);
        }
        else if (arg == "--custom")
        {
            auto v = value();
            if (! v) return needs ("a WAV file holding one cycle");
            options.customCycle = fileArgument (*v);
        }
        else if (arg == "--bits")
        {
            auto v = value();
            if (! v || ! (*v == "16" || *v == "24" || *v == "32f"))
                return UsageError { "--bits must be 16, 24 or 32f" };
            options.bits = *v;
        }
        else if (arg == "--mono")
        {
            options.mono = true;
        }
        else if (arg == "--list-parameters")
        {
            options.listParameters = true;
        }
        else if (arg == "--quiet" || arg == "-q")
        {
            options.quiet = true;
        }
        else if (arg.startsWith ("-"))
        {
            return UsageError { "unknown option " + arg + " (see --help)" };
        }
        else if (! haveInput)
        {
            options.input = fileArgument (arg);
            haveInput = true;
        }
        else
        {
            return UsageError { "unexpected argument " + arg + " (one MIDI file at a time)" };
        }
    }

    if (options.listParameters)
        return options;

    if (! haveInput)
        return UsageError { "no MIDI file given (usage: ostrel-render INPUT.mid -o OUTPUT.wav; see --help)" };

    if (! haveOutput)
        return UsageError { "no output file given (use -o OUTPUT.wav)" };

    return options;
}

juce::String renderHelpText()
{
    return R"(ostrel-render: play a MIDI file through OstrelSynth and write the audio to a WAV file.

Usage:
  ostrel-render INPUT.mid -o OUTPUT.wav [options]

The MIDI file (format 0 or 1) is played as the standalone app would play it: MPE on a lower zone,
channel 1 the manager channel and channels 2 to 16 the member channels, so per-note pitch bend,
channel pressure and CC74 (timbre) act on each note of an MPE recording. After the last event the
render goes on until every voice has finished its release (at most 30 s), unless --tail is given.

Options:
  -o, --output FILE        the WAV file to write (required)
  --rate HZ                sample rate (default 48000)
  --block SAMPLES          host block size (default 512)
  --tail SECONDS           render exactly this long after the last MIDI event
  --state FILE             start from a saved state (the bytes the app's "Save current state..." writes)
  --set ID=VALUE           set a parameter to a real value; repeatable. Choices take an index or a name
                           (--set OSC1TYPE=Saw), switches 0/1 or on/off
  --mod SOURCE:TARGET=AMOUNT
                           set a modulation amount from -1 to 1; repeatable. SOURCE is a source's name or
                           enumerator (LFO1, lfo1, "Mod Envelope 1", modEnv1, "MPE Slider", mpeSlider);
                           TARGET is a parameter ID
  --waves FOLDER           use this waveform folder instead of the machine-wide one
  --custom FILE.wav        hand this cycle to the voices as the drawn "Custom" wave
  --bits 16|24|32f         output sample format (default 24)
  --mono                   render one channel instead of two
  --save-state FILE        write the final state, which the app can load
  --list-parameters        print every parameter (ID, name, range, default), in the order hosts see
                           them, and exit; the choices of the wave types come from --waves
  -q, --quiet              no progress bar
  -h, --help               this text

Examples:
  ostrel-render song.mid -o song.wav
  ostrel-render pad.mid -o pad.wav --set OSC1UNISONVOICES=8 --set FILTER1BYPASS=1 --set FILTER1CUTOFF=800
  ostrel-render lead.mid -o lead.wav --state lead.state --mod "MPE Slider":OSC1SEMI=0.1 --bits 32f
  ostrel-render test.mid -o test.wav --waves ./my-waves --custom drawn.wav --set OSC1TYPE=Custom

Exit status: 0 on success; 1 when an input cannot be used or the output cannot be written; 2 for a
command line that cannot be run. Errors are one line on standard error, and no output file is left.
)";
}
