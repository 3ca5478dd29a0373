// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileutil/SafeFileWriter.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "common/Error.h"
#include "fileutil/Path.h"
#include "fileutil/TemporaryFiles.h"

namespace kelvarin {

namespace {

constexpr std::size_t kBufferSize = 64 << 10;
constexpr int kNameAttempts = 100;

[[noreturn]] void throwErrno() { throw systemError(errno); }

// The path a symbolic link leads to, so that the link itself stays a link.
std::string resolvedTarget(const std::string& path) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) != nullptr) {
        return resolved;
    }
    return path;
}

mode_t modeForNewFile() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

SafeFileWriter::SafeFileWriter(const std::string& path, const FileSystemCalls& calls, bool mayReplace)
    : m_calls(calls), m_mayReplace(mayReplace), m_buffer(kBufferSize) {
    if (path.find('\0') != std::string::npos || path.empty()) {
        throw KelvarinError(ErrorCode::BadFileName);
    }
    m_targetPath = path;
    if (path == kStandardOutput) {
        // The descriptor itself, not the file it leads to: a pipe, or a file opened for appending.
        m_descriptor = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
        if (m_descriptor < 0) {
            throwErrno();
        }
        return;
    }
    struct stat status {};
    const bool exists = stat(path.c_str(), &status) == 0;
    if (!exists && errno != ENOENT) {
        throwErrno();
    }
    if (exists && S_ISDIR(status.st_mode)) {
        throw systemError(EISDIR);
    }
    if (exists && S_ISBLK(status.st_mode)) {
        throw KelvarinError(ErrorCode::PathFileAccess, "ブロックデバイスには書き出しません");
    }
    if (exists && !S_ISREG(status.st_mode)) {
        openStream();
        return;
    }
    // A read-only file is refused even for a user whom permissions do not stop, as it would be elsewhere.
    if (exists && (status.st_mode & 0222) == 0) {
        throw systemError(EACCES);
    }
    if (exists && access(path.c_str(), W_OK) != 0) {
        throwErrno();
    }
    if (exists && !mayReplace) {
        throw systemError(EEXIST);
    }
    if (exists) {
        m_targetPath = resolvedTarget(path);
    }
    const int error = openTemporary();
    if (error == EACCES && exists) {
        // A folder that takes no new files, holding a file the user may write: the file is overwritten
        // with the new bytes, once they are complete elsewhere.
        openTemporaryElsewhere();
        return;
    }
    if (error != 0) {
        throw systemError(error);
    }
    if (m_calls.changeMode(m_descriptor, exists ? (status.st_mode & 07777) : modeForNewFile()) != 0) {
        fail(errno);
    }
}

SafeFileWriter::~SafeFileWriter() { discard(); }

// Opening a pipe waits for a reader; a stop request (a signal) ends the wait with EINTR.
void SafeFileWriter::openStream() {
    m_descriptor = m_calls.openFile(m_targetPath.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC, 0);
    if (m_descriptor < 0) {
        throwErrno();
    }
    m_kind = Kind::Device;
}

