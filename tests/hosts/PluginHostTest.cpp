// Loads the built VST3 and LV2 bundles from disk through JUCE's plug-in hosting, as a host does, and
// plays them. Paths come from CTest: OSTREL_VST3 and OSTREL_LV2 (the bundles) and OSTREL_RENDER (the
// command-line renderer, which runs the processor without any plug-in wrapper).
#include "SignalMeasures.h"
#include "StackAttribution.h"
#include "rt/RealtimeHooks.h"

#include <gtest/gtest.h>
#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <dlfcn.h>
#include <link.h>
#include <map>
#include <thread>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;
const juce::String lv2Uri = "https://tavik.audio/plugins/ostrelsynth";

juce::File fileFromEnvironment (const char* name)
{
    const auto path = juce::SystemStats::getEnvironmentVariable (name, {});
    return path.isEmpty() ? juce::File() : juce::File (path);
}

juce::AudioPluginFormatManager& formatManager()
{
    static juce::AudioPluginFormatManager manager;

    if (manager.getNumFormats() == 0)
        manager.addDefaultFormats();

    return manager;
}

juce::AudioPluginFormat* findFormat (const juce::String& name)
{
    for (auto* format : formatManager().getFormats())
        if (format->getName() == name)
            return format;

    return nullptr;
}

/** The shared object inside a bundle that the host loads. */
juce::File pluginBinary (const juce::String& formatName)
{
    return formatName == "VST3" ? fileFromEnvironment ("OSTREL_VST3").getChildFile ("Contents/x86_64-linux/OstrelSynth.so")
                                : fileFromEnvironment ("OSTREL_LV2").getChildFile ("libOstrelSynth.so");
}

/** Every loaded object whose file is called like the plug-in's binary. */
juce::StringArray loadedPluginObjects()
{
    juce::StringArray found;
    dl_iterate_phdr ([] (dl_phdr_info* info, size_t, void* out) -> int
                     {
                         const juce::String path (info->dlpi_name);

                         if (path.endsWith ("OstrelSynth.so"))
                             static_cast<juce::StringArray*> (out)->add (juce::File (path).getFullPathName());

                         return 0;
                     },
                     &found);
    return found;
}

std::unique_ptr<juce::AudioPluginInstance> loadPlugin (const juce::String& formatName, juce::String& error)
{
    auto* format = findFormat (formatName);

    if (format == nullptr)
    {
        error = "this host has no " + formatName + " support";
        return nullptr;
    }

    juce::OwnedArray<juce::PluginDescription> found;

    if (formatName == "VST3")
    {
        format->findAllTypesForFile (found, fileFromEnvironment ("OSTREL_VST3").getFullPathName());
    }
    else
    {
        format->searchPathsForPlugins (juce::FileSearchPath (fileFromEnvironment ("OSTREL_LV2").getParentDirectory().getFullPathName()), false, false);
        format->findAllTypesForFile (found, lv2Uri);
    }

    if (found.isEmpty())
    {
        error = formatName + ": no plug-in found";
        return nullptr;
    }

    auto instance = formatManager().createPluginInstance (*found[0], sampleRate, blockSize, error);

    if (instance != nullptr)
    {
        instance->enableAllBuses();
        instance->setRateAndBufferSizeDetails (sampleRate, blockSize);
        instance->prepareToPlay (sampleRate, blockSize);
    }

    return instance;
}

/** Renders a MIDI sequence (timestamps in seconds) the way ostrel-render does: host blocks of
    blockSize, each event at the sample its time rounds to. */
juce::AudioBuffer<float> render (juce::AudioProcessor& plugin, const juce::MidiMessageSequence& events, int totalSamples)
{
    const int channels = plugin.getTotalNumOutputChannels();
    juce::AudioBuffer<float> out (channels, totalSamples), block (channels, blockSize);
    juce::MidiBuffer midi;
    int nextEvent = 0;

    for (int position = 0; position < totalSamples; position += blockSize)
    {
        const int length = std::min (blockSize, totalSamples - position);
        block.setSize (channels, length, false, false, true);
        block.clear();
        midi.clear();

        for (; nextEvent < events.getNumEvents(); ++nextEvent)
        {
            const auto& message = events.getEventPointer (nextEvent)->message;
            const auto at = (int) std::llround (message.getTimeStamp() * sampleRate);

            if (at >= position + length)
                break;

            if (! message.isMetaEvent())
                midi.addEvent (message, std::max (0, at - position));
        }

        plugin.processBlock (block, midi);

        for (int ch = 0; ch < channels; ++ch)
            out.copyFrom (ch, position, block, ch, 0, length);
    }

    return out;
}

