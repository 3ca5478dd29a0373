// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "convert/VirtualVram.h"

namespace kelvarin::test {

// Packed rows (bit 1 a line cell) and the grid over them.
struct Cells {
    std::int32_t width, height;
    std::int64_t stride;
    std::vector<std::uint8_t> rows;
    VirtualVram grid;

    Cells(std::int32_t w, std::int32_t h) : width(w), height(h), stride((w + 31) / 32 * 4) {
        rows.assign(static_cast<std::size_t>(stride * h), 0);
        grid.attach(rows, w, h, stride);
    }
    bool at(std::int32_t x, std::int32_t y) const { return grid.at(x, y) != 0; }
    void set(std::int32_t x, std::int32_t y, bool on = true) {
        auto& byte = rows[static_cast<std::size_t>(y * stride + x / 8)];
        const auto bit = static_cast<std::uint8_t>(0x80 >> (x % 8));
        byte = static_cast<std::uint8_t>(on ? byte | bit : byte & ~bit);
    }
};

}  // namespace kelvarin::test
