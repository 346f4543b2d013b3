#!/usr/bin/env python3
"""Checks a rendered sample set: every file named in samples.txt exists and is
44100 Hz mono 16-bit, its peak level, its length, and whether its pitch matches
the root key that samples.txt gives it (within 35 cents, and not an
octave off).
Every zone of programs.txt must name a listed file. Exits non-zero on a fault.

Usage: check_sample_set.py SAMPLEDATA_DIR [--verbose]
"""

import array
import math
import os
import sys
import wave

RATE = 44100


def read_wave(path):
    with wave.open(path, "rb") as w:
        if w.getframerate() != RATE or w.getnchannels() != 1 or w.getsampwidth() != 2:
            raise ValueError("not 44100 Hz mono 16-bit")
        values = array.array("h")
        values.frombytes(w.readframes(w.getnframes()))
    if sys.byteorder != "little":
        values.byteswap()
    return values


def power_at(window, frequency):
    """Power of one frequency in the window (Goertzel)."""
    coefficient = 2.0 * math.cos(2.0 * math.pi * frequency / RATE)
    s1 = s2 = 0.0
    for x in window:
        s1, s2 = x + coefficient * s1 - s2, s1
    return s1 * s1 + s2 * s2 - coefficient * s1 * s2


def strongest_near(window, frequency, span_cents, step_cents):
    candidates = [c for c in range(-span_cents, span_cents + 1, step_cents)]
    powers = {c: power_at(window, frequency * 2 ** (c / 1200.0)) for c in candidates}
    best = max(candidates, key=lambda c: powers[c])
    return best, powers[best]


def pitch_of(values, root_frequency):
    """Deviation in cents of the strongest of the first four partials from its
    place in the harmonic series of the root (searched a semitone and a half
    either way), how much of the root's odd partials (1st, 3rd) there is against
    its even ones (2nd, 4th), and how much lies half-way (1.5, 2.5), where a note
    an octave lower would have partials. Low piano strings have next to no
    fundamental, so no single partial can be relied on."""
    start = min(len(values) // 4, int(0.05 * RATE))
    nyquist_margin = RATE / 2 * 0.9
    harmonics = [h for h in (1, 2, 3, 4) if h * root_frequency < nyquist_margin]
    probe_length = min(RATE, max(int(0.25 * RATE), int(40 * RATE / root_frequency)))
    probe = [float(v) for v in values[start:start + probe_length]]
    power = {h: power_at(probe, h * root_frequency) for h in harmonics}
    strongest = max(harmonics, key=lambda h: power[h])
    # Long enough to tell partials a semitone apart.
    length = min(RATE, max(int(0.25 * RATE), int(60 * RATE / (strongest * root_frequency))))
    window = [float(v) for v in values[start:start + length]]
    if len(window) < length // 2:
        return None, None, None
    coarse, _ = strongest_near(window, strongest * root_frequency, 150, 10)
    fine, _ = strongest_near(window, strongest * root_frequency * 2 ** (coarse / 1200.0), 10, 2)
    odd = sum(power[h] for h in (1, 3) if h in power)
    even = sum(power[h] for h in (2, 4) if h in power)
    halves = sum(power_at(probe, k * root_frequency)
                 for k in (1.5, 2.5) if k * root_frequency < nyquist_margin)
    return coarse + fine, odd / max(even, 1e-9), halves / max(odd + even, 1e-9)


def main():
    if len(sys.argv) < 2:
        raise SystemExit(__doc__)
    directory = sys.argv[1]
    verbose = "--verbose" in sys.argv
    faults = 0
    total_bytes = 0
    listed = set()
    with open(os.path.join(directory, "samples.txt")) as f:
        lines = [line.rstrip("\n") for line in f if line.strip()]
    for line in lines:
        file_name, name, root = line.split(",")[:3]
        listed.add(file_name.lower())
        path = os.path.join(directory, file_name)
        try:
            values = read_wave(path)
        except (OSError, ValueError, wave.Error) as error:
            print("FAULT %s: %s" % (file_name, error))
            faults += 1
            continue
        total_bytes += os.path.getsize(path)
        key = int(root)
        expected = 440.0 * 2 ** ((key - 69) / 12)
        peak = max(max(values), -min(values))
        peak_db = 20 * math.log10(max(peak, 1) / 32768.0)
        problems = []
        if not -4.0 <= peak_db <= -2.0:
            problems.append("peak %.1f dBFS" % peak_db)
        cents, odd_to_even, between = pitch_of(values, expected)
        if cents is None:
            problems.append("too short to measure")
            cents = odd_to_even = between = float("nan")
        else:
            # Pianos are tuned stretched: the top octave lies up to about 30 cents sharp.
            if abs(cents) > 35:
                problems.append("pitch %+.0f cents" % cents)
            if odd_to_even < 0.05:
                problems.append("only even partials: an octave higher than its root key?")
            if between > 0.02:
                problems.append("partials between the harmonics: an octave lower?")
        seconds = len(values) / RATE
        if key < 60 and seconds < 4.0:
            problems.append("only %.1f s below middle C" % seconds)
        if problems or verbose:
            print("%-4s %-22s key %3d  %5.2f s  peak %5.1f dBFS  pitch %+5.1f cents  odd/even %8.3f  between %6.4f  %s" % (
                "FAULT" if problems else "ok", file_name, key, seconds, peak_db, cents, odd_to_even, between,
                "; ".join(problems)))
        faults += bool(problems)
    with open(os.path.join(directory, "programs.txt")) as f:
        for line in f:
            fields = [x for x in line.rstrip("\n").split(",") if x]
            if fields and fields[0].startswith("S") and fields[3].lower() not in listed:
                print("FAULT programs.txt names an unlisted file: %s" % line.strip())
                faults += 1
    print("%d samples, %.1f MB, %d faults" % (len(lines), total_bytes / 1e6, faults))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