/** An MPE phrase on member channels: two notes, a per-note bend, pressure and timbre on each.
    Timestamps in samples. JUCE's VST3 host hands MIDI controllers (bend, pressure, CC) to a plug-in
    as parameter changes at the start of the block, whatever their sample; so controllers fall on
    block boundaries here, where every host delivers them at the same sample. Notes fall anywhere. */
juce::MidiMessageSequence mpePhraseInSamples()
{
    juce::MidiMessageSequence seq;
    auto at = [&] (int sample, juce::MidiMessage m) { m.setTimeStamp (sample); seq.addEvent (m); };
    at (100, juce::MidiMessage::noteOn (2, 57, (juce::uint8) 100));
    at (9 * blockSize, juce::MidiMessage::channelPressureChange (2, 90));
    at (12345, juce::MidiMessage::noteOn (3, 64, (juce::uint8) 80));
    at (28 * blockSize, juce::MidiMessage::pitchWheel (2, 8192 + 2048));
    at (38 * blockSize, juce::MidiMessage::controllerEvent (3, 74, 100));
    at (47 * blockSize, juce::MidiMessage::channelPressureChange (3, 40));
    at (33601, juce::MidiMessage::noteOff (2, 57));
    at (43210, juce::MidiMessage::noteOff (3, 64));
    seq.updateMatchedPairs();
    return seq;
}

juce::MidiMessageSequence mpePhrase()
{
    auto seq = mpePhraseInSamples();

    for (auto* event : seq)
        event->message.setTimeStamp (event->message.getTimeStamp() / sampleRate);

    return seq;
}

/** The parameters as the processor itself lists them: ID and name, in host order. */
const std::vector<std::pair<juce::String, juce::String>>& processorParameters()
{
    static std::vector<std::pair<juce::String, juce::String>> result;

    if (! result.empty())
        return result;

    juce::ChildProcess renderer;

    if (! renderer.start (juce::StringArray { fileFromEnvironment ("OSTREL_RENDER").getFullPathName(), "--list-parameters" }))
        return result;

    juce::StringArray lines;
    lines.addLines (renderer.readAllProcessOutput());
    lines.removeEmptyStrings();

    for (const auto& line : lines)
    {
        juce::StringArray fields;
        fields.addTokens (line, "\t", {});
        result.emplace_back (fields[0], fields[1]);
    }

    return result;
}

/** The ID a host sees for a product parameter: the VST3 wrapper hashes it; LV2 makes it a URI,
    which JUCE's LV2 host marks as a parameter described in the plug-in's data ("des:"). */
juce::String hostParameterId (const juce::String& formatName, const juce::String& id)
{
    if (formatName == "LV2")
        return "des:" + lv2Uri + ":" + id;

    // JUCE's VST3 wrapper: the string's hash with the top bit cleared (hosts that reject negative IDs).
    return juce::String ((juce::uint32) id.hashCode() & 0x7fffffffu);
}

/** The hosted plug-in's view of the product's parameters, in the processor's order. */
std::vector<juce::AudioProcessorParameter*> productParameters (juce::AudioPluginInstance& plugin, const juce::String& formatName)
{
    std::map<juce::String, juce::AudioProcessorParameter*> byId;

    for (auto* parameter : plugin.getParameters())
        if (auto* hosted = dynamic_cast<juce::HostedAudioProcessorParameter*> (parameter))
            byId[hosted->getParameterID()] = parameter;

    std::vector<juce::AudioProcessorParameter*> result;

    for (const auto& entry : processorParameters())
        if (auto it = byId.find (hostParameterId (formatName, entry.first)); it != byId.end())
            result.push_back (it->second);

    return result;
}

/** Hosts install an X error handler that reports and carries on; without one, Xlib ends the
    process at the first error (as when JUCE asks a server without a window manager for WM_STATE). */
class TolerateXErrors : public ::testing::Environment
{
public:
    void SetUp() override
    {
        using Handler = int (*) (void*, void*);
        using SetHandler = Handler (*) (Handler);

        if (auto* x11 = dlopen ("libX11.so.6", RTLD_NOW | RTLD_GLOBAL))
            if (auto set = reinterpret_cast<SetHandler> (dlsym (x11, "XSetErrorHandler")))
                set ([] (void*, void*) { ++errors; return 0; });
    }

