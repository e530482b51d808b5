#include "StateReader.h"

#include <pugixml.hpp>

namespace StateReader
{
namespace
{
constexpr juce::uint32 containerMagic = 0x21324356;
constexpr int maxElementDepth = 8;

bool isLegalName (const char* name)
{
    return juce::XmlElement::isValidXmlName (juce::String::fromUTF8 (name));
}

std::unique_ptr<juce::XmlElement> convert (const pugi::xml_node& node, int depth)
{
    if (depth > maxElementDepth || ! isLegalName (node.name()))
        return nullptr;

    auto element = std::make_unique<juce::XmlElement> (juce::String::fromUTF8 (node.name()));

    for (const auto& attribute : node.attributes())
    {
        if (! isLegalName (attribute.name()))
            return nullptr;

        element->setAttribute (juce::Identifier (juce::String::fromUTF8 (attribute.name())),
                               juce::String::fromUTF8 (attribute.value()));
    }

    for (const auto& child : node.children())
    {
        if (child.type() != pugi::node_element)
            continue;   // comments, processing instructions and text carry no state

        auto converted = convert (child, depth + 1);

        if (converted == nullptr)
            return nullptr;

        element->addChildElement (converted.release());
    }

    return element;
}
} // namespace

bool isValidUtf8 (const char* text, size_t numBytes) noexcept
{
    const auto* bytes = reinterpret_cast<const unsigned char*> (text);
    size_t i = 0;

    while (i < numBytes)
    {
        const auto lead = bytes[i];

        if (lead < 0x80) { ++i; continue; }

        int extra = 0;
        juce::uint32 codePoint = 0;

        if ((lead & 0xe0) == 0xc0)      { extra = 1; codePoint = lead & 0x1f; }
        else if ((lead & 0xf0) == 0xe0) { extra = 2; codePoint = lead & 0x0f; }
        else if ((lead & 0xf8) == 0xf0) { extra = 3; codePoint = lead & 0x07; }
        else return false;

        if (numBytes - i <= (size_t) extra)
            return false;

        for (int k = 1; k <= extra; ++k)
        {
            const auto continuation = bytes[i + (size_t) k];

            if ((continuation & 0xc0) != 0x80)
                return false;

            codePoint = (codePoint << 6) | (continuation & 0x3f);
        }

        static constexpr juce::uint32 smallestForLength[] = { 0, 0x80, 0x800, 0x10000 };

        if (codePoint < smallestForLength[extra] || codePoint > 0x10ffff
            || (codePoint >= 0xd800 && codePoint <= 0xdfff))
            return false;

        i += (size_t) extra + 1;
    }

    return true;
}

std::unique_ptr<juce::XmlElement> xmlFromBinary (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= 8)
        return nullptr;

    const auto* bytes = static_cast<const char*> (data);

    if (juce::ByteOrder::littleEndianInt (bytes) != containerMagic)
        return nullptr;

    const auto storedLength = (int) juce::ByteOrder::littleEndianInt (bytes + 4);

    if (storedLength <= 0)
        return nullptr;

    const auto* text = bytes + 8;
    auto length = (size_t) juce::jmin (sizeInBytes - 8, storedLength);

    // The text ends at its first zero byte, as a C string would.
    if (const auto* terminator = static_cast<const char*> (std::memchr (text, 0, length)))
        length = (size_t) (terminator - text);

    if (length == 0 || ! isValidUtf8 (text, length))
        return nullptr;

    pugi::xml_document document;
    const auto result = document.load_buffer (text, length, pugi::parse_default, pugi::encoding_utf8);

    if (! result)
        return nullptr;

    const auto root = document.document_element();

    if (root.empty())
        return nullptr;

    return convert (root, 0);
}
} // namespace StateReader
