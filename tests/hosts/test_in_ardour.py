#!/usr/bin/python3
"""Both plug-ins in Debian's Ardour 7, headless.

ardour-vst3-scanner (the tool Ardour runs before it loads a VST3) must index the bundle as an
instrument with two outputs and a MIDI input. Then, for the LV2 and the VST3 plug-in in turn,
ardour7-lua runs ardour_record_note.lua: a session on Ardour's dummy audio backend, the plug-in on a
MIDI track, A4 played live into it and recorded on an audio track. The take must be a 440 Hz tone on
both channels.

Environment: OSTREL_VST3 and OSTREL_LV2 (the built bundles).
"""
import glob
import os
import re
import subprocess
import sys
import tempfile

from host_checks import Report, pitch_of_loudest_stretch, read_wav, rms

HERE = os.path.dirname(os.path.abspath(__file__))
ARDOUR_LIBS = "/usr/lib/ardour7"
report = Report()
check = report.check


def scan_vst3(env, bundle):
    result = subprocess.run([os.path.join(ARDOUR_LIBS, "ardour-vst3-scanner"), "-f", bundle], env=env,
                            capture_output=True, text=True, timeout=120)
    check("Found Plugin: OstrelSynth" in result.stdout + result.stderr, "ardour-vst3-scanner finds OstrelSynth")
    caches = glob.glob(os.path.join(env["HOME"], ".cache", "ardour7", "vst", "*.v3i"))
    index = open(caches[0]).read() if caches else ""
    for attribute in ('name="OstrelSynth"', 'vendor="Tavik"', 'category="Instrument|Synth"', 'n_outputs="2"',
                      'n_midi_inputs="1"'):
        check(attribute in index, f"Ardour's VST3 index says {attribute}")


def record_a_note(env, plugin_format, folder):
    session = os.path.join(folder, plugin_format)
    result = subprocess.run(["ardour7-lua", os.path.join(HERE, "ardour_record_note.lua")],
                            env=dict(env, OSTREL_FORMAT=plugin_format, OSTREL_SESSION=session),
                            capture_output=True, text=True, timeout=180)
    said = result.stdout + result.stderr
    check(f"plugin {plugin_format} OstrelSynth" in said, f"Ardour instantiates the {plugin_format} plug-in on a MIDI track")
    if not check("recorded" in said, f"Ardour records the {plugin_format} plug-in"):
        print(said[-3000:])
        return

    takes = {}
    for path in glob.glob(os.path.join(session, "interchange", "*", "audiofiles", "*.wav")):
        side = re.search(r"%([LR])\.wav$", path)
        if side:
            takes[side.group(1)] = read_wav(path)
    if not check(set(takes) == {"L", "R"}, f"{plugin_format}: a stereo take (files {sorted(takes)})"):
        return

    rate, left = takes["L"][0], takes["L"][1][:, 0]
    right = takes["R"][1][:, 0]
    check(rms(left) > 0.005, f"{plugin_format}: the note sounds (RMS {rms(left):.4f})")
    check(abs(rms(left) - rms(right)) < 0.1 * rms(left) + 1e-6, f"{plugin_format}: both channels alike")
    pitch = pitch_of_loudest_stretch(left, rate)
    check(abs(pitch - 440.0) < 1.5, f"{plugin_format}: A4 sounds at {pitch:.2f} Hz (440 expected)")


def main():
    vst3 = os.path.abspath(os.environ["OSTREL_VST3"])
    lv2 = os.path.abspath(os.environ["OSTREL_LV2"])

    with tempfile.TemporaryDirectory() as home:
        # A home of its own: Ardour's settings and plug-in index start empty, and only the bundles
        # under test are found (through ~/.vst3 and LV2_PATH).
        os.makedirs(os.path.join(home, ".vst3"))
        os.symlink(vst3, os.path.join(home, ".vst3", "OstrelSynth.vst3"))
        env = dict(os.environ, HOME=home, LV2_PATH=os.path.dirname(lv2),
                   LD_LIBRARY_PATH=ARDOUR_LIBS + ":" + os.environ.get("LD_LIBRARY_PATH", ""))
        env.pop("DISPLAY", None)
        scan_vst3(env, os.path.join(home, ".vst3", "OstrelSynth.vst3"))

        with tempfile.TemporaryDirectory() as sessions:
            for plugin_format in ("LV2", "VST3"):
                record_a_note(env, plugin_format, sessions)

    return report.exit_code()


if __name__ == "__main__":
    sys.exit(main())
