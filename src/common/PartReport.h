// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "common/WorkReport.h"

namespace kelvarin {

// Passes the reports of one part of a longer work on, its fractions as the share [start, start + share] of
// the whole; nothing when there is no report of the whole.
class PartReport : public WorkReport {
public:
    PartReport(WorkReport* whole, double start, double share) : m_whole(whole), m_start(start), m_share(share) {}
    void advance(std::int64_t ticks, double fraction) override {
        if (m_whole != nullptr) {
            m_whole->advance(ticks, m_start + m_share * fraction);
        }
    }

private:
    WorkReport* m_whole;
    double m_start;
    double m_share;
};

}  // namespace kelvarin
