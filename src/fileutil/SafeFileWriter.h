#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvarin {

// Writes a file so that a failure never damages what was there: the bytes go to a temporary file in the
// same directory, which replaces the target only in commit(), after everything has been written and
// flushed to disk. A target that is not a regular file (a device, a pipe) is written in place, since it
// cannot be replaced. Every failure throws the program's error; the temporary file is then removed.
class SafeFileWriter {
public:
    // Refuses a target that is a directory, a read-only file or a file the user may not write.
    explicit SafeFileWriter(const std::string& path);
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    void write(std::string_view bytes);
    void commit();

private:
    void flushBuffer();
    void writeThrough(const char* data, std::size_t size);
    void discard() noexcept;

    std::string m_targetPath;
    std::string m_temporaryPath;  // empty when writing in place
    int m_descriptor = -1;
    std::vector<char> m_buffer;
    std::size_t m_buffered = 0;
};

}  // namespace kelvarin