    void TearDown() override
    {
        if (errors > 0)
            std::cout << "[ host     ] the X server reported " << errors << " errors, ignored as hosts do" << std::endl;
    }

    static inline std::atomic<int> errors { 0 };
};

[[maybe_unused]] const auto* const xErrors = ::testing::AddGlobalTestEnvironment (new TolerateXErrors);

class PluginInHost : public ::testing::TestWithParam<const char*>
{
protected:
    void SetUp() override
    {
        formatName = GetParam();
        juce::String error;
        plugin = loadPlugin (formatName, error);
        ASSERT_NE (plugin, nullptr) << error.toStdString();
    }

    void TearDown() override
    {
        if (plugin != nullptr)
            plugin->releaseResources();
    }

    juce::String formatName;
    std::unique_ptr<juce::AudioPluginInstance> plugin;
};

TEST_P (PluginInHost, RunsTheBuiltBinaryAndShowsTheProductsParameters)
{
    // A copy installed where hosts look would hide the build under test.
    EXPECT_TRUE (loadedPluginObjects().contains (pluginBinary (formatName).getFullPathName()))
        << "loaded: " << loadedPluginObjects().joinIntoString (", ").toStdString();

    EXPECT_EQ (plugin->getName(), "OstrelSynth");
    EXPECT_TRUE (plugin->getPluginDescription().isInstrument);
    EXPECT_EQ (plugin->getTotalNumOutputChannels(), 2);

    const auto expected = processorParameters();
    ASSERT_EQ (expected.size(), 81u) << "ostrel-render --list-parameters gave no list";

    // Hosts find parameters by ID: JUCE's LV2 host lists them in URI order, its VST3 host in the
    // plug-in's order.
    std::map<juce::String, juce::String> hostedNames;

    for (auto* parameter : plugin->getParameters())
        if (auto* hosted = dynamic_cast<juce::HostedAudioProcessorParameter*> (parameter))
            hostedNames[hosted->getParameterID()] = hosted->getName (100);

    for (const auto& [id, name] : expected)
    {
        const auto hostId = hostParameterId (formatName, id);
        ASSERT_EQ (hostedNames.count (hostId), 1u) << id << " is missing (as " << hostId << ")";
        EXPECT_EQ (hostedNames[hostId], name) << id;
    }

    // The rest belongs to the wrapper: a bypass switch, and for VST3 stand-ins for MIDI controllers.
    std::cout << "[ host     ] " << formatName << ": " << hostedNames.size() << " parameters, "
              << hostedNames.size() - expected.size() << " of them the wrapper's own" << std::endl;
}

TEST_P (PluginInHost, PlaysAnMpeNoteAtTheRightPitchAndBendsIt)
{
    juce::MidiMessageSequence seq;
    auto noteOn = juce::MidiMessage::noteOn (2, 69, (juce::uint8) 100);
    seq.addEvent (noteOn);
    // Member channels bend +-48 semitones: a quarter of the way up is +12.
    auto bend = juce::MidiMessage::pitchWheel (2, 8192 + 2048);
    bend.setTimeStamp (0.5);
    seq.addEvent (bend);

    const auto audio = render (*plugin, seq, (int) sampleRate);
    const auto* left = audio.getReadPointer (0);
    const auto* right = audio.getReadPointer (1);
    const int settle = (int) (0.1 * sampleRate), span = (int) (0.35 * sampleRate);

    EXPECT_GT (rms (left + settle, span), 0.01);
    EXPECT_NEAR (rms (left + settle, span), rms (right + settle, span), 1e-3);
    EXPECT_NEAR (dominantFrequency (left + settle, span, sampleRate), 440.0, 1.0);
    EXPECT_NEAR (dominantFrequency (left + (int) (0.6 * sampleRate), span, sampleRate), 880.0, 2.0);
}

