#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Scanned drawing sheets with known text: a frame, a Japanese title block (設計, 尺度, 品名 ...), a part with
dimension lines and their values (φ, ±, °, R, M, ×), values turned 90°, 270°, 30° and 45°, English labels,
balloons, and text touching dimension lines and table cell lines. Drawn with TrueType fonts (IPA Gothic,
DejaVu Sans) or, on the text-stroke sheets, with CAD's single-stroke fonts (stroke_font.py), and scanned as make_vector_drawings.py does (blur, noise, dust; Group 4 TIFF with its
resolution).

Beside each TIFF a JSON: the geometry in vector_score.py's format (lines, circles, arcs, text_boxes) and
texts: each line's string, insertion (the start of its baseline, dots, y from the bottom row), height (the
cap height; for a line with Japanese characters the height of 田), angle (degrees counter-clockwise),
length (dots along the baseline).

make_text_sheets.py FOLDER [NAME ...] [--missing]   (the sheets of SHEETS, or the named ones; with --missing
only those not in FOLDER yet)"""
import json
import math
import os
import random
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFont

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_vector_drawings import SUPER, render  # noqa: E402
from stroke_font import CAP, StrokeFont  # noqa: E402

GOTHIC = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"
SANS = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
PEN_MM = 0.35
THIN_MM = 0.25
# The single-stroke fonts a CAD program plots with (LibreCAD's): ISO 3098 lettering and a JIS kanji font.
STROKE_LATIN = "stroke:iso"
STROKE_JAPANESE = "stroke:kst32b"
STROKE_FONTS = {}


def stroke_font(font):
    """The StrokeFont of a "stroke:NAME" font, or None for a TrueType font's path."""
    if not font.startswith("stroke:"):
        return None
    if font not in STROKE_FONTS:
        STROKE_FONTS[font] = StrokeFont(font[len("stroke:"):])
    return STROKE_FONTS[font]


def stroke_string(font, string):
    """The string as the font draws it: a diameter sign the font lacks as ⌀."""
    return "".join("⌀" if c == "φ" and c not in font.glyphs else c for c in string)


def has_japanese(text):
    return any(ord(c) >= 0x3000 for c in text)


class Sheet:
    def __init__(self, width_mm, height_mm, dpi, rng, stroke=False):
        self.dpm = dpi / 25.4
        # The fonts text is drawn in, by the TrueType font asked for: CAD's stroke fonts on a plotted sheet.
        self.fonts = {SANS: STROKE_LATIN, GOTHIC: STROKE_JAPANESE} if stroke else {SANS: SANS, GOTHIC: GOTHIC}
        self.width, self.height = round(width_mm * self.dpm), round(height_mm * self.dpm)
        self.dpi, self.rng = dpi, rng
        self.lines, self.circles, self.arcs, self.texts = [], [], [], []

    def dots(self, p):
        return [p[0] * self.dpm, p[1] * self.dpm]

    def line(self, a, b, pen=PEN_MM):
        self.lines.append({"a": self.dots(a), "b": self.dots(b), "w": pen * self.dpm})

    def box(self, x0, y0, x1, y1, pen=PEN_MM):
        for a, b in (((x0, y0), (x1, y0)), ((x1, y0), (x1, y1)), ((x1, y1), (x0, y1)), ((x0, y1), (x0, y0))):
            self.line(a, b, pen)

    def circle(self, c, r, pen=PEN_MM):
        self.circles.append({"c": self.dots(c), "r": r * self.dpm, "w": pen * self.dpm})

    def text(self, string, at, height_mm, angle=0, font=SANS):
        self.texts.append({"text": string, "at": at, "mm": height_mm, "angle": angle, "font": self.fonts[font]})

    def text_length(self, string, height_mm, font=SANS):
        return text_length(string, height_mm, self.fonts[font])

    def dimension(self, a, b, offset, value, height=3.5, touching=False):
        """A dimension between a and b, its line offset mm to the left of a→b, the value above it (on it
        when touching), read along a→b."""
        dx, dy = b[0] - a[0], b[1] - a[1]
        length = math.hypot(dx, dy)
        ux, uy = dx / length, dy / length
        nx, ny = -uy, ux
        pa = (a[0] + nx * offset, a[1] + ny * offset)
        pb = (b[0] + nx * offset, b[1] + ny * offset)
        self.line(a, (pa[0] + nx * 1.5, pa[1] + ny * 1.5), THIN_MM)
        self.line(b, (pb[0] + nx * 1.5, pb[1] + ny * 1.5), THIN_MM)
        self.line(pa, pb, THIN_MM)
        advance = self.text_length(value, height)
        lift = -0.03 * height if touching else 0.8
        start = (length - advance) / 2
        at = (pa[0] + ux * start + nx * lift, pa[1] + uy * start + ny * lift)
        self.text(value, at, height, math.degrees(math.atan2(dy, dx)))


