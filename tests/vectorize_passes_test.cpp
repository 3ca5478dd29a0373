// SPDX-License-Identifier: GPL-3.0-or-later
// The vector passes one by one: small drawings run up to a named pass of the table, and the drawing there
// checked. Each case names the pass that does the work: what it checks fails on the drawing just before
// that pass and holds just after it.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "common/PassState.h"
#include "support/FakeView.h"
#include "support/PassCases.h"
#include "vectorize/Vectorize.h"
#include "vectorize/pipeline/PassTable.h"

namespace kelvarin {
namespace {

using test::Cells;
using test::crossHatching;
using test::disc;
using test::line;
using test::PassCase;
using test::passCases;
using test::ring;
using test::Stroke;

constexpr std::int32_t kSide = 200;  // of the square page, in dots

// The passes run up to stopAfter over the case's drawing.
struct PassRun {
    Cells despeckled{kSide, kSide};
    Cells asRead{kSide, kSide};
    PassState pass;
    test::FakeView view;
    std::optional<VectorizeContext> context;

    PassRun(const PassCase& c, std::string_view stopAfter, const VectorizeOptions& options = {}) {
        draw(despeckled, c.strokes);
        if (!c.dust.empty()) {
            draw(asRead, c.strokes);
            draw(asRead, c.dust);
        }
        context.emplace(despeckled.grid, c.dust.empty() ? nullptr : &asRead.grid, options, pass, view);
        runPasses(*context, stopAfter);
    }
};

// The name of the pass before the one named.
std::string_view passBefore(std::string_view name) {
    const auto passes = vectorPasses();
    const auto found =
        std::find_if(passes.begin(), passes.end(), [&](const VectorPass& pass) { return pass.name == name; });
    if (found == passes.begin() || found == passes.end()) {
        ADD_FAILURE() << "no pass before " << name;
        return name;
    }
    return std::prev(found)->name;
}

TEST(vectorize_passes, each_case_holds_after_its_pass_and_not_before) {
    for (const PassCase& c : passCases()) {
        EXPECT_FALSE(c.holds(*PassRun(c, passBefore(c.pass)).context)) << c.name << ", before " << c.pass;
        EXPECT_TRUE(c.holds(*PassRun(c, c.pass).context)) << c.name << ", after " << c.pass;
    }
}

// Entities equal to the last bit, in the same order.
bool sameDrawing(const VectorDrawing& x, const VectorDrawing& y) {
    const auto sameLines = [](const VectorLine& p, const VectorLine& q) { return p.a == q.a && p.b == q.b; };
    const auto sameArcs = [](const VectorArc& p, const VectorArc& q) {
        return p.centre == q.centre && p.radius == q.radius && p.startDegrees == q.startDegrees &&
               p.endDegrees == q.endDegrees;
    };
    const auto sameCircles = [](const VectorCircle& p, const VectorCircle& q) {
        return p.centre == q.centre && p.radius == q.radius;
    };
    return std::ranges::equal(x.lines, y.lines, sameLines) && std::ranges::equal(x.arcs, y.arcs, sameArcs) &&
           std::ranges::equal(x.circles, y.circles, sameCircles);
}

// A page of a bit of everything the cases draw.
PassCase everything() {
    PassCase page{"everything", crossHatching(120, 190, 16, 3), {disc({60, 190}, 0.6)}, "", {}};
    for (const Stroke& stroke : {ring({60, 60}, 40), line({10, 60}, {110, 60}), line({60, 10}, {60, 110}),
                                 disc({160, 50}, 12), line({10, 190}, {55, 190}, 2), line({64, 190}, {110, 190}, 2)}) {
        page.strokes.push_back(stroke);
    }
    return page;
}

TEST(vectorize_passes, all_the_passes_draw_what_VectorizeGrid_draws) {
    const PassCase page = everything();
    PassRun run(page, "");
    PassState pass;
    test::FakeView view;
    const VectorDrawing drawing = VectorizeGrid(run.despeckled.grid, {}, pass, view, &run.asRead.grid);
    EXPECT_GT(drawing.entityCount(), 10);
    EXPECT_TRUE(sameDrawing(run.context->drawing.drawing, drawing));
    EXPECT_EQ(pass.PassNumber, 3);
    EXPECT_EQ(pass.CurrentStep, "線と円をまとめる");
}

// The debug switch stops VectorizeGrid after the pass named: before the circles are gathered, then after.
TEST(vectorize_passes, VectorizeGrid_stops_after_the_pass_named) {
    const PassCase page = everything();
    PassRun run(page, "");
    for (const auto& [stopAfter, circles] : {std::pair{"hatches", 0}, std::pair{"arcs", 2}}) {
        PassState pass;
        test::FakeView view;
        VectorizeOptions options;
        options.stopAfter = stopAfter;
        const VectorDrawing drawing = VectorizeGrid(run.despeckled.grid, options, pass, view, &run.asRead.grid);
        EXPECT_EQ(drawing.circles.size(), circles) << stopAfter;
        EXPECT_TRUE(drawing.lines.empty()) << stopAfter;
    }
    PassState pass;
    test::FakeView view;
    VectorizeOptions options;
    options.stopAfter = "no such pass";
    EXPECT_THROW(VectorizeGrid(run.despeckled.grid, options, pass, view), std::invalid_argument);
}

// The pass number after each pass: 0 before the numbered passes, 1 and 2 after the rows and the columns,
// and 3 once the joining steps began (stopping ends their progress).
TEST(vectorize_passes, every_pass_can_be_stopped_after_and_numbers_the_passes) {
    const PassCase page{"ring", {ring({100, 100}, 40)}, {}, "", {}};
    std::int32_t number = 0;
    for (const VectorPass& pass : vectorPasses()) {
        number = pass.name == "rows" ? 1 : pass.name == "columns" ? 2 : pass.kind == PassKind::Joining ? 3 : number;
        EXPECT_EQ(PassRun(page, pass.name).pass.PassNumber, number) << pass.name;
    }
}

// The progress shows each step under its caption, the joining steps at their share of the eleven.
TEST(vectorize_passes, progress_shows_each_step_from_the_table) {
    const PassCase page = everything();
    const PassRun run(page, "");
    std::vector<std::string> firsts;  // the first caption of each step
    std::string last;
    for (const std::string& caption : run.view.captions()) {
        const std::string name = caption.substr(0, caption.find(':'));
        if (name != last.substr(0, last.find(':'))) {
            firsts.push_back(caption);
        }
        last = caption;
    }
    const std::vector<std::string> expected{
        "中心線（横）: %",
        "中心線（縦）: 32%",
        "ハッチングを見分ける: %",
        "円弧をつなぐ: 9%",
        "線分をつなぐ: 18%",
        "線の端を整える: 27%",
        "重なりと接点を整える: 36%",
        "破線の円と矢印をまとめる: 45%",
        "黒い部分の塊を調べる: 55%",
        "丸い塊を円にする: 64%",
        "穴を見分ける: 73%",
        "交点と塗りつぶしを見分ける: 82%",
        "点線と途切れた線をつなぐ: 91%",
    };
    EXPECT_EQ(firsts, expected);
    EXPECT_EQ(last, "点線と途切れた線をつなぐ: 100%");
}

}  // namespace
}  // namespace kelvarin
