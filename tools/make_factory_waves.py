#!/usr/bin/env python3
"""Generates OstrelSynth's factory waveform library: single cycles of 1024 samples, written as
32-bit float WAV files into one subfolder per family. Deterministic: the same files every run.

Usage: make_factory_waves.py OUTPUT_FOLDER
Only the Python standard library is used."""

import math
import os
import struct
import sys

N = 1024
TWO_PI = 2.0 * math.pi


def additive(amplitudes, phases=None):
    """One cycle from harmonic amplitudes (index 0 is harmonic 1)."""
    phases = phases or [0.0] * len(amplitudes)
    out = [0.0] * N
    for h, (a, ph) in enumerate(zip(amplitudes, phases), start=1):
        if a == 0.0 or h >= N // 2:
            continue
        for i in range(N):
            out[i] += a * math.sin(TWO_PI * h * i / N + ph)
    return out


def shape(fn):
    return [fn(i / N) for i in range(N)]


def normalise(cycle, peak=0.9):
    mean = sum(cycle) / len(cycle)
    cycle = [x - mean for x in cycle]
    m = max(abs(x) for x in cycle) or 1.0
    return [x * peak / m for x in cycle]


def pulse(width):
    return shape(lambda p: 1.0 if p < width else -1.0)


def formant_vowel(formants, f0=110.0, harmonics=120):
    """Harmonic amplitudes shaped by resonance peaks (centre Hz, bandwidth Hz, gain)."""
    amps = []
    for h in range(1, harmonics + 1):
        f = h * f0
        a = sum(g / (1.0 + ((f - c) / bw) ** 2) for c, bw, g in formants)
        amps.append(a / h ** 0.3)
    return additive(amps)


def fm(ratio, index, feedback=0.0):
    out = []
    prev = 0.0
    for i in range(N):
        p = TWO_PI * i / N
        v = math.sin(p + index * math.sin(ratio * p) + feedback * prev)
        prev = v
        out.append(v)
    return out


