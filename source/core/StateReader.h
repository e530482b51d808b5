#pragma once

#include <juce_core/juce_core.h>
#include <memory>

/** Reads saved plug-in state that a host hands over, without trusting it. Any thread.

    The byte layout is JUCE's binary XML container (magic 56 43 32 21, little-endian text length,
    UTF-8 text, a zero byte). The text is checked to be well-formed UTF-8 and parsed with pugixml;
    JUCE's own XML parser never sees it, because it can read past the end of malformed UTF-8 and can
    loop forever on some malformed markup. */
namespace StateReader
{
/** The root element stored in the container, or nullptr when the data is not such a container, the
    text is not UTF-8, the XML does not parse, or an element or attribute name is not a legal XML
    name. Elements nested deeper than a saved state ever needs are refused, as is text content. */
std::unique_ptr<juce::XmlElement> xmlFromBinary (const void* data, int sizeInBytes);

/** True when the bytes are complete, well-formed UTF-8 (no overlong forms, surrogates or values
    above U+10FFFF). */
bool isValidUtf8 (const char* text, size_t numBytes) noexcept;
} // namespace StateReader
