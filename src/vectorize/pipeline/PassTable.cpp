// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/pipeline/PassTable.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>

#include "common/PassState.h"
#include "vectorize/assembly/ArcAssembly.h"
#include "vectorize/assembly/ArcChains.h"
#include "vectorize/assembly/ArcRecentring.h"
#include "vectorize/assembly/BowedLines.h"
#include "vectorize/assembly/BrokenStrokes.h"
#include "vectorize/assembly/Coverage.h"
#include "vectorize/joints/JunctionDots.h"
#include "vectorize/joints/Tangents.h"
#include "vectorize/pipeline/PieceFinder.h"
#include "vectorize/rounds/BoxHoles.h"
#include "vectorize/rounds/Fillets.h"
#include "vectorize/rounds/OverlappingArcs.h"
#include "vectorize/rounds/RoundGroups.h"
#include "vectorize/rounds/RoundHoles.h"
#include "vectorize/rounds/ShoulderFillets.h"
#include "vectorize/symbols/Arrowheads.h"
#include "vectorize/symbols/Blobs.h"
#include "vectorize/symbols/CurvedBarbs.h"
#include "vectorize/symbols/DashedCircles.h"
#include "vectorize/symbols/HatchLines.h"

namespace kelvarin {

namespace {

using Context = VectorizeContext;

// The caption of the numbered pass whose steps the joining passes are.
constexpr std::string_view kJoiningCaption = "線と円をまとめる";

// The setup and the centre lines.

void measureStrokes(Context& c) {
    c.widths = measureStrokeWidths(c.despeckled, c.options.dotsPerMm, c.tolerances, c.toolkit);
}

void hollowAreas(Context& c) {
    // The cells farther from the background than the thin strokes are wide lie in filled areas and heavy
    // strokes only: a dot about three thin pens across or more has such a core.
    const bool hollowed = hollowFilledAreas(
        c.despeckled, c.widths.rim, c.hollowed, c.toolkit, c.pool, c.tolerances.keptRim,
        std::max(c.tolerances.leastCoreDepth, c.widths.thin),
        [&cores = c.cores](std::int32_t y, const auto& interior, bool any) { cores.addRow(y, interior, any); });
    c.strokes = hollowed ? &c.hollowed.vram : &c.despeckled;
    c.strokeInk.emplace(*c.strokes);
    c.despeckledInk.emplace(c.despeckled);
    if (hollowed) {
        c.filled = {&*c.despeckledInk, &*c.strokeInk, 2.0 * c.widths.rim + 1};
    }
}

PieceFinder pieceFinder(Context& c) {
    return {*c.strokes, c.tolerances.longestCuttingRun(c.widths.thick), c.tolerances.entity, c.pool, c.pieces};
}
void rowPieces(Context& c) { pieceFinder(c).rows(c.caption, c.pass, c.toolkit); }
void columnPieces(Context& c) { pieceFinder(c).columns(c.caption, c.pass, c.toolkit); }

// The pieces joined into lines and arcs.

void hatches(Context& c) { findHatchStrokes(c.pieces.lines, *c.strokeInk, c.pool, c.tick); }
// The arcs first: short straight pieces of a circle join it rather than each other.
void arcs(Context& c) {
    joinArcs(c.pieces.arcs, c.pieces.lines, *c.strokeInk, c.tolerances.entity, c.drawing, c.pool, c.tick);
}
void arcCentres(Context& c) { centreArcsOnStrokes(c.drawing, *c.strokeInk, c.tolerances.entity, c.pool); }
void lines(Context& c) {
    c.lines = joinLines(c.pieces.lines, *c.strokeInk, c.filled, c.tolerances.entity, c.pool, c.tick);
}
void lineEnds(Context& c) { finishLineEnds(c.lines, *c.strokeInk, c.tolerances.entity, c.filled, c.pool, c.tick); }
void bowedLines(Context& c) { bendBowedLines(c.lines, *c.strokeInk, c.tolerances.entity, c.drawing, c.pool, c.tick); }
void lineEntities(Context& c) {
    for (const LinePiece& line : c.lines) {
        c.drawing.drawing.lines.push_back({line.a, line.b});
        c.drawing.lineWidths.push_back(line.width);
    }
    c.lines = {};
}

// The entities tidied.

void covered(Context& c) { dropCoveredEntities(c.drawing, c.tolerances.entity, c.pool, c.tick); }
void arcChains(Context& c) { redrawArcChains(c.drawing, *c.strokeInk, c.tolerances.entity, c.pool, c.tick); }
void tangents(Context& c) { meetAtTangentPoints(c.drawing.drawing, c.tolerances, c.tick); }
void shoulderFillets(Context& c) { fitShoulderFillets(c.drawing, *c.strokeInk, c.tolerances.entity, c.tick); }
void fillets(Context& c) {
    roundFilletedCorners(c.drawing, *c.strokeInk, *c.despeckledInk, c.tolerances.entity, c.tick);
}
void dashedCircles(Context& c) { gatherDashedCircles(c.drawing, *c.strokeInk, c.tolerances, c.tick); }
void arrowheads(Context& c) { outlineArrowheads(c.drawing, *c.despeckledInk, c.tolerances, c.tick); }
void curvedBarbs(Context& c) { bendCurvedBarbs(c.drawing, *c.strokeInk, c.tolerances, c.tick); }
void overlappingArcs(Context& c) {
    mergeOverlappingArcs(c.drawing, *c.strokeInk, *c.despeckledInk, c.tolerances.entity, c.pool, c.tick);
}
void degenerate(Context& c) { dropDegenerateEntities(c.drawing, c.tick); }

// The ink groups and holes of the despeckled grid.

void inkGroups(Context& c) { c.groups.emplace(c.despeckled, nullptr, c.pool, c.tick); }
void roundGroups(Context& c) { replaceRoundGroups(*c.groups, c.tolerances, c.drawing, c.tick); }
void holes(Context& c) { c.holes = holesOfPage(c.despeckled, *c.groups, c.tolerances.largestHole, c.pool); }
void roundHoles(Context& c) { replaceRoundHoles(c.despeckled, c.holes, c.tolerances, c.drawing, c.pool, c.tick); }
void boxHoles(Context& c) { replaceBoxHoles(c.despeckled, c.holes, c.drawing, c.pool, c.tolerances, c.tick); }
void junctionDots(Context& c) {
    replaceJunctionDots(c.despeckled, c.cores, c.holes, c.tolerances, c.drawing, c.pool, c.tick);
}
// The last pass over the groups and holes, which go with it.
void blobs(Context& c) {
    addBlobEntities(*c.groups, c.tolerances.speckCells, c.drawing, c.pool, c.tick);
    c.holes = {};
    c.groups.reset();
}

// The dust and the gaps.

void dottedLines(Context& c) {
    if (c.asRead != nullptr) {
        // Despeckling drops whole groups, so the runs of the grid before it that the grid lacks are its dust.
        addDottedLines(RunGroups(*c.asRead, &c.despeckled, c.pool, c.tick), c.tolerances, c.drawing.drawing, c.pool,
                       c.tick);
    }
}
void brokenStrokes(Context& c) {
    joinBrokenStrokes(c.drawing.drawing, InkProbe(c.asRead != nullptr ? *c.asRead : c.despeckled), c.tolerances,
                      c.tick);
}

// The items of the joining steps: the steps over the groups go through the rows (a tick each) three times
// and the entities once.
std::size_t noItems(const Context&) { return 0; }
std::size_t linePieceItems(const Context& c) { return c.pieces.lines.size(); }
std::size_t pieceItems(const Context& c) { return c.pieces.arcs.size() + c.pieces.lines.size(); }
std::size_t lineItems(const Context& c) { return c.lines.size(); }
std::size_t entityItems(const Context& c) { return c.entityCount(); }
std::size_t rowItems(const Context& c) { return static_cast<std::size_t>(c.despeckled.height()); }
std::size_t groupItems(const Context& c) { return 3 * rowItems(c) + c.entityCount(); }

using enum PassKind;

constexpr std::array kPasses{
    VectorPass{"stroke widths", "", Setup, noItems, measureStrokes},
    VectorPass{"hollowing", "", Setup, noItems, hollowAreas},
    VectorPass{"rows", "中心線（横）", Numbered, noItems, rowPieces},
    VectorPass{"columns", "中心線（縦）", Numbered, noItems, columnPieces},
    VectorPass{"hatches", "ハッチングを見分ける", Joining, linePieceItems, hatches},
    VectorPass{"arcs", "円弧をつなぐ", Joining, pieceItems, arcs},
    VectorPass{"arc centres", "", Joining, noItems, arcCentres},
    VectorPass{"lines", "線分をつなぐ", Joining, linePieceItems, lines},
    VectorPass{"line ends", "線の端を整える", Joining, lineItems, lineEnds},
    VectorPass{"bowed lines", "", Joining, noItems, bowedLines},
    VectorPass{"line entities", "", Joining, noItems, lineEntities},
    VectorPass{"covered", "重なりと接点を整える", Joining, entityItems, covered},
    VectorPass{"tangents", "", Joining, noItems, tangents},
    VectorPass{"shoulder fillets", "", Joining, noItems, shoulderFillets},
    VectorPass{"fillets", "", Joining, noItems, fillets},
    VectorPass{"dashed circles", "破線の円と矢印をまとめる", Joining, entityItems, dashedCircles},
    VectorPass{"arrowheads", "", Joining, noItems, arrowheads},
    VectorPass{"curved barbs", "", Joining, noItems, curvedBarbs},
    VectorPass{"overlapping arcs", "", Joining, noItems, overlappingArcs},
    VectorPass{"arc chains", "", Joining, noItems, arcChains},
    VectorPass{"degenerate", "", Joining, noItems, degenerate},
    VectorPass{"ink groups", "黒い部分の塊を調べる", Joining, rowItems, inkGroups},
    VectorPass{"round groups", "丸い塊を円にする", Joining, groupItems, roundGroups},
    VectorPass{"holes", "穴を見分ける", Joining, entityItems, holes},
    VectorPass{"round holes", "", Joining, noItems, roundHoles},
    VectorPass{"box holes", "", Joining, noItems, boxHoles},
    VectorPass{"junction dots", "交点と塗りつぶしを見分ける", Joining, entityItems, junctionDots},
    VectorPass{"blobs", "", Joining, noItems, blobs},
    VectorPass{"dotted lines", "点線と途切れた線をつなぐ", Joining, entityItems, dottedLines},
    VectorPass{"broken strokes", "", Joining, noItems, brokenStrokes},
};

// The steps the progress of 線と円をまとめる counts: the joining passes with a caption.
constexpr int kJoiningSteps = static_cast<int>(std::ranges::count_if(
    kPasses, [](const VectorPass& pass) { return pass.kind == Joining && !pass.caption.empty(); }));

void startJoiningStep(Context& c, const VectorPass& pass) {
    if (!c.steps) {
        c.pass.CurrentStep = kJoiningCaption;
        c.steps.emplace(c.toolkit, kJoiningSteps);
    }
    if (!pass.caption.empty()) {
        c.steps->start(pass.caption, pass.items(c));
    }
}

}  // namespace

std::span<const VectorPass> vectorPasses() { return kPasses; }

void runPasses(VectorizeContext& context, std::string_view stopAfter) {
    if (!stopAfter.empty() &&
        std::ranges::none_of(kPasses, [&](const VectorPass& pass) { return pass.name == stopAfter; })) {
        throw std::invalid_argument("no vector pass is named " + std::string(stopAfter));
    }
    for (const VectorPass& pass : kPasses) {
        if (pass.kind == Joining) {
            startJoiningStep(context, pass);
        }
        context.caption = pass.caption;
        pass.run(context);
        if (pass.name == stopAfter) {
            break;
        }
    }
    if (context.steps) {
        context.steps->finish();
        ++context.pass.PassNumber;
    }
}

}  // namespace kelvarin
