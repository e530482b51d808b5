#include <gtest/gtest.h>

#include "TestHelpers.h"
#include "core/PluginProcessor.h"
#include "core/StateReader.h"

namespace
{
juce::MemoryBlock containerWith (const std::string& text, int storedLength = -1, bool terminate = true)
{
    juce::MemoryOutputStream out;
    out.writeInt (0x21324356);
    out.writeInt (storedLength >= 0 ? storedLength : (int) text.size());
    out.write (text.data(), text.size());
    if (terminate) out.writeByte (0);
    return out.getMemoryBlock();
}

juce::MemoryBlock bytes (std::initializer_list<int> values)
{
    juce::MemoryBlock block;
    for (auto v : values) { auto b = (char) v; block.append (&b, 1); }
    return block;
}

std::vector<float> snapshot (juce::AudioProcessor& p)
{
    std::vector<float> values;
    for (auto* param : p.getParameters())
        values.push_back (param->getValue());
    return values;
}

void set (OstrelSynthAudioProcessor& p, const char* id, float realValue)
{
    auto* param = p.apvts.getParameter (id);
    param->setValueNotifyingHost (param->convertTo0to1 (realValue));
}

juce::MemoryBlock stateOf (OstrelSynthAudioProcessor& p)
{
    juce::MemoryBlock block;
    p.getStateInformation (block);
    return block;
}

class StateTest : public ::testing::Test
{
protected:
    StateTest()
    {
        waves.addWave ("Basic", "Sine.wav", sineCycle());
        waves.addWave ("Basic", "Saw.wav", sawCycle());
    }

    TempWaveFolder waves;
};
} // namespace

TEST_F (StateTest, RoundTripRestoresEveryParameter)
{
    OstrelSynthAudioProcessor source (waves.getFolder());
    set (source, "OSC2TYPE", 1.0f);
    set (source, "ENV3ATTACK", 1.234f);
    set (source, "FILTER1CUTOFF", 2500.0f);
    set (source, "OSC4BYPASS", 1.0f);
    set (source, "LFO2WAVE", 5.0f);
    set (source, "MPEON", 0.0f);
    const auto saved = stateOf (source);

    OstrelSynthAudioProcessor target (waves.getFolder());
    target.setStateInformation (saved.getData(), (int) saved.getSize());

    EXPECT_EQ (snapshot (target), snapshot (source));
    EXPECT_EQ (dynamic_cast<juce::AudioParameterChoice*> (target.apvts.getParameter ("OSC2TYPE"))->getIndex(), 1);
}

TEST_F (StateTest, ByteLayoutIsJuceBinaryXml)
{
    OstrelSynthAudioProcessor processor (waves.getFolder());
    const auto saved = stateOf (processor);
    const auto* data = static_cast<const juce::uint8*> (saved.getData());

    ASSERT_GT (saved.getSize(), 9u);
    EXPECT_EQ (data[0], 0x56); EXPECT_EQ (data[1], 0x43); EXPECT_EQ (data[2], 0x32); EXPECT_EQ (data[3], 0x21);
    EXPECT_EQ (juce::ByteOrder::littleEndianInt (data + 4), saved.getSize() - 9);
    EXPECT_EQ (data[saved.getSize() - 1], 0);

    const auto text = juce::String::fromUTF8 ((const char*) data + 8, (int) saved.getSize() - 9);
    EXPECT_TRUE (text.startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?> <Parameters"));
    EXPECT_FALSE (text.containsChar ('\n'));

    auto xml = StateReader::xmlFromBinary (saved.getData(), (int) saved.getSize());
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getTagName(), "Parameters");
    EXPECT_EQ (xml->getNumChildElements(), 81);
    EXPECT_EQ (xml->getChildByName ("PARAM")->getStringAttribute ("id").isNotEmpty(), true);
}

