#!/usr/bin/env python3
"""Writes a one-second 16-bit stereo test tone at 48 kHz: 440 Hz on the left, 660 Hz on the right."""
import math
import struct
import sys
import wave

RATE = 48000
path = sys.argv[1]
with wave.open(path, "wb") as w:
    w.setnchannels(2)
    w.setsampwidth(2)
    w.setframerate(RATE)
    frames = bytearray()
    for t in range(RATE):
        left = int(12000 * math.sin(2 * math.pi * 440 * t / RATE))
        right = int(12000 * math.sin(2 * math.pi * 660 * t / RATE))
        frames += struct.pack("<hh", left, right)
    w.writeframes(bytes(frames))
