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

// The texts of one axis's coordinates in the general number format, remembered in a table of fixed size
// indexed by the cell's low bits: a drawing's LINEs use each column and row many times, and the table
// stays small however wide the picture is.
class CoordinateTexts {
public:
    CoordinateTexts(double scale, double offset);

    std::string_view at(std::int64_t cell) {
        Entry& entry = m_entries[static_cast<std::size_t>(cell) & kMask];
        if (entry.cell != cell) {
            fill(entry, cell);
        }
        return {entry.text, entry.length};
    }

private:
    static constexpr std::size_t kEntries = 1 << 16;
    static constexpr std::size_t kMask = kEntries - 1;
    struct Entry {
        std::int64_t cell = -1;
        std::uint8_t length = 0;
        char text[23];
    };
    void fill(Entry& entry, std::int64_t cell) const;

    double m_scale;
    double m_offset;
    std::vector<Entry> m_entries;
};

}  // namespace kelvarin
