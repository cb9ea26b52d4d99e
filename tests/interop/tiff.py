"""Reads the pixels of the TIFF files Scribus makes of embedded images (8-bit, strips, LZW or
none)."""

import struct
import zlib

WIDTH, HEIGHT, BITS, COMPRESSION, PHOTOMETRIC = 256, 257, 258, 259, 262
STRIP_OFFSETS, SAMPLES, STRIP_COUNTS, PREDICTOR, EXTRA_SAMPLES = 273, 277, 279, 317, 338
TYPE_SIZES = {1: 1, 2: 1, 3: 2, 4: 4, 5: 8, 7: 1, 16: 8}
TYPE_FORMATS = {1: "B", 3: "H", 4: "I", 16: "Q"}


def tags(data):
    order = {b"II": "<", b"MM": ">"}[data[:2]]
    (ifd,) = struct.unpack(order + "I", data[4:8])
    (count,) = struct.unpack(order + "H", data[ifd:ifd + 2])
    result = {}
    for n in range(count):
        tag, kind, number, value = struct.unpack(order + "HHI4s",
                                                 data[ifd + 2 + 12 * n:ifd + 14 + 12 * n])
        size = TYPE_SIZES.get(kind, 1) * number
        raw = value[:size] if size <= 4 else data[struct.unpack(order + "I", value)[0]:][:size]
        if kind in TYPE_FORMATS:
            result[tag] = list(struct.unpack(order + TYPE_FORMATS[kind] * number, raw))
    return result


def lzw_decode(data):
    """TIFF's LZW: MSB-first codes of 9 to 12 bits, early change."""
    table = [bytes([i]) for i in range(256)] + [b"", b""]
    out = bytearray()
    bits = 9
    buffer = length = 0
    previous = None
    for byte in data:
        buffer = (buffer << 8) | byte
        length += 8
        while length >= bits:
            length -= bits
            code = (buffer >> length) & ((1 << bits) - 1)
            if code == 256:
                table = table[:258]
                bits = 9
                previous = None
                continue
            if code == 257:
                return bytes(out)
            if previous is None:
                entry = table[code]
            else:
                entry = table[code] if code < len(table) else previous + previous[:1]
                table.append(previous + entry[:1])
            out += entry
            previous = entry
            if len(table) + 1 >= (1 << bits) and bits < 12:
                bits += 1
    return bytes(out)


def read(path):
    """(width, height, samples per pixel, rows of pixel tuples)."""
    with open(path, "rb") as f:
        data = f.read()
    t = tags(data)
    width, height = t[WIDTH][0], t[HEIGHT][0]
    samples = t.get(SAMPLES, [1])[0]
    if any(b != 8 for b in t.get(BITS, [8])):
        raise ValueError("only 8-bit samples are read: %r" % t.get(BITS))
    compression = t.get(COMPRESSION, [1])[0]
    raw = b""
    for offset, count in zip(t[STRIP_OFFSETS], t[STRIP_COUNTS]):
        strip = data[offset:offset + count]
        if compression == 5:
            strip = lzw_decode(strip)
        elif compression in (8, 32946):
            strip = zlib.decompress(strip)
        elif compression != 1:
            raise ValueError("compression %d is not read" % compression)
        raw += strip
    stride = width * samples
    rows = [bytearray(raw[r * stride:(r + 1) * stride]) for r in range(height)]
    if t.get(PREDICTOR, [1])[0] == 2:
        for row in rows:
            for i in range(samples, stride):
                row[i] = (row[i] + row[i - samples]) & 0xFF
    pixels = [[tuple(row[x * samples:(x + 1) * samples]) for x in range(width)] for row in rows]
    return width, height, samples, pixels