TEST_F (StateTest, RootNameIsMatchedIgnoringCase)
{
    OstrelSynthAudioProcessor processor (waves.getFolder());
    const auto state = containerWith (R"(<?xml version="1.0" encoding="UTF-8"?> <parameters><PARAM id="ENV1ATTACK" value="0.5"/></parameters>)");
    processor.setStateInformation (state.getData(), (int) state.getSize());
    EXPECT_NEAR (processor.apvts.getParameter ("ENV1ATTACK")->convertFrom0to1 (processor.apvts.getParameter ("ENV1ATTACK")->getValue()), 0.5f, 1e-6f);
}

TEST_F (StateTest, UnusableStateChangesNothing)
{
    const std::string validStart = R"(<?xml version="1.0" encoding="UTF-8"?> <Parameters><PARAM id="ENV1ATTACK" value="1.5"/></Parameters>)";

    struct Case { const char* what; juce::MemoryBlock data; };
    const Case cases[] = {
        { "empty", {} },
        { "eight bytes", bytes ({ 0x56, 0x43, 0x32, 0x21, 1, 0, 0, 0 }) },
        { "length zero", containerWith (validStart, 0) },
        { "negative length", [&] { auto b = containerWith (validStart); static_cast<juce::uint8*> (b.getData())[7] = 0x80; return b; }() },
        { "wrong magic", [&] { auto b = containerWith (validStart); static_cast<char*> (b.getData())[0] = 'X'; return b; }() },
        { "truncated", [&] { auto b = containerWith (validStart); b.setSize (40); return b; }() },
        { "not xml", containerWith ("this is not xml at all") },
        { "foreign root", containerWith (R"(<OtherPlugin><PARAM id="ENV1ATTACK" value="1.5"/></OtherPlugin>)") },
        { "unterminated", containerWith (R"(<Parameters><PARAM id="ENV1ATTACK" value="1.5">)") },
        { "malformed utf-8 at the end", bytes ({ 0x56, 0x43, 0x32, 0x21, 0x54, 0x3e, 0xff, 0x0a, 0x3c, 0x54, 0x3e, 0xff }) },
        { "processing instruction junk", containerWith ("<T><??>A") },
        { "overlong utf-8", containerWith ("<Parameters a=\"\xc0\xaf\"/>") },
        { "only open brackets", containerWith (std::string (5000, '<')) },
        { "invalid name", containerWith ("<Parameters><1PARAM/></Parameters>") },
    };

    for (const auto& c : cases)
    {
        OstrelSynthAudioProcessor processor (waves.getFolder());
        set (processor, "ENV1ATTACK", 0.3f);
        const auto before = snapshot (processor);
        processor.setStateInformation (c.data.getData(), (int) c.data.getSize());
        EXPECT_EQ (snapshot (processor), before) << c.what;
    }
}

TEST (StateReaderTest, NestedTooDeepIsRefused)
{
    std::string text;
    for (int i = 0; i < 100; ++i) text += "<a>";
    for (int i = 0; i < 100; ++i) text += "</a>";
    const auto state = containerWith (text);
    EXPECT_EQ (StateReader::xmlFromBinary (state.getData(), (int) state.getSize()), nullptr);

    const auto shallow = containerWith ("<a><b c=\"1\"/>text<!-- note --></a>");
    auto xml = StateReader::xmlFromBinary (shallow.getData(), (int) shallow.getSize());
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getNumChildElements(), 1);
}

TEST (StateReaderTest, Utf8Validation)
{
    EXPECT_TRUE (StateReader::isValidUtf8 ("plain", 5));
    EXPECT_TRUE (StateReader::isValidUtf8 ("\xc2\xb0", 2));
    EXPECT_TRUE (StateReader::isValidUtf8 ("\xf0\x9f\x8e\xb9", 4));
    EXPECT_FALSE (StateReader::isValidUtf8 ("\xff", 1));
    EXPECT_FALSE (StateReader::isValidUtf8 ("\xc2", 1));              // cut short
    EXPECT_FALSE (StateReader::isValidUtf8 ("\xe0\x80\xaf", 3));      // overlong
    EXPECT_FALSE (StateReader::isValidUtf8 ("\xed\xa0\x80", 3));      // surrogate
    EXPECT_FALSE (StateReader::isValidUtf8 ("\xf4\x90\x80\x80", 4));  // above U+10FFFF
}

