#!/usr/bin/env python3
"""Writes what an Xvfb screen shows as PNG, cut to the windows on it.

    screenshot.py <Xvfb_screenN> <out.png>

Xvfb started with "-fbdir DIR -br" keeps its screen in DIR/Xvfb_screenN as an
XWD image on a black root window; everything not black is a window. Only the
standard library: no image tools need to be installed.
"""
import struct
import sys
import zlib


def read_xwd(path):
    with open(path, "rb") as f:
        data = f.read()
    fields = struct.unpack(">25I", data[:100])
    header_size, version = fields[0], fields[1]
    width, height = fields[4], fields[5]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    ncolors = fields[19]
    if version != 7 or bits_per_pixel != 32:
        raise SystemExit(f"{path}: XWD version {version}, {bits_per_pixel} bits per pixel; expected 7 and 32")
    offset = header_size + ncolors * 12
    rows = []
    for y in range(height):
        row = data[offset + y * bytes_per_line: offset + y * bytes_per_line + width * 4]
        if byte_order == 0:  # least significant byte first: B G R X
            rgb = bytearray(width * 3)
            rgb[0::3] = row[2::4]
            rgb[1::3] = row[1::4]
            rgb[2::3] = row[0::4]
        else:  # X R G B
            rgb = bytearray(width * 3)
            rgb[0::3] = row[1::4]
            rgb[1::3] = row[2::4]
            rgb[2::3] = row[3::4]
        rows.append(bytes(rgb))
    return width, height, rows


def bounding_box(width, rows):
    black = bytes(width * 3)
    lit = [y for y, row in enumerate(rows) if row != black]
    if not lit:
        return None
    left, right = width, 0
    for y in lit:
        row = rows[y]
        stripped = row.lstrip(b"\0")
        first = (len(row) - len(stripped)) // 3
        last = (len(row.rstrip(b"\0")) - 1) // 3
        left, right = min(left, first), max(right, last)
    return left, lit[0], right + 1, lit[-1] + 1


def write_png(path, width, height, rows):
    def chunk(kind, payload):
        return (struct.pack(">I", len(payload)) + kind + payload
                + struct.pack(">I", zlib.crc32(kind + payload) & 0xFFFFFFFF))
    raw = b"".join(b"\0" + row for row in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def main():
    if len(sys.argv) != 3:
        raise SystemExit("usage: screenshot.py <Xvfb_screenN> <out.png>")
    width, height, rows = read_xwd(sys.argv[1])
    box = bounding_box(width, rows)
    if box is None:
        raise SystemExit(f"{sys.argv[1]}: the screen is empty")
    left, top, right, bottom = box
    cut = [row[left * 3:right * 3] for row in rows[top:bottom]]
    write_png(sys.argv[2], right - left, bottom - top, cut)
    print(f"{sys.argv[2]}: {right - left}x{bottom - top} at {left},{top}")


if __name__ == "__main__":
    main()
