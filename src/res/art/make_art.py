#!/usr/bin/env python3
"""Draws the program's artwork: icon 128 (PNG at 16, 32, 48, 64 and 128 pixels,
plus an SVG), the tool-bar bitmap 133 (six 16x16 images side by side), the
network images 139 (three 16x16 images on magenta) and the eight frames of the
search animation 138 (48x45 each, side by side).

Every picture is a list of vector shapes; the same list is written as SVG and
rasterised here with 8x8 supersampling, so no drawing library is needed (only
the standard library: zlib for PNG). Run it after changing a drawing and
commit the outputs:

    python3 src/res/art/make_art.py            # writes next to this script
    python3 src/res/art/make_art.py OUTDIR
"""

import math
import os
import struct
import sys
import zlib

# ---------------------------------------------------------------- colours


def rgb(hexstr, alpha=1.0):
    hexstr = hexstr.lstrip("#")
    return (int(hexstr[0:2], 16), int(hexstr[2:4], 16), int(hexstr[4:6], 16), alpha)


class Gradient:
    """A vertical linear gradient between two colours over [y0, y1]."""

    def __init__(self, top, bottom, y0, y1):
        self.top, self.bottom, self.y0, self.y1 = top, bottom, y0, y1

    def at(self, _x, y):
        t = 0.0 if self.y1 == self.y0 else (y - self.y0) / (self.y1 - self.y0)
        t = min(1.0, max(0.0, t))
        return tuple(a + (b - a) * t for a, b in zip(self.top, self.bottom))


def paint_at(paint, x, y):
    return paint.at(x, y) if isinstance(paint, Gradient) else paint


# ---------------------------------------------------------------- shapes


class RoundRect:
    def __init__(self, x0, y0, x1, y1, r=0.0):
        self.x0, self.y0, self.x1, self.y1, self.r = x0, y0, x1, y1, r

    def bbox(self):
        return self.x0, self.y0, self.x1, self.y1

    def inside(self, x, y):
        if x < self.x0 or x > self.x1 or y < self.y0 or y > self.y1:
            return False
        r = self.r
        cx = min(max(x, self.x0 + r), self.x1 - r)
        cy = min(max(y, self.y0 + r), self.y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

    def svg(self, fill):
        return (f'<rect x="{self.x0:g}" y="{self.y0:g}" width="{self.x1 - self.x0:g}" '
                f'height="{self.y1 - self.y0:g}" rx="{self.r:g}" {fill}/>')


class Circle:
    def __init__(self, cx, cy, r):
        self.cx, self.cy, self.r = cx, cy, r

    def bbox(self):
        return self.cx - self.r, self.cy - self.r, self.cx + self.r, self.cy + self.r

    def inside(self, x, y):
        return (x - self.cx) ** 2 + (y - self.cy) ** 2 <= self.r * self.r

    def svg(self, fill):
        return f'<circle cx="{self.cx:g}" cy="{self.cy:g}" r="{self.r:g}" {fill}/>'


class Polygon:
    def __init__(self, points):
        self.points = points

    def bbox(self):
        xs = [p[0] for p in self.points]
        ys = [p[1] for p in self.points]
        return min(xs), min(ys), max(xs), max(ys)

    def inside(self, x, y):
        # Non-zero winding rule.
        winding = 0
        pts = self.points
        for i in range(len(pts)):
            (x0, y0), (x1, y1) = pts[i], pts[(i + 1) % len(pts)]
            if y0 <= y < y1 or y1 <= y < y0:
                xi = x0 + (y - y0) * (x1 - x0) / (y1 - y0)
                if xi > x:
                    winding += 1 if y1 > y0 else -1
        return winding != 0

    def svg(self, fill):
        pts = " ".join(f"{x:g},{y:g}" for x, y in self.points)
        return f'<polygon points="{pts}" {fill}/>'


class Stroke:
    """A polyline of the given width with round joins and caps."""

    def __init__(self, points, width):
        self.points, self.width = points, width

    def bbox(self):
        h = self.width / 2
        xs = [p[0] for p in self.points]
        ys = [p[1] for p in self.points]
        return min(xs) - h, min(ys) - h, max(xs) + h, max(ys) + h

    def inside(self, x, y):
        h2 = (self.width / 2) ** 2
        pts = self.points
        for i in range(len(pts) - 1):
            (x0, y0), (x1, y1) = pts[i], pts[i + 1]
            dx, dy = x1 - x0, y1 - y0
            ll = dx * dx + dy * dy
            t = 0.0 if ll == 0 else max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / ll))
            px, py = x0 + t * dx, y0 + t * dy
            if (x - px) ** 2 + (y - py) ** 2 <= h2:
                return True
        return False

    def svg(self, fill):
        pts = " ".join(f"{x:g},{y:g}" for x, y in self.points)
        stroke = fill.replace("fill=", "stroke=").replace("fill-opacity=", "stroke-opacity=")
        return (f'<polyline points="{pts}" fill="none" {stroke} stroke-width="{self.width:g}" '
                f'stroke-linecap="round" stroke-linejoin="round"/>')


