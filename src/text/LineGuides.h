// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <vector>

#include "text/AskewLines.h"
#include "text/GlyphGroups.h"

namespace kelvarin {

// The long lines at other angles as guides to the text along them.

// Whether the glyph holds an end of the line and reaches across it both ways: the ring, dot or arrowhead
// that marks where the line ends, which is the line's and no letter, though a letter may touch it.
bool marksLineEnd(const Glyph& glyph, const AskewLine& line);

// Marks each glyph touching a line set aside at another angle, or standing beside one found, with the line
// and its direction; drops the marks of the set-aside lines' ends.
void markGuides(const std::vector<AskewLine>& lines, std::vector<Glyph>& glyphs);

// The glyphs of a group near each other that run along a long line at another angle, which two of their
// characters at least touch or stand just beside (labels on their guide lines, a value on its dimension
// line), their centres following it: one group
// for each such line, in its direction, and those near none of them left in rest. A glyph that does not
// touch the line itself joins the guided glyph nearest it when it stands in that glyph's band across the
// line (a round top or an underscore short of the line). A glyph touching a line that runs along no such
// group is cut: it came apart from the line when the line was set aside, a piece of where lines cross or
// end, and stays geometry with it.
struct GuidedGroup {
    std::vector<std::size_t> members;
    double degrees = 0;  // from -90 up to 90, as fitted directions are
};

std::vector<GuidedGroup> splitByGuides(const std::vector<Glyph>& glyphs, const std::vector<std::size_t>& group,
                                       double smallest, std::vector<std::size_t>& rest, std::vector<std::size_t>& cut);

}  // namespace kelvarin
