#include "fileutil/SafeFileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "common/Error.h"
#include "fileutil/Path.h"

namespace kelvarin {

namespace {

constexpr std::size_t kBufferSize = 64 << 10;

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

SafeFileWriter::SafeFileWriter(const std::string& path) : m_buffer(kBufferSize) {
    if (path.find('\0') != std::string::npos || path.empty()) {
        throw KelvarinError(ErrorCode::BadFileName);
    }
    struct stat status {};
    const bool exists = stat(path.c_str(), &status) == 0;
    if (!exists && errno != ENOENT) {
        throwErrno();
    }
    if (exists && S_ISDIR(status.st_mode)) {
        throw KelvarinError(ErrorCode::PathFileAccess);
    }
    if (exists && !S_ISREG(status.st_mode)) {
        m_descriptor = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (m_descriptor < 0) {
            throwErrno();
        }
        m_targetPath = path;
        return;
    }
    // A read-only file is refused even for a user whom permissions do not stop, as it would be elsewhere.
    if (exists && ((status.st_mode & 0222) == 0 || access(path.c_str(), W_OK) != 0)) {
        throw KelvarinError(ErrorCode::PermissionDenied);
    }

    m_targetPath = exists ? resolvedTarget(path) : path;
    const std::string directory = GetDirectoryPart(m_targetPath);
    const std::string name = GetFileNamePart(m_targetPath);
    std::string pattern = (directory.empty() ? std::string() : JoinPath(directory, "", true)) + "." +
                          (name.empty() ? m_targetPath : name) + ".XXXXXX";
    m_descriptor = mkostemp(pattern.data(), O_CLOEXEC);
    if (m_descriptor < 0) {
        throwErrno();
    }
    m_temporaryPath = pattern;
    if (fchmod(m_descriptor, exists ? (status.st_mode & 07777) : modeForNewFile()) != 0) {
        const int error = errno;
        discard();
        throw systemError(error);
    }
}

SafeFileWriter::~SafeFileWriter() { discard(); }

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
        const ssize_t written = ::write(m_descriptor, data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            discard();
            throw systemError(error);
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}

void SafeFileWriter::commit() {
    flushBuffer();
    if (m_temporaryPath.empty()) {
        const int result = close(m_descriptor);
        m_descriptor = -1;
        if (result != 0) {
            throwErrno();
        }
        return;
    }
    if (fsync(m_descriptor) != 0 || close(m_descriptor) != 0) {
        const int error = errno;
        m_descriptor = -1;
        discard();
        throw systemError(error);
    }
    m_descriptor = -1;
    if (rename(m_temporaryPath.c_str(), m_targetPath.c_str()) != 0) {
        const int error = errno;
        discard();
        throw systemError(error);
    }
    m_temporaryPath.clear();
}

void SafeFileWriter::discard() noexcept {
    if (m_descriptor >= 0) {
        close(m_descriptor);
        m_descriptor = -1;
    }
    if (!m_temporaryPath.empty()) {
        unlink(m_temporaryPath.c_str());
        m_temporaryPath.clear();
    }
}

}  // namespace kelvarin
