#pragma once

#include "rt/RealtimeHooks.h"

#include <juce_core/juce_core.h>

#include <map>
#include <vector>

/** Says whose code caused an allocation or a lock on the audio thread of a hosted plug-in, from the
    call stacks RealtimeHooks kept. Runs on the test's main thread once rendering has stopped: it
    names each return address with llvm-symbolizer and reads the stack from the innermost frame. */
class StackAttribution
{
public:
    enum class Owner
    {
        product,             ///< the product's own code (source/) is the innermost frame in the plug-in
        juceUsedByProduct,   ///< JUCE library code, called from the product's code
        pluginWrapper,       ///< JUCE's VST3 or LV2 wrapper, with no product code on the stack
        host                 ///< the host (this test's JUCE hosting code); the plug-in is not on the stack
    };

    /** pluginBinary: the plug-in's shared object, as loaded. */
    explicit StackAttribution (juce::File pluginBinary);

    struct Attributed
    {
        RealtimeHooks::CapturedStack::Kind kind;
        Owner owner;
        juce::String where;   ///< the innermost named frames, for the report
    };

    std::vector<Attributed> attribute (const std::vector<RealtimeHooks::CapturedStack>& stacks);

    static juce::String nameOf (Owner owner);

    /** True when a demangled function name belongs to the product rather than to JUCE, the VST3
        SDK or the C++ library. */
    static bool isProductFunction (const juce::String& demangledName);

private:
    struct Frame
    {
        juce::String object;
        juce::String function;
    };

    Frame frameAt (void* address);
    void symbolise (const std::vector<RealtimeHooks::CapturedStack>& stacks);

    juce::File pluginBinary;
    std::map<void*, Frame> frames;
};
