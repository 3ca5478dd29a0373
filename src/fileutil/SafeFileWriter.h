// SPDX-License-Identifier: GPL-3.0-or-later
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
// the temporary file is named from the start (".kelvarin-XXXXXX"). The writer locks its temporary file,
// and a later write of the same target removes one whose writer was killed. A target that may not be replaced
// gets the new file only if it still does not exist at that moment (an atomic link or rename).
// A character device or a pipe is written as a stream, and kStandardOutput is the process's standard
// output. An existing file the user may write in a folder where the user may not create files is
// overwritten in place, but only once the whole new file is complete in a temporary file in $TMPDIR
// (or /tmp): a failure before that leaves the old file as it was.
// Every failure throws the program's error; the temporary file is then removed.
class SafeFileWriter {
public:
    // The target that stands for the standard output.
    static constexpr const char* kStandardOutput = "/dev/stdout";

    // Refuses a target that is a directory, a block device, a read-only file or a file the user may not
    // write, and an existing regular file when mayReplace is false.
    explicit SafeFileWriter(const std::string& path, const FileSystemCalls& calls = FileSystemCalls::system(),
                            bool mayReplace = true);
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    void write(std::string_view bytes);
    void commit();

private:
    enum class Kind {
        Device,       // a device or pipe, written as a stream
        Overwritten,  // a file in a folder that takes no new files, copied over from a temporary file
        Unnamed,      // a temporary file without a name until commit()
        Named,        // a temporary file with a hidden name from the start
    };

    void openStream();
    // Gives 0, or the error number of the failed creation.
    int openTemporary();
    int openNamedTemporary();
    void lockTemporary();
    void releaseLock() noexcept;
    void openTemporaryElsewhere();
    // Links the unnamed file under name; gives 0 or the error number.
    int linkUnnamedAs(const std::string& name);
    void linkUnnamed();
    void placeWithoutReplacing();
    void copyOverTarget();
    void flushBuffer();
    void writeThrough(const char* data, std::size_t size);
    void startWriteback();
    [[noreturn]] void fail(int error);
    void discard() noexcept;

    FileSystemCalls m_calls;
    bool m_mayReplace = true;
    Kind m_kind = Kind::Device;
    std::string m_targetPath;
    std::string m_directoryPrefix;  // the target's directory with a trailing separator, or empty
    std::string m_temporaryPath;    // set while a named temporary file exists
    std::string m_temporaryFolder;  // where the new bytes are written before they go over the target
    int m_descriptor = -1;
    int m_lock = -1;  // holds the temporary file's lock while this writer uses it
    std::vector<char> m_buffer;
    std::size_t m_buffered = 0;
    off_t m_written = 0;         // bytes written to the file so far
    off_t m_writebackStart = 0;  // where the part not yet handed to the disk starts
};

}  // namespace kelvarin
