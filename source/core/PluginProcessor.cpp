#include "PluginProcessor.h"
#include "Constants.h"
#include "ParameterText.h"
#include "StateReader.h"
#include "WaveFolder.h"


namespace
{
const juce::Identifier stateType { "Parameters" };

/** Makes a loaded state safe to apply without losing anything: entries whose value is not a finite
    number are dropped (they would turn a parameter into NaN), and every parameter the state does not
    set usably is given its current value, so it keeps it instead of falling back to its default. */
bool hasFiniteNumber (const juce::XmlElement& entry)
{
    double value = 0.0;
    return ParameterText::parseFiniteNumber (entry.getStringAttribute ("value"), value);
}

void completeWithCurrentValues (juce::XmlElement& root, juce::AudioProcessorValueTreeState& apvts)
{
    for (auto* child = root.getFirstChildElement(); child != nullptr;)
    {
        auto* next = child->getNextElement();

        if (child->hasAttribute ("value") && ! hasFiniteNumber (*child))
            root.removeChildElement (child, true);

        child = next;
    }

    for (auto* parameter : apvts.processor.getParameters())
    {
        auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (parameter);

        if (ranged == nullptr)
            continue;

        bool present = false;

        for (auto* child : root.getChildIterator())
            present = present || (child->getStringAttribute ("id") == ranged->getParameterID() && child->hasAttribute ("value"));

        if (! present)
        {
            auto* entry = root.createNewChildElement ("PARAM");
            entry->setAttribute ("id", ranged->getParameterID());
            entry->setAttribute ("value", (double) ranged->convertFrom0to1 (ranged->getValue()));
        }
    }
}
} // namespace

OstrelSynthAudioProcessor::OstrelSynthAudioProcessor()
    : OstrelSynthAudioProcessor (WaveFolder::defaultLocation())
{
}

OstrelSynthAudioProcessor::OstrelSynthAudioProcessor (const juce::File& waveFolder)
    : OstrelSynthAudioProcessor (WaveLibrary::load (waveFolder))
{
}

OstrelSynthAudioProcessor::OstrelSynthAudioProcessor (std::shared_ptr<const WaveLibrary> library)
    : juce::AudioProcessor (BusesProperties().withOutput ("Output", juce::AudioChannelSet::stereo(), true)),
      waveLibrary (library != nullptr ? std::move (library) : std::make_shared<WaveLibrary>()),
      apvts (*this, nullptr, stateType, createParams()),
      synth (apvts, waveLibrary)
{
    for (int i = 0; i < synth.getNumVoices(); ++i)
        if (auto* voice = dynamic_cast<SynthVoice*> (synth.getVoice (i)))
            voices.push_back (voice);

    // MPE is always on, whatever the MPEON switch says: a lower zone of 15 member channels.
    juce::MPEZoneLayout layout;
    layout.setLowerZone (15);
    synth.setZoneLayout (layout);
    synth.setPitchbendTrackingMode (juce::MPEInstrument::lastNotePlayedOnChannel);
    synth.setVoiceStealingEnabled (true);
}

OstrelSynthAudioProcessor::~OstrelSynthAudioProcessor() = default;

const juce::String OstrelSynthAudioProcessor::getName() const { return "OstrelSynth"; }

void OstrelSynthAudioProcessor::prepareToPlay (double sampleRate, int samplesPerBlock)
{
    synth.setCurrentPlaybackSampleRate (sampleRate);

    for (int i = 0; i < synth.getNumVoices(); ++i)
        if (auto* voice = dynamic_cast<SynthVoice*> (synth.getVoice (i)))
            voice->prepareToPlay (sampleRate, samplesPerBlock, getTotalNumOutputChannels());

    lastBlock.prepare (juce::jmax (2, getTotalNumOutputChannels()), samplesPerBlock, sampleRate);
}

void OstrelSynthAudioProcessor::releaseResources() {}

void OstrelSynthAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi)
{
    juce::ScopedNoDenormals noDenormals;

    for (auto ch = getTotalNumInputChannels(); ch < getTotalNumOutputChannels(); ++ch)
        buffer.clear (ch, 0, buffer.getNumSamples());

    synth.readParameters();
    synth.renderNextBlock (buffer, midi, 0, buffer.getNumSamples());
    lastBlock.write (buffer);
}

double OstrelSynthAudioProcessor::getTailLengthSeconds() const { return 0.0; }
bool OstrelSynthAudioProcessor::acceptsMidi() const { return true; }
bool OstrelSynthAudioProcessor::producesMidi() const { return true; }
bool OstrelSynthAudioProcessor::supportsMPE() const { return true; }
bool OstrelSynthAudioProcessor::isMidiEffect() const { return false; }

juce::AudioProcessorEditor* OstrelSynthAudioProcessor::createEditor()
{
    return new juce::GenericAudioProcessorEditor (*this);
}

bool OstrelSynthAudioProcessor::hasEditor() const { return true; }
int OstrelSynthAudioProcessor::getNumPrograms() { return 1; }
int OstrelSynthAudioProcessor::getCurrentProgram() { return 0; }
void OstrelSynthAudioProcessor::setCurrentProgram (int) {}
const juce::String OstrelSynthAudioProcessor::getProgramName (int) { return {}; }
void OstrelSynthAudioProcessor::changeProgramName (int, const juce::String&) {}

void OstrelSynthAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    const auto state = apvts.copyState();

    if (const auto xml = state.createXml())
        copyXmlToBinary (*xml, destData);
}

void OstrelSynthAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    auto xml = StateReader::xmlFromBinary (data, sizeInBytes);

    if (xml == nullptr || ! xml->getTagName().equalsIgnoreCase (stateType.toString()))
        return;

    completeWithCurrentValues (*xml, apvts);
    apvts.replaceState (juce::ValueTree::fromXml (*xml));
}

bool OstrelSynthAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const auto& output = layouts.getMainOutputChannelSet();
    return output == juce::AudioChannelSet::mono() || output == juce::AudioChannelSet::stereo();
}

void OstrelSynthAudioProcessor::parameterChanged (const juce::String&, float) {}

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new OstrelSynthAudioProcessor();
}
