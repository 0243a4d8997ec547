"""Reads glyph outlines from a TrueType file (glyf table) and lays out text as contours."""

import struct


class TrueTypeFont:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        count = struct.unpack(">H", self.data[4:6])[0]
        self.tables = {}
        for i in range(count):
            tag, _, offset, length = struct.unpack(">4sIII", self.data[12 + 16 * i:28 + 16 * i])
            self.tables[tag.decode("latin-1")] = (offset, length)
        head = self.tables["head"][0]
        self.units_per_em = self._u16(head + 18)
        self.long_loca = self._i16(head + 50) == 1
        self.num_glyphs = self._u16(self.tables["maxp"][0] + 4)
        hhea = self.tables["hhea"][0]
        self.ascender = self._i16(hhea + 4)
        self.descender = self._i16(hhea + 6)
        self.num_hmetrics = self._u16(hhea + 34)
        self.cmap = self._read_cmap()
        self.kerning = self._read_kern()
        self._cache = {}

    def _u16(self, at):
        return struct.unpack(">H", self.data[at:at + 2])[0]

    def _i16(self, at):
        return struct.unpack(">h", self.data[at:at + 2])[0]

    def _u32(self, at):
        return struct.unpack(">I", self.data[at:at + 4])[0]

    def _read_cmap(self):
        base = self.tables["cmap"][0]
        mapping = {}
        for i in range(self._u16(base + 2)):
            platform, encoding, offset = struct.unpack(">HHI", self.data[base + 4 + 8 * i:base + 12 + 8 * i])
            sub = base + offset
            if platform == 3 and encoding == 1 and self._u16(sub) == 4:
                segs = self._u16(sub + 6) // 2
                ends = sub + 14
                starts = ends + 2 * segs + 2
                deltas = starts + 2 * segs
                ranges = deltas + 2 * segs
                for s in range(segs):
                    end = self._u16(ends + 2 * s)
                    start = self._u16(starts + 2 * s)
                    delta = self._i16(deltas + 2 * s)
                    range_offset = self._u16(ranges + 2 * s)
                    for code in range(start, end + 1):
                        if code == 0xFFFF:
                            continue
                        if range_offset == 0:
                            glyph = (code + delta) & 0xFFFF
                        else:
                            at = ranges + 2 * s + range_offset + 2 * (code - start)
                            glyph = self._u16(at)
                            if glyph:
                                glyph = (glyph + delta) & 0xFFFF
                        mapping[code] = glyph
                break
        return mapping

    def _read_kern(self):
        pairs = {}
        if "kern" not in self.tables:
            return pairs
        base = self.tables["kern"][0]
        if self._u16(base) != 0:
            return pairs
        at = base + 4
        for _ in range(self._u16(base + 2)):
            length = self._u16(at + 2)
            coverage = self._u16(at + 4)
            if coverage >> 8 == 0 and coverage & 1:
                n = self._u16(at + 6)
                for i in range(n):
                    left, right, value = struct.unpack(">HHh", self.data[at + 14 + 6 * i:at + 20 + 6 * i])
                    pairs[(left, right)] = value
            at += length
        return pairs

    def glyph_index(self, char):
        return self.cmap.get(ord(char), 0)

    def advance(self, glyph):
        hmtx = self.tables["hmtx"][0]
        index = min(glyph, self.num_hmetrics - 1)
        return self._u16(hmtx + 4 * index)

    def _glyph_range(self, glyph):
        loca = self.tables["loca"][0]
        if self.long_loca:
            return self._u32(loca + 4 * glyph), self._u32(loca + 4 * glyph + 4)
        return 2 * self._u16(loca + 2 * glyph), 2 * self._u16(loca + 2 * glyph + 2)

    def outline(self, glyph):
        """Contours of a glyph in font units (y up), as lists of (x, y, on_curve)."""
        if glyph in self._cache:
            return self._cache[glyph]
        start, end = self._glyph_range(glyph)
        contours = []
        if end > start:
            at = self.tables["glyf"][0] + start
            n = self._i16(at)
            if n >= 0:
                contours = self._simple(at, n)
            else:
                contours = self._composite(at)
        self._cache[glyph] = contours
        return contours

    def _simple(self, at, n):
        ends = [self._u16(at + 10 + 2 * i) for i in range(n)]
        points = ends[-1] + 1 if ends else 0
        at += 10 + 2 * n
        at += 2 + self._u16(at)
        flags = []
        while len(flags) < points:
            f = self.data[at]
            at += 1
            flags.append(f)
            if f & 8:
                repeat = self.data[at]
                at += 1
                flags += [f] * repeat
        xs, ys = [], []
        for coords, short_bit, same_bit in ((xs, 2, 16), (ys, 4, 32)):
            v = 0
            for f in flags:
                if f & short_bit:
                    d = self.data[at]
                    at += 1
                    v += d if f & same_bit else -d
                elif not f & same_bit:
                    v += self._i16(at)
                    at += 2
                coords.append(v)
        contours = []
        first = 0
        for e in ends:
            contours.append([(xs[i], ys[i], bool(flags[i] & 1)) for i in range(first, e + 1)])
            first = e + 1
        return contours

    def _composite(self, at):
        at += 10
        contours = []
        while True:
            flags, glyph = self._u16(at), self._u16(at + 2)
            at += 4
            if flags & 1:
                dx, dy = self._i16(at), self._i16(at + 2)
                at += 4
            else:
                dx, dy = struct.unpack(">bb", self.data[at:at + 2])
                at += 2
            a, b, c, d = 1.0, 0.0, 0.0, 1.0
            if flags & 8:
                a = d = self._i16(at) / 16384
                at += 2
            elif flags & 0x40:
                a, d = self._i16(at) / 16384, self._i16(at + 2) / 16384
                at += 4
            elif flags & 0x80:
                a, b, c, d = (self._i16(at + 2 * i) / 16384 for i in range(4))
                at += 8
            for contour in self.outline(glyph):
                contours.append([(a * x + c * y + dx, b * x + d * y + dy, on) for x, y, on in contour])
            if not flags & 0x20:
                break
        return contours


