// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/RoundHoles.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <numbers>
#include <numeric>
#include <optional>

#include "common/WorkerPool.h"
#include "convert/LineSegmentList.h"
#include "vectorize/EntityWalk.h"
#include "vectorize/Fitting.h"
#include "vectorize/InkProbe.h"
#include "vectorize/RunGroups.h"
#include "vectorize/SegmentIndex.h"

namespace kelvarin {

namespace {

constexpr std::int32_t kLargestHole = 120;             // dots across; larger circles come out whole from their pieces
constexpr std::int32_t kBandRows = 16 * kLargestHole;  // rows in which the holes of a band have their lowest
constexpr std::int32_t kSmallestPiece = 3;             // dots across, of a hole or of a piece of one a line cut off
constexpr std::int32_t kWidestCut = 12;                // dots: the widest line through a ring that cuts its hole apart
constexpr std::size_t kMostPieces = 6;
constexpr std::ptrdiff_t kSectors = 32;  // of the circle, for how far round the hole's edge follows it
constexpr std::size_t kRays = 64;        // from the centre across the stroke, for its width
// How many rays at least cross the stroke where nothing touches it: an eighth of it.
constexpr std::size_t kFewestEven = kRays / 8;

// The background cells left to right of row y.
struct Gap {
    std::int32_t y, left, right;
};

struct Box {
    std::int32_t left = INT32_MAX, right = INT32_MIN, bottom = INT32_MAX, top = INT32_MIN;

    void add(const Box& other) {
        left = std::min(left, other.left);
        right = std::max(right, other.right);
        bottom = std::min(bottom, other.bottom);
        top = std::max(top, other.top);
    }
    std::int32_t width() const { return right - left + 1; }
    std::int32_t height() const { return top - bottom + 1; }
    Point centre() const { return {(left + right) / 2.0, (bottom + top) / 2.0}; }
    // The columns or rows of background between the boxes, where they lie farthest apart; 0 or less when
    // they overlap.
    std::int32_t gapTo(const Box& other) const {
        return std::max(
            {other.left - right - 1, left - other.right - 1, other.bottom - top - 1, bottom - other.top - 1});
    }
};

// A stretch of background cells, sides touching, that ink encloses: its box, its size and one of its cells.
struct Hole {
    Box box;
    std::int32_t cells = 0;
    std::int32_t seedX = 0, seedY = 0;
};

struct Ring {
    VectorCircle circle;
    double hole = 0, stroke = 0;  // dots: the radius of the ink's inner edge and the stroke's width

    // Whether a point so far from the centre lies on the stroke, a dot and a half either side of it at most.
    bool onStroke(double distance) const { return distance >= hole - 1.5 && distance <= hole + stroke + 1.5; }
};

// The stretches of background joined so far while the rows of a band are read one by one: each stretch
// of a row starts a part or joins the parts it touches in the row before. A part that no stretch of the next
// row goes on with is whole. Parts keep their box and size only: the few holes looked at closely are
// traced again.
class HoleTracker {
public:
    HoleTracker(std::int32_t first, std::int32_t last) : m_first(first), m_last(last) {
        m_parts.push_back({{}, 0, 0, 0, 0, true});
        m_parent.push_back(kOpenPart);
    }

