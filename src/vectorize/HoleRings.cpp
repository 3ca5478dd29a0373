// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/HoleRings.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <numbers>
#include <numeric>
#include <optional>
#include <utility>

#include "common/WorkerPool.h"
#include "vectorize/Fitting.h"
#include "vectorize/Holes.h"
#include "vectorize/InkProbe.h"
#include "vectorize/RingStroke.h"
#include "vectorize/SegmentIndex.h"
#include "vectorize/Slots.h"

namespace kelvarin {

namespace {

constexpr std::int32_t kWidestCut = 12;  // dots: the widest line through a ring that cuts its hole apart
constexpr std::size_t kMostPieces = 6;
constexpr std::ptrdiff_t kSectors = 32;  // of the circle, for how far round the hole's edge follows it
// A line half as wide as a hole through its centre, as a heavy pen draws one through a small ring, leaves
// two slivers: 40 % of the disc, along 2/3 of its circle. A hole narrower than this has too few edge dots to
// tell such slivers from the pieces of a letter or a polygon, so its lines may take half the disc and a
// quarter of the circle at most.
constexpr std::int32_t kNarrowCutHole = 12;

bool narrowCutHole(const Box& box) { return std::max(box.width(), box.height()) < kNarrowCutHole; }

// The middles of the sides between the cells of the holes and the ink round them.
std::vector<Point> edgeOf(const std::vector<const std::vector<Gap>*>& pieces, const Box& box) {
    const std::int32_t stride = box.width() + 2;
    std::vector<bool> inside(static_cast<std::size_t>(stride * (box.height() + 2)), false);
    const auto place = [&](std::int32_t x, std::int32_t y) {
        return static_cast<std::size_t>((y - box.bottom + 1) * stride + (x - box.left + 1));
    };
    for (const std::vector<Gap>* piece : pieces) {
        for (const Gap& gap : *piece) {
            for (std::int32_t x = gap.left; x <= gap.right; ++x) {
                inside[place(x, gap.y)] = true;
            }
        }
    }
    std::vector<Point> edge;
    for (const std::vector<Gap>* piece : pieces) {
        for (const Gap& gap : *piece) {
            for (std::int32_t x = gap.left; x <= gap.right; ++x) {
                const auto cell = Point{static_cast<double>(x), static_cast<double>(gap.y)};
                for (const auto& [dx, dy] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}}) {
                    if (!inside[place(x + dx, gap.y + dy)]) {
                        edge.push_back(cell + Point{dx * 0.5, dy * 0.5});
                    }
                }
            }
        }
    }
    return edge;
}

// The edge of a small hole in whole cells may leave a sector of its circle without any point where it steps
// diagonally (up to a diagonal's length apart): such a sector between followed ones counts as followed. A
// sector whose points lie off the circle (a polygon's corner or side) does not, nor does one of a hole under
// 7 dots across, which is no rounder than the diamonds and triangles between hatch lines.
void fillStepGaps(std::array<bool, kSectors>& followed, const std::array<bool, kSectors>& pointed, double radius) {
    constexpr double kLongestStep = std::numbers::sqrt2;  // dots between neighbouring points of an edge
    constexpr double kSmallestRadius = 3.5;
    if (radius < kSmallestRadius || 2 * std::numbers::pi * radius / kSectors > kLongestStep) {
        return;
    }
    const std::array<bool, kSectors> was = followed;
    for (std::size_t k = 0; k < was.size(); ++k) {
        followed[k] = was[k] || (!pointed[k] && was[(k + 1) % was.size()] && was[(k + was.size() - 1) % was.size()]);
    }
}

// The radius of the circle round holes in the box, as a first guess: a whole hole's box holds its circle; the
// pieces of a cut one may fall short of it across the cut, where curved strokes cut it (overlapping loops
// cut each other's holes into lenses, lower than the circle).
double guessedRadius(const Box& box, bool whole) {
    return whole ? (box.width() + box.height()) / 4.0 : std::max(box.width(), box.height()) / 2.0;
}

