#!/usr/bin/env python3
"""Draws QueloLink's window skin: PNG layers 141-156 and the icon 131.

Run from the repository root:  python3 res/skin/make_skin.py [--preview OUT.png]
The output is deterministic. Letters are rasterised from Liberation Sans Bold
(package fonts-liberation); no font file is kept in the repository.
"""

import math
import os
import sys

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from skin_font import TrueTypeFont, cap_height, layout  # noqa: E402
from skin_png import encode_ico, encode_png  # noqa: E402
from skin_raster import (Canvas, Mask, bounds, ellipse, fill_mask, gradient,  # noqa: E402
                         hexcolour, mix, noise, rect, rounded_polygon, rounded_rect,
                         shape_mask, smooth_noise, stroke, translate)

FONT_DIR = "/usr/share/fonts/truetype/liberation"
if not os.path.exists(os.path.join(FONT_DIR, "LiberationSans-Bold.ttf")):
    sys.exit("make_skin: Liberation Sans not found in %s (apt-get install fonts-liberation)" % FONT_DIR)
BOLD = TrueTypeFont(os.path.join(FONT_DIR, "LiberationSans-Bold.ttf"))

WINDOW_W, WINDOW_H = 540, 360
PANEL_X, PANEL_Y, PANEL_W, PANEL_H = 8, 40, 524, 312

# Yellow field geometry, panel coordinates.
FIELD_TOP = 12
FIELD_BOTTOM = 170
NOTCH_X = 356          # where the top edge starts its 45-degree step down
NOTCH_BOTTOM = 52      # top edge of the field right of the step
STRIPES = [(172, 174), (176, 178), (180, 181), (183, 184), (186, 187)]

YELLOW_TOP = hexcolour("ffdb2e")
YELLOW = hexcolour("ffd20a")
YELLOW_LOW = hexcolour("f7c400")

WHITE = (1.0, 1.0, 1.0, 1.0)
BLACK = (0.0, 0.0, 0.0, 1.0)

# Metal profile, from the lit outer edge to the shaded edge.
EDGE_LIT = hexcolour("6e7277")
EDGE_SHADE = hexcolour("46494d")
METAL_PROFILE = [EDGE_LIT, hexcolour("f3f5f7"), hexcolour("e0e3e6"), hexcolour("d2d5d9"),
                 hexcolour("c6c9cd"), hexcolour("b8bcc0"), hexcolour("a1a5aa"), EDGE_SHADE]

# Slant of the logo and the wordmark.
LOGO_SHEAR = 0.21


def scaled(colour, k):
    return (colour[0] * k, colour[1] * k, colour[2] * k, colour[3])


def brushed(colour, amount):
    return (min(1.0, max(0.0, colour[0] + amount)), min(1.0, max(0.0, colour[1] + amount)),
            min(1.0, max(0.0, colour[2] + amount)), colour[3])


# ---------------------------------------------------------------- frame

def title_bar():
    """142: light brushed aluminium, lit from the top left, dark line at the bottom."""
    w, h = WINDOW_W, 40
    c = Canvas(w, h)
    stops = [(0.0, hexcolour("f5f7f9")), (0.48, hexcolour("e0e3e6")),
             (0.52, hexcolour("d6d9dd")), (1.0, hexcolour("c5c9cd"))]
    for y in range(h):
        base = gradient(stops, (y - 2) / (h - 4))
        for x in range(w):
            streak = 0.010 * smooth_noise(x, 1000 + y, 41) + 0.005 * smooth_noise(x, 3000 + y, 9)
            col = brushed(base, streak + 0.004 * noise(x, y, 7))
            if y == 0:
                col = EDGE_LIT
            elif y == 1:
                col = mix(col, WHITE, 0.75)
            elif y == h - 2:
                col = METAL_PROFILE[6]
            elif y == h - 1:
                col = EDGE_SHADE
            if x == 0 and y > 0:
                col = EDGE_LIT
            elif x == 1 and 0 < y < h - 1:
                col = mix(col, WHITE, 0.6)
            elif x == w - 2 and 0 < y < h - 1:
                col = scaled(col, 0.86)
            elif x == w - 1:
                col = EDGE_SHADE
            c.px[y * w + x] = list(col)
    return c


