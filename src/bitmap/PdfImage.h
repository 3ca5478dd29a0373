// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bitmap/BitmapData.h"
#include "bitmap/PdfDocument.h"

namespace kelvarin {

// Decodes the image that covers a PDF page at its own pixel size and resolution: Group 4 fax data by the
// TIFF reader (so a page made from a TIFF gives that TIFF's picture bit for bit), Flate, LZW, run-length
// and JPEG data in grey, RGB or indexed colours through the read's threshold. Gives false, having installed
// nothing, for an encoding or colour space read no other way than by drawing the page. Throws ImageRefusal
// for data too short for the declared size.
bool decodePdfImage(pdf::Document& document, const pdf::ImageFacts& image, const ReadOptions& options,
                    BitmapData& data);

// Decodes the Group 4 fax data of every image a page to be drawn paints by its own content, as a TIFF's are,
// and throws ImageRefusal for damaged data: the drawing decodes through much damage without a word. Images
// of more than 2^30 dots (128 MiB packed) are left to the drawing's own complaints.
void checkDrawnFaxData(pdf::Document& document);

}  // namespace kelvarin
