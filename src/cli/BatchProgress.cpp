// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/BatchProgress.h"

#include "common/TextFormat.h"

namespace kelvarin {

namespace {

// Minutes and seconds, "m:ss".
std::string minutesAndSeconds(std::int64_t seconds) {
    const std::int64_t rest = seconds % 60;
    return formatInteger(seconds / 60) + (rest < 10 ? ":0" : ":") + formatInteger(rest);
}

}  // namespace

std::string summaryLine(const BatchTally& tally) {
    return "合計 " + formatInteger(tally.total()) + " 件: 変換 " + formatInteger(tally.converted) +
           " 件、最新のため飛ばした " + formatInteger(tally.current) + " 件、画像でない " +
           formatInteger(tally.noPictures) + " 件、失敗 " + formatInteger(tally.failed) + " 件、中止で残った " +
           formatInteger(tally.stopped) + " 件";
}

void BatchProgress::add(bool converted, bool failed) {
    ++m_done;
    m_converted += converted ? 1 : 0;
    m_failed += failed ? 1 : 0;
}

std::string BatchProgress::line(Clock::time_point now) const {
    std::string text =
        formatInteger(m_done) + "/" + formatInteger(m_total) + " 件  失敗 " + formatInteger(m_failed) + "  残り ";
    if (m_converted == 0) {
        return text + "--:--";
    }
    const double elapsed = std::chrono::duration<double>(now - m_start).count();
    const double left = elapsed / static_cast<double>(m_converted) * static_cast<double>(m_conversions - m_converted);
    return text + "約 " + minutesAndSeconds(static_cast<std::int64_t>(left + 0.5));
}

}  // namespace kelvarin