    // Adds the stretches of background of row y, each part that ended with row y - 1 to holes when it is one.
    void addRow(std::int32_t y, const std::vector<LineSegment>& runs, std::int32_t width, bool open,
                std::vector<Hole>& holes) {
        m_current.clear();
        std::size_t above = 0;
        const auto addGap = [&](std::int32_t left, std::int32_t right, bool edge) {
            if (left > right) {
                return;
            }
            // Background cells touch across rows by their sides only: ink joins diagonally.
            while (above < m_previous.size() && m_previous[above].right < left) {
                ++above;
            }
            std::uint32_t part = kNone;
            for (std::size_t k = above; k < m_previous.size() && m_previous[k].left <= right; ++k) {
                part = part == kNone ? root(m_previous[k].part) : join(part, root(m_previous[k].part));
            }
            if (edge || open || right - left + 1 > kLargestHole) {
                part = part == kNone ? kOpenPart : join(part, kOpenPart);
            } else if (part == kNone) {
                part = static_cast<std::uint32_t>(m_parts.size());
                m_parts.push_back({{}, 0, 0, left, y, false});
                m_parent.push_back(part);
            }
            if (part != kOpenPart) {
                Part& into = m_parts[part];
                into.lastRow = y;
                into.box.add({left, right, y, y});
                into.cells += right - left + 1;
                if (std::max(into.box.width(), into.box.height()) > kLargestHole) {
                    part = join(part, kOpenPart);
                }
            }
            m_current.push_back({left, right, part});
        };
        std::int32_t x = 0;
        for (const LineSegment& run : runs) {
            addGap(x, run.StartX - 1, x == 0);
            x = run.StartX + run.SpanX;
        }
        addGap(x, width - 1, true);
        for (const Stretch& stretch : m_previous) {
            Part& part = m_parts[root(stretch.part)];
            if (part.lastRow < y && !part.open) {
                finish(part, holes);
            }
        }
        std::swap(m_previous, m_current);
    }

private:
    static constexpr std::uint32_t kNone = UINT32_MAX;
    static constexpr std::uint32_t kOpenPart = 0;  // all the background that is no hole, joined
    struct Part {
        Box box;
        std::int32_t cells = 0, lastRow = 0, seedX = 0, seedY = 0;
        bool open = false;  // the open part, or one taken already
    };
    struct Stretch {
        std::int32_t left, right;
        std::uint32_t part;
    };

    std::uint32_t root(std::uint32_t i) {
        while (m_parent[i] != i) {
            m_parent[i] = m_parent[m_parent[i]];
            i = m_parent[i];
        }
        return i;
    }
    // Joins part b into part a, both roots, and gives the root.
    std::uint32_t join(std::uint32_t a, std::uint32_t b) {
        if (a == b) {
            return a;
        }
        if (a == kOpenPart || b == kOpenPart) {
            m_parent[a == kOpenPart ? b : a] = kOpenPart;
            return kOpenPart;
        }
        Part& into = m_parts[a];
        Part& from = m_parts[b];
        m_parent[b] = a;
        into.box.add(from.box);
        into.cells += from.cells;
        if (std::max(into.box.width(), into.box.height()) > kLargestHole) {
            m_parent[a] = kOpenPart;
            return kOpenPart;
        }
        return a;
    }
    void finish(Part& part, std::vector<Hole>& holes) {
        part.open = true;  // taken once
        if (part.box.bottom >= m_first && part.box.bottom <= m_last &&
            std::min(part.box.width(), part.box.height()) >= kSmallestPiece) {
            holes.push_back({part.box, part.cells, part.seedX, part.seedY});
        }
    }

    std::int32_t m_first, m_last;  // rows in which the band's holes have their lowest
    std::vector<Part> m_parts;
    std::vector<std::uint32_t> m_parent;
    std::vector<Stretch> m_previous, m_current;
};

// The holes whose lowest row is one of the kBandRows rows from first on, kSmallestPiece to kLargestHole
// across. The rows read run from first - 1 to first + kBandRows + kLargestHole: background that reaches
// them, the page's edge or a gap wider than a hole is open, and a hole that starts lower belongs to another
// band.
std::vector<Hole> holesInBand(const VirtualVram& grid, const RunGroups& rows, std::int32_t first) {
    const std::int32_t low = std::max(0, first - 1);
    const std::int32_t high = std::min(grid.height() - 1, first + kBandRows + kLargestHole);
    HoleTracker tracker(first, first + kBandRows - 1);
    std::vector<Hole> holes;
    std::vector<LineSegment> runs;
    for (std::int32_t y = low; y <= high; ++y) {
        runs.clear();
        rows.rowRuns(y, runs);
        tracker.addRow(y, runs, grid.width(), y == low || y == high, holes);
    }
    return holes;
}

// The rows of background cells of a hole, traced from its seed within its box.
std::vector<Gap> gapsOf(const VirtualVram& grid, const Hole& hole) {
    const Box& box = hole.box;
    const std::int32_t width = box.width();
    std::vector<bool> inside(static_cast<std::size_t>(width * box.height()), false);
    const auto place = [&](std::int32_t x, std::int32_t y) {
        return static_cast<std::size_t>((y - box.bottom) * width + (x - box.left));
    };
    std::vector<std::pair<std::int32_t, std::int32_t>> stack{{hole.seedX, hole.seedY}};
    inside[place(hole.seedX, hole.seedY)] = true;
    while (!stack.empty()) {
        const auto [x, y] = stack.back();
        stack.pop_back();
        for (const auto& [dx, dy] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}}) {
            const std::int32_t nx = x + dx, ny = y + dy;
            if (nx >= box.left && nx <= box.right && ny >= box.bottom && ny <= box.top && !inside[place(nx, ny)] &&
                grid.at(nx, ny) == 0) {
                inside[place(nx, ny)] = true;
                stack.emplace_back(nx, ny);
            }
        }
    }
    std::vector<Gap> gaps;
    for (std::int32_t y = box.bottom; y <= box.top; ++y) {
        for (std::int32_t x = box.left; x <= box.right; ++x) {
            if (inside[place(x, y)] && (x == box.left || !inside[place(x - 1, y)])) {
                gaps.push_back({y, x, x});
            }
            if (inside[place(x, y)]) {
                gaps.back().right = x;
            }
        }
    }
    return gaps;
}

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

