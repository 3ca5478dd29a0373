// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/BatchRun.h"

#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <sstream>

#include "app/FileSelection.h"
#include "cli/BatchProgress.h"
#include "cli/BatchReport.h"
#include "cli/CliRun.h"
#include "cli/JobPool.h"
#include "cli/UpdateCheck.h"
#include "common/Error.h"
#include "common/NumberParse.h"
#include "common/TextFormat.h"

namespace kelvarin {

namespace {

constexpr const char* kNoPicture = "画像ではないため変換しません";
constexpr const char* kCurrent = "DXF ファイルが画像より新しいため変換しません";

// The outcome of an input that needs no conversion, or nothing.
std::optional<InputOutcome> settledBeforeConversion(const BatchInput& input, bool update) {
    if (!input.error.empty()) {
        return outcomeWithout(InputStatus::Failed, input.error);
    }
    if (!input.picture) {
        return outcomeWithout(InputStatus::Skipped, kNoPicture);
    }
    if (update && drawingIsCurrent(input.input, drawingOf(input))) {
        return outcomeWithout(InputStatus::Skipped, kCurrent);
    }
    return std::nullopt;
}

// The text of a child that ended without a result.
std::string lostChild(int waitStatus) {
    if (WIFSIGNALED(waitStatus)) {
        return "変換が異常終了しました（シグナル " + formatInteger(WTERMSIG(waitStatus)) + "）";
    }
    return "変換を始められませんでした";
}

class Batch {
public:
    Batch(const std::vector<BatchInput>& inputs, CliView& view, const BatchSettings& settings,
          const ConvertInput& convert)
        : m_inputs(inputs),
          m_view(view),
          m_settings(settings),
          m_convert(convert),
          m_report(settings.reportPath),
          m_results(inputs.size()),
          m_converted(inputs.size(), false),
          m_progress(static_cast<std::int64_t>(inputs.size()), 0) {}

    int run();

private:
    bool stopRequested() const { return m_view.stopRequested(); }
    void runHere(const std::vector<std::size_t>& pending);
    void runInChildren(const std::vector<std::size_t>& pending);
    JobResult convertInChild(std::size_t index);
    // Shows and reports every result whose predecessors are all shown; with gaps, past them too.
    void release(bool pastGaps);
    void count(const BatchInput& input, const InputOutcome& outcome);
    void showSummary();