// The circle the hole's edge follows: fitted to the edge points near the circle guessed, ever closer. Edge
// points inside it are where lines cut the hole; points beyond it, a corner of a hole that is no circle.
std::optional<CircleFit> circleOfEdge(const std::vector<Point>& edge, const Box& box, std::ptrdiff_t fewestSectors,
                                      bool whole) {
    CircleFit fit{box.centre(), guessedRadius(box, whole), true};
    std::vector<Point> near;
    // The share of the edge on the circle: most of a whole hole's, some of a cut one's, the rest along lines.
    const double least = static_cast<double>(edge.size()) * (whole ? 0.8 : 0.35);
    for (const double share : {0.25, 0.12, 0.08}) {
        near.clear();
        const double within = std::max(1.0, share * fit.radius);
        for (const Point& p : edge) {
            if (std::abs(length(p - fit.centre) - fit.radius) <= within) {
                near.push_back(p);
            }
        }
        if (near.size() < 8 || static_cast<double>(near.size()) < least) {
            return std::nullopt;
        }
        fit = fitCircle(near);
        if (!fit.valid) {
            return std::nullopt;
        }
    }
    // The steps of a circle's edge in whole cells lie within about half a dot of it; the straight sides of a
    // hole between hatch lines, rounded at the corners, farther.
    constexpr double kStepsOff = 0.6;
    const double within = std::max(1.0, 0.06 * fit.radius);
    const auto follows = [&](const CircleFit& circle, double inside) {
        std::array<bool, kSectors> followed{}, pointed{};
        double beyond = 0, on = 0, close = 0, squares = 0;
        for (const Point& p : edge) {
            const double off = length(p - circle.centre) - circle.radius;
            beyond += off > within + 0.5 ? 1 : 0;
            const auto sector =
                static_cast<std::size_t>(angleDegrees(circle.centre, p) / (360.0 / kSectors)) % followed.size();
            pointed[sector] = true;
            followed[sector] = followed[sector] || std::abs(off) <= within;
            if (off >= -inside && off <= within) {
                on += 1;
                close += std::abs(off) <= kStepsOff ? 1 : 0;
                squares += off * off;
            }
        }
        fillStepGaps(followed, pointed, circle.radius);
        const auto sectors = std::count(followed.begin(), followed.end(), true);
        return beyond <= 0.05 * static_cast<double>(edge.size()) && sectors >= fewestSectors && close >= 0.8 * on &&
               squares <= 0.45 * 0.45 * on;
    };
    if (follows(fit, within)) {
        return fit;
    }
    // A whole hole's edge may be pushed in here and there by lines that touch or run along the ring: the
    // circle of the rest of it, where few of its points lie inside.
    if (!whole) {
        return std::nullopt;
    }
    near.clear();
    for (const Point& p : edge) {
        const double off = length(p - fit.centre) - fit.radius;
        if (off >= -kStepsOff && off <= within) {
            near.push_back(p);
        }
    }
    const CircleFit rest = fitCircle(near);
    if (!rest.valid || static_cast<double>(near.size()) < 0.85 * static_cast<double>(edge.size()) ||
        !follows(rest, kStepsOff)) {
        return std::nullopt;
    }
    return rest;
}

// Whether holes of so many cells in all, whole or pieces, may make a round hole of that box: a square one,
// no larger than a hole (a cut one, than kLargestCutHole), and covering about the disc in it, the steps along
// its edge aside; the pieces of a cut one less, by the lines through it.
bool roundBox(const Box& box, double cells, bool whole) {
    const std::int32_t larger = std::max(box.width(), box.height());
    // The pieces of a hole that curved strokes cut (the lenses of overlapping loops) fall short of its box across
    // the cut.
    const double squareness = whole ? 0.1 : 0.25;
    if (larger > (whole ? kLargestHole : kLargestCutHole) ||
        std::abs(box.width() - box.height()) > 2 + squareness * larger) {
        return false;
    }
    const double disc = std::numbers::pi / 4 * box.width() * box.height(), steps = (box.width() + box.height()) / 2.0;
    const double least = narrowCutHole(box) ? 0.5 : 0.35;
    return whole ? std::abs(cells - disc) <= 0.1 * disc + steps : cells <= disc + steps && cells >= least * disc;
}

// Whether the rows of the holes end on the circle their box holds, for a whole hole, or within it, for the
// pieces of a cut one, but for a few ends that noise moved: a quick test before the fit, which corners fail.
bool rowsEndRound(const std::vector<const std::vector<Gap>*>& pieces, const Box& box) {
    const Point c = box.centre();
    const bool whole = pieces.size() == 1;
    const double r = guessedRadius(box, whole), slack = std::max(1.5, 0.08 * r);
    double ends = 0, off = 0;
    for (const std::vector<Gap>* piece : pieces) {
        for (const Gap& gap : *piece) {
            for (const double end : {gap.left - 0.5, gap.right + 0.5}) {
                const double distance = length(Point{end, static_cast<double>(gap.y)} - c);
                off += distance > r + slack || (whole && distance < r - slack) ? 1 : 0;
                ends += 1;
            }
        }
    }
    return off <= std::max(1.0, 0.05 * ends);
}

