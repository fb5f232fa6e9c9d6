#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Generates resources/trelvan.sym, the digit figures of the program.

Figure s (element size s = 1..9) is the digit s. It is rasterised from the outline of that
digit in a TrueType font onto a grid of 2s-pixel cells: a cell belongs to the figure when the
glyph covers at least half of it. Cell (r, q) is drawn as the 2s x 2s checker square at pixels
(q + xoff + t, r + u), t, u = 1..2s, where xoff = trunc(X / s) * s with X = 20 (left) or 450
(right). The digit is about DIGIT_HEIGHT pixels tall at every size, centred vertically in the
field below the status bars, and placed so that its left and right positions lie symmetrically
about the middle of the window.

Standard library only. Usage:
    python3 tools/gensym/gensym.py [--font FONT.ttf] [--out resources/trelvan.sym]
                                   [--preview DIR]
"""

import argparse
import math
import os
import struct
import sys

DEFAULT_FONT = "/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf"

WINDOW_WIDTH = 980
WINDOW_HEIGHT = 650
FIELD_TOP = 20            # rows 0..19 belong to the status bars
POSITIONS = (20.0, 450.0)  # left and right figure positions
DIGIT_HEIGHT = 270         # target height on screen, pixels
MAX_CELLS = 10000
SUBSAMPLES = 6             # coverage samples per cell side
CURVE_STEPS = 16           # line segments per quadratic curve


# --- TrueType outlines ------------------------------------------------------------------------

class Font:
    """The few tables of a TrueType font needed to read simple glyph outlines."""

    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        num_tables = struct.unpack_from(">H", self.data, 4)[0]
        self.tables = {}
        for i in range(num_tables):
            tag, _, offset, length = struct.unpack_from(">4sIII", self.data, 12 + 16 * i)
            self.tables[tag.decode("latin-1")] = (offset, length)
        for tag in ("head", "maxp", "cmap", "loca", "glyf"):
            if tag not in self.tables:
                raise ValueError(f"{path}: no '{tag}' table (not a TrueType outline font)")
        head = self.tables["head"][0]
        self.units_per_em = struct.unpack_from(">H", self.data, head + 18)[0]
        self.long_loca = struct.unpack_from(">h", self.data, head + 50)[0] == 1
        self.num_glyphs = struct.unpack_from(">H", self.data, self.tables["maxp"][0] + 4)[0]
        self.cmap = self._read_cmap()

    def _read_cmap(self):
        base = self.tables["cmap"][0]
        count = struct.unpack_from(">H", self.data, base + 2)[0]
        for i in range(count):
            platform, encoding, offset = struct.unpack_from(">HHI", self.data, base + 4 + 8 * i)
            sub = base + offset
            if struct.unpack_from(">H", self.data, sub)[0] != 4:
                continue
            if (platform, encoding) in ((3, 1), (0, 3), (0, 4)):
                return sub
        raise ValueError("no Unicode BMP character map of format 4")

    def glyph_index(self, char):
        sub = self.cmap
        code = ord(char)
        seg_count = struct.unpack_from(">H", self.data, sub + 6)[0] // 2
        ends = sub + 14
        starts = ends + 2 * seg_count + 2
        deltas = starts + 2 * seg_count
        range_offsets = deltas + 2 * seg_count
        for i in range(seg_count):
            end = struct.unpack_from(">H", self.data, ends + 2 * i)[0]
            if code > end:
                continue
            start = struct.unpack_from(">H", self.data, starts + 2 * i)[0]
            if code < start:
                break
            delta = struct.unpack_from(">h", self.data, deltas + 2 * i)[0]
            where = range_offsets + 2 * i
            range_offset = struct.unpack_from(">H", self.data, where)[0]
            if range_offset == 0:
                return (code + delta) & 0xFFFF
            glyph = struct.unpack_from(">H", self.data,
                                       where + range_offset + 2 * (code - start))[0]
            return (glyph + delta) & 0xFFFF if glyph else 0
        return 0

    def _glyph_range(self, index):
        loca = self.tables["loca"][0]
        if self.long_loca:
            start, end = struct.unpack_from(">II", self.data, loca + 4 * index)
        else:
            start, end = (2 * v for v in struct.unpack_from(">HH", self.data, loca + 2 * index))
        return self.tables["glyf"][0] + start, end - start

    def contours(self, index):
        """The glyph's contours as lists of (x, y, on_curve) in font units."""
        offset, length = self._glyph_range(index)
        if length == 0:
            return []
        num_contours = struct.unpack_from(">h", self.data, offset)[0]
        if num_contours < 0:
            return self._composite(offset)
        pos = offset + 10
        ends = struct.unpack_from(f">{num_contours}H", self.data, pos)
        pos += 2 * num_contours
        num_points = ends[-1] + 1 if ends else 0
        instruction_length = struct.unpack_from(">H", self.data, pos)[0]
        pos += 2 + instruction_length
        flags = []
        while len(flags) < num_points:
            flag = self.data[pos]
            pos += 1
            flags.append(flag)
            if flag & 8:
                repeat = self.data[pos]
                pos += 1
                flags.extend([flag] * repeat)
        xs, pos = self._coordinates(flags, pos, 2, 16)
        ys, pos = self._coordinates(flags, pos, 4, 32)
        result, first = [], 0
        for end in ends:
            result.append([(xs[i], ys[i], bool(flags[i] & 1)) for i in range(first, end + 1)])
            first = end + 1
        return result

    def _coordinates(self, flags, pos, short_bit, same_bit):
        values, value = [], 0
        for flag in flags:
            if flag & short_bit:
                delta = self.data[pos]
                pos += 1
                value += delta if flag & same_bit else -delta
            elif not flag & same_bit:
                value += struct.unpack_from(">h", self.data, pos)[0]
                pos += 2
            values.append(value)
        return values, pos

    def _composite(self, offset):
        pos = offset + 10
        result = []
        while True:
            flags, index = struct.unpack_from(">HH", self.data, pos)
            pos += 4
            if flags & 1:
                dx, dy = struct.unpack_from(">hh", self.data, pos)
                pos += 4
            else:
                dx, dy = struct.unpack_from(">bb", self.data, pos)
                pos += 2
            if not flags & 2:
                raise ValueError("composite glyph placed by point numbers is not supported")
            a, b, c, d = 1.0, 0.0, 0.0, 1.0
            if flags & 8:
                a = d = struct.unpack_from(">h", self.data, pos)[0] / 16384.0
                pos += 2
            elif flags & 0x40:
                a, d = (v / 16384.0 for v in struct.unpack_from(">hh", self.data, pos))
                pos += 4
            elif flags & 0x80:
                a, b, c, d = (v / 16384.0 for v in struct.unpack_from(">hhhh", self.data, pos))
                pos += 8
            for contour in self.contours(index):
                result.append([(a * x + c * y + dx, b * x + d * y + dy, on)
                               for x, y, on in contour])
            if not flags & 0x20:
                return result


