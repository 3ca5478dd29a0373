#include "dxf/OutputLineBuffer.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "common/Error.h"

namespace kelvarin {

namespace {

constexpr std::size_t kBlockSize = 4 << 20;

struct TextKind {
    bool ascii = true;
    bool carriageReturn = false;
};

// One pass over the text, which is short and comes once per line.
TextKind kindOf(std::string_view text) {
    TextKind kind;
    for (char c : text) {
        kind.ascii &= static_cast<unsigned char>(c) < 0x80;
        kind.carriageReturn |= c == '\r';
    }
    return kind;
}

}  // namespace

void OutputLineBuffer::clear() {
    m_blocks.clear();
    m_blocks.shrink_to_fit();
    m_checkpoints.clear();
    m_checkpoints.shrink_to_fit();
    m_count = 0;
}

std::string_view OutputLineBuffer::encoded(std::string_view text) {
    if (text != m_lastText) {
        if (!m_codec) {
            m_codec.emplace();
        }
        m_lastEncoded = m_codec->encode(text);
        m_lastText = text;
    }
    return m_lastEncoded;
}

char* OutputLineBuffer::reserve(std::size_t size) {
    if (m_blocks.empty() || m_blocks.back().memory.size() - m_blocks.back().used < size) {
        const std::size_t capacity = std::max(kBlockSize, size);
        if (capacity > std::numeric_limits<std::uint32_t>::max() ||
            m_blocks.size() >= std::numeric_limits<std::uint32_t>::max()) {
            throw KelvarinError(ErrorCode::Overflow);
        }
        m_blocks.push_back({LargeBuffer(capacity), 0});
    }
    Block& block = m_blocks.back();
    if (m_count % kLinesPerCheckpoint == 0) {
        m_checkpoints.push_back(
            {static_cast<std::uint32_t>(m_blocks.size() - 1), static_cast<std::uint32_t>(block.used)});
    }
    char* out = reinterpret_cast<char*>(block.memory.data()) + block.used;
    block.used += size;
    return out;
}

void OutputLineBuffer::appendAnyText(std::string_view text) {
    if (m_count == kMaxCount) {
        throw KelvarinError(ErrorCode::Overflow);
    }
    const TextKind kind = kindOf(text);
    if (kind.carriageReturn) {
        throw KelvarinError(ErrorCode::InvalidCall, "1 行の中に CR は書けません。");
    }
    const std::string_view bytes = kind.ascii ? text : encoded(text);
    char* out = reserve(bytes.size() + 2);
    std::memcpy(out, bytes.data(), bytes.size());
    out[bytes.size()] = '\r';
    out[bytes.size() + 1] = '\n';
    ++m_count;
}

std::string OutputLineBuffer::line(std::int32_t index) const {
    if (index < 0 || index >= m_count) {
        throw KelvarinError(ErrorCode::SubscriptOutOfRange);
    }
    const Position start = m_checkpoints[static_cast<std::size_t>(index / kLinesPerCheckpoint)];
    std::size_t blockIndex = start.block;
    std::size_t offset = start.offset;
    for (std::int32_t skip = index % kLinesPerCheckpoint;; --skip) {
        const std::span<const char> bytes = block(blockIndex);
        if (offset == bytes.size()) {
            ++blockIndex;  // the rest of a block stays free when the next line does not fit
            offset = 0;
            ++skip;
            continue;
        }
        const auto end = static_cast<std::size_t>(
            static_cast<const char*>(std::memchr(bytes.data() + offset, '\r', bytes.size() - offset)) - bytes.data());
        if (skip == 0) {
            const std::string_view stored(bytes.data() + offset, end - offset);
            return isAscii(stored) ? std::string(stored) : Cp932Codec().decode(stored);
        }
        offset = end + 2;
    }
}

std::size_t OutputLineBuffer::memoryUsed() const {
    std::size_t total = m_checkpoints.capacity() * sizeof(Position) + m_blocks.capacity() * sizeof(Block);
    for (const Block& block : m_blocks) {
        total += block.memory.size();
    }
    return total;
}

std::span<const char> OutputLineBuffer::block(std::size_t index) const {
    const Block& stored = m_blocks.at(index);
    return {reinterpret_cast<const char*>(stored.memory.data()), stored.used};
}

}  // namespace kelvarin
