#!/usr/bin/env python3
"""Writes the alert sounds res/sounds/*.wav: short tone patterns, 16-bit mono 22050 Hz PCM, one
per alert kind, so that an operator can tell them apart without looking. Run it again after a
change and commit the files."""
import math
import struct
import sys
import wave
from pathlib import Path

RATE = 22050

# (frequency Hz, milliseconds) pairs; frequency 0 is a pause.
PATTERNS = {
    "alert-lost.wav": [(660, 180), (0, 60), (440, 260)],
    "alert-rfloss.wav": [(1320, 90), (0, 50), (1320, 90), (0, 50), (1320, 90)],
    "alert-battery.wav": [(880, 140), (0, 80), (880, 140)],
}


def tone(freq, ms):
    count = RATE * ms // 1000
    fade = min(count // 2, RATE * 8 // 1000)  # 8 ms ramps: no clicks
    for i in range(count):
        gain = min(1.0, i / fade, (count - 1 - i) / fade) if freq and fade else 0.0
        yield int(0.6 * 32767 * gain * math.sin(2 * math.pi * freq * i / RATE))


def main(folder):
    for name, pattern in PATTERNS.items():
        with wave.open(str(Path(folder) / name), "wb") as out:
            out.setnchannels(1)
            out.setsampwidth(2)
            out.setframerate(RATE)
            samples = [s for freq, ms in pattern for s in tone(freq, ms)]
            out.writeframes(struct.pack("<%dh" % len(samples), *samples))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parents[2] / "res" / "sounds")
