"""Shared by the host scripts: a report of named checks, and what they measure in a recording (WAV
reading, 16-bit or 32-bit float as jack_capture and Ardour write them; level; the pitch of the
loudest stretch). Plain numpy, no product code."""
import struct

import numpy as np


class Report:
    """Prints each check as it is made; the script's exit code says whether any failed."""

    def __init__(self):
        self.failures = []

    def check(self, condition, message):
        print(("ok    " if condition else "FAIL  ") + message, flush=True)
        if not condition:
            self.failures.append(message)
        return condition

    def exit_code(self):
        print(f"{len(self.failures)} failed" if self.failures else "all passed")
        return 1 if self.failures else 0


def read_wav(path):
    """(sample rate, samples as a frames x channels float array)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise ValueError(f"{path} is not a WAV file")
    fmt, samples, at = None, None, 12
    while at + 8 <= len(data):
        chunk, size = data[at:at + 4], struct.unpack("<I", data[at + 4:at + 8])[0]
        body = data[at + 8:at + 8 + size]
        if chunk == b"fmt ":
            fmt = struct.unpack("<HHIIHH", body[:16])
        elif chunk == b"data":
            samples = body
        at += 8 + size + (size & 1)
    tag, channels, rate, _, _, bits = fmt
    if bits == 32 and tag in (3, 0xFFFE):
        audio = np.frombuffer(samples, dtype="<f4")
    elif bits == 16:
        audio = np.frombuffer(samples, dtype="<i2") / 32768.0
    else:
        raise ValueError(f"{path}: {bits}-bit format {tag} not read here")
    return rate, audio.reshape(-1, channels).astype(np.float64)


def rms(x):
    return float(np.sqrt(np.mean(np.square(x)))) if len(x) else 0.0


def pitch_of_loudest_stretch(x, rate, seconds=0.5):
    """The strongest frequency of the loudest stretch of a mono signal (a held note's fundamental)."""
    span = int(rate * seconds)
    starts = range(0, max(1, len(x) - span), max(1, rate // 10))
    start = max(starts, key=lambda s: np.mean(np.square(x[s:s + span])))
    piece = x[start:start + span]
    spectrum = np.abs(np.fft.rfft(piece * np.hanning(len(piece)), 8 * len(piece)))
    return float(np.fft.rfftfreq(8 * len(piece), 1.0 / rate)[np.argmax(spectrum)])
