#!/usr/bin/env python3
"""Writes the sound files the Windows tests play: WAVE files written here, MP3 files encoded
by Debian's lame from tones written here. Usage: make_sounds.py OUTPUT_FOLDER"""
import math
import os
import random
import struct
import subprocess
import sys


def tone(rate, seconds, channels, freq, amplitude=0.5):
    """16-bit little-endian PCM of a sine, the same on every channel."""
    frames = int(rate * seconds)
    out = bytearray()
    for i in range(frames):
        v = int(round(32767 * amplitude * math.sin(2 * math.pi * freq * i / rate)))
        out += struct.pack("<h", v) * channels
    return bytes(out)


def wave(path, rate, channels, bits, pcm16):
    if bits == 8:
        samples = struct.unpack("<%dh" % (len(pcm16) // 2), pcm16)
        data = bytes((s >> 8) + 128 for s in samples)
    else:
        data = pcm16
    align = channels * bits // 8
    fmt = struct.pack("<HHIIHH", 1, channels, rate, rate * align, align, bits)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt
    body += b"LIST" + struct.pack("<I", 5) + b"INFO\0" + b"\0"  # an odd chunk and its pad
    body += b"data" + struct.pack("<I", len(data)) + data
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", len(body)) + body)


def mulaw(pcm16):
    """G.711 mu-law bytes of 16-bit samples."""
    out = bytearray()
    for (s,) in struct.iter_unpack("<h", pcm16):
        sign = 0x80 if s < 0 else 0
        s = min(abs(s), 32635) + 0x84
        exp = 7
        while exp > 0 and not s & (0x4000 >> (7 - exp)):
            exp -= 1
        out.append(~(sign | exp << 4 | (s >> (exp + 3)) & 0x0F) & 0xFF)
    return bytes(out)


def mp3(path, rate, channels, pcm16, *options):
    raw = path + ".raw"
    with open(raw, "wb") as f:
        f.write(pcm16)
    mode = "m" if channels == 1 else "j"
    subprocess.run(["lame", "--quiet", "-r", "-s", str(rate / 1000), "--bitwidth", "16",
                    "--signed", "--little-endian", "-m", mode, *options, raw, path],
                   check=True, stderr=subprocess.DEVNULL)
    os.remove(raw)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    p = lambda name: os.path.join(out, name)
    # The lengths are a little over whole seconds: floor is then the same whatever the
    # encoder adds at the ends.
    mp3(p("tone1k_44k_stereo_cbr.mp3"), 44100, 2, tone(44100, 6.3, 2, 1000), "-b", "128")
    mp3(p("tone_22k_mono_vbr.mp3"), 22050, 1, tone(22050, 7.3, 1, 440), "-V", "4")
    # -t: no Info frame, so the length comes from a scan of the frame headers.
    mp3(p("tone_22k_mono_cbr_noinfo.mp3"), 22050, 1, tone(22050, 5.3, 1, 660), "-b", "32", "-t")
    mp3(p("tone_16k_stereo_mpeg2.mp3"), 16000, 2, tone(16000, 4.3, 2, 500), "-b", "48")
    wave(p("tone_44k_stereo_16.wav"), 44100, 2, 16, tone(44100, 4.5, 2, 1000))
    wave(p("tone_11k_mono_8.wav"), 11025, 1, 8, tone(11025, 3.5, 1, 1000))
    # MP3 frames inside a WAVE file: a format the platform's converters decode.
    with open(p("tone1k_44k_stereo_cbr.mp3"), "rb") as f:
        frames = f.read()
    fmt = struct.pack("<HHIIHHHHIHHH", 0x55, 2, 44100, 16000, 1, 0, 12, 1, 2, 417, 1, 1393)
    fact = struct.pack("<I", int(44100 * 6.3))
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt
    body += b"fact" + struct.pack("<I", 4) + fact
    body += b"data" + struct.pack("<I", len(frames)) + frames + (b"\0" if len(frames) % 2 else b"")
    with open(p("mp3_in_wave.wav"), "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", len(body)) + body)
    # Stereo mu-law whose data chunk claims 3 s and is cut after 2.5 s and one byte: the file
    # ends inside a frame, and the converter makes an odd number of samples of its last bytes.
    fmt = struct.pack("<HHIIHHH", 7, 2, 8000, 16000, 2, 8, 0)
    data = mulaw(tone(8000, 2.5, 2, 1000))[:40000] + b"\x80"
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt
    body += b"data" + struct.pack("<I", 48000) + data
    with open(p("mulaw_stereo_cut.wav"), "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 4 + 8 + len(fmt) + 8 + 48000) + body)
    # Five minutes, for the time an open takes: with its Info frame, and without (a scan).
    # 440 Hz fills a second with whole periods: a second repeated is the same tone.
    long_tone = tone(44100, 1, 2, 440, 0.3) * 300 + tone(44100, 0.2, 2, 440, 0.3)
    mp3(p("five_minutes.mp3"), 44100, 2, long_tone, "-b", "128", "-q", "9")
    mp3(p("five_minutes_noinfo.mp3"), 44100, 2, long_tone, "-b", "128", "-q", "9", "-t")
    # Damaged: an MP3 cut inside its first frames, and random bytes.
    with open(p("tone1k_44k_stereo_cbr.mp3"), "rb") as f:
        head = f.read(600)
    with open(p("truncated.mp3"), "wb") as f:
        f.write(head)
    with open(p("random.mp3"), "wb") as f:
        f.write(random.Random(12).randbytes(20000))


main()