    const std::vector<BatchInput>& m_inputs;
    CliView& m_view;
    const BatchSettings& m_settings;
    const ConvertInput& m_convert;
    BatchReport m_report;
    std::vector<std::optional<JobResult>> m_results;
    std::vector<bool> m_converted;  // the input went to a conversion
    BatchProgress m_progress;
    std::size_t m_released = 0;
    bool m_failed = false;
    bool m_stopped = false;
    bool m_stopReported = false;  // a conversion the stop ended has said so
    BatchTally m_tally;
};

int Batch::run() {
    if (m_report.failed()) {
        m_view.printText("kelvarin-cli: " + m_settings.reportPath + ": " + systemReason(errno) + "\n");
        return kExitIncomplete;
    }
    std::vector<std::size_t> pending;
    for (std::size_t i = 0; i < m_inputs.size(); ++i) {
        if (auto outcome = settledBeforeConversion(m_inputs[i], m_settings.update)) {
            // A failure is named on the error stream as a conversion's is; skipped files only counted.
            std::string shown = outcome->status == InputStatus::Failed
                                    ? m_inputs[i].input + ": " + outcome->message + "\n"
                                    : std::string();
            m_results[i] = JobResult{std::move(*outcome), std::move(shown)};
        } else {
            pending.push_back(i);
            m_converted[i] = true;
        }
    }
    m_progress = BatchProgress(static_cast<std::int64_t>(m_inputs.size()), static_cast<std::int64_t>(pending.size()));
    release(false);
    if (m_settings.jobs > 1 && pending.size() > 1) {
        runInChildren(pending);
    } else {
        runHere(pending);
    }
    release(true);
    m_view.setSubject({});
    m_view.endProgressLine();
    if (m_stopped && !m_stopReported) {
        m_view.reportInterruption();
    }
    showSummary();
    if (m_stopped || m_report.failed()) {
        return kExitIncomplete;
    }
    return m_failed ? kExitFailed : kExitConverted;
}

// One after the other in this process, the messages shown as they come.
void Batch::runHere(const std::vector<std::size_t>& pending) {
    for (const std::size_t index : pending) {
        if (stopRequested()) {
            m_stopped = true;
            return;
        }
        if (m_inputs.size() > 1) {
            m_view.setProgressPrefix(m_progress.line() + "  ");
        }
        m_view.setSubject(m_inputs[index].input);
        InputOutcome outcome = m_convert(m_view, m_inputs[index]);
        // A stop that comes once the drawing is in place stops nothing of this input: it is converted.
        outcome.stopped = outcome.status == InputStatus::Failed && stopRequested();
        if (outcome.stopped) {
            m_view.reportInterruption();
            m_stopped = m_stopReported = true;
        }
        outcome.message = m_view.takeMessages();
        m_results[index] = JobResult{std::move(outcome), {}};
        release(false);
        if (m_stopped) {
            return;
        }
    }
}

JobResult Batch::convertInChild(std::size_t index) {
    std::istringstream in;
    std::ostringstream err;
    CliView::Settings settings = m_settings.viewSettings;
    settings.interactive = false;
    settings.showProgress = false;
    CliView view(in, err, settings);
    view.setPacing(m_settings.pacing);
    view.setSubject(m_inputs[index].input);
    InputOutcome outcome = m_convert(view, m_inputs[index]);
    outcome.stopped = outcome.status == InputStatus::Failed && view.stopRequested();
    if (outcome.stopped) {
        view.reportInterruption();
    }
    outcome.message = view.takeMessages();
    return {std::move(outcome), err.str()};
}

void Batch::runInChildren(const std::vector<std::size_t>& pending) {
    m_view.showProgressLine(m_progress.line());
    JobPool pool(m_settings.jobs, m_settings.viewSettings.interrupted);
    const bool completed = pool.run(
        pending, [this](std::size_t index) { return convertInChild(index); },
        [this](std::size_t index, std::optional<JobResult> result, int waitStatus) {
            if (!result) {
                const std::string message = lostChild(waitStatus);
                result = JobResult{outcomeWithout(InputStatus::Failed, message),
                                   m_inputs[index].input + ": " + message + "\n"};
            } else {
                m_stopReported = m_stopReported || result->outcome.stopped;
            }
            // A child the pool ended on a stop request is counted as stopped, not failed.
            InputOutcome& outcome = result->outcome;
            outcome.stopped = outcome.stopped || (outcome.status == InputStatus::Failed && stopRequested());
            m_results[index] = std::move(result);
            release(false);
        },
        [this] { m_view.showProgressLine(m_progress.line()); });
    m_stopped = !completed;
}

void Batch::release(bool pastGaps) {
    for (; m_released < m_results.size(); ++m_released) {
        std::optional<JobResult>& result = m_results[m_released];
        if (!result) {
            if (pastGaps) {
                ++m_tally.stopped;  // never started: the batch stopped first
                continue;
            }
            return;
        }
        const InputOutcome& outcome = result->outcome;
        if (!result->messages.empty()) {
            m_view.printText(result->messages);
        }
        m_failed = m_failed || outcome.status == InputStatus::Failed;
        const BatchInput& input = m_inputs[m_released];
        m_report.add(input, input.picture ? drawingOf(input) : std::string(), outcome);
        m_progress.add(m_converted[m_released], outcome.status == InputStatus::Failed);
        count(input, outcome);
        result.reset();
    }
}

void Batch::count(const BatchInput& input, const InputOutcome& outcome) {
    if (outcome.stopped) {
        ++m_tally.stopped;
    } else if (outcome.status == InputStatus::Failed) {
        ++m_tally.failed;
    } else if (outcome.status == InputStatus::Converted) {
        ++m_tally.converted;
    } else {
        ++(input.picture ? m_tally.current : m_tally.noPictures);
    }
}

void Batch::showSummary() {
    if (m_settings.viewSettings.quiet) {
        return;
    }
    if (m_tally.noPictures > 0) {
        m_view.printText("画像ではないため飛ばしたファイル: " + formatInteger(m_tally.noPictures) + " 件\n");
    }
    if (m_tally.current > 0) {
        m_view.printText("DXF ファイルが画像より新しいため飛ばした画像: " + formatInteger(m_tally.current) + " 件\n");
    }
    // A batch of one says all in its own messages.
    if (m_inputs.size() > 1) {
        m_view.printText(summaryLine(m_tally) + "\n");
    }
}

}  // namespace

std::size_t conversionsToRun(const std::vector<BatchInput>& inputs, bool update) {
    return static_cast<std::size_t>(std::count_if(inputs.begin(), inputs.end(), [&](const BatchInput& input) {
        return !settledBeforeConversion(input, update);
    }));
}

std::string drawingOf(const BatchInput& input) {
    return input.output.empty() ? automaticOutputName(trimBlanks(input.input)) : input.output;
}

int runBatch(const std::vector<BatchInput>& inputs, CliView& view, const BatchSettings& settings,
             const ConvertInput& convert) {
    return Batch(inputs, view, settings, convert).run();
}

}  // namespace kelvarin