def side_bar():
    """143 and 144: a vertical bar, brushed along its length, lit from the left."""
    w, h = 8, 360
    c = Canvas(w, h)
    for y in range(h):
        for x in range(w):
            col = METAL_PROFILE[x]
            if 0 < x < 7:
                col = brushed(col, 0.010 * smooth_noise(y, 5000 + x, 37) + 0.004 * noise(x, y, 11))
            if y == 0:
                col = scaled(col, 0.84)
            elif y == 1:
                col = scaled(col, 0.94)
            c.px[y * w + x] = list(col)
    return c


def bottom_bar():
    """145: the bottom rail, brushed along its length, lit from the top."""
    w, h = WINDOW_W, 8
    c = Canvas(w, h)
    for y in range(h):
        for x in range(w):
            col = METAL_PROFILE[y]
            if 0 < y < 7:
                col = brushed(col, 0.010 * smooth_noise(x, 7000 + y, 41) + 0.004 * noise(x, y, 13))
            c.px[y * w + x] = list(col)
    return c


# ---------------------------------------------------------------- panel

def field_outline():
    """The yellow field: a band across the panel with its top right corner stepped down."""
    step = NOTCH_BOTTOM - FIELD_TOP
    pts = [(-6, FIELD_TOP), (NOTCH_X, FIELD_TOP), (NOTCH_X + step, NOTCH_BOTTOM),
           (PANEL_W + 6, NOTCH_BOTTOM), (PANEL_W + 6, FIELD_BOTTOM), (-6, FIELD_BOTTOM)]
    return rounded_polygon(pts, [0, 4, 4, 0, 0, 0])


PINSTRIPE_OFFSET = 7   # a thin dark cut this far below the field's top edge
PINSTRIPE_WIDTH = 2

# The lightning bolt of the icon, in units of its height (x, y down).
BOLT = [(0.56, 0.0), (0.80, 0.0), (0.60, 0.43), (0.78, 0.43), (0.30, 1.0), (0.46, 0.53), (0.26, 0.53)]


def offset_band(d0, d1):
    """The band between two lines that follow the field's top edge, d0 and d1 below it."""
    r2 = math.sqrt(2.0)
    step = NOTCH_BOTTOM - FIELD_TOP

    def line(d):
        return [(-6, FIELD_TOP + d), (NOTCH_X + d * (1 - r2), FIELD_TOP + d),
                (NOTCH_X + step + d * (1 - r2), NOTCH_BOTTOM + d), (PANEL_W + 6, NOTCH_BOTTOM + d)]
    return line(d0) + line(d1)[::-1]


def decorate_field(c, field):
    """A raised tone-on-tone bolt in the field's left part and the dark cut along its top."""
    w, h = c.w, c.h
    top = FIELD_TOP + PINSTRIPE_OFFSET + PINSTRIPE_WIDTH + 4
    height = FIELD_BOTTOM - 6 - top
    pts = [(30 + px * height, top + py * height) for px, py in BOLT]
    bolt = fill_mask(w, h, [rounded_polygon(pts, 2.0)]).intersect(field)
    c.fill(bolt.shifted(-1, -1).minus(bolt), hexcolour("fff6c0"), 0.55)
    c.fill(bolt.shifted(1, 1).minus(bolt), hexcolour("b58600"), 0.30)
    c.fill(bolt, hexcolour("e8b400"), 0.30)
    d, th = PINSTRIPE_OFFSET, PINSTRIPE_WIDTH
    c.fill(fill_mask(w, h, [offset_band(d, d + th)]).intersect(field), hexcolour("141516"))


