// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

namespace kelvarin {

// The system calls the safe file writer makes, so that tests can make any one of them fail.
struct FileSystemCalls {
    int (*openFile)(const char* path, int flags, mode_t mode);
    int (*makeTemporary)(char* pattern, int flags);
    ssize_t (*writeBytes)(int descriptor, const void* data, size_t size);
    int (*changeMode)(int descriptor, mode_t mode);
    int (*sync)(int descriptor);
    int (*closeFile)(int descriptor);
    int (*linkAt)(int fromDirectory, const char* from, int toDirectory, const char* to, int flags);
    int (*renameFile)(const char* from, const char* to);
    // Renames only where nothing has the new name (renameat2 with RENAME_NOREPLACE).
    int (*renameNoReplace)(const char* from, const char* to);
    int (*unlinkFile)(const char* path);

    // The C library's calls.
    static const FileSystemCalls& system();
};

}  // namespace kelvarin