TEST_P (PluginInHost, StateSavedThroughTheHostRestoresIntoAFreshInstance)
{
    const auto parameters = productParameters (*plugin, formatName);
    ASSERT_EQ (parameters.size(), 81u);

    // Move every product parameter away from its default, as automation would; hosts hand the
    // changes over with the next block.
    for (size_t i = 0; i < parameters.size(); ++i)
        parameters[i]->setValueNotifyingHost (std::fmod (parameters[i]->getDefaultValue() + 0.37f + 0.005f * (float) i, 1.0f));

    render (*plugin, {}, blockSize);

    auto stateOf = [] (juce::AudioPluginInstance& instance)
    {
        juce::MemoryBlock state;
        instance.getStateInformation (state);
        return state;
    };

    auto restoreIntoFreshInstance = [&] (const juce::MemoryBlock& state)
    {
        juce::String error;
        auto fresh = loadPlugin (formatName, error);

        if (fresh != nullptr)
        {
            fresh->setStateInformation (state.getData(), (int) state.getSize());
            render (*fresh, {}, blockSize);
        }

        return fresh;
    };

    const auto saved = stateOf (*plugin);
    ASSERT_GT (saved.getSize(), 0u);
    auto restored = restoreIntoFreshInstance (saved);
    ASSERT_NE (restored, nullptr);

    // The host remembers the unsnapped values it sent; the plug-in holds them snapped to its steps
    // (a whole unison voice, a hundredth of depth), and its state says so. The restored instance
    // must hold the same values: its state is the same, byte for byte.
    EXPECT_TRUE (stateOf (*restored) == saved) << "the restored instance saves a different state";

    const auto values = productParameters (*restored, formatName);
    ASSERT_EQ (values.size(), parameters.size());
    auto again = restoreIntoFreshInstance (stateOf (*restored));
    ASSERT_NE (again, nullptr);
    const auto valuesAgain = productParameters (*again, formatName);
    int moved = 0;

    for (size_t i = 0; i < values.size(); ++i)
    {
        EXPECT_EQ (valuesAgain[i]->getValue(), values[i]->getValue()) << values[i]->getName (100).toStdString();
        moved += std::abs (values[i]->getValue() - values[i]->getDefaultValue()) > 1e-6f ? 1 : 0;
    }

    EXPECT_GT (moved, 40) << "the state did not carry the changes";
}

TEST_P (PluginInHost, OpensAndClosesItsEditor)
{
    ASSERT_TRUE (plugin->hasEditor());

    for (int round = 0; round < 2; ++round)
    {
        std::unique_ptr<juce::AudioProcessorEditor> editor (plugin->createEditorIfNeeded());
        ASSERT_NE (editor, nullptr);
        EXPECT_GT (editor->getWidth(), 0);
        EXPECT_GT (editor->getHeight(), 0);

        editor->addToDesktop (juce::ComponentPeer::windowHasTitleBar);
        editor->setVisible (true);
        juce::MessageManager::getInstance()->runDispatchLoopUntil (300);
        EXPECT_TRUE (editor->isOnDesktop());

        editor->setVisible (false);
        editor->removeFromDesktop();
        editor.reset();
        juce::MessageManager::getInstance()->runDispatchLoopUntil (50);
    }

    EXPECT_EQ (plugin->getActiveEditor(), nullptr);
}

TEST_P (PluginInHost, RendersWhatTheProcessorRendersWithoutAWrapper)
{
    // The same MIDI, as a file, through ostrel-render.
    juce::TemporaryFile midiFile (".mid"), wavFile (".wav");
    {
        juce::MidiFile file;
        file.setTicksPerQuarterNote (960);
        // A quarter note of 20 ms: at 48 kHz a tick is exactly one sample.
        auto track = mpePhraseInSamples();
        track.addEvent (juce::MidiMessage::tempoMetaEvent (20000), 0.0);
        track.sort();

        file.addTrack (track);
        juce::FileOutputStream out (midiFile.getFile());
        ASSERT_TRUE (out.openedOk());
        ASSERT_TRUE (file.writeTo (out));
    }

    juce::ChildProcess renderer;
    ASSERT_TRUE (renderer.start (juce::StringArray { fileFromEnvironment ("OSTREL_RENDER").getFullPathName(),
                                                     midiFile.getFile().getFullPathName(), "-o", wavFile.getFile().getFullPathName(),
                                                     "--tail", "0.5", "--bits", "32f", "--block", juce::String (blockSize), "-q" }));
    const auto output = renderer.readAllProcessOutput();
    ASSERT_EQ (renderer.getExitCode(), 0u) << output.toStdString();

    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatReader> reader (wav.createReaderFor (wavFile.getFile().createInputStream().release(), true));
    ASSERT_NE (reader, nullptr);
    const int length = (int) reader->lengthInSamples;
    juce::AudioBuffer<float> expected (2, length);
    reader->read (&expected, 0, length, 0, true, true);

    // The file again, read as the renderer reads it.
    juce::MidiFile readBack;
    juce::FileInputStream in (midiFile.getFile());
    ASSERT_TRUE (readBack.readFrom (in));
    readBack.convertTimestampTicksToSeconds();
    juce::MidiMessageSequence events;
    for (int t = 0; t < readBack.getNumTracks(); ++t)
        events.addSequence (*readBack.getTrack (t), 0.0);
    events.sort();

    const auto actual = render (*plugin, events, length);
    float worst = 0.0f;
    int worstAt = 0;

    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < length; ++i)
            if (const auto d = std::abs (actual.getSample (ch, i) - expected.getSample (ch, i)); d > worst)
            {
                worst = d;
                worstAt = i;
            }

    std::cout << "[ host     ] " << formatName << " vs processor: " << length << " samples, largest difference "
              << worst << " at sample " << worstAt << std::endl;
    EXPECT_GT (expected.getMagnitude (0, length), 0.05f);
    EXPECT_LE (worst, 1e-6f);
}