def font_for(path, height_dots, string):
    """The font at the size whose cap height (田's height for Japanese) is height_dots."""
    probe = ImageFont.truetype(path, 1000)
    left, top, right, bottom = probe.getbbox("田" if has_japanese(string) else "H", anchor="ls")
    return ImageFont.truetype(path, max(1, round(height_dots * 1000 / (bottom - top))))


def text_length(string, height_mm, path):
    stroke = stroke_font(path)
    if stroke:
        return stroke.layout(stroke_string(stroke, string))[1] * height_mm / CAP
    font = font_for(path, 1000, string)
    return font.getlength(string) * height_mm / 1000


def draw_strokes(image, to, sheet, entry):
    """Draws one text in a stroke font with a thin pen, turned about its insertion point; returns its
    length in dots."""
    font = stroke_font(entry["font"])
    polylines, length = font.layout(stroke_string(font, entry["text"]))
    scale = entry["mm"] * sheet.dpm / CAP
    c, s = math.cos(math.radians(entry["angle"])), math.sin(math.radians(entry["angle"]))
    x0, y0 = sheet.dots(entry["at"])
    draw = ImageDraw.Draw(image)
    pen = max(1, round(THIN_MM * sheet.dpm * SUPER))
    for line in polylines:
        points = [to((x0 + (u * c - v * s) * scale, y0 + (u * s + v * c) * scale)) for u, v in line]
        if len(points) == 1:
            points.append(points[0])
        draw.line(points, fill=0, width=pen, joint="curve")
        for p in (points[0], points[-1]):  # round pen ends
            draw.ellipse([p[0] - pen / 2, p[1] - pen / 2, p[0] + pen / 2, p[1] + pen / 2], fill=0)
    return length * scale


def draw_text(image, to, sheet, entry):
    """Draws one text turned about its insertion point; returns its truth."""
    height = entry["mm"] * sheet.dpm
    insertion = sheet.dots(entry["at"])
    if stroke_font(entry["font"]):
        length = draw_strokes(image, to, sheet, entry)
    else:
        font = font_for(entry["font"], height * SUPER, entry["text"])
        advance = font.getlength(entry["text"])
        radius = int(advance + 3 * height * SUPER) + 4
        canvas = Image.new("L", (2 * radius, 2 * radius), 255)
        ImageDraw.Draw(canvas).text((radius, radius), entry["text"], font=font, fill=0, anchor="ls")
        canvas = canvas.rotate(entry["angle"], center=(radius, radius), resample=Image.BICUBIC, fillcolor=255)
        cx, cy = to(insertion)
        left, top = round(cx - radius), round(cy - radius)
        region = image.crop((left, top, left + 2 * radius, top + 2 * radius))
        image.paste(ImageChops.darker(region, canvas), (left, top))
        length = advance / SUPER
    c, s = math.cos(math.radians(entry["angle"])), math.sin(math.radians(entry["angle"]))
    corners = [(insertion[0] + u * c - v * s, insertion[1] + u * s + v * c)
               for u in (0, length) for v in (-0.35 * height, 1.15 * height)]
    return {"text": entry["text"], "insertion": insertion, "height": height, "angle": entry["angle"] % 360,
            "length": length,
            "box": [min(p[0] for p in corners), min(p[1] for p in corners), max(p[0] for p in corners),
                    max(p[1] for p in corners)]}


def title_block(sheet, x0, y0, touching):
    """A Japanese title block of 4 rows, its lower right corner at (x0, y0)."""
    rows = [("品名", "フランジ", "図番", "FL-2041"), ("材質", "SS400", "尺度", "1:2"),
            ("設計", "山田", "日付", "2024.05.12"), ("製図", "佐藤", "検図", "鈴木")]
    widths = [18, 34, 18, 34]
    row_height = 8
    x_start = x0 - sum(widths)
    sheet.box(x_start, y0, x0, y0 + row_height * len(rows))
    for k in range(1, len(rows)):
        sheet.line((x_start, y0 + k * row_height), (x0, y0 + k * row_height), THIN_MM)
    x = x_start
    for w in widths[:-1]:
        x += w
        sheet.line((x, y0), (x, y0 + row_height * len(rows)), THIN_MM)
    for r, row in enumerate(rows):
        x = x_start
        for k, (w, value) in enumerate(zip(widths, row)):
            height = 3.5 if k % 2 == 0 else 3.0
            # The last row's values sit on their cell's lower line, as hurried lettering does.
            lift = 0.05 if touching and r == len(rows) - 1 and k % 2 == 1 else (row_height - height) / 2
            sheet.text(value, (x + 2, y0 + (len(rows) - 1 - r) * row_height + lift), height, 0,
                       GOTHIC if has_japanese(value) or k % 2 == 0 else SANS)
            x += w


