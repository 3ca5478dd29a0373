#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes one picture in every encoding the program reads, with real tools (Pillow and ImageMagick), plus
hostile files crafted byte by byte, into the folder given as the only argument.

The picture mixes diagonal lines, blocks and noise at 203 x 77 dots, so that rows cross the 64-dot words
and the 4-byte row padding. Every encoding of it must convert to the same DXF file as picture.bmp (black
at palette index 0). Grey and colour encodings hold dark (40) and light (215) values, so any threshold
from 41 to 215 separates them; threshold.pgm holds the grey levels 0..255 along its single row."""
import pathlib
import random
import struct
import subprocess
import sys
import zlib

from PIL import Image

from pdf_writer import pdf_file

OUT = pathlib.Path(sys.argv[1])
OUT.mkdir(parents=True, exist_ok=True)


def picture():
    random.seed(5)
    image = Image.new("1", (203, 77), 1)
    for y in range(77):
        for x in range(203):
            if (7 * x + 3 * y) % 11 == 0 or ((x // 9 + y // 5) % 4 == 0 and random.random() < 0.7):
                image.putpixel((x, y), 0)
    return image


def convert(*arguments):
    subprocess.run(["convert", *map(str, arguments)], check=True)


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def tiff_header(width, height, strip_offset, strip_bytes, bits=1, samples=1, photometric=0, compression=1,
                extra=()):
    """A little-endian TIFF with one strip, whatever the strip fields say; extra holds more (tag, type,
    count, value) entries."""
    entries = sorted([(256, 4, 1, width), (257, 4, 1, height), (258, 3, 1, bits), (259, 3, 1, compression),
                      (262, 3, 1, photometric), (273, 4, 1, strip_offset), (277, 3, 1, samples),
                      (278, 4, 1, height), (279, 4, 1, strip_bytes), *extra])
    ifd = struct.pack("<H", len(entries))
    for tag, kind, count, value in entries:
        ifd += struct.pack("<HHII", tag, kind, count, value)
    return b"II*\0" + struct.pack("<I", 8) + ifd + struct.pack("<I", 0)


def old_style_lzw(data):
    """LZW codes as libtiff's predecessors wrote them (least significant bit first): a clear code every 250
    literals keeps every code 9 bits wide."""
    codes = [256]
    for count, byte in enumerate(data, 1):
        codes.append(byte)
        if count % 250 == 0:
            codes.append(256)
    codes.append(257)
    out, buffer, bits = bytearray(), 0, 0
    for code in codes:
        buffer |= code << bits
        bits += 9
        while bits >= 8:
            out.append(buffer & 0xFF)
            buffer >>= 8
            bits -= 8
    return bytes(out + (bytes([buffer]) if bits else b""))


def tiled_tiff(image, tile_width, tile_height):
    """The 1-bit picture (min-is-white) as uncompressed tiles of any size, each tile row padded to a byte."""
    width, height = image.size
    tiles = []
    for top in range(0, height, tile_height):
        for left in range(0, width, tile_width):
            data = bytearray()
            for y in range(top, top + tile_height):
                bits = [(y < height and left + x < width and image.getpixel((left + x, y)) == 0)
                        for x in range(tile_width)]
                bits += [False] * (-len(bits) % 8)
                data += bytes(sum(b << (7 - i) for i, b in enumerate(bits[k:k + 8])) for k in range(0, len(bits), 8))
            tiles.append(bytes(data))
    entries = [(256, 4, 1, width), (257, 4, 1, height), (258, 3, 1, 1), (259, 3, 1, 1), (262, 3, 1, 0),
               (322, 4, 1, tile_width), (323, 4, 1, tile_height), (324, 4, len(tiles), None),
               (325, 4, len(tiles), None)]
    ifd_size = 2 + 12 * len(entries) + 4
    arrays = 8 + ifd_size
    data_start = arrays + 8 * len(tiles)
    offsets, position = [], data_start
    for tile in tiles:
        offsets.append(position)
        position += len(tile)
    ifd = struct.pack("<H", len(entries))
    for tag, kind, count, value in entries:
        if tag == 324:
            value = arrays if count > 1 else offsets[0]
        elif tag == 325:
            value = arrays + 4 * len(tiles) if count > 1 else len(tiles[0])
        ifd += struct.pack("<HHII", tag, kind, count, value)
    ifd += struct.pack("<I", 0)
    body = struct.pack(f"<{len(tiles)}I", *offsets) + struct.pack(f"<{len(tiles)}I", *map(len, tiles))
    return b"II*\0" + struct.pack("<I", 8) + ifd + body + b"".join(tiles)


def png_file(width, height, bit_depth, colour_type, rows, extra=b""):
    """A PNG of raw rows (filter 0), with extra chunks before the data."""
    header = struct.pack(">IIBBBBB", width, height, bit_depth, colour_type, 0, 0, 0)
    data = zlib.compress(b"".join(b"\0" + row for row in rows))
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) + extra + png_chunk(b"IDAT", data) +
            png_chunk(b"IEND", b""))


image = picture()
image.save(OUT / "picture.bmp")
grey = image.convert("L").point(lambda v: 215 if v else 40)

# TIFF: Group 4 in both photometric senses, LZW, PackBits, none, Deflate RGB, grey, palette, tiled.
image.save(OUT / "pillow-g4.tif", compression="group4", dpi=(300, 300))
convert(OUT / "picture.bmp", "-compress", "Group4", OUT / "magick-g4-minwhite.tif")
convert(OUT / "picture.bmp", "-compress", "Group4", "-define", "quantum:polarity=min-is-black",
        OUT / "magick-g4-minblack.tif")
image.save(OUT / "pillow-lzw.tif", compression="tiff_lzw")
image.save(OUT / "pillow-packbits.tif", compression="packbits")
image.save(OUT / "pillow-raw.tif")
grey.convert("RGB").save(OUT / "pillow-deflate-rgb.tif", compression="tiff_adobe_deflate")
grey.save(OUT / "pillow-grey-lzw.tif", compression="tiff_lzw")
grey.convert("P").save(OUT / "pillow-palette.tif")
convert(OUT / "picture.bmp", "-define", "tiff:tile-geometry=64x32", "-compress", "LZW", OUT / "magick-tiled.tif")
# PNG: 1-bit, grey, RGB, palette, RGBA (transparent over white), interlaced.
image.save(OUT / "pillow-1bit.png", dpi=(600, 600))
grey.save(OUT / "pillow-grey.png")
grey.convert("RGB").save(OUT / "pillow-rgb.png")
grey.convert("P").save(OUT / "pillow-palette.png")
rgba = grey.convert("RGBA")
rgba.putalpha(image.point(lambda v: 0 if v else 255))  # white dots fully transparent
rgba.save(OUT / "pillow-rgba.png")
convert(OUT / "picture.bmp", "-interlace", "PNG", OUT / "magick-interlaced.png")
# PNM: P1 and P2 text, P4 and P5 binary, a 16-bit P5.
convert(OUT / "picture.bmp", "-compress", "none", OUT / "magick-p1.pbm")
image.save(OUT / "pillow-p4.pbm")
convert(OUT / "picture.bmp", "-colorspace", "gray", "-compress", "none", OUT / "magick-p2.pgm")
grey.save(OUT / "pillow-p5.pgm")
convert(OUT / "pillow-p5.pgm", "-depth", "16", OUT / "magick-p5-16bit.pgm")

# Legal files that readers have got wrong: tiles whose columns do not start on a byte, a key colour
# marking transparency in 16-bit RGB (the transparent dots hold a dark colour), a comment ending the header.
(OUT / "tiled-17x5.tif").write_bytes(tiled_tiff(image, 17, 5))
(OUT / "tiled-1x1.tif").write_bytes(tiled_tiff(image.crop((0, 0, 40, 20)), 1, 1))
image.crop((0, 0, 40, 20)).save(OUT / "picture-40x20.bmp")
key = struct.pack(">HHH", 0x1000, 0x2000, 0x3000)
(OUT / "rgb16-key.png").write_bytes(png_file(203, 77, 16, 2, [
    b"".join(key if image.getpixel((x, y)) else bytes(6) for x in range(203)) for y in range(77)],
    png_chunk(b"tRNS", key)))
(OUT / "comment-after-header.pbm").write_bytes(
    b"P4\n203 77#c\n" + (OUT / "pillow-p4.pbm").read_bytes().split(b"\n", 2)[2])

# BigTIFF both ways round, floating point grey, associated alpha (white dots half transparent white: only
# laid over white as premultiplied colour are they lighter than 200), the eight orientations (the rows
# stored so that a viewer turns them back into the picture), PPM and PAM.
convert(OUT / "picture.bmp", "-compress", "Group4", "TIFF64:" + str(OUT / "magick-bigtiff-ii.tif"))
convert(OUT / "picture.bmp", "-define", "tiff:endian=msb", "-compress", "Group4",
        "TIFF64:" + str(OUT / "magick-bigtiff-mm.tif"))
for bits in (16, 32):
    convert(OUT / "pillow-p5.pgm", "-compress", "zip", "-define", "quantum:format=floating-point", "-depth", bits,
            OUT / f"magick-float{bits}.tif")
half = grey.point(lambda v: 255 if v == 215 else 40).convert("RGBA")
half.putalpha(image.point(lambda v: 128 if v else 255))
half.save(OUT / "half-transparent.png")
convert(OUT / "half-transparent.png", "-define", "tiff:alpha=associated", OUT / "magick-associated-alpha.tif")
for orientation, operation in enumerate([["-flop"], ["-rotate", "180"], ["-flip"], ["-transpose"], ["-rotate", "270"],
                                         ["-transverse"], ["-rotate", "90"]], 2):
    name = ["TopRight", "BottomRight", "BottomLeft", "LeftTop", "RightTop", "RightBottom", "LeftBottom"][orientation - 2]
    convert(OUT / "picture.bmp", *operation, "+repage", "-orient", name, "-compress", "Group4",
            OUT / f"magick-orientation-{orientation}.tif")
grey.convert("RGB").save(OUT / "pillow-p6.ppm")
convert(OUT / "pillow-p6.ppm", "-compress", "none", OUT / "magick-p3.ppm")
convert(OUT / "pillow-p6.ppm", "PAM:" + str(OUT / "magick-rgb.pam"))
convert(OUT / "half-transparent.png", "PAM:" + str(OUT / "magick-rgb-alpha.pam"))
# Dark dots of 16-bit level 32800, just below 128/255 (32896): black at the threshold 128 in every format.
deep_bytes = b"".join(struct.pack(">H", 65535 if image.getpixel((x, y)) else 32800)
                      for y in range(77) for x in range(203))
(OUT / "level-32800.pgm").write_bytes(b"P5\n203 77\n65535\n" + deep_bytes)
convert(OUT / "level-32800.pgm", OUT / "level-32800.png")
convert(OUT / "level-32800.pgm", "-compress", "zip", OUT / "level-32800.tif")

# PDF: Group 4 pages by tiff2pdf and img2pdf, Flate grey and JPEG pages by img2pdf, and pages written by
# hand that paint more than one image, so that they are drawn.
subprocess.run(["tiff2pdf", "-o", OUT / "tiff2pdf-g4.pdf", OUT / "pillow-g4.tif"], check=True)
subprocess.run(["img2pdf", "-o", OUT / "img2pdf-g4.pdf", OUT / "magick-g4-minwhite.tif"], check=True)
subprocess.run(["img2pdf", "-o", OUT / "img2pdf-grey.pdf", OUT / "pillow-grey.png"], check=True)
grey.save(OUT / "pillow-grey.jpg", quality=95, dpi=(300, 300))
subprocess.run(["img2pdf", "-o", OUT / "img2pdf-jpeg.pdf", OUT / "pillow-grey.jpg"], check=True)
page = (203 * 72 / 300, 77 * 72 / 300)
(OUT / "drawn.pdf").write_bytes(pdf_file(*page, b"1 1 1 rg 0 0 1 1 re f q %.4f 0 0 %.4f 0 0 cm /Im0 Do Q" % page,
                                         (b"/Width 203 /Height 77 /ColorSpace /DeviceGray /BitsPerComponent 8",
                                          grey.tobytes())))
(OUT / "vector.pdf").write_bytes(pdf_file(72, 36, b"0 0 0 RG 4 w 10 10 m 62 26 l S"))
subprocess.run(["qpdf", "--encrypt", "user", "owner", "256", "--", OUT / "tiff2pdf-g4.pdf", OUT / "encrypted.pdf"],
               check=True)
pdf = (OUT / "tiff2pdf-g4.pdf").read_bytes()
(OUT / "truncated.pdf").write_bytes(pdf[: len(pdf) * 2 // 3])
(OUT / "huge-page.pdf").write_bytes(pdf_file(1e6, 1e6, b"0 0 m 10 10 l S"))
(OUT / "huge-image.pdf").write_bytes(pdf_file(72, 72, b"q 72 0 0 72 0 0 cm /Im0 Do Q", (
    b"/Width 1000000 /Height 1000000 /ColorSpace /DeviceGray /BitsPerComponent 8 /Filter /FlateDecode",
    zlib.compress(b"\0" * 100000))))
convert(OUT / "picture.bmp", "BMP2:" + str(OUT / "os2.bmp"))

# Lit from the left: paper from 255 down to 70 at the right edge, ink a quarter of the paper's level (the
# lightest ink, 64 at the left, is lighter than the darkest paper).
lit = Image.new("L", image.size)
lit.putdata([int((255 - 185 * x / 202) * (1 if image.getpixel((x, y)) else 0.25))
             for y in range(77) for x in range(203)])
lit.save(OUT / "side-lit.png")

# Written by hand: a 16-bit palette (grey entries, dark and light indices), old-style LZW codes (libtiff
# warns and decodes them), signed samples.
header_size = 8 + 2 + 10 * 12 + 4
colormap = struct.pack("<196608H", *(list(range(65536)) * 3))
indices = b"".join(struct.pack("<H", 60000 if image.getpixel((x, y)) else 10000) for y in range(77) for x in range(203))
(OUT / "palette16.tif").write_bytes(
    tiff_header(203, 77, header_size + len(colormap), len(indices), bits=16, photometric=3,
                extra=[(320, 3, 3 * 65536, header_size)]) + colormap + indices)
compat = old_style_lzw(grey.tobytes())
(OUT / "old-style-lzw.tif").write_bytes(
    tiff_header(203, 77, header_size - 12, len(compat), bits=8, photometric=1, compression=5) + compat)
(OUT / "signed.tif").write_bytes(tiff_header(203, 77, header_size, 203 * 77, bits=8, photometric=1,
                                             extra=[(339, 3, 1, 2)]) + bytes(203 * 77))
# Samples of "void" format (SampleFormat 4), which writers mean as unsigned: 8-bit white-is-zero and 16-bit
# black-is-zero.
white_is_zero = bytes(0 if image.getpixel((x, y)) else 255 for y in range(77) for x in range(203))
(OUT / "void-8bit.tif").write_bytes(tiff_header(203, 77, header_size, len(white_is_zero), bits=8,
                                                extra=[(339, 3, 1, 4)]) + white_is_zero)
deep_little = b"".join(struct.pack("<H", 65535 if image.getpixel((x, y)) else 32800)
                       for y in range(77) for x in range(203))
(OUT / "void-16bit.tif").write_bytes(tiff_header(203, 77, header_size, len(deep_little), bits=16, photometric=1,
                                                 extra=[(339, 3, 1, 4)]) + deep_little)
# Group 3 in one dimension with end-of-line codes.
convert(OUT / "picture.bmp", "-compress", "Fax", OUT / "magick-g3.tif")

# Pages and resolutions.
convert(OUT / "picture.bmp", "(", OUT / "picture.bmp", "-flop", ")", "-compress", "Group4", OUT / "two-pages.tif")
convert(OUT / "picture.bmp", "-flop", OUT / "flopped.bmp")
subprocess.run(["tiff2pdf", "-o", OUT / "two-pages.pdf", OUT / "two-pages.tif"], check=True)
convert(OUT / "picture.bmp", "-units", "PixelsPerCentimeter", "-density", "100x50", "-compress", "Group4",
        OUT / "density-cm.tif")
image.save(OUT / "no-resolution.png")
image.save(OUT / "picture-200dpi.bmp", dpi=(200, 200))
Image.frombytes("L", (256, 1), bytes(range(256))).save(OUT / "threshold.pgm")

# A BMP whose colour table puts white first: the bits say the opposite of what a viewer shows.
data = bytearray((OUT / "picture.bmp").read_bytes())
data[54:62] = bytes([255, 255, 255, 0, 0, 0, 0, 0])
(OUT / "white-first.bmp").write_bytes(bytes(data))

# Hostile files.
bomb = struct.pack(">IIBBBBB", 1000000, 1000000, 1, 0, 0, 0, 0)
(OUT / "bomb.png").write_bytes(b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", bomb) +
                               png_chunk(b"IDAT", zlib.compress(b"\0" * 1000)) + png_chunk(b"IEND", b""))
(OUT / "bomb.tif").write_bytes(tiff_header(1000000, 1000000, 200, 125000000000 % 2**32))
png = bytearray((OUT / "pillow-grey.png").read_bytes())
(OUT / "truncated.png").write_bytes(bytes(png[: len(png) // 2]))
png[len(png) // 2] ^= 0xFF
(OUT / "corrupt.png").write_bytes(bytes(png))
g4 = (OUT / "magick-g4-minwhite.tif").read_bytes()
(OUT / "corrupt-g4.tif").write_bytes(g4[:300] + b"\0" * 20 + g4[320:])
g4 = (OUT / "pillow-g4.tif").read_bytes()
(OUT / "truncated-g4.tif").write_bytes(g4[: len(g4) * 2 // 3])
(OUT / "strip-past-end.tif").write_bytes(tiff_header(64, 64, 100000, 512))
(OUT / "short-strip.tif").write_bytes(tiff_header(64, 64, 128, 512) + b"\0" * 100)
(OUT / "wide-rgba16.tif").write_bytes(tiff_header(2**31 - 1, 1, 200, 2**32 - 1, bits=16, samples=4, photometric=2))
(OUT / "wide-2pow31.png").write_bytes(png_file(2**31 - 1, 1, 1, 0, [bytes(4096)]))
(OUT / "wide-2pow29.tif").write_bytes(tiff_header(2**29, 1, 200, 2**26))
# Formats recognised but not read.
convert(OUT / "picture.bmp", OUT / "picture.jpg")
convert(OUT / "picture.bmp", OUT / "picture.gif")
(OUT / "absurd.pbm").write_bytes(b"P4\n1000000000 1000000000\n" + b"\0" * 100)
(OUT / "above-maximum.pgm").write_bytes(b"P5\n4 1\n100\n" + bytes([0, 50, 200, 100]))
(OUT / "short.pgm").write_bytes(b"P5\n100 100\n255\n" + b"\x80" * 5000)
