#include "ParameterText.h"

#include <cmath>
#include <cstdlib>

namespace ParameterText
{
namespace
{
float leadingNumber (const juce::String& text)
{
    return (float) text.getDoubleValue();
}
} // namespace

const juce::String& degreesSymbol()
{
    static const juce::String symbol = juce::String::charToString ((juce::juce_wchar) 0x00b0);
    return symbol;
}

juce::String timeToText (float seconds, int)
{
    if ((double) seconds <= 0.9)
        return juce::String (seconds * 1000.0f, 0) + " ms ";

    return juce::String (seconds, 2) + " s ";
}

float textToTime (const juce::String& text) { return leadingNumber (text) / 1000.0f; }

juce::String sustainToText (float value, int) { return juce::String (value * 100.0f, 0) + " % "; }
float textToSustain (const juce::String& text) { return leadingNumber (text) / 100.0f; }

juce::String depthToText (float value, int) { return juce::String (value * 100.0f, 0) + "%"; }
float textToDepth (const juce::String& text) { return leadingNumber (text) / 100.0f; }

juce::String frequencyToText (float hertz, int)
{
    if (hertz <= 999.0f)
        return juce::String (hertz, 2) + " Hz";

    return juce::String (hertz / 1000.0f, 2) + " kHz";
}

float textToFrequency (const juce::String& text) { return leadingNumber (text); }

juce::String phaseToText (float radians, int)
{
    return juce::String (std::floor (0.0f + radians * 360.0f / twoPi), 0) + degreesSymbol();
}

float textToPhase (const juce::String& text) { return 0.0f + leadingNumber (text) * twoPi / 360.0f; }

bool parseFiniteNumber (const juce::String& text, double& value)
{
    const auto utf8 = text.trim().toStdString();

    if (utf8.empty())
        return false;

    char* end = nullptr;
    value = std::strtod (utf8.c_str(), &end);
    return end == utf8.c_str() + utf8.size() && std::isfinite (value);
}
} // namespace ParameterText