def panel():
    """141: near-black panel with the yellow field and five stripes beneath it."""
    w, h = PANEL_W, PANEL_H
    c = Canvas(w, h)
    top, bottom = hexcolour("1b1c1e"), hexcolour("0e0f10")

    def background(x, y):
        col = mix(top, bottom, y / h)
        return brushed(col, 0.0035 * noise(int(x), int(y), 17))
    c.paint_all(background)

    field = fill_mask(w, h, [field_outline()])

    def yellow(x, y):
        t = (y - FIELD_TOP) / (FIELD_BOTTOM - FIELD_TOP)
        return gradient([(0.0, YELLOW_TOP), (0.35, YELLOW), (1.0, YELLOW_LOW)], t)
    c.fill(field, yellow)
    # Light from above: a bright lip on the upward edges, a darker one below.
    c.fill(field.minus(field.shifted(0, 1)), hexcolour("fff1a8"), 0.9)
    c.fill(field.minus(field.shifted(0, -1)), hexcolour("c99b00"), 0.8)

    decorate_field(c, field)

    stripes = Mask(w, h)
    for y0, y1 in STRIPES:
        stripes = stripes.union(shape_mask(w, h, rect(-1, y0, w + 1, y1)))
    c.fill(stripes, YELLOW_LOW)

    # The frame casts a soft shadow onto the inset panel along its top and left edges.
    for y in range(4):
        c.fill(shape_mask(w, h, rect(0, y, w, y + 1)), BLACK, [0.45, 0.25, 0.12, 0.05][y])
    for x in range(3):
        c.fill(shape_mask(w, h, rect(x, 0, x + 1, h)), BLACK, [0.30, 0.14, 0.05][x])
    c.fill(shape_mask(w, h, rect(0, h - 1, w, h)), hexcolour("2a2c2f"), 0.8)
    c.fill(shape_mask(w, h, rect(w - 1, 0, w, h)), hexcolour("2a2c2f"), 0.6)
    return c


# ---------------------------------------------------------------- the brand's letters

# The KORVA logo is drawn from geometric letters of our own: square-shouldered,
# wide and heavy, then slanted. Units: cap height 1, y up from the baseline.
STEM = 0.25            # vertical strokes
BAR = 0.22             # horizontal strokes (optically thinner)
GAP = 0.15             # space between letters


def _orient(contour, ccw=True):
    area = sum(x0 * y1 - x1 * y0 for (x0, y0), (x1, y1) in zip(contour, contour[1:] + contour[:1]))
    return contour if (area > 0) == ccw else contour[::-1]


def _diagonal_v(w, flat, upside_down=False):
    """A V (or, upside down, an A without its bar) with strokes of STEM thickness."""
    dx = w / 2 - flat / 2
    th = STEM * math.hypot(dx, 1.0)
    s = (w / 2 - th) / dx
    inner = 1.0 - s
    pts = [(0, 1), (w / 2 - flat / 2, 0), (w / 2 + flat / 2, 0), (w, 1), (w - th, 1), (w / 2, inner), (th, 1)]
    if upside_down:
        pts = [(x, 1.0 - y) for x, y in pts]
    return pts