def flatten(contour):
    """A closed polygon approximating one TrueType contour of quadratic curves."""
    n = len(contour)
    if n == 0:
        return []
    # Start at an on-curve point; a contour of off-curve points only starts between two.
    start = next((i for i, p in enumerate(contour) if p[2]), None)
    if start is None:
        (x0, y0, _), (x1, y1, _) = contour[0], contour[1]
        points = [((x0 + x1) / 2, (y0 + y1) / 2, True)] + contour[1:] + contour[:1]
    else:
        points = contour[start:] + contour[:start]
    polygon = [(points[0][0], points[0][1])]
    current = polygon[0]
    control = None
    for x, y, on in points[1:] + points[:1]:
        if on:
            if control is None:
                polygon.append((x, y))
            else:
                polygon.extend(quadratic(current, control, (x, y)))
            current, control = (x, y), None
        elif control is None:
            control = (x, y)
        else:
            middle = ((control[0] + x) / 2, (control[1] + y) / 2)
            polygon.extend(quadratic(current, control, middle))
            current, control = middle, (x, y)
    return polygon


def quadratic(p0, p1, p2):
    out = []
    for i in range(1, CURVE_STEPS + 1):
        t = i / CURVE_STEPS
        u = 1 - t
        out.append((u * u * p0[0] + 2 * u * t * p1[0] + t * t * p2[0],
                    u * u * p0[1] + 2 * u * t * p1[1] + t * t * p2[1]))
    return out


