// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace kelvarin {

// Makes the allocator hand every block of 256 KiB or more straight back to the system when it is freed. By
// default the threshold climbs to the largest block freed so far, after which a pass's big scratch arrays
// stay in each thread's heap once freed and add up with the next pass's: the peak of a conversion grows
// with the threads. Called once at start, before any thread.
void returnLargeBlocksOnFree();

}  // namespace kelvarin
