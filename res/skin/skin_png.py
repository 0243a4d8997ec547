"""PNG and ICO writers for 8-bit RGBA images (zlib + struct only)."""

import struct
import zlib


def _chunk(kind, payload):
    body = kind + payload
    return struct.pack(">I", len(payload)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def _filter_rows(rgba, width, height):
    """Picks, per row, the filter with the smallest sum of absolute residuals."""
    stride = width * 4
    out = bytearray()
    prev = bytes(stride)
    for y in range(height):
        row = rgba[y * stride:(y + 1) * stride]
        candidates = []
        none = bytes(row)
        sub = bytes((row[i] - (row[i - 4] if i >= 4 else 0)) & 0xFF for i in range(stride))
        up = bytes((row[i] - prev[i]) & 0xFF for i in range(stride))
        avg = bytes((row[i] - (((row[i - 4] if i >= 4 else 0) + prev[i]) >> 1)) & 0xFF
                    for i in range(stride))
        pae = bytes((row[i] - _paeth(row[i - 4] if i >= 4 else 0, prev[i],
                                     prev[i - 4] if i >= 4 else 0)) & 0xFF
                    for i in range(stride))
        for kind, data in enumerate((none, sub, up, avg, pae)):
            cost = sum(v if v < 128 else 256 - v for v in data)
            candidates.append((cost, kind, data))
        cost, kind, data = min(candidates, key=lambda c: (c[0], c[1]))
        out.append(kind)
        out += data
        prev = row
    return bytes(out)


def encode_png(width, height, rgba):
    """Returns the bytes of a PNG file; rgba holds width*height*4 bytes, rows top down."""
    assert len(rgba) == width * height * 4
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    idat = zlib.compress(_filter_rows(rgba, width, height), 9)
    return (b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", header) + _chunk(b"IDAT", idat)
            + _chunk(b"IEND", b""))


def encode_ico(images):
    """Returns an ICO file holding PNG-compressed entries; images are (size, png_bytes)."""
    head = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    blobs = b""
    for size, png in images:
        dim = 0 if size >= 256 else size
        entries += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(png), offset)
        blobs += png
        offset += len(png)
    return head + entries + blobs


def decode_png(data):
    """Reads back a PNG written by encode_png: returns (width, height, rgba bytes)."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        payload = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", payload[:10])
            assert depth == 8 and colour == 6
        elif kind == b"IDAT":
            idat += payload
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * 4
    out = bytearray()
    prev = bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        row = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = row[i - 4] if i >= 4 else 0
            b = prev[i]
            c = prev[i - 4] if i >= 4 else 0
            if kind == 1:
                row[i] = (row[i] + a) & 0xFF
            elif kind == 2:
                row[i] = (row[i] + b) & 0xFF
            elif kind == 3:
                row[i] = (row[i] + ((a + b) >> 1)) & 0xFF
            elif kind == 4:
                row[i] = (row[i] + _paeth(a, b, c)) & 0xFF
        out += row
        prev = row
    return width, height, bytes(out)
