// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>

namespace kelvarin {

enum class Alignment { Left, Right };

// How often Toolkit::doEvents really lets the window run: the clock is read once per ticksPerClockRead
// calls, and events are processed when interval has passed since the last time.
struct EventPacing {
    std::int64_t ticksPerClockRead = 1 << 14;
    std::chrono::nanoseconds interval = std::chrono::milliseconds(15);
};

// The window toolkit operations that every long-running procedure uses: the progress bar pbarCount, the
// percentage label labelPercent, message boxes and event pumping. The window, the command line and the
// test fake each implement it.
class Toolkit {
public:
    virtual ~Toolkit() = default;
    Toolkit(const Toolkit&) = delete;
    Toolkit& operator=(const Toolkit&) = delete;

    virtual void setProgressMin(float value) = 0;
    virtual void setProgressMax(float value) = 0;
    virtual void setProgressValue(float value) = 0;
    virtual void setPercentCaption(std::string_view text) = 0;
    virtual void setPercentAlignment(Alignment alignment) = 0;

    // Modal boxes titled with the program's name; they return when the user has closed them.
    virtual void showMessage(std::string_view text) = 0;
    // The same box with the particulars of a failure (the file, the system's or a library's reason) that
    // the user may open; on the command line they follow the text. Empty details show no more than text.
    virtual void showDetailedMessage(std::string_view text, std::string_view details) = 0;
    // Yes/No with Yes the default button and no icon; true for Yes.
    virtual bool askYesNo(std::string_view text) = 0;

    // Lets pending window events run. Called once per byte, cell or line of the long loops, so it is only
    // a counter; the window really runs at most every pacing interval.
    void doEvents() {
        if (--m_ticksLeft <= 0) [[unlikely]] {
            poll();
        }
    }
    // The same as doEvents() called ticks times in a row.
    void doEvents(std::int64_t ticks) {
        m_ticksLeft -= ticks;
        if (m_ticksLeft <= 0) [[unlikely]] {
            poll();
        }
    }

    // Replaces the pacing and restarts its count.
    void setPacing(EventPacing pacing) {
        m_pacing = pacing;
        m_ticksLeft = pacing.ticksPerClockRead;
    }

protected:
    explicit Toolkit(EventPacing pacing = {});

    // Processes the window's pending events now.
    virtual void processEvents() = 0;

private:
    void poll();

    EventPacing m_pacing;
    std::int64_t m_ticksLeft;
    std::chrono::steady_clock::time_point m_lastProcessed;
};

// Shows no progress and no messages, answers No, and lets no events run; a base for toolkits that only
// show messages, or nothing at all.
class SilentToolkit : public Toolkit {
public:
    void setProgressMin(float) override {}
    void setProgressMax(float) override {}
    void setProgressValue(float) override {}
    void setPercentCaption(std::string_view) override {}
    void setPercentAlignment(Alignment) override {}
    void showMessage(std::string_view) override {}
    void showDetailedMessage(std::string_view, std::string_view) override {}
    bool askYesNo(std::string_view) override { return false; }

protected:
    void processEvents() override {}
};

}  // namespace kelvarin
