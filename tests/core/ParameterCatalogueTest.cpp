#include <gtest/gtest.h>

#include "TestHelpers.h"
#include "core/Constants.h"
#include "core/PluginProcessor.h"
#include "core/ParameterText.h"

namespace
{
enum class Kind { floatParam, intParam, choiceParam, boolParam };

struct Row
{
    const char* unitOneId;
    const char* unitOneName;
    int units;
    Kind kind;
    float start, end, interval, skew;
    float defaultValue;             // real value; switches 1 or 0 (oscillator switches: see below)
};

// Every row of the catalogue, unit 1 spelled out; units 2..n derive by replacing "1".
const Row rows[] = {
    { "ENV1ATTACK",       "Envelope 1 Attack",          4, Kind::floatParam,  0.001f, 2.0f, 0.001f, 0.5f, 0.01f },
    { "ENV1DECAY",        "Envelope 1 Decay",           4, Kind::floatParam,  0.001f, 1.0f, 0.001f, 0.5f, 0.15f },
    { "ENV1SUSTAIN",      "Envelope 1 Sustain",         4, Kind::floatParam,  0.0f, 1.0f, 0.01f, 1.0f, 1.0f },
    { "ENV1RELEASE",      "Envelope 1 Release",         4, Kind::floatParam,  0.001f, 3.0f, 0.001f, 0.5f, 0.1f },
    { "OSC1DETUNE",       "Oscillator 1 Detune",        4, Kind::intParam,    -99.0f, 99.0f, 1.0f, 1.0f, 0.0f },
    { "OSC1SEMI",         "Oscillator 1 Semi",          4, Kind::floatParam,  -24.0f, 24.0f, 0.01f, 1.0f, 0.0f },
    { "OSC1GAIN",         "Oscillator 1 Gain",          4, Kind::floatParam,  -42.0f, 12.0f, 0.01f, 2.7580879f, 0.0f },
    { "OSC1PAN",          "Oscillator 1 Pan",           4, Kind::floatParam,  -1.0f, 1.0f, 0.01f, 1.0f, 0.0f },
    { "OSC1UNISONVOICES", "Oscillator 1 Unison Voices", 4, Kind::intParam,    1.0f, 8.0f, 1.0f, 1.0f, 1.0f },
    { "OSC1UNISONDETUNE", "Oscillator 1 Unison Detune", 4, Kind::floatParam,  0.0f, 1.0f, 0.01f, 1.0f, 0.0f },
    { "OSC1UNISONSPREAD", "Oscillator 1 Unison Spread", 4, Kind::floatParam,  0.0f, 1.0f, 0.01f, 1.0f, 0.0f },
    { "LFO1PHASE",        "LFO 1 Phase",                4, Kind::floatParam,  0.0f, 6.2831855f, 0.001f, 1.0f, 0.0f },
    { "LFO1POLARITY",     "LFO 1 Polarity",             4, Kind::boolParam,   0.0f, 1.0f, 1.0f, 1.0f, 0.0f },
    { "LFO1WAVE",         "LFO 1 Waveform",             4, Kind::choiceParam, 0.0f, 5.0f, 1.0f, 1.0f, 0.0f },
    { "LFO1FREQ",         "LFO 1 Frequency",            4, Kind::floatParam,  0.001f, 40.0f, 0.001f, 0.3f, 1.0f },
    { "LFO1DEPTH",        "LFO 1 Depth",                4, Kind::floatParam,  0.0f, 1.0f, 0.01f, 1.0f, 1.0f },
    { "FILTER1BYPASS",    "Filter 1 Bypass",            2, Kind::boolParam,   0.0f, 1.0f, 1.0f, 1.0f, 0.0f },
    { "FILTER1RESONANCE", "Filter 1 Resonance",         2, Kind::floatParam,  0.0f, 1.0f, 0.01f, 1.0f, 0.2f },
    { "FILTER1DRIVE",     "Filter 1 Drive",             2, Kind::floatParam,  1.0f, 8.0f, 0.01f, 1.0f, 1.0f },
    { "FILTER1CUTOFF",    "Filter 1 Cutoff",            2, Kind::floatParam,  20.0f, 10000.0f, 0.01f, 0.4f, 500.0f },
    { "MPEON",            "MPE Enabled",                1, Kind::boolParam,   0.0f, 1.0f, 1.0f, 1.0f, 1.0f },
};

class CatalogueTest : public ::testing::Test
{
protected:
    TempWaveFolder waves;
    OstrelSynthAudioProcessor processor { waves.getFolder() };