TEST_F (StateTest, EntriesThatAreOddStillLoseNothing)
{
    OstrelSynthAudioProcessor processor (waves.getFolder());
    set (processor, "ENV2DECAY", 0.5f);
    set (processor, "ENV2SUSTAIN", 0.25f);
    set (processor, "FILTER1DRIVE", 3.0f);

    // An extra unknown entry, a missing entry (ENV2DECAY), a value that is not a number, a value out
    // of range, and an infinite value.
    const auto state = containerWith (R"(<Parameters>)"
                                      R"(<PARAM id="NOSUCHPARAM" value="3"/>)"
                                      R"(<PARAM id="ENV2SUSTAIN" value="banana"/>)"
                                      R"(<PARAM id="FILTER1CUTOFF" value="99999"/>)"
                                      R"(<PARAM id="FILTER1DRIVE" value="inf"/>)"
                                      R"(<PARAM id="ENV1ATTACK" value="0.2"/>)"
                                      R"(<PARAM id="ENV1ATTACK" value="0.5"/>)"   // duplicated: the later entry wins
                                      R"(</Parameters>)");
    processor.setStateInformation (state.getData(), (int) state.getSize());

    auto real = [&] (const char* id) { auto* p = processor.apvts.getParameter (id); return p->convertFrom0to1 (p->getValue()); };
    EXPECT_NEAR (real ("ENV2DECAY"), 0.5f, 1e-6f);
    EXPECT_NEAR (real ("ENV2SUSTAIN"), 0.25f, 1e-6f);
    EXPECT_NEAR (real ("FILTER1DRIVE"), 3.0f, 1e-6f);
    EXPECT_NEAR (real ("FILTER1CUTOFF"), 10000.0f, 1e-3f);
    EXPECT_NEAR (real ("ENV1ATTACK"), 0.5f, 1e-6f);

    for (auto* p : processor.getParameters())
        EXPECT_TRUE (std::isfinite (p->getValue()));
}

TEST_F (StateTest, WaveIndicesRestoreByIndexAndClamp)
{
    OstrelSynthAudioProcessor source (waves.getFolder());
    set (source, "OSC1TYPE", 1.0f);   // second file
    set (source, "OSC2TYPE", 2.0f);   // "Custom"
    const auto saved = stateOf (source);

    TempWaveFolder fewer;
    fewer.addWave ("Only", "One.wav", sineCycle());
    OstrelSynthAudioProcessor target (fewer.getFolder());
    target.setStateInformation (saved.getData(), (int) saved.getSize());

    auto index = [&] (const char* id) { return dynamic_cast<juce::AudioParameterChoice*> (target.apvts.getParameter (id))->getIndex(); };
    EXPECT_EQ (index ("OSC1TYPE"), 1);   // now "Custom"
    EXPECT_EQ (index ("OSC2TYPE"), 1);   // beyond the list: clamped to its last entry
}

TEST_F (StateTest, SavingWhatWasLoadedGivesTheSameBytes)
{
    OstrelSynthAudioProcessor processor (waves.getFolder());
    juce::Random random (3);

    for (int round = 0; round < 3; ++round)
    {
        const auto first = stateOf (processor);
        processor.setStateInformation (first.getData(), (int) first.getSize());
        const auto second = stateOf (processor);
        EXPECT_EQ (juce::String::fromUTF8 ((const char*) first.getData() + 8, (int) first.getSize() - 9),
                   juce::String::fromUTF8 ((const char*) second.getData() + 8, (int) second.getSize() - 9));

        for (auto* p : processor.getParameters())
            p->setValueNotifyingHost (random.nextFloat());
    }
}
