// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/rounds/HoleRings.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <map>
#include <mutex>
#include <numeric>
#include <optional>
#include <utility>

#include "common/WorkerPool.h"
#include "vectorize/geometry/Distances.h"
#include "vectorize/geometry/Fitting.h"
#include "vectorize/index/DrawingIndexes.h"
#include "vectorize/index/SpatialIndex.h"
#include "vectorize/raster/Holes.h"
#include "vectorize/raster/InkProbe.h"
#include "vectorize/rounds/HoleCircles.h"
#include "vectorize/rounds/RingStroke.h"
#include "vectorize/rounds/Slots.h"

namespace kelvarin {

namespace {

constexpr std::size_t kMostPieces = 6;

// All the holes of a page, found near a place through their boxes' centres, and their sizes: the largest
// hole and the largest cut one, and the widest line through a ring that cuts its hole apart.
struct HoleIndex {
    std::vector<const Hole*> holes;
    SpatialIndex index;
    std::int32_t largest, largestCut, widestCut;
    double narrowestSlot;

    HoleIndex(const PageHoles& bands, const Tolerances& sizes)
        : holes(listedHoles(bands)),
          largest(sizes.largestHole),
          largestCut(sizes.largestCutHole),
          widestCut(sizes.widestHoleCut),
          narrowestSlot(sizes.narrowestSlot) {
        index = indexOfPoints(holes.size(), [&](std::size_t i) { return holes[i]->box.centre(); });
        index.build();
    }
};

// Whether holes of about the size of the ring's lie just beyond its stroke on three sides or more, as the
// holes between thick crossing hatch lines do, which are as round as rings.
bool amongLikeHoles(const Ring& ring, const std::vector<const Hole*>& pieces, const HoleIndex& all,
                    SpatialIndex::Search& search, std::vector<std::int32_t>& near) {
    constexpr int kFewestAround = 3;
    const double outer = ring.hole + ring.stroke + 2;
    const Point c = ring.circle.centre;
    const Box reach{
        static_cast<std::int32_t>(std::floor(c.x - outer)), static_cast<std::int32_t>(std::ceil(c.x + outer)),
        static_cast<std::int32_t>(std::floor(c.y - outer)), static_cast<std::int32_t>(std::ceil(c.y + outer))};
    all.index.near(c, outer + all.largest, near, search);
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
                              SpatialIndex::Search& search, std::vector<std::int32_t>& near) {
    const Hole& hole = *all.holes[i];
    const bool round = roundBox(hole.box, hole.cells, all.largest, true);
    if (round ? !symmetricAboutCentre(hole, ink) : !mayBeSlot(hole, ink, all.narrowestSlot)) {
        return std::nullopt;
    }
    const std::vector<Gap> gaps = gapsOf(grid, hole);
    if (round) {
        if (const std::optional<Ring> ring = ringOfTraced({&gaps}, hole.box, ink)) {
            return !amongLikeHoles(*ring, {&hole}, all, search, near) ? ring : std::nullopt;
        }
    }
    const std::optional<SlotShape> slot = slotOfEdge(edgeOf({&gaps}, hole.box), all.narrowestSlot);
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
bool slotBox(const Box& box, double cells, std::int32_t largest) {
    return std::max(box.width(), box.height()) <= largest &&
           cells >= 0.7 * static_cast<double>(box.width()) * box.height();
}

// Whether the rows of the pieces end within the slot along the axes that their box holds, but for a few ends
// that noise moved: a quick test before the fit, which the rectangles between crossing lines fail at their
// corners. A slot turned a little from the axes lies within that one but for less than the slack.
bool rowsEndInSlot(const std::vector<const std::vector<Gap>*>& pieces, const Box& box) {
    const double r = std::min(box.width(), box.height()) / 2.0, slack = std::max(1.5, 0.08 * r);
    const Point c = box.centre();
    const Point reach =
        box.width() >= box.height() ? Point{box.width() / 2.0 - r, 0} : Point{0, box.height() / 2.0 - r};
    const VectorLine straight{c - reach, c + reach};
    double ends = 0, off = 0;
    for (const std::vector<Gap>* piece : pieces) {
        for (const Gap& gap : *piece) {
            for (const double end : {gap.left - 0.5, gap.right + 0.5}) {
                off += distanceToSegment(Point{end, static_cast<double>(gap.y)}, straight) > r + slack ? 1 : 0;
                ends += 1;
            }
        }
    }
    return off <= std::max(1.0, 0.05 * ends);
}

// The slot round the pieces of a cut hole taken together, traced, if they make one; box holds them all.
std::optional<Ring> slotOfTraced(const std::vector<const std::vector<Gap>*>& pieces, const Box& box,
                                 const InkProbe& ink, double narrowest) {
    if (!rowsEndInSlot(pieces, box)) {
        return std::nullopt;
    }
    const std::optional<SlotShape> slot = slotOfCutEdge(edgeOf(pieces, box), narrowest);
    return slot ? ringRound(*slot, ink) : std::nullopt;
}

// Whether the hole fills its box as a piece of a round hole that straight lines cut does: a quarter or a half
// of a disc fills it as the disc fills its own, a smaller piece cut off a little more; a triangle or a
// diamond between hatch lines half of it, a square all. A piece of a slot, long, fills it more. It is no
// larger than the largest cut hole.
bool mayBePiece(const Hole& hole, std::int32_t largest) {
    const double fill = hole.cells / (static_cast<double>(hole.box.width()) * hole.box.height());
    return fill >= 0.6 && fill <= (elongated(hole.box) ? 0.97 : 0.92) &&
           std::max(hole.box.width(), hole.box.height()) <= largest;
}

// The ring (or none) that each set of holes taken together makes, shared by the workers: the holes beside
// one another try the same sets from each of them. The holes are traced and put together in the order of
// their numbers, so that the ring is the same whichever hole tried the set first.
class PieceSets {
public:
    template <typename Find>
    std::optional<Ring> ringOf(const std::vector<std::size_t>& holes, Find find) {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            if (const auto known = m_rings.find(holes); known != m_rings.end()) {
                return known->second;
            }
        }
        const std::optional<Ring> ring = find();
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_rings.emplace(holes, ring);
        return ring;
    }

private:
    std::mutex m_mutex;
    std::map<std::vector<std::size_t>, std::optional<Ring>> m_rings;
};

// Every choice of up to kMostPieces - 1 holes beside one, as bits, most holes first.
std::vector<std::uint32_t> choicesMostFirst() {
    std::vector<std::uint32_t> choices(std::size_t{1} << (kMostPieces - 1));
    std::iota(choices.begin(), choices.end(), 0);
    std::stable_sort(choices.begin(), choices.end(),
                     [](std::uint32_t a, std::uint32_t b) { return std::popcount(a) > std::popcount(b); });
    choices.pop_back();  // none
    return choices;
}

// The holes beside hole i across a line's width that are no rings alone and may be pieces of one hole with
// it, nearest first, kMostPieces - 1 at most: each one's gap and number. The pieces of one hole are about
// as large as each other, a small piece cut off aside.
std::vector<std::pair<std::int32_t, std::size_t>> holesBeside(const HoleIndex& all, std::size_t i,
                                                              const std::vector<std::optional<Ring>>& alone,
                                                              SpatialIndex::Search& search,
                                                              std::vector<std::int32_t>& near) {
    const std::vector<const Hole*>& holes = all.holes;
    const Box& seed = holes[i]->box;
    all.index.near(seed.centre(), std::min(3 * std::max(seed.width(), seed.height()), all.largestCut) + all.widestCut,
                   near, search);
    std::vector<std::pair<std::int32_t, std::size_t>> beside;
    for (const std::int32_t k : near) {
        const auto other = static_cast<std::size_t>(k);
        const std::int32_t gap = seed.gapTo(holes[other]->box);
        if (other != i && !alone[other] && gap <= all.widestCut && mayBePiece(*holes[other], all.largestCut)) {
            beside.emplace_back(gap, other);
        }
    }
    std::sort(beside.begin(), beside.end());
    beside.resize(std::min(beside.size(), kMostPieces - 1));
    return beside;
}

// The holes a choice takes, hole i and those beside it whose bits the choice sets: the number of each and the
// slot of its trace (0 for hole i, k + 1 for the kth beside), in the order of their numbers.
std::vector<std::pair<std::size_t, std::size_t>> chosenHoles(
    std::size_t i, const std::vector<std::pair<std::int32_t, std::size_t>>& beside, std::uint32_t choice) {
    std::vector<std::pair<std::size_t, std::size_t>> chosen(1, {i, 0});
    for (std::size_t k = 0; k < beside.size(); ++k) {
        if ((choice >> k & 1) != 0) {
            chosen.emplace_back(beside[k].second, k + 1);
        }
    }
    std::sort(chosen.begin(), chosen.end());
    return chosen;
}

// The rings hole i makes with some of the holes beside it across a line's width that are no rings alone, the
// most that make one first: one, or two of different circles (a lens between two overlapping loops is a
// piece of both).
std::vector<PiecedRing> ringsOfPieces(const HoleIndex& all, std::size_t i,
                                      const std::vector<std::optional<Ring>>& alone, const VirtualVram& grid,
                                      const InkProbe& ink, const std::vector<std::uint32_t>& choices, PieceSets& sets,
                                      SpatialIndex::Search& search, std::vector<std::int32_t>& near) {
    const std::vector<const Hole*>& holes = all.holes;
    std::vector<PiecedRing> rings;
    if (!mayBePiece(*holes[i], all.largestCut)) {
        return rings;
    }
    const std::vector<std::pair<std::int32_t, std::size_t>> beside = holesBeside(all, i, alone, search, near);
    // Each hole traced once, when some choice of holes with it may make a ring: the seed first.
    std::array<std::optional<std::vector<Gap>>, kMostPieces> traces;
    const auto traced = [&](std::size_t slot, const Hole& hole) -> const std::vector<Gap>* {
        if (!traces[slot]) {
            traces[slot] = gapsOf(grid, hole);
        }
        return &*traces[slot];
    };
    for (const std::uint32_t choice : choices) {
        if (choice >> beside.size() != 0) {
            continue;
        }
        Box box = holes[i]->box;
        double cells = holes[i]->cells;
        for (std::size_t k = 0; k < beside.size(); ++k) {
            if ((choice >> k & 1) != 0) {
                box.add(holes[beside[k].second]->box);
                cells += holes[beside[k].second]->cells;
            }
        }
        const bool round = roundBox(box, cells, all.largestCut, false);
        if (!round && !slotBox(box, cells, all.largestCut)) {
            continue;
        }
        const std::vector<std::pair<std::size_t, std::size_t>> chosen = chosenHoles(i, beside, choice);
        PiecedRing found{{}, {}};
        for (const auto& [hole, slot] : chosen) {
            found.holes.push_back(hole);
        }
        const std::optional<Ring> ring = sets.ringOf(found.holes, [&]() -> std::optional<Ring> {
            std::vector<const Hole*> pieces;
            std::vector<const std::vector<Gap>*> rows;
            for (const auto& [hole, slot] : chosen) {
                pieces.push_back(holes[hole]);
                rows.push_back(traced(slot, *holes[hole]));
            }
            const std::optional<Ring> made =
                round ? ringOfTraced(rows, box, ink) : slotOfTraced(rows, box, ink, all.narrowestSlot);
            return made && !amongLikeHoles(*made, pieces, all, search, near) ? made : std::nullopt;
        });
        if (ring && (rings.empty() || !sameCircle(rings.front().ring, *ring))) {
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

std::vector<Ring> findRings(const VirtualVram& grid, const PageHoles& holes, const Tolerances& tolerances,
                            WorkerPool& pool, const Tick& tick) {
    const HoleIndex all(holes, tolerances);
    const InkProbe ink(grid);
    std::vector<std::optional<Ring>> alone(all.holes.size());
    std::vector<SpatialIndex::Search> searches(static_cast<std::size_t>(pool.threads()));
    std::vector<std::vector<std::int32_t>> nears(searches.size());
    pool.run(all.holes.size(), [&](std::size_t i, std::int32_t worker) {
        const auto w = static_cast<std::size_t>(worker);
        alone[i] = ringAlone(all, i, grid, ink, searches[w], nears[w]);
    });
    // The holes that are no ring alone may be the pieces of one that lines cut: each hole's rings of pieces
    // are found apart, then taken in the holes' order, once each. A piece is a piece of two rings at most
    // (a lens between two overlapping loops).
    const std::vector<std::uint32_t> choices = choicesMostFirst();
    PieceSets sets;
    std::vector<std::vector<PiecedRing>> pieced(all.holes.size());
    pool.run(all.holes.size(), [&](std::size_t i, std::int32_t worker) {
        const auto w = static_cast<std::size_t>(worker);
        if (!alone[i]) {
            pieced[i] = ringsOfPieces(all, i, alone, grid, ink, choices, sets, searches[w], nears[w]);
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
