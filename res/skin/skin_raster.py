"""A small antialiased rasteriser: polygon coverage masks and an RGBA canvas.

Coverage is exact along x and sampled on SUB rows per pixel along y, which gives
smooth edges at any angle. Colours are straight RGB in 0..1; the canvas keeps
premultiplied values and composites with the usual "over" rule.
"""

import math

SUB = 16


def _hash(*values):
    """Deterministic 32-bit hash of small integers (for texture noise)."""
    h = 0x811C9DC5
    for v in values:
        h ^= v & 0xFFFFFFFF
        h = (h * 0x01000193) & 0xFFFFFFFF
        h ^= h >> 15
        h = (h * 0x2C1B3C6D) & 0xFFFFFFFF
        h ^= h >> 12
    return h


def noise(*values):
    """Deterministic noise in -1..1."""
    return _hash(*values) / 2147483647.5 - 1.0


def smooth_noise(x, seed, period):
    """1-D value noise along x, smooth, in -1..1."""
    t = x / period
    i = math.floor(t)
    f = t - i
    f = f * f * (3 - 2 * f)
    return noise(i, seed) * (1 - f) + noise(i + 1, seed) * f


def hexcolour(text, alpha=1.0):
    text = text.lstrip("#")
    return (int(text[0:2], 16) / 255, int(text[2:4], 16) / 255, int(text[4:6], 16) / 255, alpha)


def mix(c0, c1, t):
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


def gradient(stops, t):
    """Colour at t of a gradient given as [(position, colour), ...] sorted by position."""
    if t <= stops[0][0]:
        return stops[0][1]
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            return mix(c0, c1, (t - p0) / (p1 - p0) if p1 > p0 else 1.0)
    return stops[-1][1]


# ---------------------------------------------------------------- shapes (contours)

def rect(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]


def _arc(cx, cy, r, a0, a1):
    steps = max(2, int(abs(a1 - a0) * max(r, 1.0) / 0.6) + 1)
    return [(cx + r * math.cos(a0 + (a1 - a0) * i / steps),
             cy + r * math.sin(a0 + (a1 - a0) * i / steps)) for i in range(steps + 1)]


def rounded_rect(x0, y0, x1, y1, r):
    r = min(r, (x1 - x0) / 2, (y1 - y0) / 2)
    if r <= 0:
        return rect(x0, y0, x1, y1)
    h = math.pi / 2
    pts = []
    pts += _arc(x1 - r, y0 + r, r, -h, 0)
    pts += _arc(x1 - r, y1 - r, r, 0, h)
    pts += _arc(x0 + r, y1 - r, r, h, 2 * h)
    pts += _arc(x0 + r, y0 + r, r, 2 * h, 3 * h)
    return pts


def ellipse(cx, cy, rx, ry=None):
    ry = rx if ry is None else ry
    steps = max(24, int(2 * math.pi * max(rx, ry) / 0.5))
    return [(cx + rx * math.cos(2 * math.pi * i / steps), cy + ry * math.sin(2 * math.pi * i / steps))
            for i in range(steps)]


def rounded_polygon(points, radius):
    """Closed polygon with every corner filleted by radius (or a per-corner list)."""
    n = len(points)
    radii = radius if isinstance(radius, (list, tuple)) else [radius] * n
    out = []
    for i in range(n):
        p0, p1, p2 = points[i - 1], points[i], points[(i + 1) % n]
        r = radii[i]
        if r <= 0:
            out.append(p1)
            continue
        v0 = (p0[0] - p1[0], p0[1] - p1[1])
        v2 = (p2[0] - p1[0], p2[1] - p1[1])
        l0, l2 = math.hypot(*v0), math.hypot(*v2)
        u0, u2 = (v0[0] / l0, v0[1] / l0), (v2[0] / l2, v2[1] / l2)
        cosang = max(-1.0, min(1.0, u0[0] * u2[0] + u0[1] * u2[1]))
        ang = math.acos(cosang)
        if ang < 1e-6 or abs(ang - math.pi) < 1e-6:
            out.append(p1)
            continue
        d = r / math.tan(ang / 2)
        d = min(d, l0 / 2, l2 / 2)
        r = d * math.tan(ang / 2)
        t0 = (p1[0] + u0[0] * d, p1[1] + u0[1] * d)
        t2 = (p1[0] + u2[0] * d, p1[1] + u2[1] * d)
        bis = (u0[0] + u2[0], u0[1] + u2[1])
        bl = math.hypot(*bis)
        c = (p1[0] + bis[0] / bl * (r / math.sin(ang / 2)), p1[1] + bis[1] / bl * (r / math.sin(ang / 2)))
        a0 = math.atan2(t0[1] - c[1], t0[0] - c[0])
        a2 = math.atan2(t2[1] - c[1], t2[0] - c[0])
        da = a2 - a0
        while da > math.pi:
            da -= 2 * math.pi
        while da < -math.pi:
            da += 2 * math.pi
        out += _arc(c[0], c[1], r, a0, a0 + da)
    return out


