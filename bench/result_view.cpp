// SPDX-License-Identifier: GPL-3.0-or-later
// Times the result view on a converted picture: the real frmMain, offscreen, reads the picture given as
// the first argument and converts it in both directions; then the result window is opened again, timed,
// and a zoom and pan sequence is played, each step drawn in full (as grab() does) and timed. Prints one
// line per measure, in milliseconds.
#include <QApplication>
#include <QMouseEvent>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <iostream>
#include <vector>

#include "UnattendedWindow.h"
#include "app/ResultContent.h"
#include "gui/ResultView.h"
#include "gui/ResultWindow.h"

namespace {

template <typename Step>
double milliseconds(Step step) {
    const auto start = std::chrono::steady_clock::now();
    step();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Processor time of all the process's threads: what the machine's other load does not lengthen.
double processorMilliseconds() {
    timespec time{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time);
    return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_nsec) / 1e6;
}

void drag(QWidget& widget, QPoint from, QPoint to) {
    QMouseEvent press(QEvent::MouseButtonPress, from, widget.mapToGlobal(from), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent move(QEvent::MouseMove, to, widget.mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, to, widget.mapToGlobal(to), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(&widget, &press);
    QApplication::sendEvent(&widget, &move);
    QApplication::sendEvent(&widget, &release);
}

// The result view of a conversion: its opening, then the zoom and pan sequence.
int measureResultView(UnattendedWindow& window) {
    window.click("cmdConvert");
    kelvarin::ResultWindow& result = *window.resultWindow();
    kelvarin::ResultView& view = *result.view();
    result.resize(1280, 960);
    // Opened three times, as after three conversions: the machine's timings wander.
    std::vector<double> openings;
    double leastProcessorTime = 1e9;
    for (int run = 0; run < 3; ++run) {
        const double processorBefore = processorMilliseconds();
        openings.push_back(milliseconds([&] {
            result.clear();
            result.showResult(std::get<kelvarin::ConversionResult>(kelvarin::lastConversionResult(window.form())),
                              false, QString());
            view.grab();
        }));
        leastProcessorTime = std::min(leastProcessorTime, processorMilliseconds() - processorBefore);
    }
    std::cout << "open (pyramid, first paint at fit): best " << *std::min_element(openings.begin(), openings.end())
              << " ms, worst " << *std::max_element(openings.begin(), openings.end()) << " ms, processor time at least "
              << leastProcessorTime << " ms; view " << view.width() << " x " << view.height() << " pixels\n";

    // Into the top-left corner to 1:1 and beyond, panning there, and back out to the whole page.
    const QPoint corner(view.width() / 8, view.height() / 8);
    const QPoint middle(view.width() / 2, view.height() / 2);
    std::vector<std::pair<const char*, std::function<void()>>> steps;
    for (int i = 0; i < 24; ++i) {
        steps.emplace_back("wheel in", [&] { view.zoomAbout(corner, 1.189207115002721); });
    }
    for (int i = 0; i < 6; ++i) {
        steps.emplace_back("drag", [&] { drag(view, middle, middle + QPoint(-300, -200)); });
    }
    steps.emplace_back("1:1", [&] { view.showActualSize(); });
    for (int i = 0; i < 6; ++i) {
        steps.emplace_back("drag", [&] { drag(view, middle, middle + QPoint(250, 180)); });
    }
    for (int i = 0; i < 24; ++i) {
        steps.emplace_back("wheel out", [&] { view.zoomAbout(corner, 1 / 1.189207115002721); });
    }
    steps.emplace_back("fit", [&] { view.fit(); });
    double worst = 0;
    double total = 0;
    const char* worstStep = "";
    for (auto& [name, step] : steps) {
        const double ms = milliseconds([&] {
            step();
            view.grab();
        });
        total += ms;
        if (ms > worst) {
            worst = ms;
            worstStep = name;
        }
    }
    std::cout << steps.size() << " zoom and pan steps: mean " << total / static_cast<double>(steps.size())
              << " ms, slowest " << worst << " ms (" << worstStep << ")\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return measureWindow(argc, argv, "usage: result-view-bench PICTURE OUTPUT.dxf", measureResultView);
}
