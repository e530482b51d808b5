#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

/** The oscillator wave-type choice. It is JUCE's choice parameter, except when the waveform folder
    holds no files and "Custom" is the only choice: JUCE's range from 0 to 0 then divides by zero,
    reports NaN to the host and turns any restored value into a garbage index, so "Custom" could
    never be selected. With a single choice this parameter always sits at index 0, normalised 0. */
class WaveTypeParameter : public juce::AudioParameterChoice
{
public:
    WaveTypeParameter (const juce::String& parameterId, const juce::String& parameterName, const juce::StringArray& choiceNames, int defaultIndex)
        : juce::AudioParameterChoice (parameterId, parameterName, choiceNames, defaultIndex)
    {
    }

    const juce::NormalisableRange<float>& getNormalisableRange() const override
    {
        return choices.size() > 1 ? juce::AudioParameterChoice::getNormalisableRange() : singleChoiceRange();
    }

    float getValue() const override          { return convertTo0to1 ((float) getIndex()); }
    float getDefaultValue() const override   { return choices.size() > 1 ? juce::AudioParameterChoice::getNormalisableRange().convertTo0to1 (0.0f) : 0.0f; }

private:
    static const juce::NormalisableRange<float>& singleChoiceRange()
    {
        static const juce::NormalisableRange<float> only { 0.0f, 1.0f,
                                                           [] (float, float, float) { return 0.0f; },
                                                           [] (float, float, float) { return 0.0f; },
                                                           [] (float, float, float) { return 0.0f; } };
        return only;
    }
};