def library():
    waves = {}
    waves["Basic_Shapes"] = {
        "Sine": shape(lambda p: math.sin(TWO_PI * p)),
        "Triangle": shape(lambda p: 4 * p - 1 if p < 0.5 else 3 - 4 * p),
        "Saw": shape(lambda p: 2 * p - 1),
        "Square": pulse(0.5),
        "Half_Sine": shape(lambda p: math.sin(TWO_PI * p) if p < 0.5 else 0.0),
        "Rectified_Sine": shape(lambda p: abs(math.sin(TWO_PI * p))),
        "Soft_Saw": additive([1.0 / h * math.exp(-h / 12.0) for h in range(1, 200)]),
        "Sine_Cubed": shape(lambda p: math.sin(TWO_PI * p) ** 3),
    }
    waves["Pulse_Widths"] = {
        "Pulse_05": pulse(0.05), "Pulse_10": pulse(0.10), "Pulse_20": pulse(0.20), "Pulse_25": pulse(0.25),
        "Pulse_33": pulse(1.0 / 3.0), "Pulse_40": pulse(0.40), "Pulse_45": pulse(0.45),
        "Pulse_Rounded_25": additive([(2.0 / (math.pi * h)) * math.sin(math.pi * h * 0.25) * math.exp(-h / 20.0)
                                      for h in range(1, 200)]),
    }
    waves["Additive_Spectra"] = {
        "Odd_Harmonics": additive([1.0 / h if h % 2 else 0.0 for h in range(1, 64)]),
        "Even_Harmonics": additive([1.0] + [1.0 / h if h % 2 == 0 else 0.0 for h in range(2, 64)]),
        "Organ_888": additive([1.0, 1.0, 1.0, 0.8, 0, 0.6, 0, 0.5]),
        "Organ_Flute": additive([1.0, 0.3, 0.1, 0.05]),
        "Bell_Partials": additive([1.0, 0, 0.6, 0, 0.4, 0.3, 0, 0.25, 0, 0.2, 0.15]),
        "Hollow_Fifths": additive([1.0, 0, 0.7, 0, 0, 0.5, 0, 0, 0.35]),
        "Bright_Comb": additive([1.0 / math.sqrt(h) if h % 3 else 0.0 for h in range(1, 120)]),
        "Random_Phase_Saw": additive([1.0 / h for h in range(1, 160)],
                                     [((h * 7919) % 628) / 100.0 for h in range(1, 160)]),
    }
    waves["Formant_Vowels"] = {
        "Vowel_A": formant_vowel([(800, 80, 1.0), (1150, 90, 0.5), (2900, 120, 0.25)]),
        "Vowel_E": formant_vowel([(400, 60, 1.0), (1600, 80, 0.35), (2700, 120, 0.3)]),
        "Vowel_I": formant_vowel([(350, 50, 1.0), (1700, 100, 0.2), (2700, 120, 0.3)]),
        "Vowel_O": formant_vowel([(450, 70, 1.0), (800, 80, 0.4), (2830, 100, 0.1)]),
        "Vowel_U": formant_vowel([(325, 50, 1.0), (700, 60, 0.2), (2530, 170, 0.05)]),
        "Vowel_Ae": formant_vowel([(660, 70, 1.0), (1720, 90, 0.5), (2410, 110, 0.3)]),
        "Vowel_Er": formant_vowel([(490, 60, 1.0), (1350, 80, 0.5), (1690, 90, 0.4)]),
        "Choir_Ah": formant_vowel([(700, 130, 1.0), (1220, 130, 0.6), (2600, 160, 0.3)], f0=220.0, harmonics=60),
    }
    waves["FM_Tones"] = {
        "FM_Ratio1_Index1": fm(1, 1.0), "FM_Ratio1_Index3": fm(1, 3.0), "FM_Ratio2_Index1": fm(2, 1.0),
        "FM_Ratio2_Index4": fm(2, 4.0), "FM_Ratio3_Index2": fm(3, 2.0), "FM_Ratio4_Index1": fm(4, 1.5),
        "FM_Ratio5_Index3": fm(5, 3.0), "FM_Feedback_Saw": fm(1, 0.0, feedback=1.2),
    }
    waves["Harmonic_Series"] = {
        "Saw_2_Harmonics": additive([1.0 / h for h in range(1, 3)]),
        "Saw_4_Harmonics": additive([1.0 / h for h in range(1, 5)]),
        "Saw_8_Harmonics": additive([1.0 / h for h in range(1, 9)]),
        "Saw_16_Harmonics": additive([1.0 / h for h in range(1, 17)]),
        "Square_3_Harmonics": additive([1.0 / h if h % 2 else 0.0 for h in range(1, 6)]),
        "Square_7_Harmonics": additive([1.0 / h if h % 2 else 0.0 for h in range(1, 14)]),
        "Equal_8_Harmonics": additive([1.0] * 8),
        "Falling_32_Harmonics": additive([1.0 / (h * h) ** 0.75 for h in range(1, 33)]),
    }
    return waves


def write_wav(path, samples, rate=48000):
    data = struct.pack("<%df" % len(samples), *samples)
    fmt = struct.pack("<HHIIHH", 3, 1, rate, rate * 4, 4, 32)
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 4 + 8 + len(fmt) + 8 + len(data)) + b"WAVE")
        f.write(b"fmt " + struct.pack("<I", len(fmt)) + fmt)
        f.write(b"data" + struct.pack("<I", len(data)) + data)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    root = sys.argv[1]
    count = 0
    for folder, waves in library().items():
        os.makedirs(os.path.join(root, folder), exist_ok=True)
        for name, cycle in waves.items():
            assert len(cycle) == N
            write_wav(os.path.join(root, folder, name + ".wav"), normalise(cycle))
            count += 1
    print("wrote %d waves into %s" % (count, root))


if __name__ == "__main__":
    main()
