// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/LargeBuffer.h"

#include <sys/mman.h>

#include <new>
#include <utility>

namespace kelvarin {

LargeBuffer::LargeBuffer(std::size_t size) : m_size(size) {
    if (size == 0) {
        return;
    }
    void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        throw std::bad_alloc();
    }
    // A hint, for the whole huge pages only: a partly used one at the end would count in full.
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    if (size >= kHugePage) {
        madvise(memory, size - size % kHugePage, MADV_HUGEPAGE);
    }
    m_data = static_cast<unsigned char*>(memory);
}

LargeBuffer::~LargeBuffer() { release(); }

LargeBuffer::LargeBuffer(LargeBuffer&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)) {}

LargeBuffer& LargeBuffer::operator=(LargeBuffer&& other) noexcept {
    if (this != &other) {
        release();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

void LargeBuffer::release() noexcept {
    if (m_data != nullptr) {
        munmap(m_data, m_size);
        m_data = nullptr;
    }
    m_size = 0;
}

}  // namespace kelvarin
