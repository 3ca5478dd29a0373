#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Regenerates the test bitmaps in bitmaps/ with real tools, Pillow and ImageMagick's convert, then
checks every valid one bit by bit against the pattern it should hold.

Pattern, in picture coordinates (x from the left, t the row from the top): a dot is black exactly when
(7x + 3t) % 5 == 0 or x is the last column. Black is stored as bit value 0, white as 1; rows are stored
bottom-up, so stored row y is picture row height - 1 - y.
Run from anywhere: /usr/bin/python3 tests/data/make-test-data.py"""
import pathlib
import struct
import subprocess
import tempfile

from PIL import Image

HERE = pathlib.Path(__file__).resolve().parent / "bitmaps"
EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "examples"


def black(x, t, width):
    return (7 * x + 3 * t) % 5 == 0 or x == width - 1


def with_pillow(path, width, height):
    image = Image.new("1", (width, height), 1)
    for t in range(height):
        for x in range(width):
            if black(x, t, width):
                image.putpixel((x, t), 0)
    image.save(path)


def checkerboard(path, width, height):
    """Every other dot black: a run per dot, so many LINEs that each step of a conversion takes a while."""
    image = Image.new("1", (width, height), 1)
    image.putdata([0 if (x + t) % 2 == 0 else 1 for t in range(height) for x in range(width)])
    image.save(path)


def with_imagemagick(path, width, height, bmp_format="BMP3", options=()):
    rows = [" ".join("1" if black(x, t, width) else "0" for x in range(width)) for t in range(height)]
    with tempfile.NamedTemporaryFile("w", suffix=".pbm", delete=False) as pbm:
        pbm.write(f"P1\n{width} {height}\n" + "\n".join(rows) + "\n")
    subprocess.run(["convert", pbm.name, "-monochrome", *options, f"{bmp_format}:{path}"], check=True)
    pathlib.Path(pbm.name).unlink()


def fields(data):
    size, offset = struct.unpack_from("<I", data, 2)[0], struct.unpack_from("<I", data, 10)[0]
    header, width, height = struct.unpack_from("<Iii", data, 14)
    bits, compression = struct.unpack_from("<HI", data, 28)
    return size, offset, header, width, height, bits, compression


def stride(width):
    return (width + 31) // 32 * 4


def set_padding_bits(path):
    """Sets every bit after the last dot of each row, so a reader that looks at them is caught."""
    data = bytearray(path.read_bytes())
    _, offset, _, width, height, _, _ = fields(data)
    for y in range(height):
        for bit in range(width, stride(width) * 8):
            data[offset + y * stride(width) + bit // 8] |= 0x80 >> (bit % 8)
    path.write_bytes(bytes(data))


def check_pattern(path):
    data = path.read_bytes()
    _, offset, _, width, height, bits, compression = fields(data)
    assert bits == 1 and compression == 0, path
    for y in range(height):
        t = height - 1 - y
        for x in range(width):
            byte = data[offset + y * stride(width) + x // 8]
            bit = byte >> (7 - x % 8) & 1
            assert bit == (0 if black(x, t, width) else 1), f"{path.name}: dot {x},{t}"


def patched(source, target, offset, raw):
    data = bytearray(source.read_bytes())
    data[offset:offset + len(raw)] = raw
    target.write_bytes(bytes(data))


def main():
    HERE.mkdir(exist_ok=True)
    valid = {}
    for width, maker in [(1, with_pillow), (8, with_imagemagick), (31, with_pillow), (32, with_imagemagick),
                         (33, with_imagemagick), (100, with_pillow)]:
        path = HERE / f"w{width}.bmp"
        maker(path, width, 5)
        valid[width] = path
    for width in (1, 31, 33):
        set_padding_bits(valid[width])
    # ImageMagick 6 writes a 108-byte (version 4) information header for "BMP:", and the 124-byte
    # version 5 header when a rendering intent is given.
    with_imagemagick(HERE / "v4-header.bmp", 40, 12, "BMP")
    with_imagemagick(HERE / "v5-header.bmp", 40, 12, "BMP", ["-intent", "Perceptual"])
    assert fields((HERE / "v4-header.bmp").read_bytes())[2] == 108
    assert fields((HERE / "v5-header.bmp").read_bytes())[2] == 124
    with_pillow(HERE / "square-64.bmp", 64, 64)
    for path in list(valid.values()) + [HERE / name for name in ("v4-header.bmp", "v5-header.bmp", "square-64.bmp")]:
        check_pattern(path)

    # Other kinds of BMP that the program refuses.
    subprocess.run(["convert", "-size", "20x10", "gradient:", "-colors", "16", "-type", "Palette",
                    "BMP3:" + str(HERE / "4bit.bmp")], check=True)
    Image.new("RGB", (20, 10), (200, 30, 30)).save(HERE / "24bit.bmp")
    subprocess.run(["convert", "-size", "20x10", "gradient:", "-colors", "200", "-type", "Palette",
                    "-compress", "RLE", "BMP3:" + str(HERE / "rle8.bmp")], check=True)
    assert fields((HERE / "4bit.bmp").read_bytes())[5] == 4
    assert fields((HERE / "rle8.bmp").read_bytes())[5:] == (8, 1)
    one = valid[100]
    patched(one, HERE / "rle1.bmp", 30, b"\x01")
    # A high byte set makes another value, not 1 bit or no compression.
    patched(one, HERE / "bitcount-0x0101.bmp", 28, b"\x01\x01")
    patched(one, HERE / "compression-0x0100.bmp", 30, b"\x00\x01")
    patched(one, HERE / "bad-signature.bmp", 0, b"BA")
    patched(HERE / "24bit.bmp", HERE / "bad-signature-24bit.bmp", 0, b"BA")
    patched(one, HERE / "filesize-2pow31.bmp", 2, b"\x00\x00\x00\x80")
    patched(one, HERE / "filesize-2pow31-1.bmp", 2, b"\xff\xff\xff\x7f")
    patched(one, HERE / "offset-2pow31.bmp", 10, b"\x00\x00\x00\x80")

    # Files whose header passes the checks but that cannot be shown or converted.
    square = HERE / "square-64.bmp"
    data = square.read_bytes()
    (HERE / "truncated-rows.bmp").write_bytes(data[:len(data) // 2])
    (HERE / "truncated-header.bmp").write_bytes(data[:40])
    (HERE / "tiny13.bmp").write_bytes(data[:13])
    (HERE / "empty.bmp").write_bytes(b"")
    patched(square, HERE / "huge-filesize.bmp", 2, b"\xff\xff\xff\x7f")
    patched(square, HERE / "filesize0.bmp", 2, b"\x00\x00\x00\x00")
    patched(square, HERE / "offset-past-end.bmp", 10, struct.pack("<I", len(data) + 1))
    patched(square, HERE / "width0.bmp", 18, b"\x00\x00\x00\x00")
    patched(square, HERE / "height0.bmp", 22, b"\x00\x00\x00\x00")
    huge = bytearray(data[:62]) + bytes(138)
    huge[2:6] = struct.pack("<I", len(huge))
    huge[18:26] = struct.pack("<ii", 100000, 100000)
    (HERE / "huge-dimensions.bmp").write_bytes(bytes(huge))
    # A top-down picture: negative height, rows stored from the top; made from a bottom-up one.
    w8 = valid[8].read_bytes()
    offset, height = fields(w8)[1], fields(w8)[4]
    rows = [w8[offset + y * 4: offset + (y + 1) * 4] for y in range(height)]
    topdown = bytearray(w8[:offset]) + b"".join(reversed(rows))
    topdown[22:26] = struct.pack("<i", -height)
    (HERE / "topdown.bmp").write_bytes(bytes(topdown))

    checkerboard(HERE / "checker-1000x600.bmp", 1000, 600)

    # The sample drawing for users.
    EXAMPLES.mkdir(exist_ok=True)
    # Drawn by ImageMagick, then stored by Pillow, which keeps black as bit value 0 whatever the palette.
    drawn = EXAMPLES / "drawing.png"
    subprocess.run(["convert", "-size", "400x300", "xc:white", "+antialias", "-fill", "none", "-stroke", "black",
                    "-strokewidth", "2", "-draw", "rectangle 5,5 394,294",
                    "-strokewidth", "1", "-draw", "line 20,270 380,270", "-draw", "line 20,40 20,270",
                    "-strokewidth", "3", "-draw", "line 40,250 160,120",
                    "-strokewidth", "1", "-draw", "circle 280,150 280,90",
                    "-draw", "rectangle 60,40 100,80", "-draw", "rectangle 100,40 140,80",
                    "-draw", "rectangle 60,80 100,120", "-draw", "rectangle 100,80 140,120",
                    "-stroke", "none", "-fill", "black", "-pointsize", "28", "-draw", "text 190,262 'KELVARIN'",
                    "-monochrome", str(drawn)], check=True)
    Image.open(drawn).convert("1", dither=Image.Dither.NONE).save(EXAMPLES / "drawing.bmp")
    drawn.unlink()
    sample = (EXAMPLES / "drawing.bmp").read_bytes()
    assert sample[fields(sample)[1]] >> 7 == 1, "the sample's background must be white"
    print("test bitmaps written and checked")


if __name__ == "__main__":
    main()