def stroke(p0, p1, width, round_caps=True):
    """A straight stroke as one contour, with round or butt caps."""
    dx, dy = p1[0] - p0[0], p1[1] - p0[1]
    length = math.hypot(dx, dy)
    ux, uy = dx / length, dy / length
    nx, ny = -uy, ux
    h = width / 2
    if not round_caps:
        return [(p0[0] + nx * h, p0[1] + ny * h), (p1[0] + nx * h, p1[1] + ny * h),
                (p1[0] - nx * h, p1[1] - ny * h), (p0[0] - nx * h, p0[1] - ny * h)]
    a = math.atan2(ny, nx)
    return _arc(p1[0], p1[1], h, a, a - math.pi) + _arc(p0[0], p0[1], h, a - math.pi, a - 2 * math.pi)


def transform(contours, fn):
    return [[fn(x, y) for x, y in c] for c in contours]


def translate(contours, dx, dy):
    return transform(contours, lambda x, y: (x + dx, y + dy))


def bounds(contours):
    xs = [p[0] for c in contours for p in c]
    ys = [p[1] for c in contours for p in c]
    return min(xs), min(ys), max(xs), max(ys)


# ---------------------------------------------------------------- coverage masks

class Mask:
    """Coverage 0..1 per pixel for a w x h area."""

    def __init__(self, w, h, data=None):
        self.w, self.h = w, h
        self.data = data if data is not None else [0.0] * (w * h)

    def at(self, x, y):
        if 0 <= x < self.w and 0 <= y < self.h:
            return self.data[y * self.w + x]
        return 0.0

    def copy(self):
        return Mask(self.w, self.h, list(self.data))

    def scaled(self, k):
        return Mask(self.w, self.h, [v * k for v in self.data])

    def union(self, other):
        return Mask(self.w, self.h, [a + b - a * b for a, b in zip(self.data, other.data)])

    def intersect(self, other):
        return Mask(self.w, self.h, [a * b for a, b in zip(self.data, other.data)])

    def minus(self, other):
        return Mask(self.w, self.h, [a * (1 - b) for a, b in zip(self.data, other.data)])

    def shifted(self, dx, dy):
        out = Mask(self.w, self.h)
        for y in range(self.h):
            sy = y - dy
            if 0 <= sy < self.h:
                for x in range(self.w):
                    sx = x - dx
                    if 0 <= sx < self.w:
                        out.data[y * self.w + x] = self.data[sy * self.w + sx]
        return out

    def blurred(self, radius, passes=3):
        """Approximate Gaussian blur by repeated box blurs of the given radius."""
        w, h = self.w, self.h
        data = list(self.data)
        size = 2 * radius + 1
        for _ in range(passes):
            tmp = [0.0] * (w * h)
            for y in range(h):
                row = data[y * w:(y + 1) * w]
                acc = sum(row[0:radius + 1])
                for x in range(w):
                    tmp[y * w + x] = acc / size
                    if x + radius + 1 < w:
                        acc += row[x + radius + 1]
                    if x - radius >= 0:
                        acc -= row[x - radius]
            out = [0.0] * (w * h)
            for x in range(w):
                acc = sum(tmp[y * w + x] for y in range(0, min(h, radius + 1)))
                for y in range(h):
                    out[y * w + x] = acc / size
                    if y + radius + 1 < h:
                        acc += tmp[(y + radius + 1) * w + x]
                    if y - radius >= 0:
                        acc -= tmp[(y - radius) * w + x]
            data = out
        return Mask(w, h, data)