class Outline:
    """A filled glyph (nonzero winding) that can be sampled along horizontal lines."""

    def __init__(self, polygons):
        self.edges = []
        for polygon in polygons:
            for i in range(len(polygon)):
                (x0, y0), (x1, y1) = polygon[i], polygon[(i + 1) % len(polygon)]
                if y0 != y1:
                    self.edges.append((x0, y0, x1, y1))
        points = [p for polygon in polygons for p in polygon]
        self.x_min = min(p[0] for p in points)
        self.x_max = max(p[0] for p in points)
        self.y_min = min(p[1] for p in points)
        self.y_max = max(p[1] for p in points)

    def inside_along(self, y, xs):
        """For each x of the sorted list xs: whether (x, y) lies inside the glyph."""
        crossings = []
        for x0, y0, x1, y1 in self.edges:
            if (y0 <= y < y1) or (y1 <= y < y0):
                crossings.append((x0 + (y - y0) * (x1 - x0) / (y1 - y0), 1 if y1 > y0 else -1))
        crossings.sort()
        result, winding, k = [], 0, 0
        for x in xs:
            while k < len(crossings) and crossings[k][0] < x:
                winding += crossings[k][1]
                k += 1
            result.append(winding != 0)
        return result


# --- Figures --------------------------------------------------------------------------------

def xoff(position, s):
    return int(position / s) * s


def digit_cells(outline, s):
    """Cells (row, column) of the digit on a grid of 2s pixels, row 0 at the top."""
    step = 2 * s
    rows = max(1, round(DIGIT_HEIGHT / step))
    scale = rows * step / (outline.y_max - outline.y_min)  # pixels per font unit
    width_px = (outline.x_max - outline.x_min) * scale
    cols = math.ceil(width_px / step)
    pad = (cols * step - width_px) / 2  # centres the glyph in its columns
    coverage = {}  # (row, col) -> number of samples inside the glyph
    for row in range(rows):
        for sy in range(SUBSAMPLES):
            y_px = row * step + (sy + 0.5) * step / SUBSAMPLES
            y = outline.y_max - y_px / scale
            xs = [outline.x_min + (col * step + (sx + 0.5) * step / SUBSAMPLES - pad) / scale
                  for col in range(cols) for sx in range(SUBSAMPLES)]
            inside = outline.inside_along(y, xs)
            for col in range(cols):
                hits = sum(inside[col * SUBSAMPLES:(col + 1) * SUBSAMPLES])
                coverage[(row, col)] = coverage.get((row, col), 0) + hits
    threshold = SUBSAMPLES * SUBSAMPLES / 2
    return sorted(cell for cell, hits in coverage.items() if hits >= threshold)


def place(grid_cells, s):
    """Pixel offsets (r, q) of the cells, placed in the window."""
    step = 2 * s
    rows = [r for r, _ in grid_cells]
    cols = [c for _, c in grid_cells]
    # Vertically: pixel rows r + 1 .. r + 2s centred in the field rows FIELD_TOP .. H - 1.
    r0 = (FIELD_TOP + WINDOW_HEIGHT - 2 - (min(rows) + max(rows) + 1) * step) // 2
    # Horizontally: the left and right copies symmetric about the middle of the window.
    x_sum = sum(xoff(p, s) for p in POSITIONS)
    q0 = (WINDOW_WIDTH - 2 - (min(cols) + max(cols) + 1) * step - x_sum) // 2
    return [(r0 + r * step, q0 + c * step) for r, c in grid_cells]


