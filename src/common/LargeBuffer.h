// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>

namespace kelvarin {

// Zero-filled memory for the program's big arrays (the file read, decoded pixel rows), taken straight from the
// system: nothing is cleared by hand, and huge pages are asked for, which spares most of the page faults
// of filling tens of megabytes. Throws std::bad_alloc when the memory cannot be had.
class LargeBuffer {
public:
    LargeBuffer() = default;
    explicit LargeBuffer(std::size_t size);
    ~LargeBuffer();
    LargeBuffer(LargeBuffer&& other) noexcept;
    LargeBuffer& operator=(LargeBuffer&& other) noexcept;
    LargeBuffer(const LargeBuffer&) = delete;
    LargeBuffer& operator=(const LargeBuffer&) = delete;

    unsigned char* data() const { return m_data; }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    unsigned char* begin() const { return m_data; }
    unsigned char* end() const { return m_data + m_size; }
    unsigned char& operator[](std::size_t index) const { return m_data[index]; }

private:
    void release() noexcept;

    unsigned char* m_data = nullptr;
    std::size_t m_size = 0;
};

}  // namespace kelvarin