// The ring round the holes taken together, traced, if they make one; box holds them all.
std::optional<Ring> ringOfTraced(const std::vector<const std::vector<Gap>*>& pieces, const Box& box,
                                 const InkProbe& ink) {
    if (!rowsEndRound(pieces, box)) {
        return std::nullopt;
    }
    // A whole hole follows its circle all round: one with a straight side, as a letter's bowl has, is no ring.
    // The pieces of a cut hole follow it but where the lines cut it.
    const bool whole = pieces.size() == 1;
    const std::ptrdiff_t fewestSectors = whole                ? kSectors - 3
                                         : narrowCutHole(box) ? kSectors * 3 / 4
                                                              : kSectors * 3 / 5;
    const std::optional<CircleFit> circle = circleOfEdge(edgeOf(pieces, box), box, fewestSectors, whole);
    return circle ? ringRound({circle->centre, circle->centre, circle->radius}, ink) : std::nullopt;
}

// All the holes of a page, found near a place through their boxes' centres.
struct HoleIndex {
    std::vector<const Hole*> holes;
    SegmentIndex index{kIndexCellSize};

    explicit HoleIndex(const std::vector<std::vector<Hole>>& bands) {
        for (const std::vector<Hole>& band : bands) {
            for (const Hole& hole : band) {
                index.insert(static_cast<std::int32_t>(holes.size()), hole.box.centre(), hole.box.centre());
                holes.push_back(&hole);
            }
        }
        index.build();
    }
};

// Whether holes of about the size of the ring's lie just beyond its stroke on three sides or more, as the
// holes between thick crossing hatch lines do, which are as round as rings.
bool amongLikeHoles(const Ring& ring, const std::vector<const Hole*>& pieces, const HoleIndex& all,
                    SegmentIndex::Search& search, std::vector<std::int32_t>& near) {
    constexpr int kFewestAround = 3;
    const double outer = ring.hole + ring.stroke + 2;
    const Point c = ring.circle.centre;
    const Box reach{
        static_cast<std::int32_t>(std::floor(c.x - outer)), static_cast<std::int32_t>(std::ceil(c.x + outer)),
        static_cast<std::int32_t>(std::floor(c.y - outer)), static_cast<std::int32_t>(std::ceil(c.y + outer))};
    all.index.near(c, outer + kLargestHole, near, search);
    int around = 0;
    for (const std::int32_t k : near) {
        const Hole* hole = all.holes[static_cast<std::size_t>(k)];
        const double size = std::max(hole->box.width(), hole->box.height());
        if (std::find(pieces.begin(), pieces.end(), hole) == pieces.end() && hole->box.gapTo(reach) < 0 &&
            size >= ring.hole && size <= 4 * ring.hole) {
            ++around;
        }
    }
    return around >= kFewestAround;
}

// The ring or slot round hole i alone, if it makes one.
std::optional<Ring> ringAlone(const HoleIndex& all, std::size_t i, const VirtualVram& grid, const InkProbe& ink,
                              SegmentIndex::Search& search, std::vector<std::int32_t>& near) {
    const Hole& hole = *all.holes[i];
    const bool round = roundBox(hole.box, hole.cells, true);
    if (round ? !symmetricAboutCentre(hole, ink) : !mayBeSlot(hole, ink)) {
        return std::nullopt;
    }
    const std::vector<Gap> gaps = gapsOf(grid, hole);
    if (round) {
        if (const std::optional<Ring> ring = ringOfTraced({&gaps}, hole.box, ink)) {
            return !amongLikeHoles(*ring, {&hole}, all, search, near) ? ring : std::nullopt;
        }
    }
    const std::optional<SlotShape> slot = slotOfEdge(edgeOf({&gaps}, hole.box));
    return slot ? ringRound(*slot, ink) : std::nullopt;
}

// A ring of pieces: the holes it is made of, by their numbers.
struct PiecedRing {
    Ring ring;
    std::vector<std::size_t> holes;
};