def part(sheet, x, y, rng):
    """A plate with a bore and holes, dimensioned across, up (90° and 270°) and at an angle."""
    w, h = 80, 50
    sheet.box(x, y, x + w, y + h)
    sheet.circle((x + w / 2, y + h / 2), 12)
    for hx, hy in ((x + 10, y + 10), (x + w - 10, y + 10), (x + 10, y + h - 10), (x + w - 10, y + h - 10)):
        sheet.circle((hx, hy), 3)
    sheet.dimension((x, y), (x + w, y), -10, rng.choice(["80", "80.0", "80±0.1"]))
    sheet.dimension((x + w, y), (x + w, y + h), -12, rng.choice(["50", "60±0.05"]), touching=True)
    sheet.dimension((x, y + h), (x, y), -10, "50", height=3.0)  # read downwards: 270°
    sheet.text("φ24", (x + w / 2 + 10, y + h / 2 + 13), 3.5)
    sheet.text("4×φ6", (x + w - 8, y + h + 3), 3.0)
    sheet.text("R3", (x + 3, y + h + 3), 3.0)
    # A chamfer's slant dimension, turned 30°, and a value at 45°.
    sheet.dimension((x + w + 18, y), (x + w + 18 + 26, y + 15), 4, "30°", height=3.0)
    sheet.text("M8×1.25", (x + w + 20, y + h + 10), 3.0, 45)


def labels(sheet, x, y, rng):
    words = ["AVR_PROGRAMMER", "SECTION A-A", "DETAIL B", "NOTE: ALL FILLETS R2", "SCALE 1:1",
             "MATERIAL SS400", "TOLERANCE ±0.1", "DRILL φ8.5 THRU"]
    rng.shuffle(words)
    for k, word in enumerate(words[:5]):
        sheet.text(word, (x, y - 9 * k), rng.choice([3.0, 3.5, 5.0]))


def balloons(sheet, x, y):
    for k in range(3):
        centre = (x + 14 * k, y)
        sheet.circle(centre, 4)
        sheet.line((centre[0] + 2.8, centre[1] + 2.8), (centre[0] + 9, centre[1] + 10), THIN_MM)
        advance = sheet.text_length(str(k + 1), 3.5)
        sheet.text(str(k + 1), (centre[0] - advance / 2, centre[1] - 1.75), 3.5)


def make(folder, name, paper, dpi, seed, touching=True, stroke=False):
    rng = random.Random(seed)
    width_mm, height_mm = paper
    sheet = Sheet(width_mm, height_mm, dpi, rng, stroke)
    sheet.box(8, 8, width_mm - 8, height_mm - 8, 0.5)
    if width_mm > 200:
        title_block(sheet, width_mm - 8, 8, touching)
        part(sheet, 30, 95, rng)
        labels(sheet, 30, 60, rng)
        balloons(sheet, 150, 180)
        sheet.text("側面図", (200, 150), 5.0, 90, GOTHIC)
        sheet.text("B-B", (230, 150), 5.0, 270)
    else:
        part(sheet, 22, 40, rng)
        sheet.text("SECTION A-A", (20, 18), 3.5)
        sheet.text("設計 尺度 1:2", (80, 18), 3.5, 0, GOTHIC)
    truth = []

    def more(image, to):
        truth.extend(draw_text(image, to, sheet, entry) for entry in sheet.texts)

    page = render(sheet.width, sheet.height, sheet.lines, sheet.circles, sheet.arcs, rng, paint=more)
    page.save(f"{folder}/{name}.tif", compression="group4", dpi=(dpi, dpi))
    result = {"width": sheet.width, "height": sheet.height, "dpi": dpi, "skew": 0, "lines": sheet.lines,
              "circles": sheet.circles, "arcs": sheet.arcs, "text_boxes": [t["box"] for t in truth],
              "texts": truth}
    with open(f"{folder}/{name}.json", "w", encoding="utf-8") as out:
        json.dump(result, out, ensure_ascii=False)


A4 = (297, 210)
SHEETS = {"text-a4-300": (A4, 300, 31), "text-a4-200": (A4, 200, 32), "text-a4-400": (A4, 400, 33),
          "text-a4-250": (A4, 250, 34), "text-small-300": ((150, 100), 300, 35),
          # Plotted in CAD's stroke fonts (ISO 3098 and a JIS kanji font), as most scanned drawings are.
          "text-stroke-300": (A4, 300, 36, True, True), "text-stroke-200": (A4, 200, 37, True, True)}

if __name__ == "__main__":
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    names = [a for a in sys.argv[2:] if a != "--missing"] or SHEETS
    for name in names:
        if "--missing" not in sys.argv or not os.path.exists(f"{folder}/{name}.tif"):
            make(folder, name, *SHEETS[name])
