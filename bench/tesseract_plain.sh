#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The plain approach to a scanned sheet's text, as a yardstick: the tesseract command over the whole page
# (--psm 11, sparse text, jpn+eng), its words gathered into lines as Tesseract numbers them. Writes
# OUT.json, a list of {text, insertion, height, angle} in dots with y from the bottom row, as
# bench/text_score.py reads it.
# Usage: bench/tesseract_plain.sh PAGE.tif OUT.json
set -euo pipefail
page=$1
out=$2
tsv=$(mktemp)
trap 'rm -f "$tsv" "$tsv.tsv"' EXIT
tesseract "$page" "$tsv" -l jpn+eng --psm 11 tsv >/dev/null 2>&1
/usr/bin/python3 - "$page" "$tsv.tsv" "$out" <<'PY'
import csv, json, sys
from PIL import Image
height = Image.open(sys.argv[1]).size[1]
lines = {}
with open(sys.argv[2], encoding="utf-8") as source:
    for row in csv.DictReader(source, delimiter="\t", quoting=csv.QUOTE_NONE):
        if row["level"] != "5" or not row["text"].strip():
            continue
        key = (row["block_num"], row["par_num"], row["line_num"])
        lines.setdefault(key, []).append(row)
found = []
for words in lines.values():
    left = min(int(w["left"]) for w in words)
    bottom = max(int(w["top"]) + int(w["height"]) for w in words)
    tall = max(int(w["height"]) for w in words)
    text = ""
    for w in words:
        if text and not (ord(text[-1]) >= 0x3000 and ord(w["text"][0]) >= 0x3000):
            text += " "
        text += w["text"]
    found.append({"text": text, "insertion": [left, height - bottom], "height": tall, "angle": 0})
with open(sys.argv[3], "w", encoding="utf-8") as out:
    json.dump(found, out, ensure_ascii=False)
PY
