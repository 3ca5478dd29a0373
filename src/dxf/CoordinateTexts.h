// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace kelvarin {

// The drawing coordinate of a cell: multiplied, then added, each rounded to double.
inline double drawingCoordinate(std::int64_t cell, double scale, double offset) {
    const double scaled = static_cast<double>(cell) * scale;
    return scaled + offset;
}

// The drawing coordinate of the middle of a cell, cell + 0.5, which a stroke of an even thickness runs
// through.
inline double drawingCoordinateOfMiddle(std::int64_t cell, double scale, double offset) {
    const double scaled = (static_cast<double>(cell) + 0.5) * scale;
    return scaled + offset;
}

// The texts of one axis's coordinates in the general number format, remembered in a table of fixed size
// indexed by the cell's low bits: a drawing's LINEs use each column and row many times, and the table
// stays small however wide the picture is.
class CoordinateTexts {
public:
    CoordinateTexts(double scale, double offset);

    std::string_view at(std::int64_t cell) { return lookUp(m_entries, cell, false); }
    // A position in half cells: even ones are cells, odd ones the middles of cells.
    std::string_view atHalves(std::int64_t halves) {
        if ((halves & 1) == 0) {
            return at(halves >> 1);
        }
        if (m_middleEntries.empty()) {
            m_middleEntries.resize(kEntries);
        }
        return lookUp(m_middleEntries, halves >> 1, true);
    }

private:
    static constexpr std::size_t kEntries = 1 << 16;
    static constexpr std::size_t kMask = kEntries - 1;
    struct Entry {
        std::int64_t cell = -1;
        std::uint8_t length = 0;
        char text[23];
    };
    std::string_view lookUp(std::vector<Entry>& entries, std::int64_t cell, bool middle) const {
        Entry& entry = entries[static_cast<std::size_t>(cell) & kMask];
        if (entry.cell != cell) {
            fill(entry, cell, middle);
        }
        return {entry.text, entry.length};
    }
    void fill(Entry& entry, std::int64_t cell, bool middle) const;

    double m_scale;
    double m_offset;
    std::vector<Entry> m_entries;
    std::vector<Entry> m_middleEntries;  // made on first use: only strokes have middles
};

}  // namespace kelvarin