TEST_P (PluginInHost, AudioThreadShowsNoAllocationOrLockWaitInProductCode)
{
    const auto phrase = mpePhrase();
    std::atomic<bool> done { false };
    int noteEvents = 0;

    for (const auto* event : phrase)
        noteEvents += event->message.isNoteOnOrOff() ? 1 : 0;

    // Warm up: the first notes grow JUCE's note lists to their working size.
    render (*plugin, phrase, (int) sampleRate);

    const int rounds = 8;
    RealtimeHooks::reset();
    RealtimeHooks::captureStacks (true);

    std::thread audio ([&]
                       {
                           RealtimeHooks::countOnThisThread (true);

                           for (int i = 0; i < rounds; ++i)
                               render (*plugin, phrase, (int) sampleRate);

                           RealtimeHooks::countOnThisThread (false);
                           done = true;
                       });

    // Meanwhile the message thread does what hosts do while audio runs: saves the state and reads
    // the parameters for display.
    while (! done)
    {
        juce::MemoryBlock state;
        plugin->getStateInformation (state);

        for (auto* parameter : plugin->getParameters())
            parameter->getCurrentValueAsText();

        juce::MessageManager::getInstance()->runDispatchLoopUntil (5);
    }

    audio.join();
    RealtimeHooks::captureStacks (false);
    const auto counts = RealtimeHooks::counted();
    const auto attributed = StackAttribution (pluginBinary (formatName)).attribute (RealtimeHooks::capturedStacks());

    using Kind = RealtimeHooks::CapturedStack::Kind;
    using Owner = StackAttribution::Owner;
    std::map<std::pair<Kind, Owner>, int> tally;
    std::map<juce::String, int> places;
    auto count = [&] (Kind kind, Owner owner) { return tally[{ kind, owner }]; };

    for (const auto& a : attributed)
    {
        ++tally[{ a.kind, a.owner }];

        const auto what = a.kind == Kind::allocation ? "allocation in " : a.kind == Kind::lockWait ? "lock wait in " : "lock taken in ";
        ++places[what + a.where + " (" + StackAttribution::nameOf (a.owner) + ")"];
    }

    std::cout << "[ host     ] " << formatName << ", " << rounds << " s of audio, " << rounds * noteEvents
              << " note events: " << counts.allocations << " allocations, " << counts.lockAcquisitions
              << " lock acquisitions, " << counts.lockWaits << " lock waits, " << counts.fileOpens << " file opens" << std::endl;

    for (auto owner : { Owner::product, Owner::juceUsedByProduct, Owner::pluginWrapper, Owner::host })
        std::cout << "[ host     ]   " << StackAttribution::nameOf (owner) << ": " << count (Kind::allocation, owner)
                  << " allocations, " << count (Kind::lockWait, owner) << " lock waits; of the first "
                  << "lock acquisitions sampled, " << count (Kind::lockAcquisition, owner) << std::endl;

    for (const auto& [where, count] : places)
        std::cout << "[ host     ]   " << count << "x " << where << std::endl;

    EXPECT_EQ (count (Kind::allocation, Owner::product), 0);
    EXPECT_EQ (count (Kind::lockWait, Owner::product), 0);
    EXPECT_EQ (count (Kind::lockAcquisition, Owner::product), 0);
    EXPECT_EQ (counts.fileOpens, 0);
    // JUCE's MPE note list, used by the synthesiser, may grow or shrink on a note event; nothing else.
    EXPECT_LE (count (Kind::allocation, Owner::juceUsedByProduct), rounds * noteEvents);
}

INSTANTIATE_TEST_SUITE_P (Formats, PluginInHost, ::testing::Values ("VST3", "LV2"),
                          [] (const auto& info) { return std::string (info.param); });
} // namespace
