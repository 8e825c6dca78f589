#!/usr/bin/python3
"""Writes resources/sounds/capture.wav: the short shutter click played after a capture.

Two decaying bursts of filtered noise, like a camera's shutter opening and closing.
Mono, 16-bit, 22050 Hz, about 0.16 s. Deterministic: the same file every run."""

import os
import random
import struct
import wave

RATE = 22050
OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "sounds",
                   "capture.wav")


def burst(length, decay, level, rng):
    samples, low = [], 0.0
    for i in range(length):
        low = 0.6 * low + 0.4 * rng.uniform(-1.0, 1.0)  # soften the hiss
        samples.append(level * low * (decay ** i))
    return samples


def main():
    rng = random.Random(339)
    first = burst(int(RATE * 0.05), 0.9990, 0.9, rng)
    gap = [0.0] * int(RATE * 0.03)
    second = burst(int(RATE * 0.08), 0.9993, 0.7, rng)
    data = first + gap + second
    os.makedirs(os.path.dirname(OUT), exist_ok=True)
    with wave.open(OUT, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", int(max(-1, min(1, s)) * 32767)) for s in data))


if __name__ == "__main__":
    main()
