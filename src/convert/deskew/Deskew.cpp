// SPDX-License-Identifier: GPL-3.0-or-later
#include "convert/deskew/Deskew.h"

#include "common/PassState.h"
#include "common/ProgressDisplay.h"
#include "common/Toolkit.h"
#include "convert/deskew/SkewSearch.h"

namespace kelvarin {

namespace {

// A numbered pass's progress caption and the window's events, driven by a computation's reports.
class PassReport : public WorkReport {
public:
    PassReport(PassState& pass, Toolkit& toolkit)
        : m_toolkit(toolkit), m_progress(ProgressDisplay::forPass(toolkit, pass.PassNumber, 1)) {}

    void advance(std::int64_t ticks, double fraction) override {
        m_toolkit.doEvents(ticks);
        m_progress.update(fraction, fraction);
    }

private:
    Toolkit& m_toolkit;
    ProgressDisplay m_progress;
};

}  // namespace

const VirtualVram& Deskew(const BmpHeaderBytes& header, const VirtualVram& grid, TurnedGrid& turned,
                          double& skewDegrees, bool turnPicture, PassState& pass, Toolkit& toolkit) {
    gridSizeOf(header, grid);
    pass.CurrentStep = "傾き検出";
    {
        PassReport report(pass, toolkit);
        skewDegrees = findSkew(grid, report).degrees;
        report.advance(0, 1);
    }
    ++pass.PassNumber;
    pass.CurrentStep = "傾き補正";
    PassReport report(pass, toolkit);
    const bool turning = turnPicture && turnMovesCells(grid.width(), grid.height(), skewDegrees);
    if (turning) {
        turnGrid(grid, -skewDegrees, turned, report);
    }
    report.advance(0, 1);
    ++pass.PassNumber;
    return turning ? turned.vram : grid;
}

}  // namespace kelvarin