    juce::RangedAudioParameter* param (const juce::String& id) { return processor.apvts.getParameter (id); }

    juce::String text (const juce::String& id, float realValue)
    {
        auto* p = param (id);
        return p->getText (p->convertTo0to1 (realValue), 0);
    }

    float fromText (const juce::String& id, const juce::String& t)
    {
        auto* p = param (id);
        return p->convertFrom0to1 (p->getValueForText (t));
    }
};
} // namespace

TEST_F (CatalogueTest, HoldsEightyOneParametersInHostOrder)
{
    const char* expected[] = {
        "ENV1ATTACK", "ENV1DECAY", "ENV1SUSTAIN", "ENV1RELEASE", "ENV2ATTACK", "ENV2DECAY", "ENV2SUSTAIN", "ENV2RELEASE",
        "ENV3ATTACK", "ENV3DECAY", "ENV3SUSTAIN", "ENV3RELEASE", "ENV4ATTACK", "ENV4DECAY", "ENV4SUSTAIN", "ENV4RELEASE",
        "OSC1TYPE", "OSC1DETUNE", "OSC1SEMI", "OSC1GAIN", "OSC1PAN", "OSC1UNISONVOICES", "OSC1UNISONDETUNE", "OSC1UNISONSPREAD", "OSC1BYPASS",
        "OSC2TYPE", "OSC2DETUNE", "OSC2SEMI", "OSC2GAIN", "OSC2PAN", "OSC2UNISONVOICES", "OSC2UNISONDETUNE", "OSC2UNISONSPREAD", "OSC2BYPASS",
        "OSC3TYPE", "OSC3DETUNE", "OSC3SEMI", "OSC3GAIN", "OSC3PAN", "OSC3UNISONVOICES", "OSC3UNISONDETUNE", "OSC3UNISONSPREAD", "OSC3BYPASS",
        "OSC4TYPE", "OSC4DETUNE", "OSC4SEMI", "OSC4GAIN", "OSC4PAN", "OSC4UNISONVOICES", "OSC4UNISONDETUNE", "OSC4UNISONSPREAD", "OSC4BYPASS",
        "LFO1PHASE", "LFO1POLARITY", "LFO1WAVE", "LFO1FREQ", "LFO1DEPTH", "LFO2PHASE", "LFO2POLARITY", "LFO2WAVE", "LFO2FREQ", "LFO2DEPTH",
        "LFO3PHASE", "LFO3POLARITY", "LFO3WAVE", "LFO3FREQ", "LFO3DEPTH", "LFO4PHASE", "LFO4POLARITY", "LFO4WAVE", "LFO4FREQ", "LFO4DEPTH",
        "FILTER1BYPASS", "FILTER1RESONANCE", "FILTER1DRIVE", "FILTER1CUTOFF", "FILTER2BYPASS", "FILTER2RESONANCE", "FILTER2DRIVE", "FILTER2CUTOFF",
        "MPEON" };

    const auto& params = processor.getParameters();
    ASSERT_EQ (params.size(), 81);

    for (int i = 0; i < 81; ++i)
    {
        auto* p = dynamic_cast<juce::RangedAudioParameter*> (params[i]);
        ASSERT_NE (p, nullptr);
        EXPECT_EQ (p->getParameterID(), juce::String (expected[i])) << "index " << i;
        EXPECT_EQ (p->getLabel(), juce::String());
        EXPECT_EQ (p->getCategory(), juce::AudioProcessorParameter::genericParameter);
    }
}

