// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace kelvarin {

// How a long computation that knows nothing of the window says how far it has come: ticks of work done
// since the last call (so that the caller can let the window run, or stop the work by throwing) and the
// share of the whole done so far, 0 to 1.
class WorkReport {
public:
    virtual ~WorkReport() = default;
    virtual void advance(std::int64_t ticks, double fraction) = 0;
};

// Takes no notice of the reports.
class SilentReport : public WorkReport {
public:
    void advance(std::int64_t, double) override {}
};

}  // namespace kelvarin
