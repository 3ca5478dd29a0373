#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Scores the text read from a scanned sheet against its truth (make_text_sheets.py's JSON).

text_score.py TRUTH.json READ.(dxf|json) [--json] [--misses]

READ is a DXF (its TEXT entities, in dots: the conversion's default scale) or a JSON list of
{text, insertion: [x, y], height, angle} (bench/tesseract_plain.sh's lines).
  recall     share of true lines whose best read line (the read lines near it) has a character error
             rate (edit distance / true length) of at most 0.2;
  cer        mean character error rate over the true lines (1 for a line with nothing read near it);
  height     median relative height error of the recalled lines;
  angle      median angle error (degrees) of the recalled lines;
  false      share of read lines that are no true line's best match (within CER 0.5) and lie in no
             untracked line's box (the truth's untracked_texts: lettering under 1.8 mm and text drawn over
             other text, on the scan but not scored);
  untracked  read lines that lie in an untracked line's box and match no true line;
  inside     LINE, ARC and CIRCLE entities whose middle lies in a recalled line's box, per recalled line.
"""
import argparse
import json
import math
import sys

import ezdxf

GOOD_CER = 0.2
MATCHED_CER = 0.5


def distance(a, b):
    row = list(range(len(b) + 1))
    for i, ca in enumerate(a, 1):
        previous, row[0] = row[0], i
        for j, cb in enumerate(b, 1):
            previous, row[j] = row[j], min(row[j] + 1, row[j - 1] + 1, previous + (ca != cb))
    return row[-1]


def cer(true, read):
    return min(1.0, distance(true, read) / max(1, len(true)))


def read_lines(path):
    if path.endswith(".json"):
        with open(path, encoding="utf-8") as source:
            return json.load(source), []
    doc = ezdxf.readfile(path)
    texts, middles = [], []
    for entity in doc.modelspace():
        kind = entity.dxftype()
        if kind == "TEXT":
            texts.append({"text": entity.dxf.text, "insertion": [entity.dxf.insert.x, entity.dxf.insert.y],
                          "height": entity.dxf.height, "angle": entity.dxf.get("rotation", 0)})
        elif kind == "LINE":
            middles.append(((entity.dxf.start.x + entity.dxf.end.x) / 2, (entity.dxf.start.y + entity.dxf.end.y) / 2))
        elif kind in ("CIRCLE", "ARC"):
            c, r = entity.dxf.center, entity.dxf.radius
            if kind == "ARC":
                s, e = entity.dxf.start_angle, entity.dxf.end_angle
                middle = math.radians(s + ((e - s) % 360) / 2)
                middles.append((c.x + r * math.cos(middle), c.y + r * math.sin(middle)))
            else:
                middles.append((c.x, c.y))
    return texts, middles


def in_line_box(truth, point):
    c, s = math.cos(math.radians(truth["angle"])), math.sin(math.radians(truth["angle"]))
    x, y = point[0] - truth["insertion"][0], point[1] - truth["insertion"][1]
    u, v = x * c + y * s, -x * s + y * c
    h = truth["height"]
    return -0.2 * h <= u <= truth["length"] + 0.2 * h and -0.4 * h <= v <= 1.2 * h


def near(truth, read):
    """Whether a read line's insertion lies within reach of the true line's box."""
    reach = max(2 * truth["height"], 0.6 * truth["length"])
    return math.dist(truth["insertion"], read["insertion"]) <= reach


def angle_error(a, b):
    d = abs(a - b) % 360
    return min(d, 360 - d)


def median(values):
    values = sorted(values)
    if not values:
        return float("nan")
    n = len(values)
    return values[n // 2] if n % 2 else (values[n // 2 - 1] + values[n // 2]) / 2


def score(truth_path, read_path, misses=None):
    with open(truth_path, encoding="utf-8") as source:
        truth = json.load(source)
    read, middles = read_lines(read_path)
    matched = set()
    errors, heights, angles, inside = [], [], [], []
    recalled = 0
    for line in truth["texts"]:
        candidates = [(cer(line["text"], r["text"]), k) for k, r in enumerate(read) if near(line, r)]
        best, k = min(candidates, default=(1.0, None))
        errors.append(best)
        if misses is not None and best > GOOD_CER:
            misses.append(f"{best:.2f} {line['angle']:5.1f} {line['text']!r} read {read[k]['text'] if k is not None else None!r}")
        if k is not None and best <= MATCHED_CER:
            matched.add(k)
        if best <= GOOD_CER:
            recalled += 1
            r = read[k]
            heights.append(abs(r["height"] - line["height"]) / line["height"])
            angles.append(angle_error(r["angle"], line["angle"]))
            inside.append(sum(1 for m in middles if in_line_box(line, m)))
    untracked = {k for k, r in enumerate(read) if k not in matched and
                 any(in_line_box(line, r["insertion"]) or near(line, r) and cer(line["text"], r["text"]) <= MATCHED_CER
                     for line in truth.get("untracked_texts", []))}
    count = len(truth["texts"])
    return {"lines": count, "read": len(read), "recall": recalled / count, "cer": sum(errors) / count,
            "height": median(heights), "angle": median(angles),
            "false": (len(read) - len(matched) - len(untracked)) / len(read) if read else 0.0,
            "untracked": len(untracked), "inside": sum(inside) / len(inside) if inside else 0.0}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("truth")
    parser.add_argument("read")
    parser.add_argument("--json", action="store_true")
    parser.add_argument("--misses", action="store_true", help="list the true lines not recalled")
    args = parser.parse_args()
    misses = [] if args.misses else None
    result = score(args.truth, args.read, misses)
    for miss in misses or []:
        print(miss)
    if args.json:
        print(json.dumps(result))
    else:
        print(" ".join(f"{k} {v:.3f}" if isinstance(v, float) else f"{k} {v}" for k, v in result.items()))
    return 0


if __name__ == "__main__":
    sys.exit(main())
