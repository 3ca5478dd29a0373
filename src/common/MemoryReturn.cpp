// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/MemoryReturn.h"

#include <cstdlib>  // defines __GLIBC__ under glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace kelvarin {

namespace {

constexpr int kLargeBlockBytes = 256 * 1024;

}  // namespace

void returnLargeBlocksOnFree() {
#if defined(__GLIBC__)
    // Setting it also ends the climb, and the heaps' free tops keep being trimmed at 128 KiB.
    mallopt(M_MMAP_THRESHOLD, kLargeBlockBytes);
#endif
}

}  // namespace kelvarin