def quad_curve(p0, p1, p2, steps=16):
    """Points of a quadratic Bezier curve."""
    out = []
    for i in range(steps + 1):
        t = i / steps
        a, b, c = (1 - t) ** 2, 2 * (1 - t) * t, t * t
        out.append((a * p0[0] + b * p1[0] + c * p2[0], a * p0[1] + b * p1[1] + c * p2[1]))
    return out


def translate(layers, dx, dy):
    """The same drawing moved by (dx, dy)."""
    out = []
    for shape, paint in layers:
        if isinstance(shape, RoundRect):
            s = RoundRect(shape.x0 + dx, shape.y0 + dy, shape.x1 + dx, shape.y1 + dy, shape.r)
        elif isinstance(shape, Circle):
            s = Circle(shape.cx + dx, shape.cy + dy, shape.r)
        elif isinstance(shape, Polygon):
            s = Polygon([(x + dx, y + dy) for x, y in shape.points])
        else:
            s = Stroke([(x + dx, y + dy) for x, y in shape.points], shape.width)
        if isinstance(paint, Gradient):
            paint = Gradient(paint.top, paint.bottom, paint.y0 + dy, paint.y1 + dy)
        out.append((s, paint))
    return out


# ---------------------------------------------------------------- raster


def rasterise(layers, width, height, scale, samples=8):
    """Layers are (shape, paint) in painting order, in design units; one design
    unit is `scale` pixels. Returns rows of RGBA bytes."""
    # Premultiplied accumulation per pixel.
    acc = [[0.0, 0.0, 0.0, 0.0] for _ in range(width * height)]
    offsets = [(i + 0.5) / samples for i in range(samples)]
    total = samples * samples
    for shape, paint in layers:
        bx0, by0, bx1, by1 = shape.bbox()
        px0 = max(0, int(math.floor(bx0 * scale)))
        py0 = max(0, int(math.floor(by0 * scale)))
        px1 = min(width, int(math.ceil(bx1 * scale)) + 1)
        py1 = min(height, int(math.ceil(by1 * scale)) + 1)
        for py in range(py0, py1):
            for px in range(px0, px1):
                hits = 0
                for oy in offsets:
                    y = (py + oy) / scale
                    for ox in offsets:
                        if shape.inside((px + ox) / scale, y):
                            hits += 1
                if not hits:
                    continue
                r, g, b, a = paint_at(paint, (px + 0.5) / scale, (py + 0.5) / scale)
                cov = a * hits / total
                cell = acc[py * width + px]
                keep = 1.0 - cov
                cell[0] = r * cov + cell[0] * keep
                cell[1] = g * cov + cell[1] * keep
                cell[2] = b * cov + cell[2] * keep
                cell[3] = cov + cell[3] * keep
    rows = []
    for py in range(height):
        row = bytearray()
        for px in range(width):
            r, g, b, a = acc[py * width + px]
            if a > 0:
                row += bytes((round(r / a), round(g / a), round(b / a), round(a * 255)))
            else:
                row += b"\0\0\0\0"
        rows.append(bytes(row))
    return rows


def write_png(path, rows, width, height):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\0" + row for row in rows)
    png = (b"\x89PNG\r\n\x1a\n"
           + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(raw, 9))
           + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)