def _flatten(contour, steps):
    """Quadratic TrueType contour to a polyline (font units)."""
    pts = list(contour)
    if not pts:
        return []
    # Start from an on-curve point (or the midpoint of two off-curve points).
    if not pts[0][2]:
        if pts[-1][2]:
            pts = [pts[-1]] + pts[:-1]
        else:
            mid = ((pts[0][0] + pts[-1][0]) / 2, (pts[0][1] + pts[-1][1]) / 2, True)
            pts = [mid] + pts
    out = [(pts[0][0], pts[0][1])]
    n = len(pts)
    i = 1
    current = pts[0]
    while i <= n:
        p = pts[i % n]
        if p[2]:
            out.append((p[0], p[1]))
            current = p
            i += 1
            continue
        nxt = pts[(i + 1) % n]
        if nxt[2]:
            end = nxt
            i += 2
        else:
            end = ((p[0] + nxt[0]) / 2, (p[1] + nxt[1]) / 2, True)
            i += 1
        for s in range(1, steps + 1):
            t = s / steps
            u = 1 - t
            out.append((u * u * current[0] + 2 * u * t * p[0] + t * t * end[0],
                        u * u * current[1] + 2 * u * t * p[1] + t * t * end[1]))
        current = end
    if len(out) > 1 and out[0] == out[-1]:
        out.pop()
    return out


def cap_height(font):
    """Height of the capital H in font units."""
    ys = [y for c in font.outline(font.glyph_index("H")) for _, y, _ in c]
    return max(ys)


def layout(font, text, size, x=0.0, baseline=0.0, tracking=0.0, shear=0.0, xscale=1.0,
           kern=True, steps=10):
    """Contours (pixel coordinates, y down) of text set at size pixels per em.

    tracking adds pixels after every letter; shear slants the letters to the right
    by that many pixels per pixel of height (around the baseline); xscale widens them.
    Returns (contours, advance width in pixels).
    """
    k = size / font.units_per_em
    pen = x
    contours = []
    prev = None
    for char in text:
        glyph = font.glyph_index(char)
        if kern and prev is not None:
            pen += font.kerning.get((prev, glyph), 0) * k * xscale
        for contour in font.outline(glyph):
            flat = _flatten(contour, steps)
            contours.append([(pen + (gx * xscale + shear * gy) * k, baseline - gy * k) for gx, gy in flat])
        pen += font.advance(glyph) * k * xscale + tracking
        prev = glyph
    return contours, pen - x - tracking
