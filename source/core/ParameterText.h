#pragma once

#include <juce_core/juce_core.h>

/** The value-to-text and text-to-value conversions of the parameters that show units. Pure
    functions, safe on any thread. Text is always read by its leading number; units typed after it
    are ignored. */
namespace ParameterText
{
constexpr float twoPi = 6.2831855f;

juce::String timeToText (float seconds, int maxLength = 0);
float textToTime (const juce::String& text);                 // the number is read as milliseconds

juce::String sustainToText (float value, int maxLength = 0);  // "35 % "
float textToSustain (const juce::String& text);

juce::String depthToText (float value, int maxLength = 0);    // "100%"
float textToDepth (const juce::String& text);

juce::String frequencyToText (float hertz, int maxLength = 0);
float textToFrequency (const juce::String& text);

juce::String phaseToText (float radians, int maxLength = 0);
float textToPhase (const juce::String& text);                 // the number is read as degrees

const juce::String& degreesSymbol();

/** Strict reading of untrusted text (saved states, command lines): true only when the whole text,
    blanks around it aside, is one finite decimal number, which goes to value. */
bool parseFiniteNumber (const juce::String& text, double& value);
} // namespace ParameterText
