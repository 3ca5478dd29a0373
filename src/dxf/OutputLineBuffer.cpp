#include "dxf/OutputLineBuffer.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "common/Error.h"

namespace kelvarin {

namespace {

constexpr std::size_t kBlockSize = 1 << 20;

// A line's prefix is the length times 2, plus 1 when the text is not pure ASCII, in 7-bit groups with the
// high bit marking that another group follows.
std::size_t prefixSize(std::uint64_t prefix) {
    std::size_t size = 1;
    while (prefix >= 0x80) {
        prefix >>= 7;
        ++size;
    }
    return size;
}

bool isAsciiText(std::string_view text) {
    unsigned char any = 0;
    for (char c : text) {
        any |= static_cast<unsigned char>(c);
    }
    return any < 0x80;
}

}  // namespace

void OutputLineBuffer::clear() {
    m_blocks.clear();
    m_blocks.shrink_to_fit();
    m_checkpoints.clear();
    m_checkpoints.shrink_to_fit();
    m_count = 0;
}

void OutputLineBuffer::append(std::string_view text) {
    if (m_count == std::numeric_limits<std::int32_t>::max()) {
        throw KelvarinError(ErrorCode::Overflow);
    }
    std::uint64_t prefix = static_cast<std::uint64_t>(text.size()) << 1 | (isAsciiText(text) ? 0 : 1);
    const std::size_t needed = prefixSize(prefix) + text.size();
    if (m_blocks.empty() || m_blocks.back().capacity - m_blocks.back().used < needed) {
        const std::size_t capacity = std::max(kBlockSize, needed);
        if (capacity > std::numeric_limits<std::uint32_t>::max() ||
            m_blocks.size() >= std::numeric_limits<std::uint32_t>::max()) {
            throw KelvarinError(ErrorCode::Overflow);
        }
        m_blocks.push_back({std::make_unique_for_overwrite<char[]>(capacity), capacity, 0});
    }
    Block& block = m_blocks.back();
    if (m_count % kLinesPerCheckpoint == 0) {
        m_checkpoints.push_back(
            {static_cast<std::uint32_t>(m_blocks.size() - 1), static_cast<std::uint32_t>(block.used)});
    }
    char* out = block.data.get() + block.used;
    while (prefix >= 0x80) {
        *out++ = static_cast<char>((prefix & 0x7F) | 0x80);
        prefix >>= 7;
    }
    *out++ = static_cast<char>(prefix);
    std::memcpy(out, text.data(), text.size());
    block.used += needed;
    ++m_count;
}

OutputLineBuffer::Line OutputLineBuffer::decodeAt(Position& position) const {
    if (m_blocks[position.block].used == position.offset) {
        ++position.block;  // the rest of a block is left free when the next line does not fit
        position.offset = 0;
    }
    const Block& block = m_blocks[position.block];
    const char* in = block.data.get() + position.offset;
    std::uint64_t prefix = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(*in++);
        prefix |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
        if (byte < 0x80) {
            break;
        }
    }
    const auto length = static_cast<std::size_t>(prefix >> 1);
    const Line line{std::string_view(in, length), (prefix & 1) == 0};
    position.offset = static_cast<std::uint32_t>(in + length - block.data.get());
    return line;
}

OutputLineBuffer::Line OutputLineBuffer::line(std::int32_t index) const {
    if (index < 0 || index >= m_count) {
        throw KelvarinError(ErrorCode::SubscriptOutOfRange);
    }
    Position position = m_checkpoints[static_cast<std::size_t>(index / kLinesPerCheckpoint)];
    for (std::int32_t skip = index % kLinesPerCheckpoint; skip > 0; --skip) {
        decodeAt(position);
    }
    return decodeAt(position);
}

std::size_t OutputLineBuffer::memoryUsed() const {
    std::size_t total = m_checkpoints.capacity() * sizeof(Position) + m_blocks.capacity() * sizeof(Block);
    for (const Block& block : m_blocks) {
        total += block.capacity;
    }
    return total;
}

OutputLineBuffer::Reader OutputLineBuffer::reader() const { return Reader(*this); }

bool OutputLineBuffer::Reader::next(Line& line) {
    if (m_read >= m_buffer.m_count) {
        return false;
    }
    line = m_buffer.decodeAt(m_position);
    ++m_read;
    return true;
}

}  // namespace kelvarin