def brand_letters():
    """(contours, advance) per letter of KORVA, in cap-height units."""
    letters = []
    # K: stem, an upper arm to the top right and a leg that branches off it.
    w = 0.92
    a = 0.30
    stem = [(0, 0), (STEM, 0), (STEM, 1), (0, 1)]
    j0, j1 = (STEM - 0.02, 0.28), (w, 1.0)
    arm = [j0, j1, (w - a, 1.0), (STEM - 0.02, 0.28 + a * (1.0 - 0.28) / (w - STEM + 0.02))]
    mid = (j0[0] + (j1[0] - j0[0]) * 0.42, j0[1] + (j1[1] - j0[1]) * 0.42)
    leg = [(mid[0] - 0.02, mid[1] + 0.02), (mid[0] - 0.02 - a * 0.95, mid[1] + 0.02), (w - a * 1.05, 0), (w, 0)]
    letters.append(([stem, arm, leg], w))
    # O: a rounded rectangle ring.
    w = 1.04
    outer = rounded_rect(0, 0, w, 1, 0.36)
    inner = rounded_rect(STEM, BAR, w - STEM, 1 - BAR, 0.36 - STEM * 0.8)
    letters.append(([outer, inner[::-1]], w))
    # R: stem, a bowl with rounded right shoulders, a straight leg.
    w = 0.96
    bowl_w = 0.93
    y_b = 0.40
    outer = rounded_polygon([(0, y_b), (bowl_w, y_b), (bowl_w, 1), (0, 1)], [0, 0.20, 0.28, 0])
    inner = rounded_polygon([(STEM, y_b + BAR), (bowl_w - STEM, y_b + BAR), (bowl_w - STEM, 1 - BAR),
                             (STEM, 1 - BAR)], [0, 0.04, 0.10, 0])
    stem = [(0, 0), (STEM, 0), (STEM, y_b + 0.01), (0, y_b + 0.01)]
    leg = [(0.40, y_b + 0.02), (0.40 + 0.30, y_b + 0.02), (w, 0), (w - 0.31, 0)]
    letters.append(([outer, inner, stem, leg], w))
    # V and A share their diagonals; A gets a bar.
    w = 1.0
    letters.append(([_diagonal_v(w, 0.22)], w))
    a_shape = _diagonal_v(w, 0.22, upside_down=True)
    bar = [(0.18, 0.17), (w - 0.18, 0.17), (w - 0.18, 0.17 + BAR * 0.95), (0.18, 0.17 + BAR * 0.95)]
    letters.append(([a_shape, bar], w))
    return letters


def brand_logo(cap, baseline, shear=LOGO_SHEAR):
    """Contours of the KORVA logo in pixels, starting at x = 0, and its width."""
    out = []
    pen = 0.0
    prev_w = None
    for index, (contours, w) in enumerate(brand_letters()):
        if index == 3:
            pen -= 0.06
        if index == 4:
            # V and A: tuck the A under the V so that their parallel strokes keep the gap.
            dx = prev_w / 2 - 0.11
            pen += -prev_w + prev_w / 2 + 0.11 + GAP * math.hypot(dx, 1.0)
        for k, c in enumerate(contours):
            hole = index in (1, 2) and k == 1
            c = _orient(list(c), ccw=not hole)
            out.append([((pen + x + shear * y) * cap, baseline - y * cap) for x, y in c])
        pen += w + GAP
        prev_w = w
    x0, _, x1, _ = bounds(out)
    return translate(out, -x0, 0), x1 - x0


# ---------------------------------------------------------------- logos and wordmark

def logo_contours(cap, x, baseline, align_right=False, width=None):
    contours, logo_w = brand_logo(cap, baseline)
    return translate(contours, (width - logo_w) if align_right else x, 0)


def title_logo():
    """154: the brand logo in dark charcoal with an engraved highlight, for the title bar."""
    w, h = 120, 22
    c = Canvas(w, h)
    letters = fill_mask(w, h, logo_contours(16, 1, 18))
    c.fill(letters.shifted(0, 1), WHITE, 0.55)

    def charcoal(x, y):
        return mix(hexcolour("45494e"), hexcolour("141517"), (y - 3) / 15)
    c.fill(letters, charcoal)
    return c


def panel_logo():
    """155: the brand logo small and white, for the dark corner of the panel."""
    w, h = 100, 17
    c = Canvas(w, h)
    letters = fill_mask(w, h, logo_contours(12, 0, 14, align_right=True, width=w - 1))

    def silver(x, y):
        return mix(WHITE, hexcolour("d9dde1"), (y - 2) / 12)
    c.fill(letters, silver)
    return c


