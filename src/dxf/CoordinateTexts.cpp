// SPDX-License-Identifier: GPL-3.0-or-later
#include "dxf/CoordinateTexts.h"

#include <cstring>
#include <string>

#include "common/TextFormat.h"

namespace kelvarin {

CoordinateTexts::CoordinateTexts(double scale, double offset) : m_scale(scale), m_offset(offset), m_entries(kEntries) {}

void CoordinateTexts::fill(Entry& entry, std::int64_t cell, bool middle) const {
    const std::string text = formatGeneral(middle ? drawingCoordinateOfMiddle(cell, m_scale, m_offset)
                                                  : drawingCoordinate(cell, m_scale, m_offset));
    // The general format has at most 15 digits, a sign, a point and a four-character exponent.
    entry.length = static_cast<std::uint8_t>(std::min(text.size(), sizeof entry.text));
    std::memcpy(entry.text, text.data(), entry.length);
    entry.cell = cell;
}

}  // namespace kelvarin
