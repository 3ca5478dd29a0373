#pragma once

#include <qpdf/QPDFObjectHandle.hh>

#include "bitmap/BitmapData.h"

namespace kelvarin {

// Decodes an image XObject that covers a whole page at its own pixel size and the given resolution: Group 4
// fax data by the TIFF reader (so a page made from a TIFF gives that TIFF's picture bit for bit), Flate, LZW,
// run-length and JPEG data in grey, RGB or indexed colours through the read's threshold. Gives false, having
// installed nothing, for an encoding or colour space read no other way than by drawing the page. Throws
// ImageRefusal for data too short for the declared size.
bool decodePdfImage(QPDFObjectHandle image, Resolution resolution, const ReadOptions& options, BitmapData& data);

}  // namespace kelvarin