def write_svg(path, layers, size):
    defs, body = [], []
    for n, (shape, paint) in enumerate(layers):
        if isinstance(paint, Gradient):
            gid = f"g{n}"
            t, b = paint.top, paint.bottom
            defs.append(
                f'<linearGradient id="{gid}" gradientUnits="userSpaceOnUse" x1="0" '
                f'y1="{paint.y0:g}" x2="0" y2="{paint.y1:g}">'
                f'<stop offset="0" stop-color="rgb({t[0]},{t[1]},{t[2]})"/>'
                f'<stop offset="1" stop-color="rgb({b[0]},{b[1]},{b[2]})"/></linearGradient>')
            fill = f'fill="url(#{gid})"'
        else:
            fill = f'fill="rgb({paint[0]},{paint[1]},{paint[2]})"'
            if paint[3] < 1.0:
                fill += f' fill-opacity="{paint[3]:g}"'
        body.append("  " + shape.svg(fill))
    with open(path, "w", encoding="ascii") as f:
        f.write(f'<svg xmlns="http://www.w3.org/2000/svg" width="{size}" height="{size}" '
                f'viewBox="0 0 {size} {size}">\n')
        if defs:
            f.write("  <defs>" + "".join(defs) + "</defs>\n")
        f.write("\n".join(body) + "\n</svg>\n")


# ---------------------------------------------------------------- icon 128

INK = rgb("#1b3f7a")         # outlines of the bubble
BUBBLE = Gradient(rgb("#7cc4ff"), rgb("#2a78dc"), 8, 62)
WIRE = rgb("#37474f")        # network cable and computer cases
SCREEN = Gradient(rgb("#e3f6ff"), rgb("#7fc6ee"), 84, 98)
WHITE = rgb("#ffffff")


def icon_large():
    """The icon in 128 design units: a speech bubble over three computers on a
    network cable."""
    layers = []
    # Network: the cable, three drops and three monitors.
    layers.append((Stroke([(10, 118), (118, 118)], 7), WIRE))
    for cx in (22, 64, 106):
        layers.append((Stroke([(cx, 100), (cx, 118)], 5), WIRE))
        layers.append((RoundRect(cx - 17, 80, cx + 17, 103, 4), WIRE))
        layers.append((RoundRect(cx - 13, 84, cx + 13, 98, 2), SCREEN))
    # The bubble: outline, then body; the tail points at the middle computer.
    layers.append((RoundRect(4, 4, 124, 66, 20), INK))
    layers.append((Polygon([(44, 58), (78, 58), (52, 80)]), INK))
    layers.append((RoundRect(9, 9, 119, 61, 15.5), BUBBLE))
    layers.append((Polygon([(50, 56), (71, 56), (55.5, 71)]), BUBBLE))
    # A soft highlight along the top of the bubble.
    layers.append((RoundRect(16, 13, 112, 30, 9), rgb("#ffffff", 0.22)))
    # Three dots: somebody is typing.
    for cx in (38, 64, 90):
        layers.append((Circle(cx, 36, 8), WHITE))
    return layers


def icon_small():
    """The icon in 16 design units, simplified so that it stays legible."""
    bubble = Gradient(rgb("#7cc4ff"), rgb("#2a78dc"), 1, 10)
    return [
        (Stroke([(1, 15), (15, 15)], 1.2), WIRE),
        (RoundRect(1, 11.5, 5, 14.5, 0.5), WIRE),
        (RoundRect(11, 11.5, 15, 14.5, 0.5), WIRE),
        (RoundRect(6, 12.5, 10, 15, 0.5), WIRE),
        (RoundRect(0.5, 0.5, 15.5, 10.5, 3), INK),
        (Polygon([(5, 9), (9.5, 9), (6, 12.5)]), INK),
        (RoundRect(1.5, 1.5, 14.5, 9.5, 2.2), bubble),
        (Polygon([(6, 9), (8.4, 9), (6.6, 11)]), bubble),
        (Circle(4.5, 5.5, 1.35), WHITE),
        (Circle(8, 5.5, 1.35), WHITE),
        (Circle(11.5, 5.5, 1.35), WHITE),
    ]


# ---------------------------------------------------------------- bitmap 133

PAPER = rgb("#fffbe8")
EDGE = rgb("#4a4a4a")
RED = rgb("#d42a1e")
ARROW = Gradient(rgb("#5ea4ff"), rgb("#1d5fc4"), 2, 14)
ARROW_EDGE = rgb("#163f86")
GREEN = Gradient(rgb("#6fd46a"), rgb("#1f8f2a"), 0, 9)
GREEN_EDGE = rgb("#165f1e")