constexpr std::size_t kRingsOfAPiece = 2;

// Whether two rings found from different pieces are one: their circles' centres within half a hole's
// radius. Two overlapping loops' centres lie a radius or more apart.
bool sameCircle(const Ring& first, const Ring& second) {
    return length(first.circle.centre - second.circle.centre) < std::min(first.hole, second.hole) / 2;
}

// Whether a box is half as long again as it is wide: a slot's, or a piece of one.
bool elongated(const Box& box) {
    return 2 * std::max(box.width(), box.height()) >= 3 * std::min(box.width(), box.height());
}

// Whether holes of so many cells in all may make a slot's hole of that box, cut by lines: one along the axes,
// its box's corners and the lines through it left out. The holes between hatch lines, many, cover less.
bool slotBox(const Box& box, double cells) {
    return std::max(box.width(), box.height()) <= kLargestCutHole &&
           cells >= 0.7 * static_cast<double>(box.width()) * box.height();
}

// The slot round the pieces of a cut hole taken together, traced, if they make one; box holds them all.
std::optional<Ring> slotOfTraced(const std::vector<const std::vector<Gap>*>& pieces, const Box& box,
                                 const InkProbe& ink) {
    const std::optional<SlotShape> slot = slotOfCutEdge(edgeOf(pieces, box));
    return slot ? ringRound(*slot, ink) : std::nullopt;
}

// Whether the hole fills its box as a piece of a round hole that straight lines cut does: a quarter or a half
// of a disc fills it as the disc fills its own, a smaller piece cut off a little more; a triangle or a
// diamond between hatch lines half of it, a square all. A piece of a slot, long, fills it more. It is no
// larger than kLargestCutHole.
bool mayBePiece(const Hole& hole) {
    const double fill = hole.cells / (static_cast<double>(hole.box.width()) * hole.box.height());
    return fill >= 0.6 && fill <= (elongated(hole.box) ? 0.97 : 0.92) &&
           std::max(hole.box.width(), hole.box.height()) <= kLargestCutHole;
}

// Every choice of up to kMostPieces - 1 holes beside one, as bits, most holes first.
std::vector<std::uint32_t> choicesMostFirst() {
    std::vector<std::uint32_t> choices(std::size_t{1} << (kMostPieces - 1));
    std::iota(choices.begin(), choices.end(), 0);
    std::stable_sort(choices.begin(), choices.end(),
                     [](std::uint32_t a, std::uint32_t b) { return std::popcount(a) > std::popcount(b); });
    choices.pop_back();  // none
    return choices;
}

// The rings hole i makes with some of the holes beside it across a line's width that are no rings alone, the
// most that make one first: one, or two of different circles (a lens between two overlapping loops is a
// piece of both).
std::vector<PiecedRing> ringsOfPieces(const HoleIndex& all, std::size_t i,
                                      const std::vector<std::optional<Ring>>& alone, const VirtualVram& grid,
                                      const InkProbe& ink, const std::vector<std::uint32_t>& choices,
                                      SegmentIndex::Search& search, std::vector<std::int32_t>& near) {
    const std::vector<const Hole*>& holes = all.holes;
    std::vector<PiecedRing> rings;
    if (!mayBePiece(*holes[i])) {
        return rings;
    }
    // The pieces of one hole are about as large as each other, a small piece cut off aside.
    const Box& seed = holes[i]->box;
    all.index.near(seed.centre(), std::min(3 * std::max(seed.width(), seed.height()), kLargestCutHole) + kWidestCut,
                   near, search);
    std::vector<std::pair<std::int32_t, std::size_t>> beside;  // gap and number of the holes beside
    for (const std::int32_t k : near) {
        const auto other = static_cast<std::size_t>(k);
        const std::int32_t gap = seed.gapTo(holes[other]->box);
        if (other != i && !alone[other] && gap <= kWidestCut && mayBePiece(*holes[other])) {
            beside.emplace_back(gap, other);
        }
    }
    std::sort(beside.begin(), beside.end());
    beside.resize(std::min(beside.size(), kMostPieces - 1));
    // Each hole traced once, when some choice of holes with it may make a ring: the seed first.
    std::array<std::optional<std::vector<Gap>>, kMostPieces> traces;
    const auto traced = [&](std::size_t slot, const Hole& hole) -> const std::vector<Gap>* {
        if (!traces[slot]) {
            traces[slot] = gapsOf(grid, hole);
        }
        return &*traces[slot];
    };
    std::vector<const Hole*> pieces;
    std::vector<const std::vector<Gap>*> rows;
    for (const std::uint32_t choice : choices) {
        if (choice >> beside.size() != 0) {
            continue;
        }
        Box box = seed;
        double cells = holes[i]->cells;
        for (std::size_t k = 0; k < beside.size(); ++k) {
            if ((choice >> k & 1) != 0) {
                box.add(holes[beside[k].second]->box);
                cells += holes[beside[k].second]->cells;
            }
        }
        const bool round = roundBox(box, cells, false);
        if (!round && !slotBox(box, cells)) {
            continue;
        }
        pieces.assign(1, holes[i]);
        rows.assign(1, traced(0, *holes[i]));
        PiecedRing found{{}, {i}};
        for (std::size_t k = 0; k < beside.size(); ++k) {
            if ((choice >> k & 1) != 0) {
                pieces.push_back(holes[beside[k].second]);
                rows.push_back(traced(k + 1, *holes[beside[k].second]));
                found.holes.push_back(beside[k].second);
            }
        }
        const std::optional<Ring> ring = round ? ringOfTraced(rows, box, ink) : slotOfTraced(rows, box, ink);
        if (ring && !amongLikeHoles(*ring, pieces, all, search, near) &&
            (rings.empty() || !sameCircle(rings.front().ring, *ring))) {
            found.ring = *ring;
            rings.push_back(std::move(found));
            if (rings.size() == kRingsOfAPiece) {
                break;
            }
        }
    }
    return rings;
}

}  // namespace

