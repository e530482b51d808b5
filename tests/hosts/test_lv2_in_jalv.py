#!/usr/bin/python3
"""The LV2 plug-in as Debian's own LV2 tools and host see it.

lv2ls and lv2info (lilv-utils) must find the bundle and read its metadata: name, ports, and the 81
parameters, with the IDs the processor has. Then jalv, a real LV2 host, runs it on a JACK server
with the dummy driver (no sound card needed): jack_midiseq plays A4 into it, jack_capture records its
outputs, and the recording must be a 440 Hz tone on both channels.

Environment: OSTREL_LV2 (the built bundle), OSTREL_RENDER (ostrel-render, for the parameter list).
"""
import os
import re
import subprocess
import sys
import tempfile
import time

from host_checks import Report, pitch_of_loudest_stretch, read_wav, rms

URI = "https://tavik.audio/plugins/ostrelsynth"
RATE = 48000
report = Report()
check = report.check


def run(args, env, **kwargs):
    return subprocess.run(args, env=env, capture_output=True, text=True, timeout=60, **kwargs)


def lilv_checks(env):
    listed = run(["lv2ls"], env).stdout.split()
    check(URI in listed, f"lv2ls lists {URI}")

    info = run(["lv2info", URI], env).stdout
    check(re.search(r"Name:\s+OstrelSynth\n", info) is not None, "lv2info: name OstrelSynth")
    check("Author Email:      mailto:support@tavik.audio" in info, "lv2info: author e-mail is a mailto: URI")
    ports = re.findall(r"Port \d+:\n\t\tType:\s+(\S+)\n(?:\t\t\s+(\S+)\n)?", info)
    audio_out = sum(1 for a, b in ports if "AudioPort" in a + b and "OutputPort" in a + b)
    atom_in = sum(1 for a, b in ports if "AtomPort" in a + b and "InputPort" in a + b)
    check(audio_out == 2, f"lv2info: two audio outputs (found {audio_out})")
    check(atom_in == 1, f"lv2info: one atom input for MIDI (found {atom_in})")
    check("http://lv2plug.in/ns/ext/state#interface" in info, "lv2info: state interface")

    with tempfile.TemporaryDirectory() as tmp:
        described = os.path.join(tmp, "plugin.ttl")
        run(["lv2info", "-p", described, URI], env)
        with open(described) as f:
            turtle = f.read()
    writable = turtle.split("patch#writable>", 1)[1].split(";", 1)[0] if "patch#writable>" in turtle else ""
    ids = set(re.findall(re.escape(URI) + r":([A-Z0-9]+)>", writable))
    listing = run([os.environ["OSTREL_RENDER"], "--list-parameters"], env).stdout
    expected = {line.split("\t")[0] for line in listing.splitlines() if line}
    check(len(expected) == 81, f"ostrel-render lists 81 parameters (found {len(expected)})")
    check(ids == expected, f"lv2info: the plug-in's writable parameters are the processor's ({len(ids)} found)")


def wait_for_port(env, port, seconds=15):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if port in run(["jack_lsp"], env).stdout.split():
            return True
        time.sleep(0.2)
    return False


def jalv_plays_a_note(env):
    server = f"ostrel-test-{os.getpid()}"
    env = dict(env, JACK_DEFAULT_SERVER=server, JACK_NO_AUDIO_RESERVATION="1")
    processes = []

    def start(args, **kwargs):
        p = subprocess.Popen(args, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, **kwargs)
        processes.append(p)
        return p

    try:
        start(["jackd", "--no-realtime", "-n", server, "-d", "dummy", "-r", str(RATE), "-p", "512"])
        check(wait_for_port(env, "system:playback_1"), "jackd runs with the dummy driver")
        # jalv quits when its standard input closes: keep a pipe open for as long as it runs.
        start(["jalv", "-n", "ostrel", URI], stdin=subprocess.PIPE)
        check(wait_for_port(env, "ostrel:audio_out_1"), "jalv instantiates the plug-in and offers its ports")
        # One second loop: A4 held for three quarters of it, on MIDI channel 1.
        start(["jack_midiseq", "seq", str(RATE), "0", "69", str(RATE * 3 // 4)])
        check(wait_for_port(env, "seq:out"), "jack_midiseq runs")
        run(["jack_connect", "seq:out", "ostrel:in"], env)

        with tempfile.TemporaryDirectory() as tmp:
            recording = os.path.join(tmp, "take.wav")
            run(["jack_capture", "-b", "16", "-d", "3", "--port", "ostrel:audio_out_1", "--port", "ostrel:audio_out_2",
                 "-f", "wav", recording], env, stdin=subprocess.DEVNULL)
            check(os.path.exists(recording), "jack_capture records the plug-in's outputs")
            if not os.path.exists(recording):
                return
            rate, audio = read_wav(recording)

        check(rate == RATE and audio.shape[1] == 2, f"recording is stereo at {RATE} Hz (got {audio.shape[1]} x {rate})")
        left, right = rms(audio[:, 0]), rms(audio[:, 1])
        check(left > 0.005, f"the note sounds (RMS {left:.4f})")
        check(abs(left - right) < 0.1 * left + 1e-6, f"both channels alike (RMS {left:.4f} / {right:.4f})")
        pitch = pitch_of_loudest_stretch(audio[:, 0], rate)
        check(abs(pitch - 440.0) < 1.5, f"A4 sounds at {pitch:.2f} Hz (440 expected)")
    finally:
        for p in reversed(processes):
            p.terminate()
        for p in reversed(processes):
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                p.kill()
        jalv = processes[1] if len(processes) > 1 else None
        if jalv is not None and report.failures:
            print("jalv said:", jalv.stderr.read().decode(errors="replace")[-2000:])


def main():
    bundle = os.environ["OSTREL_LV2"]
    # Only the bundle under test: a copy installed in ~/.lv2 or /usr/lib/lv2 must not stand in for it.
    env = dict(os.environ, LV2_PATH=os.path.dirname(os.path.abspath(bundle)))
    lilv_checks(env)
    jalv_plays_a_note(env)
    return report.exit_code()


if __name__ == "__main__":
    sys.exit(main())