def wordmark():
    """156: PCU in large letters above POWER CONTROL UNIT, black, both lines of one width."""
    w, h = 220, 70
    c = Canvas(w, h)
    big_size = 44 * BOLD.units_per_em / cap_height(BOLD)
    small_size = 9 * BOLD.units_per_em / cap_height(BOLD)
    small, _ = layout(BOLD, "POWER CONTROL UNIT", small_size, 0, 59, tracking=1.2, shear=LOGO_SHEAR)
    sx0, _, sx1, _ = bounds(small)
    # Widen the big letters so that they span the small line (the letters slant alike).
    xscale = 1.0
    for _ in range(4):
        big, _ = layout(BOLD, "PCU", big_size, 0, 45, tracking=3, shear=LOGO_SHEAR, xscale=xscale)
        bx0, _, bx1, _ = bounds(big)
        xscale *= (sx1 - sx0 - 6) / (bx1 - bx0 - 6)
    big, _ = layout(BOLD, "PCU", big_size, 0, 45, tracking=3, shear=LOGO_SHEAR, xscale=xscale)
    bx0, _, bx1, _ = bounds(big)
    big = translate(big, (w - (bx1 - bx0)) / 2 - bx0, 0)
    small = translate(small, (w - (sx1 - sx0)) / 2 - sx0, 0)
    c.fill(fill_mask(w, h, big + small), hexcolour("0b0b0c"))
    return c


# ---------------------------------------------------------------- lamps

def lamp(body_light, body_mid, body_dark, glow):
    """150 and 151: a glossy ball in a thin metal bezel, transparent around it."""
    s = 20
    c = Canvas(s, s)
    cx = cy = 10.0
    if glow is not None:
        halo = shape_mask(s, s, ellipse(cx, cy, 9.8))
        c.fill(halo, lambda x, y: (glow[0], glow[1], glow[2],
                                   0.35 * max(0.0, 1 - (math.hypot(x - cx, y - cy) - 7) / 3)))
    c.fill(shape_mask(s, s, ellipse(cx, cy, 8.6)),
           lambda x, y: mix(hexcolour("8d9196"), hexcolour("2b2d30"), (y - 1.4) / 17.2))
    c.fill(shape_mask(s, s, ellipse(cx, cy, 7.7)), hexcolour("050505"))

    def body(x, y):
        d = math.hypot(x - (cx - 0.6), y - (cy - 1.0)) / 8.0
        return gradient([(0.0, mix(body_mid, body_light, 0.3)), (0.55, body_mid), (1.0, body_dark)], d)
    ball = shape_mask(s, s, ellipse(cx, cy, 7.0))
    c.fill(ball, body)
    # Light coming back through the bottom of the ball.
    c.fill(shape_mask(s, s, ellipse(cx, cy + 3.6, 4.8, 2.6)).intersect(ball),
           lambda x, y: (body_light[0], body_light[1], body_light[2], 0.45 * max(0.0, (y - 12) / 4)))
    # The window's reflection: a crisp white highlight at the top.
    c.fill(shape_mask(s, s, ellipse(cx, cy - 3.5, 4.0, 2.4)),
           lambda x, y: (1, 1, 1, max(0.0, 0.95 - (y - 4.1) * 0.15)))
    return c


# ---------------------------------------------------------------- buttons

def square_button(window_bar, x, y, symbol):
    """146-149: a dark square with a light rim and a white symbol, on the title bar."""
    s = 32
    c = window_bar.crop(x, y, s, s)
    c.fill(shape_mask(s, s, rounded_rect(2, 3, 30, 31, 6)), WHITE, 0.6)
    c.fill(shape_mask(s, s, rounded_rect(2, 2, 30, 30, 6)), hexcolour("3a3d41"))
    c.fill(shape_mask(s, s, rounded_rect(3, 3, 29, 29, 5)),
           lambda px, py: mix(hexcolour("f7f8fa"), hexcolour("9ca1a7"), (py - 3) / 26))
    face = shape_mask(s, s, rounded_rect(4, 4, 28, 28, 4))
    c.fill(face, lambda px, py: mix(hexcolour("4d5156"), hexcolour("1b1d20"), (py - 4) / 24))
    c.fill(face.intersect(shape_mask(s, s, rect(0, 0, s, 15))),
           lambda px, py: (1, 1, 1, max(0.0, 0.17 * (1 - (py - 4) / 11))))
    if symbol == "cross":
        glyph = [stroke((11.5, 11.5), (20.5, 20.5), 2.6), stroke((20.5, 11.5), (11.5, 20.5), 2.6)]
    else:
        glyph = [rounded_rect(10, 19, 22, 22, 1)]
    mark = fill_mask(s, s, glyph)
    c.fill(mark.shifted(0, 1), BLACK, 0.55)
    c.fill(mark, WHITE)
    return c


