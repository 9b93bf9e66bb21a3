#!/usr/bin/env python3
"""Writes the text and metafile samples: make_samples.sh calls it; ImageMagick does the rest.

  sample_files.py text PATH SIZE [LINE]  ASCII log lines, CRLF, exactly SIZE bytes; with LINE,
                                      lines of LINE characters
  sample_files.py shape PATH SHAPE   a text whose shape makes the edit control slow: controls,
                                      short-lines, utf16-odd, bidi or one-line
  sample_files.py notes PATH          a short English text
  sample_files.py japanese PATH ENC   a Japanese text in utf-8 (no BOM) or cp932
  sample_files.py wmf PATH            a plain (non-placeable) metafile, as GDI records one
  sample_files.py emf PATH            an enhanced metafile
  sample_files.py binary PATH         4 KB of no kind the preview knows
  sample_files.py ani PATH FRAMES STEPS  an animated cursor: a turning pointer, back and forth
  sample_files.py midi PATH           a MIDI file: a scale up and down, 7.5 s
  sample_files.py turned SRC PATH O   the JPEG SRC with an Exif orientation O, as cameras write
  sample_files.py camera SRC THUMB PATH  the JPEG SRC with the JPEG THUMB as its Exif thumbnail

No Linux tool writes metafiles, and their records are simple: they are written here byte by
byte, in the shapes GDI's own recorders give.
"""
import math
import struct
import sys

WIDTH, HEIGHT = 800, 600  # the drawing, in logical units


def write_text(path, size, line=0):
    """With `line`, the records run on with no break until a line holds `line` characters,
    as in minified data or a log written without line ends."""
    # A block of varied lines repeated: cheap for 100 MB, and not one byte value throughout.
    lines = []
    for i in range(2000):
        lines.append(
            "2024-05-%02d 12:%02d:%02d.%03d INFO worker-%d request %d served in %d ms from cache %s\r\n"
            % (1 + i % 28, i % 60, (i * 7) % 60, (i * 37) % 1000, i % 16, 100000 + i, (i * 13) % 997,
               "hit" if i % 3 else "miss"))
    block = "".join(lines)
    if line:
        flat = block.replace("\r\n", " | ")
        block = "\r\n".join(flat[i:i + line] for i in range(0, len(flat), line)) + "\r\n"
    block = block.encode("ascii")
    with open(path, "wb") as f:
        left = size
        while left > 0:
            piece = block[:left]
            f.write(piece)
            left -= len(piece)


NOTES = """Sample files for the preview panel
==================================

Select a file in the Open dialog and its preview appears on the right:

  photo-640x480.jpg     a small photo, shown whole
  photo-4000x3000.jpg   a camera-sized photo, reduced to fit the area
  picture.bmp           a 24-bit bitmap
  drawing.gif           a 256-colour GIF
  drawing.wmf           a plain metafile (no size of its own: stretched over the area)
  drawing.emf           an enhanced metafile
  japanese-utf8.txt     Japanese text in UTF-8 without a byte order mark
  japanese-sjis.txt     the same text in the Japanese ANSI code page (932)
  data.bin              no kind the panel previews: only its name shows

Text files show their first mebibyte in a read-only box over the preview area.
"""

JAPANESE = """プレビューの見本
================

このファイルは日本語のテキストです。ファイルを選ぶと、右側の枠に内容が表示されます。
文字コードは中身から判定されます。UTF-8 とシフト JIS のどちらでも同じ文章が読めるはずです。

・写真は枠に収まるように縮小して表示します。
・メタファイルは枠いっぱいに広げて描きます。
・長いテキストは先頭の 1 MiB だけを読みます。

全角記号：「」『』【】〒※→←↑↓ ＡＢＣ １２３ 半角ｶﾀｶﾅ
"""


