#!/usr/bin/env python3
"""Writes the two icons of the empty picture view as 24-bit BMP files.

    make_picture_view_bitmaps.py [FOLDER]

picture_view_empty.bmp (bitmap 130) is a framed landscape, shown when there is no picture;
picture_view_loading.bmp (bitmap 131) is an hourglass, shown while a picture loads. Both are
36 x 46 with magenta as the transparent colour. The files are committed; run this again
after changing a drawing here. FOLDER defaults to the script's own folder.
"""
import os
import struct
import sys

WIDTH, HEIGHT = 36, 46
MAGENTA = (255, 0, 255)
DARK = (64, 64, 64)
PAPER = (236, 236, 236)
SKY = (150, 200, 240)
HILL = (70, 150, 70)
SUN = (250, 210, 40)
SAND = (220, 170, 60)
GLASS = (200, 225, 245)


def canvas():
    return [[MAGENTA] * WIDTH for _ in range(HEIGHT)]


def fill_rect(pixels, left, top, right, bottom, colour):
    """Fills [left, right) x [top, bottom)."""
    for y in range(top, bottom):
        for x in range(left, right):
            pixels[y][x] = colour


def frame_rect(pixels, left, top, right, bottom, colour):
    fill_rect(pixels, left, top, right, top + 1, colour)
    fill_rect(pixels, left, bottom - 1, right, bottom, colour)
    fill_rect(pixels, left, top, left + 1, bottom, colour)
    fill_rect(pixels, right - 1, top, right, bottom, colour)


def inside_polygon(x, y, points):
    """Even-odd rule at the pixel's centre."""
    px, py = x + 0.5, y + 0.5
    inside = False
    for i, (x1, y1) in enumerate(points):
        x2, y2 = points[(i + 1) % len(points)]
        if (y1 > py) != (y2 > py) and px < x1 + (py - y1) * (x2 - x1) / (y2 - y1):
            inside = not inside
    return inside


def fill_polygon(pixels, points, colour):
    for y in range(HEIGHT):
        for x in range(WIDTH):
            if inside_polygon(x, y, points):
                pixels[y][x] = colour


def fill_circle(pixels, cx, cy, radius, colour):
    for y in range(HEIGHT):
        for x in range(WIDTH):
            if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= radius * radius:
                pixels[y][x] = colour


def empty_icon():
    pixels = canvas()
    fill_rect(pixels, 2, 8, 34, 38, PAPER)
    frame_rect(pixels, 2, 8, 34, 38, DARK)
    fill_rect(pixels, 5, 11, 31, 35, SKY)
    fill_circle(pixels, 24.5, 17.5, 3.5, SUN)
    fill_polygon(pixels, [(5, 35), (13, 21), (19, 29), (23, 25), (31, 35)], HILL)
    frame_rect(pixels, 5, 11, 31, 35, DARK)
    return pixels


def loading_icon():
    pixels = canvas()
    fill_rect(pixels, 6, 3, 30, 7, DARK)
    fill_rect(pixels, 6, 39, 30, 43, DARK)
    fill_polygon(pixels, [(9, 7), (27, 7), (19, 23), (19, 23), (27, 39), (9, 39), (17, 23)], GLASS)
    fill_polygon(pixels, [(12, 12), (24, 12), (18, 22)], SAND)
    fill_polygon(pixels, [(18, 30), (25, 38), (11, 38)], SAND)
    fill_rect(pixels, 17, 22, 19, 31, SAND)
    return pixels


def bmp_bytes(pixels):
    row_bytes = (WIDTH * 3 + 3) & ~3
    body = bytearray()
    for row in reversed(pixels):  # bottom-up
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (row_bytes - len(line))
        body += line
    header = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(body), 3780, 3780, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(body), 0, 0, 14 + len(header))
    return file_header + header + bytes(body)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for name, pixels in (("picture_view_empty.bmp", empty_icon()), ("picture_view_loading.bmp", loading_icon())):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(bmp_bytes(pixels))


if __name__ == "__main__":
    main()
