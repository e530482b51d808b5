#include "StackAttribution.h"

#include <dlfcn.h>

StackAttribution::StackAttribution (juce::File binary)
    : pluginBinary (std::move (binary))
{
}

juce::String StackAttribution::nameOf (Owner owner)
{
    switch (owner)
    {
        case Owner::product:           return "product code";
        case Owner::juceUsedByProduct: return "JUCE, called by product code";
        case Owner::pluginWrapper:     return "JUCE plug-in wrapper";
        case Owner::host:              return "host";
    }

    return {};
}

bool StackAttribution::isProductFunction (const juce::String& name)
{
    // The qualified name starts after a template function's return type, if it has one.
    const auto text = name.replace ("(anonymous namespace)::", "");
    int depth = 0, start = 0;

    for (int i = 0; i < text.length(); ++i)
    {
        const auto c = text[i];

        if (c == '<') ++depth;
        else if (c == '>') --depth;
        else if (c == '(' && depth == 0) break;
        else if (c == ' ' && depth == 0) start = i + 1;
    }

    const auto qualified = text.substring (start);

    if (qualified.isEmpty() || qualified == "??")
        return false;

    for (auto* foreign : { "juce::", "Steinberg::", "VST3::", "std::", "__", "lilv_", "serd_", "sord_", "sratom_",
                           "lv2_", "lv2ui_", "GetPluginFactory", "ModuleEntry", "ModuleExit", "operator new", "operator delete" })
        if (qualified.startsWith (foreign))
            return false;

    return true;
}

StackAttribution::Frame StackAttribution::frameAt (void* address)
{
    if (auto it = frames.find (address); it != frames.end())
        return it->second;

    return {};
}

void StackAttribution::symbolise (const std::vector<RealtimeHooks::CapturedStack>& stacks)
{
    std::vector<void*> inPlugin;
    std::vector<size_t> offsets;

    for (const auto& stack : stacks)
    {
        for (int i = 0; i < stack.depth; ++i)
        {
            auto* address = stack.frames[i];

            if (frames.count (address) != 0)
                continue;

            Dl_info info {};
            Frame frame;

            if (dladdr (address, &info) != 0 && info.dli_fname != nullptr)
                frame.object = juce::File (info.dli_fname).getFullPathName();

            frames[address] = frame;

            if (frame.object.isNotEmpty() && juce::File (frame.object) == pluginBinary)
            {
                inPlugin.push_back (address);
                // A return address points after the call; step back into it.
                offsets.push_back ((size_t) ((const char*) address - (const char*) info.dli_fbase) - 1);
            }
        }
    }

    if (inPlugin.empty())
        return;

    juce::StringArray command { "llvm-symbolizer-14", "--demangle", "--no-inlines", "--obj=" + pluginBinary.getFullPathName() };

    for (auto offset : offsets)
        command.add ("0x" + juce::String::toHexString ((juce::int64) offset));

    juce::ChildProcess symbolizer;

    if (! symbolizer.start (command, juce::ChildProcess::wantStdOut))
        return;

    // Two lines per address (function, then file:line), then a blank line.
    juce::StringArray lines;
    lines.addLines (symbolizer.readAllProcessOutput());
    lines.removeEmptyStrings();

    for (size_t i = 0; i < inPlugin.size() && (int) (2 * i) < lines.size(); ++i)
        frames[inPlugin[i]].function = lines[(int) (2 * i)].trim();
}

std::vector<StackAttribution::Attributed> StackAttribution::attribute (const std::vector<RealtimeHooks::CapturedStack>& stacks)
{
    symbolise (stacks);
    std::vector<Attributed> result;

    for (const auto& stack : stacks)
    {
        std::vector<Frame> pluginFrames;

        for (int i = 0; i < stack.depth; ++i)
            if (auto frame = frameAt (stack.frames[i]); juce::File (frame.object) == pluginBinary)
                pluginFrames.push_back (frame);

        Attributed attributed { stack.kind, Owner::host, {} };

        if (! pluginFrames.empty())
        {
            const bool innermostIsProduct = isProductFunction (pluginFrames.front().function);
            const bool productOnStack = std::any_of (pluginFrames.begin(), pluginFrames.end(),
                                                     [] (const Frame& f) { return isProductFunction (f.function); });
            attributed.owner = innermostIsProduct ? Owner::product
                             : productOnStack     ? Owner::juceUsedByProduct
                                                  : Owner::pluginWrapper;

            for (size_t i = 0; i < std::min<size_t> (3, pluginFrames.size()); ++i)
                attributed.where << (i > 0 ? " <- " : "") << pluginFrames[i].function.upToFirstOccurrenceOf ("(", false, false);
        }
        else
        {
            attributed.where = "outside the plug-in";
        }

        result.push_back (attributed);
    }

    return result;
}
