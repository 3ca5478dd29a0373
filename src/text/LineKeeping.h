// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include "text/GlyphGroups.h"
#include "text/LineJoins.h"
#include "text/TextLines.h"

namespace kelvarin {

// Drops the glyph at either end of the line, along direction degrees, that is longer than the line's other
// glyphs (two at least) by far and stands apart from them by half their size or reaches out of their band by
// half its height: a line's characters are of a size, close together and in line, and an arrowhead with a
// piece of its line, or a leader's landing, beside a value is not one of them. The parts of a kanji lie close
// to the whole kanji beside them, within its height. Dust (under smallest / 2) tells nothing.
void dropOversizedEnds(const std::vector<Glyph>& glyphs, std::vector<std::size_t>& members, double degrees,
                       double smallest);

// Drops the marks beside a line's characters: thin bars much longer than the line's glyphs are lines of a
// table or a frame beside the text, and flat pieces twice as long are arrows with their tails or dashes of
// a line: no character is so long and so low beside its line's.
void dropMarks(const std::vector<Glyph>& glyphs, std::vector<std::size_t>& members);

// Whether the members may be a line of text: a glyph as long as the smallest, and neither a ring alone (but
// for dust; a circle, a small hole's, not an O), nor mostly straight strokes (the pieces of crossing lines:
// text has few straight glyphs), nor one or two open strokes not across or up (a piece of a line or an arc).
bool mayBeText(const std::vector<Glyph>& glyphs, const std::vector<std::size_t>& members, const GlyphSizes& sizes);

// The lines found, each kept when its members, marks and oversized ends dropped, may be text.
class LineKeeper {
public:
    LineKeeper(const std::vector<Glyph>& glyphs, const GlyphSizes& sizes) : m_glyphs(glyphs), m_sizes(sizes) {}

    // Keeps the members as a line running along direction `along`, its directions found from the members
    // kept by directionsOf.
    template <typename DirectionsOf>
    void keep(std::vector<std::size_t> members, double along, const DirectionsOf& directionsOf) {
        dropMarks(m_glyphs, members);
        if (members.empty()) {
            return;
        }
        dropOversizedEnds(m_glyphs, members, along, m_sizes.smallest);
        std::vector<double> directions = directionsOf(members);
        if (mayBeText(m_glyphs, members, m_sizes)) {
            m_lines.push_back({std::move(members), std::move(directions)});
        }
    }

    // Keeps a line in the one direction, and the opposite one.
    void keepAskew(std::vector<std::size_t> members, double degrees) {
        keep(std::move(members), degrees, [&](const auto&) {
            return std::vector<double>{degrees < 0 ? degrees + 360 : degrees, degrees + 180};
        });
    }

    // Characters one over the other (a tag's two numbers) are each read alone, as a character alone is:
    // from below or from the right, as a drawing has it. The dust between them stays geometry.
    void keepEachAlone(const std::vector<std::size_t>& members) {
        for (const std::size_t i : members) {
            if (glyphSize(m_glyphs[i]) >= m_sizes.smallest / 2.0) {
                keep({i}, 0, [](const auto&) { return std::vector<double>{0, 90}; });
            }
        }
    }

    std::vector<GlyphLine> lines() && { return std::move(m_lines); }

private:
    const std::vector<Glyph>& m_glyphs;
    const GlyphSizes& m_sizes;
    std::vector<GlyphLine> m_lines;
};

}  // namespace kelvarin
