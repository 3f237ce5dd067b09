#!/usr/bin/env python3
"""Draws Tarn's three icons (500 program, 501 message, 502 piece file) as 32-bit .ico files, 16 and 32 pixels."""
import struct
import sys
from pathlib import Path

SIZES = (16, 32)
SAMPLES = 4  # per axis, for smooth edges

DARK = (40, 40, 48, 255)
WHITE = (255, 255, 255, 255)
BLUE = (46, 110, 200, 255)
ORANGE = (236, 140, 40, 255)
GREEN = (60, 160, 80, 255)
CLEAR = (0, 0, 0, 0)


def in_rect(x, y, left, top, right, bottom):
    return left <= x < right and top <= y < bottom


def framed_rect(x, y, box, line, fill):
    """Colour of a filled rectangle with a dark border line wide, or None outside it."""
    left, top, right, bottom = box
    if not in_rect(x, y, left, top, right, bottom):
        return None
    if in_rect(x, y, left + line, top + line, right - line, bottom - line):
        return fill
    return DARK


def page(x, y, box, line, fill):
    """A sheet with its top right corner folded down."""
    left, top, right, bottom = box
    fold = (right - left) * 0.35
    dx, dy = x - (right - fold), y - top
    if dx > 0 and dy < fold:
        if dx > dy + line * 0.7:
            return None  # the corner that is folded away
        if dx > dy - line * 0.7 or dx < line or dy > fold - line:
            return DARK
        return (210, 210, 220, 255)
    return framed_rect(x, y, box, line, fill)


def program_icon(x, y, px):
    # A sheet cut into two halves that drift apart: splitting and joining.
    line = max(px, 0.06)
    return (framed_rect(x, y, (0.06, 0.10, 0.47, 0.90), line, BLUE)
            or page(x, y, (0.53, 0.10, 0.94, 0.90), line, ORANGE)
            or CLEAR)


def message_icon(x, y, px):
    # A round blue badge with a white "i".
    dx, dy = x - 0.5, y - 0.5
    r2 = dx * dx + dy * dy
    if r2 > 0.47 ** 2:
        return CLEAR
    if r2 > (0.47 - max(px, 0.05)) ** 2:
        return DARK
    dot = (x - 0.5) ** 2 + (y - 0.28) ** 2 < 0.085 ** 2
    bar = in_rect(x, y, 0.42, 0.42, 0.58, 0.80)
    return WHITE if dot or bar else BLUE


def piece_icon(x, y, px):
    # A sheet holding three stacked pieces.
    line = max(px, 0.06)
    for top, colour in ((0.34, BLUE), (0.52, ORANGE), (0.70, GREEN)):
        if in_rect(x, y, 0.26, top, 0.74, top + 0.12):
            return colour
    return page(x, y, (0.14, 0.04, 0.86, 0.96), line, WHITE) or CLEAR


def render(shape, size):
    """Rows top to bottom of (r, g, b, a), averaged over SAMPLES x SAMPLES points per pixel."""
    px = 1.0 / size
    rows = []
    for row in range(size):
        pixels = []
        for col in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    r, g, b, a = shape((col + (sx + 0.5) / SAMPLES) * px, (row + (sy + 0.5) / SAMPLES) * px, px)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SAMPLES * SAMPLES
            alpha = acc[3] / n
            if alpha == 0:
                pixels.append(CLEAR)
            else:
                pixels.append(tuple(round(c / acc[3]) for c in acc[:3]) + (round(alpha),))
        rows.append(pixels)
    return rows


def bitmap(rows):
    """The BITMAPINFOHEADER, bottom-up BGRA colours and AND mask of one icon image."""
    size = len(rows)
    mask_stride = ((size + 31) // 32) * 4
    colours = bytearray()
    mask = bytearray()
    for pixels in reversed(rows):
        bits = bytearray(mask_stride)
        for col, (r, g, b, a) in enumerate(pixels):
            colours += bytes((b, g, r, a))
            if a == 0:
                bits[col // 8] |= 0x80 >> (col % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(colours) + len(mask), 0, 0, 0, 0)
    return header + colours + mask


def ico(shape):
    images = [bitmap(render(shape, size)) for size in SIZES]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    return bytes(out)


def main():
    folder = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent
    for name, shape in (("tarn500.ico", program_icon), ("tarn501.ico", message_icon), ("tarn502.ico", piece_icon)):
        (folder / name).write_bytes(ico(shape))


if __name__ == "__main__":
    main()
