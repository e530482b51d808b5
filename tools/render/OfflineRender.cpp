#include "OfflineRender.h"

#include "core/ParameterText.h"
#include "core/PluginProcessor.h"
#include "core/StateReader.h"
#include "engine/WaveFileReader.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <cmath>
#include <ctime>

namespace OfflineRender
{
namespace
{
constexpr double maxReleaseTail = 30.0;

juce::Result fail (const juce::String& message) { return juce::Result::fail (message); }

/** Every event of every track, in seconds, in time order. */
juce::Result readMidi (const juce::File& file, juce::MidiMessageSequence& events)
{
    if (! file.existsAsFile())
        return fail ("cannot read " + file.getFullPathName() + ": no such file");

    juce::FileInputStream in (file);

    if (! in.openedOk())
        return fail ("cannot read " + file.getFullPathName() + ": " + in.getStatus().getErrorMessage());

    juce::MidiFile midi;

    if (! midi.readFrom (in, true) || midi.getNumTracks() == 0)
        return fail (file.getFullPathName() + " is not a Standard MIDI File");

    midi.convertTimestampTicksToSeconds();

    for (int t = 0; t < midi.getNumTracks(); ++t)
        events.addSequence (*midi.getTrack (t), 0.0);

    events.sort();
    return juce::Result::ok();
}

juce::Result applyState (OstrelSynthAudioProcessor& processor, const juce::File& file)
{
    juce::MemoryBlock data;

    if (! file.existsAsFile() || ! file.loadFileAsData (data))
        return fail ("cannot read state file " + file.getFullPathName());

    const auto xml = StateReader::xmlFromBinary (data.getData(), (int) data.getSize());

    if (xml == nullptr || ! xml->getTagName().equalsIgnoreCase ("Parameters"))
        return fail ("state file " + file.getFullPathName() + " is not an OstrelSynth state: the processor would ignore it");

    processor.setStateInformation (data.getData(), (int) data.getSize());
    return juce::Result::ok();
}

juce::Result applySetting (OstrelSynthAudioProcessor& processor, const RenderOptions::Setting& setting)
{
    auto* parameter = processor.apvts.getParameter (setting.parameterId);

    if (parameter == nullptr)
        return fail ("unknown parameter ID " + setting.parameterId);

    const auto& range = parameter->getNormalisableRange();
    double value = 0.0;

    if (auto* choice = dynamic_cast<juce::AudioParameterChoice*> (parameter))
    {
        const auto named = choice->choices.indexOf (setting.value, true);

        if (named >= 0)
            value = named;
        else if (! ParameterText::parseFiniteNumber (setting.value, value) || value != std::floor (value))
            return fail ("no choice " + setting.value.quoted() + " for " + setting.parameterId
                         + " (choices: " + choice->choices.joinIntoString (", ") + ")");
    }
    else if (dynamic_cast<juce::AudioParameterBool*> (parameter) != nullptr)
    {
        const auto text = setting.value.toLowerCase();

        if (text == "on" || text == "true") value = 1.0;
        else if (text == "off" || text == "false") value = 0.0;
        else if (! ParameterText::parseFiniteNumber (text, value) || (value != 0.0 && value != 1.0))
            return fail ("value " + setting.value + " for " + setting.parameterId + " must be 0, 1, on or off");
    }
    else if (! ParameterText::parseFiniteNumber (setting.value, value))
    {
        return fail ("value " + setting.value.quoted() + " for " + setting.parameterId + " is not a number");
    }

    if (value < range.start || value > range.end)
        return fail ("value " + setting.value + " for " + setting.parameterId + " is out of range ("
                     + juce::String (range.start) + " to " + juce::String (range.end) + ")");

    parameter->setValueNotifyingHost (parameter->convertTo0to1 ((float) value));
    return juce::Result::ok();
}

int findModSource (const juce::String& name)
{
    static const juce::StringArray enumerators { "lfo1", "lfo2", "lfo3", "lfo4", "mpeTimbre", "mpePressure",
                                                 "mpeSlider", "mpeStrike", "mpeLift", "modEnv1", "modEnv2", "modEnv3" };
    const auto byName = Synth::getModSourceNames().indexOf (name, true);
    return byName >= 0 ? byName : enumerators.indexOf (name, true);
}

juce::Result applyModulation (OstrelSynthAudioProcessor& processor, const RenderOptions::Modulation& mod)
{
    const auto source = findModSource (mod.source);

    if (source < 0)
        return fail ("unknown modulation source " + mod.source.quoted() + " (sources: "
                     + Synth::getModSourceNames().joinIntoString (", ") + ")");

    auto* target = processor.apvts.getParameter (mod.targetId);

    if (target == nullptr)
        return fail ("unknown parameter ID " + mod.targetId);

    const auto entry = processor.synth.modAmounts.find (target);

    if (entry == processor.synth.modAmounts.end())
        return fail (mod.targetId + " is not a modulation target");

    entry->second[(size_t) source].store (mod.amount);
    return juce::Result::ok();
}

juce::Result handOverCustomCycle (OstrelSynthAudioProcessor& processor, const juce::File& file)
{
    WaveFileReader reader;
    const auto cycle = reader.readCycle (file);

    if (! cycle.has_value())
        return fail ("cannot read a cycle from " + file.getFullPathName());

    juce::AudioBuffer<float> buffer (1, (int) cycle->size());
    buffer.copyFrom (0, 0, cycle->data(), (int) cycle->size());

    for (auto* voice : processor.voices)
        voice->setCustomBuffer (buffer);

    return juce::Result::ok();
}

std::unique_ptr<juce::AudioFormatWriter> openWriter (juce::TemporaryFile& temp, const RenderOptions& options, int channels)
{
    std::unique_ptr<juce::OutputStream> stream (temp.getFile().createOutputStream().release());

    if (stream == nullptr)
        return nullptr;

    const int bits = options.bits == "16" ? 16 : options.bits == "24" ? 24 : 32;
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatWriter> writer (wav.createWriterFor (stream.get(), options.sampleRate, (unsigned int) channels, bits, {}, 0));

    if (writer != nullptr)
        stream.release();   // the writer owns it now

    return writer;
}

bool anyVoiceActive (const OstrelSynthAudioProcessor& processor)
{
    return std::any_of (processor.voices.begin(), processor.voices.end(), [] (const SynthVoice* v) { return v->isActive(); });
}

double processCpuSeconds()
{
    return (double) std::clock() / CLOCKS_PER_SEC;
}

std::unique_ptr<OstrelSynthAudioProcessor> createProcessor (const RenderOptions& options)
{
    return options.waveFolder.has_value() ? std::make_unique<OstrelSynthAudioProcessor> (*options.waveFolder)
                                          : std::make_unique<OstrelSynthAudioProcessor>();
}
} // namespace

juce::Result listParameters (const RenderOptions& options, juce::String& listing)
{
    if (options.waveFolder.has_value() && ! options.waveFolder->isDirectory())
        return fail ("waveform folder " + options.waveFolder->getFullPathName() + " does not exist");

    auto processor = createProcessor (options);

    for (auto* parameter : processor->getParameters())
    {
        if (auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (parameter))
        {
            const auto& range = ranged->getNormalisableRange();
            listing << ranged->getParameterID() << "\t" << ranged->getName (100) << "\t" << range.start << "\t"
                    << range.end << "\t" << range.convertFrom0to1 (ranged->getDefaultValue()) << "\n";
        }
    }

    return juce::Result::ok();
}

juce::Result run (const RenderOptions& options, Summary& summary, const std::function<void (double)>& progress)
{
    const auto started = juce::Time::getMillisecondCounterHiRes();

    juce::MidiMessageSequence events;

    if (auto r = readMidi (options.input, events); r.failed())
        return r;

    if (options.waveFolder.has_value() && ! options.waveFolder->isDirectory())
        return fail ("waveform folder " + options.waveFolder->getFullPathName() + " does not exist");

    // Both outputs are opened before any work, so a path that cannot be written fails at once.
    const auto parent = options.output.getParentDirectory();

    if (! parent.isDirectory())
        return fail ("cannot write " + options.output.getFullPathName() + ": folder " + parent.getFullPathName() + " does not exist");

    juce::TemporaryFile audioTemp (options.output, juce::TemporaryFile::useHiddenFile);
    std::unique_ptr<juce::TemporaryFile> stateTemp;

    if (options.saveStateFile.has_value())
    {
        if (! options.saveStateFile->getParentDirectory().isDirectory())
            return fail ("cannot write " + options.saveStateFile->getFullPathName() + ": its folder does not exist");

        stateTemp = std::make_unique<juce::TemporaryFile> (*options.saveStateFile, juce::TemporaryFile::useHiddenFile);

        if (! stateTemp->getFile().create())
            return fail ("cannot write " + options.saveStateFile->getFullPathName());
    }

    auto processor = createProcessor (options);
    const int channels = options.mono ? 1 : 2;

    if (options.mono)
    {
        auto layout = processor->getBusesLayout();
        layout.outputBuses.getReference (0) = juce::AudioChannelSet::mono();

        if (! processor->setBusesLayout (layout))
            return fail ("the processor refused a mono output");
    }

    if (options.stateFile.has_value())
        if (auto r = applyState (*processor, *options.stateFile); r.failed())
            return r;

    for (const auto& setting : options.settings)
        if (auto r = applySetting (*processor, setting); r.failed())
            return r;

    for (const auto& mod : options.modulations)
        if (auto r = applyModulation (*processor, mod); r.failed())
            return r;

    if (options.customCycle.has_value())
        if (auto r = handOverCustomCycle (*processor, *options.customCycle); r.failed())
            return r;

    auto writer = openWriter (audioTemp, options, channels);

    if (writer == nullptr)
        return fail ("cannot write " + options.output.getFullPathName());

    // Render.
    const auto rate = options.sampleRate;
    const auto block = options.blockSize;
    processor->setRateAndBufferSizeDetails (rate, block);
    processor->prepareToPlay (rate, block);

    const auto lastEventSample = (juce::int64) std::ceil ((events.getNumEvents() > 0 ? events.getEndTime() : 0.0) * rate);
    const auto tailEnd = options.tailSeconds.has_value() ? lastEventSample + (juce::int64) std::llround (*options.tailSeconds * rate)
                                                         : lastEventSample + (juce::int64) (maxReleaseTail * rate);
    const auto expectedEnd = options.tailSeconds.has_value() ? tailEnd : lastEventSample + (juce::int64) rate;

    juce::AudioBuffer<float> buffer (channels, block);
    juce::MidiBuffer midi;
    int nextEvent = 0;
    juce::int64 position = 0;
    const auto cpuAtStart = processCpuSeconds();

    while (position < tailEnd)
    {
        const auto length = (int) std::min<juce::int64> (block, tailEnd - position);
        buffer.setSize (channels, length, false, false, true);
        midi.clear();

        for (; nextEvent < events.getNumEvents(); ++nextEvent)
        {
            const auto& message = events.getEventPointer (nextEvent)->message;
            const auto at = (juce::int64) std::llround (message.getTimeStamp() * rate);

            if (at >= position + length)
                break;

            if (! message.isMetaEvent())
                midi.addEvent (message, (int) std::max<juce::int64> (0, at - position));
        }

        processor->processBlock (buffer, midi);

        if (position == 0)
            summary.secondsToFirstBlock = (juce::Time::getMillisecondCounterHiRes() - started) / 1000.0;

        if (! writer->writeFromAudioSampleBuffer (buffer, 0, length))
            return fail ("cannot write " + options.output.getFullPathName() + " (disk full?)");

        position += length;

        if (progress != nullptr)
            progress (juce::jlimit (0.0, 1.0, (double) position / (double) std::max<juce::int64> (1, expectedEnd)));

        if (! options.tailSeconds.has_value() && position >= lastEventSample && nextEvent >= events.getNumEvents()
            && ! anyVoiceActive (*processor))
            break;
    }

    summary.cpuSeconds = processCpuSeconds() - cpuAtStart;
    summary.audioSeconds = (double) position / rate;
    writer.reset();   // completes the WAV header

    if (! audioTemp.overwriteTargetFileWithTemporary())
        return fail ("cannot write " + options.output.getFullPathName());

    if (stateTemp != nullptr)
    {
        juce::MemoryBlock state;
        processor->getStateInformation (state);

        if (! stateTemp->getFile().replaceWithData (state.getData(), state.getSize())
            || ! stateTemp->overwriteTargetFileWithTemporary())
        {
            options.output.deleteFile();
            return fail ("cannot write " + options.saveStateFile->getFullPathName());
        }
    }

    return juce::Result::ok();
}
} // namespace OfflineRender
