#pragma once

#include <juce_core/juce_core.h>

/** Parameter IDs and display names. Unit n's strings are unit 1's with every "1" replaced by the
    digit n (see CONST::forUnit). Each translation unit holds its own copy of these strings. */
namespace CONST
{
// Envelopes 1 to 4
static const juce::String ENV1_ATTACK_ID  = "ENV1ATTACK",  ENV1_ATTACK_NAME  = "Envelope 1 Attack";
static const juce::String ENV1_DECAY_ID   = "ENV1DECAY",   ENV1_DECAY_NAME   = "Envelope 1 Decay";
static const juce::String ENV1_SUSTAIN_ID = "ENV1SUSTAIN", ENV1_SUSTAIN_NAME = "Envelope 1 Sustain";
static const juce::String ENV1_RELEASE_ID = "ENV1RELEASE", ENV1_RELEASE_NAME = "Envelope 1 Release";
static const juce::String ENV2_ATTACK_ID  = "ENV2ATTACK",  ENV2_ATTACK_NAME  = "Envelope 2 Attack";
static const juce::String ENV2_DECAY_ID   = "ENV2DECAY",   ENV2_DECAY_NAME   = "Envelope 2 Decay";
static const juce::String ENV2_SUSTAIN_ID = "ENV2SUSTAIN", ENV2_SUSTAIN_NAME = "Envelope 2 Sustain";
static const juce::String ENV2_RELEASE_ID = "ENV2RELEASE", ENV2_RELEASE_NAME = "Envelope 2 Release";
static const juce::String ENV3_ATTACK_ID  = "ENV3ATTACK",  ENV3_ATTACK_NAME  = "Envelope 3 Attack";
static const juce::String ENV3_DECAY_ID   = "ENV3DECAY",   ENV3_DECAY_NAME   = "Envelope 3 Decay";
static const juce::String ENV3_SUSTAIN_ID = "ENV3SUSTAIN", ENV3_SUSTAIN_NAME = "Envelope 3 Sustain";
static const juce::String ENV3_RELEASE_ID = "ENV3RELEASE", ENV3_RELEASE_NAME = "Envelope 3 Release";
static const juce::String ENV4_ATTACK_ID  = "ENV4ATTACK",  ENV4_ATTACK_NAME  = "Envelope 4 Attack";
static const juce::String ENV4_DECAY_ID   = "ENV4DECAY",   ENV4_DECAY_NAME   = "Envelope 4 Decay";
static const juce::String ENV4_SUSTAIN_ID = "ENV4SUSTAIN", ENV4_SUSTAIN_NAME = "Envelope 4 Sustain";
static const juce::String ENV4_RELEASE_ID = "ENV4RELEASE", ENV4_RELEASE_NAME = "Envelope 4 Release";

// Oscillator 1 (oscillators 2 to 4 are derived)
static const juce::String OSC1_TYPE_ID           = "OSC1TYPE",         OSC1_TYPE_NAME           = "Oscillator 1 Type";
static const juce::String OSC1_DETUNE_ID         = "OSC1DETUNE",       OSC1_DETUNE_NAME         = "Oscillator 1 Detune";
static const juce::String OSC1_SEMI_ID           = "OSC1SEMI",         OSC1_SEMI_NAME           = "Oscillator 1 Semi";
static const juce::String OSC1_GAIN_ID           = "OSC1GAIN",         OSC1_GAIN_NAME           = "Oscillator 1 Gain";
static const juce::String OSC1_PAN_ID            = "OSC1PAN",          OSC1_PAN_NAME            = "Oscillator 1 Pan";
static const juce::String OSC1_UNISON_VOICES_ID  = "OSC1UNISONVOICES", OSC1_UNISON_VOICES_NAME  = "Oscillator 1 Unison Voices";
static const juce::String OSC1_UNISON_DETUNE_ID  = "OSC1UNISONDETUNE", OSC1_UNISON_DETUNE_NAME  = "Oscillator 1 Unison Detune";
static const juce::String OSC1_UNISON_SPREAD_ID  = "OSC1UNISONSPREAD", OSC1_UNISON_SPREAD_NAME  = "Oscillator 1 Unison Spread";
static const juce::String OSC1_BYPASS_ID         = "OSC1BYPASS",       OSC1_BYPASS_NAME         = "Oscillator 1 Bypass";

// LFOs 1 to 4
static const juce::String LFO1_PHASE_ID    = "LFO1PHASE",    LFO1_PHASE_NAME    = "LFO 1 Phase";
static const juce::String LFO1_WAVE_ID     = "LFO1WAVE",     LFO1_WAVE_NAME     = "LFO 1 Waveform";
static const juce::String LFO1_POLARITY_ID = "LFO1POLARITY", LFO1_POLARITY_NAME = "LFO 1 Polarity";
static const juce::String LFO1_FREQ_ID     = "LFO1FREQ",     LFO1_FREQ_NAME     = "LFO 1 Frequency";
static const juce::String LFO1_DEPTH_ID    = "LFO1DEPTH",    LFO1_DEPTH_NAME    = "LFO 1 Depth";
static const juce::String LFO2_PHASE_ID    = "LFO2PHASE",    LFO2_PHASE_NAME    = "LFO 2 Phase";
static const juce::String LFO2_WAVE_ID     = "LFO2WAVE",     LFO2_WAVE_NAME     = "LFO 2 Waveform";
static const juce::String LFO2_POLARITY_ID = "LFO2POLARITY", LFO2_POLARITY_NAME = "LFO 2 Polarity";
static const juce::String LFO2_FREQ_ID     = "LFO2FREQ",     LFO2_FREQ_NAME     = "LFO 2 Frequency";
static const juce::String LFO2_DEPTH_ID    = "LFO2DEPTH",    LFO2_DEPTH_NAME    = "LFO 2 Depth";
static const juce::String LFO3_PHASE_ID    = "LFO3PHASE",    LFO3_PHASE_NAME    = "LFO 3 Phase";
static const juce::String LFO3_WAVE_ID     = "LFO3WAVE",     LFO3_WAVE_NAME     = "LFO 3 Waveform";
static const juce::String LFO3_POLARITY_ID = "LFO3POLARITY", LFO3_POLARITY_NAME = "LFO 3 Polarity";
static const juce::String LFO3_FREQ_ID     = "LFO3FREQ",     LFO3_FREQ_NAME     = "LFO 3 Frequency";
static const juce::String LFO3_DEPTH_ID    = "LFO3DEPTH",    LFO3_DEPTH_NAME    = "LFO 3 Depth";
static const juce::String LFO4_PHASE_ID    = "LFO4PHASE",    LFO4_PHASE_NAME    = "LFO 4 Phase";
static const juce::String LFO4_WAVE_ID     = "LFO4WAVE",     LFO4_WAVE_NAME     = "LFO 4 Waveform";
static const juce::String LFO4_POLARITY_ID = "LFO4POLARITY", LFO4_POLARITY_NAME = "LFO 4 Polarity";
static const juce::String LFO4_FREQ_ID     = "LFO4FREQ",     LFO4_FREQ_NAME     = "LFO 4 Frequency";
static const juce::String LFO4_DEPTH_ID    = "LFO4DEPTH",    LFO4_DEPTH_NAME    = "LFO 4 Depth";

// Filters 1 and 2
static const juce::String FILTER1_BYPASS_ID = "FILTER1BYPASS",    FILTER1_BYPASS_NAME = "Filter 1 Bypass";
static const juce::String FILTER1_CUTOFF_ID = "FILTER1CUTOFF",    FILTER1_CUTOFF_NAME = "Filter 1 Cutoff";
static const juce::String FILTER1_RES_ID    = "FILTER1RESONANCE", FILTER1_RES_NAME    = "Filter 1 Resonance";
static const juce::String FILTER1_DRIVE_ID  = "FILTER1DRIVE",     FILTER1_DRIVE_NAME  = "Filter 1 Drive";
static const juce::String FILTER2_BYPASS_ID = "FILTER2BYPASS",    FILTER2_BYPASS_NAME = "Filter 2 Bypass";
static const juce::String FILTER2_CUTOFF_ID = "FILTER2CUTOFF",    FILTER2_CUTOFF_NAME = "Filter 2 Cutoff";
static const juce::String FILTER2_RES_ID    = "FILTER2RESONANCE", FILTER2_RES_NAME    = "Filter 2 Resonance";
static const juce::String FILTER2_DRIVE_ID  = "FILTER2DRIVE",     FILTER2_DRIVE_NAME  = "Filter 2 Drive";

static const juce::String MPEON_ID = "MPEON", MPEON_NAME = "MPE Enabled";

/** Unit n's ID or name from unit 1's: every "1" becomes the digit n. */
inline juce::String forUnit (const juce::String& unitOneString, int unit)
{
    jassert (unit >= 1 && unit <= 9);
    return unitOneString.replaceCharacter ('1', (juce::juce_wchar) ('0' + unit));
}
} // namespace CONST
