#include "PluginProcessor.h"
#include "Constants.h"
#include "ParameterText.h"
#include "WaveTypeParameter.h"

namespace
{
using Range = juce::NormalisableRange<float>;

std::unique_ptr<juce::AudioParameterFloat> floatParameter (const juce::String& id, const juce::String& name, Range range, float defaultValue,
                                                           std::function<juce::String (float, int)> toText = nullptr,
                                                           std::function<float (const juce::String&)> fromText = nullptr)
{
    return std::make_unique<juce::AudioParameterFloat> (id, name, range, defaultValue, juce::String(),
                                                        juce::AudioProcessorParameter::genericParameter,
                                                        std::move (toText), std::move (fromText));
}
} // namespace

juce::AudioProcessorValueTreeState::ParameterLayout OstrelSynthAudioProcessor::createParams()
{
    ParameterList params;

    for (int n = 1; n <= 4; ++n)
        createEnvParams (params, n);

    createOscParams (params);
    createLFOParams (params);

    for (int n = 1; n <= 2; ++n)
    {
        params.push_back (std::make_unique<juce::AudioParameterBool> (CONST::forUnit (CONST::FILTER1_BYPASS_ID, n),
                                                                      CONST::forUnit (CONST::FILTER1_BYPASS_NAME, n), false));
        params.push_back (std::make_unique<juce::AudioParameterFloat> (CONST::forUnit (CONST::FILTER1_RES_ID, n),
                                                                       CONST::forUnit (CONST::FILTER1_RES_NAME, n), 0.0f, 1.0f, 0.2f));
        params.push_back (std::make_unique<juce::AudioParameterFloat> (CONST::forUnit (CONST::FILTER1_DRIVE_ID, n),
                                                                       CONST::forUnit (CONST::FILTER1_DRIVE_NAME, n), 1.0f, 8.0f, 1.0f));
        params.push_back (floatParameter (CONST::forUnit (CONST::FILTER1_CUTOFF_ID, n), CONST::forUnit (CONST::FILTER1_CUTOFF_NAME, n),
                                          Range (20.0f, 10000.0f, 0.01f, 0.4f), 500.0f,
                                          ParameterText::frequencyToText, ParameterText::textToFrequency));
    }

    params.push_back (std::make_unique<juce::AudioParameterBool> (CONST::MPEON_ID, CONST::MPEON_NAME, true));

    return { std::make_move_iterator (params.begin()), std::make_move_iterator (params.end()) };
}

void OstrelSynthAudioProcessor::createEnvParams (ParameterList& params, int n)
{
    params.push_back (floatParameter (CONST::forUnit (CONST::ENV1_ATTACK_ID, n), CONST::forUnit (CONST::ENV1_ATTACK_NAME, n),
                                      Range (0.001f, 2.0f, 0.001f, 0.5f), 0.01f, ParameterText::timeToText, ParameterText::textToTime));
    params.push_back (floatParameter (CONST::forUnit (CONST::ENV1_DECAY_ID, n), CONST::forUnit (CONST::ENV1_DECAY_NAME, n),
                                      Range (0.001f, 1.0f, 0.001f, 0.5f), 0.15f, ParameterText::timeToText, ParameterText::textToTime));
    params.push_back (floatParameter (CONST::forUnit (CONST::ENV1_SUSTAIN_ID, n), CONST::forUnit (CONST::ENV1_SUSTAIN_NAME, n),
                                      Range (0.0f, 1.0f, 0.01f, 1.0f), 1.0f, ParameterText::sustainToText, ParameterText::textToSustain));
    params.push_back (floatParameter (CONST::forUnit (CONST::ENV1_RELEASE_ID, n), CONST::forUnit (CONST::ENV1_RELEASE_NAME, n),
                                      Range (0.001f, 3.0f, 0.001f, 0.5f), 0.1f, ParameterText::timeToText, ParameterText::textToTime));
}

void OstrelSynthAudioProcessor::createOscParams (ParameterList& params)
{
    const auto choices = waveLibrary->getChoiceNames();

    // 0 dB sits at the middle of the gain knob's travel.
    constexpr float gainSkew = 2.7580879f;

    for (int n = 1; n <= 4; ++n)
    {
        auto id = [n] (const juce::String& s) { return CONST::forUnit (s, n); };

        params.push_back (std::make_unique<WaveTypeParameter> (id (CONST::OSC1_TYPE_ID), id (CONST::OSC1_TYPE_NAME), choices, 0));
        params.push_back (std::make_unique<juce::AudioParameterInt> (id (CONST::OSC1_DETUNE_ID), id (CONST::OSC1_DETUNE_NAME), -99, 99, 0));
        params.push_back (std::make_unique<juce::AudioParameterFloat> (id (CONST::OSC1_SEMI_ID), id (CONST::OSC1_SEMI_NAME), -24.0f, 24.0f, 0.0f));
        params.push_back (floatParameter (id (CONST::OSC1_GAIN_ID), id (CONST::OSC1_GAIN_NAME), Range (-42.0f, 12.0f, 0.01f, gainSkew), 0.0f));
        params.push_back (std::make_unique<juce::AudioParameterFloat> (id (CONST::OSC1_PAN_ID), id (CONST::OSC1_PAN_NAME), -1.0f, 1.0f, 0.0f));
        params.push_back (std::make_unique<juce::AudioParameterInt> (id (CONST::OSC1_UNISON_VOICES_ID), id (CONST::OSC1_UNISON_VOICES_NAME), 1, 8, 1));
        params.push_back (std::make_unique<juce::AudioParameterFloat> (id (CONST::OSC1_UNISON_DETUNE_ID), id (CONST::OSC1_UNISON_DETUNE_NAME), 0.0f, 1.0f, 0.0f));
        params.push_back (std::make_unique<juce::AudioParameterFloat> (id (CONST::OSC1_UNISON_SPREAD_ID), id (CONST::OSC1_UNISON_SPREAD_NAME), 0.0f, 1.0f, 0.0f));
        params.push_back (std::make_unique<juce::AudioParameterBool> (id (CONST::OSC1_BYPASS_ID), id (CONST::OSC1_BYPASS_NAME), n == 1));
    }
}

void OstrelSynthAudioProcessor::createLFOParams (ParameterList& params)
{
    const juce::StringArray waves { "sine", "triangle", "sawUp", "sawDown", "square", "random" };

    for (int n = 1; n <= 4; ++n)
    {
        auto id = [n] (const juce::String& s) { return CONST::forUnit (s, n); };

        params.push_back (floatParameter (id (CONST::LFO1_PHASE_ID), id (CONST::LFO1_PHASE_NAME), Range (0.0f, ParameterText::twoPi, 0.001f, 1.0f), 0.0f,
                                          ParameterText::phaseToText, ParameterText::textToPhase));
        params.push_back (std::make_unique<juce::AudioParameterBool> (id (CONST::LFO1_POLARITY_ID), id (CONST::LFO1_POLARITY_NAME), false));
        params.push_back (std::make_unique<juce::AudioParameterChoice> (id (CONST::LFO1_WAVE_ID), id (CONST::LFO1_WAVE_NAME), waves, 0));
        params.push_back (floatParameter (id (CONST::LFO1_FREQ_ID), id (CONST::LFO1_FREQ_NAME), Range (0.001f, 40.0f, 0.001f, 0.3f), 1.0f));
        params.push_back (floatParameter (id (CONST::LFO1_DEPTH_ID), id (CONST::LFO1_DEPTH_NAME), Range (0.0f, 1.0f, 0.01f, 1.0f), 1.0f,
                                          ParameterText::depthToText, ParameterText::textToDepth));
    }
}