TEST_F (CatalogueTest, EveryRowHasItsNameTypeRangeAndDefault)
{
    for (const auto& row : rows)
    {
        for (int n = 1; n <= row.units; ++n)
        {
            const auto id = CONST::forUnit (row.unitOneId, n);
            SCOPED_TRACE (id.toStdString());
            auto* p = param (id);
            ASSERT_NE (p, nullptr);
            EXPECT_EQ (p->getName (100), CONST::forUnit (row.unitOneName, n));

            switch (row.kind)
            {
                case Kind::floatParam: EXPECT_NE (dynamic_cast<juce::AudioParameterFloat*> (p), nullptr); break;
                case Kind::intParam: EXPECT_NE (dynamic_cast<juce::AudioParameterInt*> (p), nullptr); break;
                case Kind::choiceParam: EXPECT_NE (dynamic_cast<juce::AudioParameterChoice*> (p), nullptr); break;
                case Kind::boolParam: EXPECT_NE (dynamic_cast<juce::AudioParameterBool*> (p), nullptr); break;
            }

            const auto& range = p->getNormalisableRange();
            EXPECT_FLOAT_EQ (range.start, row.start);
            EXPECT_FLOAT_EQ (range.end, row.end);
            EXPECT_FLOAT_EQ (range.interval, row.interval);
            EXPECT_FLOAT_EQ (range.skew, row.skew);
            EXPECT_NEAR (p->convertFrom0to1 (p->getDefaultValue()), row.defaultValue, 1e-6f);
        }
    }
}

TEST_F (CatalogueTest, SwitchDefaultsAndDerivedOscillatorStrings)
{
    EXPECT_TRUE (param ("OSC1BYPASS")->getDefaultValue() > 0.5f);

    for (int n = 2; n <= 4; ++n)
        EXPECT_FALSE (param (CONST::forUnit (CONST::OSC1_BYPASS_ID, n))->getDefaultValue() > 0.5f);

    EXPECT_EQ (param ("OSC4BYPASS")->getName (100), "Oscillator 4 Bypass");
    EXPECT_EQ (CONST::forUnit (CONST::OSC1_UNISON_VOICES_ID, 3), "OSC3UNISONVOICES");
    EXPECT_EQ (CONST::forUnit (CONST::OSC1_PAN_NAME, 3), "Oscillator 3 Pan");
    EXPECT_EQ (CONST::ENV2_ATTACK_ID, "ENV2ATTACK");
    EXPECT_EQ (CONST::LFO4_DEPTH_NAME, "LFO 4 Depth");
    EXPECT_EQ (CONST::FILTER2_RES_ID, "FILTER2RESONANCE");

    // 0 dB is the middle of the gain range.
    EXPECT_NEAR (param ("OSC1GAIN")->convertFrom0to1 (0.5f), 0.0f, 0.01f);

    auto* lfoWave = dynamic_cast<juce::AudioParameterChoice*> (param ("LFO2WAVE"));
    EXPECT_EQ (lfoWave->choices, juce::StringArray ({ "sine", "triangle", "sawUp", "sawDown", "square", "random" }));
}

TEST_F (CatalogueTest, TextConversions)
{
    const auto degree = juce::String::charToString ((juce::juce_wchar) 0x00b0);

    using Convert = juce::String (*) (float, int);
    struct ToText { Convert convert; float value; juce::String text; };
    const ToText toText[] = {
        { ParameterText::timeToText, 0.01f, "10 ms " },
        { ParameterText::timeToText, 0.9f, "900 ms " },
        { ParameterText::timeToText, 1.5f, "1.50 s " },
        { ParameterText::sustainToText, 0.35f, "35 % " },
        { ParameterText::depthToText, 1.0f, "100%" },
        { ParameterText::frequencyToText, 999.0f, "999.00 Hz" },
        { ParameterText::frequencyToText, 1000.0f, "1.00 kHz" },
        { ParameterText::frequencyToText, 10000.0f, "10.00 kHz" },
        { ParameterText::phaseToText, 3.1415927f, "180" + degree },
        { ParameterText::phaseToText, 6.282f, "359" + degree },
    };

    for (const auto& c : toText)
        EXPECT_EQ (c.convert (c.value, 0), c.text) << c.value;

    // The parameters use these conversions.
    struct Through { const char* id; float value; juce::String text; };
    const Through through[] = {
        { "ENV1ATTACK", 0.01f, "10 ms " },
        { "ENV3RELEASE", 2.25f, "2.25 s " },
        { "ENV2SUSTAIN", 0.35f, "35 % " },
        { "LFO3DEPTH", 1.0f, "100%" },
        { "FILTER2CUTOFF", 10000.0f, "10.00 kHz" },
        { "LFO4PHASE", 3.1415927f, "180" + degree },
    };

    for (const auto& c : through)
        EXPECT_EQ (text (c.id, c.value), c.text) << c.id << " " << c.value;

    struct FromText { const char* id; const char* text; float value; };
    const FromText fromTexts[] = {
        { "ENV1ATTACK", "250", 0.25f },
        { "ENV1ATTACK", "1.5s", 0.002f },     // read as 1.5 ms, then snapped to the 0.001 s grid
        { "ENV1DECAY", "banana", 0.001f },    // not a number: 0, clamped to the range start
        { "ENV1SUSTAIN", "35 %", 0.35f },
        { "LFO1DEPTH", "50%", 0.5f },
        { "FILTER1CUTOFF", "2 kHz", 20.0f },  // 2 Hz, clamped to 20 Hz
        { "FILTER1CUTOFF", "1234.5", 1234.5f },
        { "LFO1PHASE", "90", 1.5707964f },
    };

    for (const auto& c : fromTexts)
        EXPECT_NEAR (fromText (c.id, c.text), c.value, 1.1e-3f) << c.id << " '" << c.text << "'";

    // The display of a phase just below a full turn never reads 360.
    EXPECT_EQ (text ("LFO1PHASE", 6.2831855f - 0.0005f).upToFirstOccurrenceOf (degree, false, false), "359");
}