// An unnamed file in $TMPDIR (or /tmp), or one whose name is removed at once: nothing of it can stay.
void SafeFileWriter::openTemporaryElsewhere() {
    const char* variable = std::getenv("TMPDIR");
    const std::string folder = variable != nullptr && *variable != '\0' ? variable : "/tmp";
    m_descriptor = m_calls.openFile(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (m_descriptor < 0) {
        std::string pattern = JoinPath(folder, "", true) + "kelvarin-XXXXXX";
        m_descriptor = m_calls.makeTemporary(pattern.data(), O_CLOEXEC);
        if (m_descriptor < 0) {
            throw systemError(errno).in(folder);
        }
        m_calls.unlinkFile(pattern.c_str());
    }
    m_kind = Kind::Overwritten;
    m_temporaryFolder = folder;
}

int SafeFileWriter::openTemporary() {
    const std::string directory = GetDirectoryPart(m_targetPath);
    m_directoryPrefix = directory.empty() ? std::string() : JoinPath(directory, "", true);
    m_descriptor =
        m_calls.openFile(directory.empty() ? "." : directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (m_descriptor >= 0 && !canLinkUnnamed(m_descriptor)) {
        m_calls.closeFile(m_descriptor);
        m_descriptor = -1;
        errno = EOPNOTSUPP;
    }
    if (m_descriptor >= 0) {
        m_kind = Kind::Unnamed;
        lockTemporary();
        return 0;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        return errno;
    }
    m_kind = Kind::Named;
    return openNamedTemporary();
}

// A named temporary file, under the target's own temporary name where that is free or abandoned. The
// lock is taken after the file is made, so a writer that finds its file removed meanwhile makes another.
int SafeFileWriter::openNamedTemporary() {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string name = temporaryNameFor(m_targetPath, m_directoryPrefix);
        const int flags = O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC;
        m_descriptor = attempt < 2 ? m_calls.openFile(name.c_str(), flags, 0600) : -1;
        if (m_descriptor < 0 && attempt < 2 && errno != EEXIST) {
            return errno;
        }
        if (m_descriptor < 0 && attempt == 0 && removeIfAbandoned(name)) {
            continue;
        }
        if (m_descriptor < 0) {
            name = m_directoryPrefix + kTemporaryPrefix + "XXXXXX";
            m_descriptor = m_calls.makeTemporary(name.data(), O_CLOEXEC);
            if (m_descriptor < 0) {
                return errno;
            }
        }
        m_temporaryPath = name;
        lockTemporary();
        struct stat opened {};
        struct stat named {};
        if (fstat(m_descriptor, &opened) == 0 && lstat(name.c_str(), &named) == 0 && opened.st_ino == named.st_ino &&
            opened.st_dev == named.st_dev) {
            return 0;
        }
        m_temporaryPath.clear();
        discard();
    }
    return EEXIST;
}

// Holds a lock on the temporary file until the writer is done; see removeIfAbandoned. A copy of the
// descriptor holds it, so that the file's own descriptor can be closed (and its errors seen) first.
void SafeFileWriter::lockTemporary() {
    m_lock = fcntl(m_descriptor, F_DUPFD_CLOEXEC, 0);
    if (m_lock >= 0) {
        flock(m_lock, LOCK_EX | LOCK_NB);
    }
}

void SafeFileWriter::write(std::string_view bytes) {
    if (m_buffered + bytes.size() > m_buffer.size()) {
        flushBuffer();
    }
    if (bytes.size() >= m_buffer.size()) {
        writeThrough(bytes.data(), bytes.size());  // large pieces skip the copy into the buffer
        return;
    }
    std::memcpy(m_buffer.data() + m_buffered, bytes.data(), bytes.size());
    m_buffered += bytes.size();
}

void SafeFileWriter::flushBuffer() {
    writeThrough(m_buffer.data(), m_buffered);
    m_buffered = 0;
}

void SafeFileWriter::writeThrough(const char* data, std::size_t left) {
    while (left > 0) {
        const ssize_t written = m_calls.writeBytes(m_descriptor, data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail(errno);
        }
        data += written;
        left -= static_cast<std::size_t>(written);
        m_written += written;
    }
    startWriteback();
}

// Hands what has been written to the disk in the background, a large piece at a time, so that the disk
// works while the rest is produced and the final flush has little left to wait for. Only a hint: a file
// that cannot take it (a pipe) ignores it, and fsync reports any real failure.
void SafeFileWriter::startWriteback() {
    constexpr off_t kWritebackStep = off_t{32} << 20;
    if (m_written - m_writebackStart >= kWritebackStep) {
        sync_file_range(m_descriptor, m_writebackStart, m_written - m_writebackStart, SYNC_FILE_RANGE_WRITE);
        m_writebackStart = m_written;
    }
}

int SafeFileWriter::linkUnnamedAs(const std::string& name) {
    const std::string procPath = "/proc/self/fd/" + std::to_string(m_descriptor);
    if (m_calls.linkAt(AT_FDCWD, procPath.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        return 0;
    }
    const int procError = errno;
    if (procError == EEXIST) {
        return EEXIST;
    }
    if (m_calls.linkAt(m_descriptor, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) {
        return 0;
    }
    return errno == EEXIST ? EEXIST : procError;
}

// Gives the unnamed file a temporary name beside the target; only from here on can a crash leave it.
void SafeFileWriter::linkUnnamed() {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string name =
            attempt < 2 ? temporaryNameFor(m_targetPath, m_directoryPrefix) : temporaryName(m_directoryPrefix);
        const int error = linkUnnamedAs(name);
        if (error == EEXIST && attempt == 0) {
            removeIfAbandoned(name);
            continue;
        }
        if (error == 0) {
            m_temporaryPath = name;
            return;
        }
        if (error != EEXIST) {
            fail(error);
        }
    }
    fail(EEXIST);
}

// The named temporary file takes the target's name only if nothing has it.
void SafeFileWriter::placeWithoutReplacing() {
    if (m_calls.renameNoReplace(m_temporaryPath.c_str(), m_targetPath.c_str()) != 0) {
        if (errno != EINVAL && errno != ENOSYS) {
            fail(errno);
        }
        // A file system without the no-replace rename: a link fails as well where the name is taken.
        if (m_calls.linkAt(AT_FDCWD, m_temporaryPath.c_str(), AT_FDCWD, m_targetPath.c_str(), 0) != 0) {
            fail(errno);
        }
        m_calls.unlinkFile(m_temporaryPath.c_str());
    }
    m_temporaryPath.clear();
}

// The complete new bytes go over the old file. Room for them is taken first, so a full disk is found
// before the old file is touched.
void SafeFileWriter::copyOverTarget() {
    m_temporaryFolder.clear();  // failures from here on lie in the target
    const int target = m_calls.openFile(m_targetPath.c_str(), O_WRONLY | O_CLOEXEC, 0);
    if (target < 0) {
        fail(errno);
    }
    const auto failWith = [&](int error) {
        m_calls.closeFile(target);
        fail(error);
    };
    if (fallocate(target, FALLOC_FL_KEEP_SIZE, 0, m_written) != 0 && errno != EOPNOTSUPP && errno != ENOSYS) {
        failWith(errno);
    }
    for (off_t offset = 0; offset < m_written;) {
        const auto size =
            static_cast<std::size_t>(std::min<off_t>(static_cast<off_t>(m_buffer.size()), m_written - offset));
        const ssize_t got = pread(m_descriptor, m_buffer.data(), size, offset);
        if (got <= 0) {
            if (got < 0 && errno == EINTR) {
                continue;
            }
            failWith(got < 0 ? errno : EIO);
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t written =
                m_calls.writeBytes(target, m_buffer.data() + done, static_cast<std::size_t>(got - done));
            if (written < 0 && errno != EINTR) {
                failWith(errno);
            }
            done += written < 0 ? 0 : written;
        }
        offset += got;
    }
    if (ftruncate(target, m_written) != 0 || m_calls.sync(target) != 0) {
        failWith(errno);
    }
    if (m_calls.closeFile(target) != 0) {
        fail(errno);
    }
}

void SafeFileWriter::commit() {
    flushBuffer();
    if (m_kind == Kind::Device) {
        const int result = m_calls.closeFile(m_descriptor);
        m_descriptor = -1;
        if (result != 0) {
            throwErrno();
        }
        return;
    }
    if (m_kind == Kind::Overwritten) {
        copyOverTarget();
        discard();
        return;
    }
    if (m_calls.sync(m_descriptor) != 0) {
        fail(errno);
    }
    if (m_kind == Kind::Unnamed && !m_mayReplace) {
        const int error = linkUnnamedAs(m_targetPath);
        if (error != 0) {
            fail(error);
        }
        discard();
        return;
    }
    if (m_kind == Kind::Unnamed) {
        linkUnnamed();
    }
    const int closed = m_calls.closeFile(m_descriptor);
    m_descriptor = -1;
    if (closed != 0) {
        fail(errno);
    }
    if (!m_mayReplace) {
        placeWithoutReplacing();
        releaseLock();
        return;
    }
    if (m_calls.renameFile(m_temporaryPath.c_str(), m_targetPath.c_str()) != 0) {
        fail(errno);
    }
    m_temporaryPath.clear();
    releaseLock();
}

void SafeFileWriter::fail(int error) {
    discard();
    KelvarinError failure = systemError(error);
    throw m_temporaryFolder.empty() ? failure : failure.in(m_temporaryFolder);
}

void SafeFileWriter::discard() noexcept {
    if (m_descriptor >= 0) {
        m_calls.closeFile(m_descriptor);
        m_descriptor = -1;
    }
    if (!m_temporaryPath.empty()) {
        m_calls.unlinkFile(m_temporaryPath.c_str());
        m_temporaryPath.clear();
    }
    releaseLock();
}

void SafeFileWriter::releaseLock() noexcept {
    if (m_lock >= 0) {
        close(m_lock);
        m_lock = -1;
    }
}

}  // namespace kelvarin
