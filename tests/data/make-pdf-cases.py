#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes PDF files by hand into the folder given as the only argument: hostile ones (a few KB that would
cost gigabytes of memory or hours of work if read naively) and pages on which something hides, clips,
fades, crops or turns the one image covering them, so that a viewer shows less than the image holds.

Each hiding page has a viewer's picture beside it: `<name>.pgm`, drawn by pdftoppm at the image's own
resolution (144 dpi) within the crop box, without smoothing."""
import io
import pathlib
import subprocess
import sys
import zlib

from PIL import Image

from pdf_writer import pdf_file, pdf_objects, stream

OUT = pathlib.Path(sys.argv[1])
OUT.mkdir(parents=True, exist_ok=True)

CATALOG = b"<< /Type /Catalog /Pages 2 0 R >>"
PAGES = b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>"


def deflated(size, byte=b"\0", times=1, head=b""):
    """head followed by size repeated bytes, through the Flate filter times times. The repeated bytes are
    compressed once per mebibyte with a full flush after it, so that the piece can be repeated as it is."""
    chunk = byte * (1 << 20)
    packer = zlib.compressobj(9, zlib.DEFLATED, -15)
    data = packer.compress(head) + packer.flush(zlib.Z_FULL_FLUSH)
    piece = packer.compress(chunk) + packer.flush(zlib.Z_FULL_FLUSH)
    data += piece * (size // len(chunk)) + packer.compress(chunk[:size % len(chunk)]) + packer.flush()
    # Adler-32 of the head, then of size equal bytes in closed form.
    value = zlib.adler32(head)
    low, high = value & 0xFFFF, value >> 16
    high = (high + size * low + byte[0] * size * (size + 1) // 2) % 65521
    low = (low + size * byte[0]) % 65521
    data = b"\x78\xda" + data + (high << 16 | low).to_bytes(4, "big")
    for _ in range(times - 1):
        data = zlib.compress(data, 9)
    return data


def flate_filters(times):
    return b"/Filter [%s]" % b" ".join([b"/FlateDecode"] * times)


def page_of(content, resources=b"<< >>", box=b"/MediaBox [0 0 72 72]"):
    return b"<< /Type /Page /Parent 2 0 R %s /Contents 4 0 R /Resources %s >>" % (box, resources)


# Forty forms, each painting the next twice: 2^40 rectangles.
forms = [stream(b"/Type /XObject /Subtype /Form /BBox [0 0 72 72] /Resources << /XObject << /F 6 0 R >> >>",
                b"/F Do /F Do")]
for number in range(6, 45):
    inner = b"/F Do /F Do" if number < 44 else b"0 0 1 1 re f"
    forms.append(stream(b"/Type /XObject /Subtype /Form /BBox [0 0 72 72] /Resources << /XObject << /F %d 0 R >> >>"
                        % (number + 1), inner))
(OUT / "forms.pdf").write_bytes(pdf_objects(
    [CATALOG, PAGES, page_of(b"", b"<< /XObject << /F 5 0 R >> >>"), stream(b"", b"/F Do")] + forms))

# One 1-bit image of 100000 x 100000 dots covering a 1-inch page, through Flate twice.
(OUT / "double-flate.pdf").write_bytes(pdf_file(72, 72, b"q 72 0 0 72 0 0 cm /Im0 Do Q", (
    b"/Width 100000 /Height 100000 /ColorSpace /DeviceGray /BitsPerComponent 1 " + flate_filters(2),
    deflated(100000 * 12500, times=2))))

# An 8 x 8 image whose /Indexed colour table decodes to 3 GB.
(OUT / "indexed-table.pdf").write_bytes(pdf_objects([
    CATALOG, PAGES, page_of(b"", b"<< /XObject << /Im0 5 0 R >> >>"),
    stream(b"", b"q 72 0 0 72 0 0 cm /Im0 Do Q"),
    stream(b"/Type /XObject /Subtype /Image /Width 8 /Height 8 /BitsPerComponent 8 "
           b"/ColorSpace [/Indexed /DeviceRGB 255 6 0 R]", bytes(64)),
    stream(flate_filters(2), deflated(3 << 30, times=2))]))

# 4 GB of page content (blanks).
(OUT / "content.pdf").write_bytes(pdf_objects([
    CATALOG, PAGES, page_of(b""), stream(flate_filters(2), deflated(4 << 30, b" ", times=2))]))

# An 8 x 8 grey image whose data go on for 4 GB.
(OUT / "image-then-more.pdf").write_bytes(pdf_file(72, 72, b"q 72 0 0 72 0 0 cm /Im0 Do Q", (
    b"/Width 8 /Height 8 /ColorSpace /DeviceGray /BitsPerComponent 8 " + flate_filters(2),
    deflated(4 << 30, head=bytes(range(0, 256, 4)), times=2))))

# 200 MB of rectangles.
rectangles = zlib.compress(zlib.compress(b"0 0 1 1 re f\n" * (200000000 // 13), 1), 9)
(OUT / "rectangles.pdf").write_bytes(pdf_objects([
    CATALOG, PAGES, page_of(b""), stream(flate_filters(2), rectangles)]))

# JBIG2: a page of 60000 x 60000 dots, and globals that are the image itself, on half of a page that is
# drawn for its stroke.
jbig2_page = (b"\0\0\0\0" b"\x30" b"\0" b"\x01" b"\0\0\0\x13" + (60000).to_bytes(4, "big") * 2 + bytes(8) +
              b"\0" b"\0\0")
for name, parms in (("jbig2-page.pdf", b""), ("jbig2-globals.pdf", b"/DecodeParms << /JBIG2Globals 5 0 R >>")):
    (OUT / name).write_bytes(pdf_file(72, 72, b"0 0 m 1 1 l S q 36 0 0 36 0 0 cm /Im0 Do Q", (
        b"/Width 60000 /Height 60000 /ColorSpace /DeviceGray /BitsPerComponent 1 /Filter /JBIG2Decode " + parms,
        jbig2_page)))

# The JBIG2 page in a 16000 x 16000 image filling a clipped page: drawn at the image's claimed 16000 dpi,
# the page would take 256 million dots, and the JBIG2 page 450 MB more.
(OUT / "jbig2-clipped.pdf").write_bytes(pdf_file(72, 72, b"q 0 0 36 72 re W n 72 0 0 72 0 0 cm /Im0 Do Q", (
    b"/Width 16000 /Height 16000 /ColorSpace /DeviceGray /BitsPerComponent 1 /Filter /JBIG2Decode ",
    jbig2_page)))

# A grey 30000 x 30000 image, read with the adaptive threshold.
(OUT / "grey-30000.pdf").write_bytes(pdf_file(72 * 100, 72 * 100, b"q 7200 0 0 7200 0 0 cm /Im0 Do Q", (
    b"/Width 30000 /Height 30000 /ColorSpace /DeviceGray /BitsPerComponent 8 " + flate_filters(2),
    deflated(30000 * 30000, b"\x80", times=2))))

# A page of 1e20 points; Group 4 data 1e9 dots wide.
(OUT / "page-1e20.pdf").write_bytes(pdf_file(1e20, 1e20, b"0 0 m 10 10 l S"))
(OUT / "columns-1e9.pdf").write_bytes(pdf_file(72, 72, b"q 36 0 0 36 0 0 cm /Im0 Do Q", (
    b"/Width 8 /Height 8 /ColorSpace /DeviceGray /BitsPerComponent 1 /Filter /CCITTFaxDecode "
    b"/DecodeParms << /K -1 /Columns 1000000000 >>", bytes(20))))

# An A4 drawing of lines and circles, drawn at the resolution asked for.
a4 = [b"0 0 0 RG 0.5 w 28.35 28.35 538.58 785.19 re S 1.4 w"]
a4 += [b"60 %d m 530 %d l S" % (80 + 55 * i, 100 + 55 * i) for i in range(12)]
for r in (40, 80, 120):
    quarters = []
    for q in range(4):
        (c0, s0), (c1, s1) = [(1, 0), (0, 1), (-1, 0), (0, -1)][q], [(0, 1), (-1, 0), (0, -1), (1, 0)][q]
        k = 0.5523 * r
        quarters.append(b"%.2f %.2f %.2f %.2f %.2f %.2f c" % (300 + r * c0 - k * s0, 450 + r * s0 + k * c0,
                                                            300 + r * c1 + k * s1, 450 + r * s1 - k * c1,
                                                            300 + r * c1, 450 + r * s1))
    a4.append(b"%.2f 450 m " % (300 + r) + b" ".join(quarters) + b" S")
(OUT / "a4-drawing.pdf").write_bytes(pdf_file(595.276, 841.89, b"\n".join(a4)))

# A 203 x 77 picture at 144 dpi covering its page, read directly when nothing hides any of it.
picture = Image.new("1", (203, 77), 1)
picture.putdata([0 if (7 * x + 3 * y) % 11 == 0 or (x // 9 + y // 5) % 4 == 0 else 1
                 for y in range(77) for x in range(203)])
bits = zlib.compress(picture.tobytes())
width, height = 203 / 2, 77 / 2
placed = b"q %.4f 0 0 %.4f 0 0 cm /Im0 Do Q" % (width, height)
box = b"/MediaBox [0 0 %.4f %.4f]" % (width, height)
image = stream(b"/Type /XObject /Subtype /Image /Width 203 /Height 77 /ColorSpace /DeviceGray "
               b"/BitsPerComponent 1 /Filter /FlateDecode", bits)
mask = stream(b"/Type /XObject /Subtype /Image /Width 203 /Height 77 /ImageMask true /Filter /FlateDecode", bits)
with_image = b"<< /XObject << /Im0 5 0 R >> >>"


def hiding(name, content, page_entries=b"", image_object=image, resources=with_image, catalog=CATALOG,
           more=()):
    objects = [catalog, PAGES, page_of(b"", resources, box + page_entries), stream(b"", content), image_object]
    (OUT / name).write_bytes(pdf_objects(objects + list(more)))
    subprocess.run(["pdftoppm", "-r", "144", "-cropbox", "-gray", "-aa", "no", "-aaVector", "no", "-singlefile",
                    OUT / name, OUT / name[:-4]], check=True)


(OUT / "picture.pdf").write_bytes(pdf_objects([CATALOG, PAGES, page_of(b"", with_image, box),
                                               stream(b"", placed), image]))
hiding("mask-white.pdf", b"1 1 1 rg " + placed, image_object=mask)
hiding("mask-yellow.pdf", b"1 1 0 rg " + placed, image_object=mask)
hiding("clipped.pdf", b"q 0 0 %.4f %.4f re W n %s Q" % (width / 2, height, placed))
hiding("faded.pdf", b"/G0 gs " + placed,
       resources=b"<< /XObject << /Im0 5 0 R >> /ExtGState << /G0 << /ca 0 >> >> >>")
hiding("hidden-layer.pdf", placed, image_object=image.replace(b"/Type /XObject", b"/Type /XObject /OC 6 0 R"),
       catalog=b"<< /Type /Catalog /Pages 2 0 R /OCProperties << /OCGs [6 0 R] /D << /OFF [6 0 R] >> >> >>",
       more=[b"<< /Type /OCG /Name (Hidden) >>"])
hiding("cropped.pdf", placed, page_entries=b" /CropBox [0 0 %.4f %.4f]" % (width / 2, height))
hiding("rotated.pdf", placed, page_entries=b" /Rotate 90")

# Group 4 data with one bit flipped.
tiff = io.BytesIO()
picture.save(tiff, "TIFF", compression="group4")
with Image.open(io.BytesIO(tiff.getvalue())) as stored:
    offset, length = stored.tag_v2[273][0], stored.tag_v2[279][0]
group4 = bytearray(tiff.getvalue()[offset:offset + length])
fax = b"/Width 203 /Height 77 /ColorSpace /DeviceGray /BitsPerComponent 1 /Filter /CCITTFaxDecode " \
      b"/DecodeParms << /K -1 /Columns 203 /Rows 77 /BlackIs1 true >>"  # Pillow stores black as 0
(OUT / "group4.pdf").write_bytes(pdf_file(width, height, placed, (fax, bytes(group4))))
intact = bytes(group4)
group4[len(group4) // 3] ^= 0x10
(OUT / "damaged-group4.pdf").write_bytes(pdf_file(width, height, placed, (fax, bytes(group4))))
(OUT / "damaged-group4-drawn.pdf").write_bytes(pdf_file(width, height, b"0 0 m 1 1 l S " + placed,
                                                        (fax, bytes(group4))))
# A bit flipped near the end, which the drawing decodes through without a word.
group4 = bytearray(intact)
group4[1845] ^= 0x10
(OUT / "damaged-group4-quiet.pdf").write_bytes(pdf_file(width, height, b"0 0 m 1 1 l S " + placed,
                                                        (fax, bytes(group4))))
