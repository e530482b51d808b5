#include <gtest/gtest.h>

#include "TestHelpers.h"
#include "core/PluginProcessor.h"

#include <cmath>

namespace
{
class ModulationTest : public ::testing::Test
{
protected:
    ModulationTest()
    {
        waves.addWave ("Basic", "Sine.wav", sineCycle());
        processor = std::make_unique<OstrelSynthAudioProcessor> (waves.getFolder());
    }

    juce::RangedAudioParameter* param (const char* id) { return processor->apvts.getParameter (id); }

    std::atomic<float>& amount (const char* id, Synth::ModSource source)
    {
        return processor->synth.modAmounts.at (param (id))[(size_t) source];
    }

    SynthVoice* soundingVoice()
    {
        for (auto* v : processor->voices)
            if (v->isActive())
                return v;
        return nullptr;
    }

    TempWaveFolder waves;
    std::unique_ptr<OstrelSynthAudioProcessor> processor;   // made once the waves are in place
};
} // namespace

TEST_F (ModulationTest, WithoutAmountsEveryTargetIsItsParameterExactly)
{
    ProcessorDriver host (*processor);
    juce::Random random (7);

    for (auto* target : processor->synth.getModTargets())
        target->setValueNotifyingHost (random.nextFloat());

    host.send (noteOn (2, 60));
    host.render (64);
    auto* voice = soundingVoice();
    ASSERT_NE (voice, nullptr);

    // Asking changes nothing; after a while every smoother, filter 2's included, has settled.
    for (auto* target : processor->synth.getModTargets())
        voice->modulatedParam (target, true);

    host.render (2048);

    for (auto* target : processor->synth.getModTargets())
        EXPECT_EQ (voice->modulatedParam (target, true), target->convertFrom0to1 (target->getValue())) << target->getParameterID();

    // A parameter that is no target gives its own value either way.
    auto* wave = param ("LFO1WAVE");
    EXPECT_EQ (voice->modulatedParam (wave, false), wave->convertFrom0to1 (wave->getValue()));
}

TEST_F (ModulationTest, NormalisedDomainWithClamping)
{
    // LFO 1: a still, bipolar sine a quarter turn in, so it sits at +1.
    auto setReal = [this] (const char* id, float v) { param (id)->setValueNotifyingHost (param (id)->convertTo0to1 (v)); };
    setReal ("LFO1PHASE", 6.2831855f / 4.0f);
    setReal ("LFO1POLARITY", 1.0f);
    setReal ("LFO1FREQ", 0.001f);
    ProcessorDriver host (*processor);
    param ("FILTER1CUTOFF")->setValueNotifyingHost (0.9f);
    amount ("FILTER1CUTOFF", Synth::lfo1) = 0.5f;
    amount ("OSC2PAN", Synth::mpeSlider) = 1.0f;
    amount ("OSC1UNISONVOICES", Synth::mpeSlider) = 1.0f;
    amount ("ENV2SUSTAIN", Synth::mpeLift) = -1.0f;

    host.send (noteOn (2, 60));
    host.render (4096);
    auto* voice = soundingVoice();
    ASSERT_NE (voice, nullptr);

    EXPECT_NEAR (voice->getSourceValue (Synth::lfo1), 1.0f, 1e-4f);
    EXPECT_EQ (voice->modulatedParam (param ("FILTER1CUTOFF"), false), 1.0f) << "0.9 + 0.5 clamps to 1";
    EXPECT_EQ (voice->modulatedParam (param ("FILTER1CUTOFF"), true), 10000.0f);

    // The pitch-bend slider at rest sits at about half its range.
    EXPECT_NEAR (voice->modulatedParam (param ("OSC2PAN"), false), 0.5f + 8192.0f / 16383.0f, 1e-3f);
    const auto voices = voice->modulatedParam (param ("OSC1UNISONVOICES"), true);
    EXPECT_EQ (voices, std::round (voices));
    EXPECT_GE (voices, 4.0f);

    // Lift contributes nothing while the note is held.
    EXPECT_EQ (voice->modulatedParam (param ("ENV2SUSTAIN"), false), param ("ENV2SUSTAIN")->getValue());
}

TEST_F (ModulationTest, AmountChangesAreHeardWithinASubBlockAndTheRamp)
{
    ProcessorDriver host (*processor, 48000.0, 64);
    auto* type = dynamic_cast<juce::AudioParameterChoice*> (param ("OSC1TYPE"));
    type->setValueNotifyingHost (type->convertTo0to1 (0.0f));
    host.send (noteOn (2, 57, 127));   // 220 Hz
    host.render (4800);
    EXPECT_NEAR (estimateFrequency (host.render (4800).getReadPointer (0), 4800, 48000.0), 220.0, 0.5);

    // Strike velocity (1.0) times 0.25 of the semitone range (48) is +12 semitones.
    amount ("OSC1SEMI", Synth::mpeStrike) = 0.25f;
    host.render (64 + 479);
    EXPECT_NEAR (estimateFrequency (host.render (4800).getReadPointer (0), 4800, 48000.0), 440.0, 0.5);
}

TEST_F (ModulationTest, SmoothingRampLength)
{
    // 10 ms given in single precision: 440 steps at 44.1 kHz, 479 at 48 kHz.
    for (auto [rate, steps] : { std::pair { 44100.0, 440 }, std::pair { 48000.0, 479 } })
    {
        juce::SmoothedValue<float> s;
        s.reset (rate, (double) 0.01f);
        s.setTargetValue (1.0f);
        s.skip (steps - 1);
        EXPECT_TRUE (s.isSmoothing());
        s.skip (1);
        EXPECT_FALSE (s.isSmoothing());
    }
}

TEST_F (ModulationTest, DisplayQueryIsSafeWhileRendering)
{
    ProcessorDriver host (*processor, 48000.0, 128);
    amount ("OSC1PAN", Synth::lfo1) = 0.7f;
    host.set ("LFO1FREQ", 5.0f);
    host.send (noteOn (2, 60));
    host.render (128);

    std::atomic<bool> done { false };
    std::atomic<int> outOfRange { 0 };
    std::thread display ([&]
    {
        while (! done)
            for (auto* v : processor->synth.synthVoices)
            {
                const auto value = v->modulatedParam (param ("OSC1PAN"), false);
                if (! (value >= 0.0f && value <= 1.0f))
                    ++outOfRange;
            }
    });

    for (int i = 0; i < 200; ++i)
        host.render (128);

    done = true;
    display.join();
    EXPECT_EQ (outOfRange.load(), 0);
}