// The circle the hole's edge follows: fitted to the edge points near the circle guessed, ever closer. Edge
// points inside it are where lines cut the hole; points beyond it, a corner of a hole that is no circle.
std::optional<CircleFit> circleOfEdge(const std::vector<Point>& edge, const Box& box, std::ptrdiff_t fewestSectors,
                                      bool whole) {
    CircleFit fit{box.centre(), (box.width() + box.height()) / 4.0, true};
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
    std::array<bool, kSectors> followed{};
    double beyond = 0, on = 0, close = 0, squares = 0;
    for (const Point& p : edge) {
        const double off = length(p - fit.centre) - fit.radius;
        beyond += off > within + 0.5 ? 1 : 0;
        if (std::abs(off) <= within) {
            followed[static_cast<std::size_t>(angleDegrees(fit.centre, p) / (360.0 / kSectors)) % followed.size()] =
                true;
            on += 1;
            close += std::abs(off) <= kStepsOff ? 1 : 0;
            squares += off * off;
        }
    }
    const auto sectors = std::count(followed.begin(), followed.end(), true);
    if (beyond > 0.05 * static_cast<double>(edge.size()) || sectors < fewestSectors || close < 0.8 * on ||
        squares > 0.45 * 0.45 * on) {
        return std::nullopt;
    }
    return fit;
}

// The ring round a hole of the given edge: ink of about even width round most of it (lines touching or
// crossing it make the rest wider), running all the way round.
std::optional<Ring> ringRound(const CircleFit& hole, const InkProbe& ink) {
    constexpr double kStep = 0.25;  // dots between probes along a ray
    struct Crossing {
        double enter = 0, leave = 0;
    };
    std::array<Crossing, kRays> crossings{};
    std::array<double, kRays> widths{};
    for (std::size_t k = 0; k < kRays; ++k) {
        const double radians = (static_cast<double>(k) + 0.5) * 2 * std::numbers::pi / kRays;
        const Point along{std::cos(radians), std::sin(radians)};
        const auto inked = [&](double t) { return ink.at(hole.centre + along * t); };
        double t = std::max(0.0, hole.radius - 1.5);
        while (t <= hole.radius + 2 && !inked(t)) {
            t += kStep;
        }
        Crossing& crossing = crossings[k];
        crossing = {t, t};
        const double farthest = t + std::max(8.0, hole.radius);
        // A pinhole in the stroke does not end it.
        while (crossing.leave <= farthest && (inked(crossing.leave) || inked(crossing.leave + 1))) {
            crossing.leave += kStep;
        }
        widths[k] = crossing.leave - crossing.enter;
    }
    // The stroke is as wide as the thinnest crossings but a few, which noise may have made thinner still;
    // where lines touch or cross the ring, or other ink runs along it, the ink is wider.
    std::array<double, kRays> sorted = widths;
    std::sort(sorted.begin(), sorted.end());
    const auto thinnest =
        static_cast<std::size_t>(std::lower_bound(sorted.begin(), sorted.end(), 1.0) - sorted.begin());
    if (thinnest + kFewestEven > kRays) {
        return std::nullopt;
    }
    const double usual = sorted[thinnest + kFewestEven / 2];
    if (usual > hole.radius) {
        return std::nullopt;
    }
    double middles = 0, strokes = 0, even = 0;
    for (std::size_t k = 0; k < kRays; ++k) {
        if (std::abs(widths[k] - usual) <= std::max(1.0, 0.3 * usual)) {
            middles += (crossings[k].enter + crossings[k].leave) / 2 - kStep / 2;
            strokes += widths[k];
            even += 1;
        }
    }
    if (even < kFewestEven) {
        return std::nullopt;
    }
    const Ring ring{{hole.centre, middles / even}, hole.radius, strokes / even};
    if (ink.shareAlongCircle(ring.circle.centre, ring.circle.radius, 0, 360) < kInkedShare) {
        return std::nullopt;
    }
    return ring;
}

