// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmap/ReadFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "common/Error.h"
#include "common/ProgressDisplay.h"
#include "common/Toolkit.h"
#include "fileutil/DirectorySearch.h"
#include "fileutil/FileInfo.h"
#include "fileutil/Path.h"

namespace kelvarin {

namespace {

class OpenFile {
public:
    explicit OpenFile(const std::string& path) : m_descriptor(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {
        if (m_descriptor < 0) {
            throw systemError(errno);
        }
    }
    ~OpenFile() { close(m_descriptor); }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    // Reads exactly size bytes; a file that ends sooner is an error.
    void readExactly(std::uint8_t* target, std::size_t size) {
        while (size > 0) {
            const ssize_t got = ::read(m_descriptor, target, size);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                throw systemError(errno);
            }
            if (got == 0) {
                throw KelvarinError(ErrorCode::DeviceIo, "ファイルが途中で終わっています。");
            }
            target += got;
            size -= static_cast<std::size_t>(got);
        }
    }

private:
    int m_descriptor;
};

void readBlocks(const std::string& path, std::int64_t reportedLength, BitmapData& data, Toolkit& toolkit) {
    if (reportedLength > std::numeric_limits<std::int32_t>::max()) {
        throw KelvarinError(ErrorCode::Overflow, "ファイルが大きすぎます。");
    }
    const auto length = static_cast<std::int32_t>(reportedLength);
    std::int32_t blocks = length / ReadBlockSize;
    std::int32_t lastSize = length % ReadBlockSize;
    if (lastSize > 0) {
        ++blocks;
    } else {
        lastSize = ReadBlockSize;
    }

    // The pixel rows of the last picture may live in the file image being replaced.
    data.PixelBytes = {};
    data.DecodedPixels = LargeBuffer();
    data.FileBytes = LargeBuffer();
    data.FileBytes = LargeBuffer(static_cast<std::size_t>(length));
    data.FileLength = length;

    ProgressDisplay progress = ProgressDisplay::forReading(toolkit, length);
    OpenFile file(path);
    std::int64_t position = 0;
    for (std::int32_t i = 0; i < blocks; ++i) {
        toolkit.doEvents();
        const std::int32_t size = i == blocks - 1 ? lastSize : ReadBlockSize;
        file.readExactly(data.FileBytes.data() + position, static_cast<std::size_t>(size));
        toolkit.doEvents(size);  // once per byte copied
        position += size;
        const double done = static_cast<double>(i) * ReadBlockSize + size;
        progress.update(done, done / length);
    }
    progress.update(length, 1.0);
}

}  // namespace

bool ReadFile(const std::string& path, BitmapData& data, Toolkit& toolkit) {
    std::string fullPath;
    try {
        fullPath = absolutePath(path);
    } catch (const KelvarinError&) {
        fullPath = path;
    }
    if (!entryExists(fullPath, ExistenceMask)) {
        toolkit.showDetailedMessage("ファイルが見つかりません", whyMissing(path));
        return false;
    }
    const FileInfo info = GetFileInfo(GetDirectoryPart(fullPath), GetFileNamePart(fullPath), toolkit);
    if (info.name.empty()) {
        toolkit.showDetailedMessage("ファイルが見つかりません", whyMissing(path));
        return false;
    }
    try {
        readBlocks(fullPath, info.length, data, toolkit);
        return true;
    } catch (...) {
        const KelvarinError error = asKelvarinError(std::current_exception());
        toolkit.showDetailedMessage("ファイル読み込みエラー in ReadFile", path + ": " + reasonOf(error));
        return false;
    }
}

}  // namespace kelvarin
