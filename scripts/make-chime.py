#!/usr/bin/env python3
"""Writes res/sounds/complete.wav, the sound played when a hashing run ends.

A two-note rising chime (E5 then A5, a fourth apart) of about one second:
PCM, mono, 16-bit, 22,050 Hz. Each note is a sine with a quieter octave
partial for a bell-like colour, a 10 ms raised-cosine attack and an
exponential decay; the whole sound fades to exact silence at its end, so
neither a note's start nor the file's end clicks.

Standard library only; run it again after changing a constant:
    python3 scripts/make-chime.py
"""

import math
import os
import struct
import wave

RATE = 22050
LENGTH_S = 1.0
PEAK = 0.55  # of full scale: loud enough to notice, far from clipping

# (start in seconds, frequency in Hz, decay time constant in seconds)
NOTES = [
    (0.00, 659.25, 0.22),
    (0.16, 880.00, 0.30),
]
OVERTONE = 0.25  # level of the octave partial against the fundamental
ATTACK_S = 0.010
FADE_S = 0.060   # closing fade of the whole sound


def note_sample(t, freq, decay):
    if t < 0:
        return 0.0
    attack = 0.5 - 0.5 * math.cos(math.pi * t / ATTACK_S) if t < ATTACK_S else 1.0
    envelope = attack * math.exp(-t / decay)
    phase = 2 * math.pi * freq * t
    return envelope * (math.sin(phase) + OVERTONE * math.sin(2 * phase))


def main():
    count = int(RATE * LENGTH_S)
    raw = []
    for i in range(count):
        t = i / RATE
        value = sum(note_sample(t - start, freq, decay) for start, freq, decay in NOTES)
        remaining = LENGTH_S - t
        if remaining < FADE_S:
            value *= 0.5 - 0.5 * math.cos(math.pi * remaining / FADE_S)
        raw.append(value)

    scale = PEAK / max(abs(v) for v in raw)
    frames = b"".join(struct.pack("<h", round(v * scale * 32767)) for v in raw)

    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res", "sounds", "complete.wav")
    os.makedirs(os.path.dirname(out), exist_ok=True)
    with wave.open(out, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(frames)
    print(f"make-chime: {count} frames written to {os.path.normpath(out)}")


if __name__ == "__main__":
    main()
