#!/usr/bin/env python3
"""Renders the default sample set of the Korvane instrument.

The notes are played on General MIDI instruments of a SoundFont through the
fluidsynth command-line synthesizer, all in one pass, with reverb and chorus
off. Each note becomes a 44100 Hz mono 16-bit WAV file with its natural decay,
peaking at about -3 dBFS; samples.txt lists the files with their root keys and
programs.txt maps them onto the keys in several programs.

Only the Python standard library is used. Usage:

    make_sample_set.py --output DIR [--soundfont FILE] [--fluidsynth PROGRAM]

DIR is created (or replaced) as a whole: the set is built in a sibling
directory and renamed into place, so an interrupted run leaves nothing that
looks complete.
"""

import argparse
import array
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import wave

RATE = 44100
PEAK_DBFS = -3.0
# A note's sample ends where its level stays this far below its peak.
TAIL_DB = -60.0
FADE_SECONDS = 0.02
# One MIDI tick lasts exactly 50 frames: 441 ticks per quarter note at 120 bpm.
TICKS_PER_QUARTER = 441
MICROSECONDS_PER_QUARTER = 500000
FRAMES_PER_TICK = 50
# Silence between two notes, so the release of one never reaches the next.
GAP_SECONDS = 1.0
VELOCITY = 100

NOTE_NAMES = ["c", "cs", "d", "ds", "e", "f", "fs", "g", "gs", "a", "as", "b"]


