// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bitmap/BitmapData.h"
#include "convert/PictureTurn.h"
#include "convert/VirtualVram.h"

namespace kelvarin {

class Toolkit;
struct PassState;

// Finds the skew of the grid's line cells and turns them back about the picture's centre, so that lines
// square to the page come out square: two numbered passes ("傾き検出", "傾き補正"), PassNumber + 1 after
// each. skewDegrees gets the angle found (counter-clockwise; 0 when the page has no long lines). Gives
// the grid to convert: turned's, or the grid itself when the turn would move no cell by half a cell or
// when turnPicture is false (the vector mode turns its drawing instead).
const VirtualVram& Deskew(const BmpHeaderBytes& header, const VirtualVram& grid, TurnedGrid& turned,
                          double& skewDegrees, bool turnPicture, PassState& pass, Toolkit& toolkit);

}  // namespace kelvarin