TEST (WaveChoices, FolderConventionBuildsTheChoiceList)
{
    TempWaveFolder waves;
    waves.addWave ("A", "x_y.wav", sineCycle());
    waves.addWave ("A", "z.wav", sawCycle());
    waves.addWave ("B", "w.wav", sineCycle());
    waves.addWave ("", "loose.wav", sineCycle());          // directly in the folder: never a choice
    waves.addWave ("B/deeper", "deep.wav", sineCycle());   // two levels down: never a choice
    waves.addRaw ("B", "notes.txt", juce::MemoryBlock ("hello", 5));

    OstrelSynthAudioProcessor processor (waves.getFolder());
    auto* type = dynamic_cast<juce::AudioParameterChoice*> (processor.apvts.getParameter ("OSC3TYPE"));
    ASSERT_NE (type, nullptr);

    // Listing order is the file system's; compare as sets per subfolder and check the order of groups.
    const auto& choices = type->choices;
    ASSERT_EQ (choices.size(), 4);
    EXPECT_EQ (choices[3], "Custom");
    EXPECT_TRUE (choices.contains ("x y") && choices.contains ("z") && choices.contains ("w"));
    EXPECT_FALSE (choices.contains ("loose") || choices.contains ("deep") || choices.contains ("notes"));

    const auto& entries = processor.getWaveLibrary().getEntries();
    ASSERT_EQ (entries.size(), 3u);

    for (size_t i = 0; i < entries.size(); ++i)
        EXPECT_EQ (entries[i].displayName, choices[(int) i]) << "the engine's list and the choice list agree";

    EXPECT_EQ (type->getIndex(), 0);
}

TEST (WaveChoices, EmptyOrMissingFolderOffersOnlyCustom)
{
    OstrelSynthAudioProcessor missing (juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("no-such-ostrel-folder"));
    auto* type = dynamic_cast<juce::AudioParameterChoice*> (missing.apvts.getParameter ("OSC1TYPE"));
    EXPECT_EQ (type->choices, juce::StringArray ({ "Custom" }));
    EXPECT_EQ (type->getCurrentChoiceName(), "Custom");

    // A list of one choice still saves and restores cleanly.
    for (auto* p : missing.getParameters())
        EXPECT_TRUE (std::isfinite (p->getValue())) << p->getName (100);

    juce::MemoryBlock first, second;
    missing.getStateInformation (first);
    missing.setStateInformation (first.getData(), (int) first.getSize());
    missing.getStateInformation (second);
    EXPECT_EQ (first.toString(), second.toString());
}

TEST (WaveChoices, DefaultLocationIsTheMachineWideFolder)
{
    const auto expected = juce::File::getSpecialLocation (juce::File::commonApplicationDataDirectory)
                              .getChildFile ("Application Support/Tavik/Ostrel/Waveform Files");
    EXPECT_EQ (WaveFolder::defaultLocation(), expected);
#if JUCE_LINUX
    EXPECT_EQ (WaveFolder::defaultLocation().getFullPathName(), "/opt/Application Support/Tavik/Ostrel/Waveform Files");
#endif
}
