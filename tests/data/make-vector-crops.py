#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Cuts the parts of the CAD scans that bench/make_cad_scans.py makes (bench/out/vector, made by bench/vector)
that vectorize_corpus_test checks into tests/data/vector: each a square of the page, Group 4 with its
resolution. The geometry the test expects there is the page's truth moved by the square's corner.

make-vector-crops.py [SCANS, default bench/out/vector]"""
import os
import sys

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
# name: page (under SCANS), the square's left column and bottom row counted from the page's bottom, its side
CROPS = {
    "diode-bridge-top.tif": ("cad-judging/cad-diodes-2.tif", 198, 1821, 500),
    "diode-bridge-right.tif": ("cad-judging/cad-diodes-2.tif", 469, 1721, 500),
    "diode-bridge-bottom.tif": ("cad-judging/cad-diodes-2.tif", 200, 1448, 500),
    "diode-bridge-left.tif": ("cad-judging/cad-diodes-2.tif", 0, 1716, 500),
    "basin-taps.tif": ("cad-judging-2x/cad-floor-plan-2-2x.tif", 1390, 940, 500),
    "basin-taps-300.tif": ("cad-judging/cad-floor-plan-2.tif", 670, 470, 300),
    "tap-by-a-wall.tif": ("cad-tuning-2x/cad-floor-plan-2x.tif", 1684, 1952, 300),
    "sink-front.tif": ("cad-judging/cad-floor-plan-2.tif", 680, 1000, 300),
}


def main():
    scans = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "../../bench/out/vector")
    for name, (page, left, bottom, side) in CROPS.items():
        image = Image.open(os.path.join(scans, page))
        top = image.height - bottom - side
        image.crop((left, top, left + side, top + side)).save(
            os.path.join(HERE, "vector", name), compression="group4", dpi=image.info["dpi"])


if __name__ == "__main__":
    main()