def write_shape(path, shape):
    """Texts the edit control lays out slowly, as found in the field."""
    if shape == "controls":  # every control character but NUL, 93 KB
        data = bytes(1 + i % 31 for i in range(93 * 1024))
    elif shape == "short-lines":  # one letter a line, 1 MiB
        data = b"a\r\n" * ((1 << 20) // 3)
    elif shape == "utf16-odd":  # UTF-16 of short lines, an odd length, 1 MiB
        data = b"\xff\xfe" + "ab\r\n".encode("utf-16-le") * ((1 << 20) // 8) + b"x"
    elif shape == "bidi":  # Hebrew, Arabic and Latin words in turn, 94 KB
        words = ["\u05e9\u05dc\u05d5\u05dd", "hello", "\u0645\u0631\u062d\u0628\u0627", "123"]
        text, i = "", 0
        while len(text.encode("utf-8")) < 94 * 1024:
            text += " ".join(words[(i + k) % 4] for k in range(12)) + "\r\n"
            i += 1
        data = b"\xef\xbb\xbf" + text.encode("utf-8")
    elif shape == "one-line":  # one line of 1 MiB
        data = b"abcdefgh " * ((1 << 20) // 9)
    else:
        sys.exit("unknown shape " + shape)
    with open(path, "wb") as f:
        f.write(data)


def write_notes(path):
    with open(path, "wb") as f:
        f.write(NOTES.replace("\n", "\r\n").encode("ascii"))


def write_japanese(path, encoding):
    with open(path, "wb") as f:
        f.write(JAPANESE.replace("\n", "\r\n").encode(encoding))


def shapes():
    """The drawing, as (kind, colour, points): kind 'rect', 'ellipse' or 'polygon'."""
    out = [("rect", 0xF0E8D8, [(0, 0), (WIDTH, HEIGHT)])]
    for i in range(24):  # concentric rings
        r = 280 - i * 11
        c = ((40 + i * 8) & 0xFF) | ((120 + i * 5) & 0xFF) << 8 | ((200 - i * 6) & 0xFF) << 16
        out.append(("ellipse", c, [(400 - r, 300 - r), (400 + r, 300 + r)]))
    for i in range(120):  # a ring of triangles
        a = 2 * math.pi * i / 120
        cx, cy = 400 + 330 * math.cos(a), 300 + 250 * math.sin(a)
        pts = [(round(cx + 18 * math.cos(a + k * 2.1)), round(cy + 18 * math.sin(a + k * 2.1)))
               for k in range(3)]
        c = (i * 2) & 0xFF | ((255 - i * 2) & 0xFF) << 8 | 0x60 << 16
        out.append(("polygon", c, pts))
    for i in range(40):  # a bar chart
        h = 40 + (i * 53) % 160
        out.append(("rect", 0x3060C0 if i % 2 else 0x2090E0,
                    [(40 + i * 18, 580 - h), (54 + i * 18, 580)]))
    return out


def wmf_record(function, *words):
    body = struct.pack("<%dH" % len(words), *words)
    return struct.pack("<IH", 3 + len(words), function) + body


def write_wmf(path):
    META_SETWINDOWORG, META_SETWINDOWEXT = 0x020B, 0x020C
    META_CREATEBRUSHINDIRECT, META_CREATEPENINDIRECT = 0x02FC, 0x02FA
    META_SELECTOBJECT, META_DELETEOBJECT = 0x012D, 0x01F0
    META_RECTANGLE, META_ELLIPSE, META_POLYGON = 0x041B, 0x0418, 0x0324

    def colour_words(c):
        return (c & 0xFFFF, c >> 16)

    records = [wmf_record(META_SETWINDOWORG, 0, 0), wmf_record(META_SETWINDOWEXT, HEIGHT, WIDTH)]
    # A 1-unit black pen throughout, in slot 0; each shape's brush takes slot 1 and frees it.
    records.append(wmf_record(META_CREATEPENINDIRECT, 0, 1, 0, *colour_words(0)))
    records.append(wmf_record(META_SELECTOBJECT, 0))
    for kind, colour, pts in shapes():
        records.append(wmf_record(META_CREATEBRUSHINDIRECT, 0, *colour_words(colour), 0))
        records.append(wmf_record(META_SELECTOBJECT, 1))
        if kind == "polygon":
            flat = [v for p in pts for v in p]
            records.append(wmf_record(META_POLYGON, len(pts), *flat))
        else:
            (l, t), (r, b) = pts
            records.append(wmf_record(META_RECTANGLE if kind == "rect" else META_ELLIPSE, b, r, t, l))
        records.append(wmf_record(META_DELETEOBJECT, 1))
    records.append(wmf_record(META_DELETEOBJECT, 0))
    records.append(wmf_record(0x0000))  # META_EOF
    body = b"".join(records)
    max_record = max(len(r) for r in records) // 2
    header = struct.pack("<HHHIHIH", 1, 9, 0x0300, (18 + len(body)) // 2, 2, max_record, 0)
    with open(path, "wb") as f:
        f.write(header + body)


def write_emf(path):
    EMR_HEADER, EMR_EOF = 1, 14
    EMR_SELECTOBJECT, EMR_CREATEPEN, EMR_CREATEBRUSHINDIRECT, EMR_DELETEOBJECT = 37, 38, 39, 40
    EMR_ELLIPSE, EMR_RECTANGLE, EMR_POLYGON16 = 42, 43, 86

    def rec(kind, payload):
        return struct.pack("<II", kind, 8 + len(payload)) + payload

    records = [rec(EMR_CREATEPEN, struct.pack("<IIiiI", 1, 0, 1, 0, 0)),
               rec(EMR_SELECTOBJECT, struct.pack("<I", 1))]
    for kind, colour, pts in shapes():
        records.append(rec(EMR_CREATEBRUSHINDIRECT, struct.pack("<IIII", 2, 0, colour, 0)))
        records.append(rec(EMR_SELECTOBJECT, struct.pack("<I", 2)))
        if kind == "polygon":
            xs, ys = [p[0] for p in pts], [p[1] for p in pts]
            payload = struct.pack("<iiiiI", min(xs), min(ys), max(xs), max(ys), len(pts))
            payload += b"".join(struct.pack("<hh", x, y) for x, y in pts)
            records.append(rec(EMR_POLYGON16, payload))
        else:
            (l, t), (r, b) = pts
            records.append(rec(EMR_RECTANGLE if kind == "rect" else EMR_ELLIPSE,
                               struct.pack("<iiii", l, t, r, b)))
        records.append(rec(EMR_DELETEOBJECT, struct.pack("<I", 2)))
    records.append(rec(EMR_DELETEOBJECT, struct.pack("<I", 1)))
    records.append(rec(EMR_EOF, struct.pack("<III", 0, 16, 20)))
    body = b"".join(records)

    # Reference device: 1024 x 768 pixels on 320 x 240 mm, so a pixel is 0.3125 mm.
    header_size = 88
    frame = (0, 0, round(WIDTH * 31.25) - 1, round(HEIGHT * 31.25) - 1)  # 1/100 mm, inclusive
    payload = struct.pack("<iiii", 0, 0, WIDTH - 1, HEIGHT - 1)
    payload += struct.pack("<iiii", *frame)
    payload += struct.pack("<IIIIHHIIIiiii", 0x464D4520, 0x10000, header_size + len(body),
                           len(records) + 1, 3, 0, 0, 0, 0, 1024, 768, 320, 240)
    header = rec(EMR_HEADER, payload)
    assert len(header) == header_size
    with open(path, "wb") as f:
        f.write(header + body)


def cursor_file(size, pixel):
    """A one-image cursor file (type 2) of 32-bit pixels; pixel(x, y) gives (b, g, r, a)."""
    colour = bytearray()
    mask_stride = (size + 31) // 32 * 4
    mask = bytearray(mask_stride * size)
    for y in range(size - 1, -1, -1):  # bottom-up
        row = size - 1 - y
        for x in range(size):
            b, g, r, a = pixel(x, y)
            colour += bytes((b, g, r, a))
            if a == 0:  # transparent: the AND mask keeps the screen
                mask[row * mask_stride + x // 8] |= 0x80 >> (x % 8)
    body = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    body += bytes(colour) + bytes(mask)
    hot = size // 2
    entry = struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, hot, hot, len(body), 6 + 16)
    return struct.pack("<HHH", 0, 2, 1) + entry + body


def chunk(kind, data):
    return kind + struct.pack("<I", len(data)) + data + (b"\0" if len(data) % 2 else b"")


def write_ani(path, frames, steps):
    size = 32

    def frame(k):
        # A pointer from the centre, turned a step further each frame, on a clear ground.
        angle = 2 * math.pi * k / frames
        dx, dy = math.cos(angle), math.sin(angle)

        def pixel(x, y):
            px, py = x + 0.5 - size / 2, y + 0.5 - size / 2
            along, across = px * dx + py * dy, abs(px * dy - py * dx)
            if math.hypot(px, py) < 3 or (0 <= along < 14 and across < 3 - along / 7):
                shade = int(255 * max(0.0, min(1.0, along / 14)))
                return (255 - shade, 80 + k * 20, shade, 255)
            return (0, 0, 0, 0)

        return cursor_file(size, pixel)

    # The frames forwards, then backwards, until the steps are used up.
    order = list(range(frames)) + list(range(frames - 1, -1, -1))
    sequence = [order[i % len(order)] for i in range(steps)]
    # Flags: the frames are icon files (1) and a sequence follows (2).
    anih = struct.pack("<9I", 36, frames, steps, size, size, 32, 1, 6, 3)
    body = chunk(b"anih", anih)
    body += chunk(b"seq ", struct.pack("<%dI" % steps, *sequence))
    fram = b"fram" + b"".join(chunk(b"icon", frame(k)) for k in range(frames))
    body += chunk(b"LIST", fram)
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 4 + len(body)) + b"ACON" + body)


def write_midi(path):
    """A type-0 MIDI file: a C major scale up and down, a quarter note each at 120 beats a
    minute, 480 ticks a quarter."""
    def var_length(v):
        out = [v & 0x7F]
        v >>= 7
        while v:
            out.insert(0, 0x80 | (v & 0x7F))
            v >>= 7
        return bytes(out)
    scale = [60, 62, 64, 65, 67, 69, 71, 72]
    track = b""
    for note in scale + scale[-2::-1]:
        track += var_length(0) + bytes([0x90, note, 96])
        track += var_length(480) + bytes([0x80, note, 0])
    track += var_length(0) + b"\xff\x2f\x00"
    with open(path, "wb") as f:
        f.write(b"MThd" + struct.pack(">IHHH", 6, 0, 1, 480))
        f.write(b"MTrk" + struct.pack(">I", len(track)) + track)


def write_turned(source, path, orientation):
    """Exif (little-endian TIFF header, one directory with the orientation tag) right after
    the JPEG's start marker; the picture's own bytes follow unchanged."""
    with open(source, "rb") as f:
        jpeg = f.read()
    tiff = b"II*\x00" + struct.pack("<I", 8)
    tiff += struct.pack("<H", 1) + struct.pack("<HHIHH", 0x0112, 3, 1, orientation, 0)
    tiff += struct.pack("<I", 0)
    body = b"Exif\x00\x00" + tiff
    app1 = b"\xff\xe1" + struct.pack(">H", len(body) + 2) + body
    with open(path, "wb") as f:
        f.write(jpeg[:2] + app1 + jpeg[2:])


def write_camera(source, thumbnail_path, path):
    """Exif as cameras write it: a first directory (the orientation, 1), a second one naming
    the thumbnail's JPEG, which follows inside the segment."""
    with open(source, "rb") as f:
        jpeg = f.read()
    with open(thumbnail_path, "rb") as f:
        thumbnail = f.read()
    tiff = b"II*\x00" + struct.pack("<I", 8)
    tiff += struct.pack("<H", 1) + struct.pack("<HHIHH", 0x0112, 3, 1, 1, 0) + struct.pack("<I", 26)
    tiff += struct.pack("<H", 3)
    tiff += struct.pack("<HHIHH", 0x0103, 3, 1, 6, 0)
    tiff += struct.pack("<HHII", 0x0201, 4, 1, 68) + struct.pack("<HHII", 0x0202, 4, 1, len(thumbnail))
    tiff += struct.pack("<I", 0) + thumbnail
    body = b"Exif\x00\x00" + tiff
    app1 = b"\xff\xe1" + struct.pack(">H", len(body) + 2) + body
    with open(path, "wb") as f:
        f.write(jpeg[:2] + app1 + jpeg[2:])


def main(argv):
    if len(argv) in (4, 5) and argv[1] == "text":
        write_text(argv[2], int(argv[3]), int(argv[4]) if len(argv) == 5 else 0)
    elif len(argv) == 4 and argv[1] == "shape":
        write_shape(argv[2], argv[3])
    elif len(argv) == 3 and argv[1] == "notes":
        write_notes(argv[2])
    elif len(argv) == 4 and argv[1] == "japanese":
        write_japanese(argv[2], argv[3])
    elif len(argv) == 3 and argv[1] == "wmf":
        write_wmf(argv[2])
    elif len(argv) == 3 and argv[1] == "emf":
        write_emf(argv[2])
    elif len(argv) == 5 and argv[1] == "ani":
        write_ani(argv[2], int(argv[3]), int(argv[4]))
    elif len(argv) == 3 and argv[1] == "midi":
        write_midi(argv[2])
    elif len(argv) == 5 and argv[1] == "turned":
        write_turned(argv[2], argv[3], int(argv[4]))
    elif len(argv) == 5 and argv[1] == "camera":
        write_camera(argv[2], argv[3], argv[4])
    elif len(argv) == 3 and argv[1] == "binary":
        with open(argv[2], "wb") as f:
            f.write(bytes(range(256)) * 16)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
