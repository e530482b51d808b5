#!/usr/bin/env bash
# Renders fixed scenarios with ostrel-render and prints, for each, the real-time factor, the time
# from start to the first audio block and the peak memory (/usr/bin/time -v).
# Usage: bench/render_bench.sh [BUILD_DIR]   (default: build)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
RENDER="$BUILD/tools/render/ostrel-render"
WAVES="$BUILD/Waveform Files"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

/usr/bin/python3 - "$WORK" <<'PY'
import sys, mido
work = sys.argv[1]

def save(name, notes, seconds=10.0):
    mid = mido.MidiFile(type=1, ticks_per_beat=480)     # 120 bpm: 960 ticks a second
    track = mido.MidiTrack(); mid.tracks.append(track)
    for i, note in enumerate(notes):
        track.append(mido.Message("note_on", channel=1 + i % 15, note=note, velocity=100, time=0))
    track.append(mido.Message("note_off", channel=1, note=notes[0], time=int(seconds * 960)))
    for i, note in enumerate(notes[1:], start=1):
        track.append(mido.Message("note_off", channel=1 + i % 15, note=note, time=0))
    mid.save(f"{work}/{name}.mid")

save("one_note", [60])
save("pad8", [48, 52, 55, 59, 62, 64, 67, 71])
save("worst16", list(range(40, 72, 2)))
PY

mods=()
for source in LFO1 LFO2 LFO3 LFO4 modEnv1 modEnv2 modEnv3; do
  for target in OSC1PAN OSC2DETUNE OSC3GAIN OSC4UNISONSPREAD FILTER1CUTOFF FILTER1RESONANCE LFO1FREQ ENV2SUSTAIN; do
    mods+=(--mod "$source:$target=0.05")
  done
done

run() {
  local name="$1"; shift
  local log="$WORK/$name.time"
  local line
  line=$(/usr/bin/time -v -o "$log" "$RENDER" "$WORK/${name%%:*}.mid" -o "$WORK/out.wav" --waves "$WAVES" --quiet --tail 0.5 "$@")
  local rss
  rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$log")
  printf '%-40s %s; peak memory %d MB\n' "$name" "$line" "$((rss / 1024))"
}

echo "ostrel-render scenarios (10 s of notes each, 48 kHz, 512-sample blocks):"
run "one_note: 1 oscillator" --set OSC1TYPE=Saw
run "pad8: 2 oscillators x 4 unison, filter" --set OSC2BYPASS=1 --set OSC1UNISONVOICES=4 --set OSC2UNISONVOICES=4 \
    --set OSC1UNISONDETUNE=0.2 --set OSC2UNISONDETUNE=0.3 --set FILTER1BYPASS=1 --set FILTER1CUTOFF=1200
run "worst16: 16 voices, 4 x 8 unison, routed" \
    --set OSC2BYPASS=1 --set OSC3BYPASS=1 --set OSC4BYPASS=1 \
    --set OSC1UNISONVOICES=8 --set OSC2UNISONVOICES=8 --set OSC3UNISONVOICES=8 --set OSC4UNISONVOICES=8 \
    --set OSC1UNISONDETUNE=0.3 --set OSC2UNISONDETUNE=0.3 --set OSC3UNISONDETUNE=0.3 --set OSC4UNISONDETUNE=0.3 \
    --set FILTER1BYPASS=1 --set FILTER1CUTOFF=2000 --set FILTER1RESONANCE=0.4 --set FILTER1DRIVE=2 \
    --set LFO1FREQ=1.5 --set LFO2FREQ=2.5 --set LFO3FREQ=3.5 --set LFO4FREQ=4.5 "${mods[@]}"