// Whether holes of so many cells in all, whole or pieces, may make a round hole of that box: a square one,
// no larger than a hole, and covering about the disc in it, the steps along its edge aside; the pieces of a
// cut one less, by the lines through it.
bool roundBox(const Box& box, double cells, bool whole) {
    const std::int32_t larger = std::max(box.width(), box.height());
    if (larger > kLargestHole || std::abs(box.width() - box.height()) > 2 + 0.1 * larger) {
        return false;
    }
    const double disc = std::numbers::pi / 4 * box.width() * box.height(), steps = (box.width() + box.height()) / 2.0;
    return whole ? std::abs(cells - disc) <= 0.1 * disc + steps : cells <= disc + steps && cells >= 0.5 * disc;
}

// Whether the rows of the holes end on the circle their box holds, for a whole hole, or within it, for the
// pieces of a cut one, but for a few ends that noise moved: a quick test before the fit, which corners fail.
bool rowsEndRound(const std::vector<const std::vector<Gap>*>& pieces, const Box& box) {
    const Point c = box.centre();
    const double r = (box.width() + box.height()) / 4.0, slack = std::max(1.5, 0.08 * r);
    const bool whole = pieces.size() == 1;
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
    const std::optional<CircleFit> circle =
        circleOfEdge(edgeOf(pieces, box), box, whole ? kSectors - 3 : kSectors * 3 / 4, whole);
    return circle ? ringRound(*circle, ink) : std::nullopt;
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

// The ring round hole i alone, if it makes one.
std::optional<Ring> ringAlone(const HoleIndex& all, std::size_t i, const VirtualVram& grid, const InkProbe& ink,
                              SegmentIndex::Search& search, std::vector<std::int32_t>& near) {
    const Hole& hole = *all.holes[i];
    if (!roundBox(hole.box, hole.cells, true)) {
        return std::nullopt;
    }
    const std::vector<Gap> gaps = gapsOf(grid, hole);
    const std::optional<Ring> ring = ringOfTraced({&gaps}, hole.box, ink);
    return ring && !amongLikeHoles(*ring, {&hole}, all, search, near) ? ring : std::nullopt;
}

// A ring of pieces: the holes it is made of, by their numbers.
struct PiecedRing {
    Ring ring;
    std::vector<std::size_t> holes;
};

// Whether the hole fills its box as a piece of a round hole that straight lines cut does: a quarter or a half
// of a disc fills it as the disc fills its own, a smaller piece cut off a little more; a triangle or a
// diamond between hatch lines half of it, a square all.
bool mayBePiece(const Hole& hole) {
    const double fill = hole.cells / (static_cast<double>(hole.box.width()) * hole.box.height());
    return fill >= 0.6 && fill <= 0.92;
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

// The ring hole i makes with some of the holes beside it across a line's width that are no rings alone, the
// most that make one first.
std::optional<PiecedRing> ringOfPieces(const HoleIndex& all, std::size_t i,
                                       const std::vector<std::optional<Ring>>& alone, const VirtualVram& grid,
                                       const InkProbe& ink, const std::vector<std::uint32_t>& choices,
                                       SegmentIndex::Search& search, std::vector<std::int32_t>& near) {
    const std::vector<const Hole*>& holes = all.holes;
    if (!mayBePiece(*holes[i])) {
        return std::nullopt;
    }
    // The pieces of one hole are about as large as each other, a small piece cut off aside.
    const Box& seed = holes[i]->box;
    all.index.near(seed.centre(), std::min(3 * std::max(seed.width(), seed.height()), kLargestHole) + kWidestCut, near,
                   search);
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
        if (!roundBox(box, cells, false)) {
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
        const std::optional<Ring> ring = ringOfTraced(rows, box, ink);
        if (ring && !amongLikeHoles(*ring, pieces, all, search, near)) {
            found.ring = *ring;
            return found;
        }
    }
    return std::nullopt;
}

std::vector<Ring> findRings(const VirtualVram& grid, const RunGroups& rows, WorkerPool& pool, const Tick& tick) {
    const auto bands = static_cast<std::size_t>((grid.height() + kBandRows - 1) / kBandRows);
    std::vector<std::vector<Hole>> found(bands);
    pool.run(bands, [&](std::size_t band, std::int32_t) {
        found[band] = holesInBand(grid, rows, static_cast<std::int32_t>(band) * kBandRows);
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
    // The holes that are no ring alone may be the pieces of one that lines cut: each hole's ring of pieces is
    // found apart, then taken in the holes' order, none of its holes taken before.
    const std::vector<std::uint32_t> choices = choicesMostFirst();
    std::vector<std::optional<PiecedRing>> pieced(all.holes.size());
    pool.run(all.holes.size(), [&](std::size_t i, std::int32_t worker) {
        const auto w = static_cast<std::size_t>(worker);
        if (!alone[i]) {
            pieced[i] = ringOfPieces(all, i, alone, grid, ink, choices, searches[w], nears[w]);
        }
    });
    std::vector<Ring> rings;
    std::vector<bool> used(all.holes.size(), false);
    for (std::size_t i = 0; i < all.holes.size(); ++i) {
        if (alone[i]) {
            rings.push_back(*alone[i]);
            used[i] = true;
        }
    }
    for (std::size_t i = 0; i < all.holes.size(); ++i) {
        tick();
        if (pieced[i] &&
            std::none_of(pieced[i]->holes.begin(), pieced[i]->holes.end(), [&](std::size_t k) { return used[k]; })) {
            rings.push_back(pieced[i]->ring);
            for (const std::size_t k : pieced[i]->holes) {
                used[k] = true;
            }
        }
    }
    return rings;
}

// Whether lines a and b cross each other within reach of p and both go on past the crossing by margin.
bool crossNear(const VectorLine& a, const VectorLine& b, Point p, double reach, double margin) {
    const Point da = b.a - a.a, alongA = a.b - a.a, alongB = b.b - b.a;
    const double turn = cross(alongA, alongB);
    const double sizeA = length(alongA), sizeB = length(alongB);
    if (std::abs(turn) < 0.3 * sizeA * sizeB) {
        return false;  // nearly parallel
    }
    const double ta = cross(da, alongB) / turn, tb = cross(da, alongA) / turn;
    return ta * sizeA >= margin && (1 - ta) * sizeA >= margin && tb * sizeB >= margin && (1 - tb) * sizeB >= margin &&
           length(a.a + alongA * ta - p) <= reach;
}

// Drops the holes between crossing hatch lines, which are as round as rings when the lines are thick: two
// lines run along the ring's stroke, on past it both ways, and cross each other beside it. Lines tangent to
// a ring run on past it too, but end where they meet, as a frame's sides do.
void dropHolesBetweenLines(std::vector<Ring>& rings, const std::vector<VectorLine>& lines, const Tick& tick) {
    SegmentIndex index(kIndexCellSize);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        index.insert(static_cast<std::int32_t>(i), lines[i].a, lines[i].b);
    }
    std::vector<std::int32_t> near;
    std::erase_if(rings, [&](const Ring& ring) {
        tick();
        const Point c = ring.circle.centre;
        const double r = ring.circle.radius, beyond = r + ring.stroke / 2 + 2;
        index.near(c, beyond, near);
        std::erase_if(near, [&](std::int32_t k) {
            const VectorLine& line = lines[static_cast<std::size_t>(k)];
            const double size = length(line.b - line.a);
            const Point direction = (line.b - line.a) * (1 / std::max(size, 1e-9));
            const double foot = dot(c - line.a, direction);
            return std::abs(distanceFromLine(c, line.a, direction) - r) > ring.stroke / 2 + 1 || foot <= 0 ||
                   foot >= size || length(line.a - c) <= beyond || length(line.b - c) <= beyond;
        });
        for (std::size_t i = 0; i < near.size(); ++i) {
            for (std::size_t k = i + 1; k < near.size(); ++k) {
                if (crossNear(lines[static_cast<std::size_t>(near[i])], lines[static_cast<std::size_t>(near[k])], c,
                              2 * beyond, ring.stroke + 2)) {
                    return true;
                }
            }
        }
        return false;
    });
}

bool sameCircle(const VectorCircle& a, const VectorCircle& b) {
    const double within = 1.5 + 0.01 * a.radius;
    return length(a.centre - b.centre) <= within && std::abs(a.radius - b.radius) <= within;
}

}  // namespace

void replaceRoundHoles(const VirtualVram& grid, const RunGroups& runs, WideDrawing& wide, WorkerPool& pool,
                       const Tick& tick) {
    std::vector<Ring> rings = findRings(grid, runs, pool, tick);
    if (rings.empty()) {
        return;
    }
    VectorDrawing& drawing = wide.drawing;
    dropHolesBetweenLines(rings, drawing.lines, tick);
    // A ring already drawn as a circle stays as it is.
    std::erase_if(rings, [&](const Ring& ring) {
        tick();
        return std::any_of(drawing.circles.begin(), drawing.circles.end(),
                           [&](const VectorCircle& circle) { return sameCircle(circle, ring.circle); });
    });
    if (rings.empty()) {
        return;
    }
    SegmentIndex index(kIndexCellSize);
    double largest = 0;
    for (std::size_t i = 0; i < rings.size(); ++i) {
        index.insert(static_cast<std::int32_t>(i), rings[i].circle.centre, rings[i].circle.centre);
        largest = std::max(largest, rings[i].hole + rings[i].stroke + 2);
    }
    std::vector<std::int32_t> near;
    const auto ringsNear = [&](Point p) -> const std::vector<std::int32_t>& {
        index.near(p, largest, near);
        return near;
    };
    // A line on a ring's stroke lies in its band but for a stroke's width or so; a line into its hole or
    // far beyond it is another line touching or crossing it.
    keepIf(drawing.lines, wide.lineWidths, [&](const VectorLine& line) {
        tick();
        if (length(line.b - line.a) > 2 * largest) {
            return true;
        }
        const std::vector<std::int32_t>& candidates = ringsNear((line.a + line.b) * 0.5);
        return std::none_of(candidates.begin(), candidates.end(), [&](std::int32_t k) {
            const Ring& ring = rings[static_cast<std::size_t>(k)];
            int beyond = 0;
            bool inHole = false;
            walkLine(line.a, line.b, [&](Point p) {
                const double distance = length(p - ring.circle.centre);
                inHole = inHole || distance < ring.hole - 1.5;
                beyond += distance > ring.hole + ring.stroke + 1.5 ? 1 : 0;
            });
            return !inHole && beyond <= ring.stroke + 2;
        });
    });
    const auto onSomeStroke = [&](Point centre, double radius, double start, double sweep) {
        const Point first{centre.x + radius * std::cos(start * std::numbers::pi / 180),
                          centre.y + radius * std::sin(start * std::numbers::pi / 180)};
        const std::vector<std::int32_t>& candidates = ringsNear(first);
        return std::any_of(candidates.begin(), candidates.end(), [&](std::int32_t k) {
            const Ring& ring = rings[static_cast<std::size_t>(k)];
            bool on = true;
            walkArc(centre, radius, start, sweep,
                    [&](Point p) { on = on && ring.onStroke(length(p - ring.circle.centre)); });
            return on;
        });
    };
    keepIf(drawing.arcs, wide.arcWidths, [&](const VectorArc& arc) {
        tick();
        return !onSomeStroke(arc.centre, arc.radius, arc.startDegrees, sweepDegrees(arc.startDegrees, arc.endDegrees));
    });
    keepIf(drawing.circles, wide.circleWidths, [&](const VectorCircle& circle) {
        tick();
        return !onSomeStroke(circle.centre, circle.radius, 0, 360);
    });
    for (const Ring& ring : rings) {
        drawing.circles.push_back(ring.circle);
        wide.circleWidths.push_back(ring.stroke);
    }
}

}  // namespace kelvarin