def fill_mask(w, h, contours, evenodd=False):
    """Coverage mask of closed contours (nonzero winding unless evenodd)."""
    edges = []
    for c in contours:
        n = len(c)
        for i in range(n):
            x0, y0 = c[i]
            x1, y1 = c[(i + 1) % n]
            if y0 == y1:
                continue
            direction = 1
            if y0 > y1:
                x0, y0, x1, y1 = x1, y1, x0, y0
                direction = -1
            edges.append((y0, y1, x0, (x1 - x0) / (y1 - y0), direction))
    mask = Mask(w, h)
    if not edges:
        return mask
    edges.sort()
    ymin = max(0, int(math.floor(edges[0][0])))
    ymax = min(h, int(math.ceil(max(e[1] for e in edges))))
    weight = 1.0 / SUB
    start = 0
    active = []
    for py in range(ymin, ymax):
        while start < len(edges) and edges[start][0] < py + 1:
            active.append(edges[start])
            start += 1
        active = [e for e in active if e[1] > py]
        if not active:
            continue
        area = [0.0] * (w + 2)
        cover = [0.0] * (w + 2)
        for k in range(SUB):
            sy = py + (k + 0.5) / SUB
            xs = []
            for (ey0, ey1, ex0, slope, direction) in active:
                if ey0 <= sy < ey1:
                    xs.append((ex0 + (sy - ey0) * slope, direction))
            if not xs:
                continue
            xs.sort()
            wind = 0
            for i in range(len(xs) - 1):
                wind += xs[i][1]
                inside = (wind & 1) if evenodd else (wind != 0)
                if not inside:
                    continue
                xa = max(0.0, xs[i][0])
                xb = min(float(w), xs[i + 1][0])
                if xb <= xa:
                    continue
                ia, ib = int(xa), int(xb)
                if ia == ib:
                    area[ia] += (xb - xa) * weight
                else:
                    area[ia] += (ia + 1 - xa) * weight
                    cover[ia + 1] += weight
                    cover[ib] -= weight
                    area[ib] += (xb - ib) * weight
        run = 0.0
        base = py * w
        data = mask.data
        for px in range(w):
            run += cover[px]
            v = run + area[px]
            if v > 0.0:
                data[base + px] = 1.0 if v > 1.0 else v
    return mask


def shape_mask(w, h, *contours, evenodd=False):
    return fill_mask(w, h, list(contours), evenodd=evenodd)


def full_mask(w, h):
    return Mask(w, h, [1.0] * (w * h))


# ---------------------------------------------------------------- canvas

class Canvas:
    """Premultiplied RGBA pixels in 0..1."""

    def __init__(self, w, h, colour=(0.0, 0.0, 0.0, 0.0)):
        self.w, self.h = w, h
        r, g, b, a = colour
        self.px = [[r * a, g * a, b * a, a] for _ in range(w * h)]

    def fill(self, mask, paint, opacity=1.0):
        """Composites paint over the canvas where mask covers; paint is a colour or f(x, y)."""
        w = self.w
        constant = not callable(paint)
        if constant:
            r, g, b, a = paint
        data = mask.data
        for y in range(self.h):
            base = y * w
            for x in range(w):
                m = data[base + x]
                if m <= 0.0:
                    continue
                if not constant:
                    r, g, b, a = paint(x + 0.5, y + 0.5)
                sa = a * m * opacity
                if sa <= 0.0:
                    continue
                p = self.px[base + x]
                k = 1.0 - sa
                p[0] = r * sa + p[0] * k
                p[1] = g * sa + p[1] * k
                p[2] = b * sa + p[2] * k
                p[3] = sa + p[3] * k

    def paint_all(self, paint, opacity=1.0):
        self.fill(full_mask(self.w, self.h), paint, opacity)

    def draw(self, other, dx, dy):
        """Composites another canvas over this one with its top-left at (dx, dy)."""
        for y in range(other.h):
            ty = y + dy
            if not 0 <= ty < self.h:
                continue
            for x in range(other.w):
                tx = x + dx
                if not 0 <= tx < self.w:
                    continue
                s = other.px[y * other.w + x]
                if s[3] <= 0.0:
                    continue
                p = self.px[ty * self.w + tx]
                k = 1.0 - s[3]
                for i in range(4):
                    p[i] = s[i] + p[i] * k

    def crop(self, x0, y0, w, h):
        out = Canvas(w, h)
        for y in range(h):
            for x in range(w):
                sx, sy = x + x0, y + y0
                if 0 <= sx < self.w and 0 <= sy < self.h:
                    out.px[y * w + x] = list(self.px[sy * self.w + sx])
        return out

    def alpha_mask(self):
        return Mask(self.w, self.h, [p[3] for p in self.px])

    def colour_at(self, x, y):
        r, g, b, a = self.px[y * self.w + x]
        if a <= 0:
            return (0.0, 0.0, 0.0, 0.0)
        return (r / a, g / a, b / a, a)

    def rgba_bytes(self):
        out = bytearray(self.w * self.h * 4)
        i = 0
        for r, g, b, a in self.px:
            alpha = min(255, int(a * 255 + 0.5))
            if alpha > 0:
                out[i] = min(255, max(0, int(r / a * 255 + 0.5)))
                out[i + 1] = min(255, max(0, int(g / a * 255 + 0.5)))
                out[i + 2] = min(255, max(0, int(b / a * 255 + 0.5)))
                out[i + 3] = alpha
            i += 4
        return bytes(out)
