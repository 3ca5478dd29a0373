# SPDX-License-Identifier: GPL-3.0-or-later
"""PDF files written by hand, for the test pictures and the fuzzing seeds."""


def pdf_file(page_width, page_height, content, image=None):
    """A one-page PDF written by hand: the content stream, and an image XObject /Im0 (dictionary entries,
    data) when given."""
    resources = b"<< /XObject << /Im0 5 0 R >> >>" if image else b"<< >>"
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>", b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
               b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 %.4f %.4f] /Contents 4 0 R /Resources %s >>"
               % (page_width, page_height, resources),
               b"<< /Length %d >>\nstream\n%s\nendstream" % (len(content), content)]
    if image:
        entries, data = image
        objects.append(b"<< /Type /XObject /Subtype /Image %s /Length %d >>\nstream\n%s\nendstream"
                       % (entries, len(data), data))
    return pdf_objects(objects)


def pdf_objects(objects):
    """A PDF file of the numbered object bodies given, the first the catalog."""
    out = b"%PDF-1.4\n"
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n%s\nendobj\n" % (number, body)
    table = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    out += b"".join(b"%010d 00000 n \n" % offset for offset in offsets)
    return out + b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, table)


def stream(entries, data):
    """A stream object's body: its dictionary entries and data."""
    return b"<< %s /Length %d >>\nstream\n%s\nendstream" % (entries, len(data), data)
