#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes one small scan in each picture and PDF format a user may keep beside a drawing, with Pillow and
ImageMagick, into the folder given as the only argument: the files a conversion must never replace. Their
names end in .dxf as well as in their own extension, as a careless name would."""
import pathlib
import subprocess
import sys

from PIL import Image, ImageDraw

OUT = pathlib.Path(sys.argv[1])
OUT.mkdir(parents=True, exist_ok=True)

scan = Image.new("1", (64, 40), 1)
ImageDraw.Draw(scan).line((4, 4, 60, 36), fill=0, width=3)
grey = scan.convert("L")

scan.save(OUT / "scan.bmp")
scan.save(OUT / "scan.png")
scan.save(OUT / "scan.tif", compression="group4")
scan.save(OUT / "scan.pbm")
grey.save(OUT / "scan.pdf", resolution=300)
grey.save(OUT / "scan.jpg", quality=90)
grey.save(OUT / "scan-named.dxf", format="PNG")
subprocess.run(["convert", str(OUT / "scan.png"), str(OUT / "scan.gif")], check=True)
