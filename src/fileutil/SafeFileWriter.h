#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

#include "fileutil/FileSystemCalls.h"

namespace kelvarin {

// Writes a file so that a failure never damages what was there: the bytes go to an unnamed temporary
// file in the same directory, which gets a short hidden name and replaces the target only in commit(),
// after everything has been written and flushed to disk. Where the file system has no unnamed files,
// the temporary file is named from the start (".kelvarin-XXXXXX"). A target that is not a regular file
// (a device, a pipe) is written in place, since it cannot be replaced; so is an existing file the user
// may write in a folder where the user may not create files, and then a failed write leaves it incomplete.
// Every failure throws the program's error; the temporary file is then removed.
class SafeFileWriter {
public:
    // Refuses a target that is a directory, a read-only file or a file the user may not write.
    explicit SafeFileWriter(const std::string& path, const FileSystemCalls& calls = FileSystemCalls::system());
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    void write(std::string_view bytes);
    void commit();

private:
    enum class Kind {
        Device,       // a device or pipe, written in place
        Overwritten,  // a file in a folder that takes no new files, written in place
        Unnamed,      // a temporary file without a name until commit()
        Named,        // a temporary file with a hidden name from the start
    };

    void openInPlace(Kind kind);
    // Gives 0, or the error number of the failed creation.
    int openTemporary();
    void linkUnnamed();
    void flushBuffer();
    void writeThrough(const char* data, std::size_t size);
    void startWriteback();
    [[noreturn]] void fail(int error);
    void discard() noexcept;

    FileSystemCalls m_calls;
    Kind m_kind = Kind::Device;
    std::string m_targetPath;
    std::string m_directoryPrefix;  // the target's directory with a trailing separator, or empty
    std::string m_temporaryPath;    // set while a named temporary file exists
    int m_descriptor = -1;
    std::vector<char> m_buffer;
    std::size_t m_buffered = 0;
    off_t m_written = 0;         // bytes written to the file so far
    off_t m_writebackStart = 0;  // where the part not yet handed to the disk starts
};

}  // namespace kelvarin