def carbon(x, y, tint):
    """Twill-woven carbon fibre, 3-pixel tows, kept low in contrast."""
    cell = 3
    ix, iy = int(x) // cell, int(y) // cell
    u = (x % cell) / cell
    v = (y % cell) / cell
    across = (ix + iy) % 4 < 2
    shade = math.sin(math.pi * (v if across else u))
    level = 0.205 + 0.022 * (shade - 0.6) + (0.008 if across else -0.004)
    return (level * tint[0], level * tint[1], level * tint[2], 1.0)


def update_button(panel_canvas, tint):
    """152 and 153: a carbon face with a glossy top edge on the panel's dark ground."""
    w, h = 112, 32
    c = panel_canvas.crop(396 - PANEL_X, 296 - PANEL_Y, w, h)
    c.fill(shape_mask(w, h, rounded_rect(0, 1, w, h, 6)), WHITE, 0.09)
    c.fill(shape_mask(w, h, rounded_rect(0, 0, w, h - 1, 6)), hexcolour("040404"))
    outer = shape_mask(w, h, rounded_rect(1, 1, w - 1, h - 2, 5))
    inner = shape_mask(w, h, rounded_rect(2, 2, w - 2, h - 3, 4))
    c.fill(outer, lambda x, y: mix(scaled(hexcolour("9aa0a6"), 1.0), hexcolour("2a2c2f"), (y - 1) / 12)
           if y < 13 else hexcolour("2a2c2f"))
    c.fill(inner, lambda x, y: carbon(x, y, tint))
    c.fill(inner.intersect(shape_mask(w, h, rect(0, 0, w, 14))),
           lambda x, y: (1, 1, 1, max(0.0, 0.20 * (1 - (y - 2) / 12))))
    c.fill(inner.intersect(shape_mask(w, h, rect(0, h - 7, w, h))),
           lambda x, y: (0, 0, 0, max(0.0, 0.25 * (y - (h - 7)) / 4)))
    return c


# ---------------------------------------------------------------- icon

def icon(size):
    """131: the panel's bolt, black on a yellow rounded square with a dark rim."""
    s = size
    c = Canvas(s, s)
    rim = 1.0 if s <= 16 else max(1.5, s / 24)
    radius = s * 0.19
    c.fill(shape_mask(s, s, rounded_rect(0, 0, s, s, radius)), hexcolour("141517"))
    face = shape_mask(s, s, rounded_rect(rim, rim, s - rim, s - rim, max(0.5, radius - rim)))
    c.fill(face, lambda x, y: gradient([(0, YELLOW_TOP), (0.4, YELLOW), (1, YELLOW_LOW)], y / s))
    if s >= 32:
        c.fill(face.intersect(shape_mask(s, s, rect(0, 0, s, s * 0.45))),
               lambda x, y: (1, 1, 1, 0.22 * (1 - y / (s * 0.45))))
    pts = [(s * px, s * (0.10 + 0.82 * py)) for px, py in BOLT]
    c.fill(shape_mask(s, s, rounded_polygon(pts, 0.012 * s)), hexcolour("0b0b0c"))
    return c


# ---------------------------------------------------------------- output

def build():
    bar = title_bar()
    pnl = panel()
    images = {
        "141_panel": pnl,
        "142_title_bar": bar,
        "143_border_left": side_bar(),
        "144_border_right": side_bar(),
        "145_border_bottom": bottom_bar(),
        "146_close_normal": square_button(bar, 492, 4, "cross"),
        "147_close_pressed": square_button(bar, 492, 4, "cross"),
        "148_minimise_normal": square_button(bar, 460, 4, "bar"),
        "149_minimise_pressed": square_button(bar, 460, 4, "bar"),
        "150_lamp_on": lamp(hexcolour("b4ffb0"), hexcolour("22c83c"), hexcolour("0a4d18"), hexcolour("3cff5a")),
        "151_lamp_off": lamp(hexcolour("ffb0a0"), hexcolour("d8261c"), hexcolour("520806"), None),
        "152_update_normal": update_button(pnl, (1.0, 1.0, 1.0)),
        "153_update_hover": update_button(pnl, (1.22, 1.20, 0.50)),
        "154_logo_title": title_logo(),
        "155_logo_panel": panel_logo(),
        "156_wordmark": wordmark(),
    }
    for size in (16, 32, 48, 256):
        images["131_icon_%d" % size] = icon(size)
    return images


