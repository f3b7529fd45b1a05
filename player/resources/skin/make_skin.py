#!/usr/bin/env python3
"""Draws the player panel's skin pictures from the layout table.

    make_skin.py OUTDIR [LAYOUT]

LAYOUT defaults to player/playback/skin_layout.def beside this folder. Writes the 16 GIF
files the panel loads from "\\Windows": the background of each shape at 96 and 192 dpi, the
pushed and disabled faces (landscape and square share theirs) and the seek thumb. Every place
and size comes from the table, so a changed row changes the pictures. Magenta (#FF00FF) is
the panel's transparent colour: it marks the outside of the faces' and the thumb's rounded
corners and appears nowhere else. Needs ImageMagick's `convert`.
"""
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_LAYOUT = os.path.join(HERE, "..", "..", "playback", "skin_layout.def")
ROW = re.compile(r"^\s*(SKIN_\w+)\(([^)]*)\)", re.M)
BUTTONS = ["Previous", "PlayPause", "Next", "VolumeDown", "Mute", "VolumeUp", "FullScreen", "OpenUrl"]
MAGENTA = "#FF00FF"

# Colours. The panel draws the texts: white on the band, dark blue (#002963) on the fields.
BAND = ("#2d5196", "#0e1f45", "#5a7bc0")  # top, bottom, lower edge
BODY = ("#34425e", "#151c2b", "#56688c")
FIELD = ("#e8edf5", "#7f8ca3")  # fill, edge
BAR = ("#d5dce8", "#7f8ca3", "#5d6a82", "#9aa6ba")  # fill, edge, groove, groove's lower lip
# Button looks: edge, fill, upper half, symbol, mute slash.
NORMAL = ("#0b1530", "#dfe5ef", "#f3f6fa", "#1d3562", "#c62828")
PUSHED = ("#050b1c", "#2a4a85", "#1d3562", "#ffffff", "#ff8a80")
DISABLED = ("#4a505c", "#8a919d", "#959ca8", "#b7bcc5", "#b7bcc5")
THUMB = ("#0b1530", "#3d66b0", "#6a8fd0", "#c9d6ee")  # edge, fill, upper half, grip


def read_layouts(path):
    """{(shape, dpi): {(kind, name): values}}; a 96 row also gives the doubled 192 value."""
    with open(path, encoding="utf-8") as f:
        text = re.sub(r"//[^\n]*", "", f.read())
    layouts = {}
    for kind, args in ROW.findall(text):
        shape, dpi, name, *values = [a.strip() for a in args.split(",")]
        values = [int(v) for v in values]
        targets = [(96, 1), (192, 2)] if dpi == "96" else [(192, 1)]
        for target, k in targets:
            layouts.setdefault((shape, target), {})[(kind, name)] = tuple(v * k for v in values)
    return layouts


class Picture:
    """One `convert` command line, built up drawing by drawing."""

    def __init__(self, size, background):
        self.size = size
        self.keyed = background == MAGENTA  # magenta marks what the panel leaves transparent
        self.args = ["-size", "%dx%d" % size, "xc:" + background]

    def gradient(self, rect, top, bottom):
        l, t, r, b = rect
        if r > l and b > t:
            self.args += ["(", "-size", "%dx%d" % (r - l, b - t), "gradient:%s-%s" % (top, bottom), ")",
                          "-geometry", "+%d+%d" % (l, t), "-composite"]

    def draw(self, fill, primitive, stroke="none", width=1, smooth=True):
        self.args += ["-antialias" if smooth else "+antialias", "-fill", fill, "-stroke", stroke,
                      "-strokewidth", "%g" % width, "-draw", primitive]

    def box(self, rect, fill, radius=0):
        """Fills [left, right) x [top, bottom) exactly, corners rounded without blending, so a
        face's outline over magenta matches the normal face's outline in the background."""
        l, t, r, b = rect
        if r <= l or b <= t:
            return
        if radius > 0:
            self.draw(fill, "roundrectangle %d,%d %d,%d %g,%g" % (l, t, r - 1, b - 1, radius, radius), smooth=False)
        else:
            self.draw(fill, "rectangle %d,%d %d,%d" % (l, t, r - 1, b - 1), smooth=False)

    def write(self, path):
        """Writes a single-frame GIF (the drawing never needs more than 256 colours, so the
        palette keeps every colour exact) and checks its size and its use of magenta."""
        subprocess.run(["convert", *self.args, "-alpha", "off", "+repage", "+dither", "-colors", "256",
                        "GIF:" + path], check=True)
        report = subprocess.run(["convert", path, "-print", "%m %w %h %n\n", "-format", "%c", "histogram:info:-"],
                                check=True, capture_output=True, text=True).stdout
        head, histogram = report.split("\n", 1)
        if head.split() != ["GIF", str(self.size[0]), str(self.size[1]), "1"]:
            sys.exit("%s: wrote %s, expected one %dx%d GIF frame" % (path, head, *self.size))
        if (MAGENTA in histogram.upper()) != self.keyed:
            sys.exit("%s: magenta %s" % (path, "lost" if self.keyed else "in a background"))


