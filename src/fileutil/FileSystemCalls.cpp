// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileutil/FileSystemCalls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace kelvarin {

const FileSystemCalls& FileSystemCalls::system() {
    static const FileSystemCalls calls{
        [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); },
        ::mkostemp,
        ::write,
        ::fchmod,
        ::fsync,
        ::close,
        ::linkat,
        ::rename,
        [](const char* from, const char* to) { return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE); },
        ::unlink,
    };
    return calls;
}

}  // namespace kelvarin
