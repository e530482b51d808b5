#!/usr/bin/python3
"""End-to-end tests of ostrel-render: MIDI files written with mido (not JUCE), audio checked with
numpy by its pitch, level and length. Run by CTest with OSTREL_RENDER and OSTREL_WAVES set."""

import os
import subprocess
import tempfile
import unittest
import wave

import mido
import numpy as np

RENDER = os.environ["OSTREL_RENDER"]
WAVES = os.environ["OSTREL_WAVES"]
RATE = 48000


def write_midi(path, events, ticks_per_beat=480):
    """events: (time_in_beats, mido.Message) pairs, any order."""
    mid = mido.MidiFile(type=1, ticks_per_beat=ticks_per_beat)
    track = mido.MidiTrack()
    mid.tracks.append(track)
    now = 0
    for beat, message in sorted(events, key=lambda e: e[0]):
        tick = int(round(beat * ticks_per_beat))
        track.append(message.copy(time=tick - now))
        now = tick
    mid.save(path)


def read_wav(path):
    with wave.open(path, "rb") as w:
        channels, width, frames = w.getnchannels(), w.getsampwidth(), w.getnframes()
        raw = w.readframes(frames)
        rate = w.getframerate()
    if width == 3:
        b = np.frombuffer(raw, dtype=np.uint8).reshape(-1, 3)
        ints = (b[:, 0].astype(np.int32) | (b[:, 1].astype(np.int32) << 8) | (b[:, 2].astype(np.int32) << 16))
        ints = np.where(ints >= 1 << 23, ints - (1 << 24), ints)
        data = ints / float(1 << 23)
    else:
        data = np.frombuffer(raw, dtype=np.int16) / 32768.0
    return data.reshape(-1, channels).T, rate, width


def peak_frequencies(signal, rate, count):
    window = np.hanning(len(signal))
    spectrum = np.abs(np.fft.rfft(signal * window))
    freqs = np.fft.rfftfreq(len(signal), 1.0 / rate)
    found = []
    for index in np.argsort(spectrum)[::-1]:
        if all(abs(freqs[index] - f) > 20 for f in found):
            found.append(freqs[index])
        if len(found) == count:
            break
    return sorted(found)


class RenderTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def render(self, midi, out, *options, expect_ok=True):
        result = subprocess.run([RENDER, midi, "-o", out, "--waves", WAVES, "--quiet", *options],
                                capture_output=True, text=True, timeout=120)
        if expect_ok:
            self.assertEqual(result.returncode, 0, result.stderr)
        return result

    def test_single_note_pitch_level_and_length(self):
        midi = self.path("a4.mid")
        write_midi(midi, [(0, mido.Message("note_on", channel=1, note=69, velocity=127)),
                          (2, mido.Message("note_off", channel=1, note=69))])   # 1 s at 120 bpm
        out = self.path("a4.wav")
        result = self.render(midi, out, "--set", "OSC1TYPE=Sine")
        self.assertIn("real time", result.stdout)

        audio, rate, width = read_wav(out)
        self.assertEqual((rate, width, audio.shape[0]), (RATE, 3, 2))
        # One second of note plus the 0.1 s release, stopped once every voice is idle.
        self.assertGreater(audio.shape[1], RATE * 1.09)
        self.assertLess(audio.shape[1], RATE * 1.25)
        held = audio[0, RATE // 10: RATE * 9 // 10]
        self.assertAlmostEqual(peak_frequencies(held, rate, 1)[0], 440.0, delta=2.0)
        # Full velocity gives a level of 0.075; the factory sine peaks at 0.9.
        self.assertAlmostEqual(float(np.max(np.abs(held))), 0.9 * 0.075, delta=0.002)
        self.assertTrue(np.array_equal(audio[0], audio[1]))
        self.assertLess(float(np.max(np.abs(audio[0, -200:]))), 1e-4)

    def test_mpe_member_channels_bend_their_own_notes(self):
        midi = self.path("mpe.mid")
        # Member channels 2 and 3 (mido counts from 0); the per-note bend range is 48 semitones.
        write_midi(midi, [(0, mido.Message("note_on", channel=1, note=60, velocity=100)),
                          (0, mido.Message("note_on", channel=2, note=60, velocity=100)),
                          (0.5, mido.Message("pitchwheel", channel=1, pitch=2048)),     # +12
                          (0.5, mido.Message("pitchwheel", channel=2, pitch=-2048)),    # -12
                          (4, mido.Message("note_off", channel=1, note=60)),
                          (4, mido.Message("note_off", channel=2, note=60))])
        out = self.path("mpe.wav")
        self.render(midi, out, "--set", "OSC1TYPE=Sine")
        audio, rate, _ = read_wav(out)
        found = peak_frequencies(audio[0, RATE // 2: RATE * 2], rate, 2)
        self.assertAlmostEqual(found[0], 130.81, delta=2.0)
        self.assertAlmostEqual(found[1], 523.25, delta=2.0)

    def test_state_round_trips_through_the_tool(self):
        midi = self.path("short.mid")
        write_midi(midi, [(0, mido.Message("note_on", channel=1, note=50)), (0.5, mido.Message("note_off", channel=1, note=50))])
        first, second = self.path("first.state"), self.path("second.state")
        self.render(midi, self.path("1.wav"), "--set", "ENV1ATTACK=0.5", "--set", "FILTER1CUTOFF=800",
                    "--set", "OSC2BYPASS=on", "--save-state", first)
        self.render(midi, self.path("2.wav"), "--state", first, "--save-state", second)
        with open(first, "rb") as a, open(second, "rb") as b:
            saved, again = a.read(), b.read()
        self.assertEqual(saved, again)
        self.assertEqual(saved[:4], bytes([0x56, 0x43, 0x32, 0x21]))
        self.assertIn(b'id="FILTER1CUTOFF" value="800.0"', saved)

    def test_formats_and_mono(self):
        midi = self.path("n.mid")
        write_midi(midi, [(0, mido.Message("note_on", channel=1, note=57)), (1, mido.Message("note_off", channel=1, note=57))])
        out = self.path("mono16.wav")
        self.render(midi, out, "--mono", "--bits", "16", "--rate", "44100", "--tail", "0.25")
        audio, rate, width = read_wav(out)
        self.assertEqual((rate, width, audio.shape[0]), (44100, 2, 1))
        self.assertEqual(audio.shape[1], int(44100 * 0.75))   # 0.5 s of notes and the fixed tail

    def test_bad_input_gives_one_line_and_no_output(self):
        good = self.path("good.mid")
        write_midi(good, [(0, mido.Message("note_on", channel=1, note=60)), (1, mido.Message("note_off", channel=1, note=60))])
        not_midi = self.path("notes.txt")
        with open(not_midi, "w") as f:
            f.write("this is not a MIDI file")
        foreign_state = self.path("foreign.state")
        with open(foreign_state, "wb") as f:
            f.write(b"VC2!" + (30).to_bytes(4, "little") + b"<OtherSynth a=\"1\"/>".ljust(30) + b"\0")

        cases = [
            ("missing input", [self.path("missing.mid")], "no such file"),
            ("not MIDI", [not_midi], "not a Standard MIDI File"),
            ("unknown parameter", [good, "--set", "NOPE=1"], "unknown parameter ID NOPE"),
            ("out of range", [good, "--set", "FILTER1CUTOFF=50000"], "out of range"),
            ("not a number", [good, "--set", "ENV1ATTACK=soon"], "not a number"),
            ("unknown source", [good, "--mod", "LFO9:OSC1PAN=0.5"], "unknown modulation source"),
            ("not a target", [good, "--mod", "lfo1:OSC1TYPE=0.5"], "not a modulation target"),
            ("amount out of range", [good, "--mod", "LFO1:OSC1PAN=1.5"], "from -1 to 1"),
            ("foreign state", [good, "--state", foreign_state], "would ignore it"),
            ("missing custom", [good, "--custom", self.path("none.wav")], "cannot read a cycle"),
            ("unwritable output", [good, "-o", "/nonexistent-folder/out.wav"], "does not exist"),
        ]
        for name, args, message in cases:
            with self.subTest(name):
                out = self.path(name.replace(" ", "_") + ".wav")
                command = [RENDER, *args, "--waves", WAVES, "--quiet"]
                if "-o" not in args:
                    command += ["-o", out]
                result = subprocess.run(command, capture_output=True, text=True, timeout=60)
                self.assertNotEqual(result.returncode, 0)
                self.assertIn(message, result.stderr)
                self.assertEqual(len(result.stderr.strip().splitlines()), 1, result.stderr)
                self.assertFalse(os.path.exists(out))
                self.assertEqual([f for f in os.listdir(self.dir.name) if f.endswith(".wav")], [])

    def test_parameter_list_names_every_parameter_with_its_range(self):
        result = subprocess.run([RENDER, "--list-parameters", "--waves", WAVES], capture_output=True, text=True, timeout=60)
        self.assertEqual(result.returncode, 0, result.stderr)
        rows = [line.split("\t") for line in result.stdout.splitlines()]
        self.assertEqual(len(rows), 81)
        by_id = {row[0]: row for row in rows}
        self.assertEqual(len(by_id), 81)
        self.assertEqual(by_id["FILTER1CUTOFF"][1], "Filter 1 Cutoff")
        for row in rows:
            low, high, default = map(float, row[2:5])
            self.assertTrue(low <= default <= high, row)
        # The wave types follow the folder: one choice per wave, and "Custom".
        waves = sum(1 for root, _, files in os.walk(WAVES) for f in files if f.endswith(".wav"))
        self.assertEqual(float(by_id["OSC1TYPE"][3]), waves)

        missing = subprocess.run([RENDER, "--list-parameters", "--waves", self.path("none")], capture_output=True, text=True, timeout=60)
        self.assertEqual(missing.returncode, 1)
        self.assertIn("does not exist", missing.stderr)

    def test_help_explains_with_examples(self):
        result = subprocess.run([RENDER, "--help"], capture_output=True, text=True)
        self.assertEqual(result.returncode, 0)
        for word in ("--set", "--mod", "--waves", "--custom", "--bits", "--save-state", "Examples"):
            self.assertIn(word, result.stdout)


if __name__ == "__main__":
    unittest.main()