def envelope(x0, y0, x1, y1):
    mx = (x0 + x1) / 2
    return [
        (RoundRect(x0 - 0.5, y0 - 0.5, x1 + 0.5, y1 + 0.5, 0.8), EDGE),
        (RoundRect(x0 + 0.5, y0 + 0.5, x1 - 0.5, y1 - 0.5, 0.3), PAPER),
        (Stroke([(x0 + 0.8, y0 + 0.8), (mx, y0 + (y1 - y0) * 0.55), (x1 - 0.8, y0 + 0.8)], 1.0),
         EDGE),
    ]


def red_cross(cx, cy, r):
    a, b = (cx - r, cy - r), (cx + r, cy + r)
    c, d = (cx + r, cy - r), (cx - r, cy + r)
    return [
        (Stroke([a, b], 4.0), WHITE), (Stroke([c, d], 4.0), WHITE),
        (Stroke([a, b], 2.2), RED), (Stroke([c, d], 2.2), RED),
    ]


def arrow_left():
    pts = [(1.5, 8), (7.5, 2), (7.5, 5.5), (14.5, 5.5), (14.5, 10.5), (7.5, 10.5), (7.5, 14)]
    return [(Stroke(pts + [pts[0]], 1.6), ARROW_EDGE), (Polygon(pts), ARROW)]


def arrow_right():
    return [(Stroke([(16 - x, y) for x, y in s.points], s.width), p) if isinstance(s, Stroke)
            else (Polygon([(16 - x, y) for x, y in s.points]), p) for s, p in arrow_left()]


def tool_delete():
    return envelope(1, 2.5, 13, 11.5) + red_cross(11.5, 11.5, 2.6)


def tool_delete_all():
    return (envelope(3.5, 0.5, 14.5, 7.5) + envelope(1, 4, 12, 11.5)
            + red_cross(11.5, 11.8, 2.6))


def tool_send():
    # A letter going out: envelope with a green arrow to the upper right.
    head = [(9, 0.8), (15.2, 3.8), (9, 6.8)]
    shaft = [(3.5, 2.9), (9.5, 2.9), (9.5, 4.7), (3.5, 4.7)]
    return (envelope(1, 6.5, 12, 14.5)
            + [(Stroke(shaft + [shaft[0]], 1.4), GREEN_EDGE),
               (Stroke(head + [head[0]], 1.4), GREEN_EDGE),
               (Polygon(shaft), GREEN), (Polygon(head), GREEN)])


def tool_response():
    # A letter with a curved arrow turning back: the answer.
    curve = quad_curve((14.5, 8.0), (14.0, 2.4), (6.5, 3.2), 12)
    head = [(1.2, 3.4), (6.8, 0.0), (6.8, 6.8)]
    return (envelope(3, 8, 14, 15)
            + [(Stroke(curve, 3.6), ARROW_EDGE), (Stroke(head + [head[0]], 1.2), ARROW_EDGE),
               (Stroke(curve, 1.8), rgb("#3f86ea")), (Polygon(head), rgb("#3f86ea"))])


TOOLBAR = [tool_delete, arrow_left, arrow_right, tool_delete_all, tool_send, tool_response]


# ---------------------------------------------------------------- bitmap 139

CASE = rgb("#5b6770")
LCD = Gradient(rgb("#dff4ff"), rgb("#6fb7e6"), 0, 16)


def monitor(x, y, w, h):
    """A small computer: case with screen, on a foot."""
    return [
        (RoundRect(x + w / 2 - 1.5, y + h - 0.5, x + w / 2 + 1.5, y + h + 1.5, 0.2), CASE),
        (RoundRect(x + w / 2 - 3, y + h + 1, x + w / 2 + 3, y + h + 2, 0.3), CASE),
        (RoundRect(x, y, x + w, y + h, 0.8), CASE),
        (RoundRect(x + 1.2, y + 1.2, x + w - 1.2, y + h - 1.2, 0.3),
         Gradient(LCD.top, LCD.bottom, y, y + h)),
    ]