def note_name(key):
    return "%s%d" % (NOTE_NAMES[key % 12], key // 12 - 1)


class Instrument:
    """One General MIDI sound rendered at a number of keys."""

    def __init__(self, prefix, display, gm_program, keys, hold):
        self.prefix = prefix
        self.display = display
        self.gm_program = gm_program
        self.keys = keys
        self.hold = hold  # key -> seconds the key is held down

    def file_name(self, key):
        return "%s_%s.wav" % (self.prefix, note_name(key))

    def sample_name(self, key):
        return "%s %s" % (self.display, note_name(key).upper().replace("S", "#"))


def piano_hold(key):
    # Low strings ring for a long time; high ones die away quickly.
    if key < 48:
        return 9.0
    if key < 60:
        return 7.0
    if key < 84:
        return 5.0
    return 3.0


INSTRUMENTS = [
    # Every third key over the 88 keys of a piano.
    Instrument("grand", "Grand", 0, list(range(21, 109, 3)), piano_hold),
    Instrument("bright", "Bright", 1, list(range(22, 109, 6)), piano_hold),
    Instrument("harpsi", "Harpsichord", 6, list(range(29, 102, 6)),
               lambda key: 5.0 if key < 60 else 3.5),
    # A music box has no bass; its lowest sample plays the keys below it.
    Instrument("musicbox", "Music Box", 10, list(range(60, 109, 6)), lambda key: 2.5),
]

# name, volume, pitch-bend range, instrument prefixes (later ones fill keys the
# earlier ones leave).
PROGRAMS = [
    ("Grand Piano", 1.0, 2, "grand"),
    ("Bright Piano", 0.9, 2, "bright"),
    ("Harpsichord", 0.8, 2, "harpsi"),
    ("Music Box", 0.7, 12, "musicbox"),
]


def variable_length(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def seconds_to_ticks(seconds):
    return int(round(seconds * RATE / FRAMES_PER_TICK))


def build_score():
    """Lays out every note one after the other; answers the MIDI file bytes and
    a list of (instrument, key, start frame, end frame) per note."""
    events = []  # (tick, order, bytes)
    notes = []
    tick = seconds_to_ticks(0.5)
    for channel, instrument in enumerate(INSTRUMENTS):
        if channel == 9:
            raise SystemExit("too many instruments for the melodic channels")
        setup = [
            bytes([0xB0 | channel, 0x79, 0]),  # reset controllers
            bytes([0xB0 | channel, 7, 127]),  # channel volume
            bytes([0xB0 | channel, 10, 64]),  # centre
            bytes([0xB0 | channel, 91, 0]),  # no reverb send
            bytes([0xB0 | channel, 93, 0]),  # no chorus send
            bytes([0xC0 | channel, instrument.gm_program]),
        ]
        for order, message in enumerate(setup):
            events.append((tick, order, message))
        tick += seconds_to_ticks(0.1)
        for key in instrument.keys:
            hold = seconds_to_ticks(instrument.hold(key))
            events.append((tick, 10, bytes([0x90 | channel, key, VELOCITY])))
            events.append((tick + hold, 5, bytes([0x80 | channel, key, 0])))
            end = tick + hold + seconds_to_ticks(GAP_SECONDS * 0.75)
            notes.append((instrument, key, tick * FRAMES_PER_TICK, end * FRAMES_PER_TICK))
            tick += hold + seconds_to_ticks(GAP_SECONDS)
    events.sort(key=lambda e: (e[0], e[1]))

    track = bytearray()
    track += b"\x00\xFF\x51\x03" + MICROSECONDS_PER_QUARTER.to_bytes(3, "big")
    last = 0
    for when, _, message in events:
        track += variable_length(when - last) + message
        last = when
    track += variable_length(seconds_to_ticks(1.0)) + b"\xFF\x2F\x00"
    header = b"MThd" + struct.pack(">IHHH", 6, 0, 1, TICKS_PER_QUARTER)
    return header + b"MTrk" + struct.pack(">I", len(track)) + bytes(track), notes


def render(fluidsynth, soundfont, midi_path, raw_path):
    command = [
        fluidsynth, "-n", "-i", "-q",
        "-R", "0", "-C", "0",
        "-r", str(RATE), "-g", "0.5",
        "-o", "synth.polyphony=64",
        "-o", "synth.lock-memory=0",
        "-O", "float", "-T", "raw", "-E", "little",
        "-F", raw_path,
        soundfont, midi_path,
    ]
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if result.returncode != 0 or not os.path.exists(raw_path):
        sys.stderr.write(result.stdout)
        raise SystemExit("fluidsynth failed (exit %d)" % result.returncode)


def read_floats(raw_path):
    samples = array.array("f")
    with open(raw_path, "rb") as f:
        samples.frombytes(f.read())
    if sys.byteorder != "little":
        samples.byteswap()
    return samples


def extract(stereo, start, end):
    """Mono mix of frames start..end, trimmed to the note's onset and the point
    where its decay falls below TAIL_DB, as 16-bit values peaking at PEAK_DBFS."""
    total_frames = len(stereo) // 2
    start = max(0, min(start, total_frames))
    end = max(start, min(end, total_frames))
    left = stereo[2 * start:2 * end:2]
    right = stereo[2 * start + 1:2 * end:2]
    mono = array.array("f", [(l + r) * 0.5 for l, r in zip(left, right)])
    if not mono:
        raise SystemExit("note rendered empty at frame %d" % start)
    peak = max(max(mono), -min(mono))
    if peak <= 0.0:
        raise SystemExit("note rendered silent at frame %d" % start)

    threshold = peak * 10.0 ** (TAIL_DB / 20.0)
    onset = 0
    while onset < len(mono) and abs(mono[onset]) < threshold:
        onset += 1
    onset = max(0, onset - 8)
    block = 441
    last = len(mono)
    while last > onset + block:
        piece = mono[last - block:last]
        if max(max(piece), -min(piece)) >= threshold:
            break
        last -= block
    mono = mono[onset:last]

    gain = 10.0 ** (PEAK_DBFS / 20.0) * 32767.0 / peak
    fade = min(int(FADE_SECONDS * RATE), len(mono))
    fade_start = len(mono) - fade
    values = array.array("h", [int(round(x * gain)) for x in mono])
    for i in range(fade_start, len(mono)):
        values[i] = int(values[i] * (len(mono) - i) / fade)
    return values


def write_wave(path, values):
    if sys.byteorder != "little":
        values = array.array("h", values)
        values.byteswap()
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(values.tobytes())


def zones_for(keys):
    """Key ranges that give every key of 0..127 the nearest sample."""
    zones = []
    for i, key in enumerate(keys):
        low = 0 if i == 0 else (keys[i - 1] + key) // 2 + 1
        high = 127 if i == len(keys) - 1 else (key + keys[i + 1]) // 2
        zones.append((low, high, key))
    return zones


def write_texts(directory):
    by_prefix = {instrument.prefix: instrument for instrument in INSTRUMENTS}
    with open(os.path.join(directory, "samples.txt"), "w", newline="\n") as f:
        for instrument in INSTRUMENTS:
            for key in instrument.keys:
                f.write("%s,%s,%d\n" % (instrument.file_name(key), instrument.sample_name(key), key))
    with open(os.path.join(directory, "programs.txt"), "w", newline="\n") as f:
        for name, volume, bend_range, prefix in PROGRAMS:
            instrument = by_prefix[prefix]
            f.write("Program\n")
            f.write("P,%.2f,%d,%s\n" % (volume, bend_range, name))
            for low, high, key in zones_for(instrument.keys):
                f.write("S,%d,%d,%s\n" % (low, high, instrument.file_name(key)))
            f.write("End\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--output", required=True, help="the SampleData directory to create")
    parser.add_argument("--soundfont", default="/usr/share/sounds/sf2/FluidR3_GM.sf2")
    parser.add_argument("--fluidsynth", default="fluidsynth")
    args = parser.parse_args()

    if not os.path.isfile(args.soundfont):
        raise SystemExit("SoundFont not found: %s (Debian package fluid-soundfont-gm)"
                         % args.soundfont)
    fluidsynth = shutil.which(args.fluidsynth)
    if fluidsynth is None:
        raise SystemExit("fluidsynth not found (Debian package fluidsynth)")

    output = os.path.abspath(args.output)
    parent = os.path.dirname(output)
    os.makedirs(parent, exist_ok=True)
    work = tempfile.mkdtemp(prefix=".sampleset-", dir=parent)
    try:
        score, notes = build_score()
        midi_path = os.path.join(work, "score.mid")
        raw_path = os.path.join(work, "render.raw")
        with open(midi_path, "wb") as f:
            f.write(score)
        render(fluidsynth, args.soundfont, midi_path, raw_path)
        stereo = read_floats(raw_path)

        staged = os.path.join(work, "SampleData")
        os.mkdir(staged)
        for instrument, key, start, end in notes:
            write_wave(os.path.join(staged, instrument.file_name(key)),
                       extract(stereo, start, end))
        write_texts(staged)

        if os.path.isdir(output):
            shutil.rmtree(output)
        os.rename(staged, output)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("sample set written to %s (%d samples)" % (output, len(notes)))


if __name__ == "__main__":
    main()
