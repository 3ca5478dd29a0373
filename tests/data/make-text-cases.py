#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws small 300 dpi pages of text with Pillow (IPA Gothic, DejaVu Sans), each with one line of known
text: across, turned 90°, 270° and 30°, sitting on a dimension line, inside a table's cell lines and inside
a balloon, a diameter, kanji that read as Latin letters and kanji in parts, a value beside the line
it measures, read upside down as "OS", values with a decimal comma across and up, a tag's number
under another in a halved diamond, an angle's value turned with its degree sign, words of small letters in
a font of wide word spaces, a 1 plotted as strokes in a balloon, a line across on a scan turned 0.8°,
a small word ending in a full stop, a title in lettering 8 mm high without a round letter, and two words
joined by an underscore, a label at 30° standing on its guide line and one at 330° struck through by it, and a value of two digits
at 30° just above its dimension line.
Writes them as PBM files into the folder given as the only argument, with cases.txt listing
per page: file, text, insertion x and y (dots, y from the bottom row), cap height (dots), angle
(degrees counter-clockwise), and the geometry drawn with it (none, line, cell, circle, upright line, tag,
stroke balloon, askew line, askew strike, askew line below; small: none, the lettering 2.2 mm high; large: none, 8 mm high).
Also crossings.pbm, a page of crossing lines and circles without text."""
import math
import pathlib
import sys

from PIL import Image, ImageDraw, ImageFilter, ImageFont

OUT = pathlib.Path(sys.argv[1])
OUT.mkdir(parents=True, exist_ok=True)
GOTHIC = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"
SANS = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
SIZE = 600
CAP = 42  # dots: 3.5 mm at 300 dpi
SMALL_CAP = 26  # dots: 2.2 mm, lettering of the "small" geometry
LARGE_CAP = 94  # dots: 8 mm, a title's lettering whose stems are as long as a short line

# name, text, font, insertion (x, y from the top), angle, geometry
CASES = [
    ("across", "SECTION A-A", SANS, (120, 320), 0, "none"),
    ("up", "60±0.05", SANS, (320, 480), 90, "none"),
    ("down", "R15", SANS, (280, 160), 270, "none"),
    ("askew", "M8×1.25", SANS, (180, 420), 30, "none"),
    ("japanese", "設計 尺度", GOTHIC, (140, 320), 0, "none"),
    ("on_a_line", "120", SANS, (230, 318), 0, "line"),
    ("in_a_cell", "SS400", SANS, (200, 321), 0, "cell"),
    ("in_a_balloon", "7", SANS, (284, 321), 0, "circle"),
    ("diameter", "φ24", SANS, (240, 320), 0, "none"),
    ("kanji_in_a_cell", "尺度", GOTHIC, (250, 321), 0, "cell"),
    ("kanji_in_parts", "品名", GOTHIC, (250, 320), 0, "none"),
    ("down_by_a_line", "50", SANS, (300, 260), 270, "upright line"),
    ("decimal_comma", "16,48", SANS, (200, 320), 0, "none"),
    ("decimal_comma_up", "74,34", SANS, (320, 450), 90, "none"),
    ("in_a_tag", "3", SANS, (288, 360), 0, "tag"),
    ("askew_degrees", "30°", SANS, (220, 400), 30, "none"),
    ("words", "Top on an edge", GOTHIC, (40, 320), 0, "none"),
    ("stroke_in_a_balloon", "1", None, (284, 321), 0, "stroke balloon"),
    ("turned_scan", "SECTION B-B", SANS, (120, 320), 0.8, "none"),
    ("full_stop", "TYP.", SANS, (220, 320), 0, "small"),
    ("large", "TITLE 17", SANS, (40, 360), 0, "large"),
    ("underscore", "AVR_PROGRAMMER", SANS, (40, 320), 0, "none"),
    ("on_an_askew_line", "SLOPE 1:12", SANS, (110, 440), 30, "askew line"),
    ("struck_askew", "MIDDLE", SANS, (150, 200), 330, "askew strike"),
    ("beside_an_askew_line", "45", SANS, (200, 400), 30, "askew line below"),
]


def font_for(path, text, cap=CAP):
    probe = ImageFont.truetype(path, 1000)
    _, top, _, bottom = probe.getbbox("田" if any(ord(c) >= 0x3000 for c in text) else "H", anchor="ls")
    return ImageFont.truetype(path, round(cap * 1000 / (bottom - top)))


def draw_case(name, text, path, at, angle, geometry):
    cap = {"small": SMALL_CAP, "large": LARGE_CAP}.get(geometry, CAP)
    page = Image.new("L", (SIZE, SIZE), 255)
    draw = ImageDraw.Draw(page)
    if geometry == "line":
        draw.line((60, at[1] + 1, SIZE - 60, at[1] + 1), fill=0, width=4)
    elif geometry == "cell":
        draw.rectangle((at[0] - 30, at[1] - 70, at[0] + 220, at[1] + 2), outline=0, width=4)
    elif geometry == "upright line":
        draw.line((at[0] - 9, 60, at[0] - 9, SIZE - 60), fill=0, width=4)
    elif geometry == "circle":
        draw.ellipse((at[0] - 45, at[1] - 85, at[0] + 75, at[1] + 35), outline=0, width=4)
    elif geometry == "tag":
        # A diamond halved by a line across, this number below it and a 4 above, on a stem to a line.
        cx, cy, half = at[0] + 12, at[1] - 54, 90
        draw.polygon(((cx - half, cy), (cx, cy - half), (cx + half, cy), (cx, cy + half)), outline=0, width=4)
        draw.line((cx - half, cy, cx + half, cy), fill=0, width=4)
        draw.line((cx, cy + half, cx, cy + half + 80), fill=0, width=4)
        draw.line((60, cy + half + 80, SIZE - 60, cy + half + 80), fill=0, width=4)
        draw.text((at[0], cy - 12), "4", font=font_for(path, "4"), fill=0, anchor="ls")
    elif geometry == "stroke balloon":
        # A balloon on a leader round a 1 plotted as a pen's strokes, as CAD's single-stroke fonts draw it,
        # and a word that tells the page's text size.
        cx, cy = at[0] + 2, at[1] - CAP // 2
        draw.ellipse((cx - 50, cy - 50, cx + 50, cy + 50), outline=0, width=4)
        draw.line((cx + 35, cy - 35, cx + 110, cy - 120), fill=0, width=4)
        draw.text((60, 500), "PARTS", font=font_for(SANS, "PARTS"), fill=0, anchor="ls")
    layer = Image.new("L", (SIZE, SIZE), 255)
    if path is None:
        strokes = ((at[0] - 2, at[1] - CAP + 8), (at[0] + 4, at[1] - CAP), (at[0] + 4, at[1]))
        ImageDraw.Draw(layer).line(strokes, fill=0, width=3, joint="curve")
    else:
        ImageDraw.Draw(layer).text(at, text, font=font_for(path, text, cap), fill=0, anchor="ls")
    # A guide line the text stands on, or one struck through its middle, turned with it.
    if geometry == "askew line":
        ImageDraw.Draw(layer).line((at[0] - 80, at[1] + 2, at[0] + 420, at[1] + 2), fill=0, width=4)
    elif geometry == "askew line below":
        ImageDraw.Draw(layer).line((at[0] - 150, at[1] + 9, at[0] + 250, at[1] + 9), fill=0, width=4)
    elif geometry == "askew strike":
        ImageDraw.Draw(layer).line((at[0] - 80, at[1] - CAP // 2, at[0] + 420, at[1] - CAP // 2), fill=0, width=4)
    layer = layer.rotate(angle, center=at, resample=Image.BICUBIC, fillcolor=255)
    page = Image.fromarray(__import__("numpy").minimum(page, layer))
    page = page.filter(ImageFilter.GaussianBlur(0.6)).point(lambda v: 0 if v < 128 else 255).convert("1")
    page.save(OUT / f"{name}.pbm")
    return f"{name}.pbm\t{text}\t{at[0]}\t{SIZE - 1 - at[1]}\t{cap}\t{angle}\t{geometry}\n"


def draw_crossings():
    """A page without text: a table of boxes and long lines and circles at many angles and pens crossing
    it, whose pieces between the boxes' sides are glyph-sized bars, arcs, V's and X's."""
    import random
    rng = random.Random(5)
    side = 1500
    page = Image.new("1", (side, side), 1)
    draw = ImageDraw.Draw(page)
    for x in range(40, side - 200, 200):
        for y in range(40, side - 190, 190):
            draw.rectangle((x, y, x + 180, y + 170), outline=0, width=3)
    for _ in range(40):
        x, y, angle = rng.randrange(side), rng.randrange(side), rng.uniform(0, math.pi)
        dx, dy = side * math.cos(angle), side * math.sin(angle)
        draw.line((x - dx, y - dy, x + dx, y + dy), fill=0, width=rng.choice([2, 3, 4, 6]))
    for _ in range(25):
        x, y, r = rng.randrange(side), rng.randrange(side), rng.randrange(150, 900)
        draw.ellipse((x - r, y - r, x + r, y + r), outline=0, width=rng.choice([2, 3, 5]))
    page.save(OUT / "crossings.pbm")


draw_crossings()
with open(OUT / "cases.txt", "w", encoding="utf-8") as listing:
    for case in CASES:
        listing.write(draw_case(*case))
