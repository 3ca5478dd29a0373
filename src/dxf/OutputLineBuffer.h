#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/LargeBuffer.h"
#include "fileutil/Cp932Codec.h"

namespace kelvarin {

// The text lines of the DXF being built, in file order, kept as the bytes the file will hold: each line
// in code page 932 followed by CR LF, in large blocks, so the document takes the memory of its file and
// no string object per line. Lines never contain CR (templates are split there, other text is refused),
// so every CR ends a line.
class OutputLineBuffer {
public:
    // Discards every line and its storage.
    void clear();
    // Appends a copy of the UTF-8 text as one line. Throws the program's error when the text has no code
    // page 932 form or holds a CR (a lone LF is text), and Overflow when the count would leave the 32-bit
    // range.
    void append(std::string_view text) {
        // Inline for the common case, millions of times a document: short ASCII text that fits the block.
        if (m_count % kLinesPerCheckpoint != 0 && m_count < kMaxCount && isPlainAscii(text) &&
            m_blocks.back().memory.size() - m_blocks.back().used >= text.size() + 2) {
            Block& block = m_blocks.back();
            char* out = reinterpret_cast<char*>(block.memory.data()) + block.used;
            for (char c : text) {
                *out++ = c;
            }
            out[0] = '\r';
            out[1] = '\n';
            block.used += text.size() + 2;
            ++m_count;
            return;
        }
        appendAnyText(text);
    }

    std::int32_t count() const { return m_count; }
    // The text of line index (UTF-8); throws SubscriptOutOfRange outside 0 .. count() - 1.
    std::string line(std::int32_t index) const;
    // Bytes allocated for the text and its index.
    std::size_t memoryUsed() const;

    // The stored bytes, block after block: lines with their CR LF, never split between blocks.
    std::size_t blockCount() const { return m_blocks.size(); }
    std::span<const char> block(std::size_t index) const;

private:
    struct Block {
        LargeBuffer memory;
        std::size_t used;
    };
    struct Position {
        std::uint32_t block;
        std::uint32_t offset;
    };
    static constexpr std::int32_t kLinesPerCheckpoint = 256;
    static constexpr std::int32_t kMaxCount = 2147483647;

    static bool isPlainAscii(std::string_view text) {
        bool plain = true;
        for (char c : text) {
            plain &= static_cast<unsigned char>(c) < 0x80 && c != '\r';
        }
        return plain;
    }
    void appendAnyText(std::string_view text);

    // The code page 932 bytes of non-ASCII text.
    std::string_view encoded(std::string_view text);
    char* reserve(std::size_t size);

    std::vector<Block> m_blocks;
    std::vector<Position> m_checkpoints;  // where every kLinesPerCheckpoint-th line starts
    std::int32_t m_count = 0;
    std::optional<Cp932Codec> m_codec;
    std::string m_lastText;  // the last non-ASCII text and its bytes: the layer name repeats on every LINE
    std::string m_lastEncoded;
};

inline void ResetOutputLines(OutputLineBuffer& lines) { lines.clear(); }
inline void AppendOutputLine(OutputLineBuffer& lines, std::string_view text) { lines.append(text); }

}  // namespace kelvarin