def net_whole():
    # Two computers joined by a cable: the whole network.
    return ([(Stroke([(4, 14.5), (12, 14.5)], 1.2), WIRE)]
            + monitor(0.5, 2, 8, 7) + monitor(7.5, 5, 8, 7))


def net_group():
    # A group of computers on one cable: a domain or workgroup.
    out = [(Stroke([(1, 15), (15, 15)], 1.2), WIRE)]
    for x in (0.5, 5.5, 10.5):
        out += [(Stroke([(x + 2.5, 11), (x + 2.5, 15)], 1.0), WIRE)]
    out += monitor(3, 0.5, 10, 6.5)[2:]
    for x in (0.5, 5.5, 10.5):
        out += [(RoundRect(x, 8.5, x + 5, 12, 0.5), CASE),
                (RoundRect(x + 1, 9.3, x + 4, 11.2, 0.2), LCD)]
    return out


def net_computer():
    return monitor(1.5, 1.5, 13, 10)


NETWORK_IMAGES = [net_whole, net_group, net_computer]


# ---------------------------------------------------------------- animation 138

def search_frame(k, frames=8):
    """A magnifying glass circling over three computers: the network is being
    searched. 48 x 45 design units."""
    layers = [(Stroke([(5, 41), (43, 41)], 2.4), WIRE)]
    for cx in (9, 24, 39):
        layers.append((Stroke([(cx, 34), (cx, 41)], 1.8), WIRE))
        layers += monitor(cx - 5.5, 25, 11, 9)[2:]
    a = 2 * math.pi * k / frames
    gx, gy = 24 + 12 * math.cos(a), 16 + 7 * math.sin(a)
    hx, hy = gx + 8, gy + 8
    layers += [
        (Stroke([(gx + 5, gy + 5), (hx, hy)], 4.4), rgb("#5a3a1a")),
        (Circle(gx, gy, 8.2), rgb("#2d3a44")),
        (Circle(gx, gy, 6.4), rgb("#cfeaff", 0.6)),
        (Circle(gx - 2.4, gy - 2.4, 1.8), rgb("#ffffff", 0.85)),
    ]
    return layers


def flatten_on(rows, width, height, key=(255, 0, 255), paper=(255, 255, 255)):
    """Opaque pixels for a bitmap with a key colour: uncovered pixels become the
    key, partly covered ones are blended over paper."""
    out = []
    for row in rows:
        b = bytearray()
        for i in range(0, len(row), 4):
            r, g, bl, a = row[i:i + 4]
            if a == 0:
                b += bytes((*key, 255))
            else:
                t = a / 255
                b += bytes((round(r * t + paper[0] * (1 - t)), round(g * t + paper[1] * (1 - t)),
                            round(bl * t + paper[2] * (1 - t)), 255))
        out.append(bytes(b))
    return out


# ---------------------------------------------------------------- main


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    os.makedirs(out, exist_ok=True)
    for size in (16, 32, 48, 64, 128):
        if size <= 16:
            layers, design = icon_small(), 16
        else:
            layers, design = icon_large(), 128
        rows = rasterise(layers, size, size, size / design)
        write_png(os.path.join(out, f"vantrel-{size}.png"), rows, size, size)
    write_svg(os.path.join(out, "vantrel.svg"), icon_large(), 128)

    strip = []
    for i, draw in enumerate(TOOLBAR):
        strip += translate(draw(), 16 * i, 0)
    rows = rasterise(strip, 16 * len(TOOLBAR), 16, 1.0)
    write_png(os.path.join(out, "toolbar133.png"), rows, 16 * len(TOOLBAR), 16)

    # Bitmap 139: opaque, magenta where nothing is drawn (the image list's
    # transparent colour).
    strip = []
    for i, draw in enumerate(NETWORK_IMAGES):
        strip += translate(draw(), 16 * i, 0)
    rows = flatten_on(rasterise(strip, 48, 16, 1.0), 48, 16)
    write_png(os.path.join(out, "network139.png"), rows, 48, 16)

    # Animation 138: eight 48 x 45 frames side by side.
    strip = []
    for k in range(8):
        strip += translate(search_frame(k), 48 * k, 0)
    rows = rasterise(strip, 48 * 8, 45, 1.0)
    write_png(os.path.join(out, "search138.png"), rows, 48 * 8, 45)


if __name__ == "__main__":
    main()