def inset(rect, d):
    l, t, r, b = rect
    return (l + d, t + d, r - d, b - d)


def symbol(pic, rect, name, colours, shift=0):
    """The button's sign in a square of half the button's smaller side at its centre, drawn in
    unit coordinates (0..1 across that square)."""
    l, t, r, b = rect
    size = round(min(r - l, b - t) / 2)
    x0 = l + (r - l - size) / 2 + shift - 0.5  # -0.5: ImageMagick puts pixel centres on integers
    y0 = t + (b - t - size) / 2 + shift - 0.5
    ink, slash = colours[3], colours[4]

    def pt(x, y):
        return "%.2f,%.2f" % (x0 + x * size, y0 + y * size)

    def poly(points, fill=ink):
        pic.draw(fill, "polygon " + " ".join(pt(x, y) for x, y in points))

    def bar(x1, y1, x2, y2, fill=ink):
        poly([(x1, y1), (x2, y1), (x2, y2), (x1, y2)], fill)

    def speaker(dx):
        poly([(dx, 0.32), (dx + 0.2, 0.32), (dx + 0.5, 0.05), (dx + 0.5, 0.95), (dx + 0.2, 0.68), (dx, 0.68)])

    line = max(1.0, size * 0.11)
    if name in ("Previous", "Next"):
        flip = (lambda x: x) if name == "Next" else (lambda x: 1 - x)
        poly([(flip(0.0), 0.1), (flip(0.43), 0.5), (flip(0.0), 0.9)])
        poly([(flip(0.43), 0.1), (flip(0.86), 0.5), (flip(0.43), 0.9)])
        bar(min(flip(0.86), flip(1.0)), 0.1, max(flip(0.86), flip(1.0)), 0.9)
    elif name == "Play":
        poly([(0.2, 0.04), (0.92, 0.5), (0.2, 0.96)])
    elif name == "Pause":
        bar(0.17, 0.06, 0.41, 0.94)
        bar(0.59, 0.06, 0.83, 0.94)
    elif name == "VolumeDown":
        speaker(0.0)
        bar(0.6, 0.43, 1.0, 0.57)
    elif name == "VolumeUp":
        speaker(0.0)
        bar(0.6, 0.43, 1.0, 0.57)
        bar(0.73, 0.3, 0.87, 0.7)
    elif name == "Mute":
        speaker(0.25)
        pic.draw("none", "line %s %s" % (pt(0.08, 0.95), pt(0.92, 0.05)), stroke=slash, width=line * 1.3)
    elif name == "FullScreen":
        k, w = 0.36, 0.13  # bracket length and thickness
        for cx, cy in ((0, 0), (1, 0), (0, 1), (1, 1)):
            dx, dy = (1 if cx == 0 else -1), (1 if cy == 0 else -1)  # towards the middle
            bar(min(cx, cx + dx * k), min(cy, cy + dy * w), max(cx, cx + dx * k), max(cy, cy + dy * w))
            bar(min(cx, cx + dx * w), min(cy, cy + dy * k), max(cx, cx + dx * w), max(cy, cy + dy * k))
    elif name == "OpenUrl":  # a globe
        centre = pt(0.5, 0.5)
        pic.draw("none", "circle %s %s" % (centre, pt(0.5, 0.02)), stroke=ink, width=line)
        pic.draw("none", "ellipse %s %.2f,%.2f 0,360" % (centre, size * 0.2, size * 0.48), stroke=ink, width=line)
        for y in (0.5, 0.26, 0.74):
            half = 0.48 if y == 0.5 else 0.41
            pic.draw("none", "line %s %s" % (pt(0.5 - half, y), pt(0.5 + half, y)), stroke=ink, width=line * 0.8)


