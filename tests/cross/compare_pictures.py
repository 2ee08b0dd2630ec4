#!/usr/bin/env python3
"""Compares two pictures pixel for pixel: binary PPM (pdftoppm's output) or 8-bit PNG (the
preview's), with the standard library only.

    compare_pictures.py EXPECTED ACTUAL WHAT

Prints how many pixels differ and by how much at most; ends 1 when any pixel differs or the
sizes do not match, 2 when a file cannot be read.
"""
import struct
import sys
import zlib


def read_ppm(data):
    # P6, then width, height and the largest value, separated by white space; then the samples.
    fields, at = [], 2
    while len(fields) < 3:
        while data[at:at + 1].isspace():
            at += 1
        start = at
        while not data[at:at + 1].isspace():
            at += 1
        fields.append(int(data[start:at]))
    width, height, maxval = fields
    if maxval != 255:
        raise ValueError("only 8-bit PPM is read")
    return width, height, 3, data[at + 1:at + 1 + width * height * 3]


def read_png(data):
    at, idat, header = 8, b"", None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    width, height, depth, colour, _, _, interlace = header
    channels = {0: 1, 2: 3, 4: 2, 6: 4}.get(colour)
    if depth != 8 or channels is None or interlace:
        raise ValueError("only 8-bit, non-interlaced grey or RGB(A) PNG is read")
    raw, stride = zlib.decompress(idat), width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        row = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            left = row[x - channels] if x >= channels else 0
            up = previous[x]
            corner = previous[x - channels] if x >= channels else 0
            if kind == 1:
                row[x] = (row[x] + left) & 0xFF
            elif kind == 2:
                row[x] = (row[x] + up) & 0xFF
            elif kind == 3:
                row[x] = (row[x] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                predictor = left if pa <= pb and pa <= pc else up if pb <= pc else corner
                row[x] = (row[x] + predictor) & 0xFF
        rows.append(bytes(row))
        previous = row
    return width, height, channels, b"".join(rows)


def read(path):
    with open(path, "rb") as file:
        data = file.read()
    if data.startswith(b"P6"):
        return read_ppm(data)
    if data.startswith(b"\x89PNG\r\n\x1a\n"):
        return read_png(data)
    raise ValueError("neither PPM nor PNG")


def main():
    expected_path, actual_path, what = sys.argv[1:4]
    try:
        expected, actual = read(expected_path), read(actual_path)
    except (OSError, ValueError, TypeError, struct.error, zlib.error) as error:
        print(f"compare: {what}: cannot read the pictures: {error}")
        return 2
    if expected[:3] != actual[:3]:
        print(f"compare: {what}: FAILED: {expected[0]}x{expected[1]} (x{expected[2]}) against "
              f"{actual[0]}x{actual[1]} (x{actual[2]})")
        return 1
    width, height, channels, left, right = *expected[:3], expected[3], actual[3]
    differing, largest = 0, 0
    for pixel in range(width * height):
        a = left[pixel * channels:(pixel + 1) * channels]
        b = right[pixel * channels:(pixel + 1) * channels]
        if a != b:
            differing += 1
            largest = max(largest, max(abs(x - y) for x, y in zip(a, b)))
    verdict = "equal" if differing == 0 else "FAILED"
    print(f"compare: {what}: {verdict}: {differing} of {width * height} pixels differ "
          f"({width}x{height}), by at most {largest} of 255")
    return 0 if differing == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