std::vector<Ring> findRings(const VirtualVram& grid, const RunGroups& rows, WorkerPool& pool, const Tick& tick) {
    const auto bands = static_cast<std::size_t>((grid.height() + kHoleBandRows - 1) / kHoleBandRows);
    std::vector<std::vector<Hole>> found(bands);
    pool.run(bands, [&](std::size_t band, std::int32_t) {
        found[band] = holesInBand(grid, rows, static_cast<std::int32_t>(band) * kHoleBandRows);
    });
    const HoleIndex all(found);
    const InkProbe ink(grid);
    std::vector<std::optional<Ring>> alone(all.holes.size());
    std::vector<SegmentIndex::Search> searches(static_cast<std::size_t>(pool.threads()));
    std::vector<std::vector<std::int32_t>> nears(searches.size());
    pool.run(all.holes.size(), [&](std::size_t i, std::int32_t worker) {
        const auto w = static_cast<std::size_t>(worker);
        alone[i] = ringAlone(all, i, grid, ink, searches[w], nears[w]);
    });
    // The holes that are no ring alone may be the pieces of one that lines cut: each hole's rings of pieces
    // are found apart, then taken in the holes' order, once each. A piece is a piece of two rings at most
    // (a lens between two overlapping loops).
    const std::vector<std::uint32_t> choices = choicesMostFirst();
    std::vector<std::vector<PiecedRing>> pieced(all.holes.size());
    pool.run(all.holes.size(), [&](std::size_t i, std::int32_t worker) {
        const auto w = static_cast<std::size_t>(worker);
        if (!alone[i]) {
            pieced[i] = ringsOfPieces(all, i, alone, grid, ink, choices, searches[w], nears[w]);
        }
    });
    std::vector<Ring> rings;
    for (std::size_t i = 0; i < all.holes.size(); ++i) {
        if (alone[i]) {
            rings.push_back(*alone[i]);
        }
    }
    const std::size_t aloneRings = rings.size();
    std::vector<std::size_t> uses(all.holes.size(), 0);
    for (std::size_t i = 0; i < all.holes.size(); ++i) {
        tick();
        for (const PiecedRing& candidate : pieced[i]) {
            const bool twice = std::any_of(rings.begin() + static_cast<std::ptrdiff_t>(aloneRings), rings.end(),
                                           [&](const Ring& ring) { return sameCircle(ring, candidate.ring); });
            if (!twice && std::all_of(candidate.holes.begin(), candidate.holes.end(),
                                      [&](std::size_t k) { return uses[k] < kRingsOfAPiece; })) {
                rings.push_back(candidate.ring);
                for (const std::size_t k : candidate.holes) {
                    ++uses[k];
                }
            }
        }
    }
    return rings;
}

}  // namespace kelvarin