def face(pic, rect, sign, colours, s, pressed=False):
    """A rounded button with its sign; `s` is the scale (1 at 96 dpi, 2 at 192)."""
    l, t, r, b = rect
    radius = 5 * s
    pic.box(rect, colours[0], radius)
    pic.box(inset(rect, s), colours[1], radius - s)
    pic.box((l + s, t + s, r - s, (t + b) // 2), colours[2], radius - s)
    symbol(pic, rect, sign, colours, shift=s if pressed else 0)


def sign_of(button):
    return "Play" if button == "PlayPause" else button


def background(layout, s):
    pic = Picture(layout[("SKIN_SIZE", "Panel")], BODY[1])
    width, height = pic.size
    rect = lambda name: layout[("SKIN_RECT", name)]
    video = rect("VideoWithoutTitle")
    band_bottom = rect("VideoWithTitle")[1]
    pic.box(video, "#000000")
    pic.gradient((0, 0, width, band_bottom), BAND[0], BAND[1])
    pic.box((0, band_bottom - s, width, band_bottom), BAND[2])
    pic.gradient((0, video[3], width, height), BODY[0], BODY[1])
    pic.box((0, video[3], width, video[3] + s), BODY[2])
    for name in ("Time", "Volume"):
        field = rect(name)
        pic.box(field, FIELD[1], 3 * s)
        pic.box(inset(field, s), FIELD[0], 2 * s)
    l, t, r, b = rect("SeekBar")
    pic.box((l, t, r, b), BAR[1], (b - t) / 2)
    pic.box(inset((l, t, r, b), s), BAR[0], (b - t) / 2 - s)
    groove = max(2 * s, (b - t) // 3)
    g_top = (t + b - groove) // 2
    pic.box((l + (b - t) // 2, g_top, r - (b - t) // 2, g_top + groove), BAR[2], groove / 2)
    pic.box((l + (b - t) // 2 + s, g_top + groove - s, r - (b - t) // 2 - s, g_top + groove), BAR[3])
    for button in BUTTONS:
        face(pic, layout[("SKIN_BUTTON", button)], sign_of(button), NORMAL, s)
    return pic


def pushed(layout, s):
    pic = Picture(layout[("SKIN_SIZE", "Pushed")], MAGENTA)
    for button in BUTTONS:
        if button != "PlayPause":
            face(pic, layout[("SKIN_PUSHED", button)], button, PUSHED, s, pressed=True)
    # 1 and 2: playing (the sign of what a tap does); 3: play pressed; 4 and 5: pause pressed.
    for number, sign, look in (("1", "Pause", NORMAL), ("2", "Pause", NORMAL), ("3", "Play", PUSHED),
                               ("4", "Pause", PUSHED), ("5", "Pause", PUSHED)):
        face(pic, layout[("SKIN_PLAY_PAUSE", number)], sign, look, s, pressed=look is PUSHED)
    return pic


def disabled(layout, s):
    pic = Picture(layout[("SKIN_SIZE", "Disabled")], MAGENTA)
    for button in BUTTONS:
        face(pic, layout[("SKIN_DISABLED", button)], sign_of(button), DISABLED, s)
    return pic


def thumb(layout, s):
    pic = Picture(layout[("SKIN_SIZE", "Thumb")], MAGENTA)
    width, height = pic.size
    radius = min(height / 2, 4 * s)
    pic.box((0, 0, width, height), THUMB[0], radius)
    pic.box((s, s, width - s, height - s), THUMB[1], radius - s)
    pic.box((s, s, width - s, height // 2), THUMB[2], radius - s)
    for dx in (-2 * s, 0, 2 * s):  # grip lines
        x = width // 2 + dx - s // 2
        pic.box((x, height // 4, x + s, height - height // 4), THUMB[3])
    return pic


def faces_key(layout):
    return {key: value for key, value in layout.items()
            if key[0] in ("SKIN_PUSHED", "SKIN_PLAY_PAUSE", "SKIN_DISABLED")
            or key in (("SKIN_SIZE", "Pushed"), ("SKIN_SIZE", "Disabled"))}


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    out = sys.argv[1]
    layouts = read_layouts(sys.argv[2] if len(sys.argv) == 3 else DEFAULT_LAYOUT)
    os.makedirs(out, exist_ok=True)
    for dpi in (96, 192):
        s = dpi // 96
        if faces_key(layouts[("Landscape", dpi)]) != faces_key(layouts[("Square", dpi)]):
            sys.exit("landscape and square share their face pictures, but their face rows differ")
        for shape in ("Landscape", "Portrait", "Square"):
            background(layouts[(shape, dpi)], s).write(os.path.join(out, "%s%d.gif" % (shape.lower(), dpi)))
            if shape == "Square":
                continue  # shares landscape's faces
            faces = "P" if shape == "Portrait" else "SQ"
            pushed(layouts[(shape, dpi)], s).write(os.path.join(out, "pushed%s%d.gif" % (faces, dpi)))
            disabled(layouts[(shape, dpi)], s).write(os.path.join(out, "disabled%s%d.gif" % (faces, dpi)))
        thumb(layouts[("Landscape", dpi)], s).write(os.path.join(out, "SeekThumb%dS.gif" % dpi))


if __name__ == "__main__":
    main()
