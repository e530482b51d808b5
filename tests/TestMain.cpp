#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

// The parameter tree and the synthesiser expect JUCE's message manager to exist.
int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;
    ::testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
