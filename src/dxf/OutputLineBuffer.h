#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace kelvarin {

// The text lines of the DXF being built, in file order. The text is kept in large blocks, each line
// behind a short length prefix, so a document takes little more memory than its file: no string object
// per line. A line may be empty and may hold any bytes; it is stored unchanged.
class OutputLineBuffer {
public:
    struct Line {
        std::string_view text;
        bool ascii;  // the line can be written without code-page conversion
    };

    class Reader;

    // Discards every line and its storage.
    void clear();
    // Appends a copy of text; throws Overflow when the count would leave the 32-bit range.
    void append(std::string_view text);

    std::int32_t count() const { return m_count; }
    // Line index; throws SubscriptOutOfRange outside 0 .. count() - 1.
    Line line(std::int32_t index) const;
    // Bytes allocated for the text and its index.
    std::size_t memoryUsed() const;

    Reader reader() const;

private:
    struct Block {
        std::unique_ptr<char[]> data;
        std::size_t capacity;
        std::size_t used;
    };
    struct Position {
        std::uint32_t block;
        std::uint32_t offset;
    };
    static constexpr std::int32_t kLinesPerCheckpoint = 256;

    // Decodes the line stored at position and moves position past it.
    Line decodeAt(Position& position) const;

    std::vector<Block> m_blocks;
    std::vector<Position> m_checkpoints;  // the position of every kLinesPerCheckpoint-th line
    std::int32_t m_count = 0;
};

// Reads the lines in order, from the first.
class OutputLineBuffer::Reader {
public:
    explicit Reader(const OutputLineBuffer& buffer) : m_buffer(buffer) {}
    // The next line, or false after the last.
    bool next(Line& line);

private:
    const OutputLineBuffer& m_buffer;
    Position m_position{0, 0};
    std::int32_t m_read = 0;
};

inline void ResetOutputLines(OutputLineBuffer& lines) { lines.clear(); }
inline void AppendOutputLine(OutputLineBuffer& lines, std::string_view text) { lines.append(text); }

}  // namespace kelvarin