LAYERS = [("145_border_bottom", 8, 352), ("143_border_left", 0, 40), ("144_border_right", 532, 40),
          ("142_title_bar", 0, 0), ("141_panel", 8, 40), ("150_lamp_on", 32, 298),
          ("154_logo_title", 32, 9), ("155_logo_panel", 408, 64), ("156_wordmark", 160, 145)]


def preview(images, state):
    """The whole window as the program paints it, with mock texts and progress bar.

    state is "ready" (lamp on, button enabled), "hover" (the same with the mouse on
    the button) or "offline" (lamp off, button disabled).
    """
    win = Canvas(WINDOW_W, WINDOW_H, (1, 0, 1, 1))
    lamp_layer = "151_lamp_off" if state == "offline" else "150_lamp_on"
    for name, x, y in LAYERS:
        win.draw(images[lamp_layer if name == "150_lamp_on" else name], x, y)
    win.draw(images["148_minimise_normal"], 460, 4)
    win.draw(images["146_close_normal"], 492, 4)
    win.draw(images["153_update_hover" if state == "hover" else "152_update_normal"], 396, 296)
    regular = TrueTypeFont(os.path.join(FONT_DIR, "LiberationSans-Regular.ttf"))

    def text(font, string, px, x, top, colour, centre_in=None):
        ascent = font.ascender / font.units_per_em * px
        contours, adv = layout(font, string, px, 0, 0)
        if centre_in:
            bx, by, bw, bh = centre_in
            height = (font.ascender - font.descender) / font.units_per_em * px
            x = bx + (bw - adv) / 2
            top = by + (bh - height) / 2
        contours = translate(contours, x, top + ascent)
        win.fill(fill_mask(WINDOW_W, WINDOW_H, contours), colour)

    status = "Disconnected." if state == "offline" else "Connected. Ready to Update."
    label = (17 / 255, 0, 0, 1) if state == "offline" else WHITE
    text(BOLD, "PCU Firmware V1.1 Updator", 14 * 96 / 72, 162, 9, BLACK)
    text(regular, status, 12 * 96 / 72, 56, 300, WHITE)
    text(regular, "Update", 14 * 96 / 72, 0, 0, label, centre_in=(396, 296, 112, 32))
    done = 0 if state == "offline" else 160
    win.fill(shape_mask(WINDOW_W, WINDOW_H, rect(80, 236, 460, 256)), hexcolour("bcbcbc"))
    win.fill(shape_mask(WINDOW_W, WINDOW_H, rect(81, 237, 459, 255)), hexcolour("e6e6e6"))
    if done:
        win.fill(shape_mask(WINDOW_W, WINDOW_H, rect(82, 238, 82 + done, 254)), hexcolour("06b025"))
    return win


def main(argv):
    out_dir = HERE
    images = build()
    for name, canvas in sorted(images.items()):
        with open(os.path.join(out_dir, name + ".png"), "wb") as f:
            f.write(encode_png(canvas.w, canvas.h, canvas.rgba_bytes()))
    icons = [(s, encode_png(s, s, images["131_icon_%d" % s].rgba_bytes())) for s in (16, 32, 48, 256)]
    with open(os.path.join(out_dir, "131_icon.ico"), "wb") as f:
        f.write(encode_ico(icons))
    if len(argv) >= 3 and argv[1] == "--preview":
        for suffix, state in (("", "ready"), ("-hover", "hover"), ("-offline", "offline")):
            win = preview(images, state)
            path = argv[2] if not suffix else argv[2].replace(".png", suffix + ".png")
            with open(path, "wb") as f:
                f.write(encode_png(win.w, win.h, win.rgba_bytes()))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
