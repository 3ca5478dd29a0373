// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace kelvarin {

class PackedRows;

// The picture as a viewer shows it, from rows stored in one of the eight orientations TIFF names (1: rows
// top to bottom, columns left to right; 2-8 mirrored, turned, or both). Orientations 5-8 swap width and
// height. Any other value is taken as 1.
PackedRows orientedRows(PackedRows&& stored, int orientation);

}  // namespace kelvarin
