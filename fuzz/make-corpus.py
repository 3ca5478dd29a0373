#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the seed corpus in corpus/ with Pillow and ImageMagick's convert: small valid pictures of each
format the program reads, one folder per fuzz target; the command-line target gets one of each format.
Legal files that readers once misread and tiny files that once cost gigabytes are added from the test
samples (tests/data). Run from anywhere: /usr/bin/python3 fuzz/make-corpus.py"""
import pathlib
import shutil
import subprocess
import sys
import tempfile

from PIL import Image, ImageDraw

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "tests" / "data"))
from pdf_writer import pdf_file  # noqa: E402

HERE = pathlib.Path(__file__).resolve().parent / "corpus"
TEST_DATA = HERE.parent.parent / "tests" / "data"
# Test samples that are seeds too, by target; they may be larger than the pictures made here.
HOSTILE = {
    "fuzz_tiff": ["tiled-17x5.tif", "tiled-1x1.tif", "wide-2pow29.tif"],
    "fuzz_png": ["rgb16-key.png", "wide-2pow31.png"],
    "fuzz_pnm": ["comment-after-header.pbm"],
}
HOSTILE_BMP = ["bitcount-0x0101.bmp", "compression-0x0100.bmp"]
# PDF pages whose image something hides, fax data whole and damaged, and small hostile pages.
PDF_CASES = ["mask-yellow.pdf", "clipped.pdf", "faded.pdf", "hidden-layer.pdf", "cropped.pdf", "rotated.pdf",
             "damaged-group4-drawn.pdf", "page-1e20.pdf", "columns-1e9.pdf", "jbig2-globals.pdf", "forms.pdf",
             "double-flate.pdf", "damaged-group4-quiet.pdf", "jbig2-clipped.pdf"]


def drawing(width=37, height=21):
    """A few lines and a box on white: runs along rows and columns, and a diagonal of short runs."""
    image = Image.new("L", (width, height), 255)
    draw = ImageDraw.Draw(image)
    draw.line([(0, 2), (width - 1, 2)], fill=0)
    draw.line([(5, 0), (5, height - 1)], fill=0)
    draw.rectangle([(10, 6), (25, 15)], outline=0)
    draw.line([(0, height - 1), (width - 1, 0)], fill=90)
    draw.rectangle([(28, 8), (33, 12)], fill=160)
    return image


def vector_pdf():
    """A page written by hand: a stroke, a filled box and a grey line, drawn rather than read as an image."""
    return pdf_file(72, 36, b"2 w 5 5 m 60 30 l S 10 20 15 8 re f 0.5 g 0 0 m 72 36 l S")


def with_pillow(image, path, mode, **options):
    converted = image.convert(mode)
    if mode == "RGBA":
        converted.putalpha(Image.eval(image, lambda v: 255 - v // 2))
    converted.save(path, **options)


def with_imagemagick(source, path, *options, output_format=""):
    subprocess.run(["convert", str(source), *options, f"{output_format}{path}"], check=True)


def main():
    shutil.rmtree(HERE, ignore_errors=True)
    folders = {name: HERE / name
               for name in ("fuzz_bmp", "fuzz_tiff", "fuzz_png", "fuzz_pnm", "fuzz_pdf", "fuzz_cli")}
    for folder in folders.values():
        folder.mkdir(parents=True)
    image = drawing()
    with tempfile.TemporaryDirectory() as work:
        source = pathlib.Path(work) / "source.png"
        image.save(source)
        small = pathlib.Path(work) / "small.png"  # for the text forms, four bytes a dot
        drawing(20, 12).save(small)
        bmp, tiff, png, pnm, pdf = (folders[n] for n in ("fuzz_bmp", "fuzz_tiff", "fuzz_png", "fuzz_pnm", "fuzz_pdf"))

        with_pillow(image, bmp / "pillow-1bit.bmp", "1")
        with_pillow(drawing(64, 8), bmp / "pillow-1bit-64.bmp", "1")
        with_imagemagick(source, bmp / "magick-bilevel.bmp", "-monochrome", output_format="BMP3:")

        with_imagemagick(source, tiff / "group4.tif", "-monochrome", "-compress", "Group4")
        with_imagemagick(source, tiff / "group3.tif", "-monochrome", "-compress", "Fax")
        with_imagemagick(source, tiff / "lzw-grey.tif", "-compress", "LZW")
        with_imagemagick(source, tiff / "packbits-bilevel.tif", "-monochrome", "-depth", "1", "-compress", "RLE")
        with_imagemagick(source, tiff / "tiled-lzw-grey.tif", "-compress", "LZW",
                         "-define", "tiff:tile-geometry=16x16")
        with_imagemagick(source, tiff / "big-endian-palette.tif", "-colors", "4", "-type", "Palette",
                         "-define", "tiff:endian=msb")
        with_pillow(image, tiff / "pillow-rgba.tif", "RGBA", compression="tiff_deflate")
        with_imagemagick(source, tiff / "bigtiff-group4.tif", "-monochrome", "-compress", "Group4",
                         output_format="TIFF64:")
        with_imagemagick(source, tiff / "float16.tif", "-compress", "zip", "-define", "quantum:format=floating-point",
                         "-depth", "16")
        with_imagemagick(source, tiff / "associated-alpha.tif", "-alpha", "set", "-define", "tiff:alpha=associated")
        with_imagemagick(source, tiff / "orientation-6.tif", "-monochrome", "-orient", "RightTop")

        with_pillow(image, png / "1bit.png", "1")
        with_pillow(image, png / "grey.png", "L")
        with_pillow(image, png / "palette.png", "P")
        with_pillow(image, png / "rgba.png", "RGBA")
        with_imagemagick(source, png / "interlaced-grey.png", "-interlace", "PNG")

        with_imagemagick(small, pnm / "plain.pbm", "-monochrome", "-compress", "None")
        with_imagemagick(source, pnm / "raw.pbm", "-monochrome")
        with_imagemagick(small, pnm / "plain.pgm", "-compress", "None")
        with_imagemagick(source, pnm / "raw.pgm")
        with_imagemagick(source, pnm / "raw-16bit.pgm", "-depth", "16")
        with_imagemagick(small, pnm / "plain.ppm", "-resize", "10x6!", "-type", "TrueColor", "-compress", "None")
        with_imagemagick(small, pnm / "raw.ppm", "-type", "TrueColor")
        with_imagemagick(small, pnm / "grey-alpha.pam", "-alpha", "set", output_format="PAM:")

        group4 = pathlib.Path(work) / "group4.tif"
        with_imagemagick(source, group4, "-monochrome", "-compress", "Group4")
        subprocess.run(["tiff2pdf", "-o", pdf / "tiff2pdf-group4.pdf", group4], check=True)
        subprocess.run(["img2pdf", "-o", pdf / "img2pdf-grey.pdf", source], check=True)
        jpeg = pathlib.Path(work) / "grey.jpg"
        drawing(20, 12).save(jpeg, quality=30)
        subprocess.run(["img2pdf", "-o", pdf / "img2pdf-jpeg.pdf", jpeg], check=True)
        (pdf / "vector.pdf").write_bytes(vector_pdf())

        samples = pathlib.Path(work) / "samples"
        subprocess.run(["/usr/bin/python3", str(TEST_DATA / "make-format-samples.py"), str(samples)], check=True)
        cases = pathlib.Path(work) / "pdf-cases"
        subprocess.run(["/usr/bin/python3", str(TEST_DATA / "make-pdf-cases.py"), str(cases)], check=True)
        for name in PDF_CASES:
            shutil.copy(cases / name, pdf / name)
        for target, names in HOSTILE.items():
            for name in names:
                shutil.copy(samples / name, folders[target] / name)
    for name in HOSTILE_BMP:
        shutil.copy(TEST_DATA / "bitmaps" / name, folders["fuzz_bmp"] / name)

    for name in ("pillow-1bit.bmp", "group4.tif", "lzw-grey.tif", "1bit.png", "rgba.png", "raw.pbm", "plain.pgm",
                 "tiff2pdf-group4.pdf"):
        found = next(HERE.glob(f"fuzz_*/{name}"))
        shutil.copy(found, folders["fuzz_cli"] / name)
    hostile = {name for names in HOSTILE.values() for name in names} | set(PDF_CASES)
    for path in sorted(HERE.rglob("*.*")):
        assert path.stat().st_size < (8192 if path.name in hostile else 2048), path
        print(f"{path.relative_to(HERE)}: {path.stat().st_size} bytes")


main()