def check(figure, s):
    step = 2 * s
    if not 0 < len(figure) < MAX_CELLS:
        raise ValueError(f"figure {s}: {len(figure)} cells")
    for r, q in figure:
        if r < FIELD_TOP or r + step > WINDOW_HEIGHT - 1 or q < 0:
            raise ValueError(f"figure {s}: cell ({r}, {q}) outside the field")
        for position in POSITIONS:
            if q + xoff(position, s) + step > WINDOW_WIDTH - 1:
                raise ValueError(f"figure {s}: cell ({r}, {q}) outside the window")
        if max(abs(r), abs(q)) > 999:
            raise ValueError(f"figure {s}: offset does not fit 4 columns")


def sym_text(figures):
    lines = []
    for s, figure in enumerate(figures, start=1):
        lines.append(f"figure {s}".ljust(16) + f"{len(figure):8d}")
        values = [v for cell in figure for v in cell]
        for i in range(0, max(len(values), 1), 20):
            lines.append("".join(f"{v:4d}" for v in values[i:i + 20]))
    return "".join(line + "\r\n" for line in lines)


# --- Preview --------------------------------------------------------------------------------

def write_preview(directory, figures):
    """One PGM per size: the window with the figure at both positions, cells drawn as the
    program draws them (2 x 2 checker of s x s squares) on a mid-grey background; the status
    bars are dark grey."""
    os.makedirs(directory, exist_ok=True)
    for s, figure in enumerate(figures, start=1):
        pixels = bytearray([128]) * (WINDOW_WIDTH * WINDOW_HEIGHT)
        for y in range(FIELD_TOP):
            pixels[y * WINDOW_WIDTH:(y + 1) * WINDOW_WIDTH] = bytes([64]) * WINDOW_WIDTH
        for position in POSITIONS:
            x0 = xoff(position, s)
            for r, q in figure:
                for u in range(1, 2 * s + 1):
                    for t in range(1, 2 * s + 1):
                        white = (t <= s) == (u <= s)
                        pixels[(r + u) * WINDOW_WIDTH + q + x0 + t] = 255 if white else 0
        path = os.path.join(directory, f"figure-{s}.pgm")
        with open(path, "wb") as f:
            f.write(b"P5 %d %d 255\n" % (WINDOW_WIDTH, WINDOW_HEIGHT))
            f.write(bytes(pixels))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--font", default=DEFAULT_FONT)
    parser.add_argument("--out", default=os.path.join(here, "..", "..", "resources",
                                                      "trelvan.sym"))
    parser.add_argument("--preview", metavar="DIR", help="also write PGM pictures to DIR")
    args = parser.parse_args()

    font = Font(args.font)
    figures = []
    for s in range(1, 10):
        glyph = font.glyph_index(str(s))
        if glyph == 0:
            raise ValueError(f"{args.font}: no glyph for the digit {s}")
        outline = Outline([flatten(c) for c in font.contours(glyph) if c])
        figure = place(digit_cells(outline, s), s)
        check(figure, s)
        figures.append(figure)
        rows = [r for r, _ in figure]
        cols = [q for _, q in figure]
        print(f"figure {s}: {len(figure):5d} cells, {max(rows) + 2 * s - min(rows)} x "
              f"{max(cols) + 2 * s - min(cols)} pixels, rows {min(rows) + 1}.."
              f"{max(rows) + 2 * s}", file=sys.stderr)
    with open(args.out, "wb") as f:
        f.write(sym_text(figures).encode("ascii"))
    if args.preview:
        write_preview(args.preview, figures)


if __name__ == "__main__":
    main()
