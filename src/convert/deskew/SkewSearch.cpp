// SPDX-License-Identifier: GPL-3.0-or-later
#include "convert/deskew/SkewSearch.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>
#include <vector>

#include "convert/RunScan.h"

namespace kelvarin {

namespace {

constexpr std::int32_t kSampledLines = 4096;                  // rows and columns sampled across the page, at most
constexpr std::int32_t kThickestStroke = 64;                  // cells; a longer run across is no stroke's width
constexpr std::size_t kMostCentres = std::size_t{1} << 23;    // kept at most (64 MiB)
constexpr std::size_t kSearchCentres = std::size_t{1} << 16;  // looked at by the angle search
constexpr double kCoarseStep = 0.05;                          // degrees
constexpr double kFineStep = 0.005;
constexpr std::int32_t kFitRounds = 4;
constexpr double kFirstBand = 2;          // cells from the middle of a line's band, in the first fit
constexpr double kLineBand = 1.5;         // cells from a fitted line, in the later fits
constexpr std::int32_t kStandingOut = 3;  // times as many centres on a line as in as wide bands beside it
constexpr std::uint64_t kLeftmost = std::uint64_t{1} << 63;
// The agreeing lines' length together, at least: half the page's width and height together (a frame has
// twice that, a line across the page nearly as much), and a quarter of all the long lines' length.
constexpr double kLeastAgreeingSpan = 0.5;
constexpr double kLeastAgreeingShare = 0.25;
// The coarse search's best angle crowds the centres at least this many times more above a typical
// angle's crowding than the typical crowding itself (the median over the searched angles): lines square
// to the page stand out of everything else on it. A rival peak, the best at least kRivalApart away, rises
// at most kMostRival as far: a second family of long lines at another angle near the axes (blocks of lots
// on a map, two roads) would make the turn a guess.
constexpr double kLeastStandingOutAbove = 1;
constexpr double kRivalApart = 0.5;  // degrees
constexpr double kMostRival = 0.5;

double radians(double degrees) { return degrees * std::numbers::pi / 180; }
double degreesOf(double radians) { return radians * 180 / std::numbers::pi; }

// The middle of a run across a stroke. For a horizontal stroke along is x and across y; for a vertical
// one along is -y and across x plus the shift that keeps the two kinds apart. Either way the centres of a
// stroke turned by a counter-clockwise keep across - along × tan a constant.
struct Centre {
    float along;
    float across;
};

// The centres of a page, and the bands of one cell across the lines that they fall into.
struct Centres {
    std::vector<Centre> points;
    double margin = 0;               // across - along × tan a + margin is never negative within the searched angles
    std::int32_t verticalShift = 0;  // added to across of the vertical strokes' centres
    std::int32_t bandCount = 0;
    std::int32_t columnStep = 1;  // the sampled columns and rows
    std::int32_t rowStep = 1;
    std::int64_t keepEvery = 1;  // one centre in this many is kept

    // Truncating is rounding down: offset + margin is never negative.
    std::int32_t bandOf(double offset) const { return static_cast<std::int32_t>(offset + margin); }
    double middleOf(std::int32_t band) const { return band + 0.5 - margin; }
    bool isVertical(std::int32_t band) const { return middleOf(band) >= verticalShift - margin; }
};

// Gathers the centres of the short runs down the sampled columns and along the sampled rows, a row at a
// time: the runs down a column are followed word by word through the changes between one row and the next.
class CentreGatherer {
public:
    explicit CentreGatherer(const VirtualVram& grid) : m_grid(grid) {
        const std::int32_t width = grid.width();
        const std::int32_t height = grid.height();
        m_centres.columnStep = std::max(1, (width + kSampledLines - 1) / kSampledLines);
        m_centres.rowStep = std::max(1, (height + kSampledLines - 1) / kSampledLines);
        m_centres.margin = std::ceil(std::max(width, height) * std::tan(radians(kLargestSkewDegrees))) + 8;
        const auto margin = static_cast<std::int32_t>(m_centres.margin);
        m_centres.verticalShift = height + 2 * margin;
        m_centres.bandCount = m_centres.verticalShift + width + 2 * margin;
        m_sampled.assign(static_cast<std::size_t>(grid.wordsPerRow()), 0);
        for (std::int32_t x = m_centres.columnStep / 2; x < width; x += m_centres.columnStep) {
            m_sampled[static_cast<std::size_t>(x / 64)] |= kLeftmost >> (x % 64);
        }
        m_previous.assign(m_sampled.size(), 0);
        m_runStart.assign(static_cast<std::size_t>(width), 0);
    }

    void addRow(std::int32_t y) {
        for (std::int32_t i = 0; i < m_grid.wordsPerRow(); ++i) {
            const auto index = static_cast<std::size_t>(i);
            const std::uint64_t word = m_grid.word(y, i) & m_sampled[index];
            for (std::uint64_t changes = word ^ m_previous[index]; changes != 0;) {
                const int bit = std::countl_zero(changes);
                const auto x = static_cast<std::size_t>(i) * 64 + static_cast<std::size_t>(bit);
                if ((word & kLeftmost >> bit) != 0) {
                    m_runStart[x] = y;
                } else {
                    keepRun(static_cast<double>(x), m_runStart[x], y - m_runStart[x], false);
                }
                changes &= ~(kLeftmost >> bit);
            }
            m_previous[index] = word;
        }
        if (y % m_centres.rowStep == m_centres.rowStep / 2) {
            m_rowRuns.clear();
            findRowRuns(m_grid, y, m_rowRuns);
            for (const LineSegment& run : m_rowRuns) {
                keepRun(static_cast<double>(y), run.StartX, run.SpanX, true);
            }
        }
    }

    // The runs still open at the last row are cut by the picture's edge and are left out.
    Centres take() { return std::move(m_centres); }

private:
    // A run of length cells from first, across a stroke in the row or column at.
    void keepRun(double at, std::int32_t first, std::int32_t length, bool inRow) {
        if (length > kThickestStroke || ++m_seen % m_centres.keepEvery != 0) {
            return;
        }
        const double middle = first + (length - 1) / 2.0;
        m_centres.points.push_back(
            inRow ? Centre{static_cast<float>(-at), static_cast<float>(middle + m_centres.verticalShift)}
                  : Centre{static_cast<float>(at), static_cast<float>(middle)});
        if (m_centres.points.size() >= kMostCentres) {
            // Too many to keep: every other one goes, and from now on half as many are taken.
            std::vector<Centre>& points = m_centres.points;
            for (std::size_t i = 0; 2 * i + 1 < points.size(); ++i) {
                points[i] = points[2 * i + 1];
            }
            points.resize(points.size() / 2);
            m_centres.keepEvery *= 2;
        }
    }

    const VirtualVram& m_grid;
    Centres m_centres;
    std::vector<std::uint64_t> m_sampled;   // the sampled columns, a bit per column
    std::vector<std::uint64_t> m_previous;  // the sampled columns' cells in the row before
    std::vector<std::int32_t> m_runStart;   // the first row of the run open in each sampled column
    std::vector<LineSegment> m_rowRuns;
    std::int64_t m_seen = 0;
};

// The sum of the squared numbers of centres per band at tangent t, over every stride-th centre: largest
// when t is the tangent of the long lines and their centres crowd into few bands.
std::int64_t crowding(const Centres& centres, double t, std::size_t stride, std::vector<std::int32_t>& counts) {
    counts.assign(static_cast<std::size_t>(centres.bandCount), 0);
    std::int64_t sum = 0;
    for (std::size_t i = 0; i < centres.points.size(); i += stride) {
        const Centre& c = centres.points[i];
        const std::int32_t count = ++counts[static_cast<std::size_t>(centres.bandOf(c.across - c.along * t))];
        sum += 2 * std::int64_t{count} - 1;
    }
    return sum;
}

// The crowding of the centres over a search's angles.
struct Crowding {
    double degrees = 0;        // the angle that crowds them most
    std::int64_t best = -1;    // its crowding
    std::int64_t typical = 0;  // the median over the angles looked at
    std::int64_t rival = 0;    // the most at least kRivalApart from degrees
};

// The angle among around ± k × step (k up to steps, within the searched turns) that crowds the centres
// most; the one nearer to around on a tie.
Crowding mostCrowded(const Centres& centres, double around, double step, std::int32_t steps, WorkReport& report,
                     double fractionBefore, double fractionShare) {
    const std::size_t stride = std::max<std::size_t>(1, centres.points.size() / kSearchCentres);
    std::vector<std::int32_t> counts;
    std::vector<std::pair<double, std::int64_t>> scores;
    Crowding found{around};
    for (std::int32_t k = 0; k <= 2 * steps; ++k) {
        const std::int32_t offset = k % 2 == 0 ? k / 2 : -(k + 1) / 2;  // 0, -1, 1, -2, 2, ...
        const double degrees = around + offset * step;
        if (std::abs(degrees) > kLargestSkewDegrees + 1e-9) {
            continue;
        }
        const std::int64_t score = crowding(centres, std::tan(radians(degrees)), stride, counts);
        scores.emplace_back(degrees, score);
        if (score > found.best) {
            found.degrees = degrees;
            found.best = score;
        }
        report.advance(static_cast<std::int64_t>(centres.points.size() / stride),
                       fractionBefore + fractionShare * k / (2.0 * steps));
    }
    for (const auto& [degrees, score] : scores) {
        if (std::abs(degrees - found.degrees) >= kRivalApart) {
            found.rival = std::max(found.rival, score);
        }
    }
    const auto middle = scores.begin() + static_cast<std::ptrdiff_t>(scores.size() / 2);
    std::nth_element(scores.begin(), middle, scores.end(),
                     [](const auto& a, const auto& b) { return a.second < b.second; });
    found.typical = middle->second;
    return found;
}

// Whether the search's best angle stands out clearly, with no rival of like height elsewhere.
bool standsOut(const Crowding& search) {
    const auto above = [&](std::int64_t score) { return static_cast<double>(score - search.typical); };
    return above(search.best) >= kLeastStandingOutAbove * static_cast<double>(search.typical) &&
           above(search.rival) <= kMostRival * above(search.best);
}

// Least-squares sums of a line's centres, across measured from the middle of its band.
struct LineSums {
    double n = 0, u = 0, v = 0, uu = 0, uv = 0, vv = 0;

    void add(double along, double across) {
        n += 1;
        u += along;
        v += across;
        uu += along * along;
        uv += along * across;
        vv += across * across;
    }
};

// A long line of centres at the searched tangent: across = origin + offset + slope × along.
struct LineFit {
    double origin = 0;  // the middle of its band
    bool vertical = false;
    double offset = 0;
    double slope = 0;
    double band = kFirstBand;
    LineSums sums;
    double alongSpread = 0;  // the along length of a line with the same spread, evenly filled
    double slopeVariance = 0;
};

void fit(LineFit& line) {
    const LineSums& s = line.sums;
    if (s.n < 3) {
        line.alongSpread = 0;
        return;
    }
    const double suu = s.uu - s.u * s.u / s.n;
    const double suv = s.uv - s.u * s.v / s.n;
    const double svv = s.vv - s.v * s.v / s.n;
    if (suu <= 0) {
        line.alongSpread = 0;
        return;
    }
    line.slope = suv / suu;
    line.offset = (s.v - line.slope * s.u) / s.n;
    line.alongSpread = std::sqrt(12 * suu / s.n);
    // The pixel grid alone leaves a quarter cell of scatter; no fit is trusted beyond it.
    const double scatter = std::max((svv - line.slope * suv) / (s.n - 2), 1.0 / 16);
    line.slopeVariance = scatter / suu;
}

// The bands at tangent t that hold enough centres, clearly more than the bands beside them, and the most
// of their neighbours: a line each. lineOfBand gets the line that each band within four of one belongs
// to (the nearest), or -1.
std::vector<LineFit> lineBands(const Centres& centres, double t, double minLength,
                               std::vector<std::int32_t>& lineOfBand) {
    std::vector<std::int32_t> counts;
    crowding(centres, t, 1, counts);
    const auto bands = static_cast<std::int32_t>(counts.size());
    const auto neighbours = [&](std::int32_t b) {
        return (b > 0 ? counts[b - 1] : 0) + counts[b] + (b + 1 < bands ? counts[b + 1] : 0);
    };
    std::vector<std::int32_t> crowd(counts.size());
    for (std::int32_t b = 0; b < bands; ++b) {
        crowd[b] = neighbours(b);
    }
    std::vector<LineFit> lines;
    lineOfBand.assign(counts.size(), -1);
    for (std::int32_t b = 2; b + 2 < bands; ++b) {
        const double step = centres.isVertical(b) ? centres.rowStep : centres.columnStep;
        const double least = minLength / step / static_cast<double>(centres.keepEvery) / 2;
        // A line stands out of the centres beside it, which a page of specks or a hatching does not.
        std::int32_t beside = 0;
        for (std::int32_t j = 4; j < 8; ++j) {
            beside += (b >= j ? counts[b - j] : 0) + (b + j < bands ? counts[b + j] : 0);
        }
        bool peak = crowd[b] >= least && 8 * crowd[b] >= 3 * kStandingOut * beside;
        for (std::int32_t j = b - 2; peak && j <= b + 2; ++j) {
            peak = j < b ? crowd[b] > crowd[j] : crowd[b] >= crowd[j];
        }
        if (!peak) {
            continue;
        }
        const auto index = static_cast<std::int32_t>(lines.size());
        LineFit& line = lines.emplace_back();
        line.origin = centres.middleOf(b);
        line.vertical = centres.isVertical(b);
        for (std::int32_t j = std::max(0, b - 4); j <= std::min(bands - 1, b + 4); ++j) {
            const std::int32_t owner = lineOfBand[j];
            if (owner < 0 || std::abs(centres.middleOf(j) - line.origin) <
                                 std::abs(centres.middleOf(j) - lines[static_cast<std::size_t>(owner)].origin)) {
                lineOfBand[j] = index;
            }
        }
    }
    return lines;
}

// The long lines of centres at tangent t, each fitted a few times to the centres near its last fit.
std::vector<LineFit> fitLines(const Centres& centres, double t, double minLength, WorkReport& report) {
    std::vector<std::int32_t> lineOfBand;
    std::vector<LineFit> lines = lineBands(centres, t, minLength, lineOfBand);
    for (std::int32_t round = 0; round < kFitRounds; ++round) {
        for (LineFit& line : lines) {
            line.sums = {};
        }
        for (const Centre& c : centres.points) {
            const double offset = c.across - c.along * t;
            const std::int32_t owner = lineOfBand[static_cast<std::size_t>(centres.bandOf(offset))];
            if (owner < 0) {
                continue;
            }
            LineFit& line = lines[static_cast<std::size_t>(owner)];
            const double across = offset - line.origin;
            if (std::abs(across - line.offset - line.slope * c.along) <= line.band) {
                line.sums.add(c.along, across);
            }
        }
        for (LineFit& line : lines) {
            fit(line);
            line.band = kLineBand;
        }
        report.advance(static_cast<std::int64_t>(centres.points.size()), 0.9 + 0.1 * (round + 1) / kFitRounds);
    }
    // A line is long, and its centres lie close together along it (a dashed line's too); scattered specks
    // that happen to share a band do not.
    std::erase_if(lines, [&](const LineFit& line) {
        const double step = line.vertical ? centres.rowStep : centres.columnStep;
        return line.alongSpread < minLength / 2 ||
               line.sums.n * step * static_cast<double>(centres.keepEvery) < line.alongSpread / 4;
    });
    return lines;
}

// The angle the lines agree on: the weighted mean of the lines near their weighted median, each weighted
// by how sure its fit is. No angle (0, no lines) when the agreeing lines are too short together for the
// page's size (pageSpan: width + height), or only a small part of all the lines found: a map or a sketch
// with lines at every angle, where a few chance lines would turn the whole page wrongly.
SkewEstimate agreedAngle(const std::vector<LineFit>& lines, double t, double pageSpan) {
    struct Vote {
        double degrees;
        double weight;
        double spread;  // degrees
        double length;  // cells along the line
    };
    std::vector<Vote> votes;
    double total = 0;
    for (const LineFit& line : lines) {
        const double spread = degreesOf(std::sqrt(line.slopeVariance));
        votes.push_back({degreesOf(std::atan(t + line.slope)), 1 / (spread * spread), spread, line.alongSpread});
        total += votes.back().weight;
    }
    if (votes.empty()) {
        return {};
    }
    std::sort(votes.begin(), votes.end(), [](const Vote& a, const Vote& b) { return a.degrees < b.degrees; });
    double median = votes.front().degrees;
    double below = 0;
    for (const Vote& vote : votes) {
        median = vote.degrees;
        below += vote.weight;
        if (below >= total / 2) {
            break;
        }
    }
    double sum = 0;
    double weights = 0;
    std::int32_t agreeing = 0;
    double agreeingLength = 0;
    double allLength = 0;
    for (const Vote& vote : votes) {
        allLength += vote.length;
        if (std::abs(vote.degrees - median) <= std::max(0.03, 3 * vote.spread)) {
            sum += vote.weight * vote.degrees;
            weights += vote.weight;
            agreeingLength += vote.length;
            ++agreeing;
        }
    }
    if (agreeingLength < kLeastAgreeingSpan * pageSpan || agreeingLength < kLeastAgreeingShare * allLength) {
        return {0, 0, true};
    }
    return {sum / weights, agreeing};
}

}  // namespace

SkewEstimate findSkew(const VirtualVram& grid, WorkReport& report) {
    const std::int32_t height = grid.height();
    if (grid.width() < 16 || height < 16) {
        return {};
    }
    CentreGatherer gatherer(grid);
    for (std::int32_t y = 0; y < height; ++y) {
        gatherer.addRow(y);
        report.advance(grid.wordsPerRow(), 0.6 * y / (height - 1));
    }
    const Centres centres = gatherer.take();
    if (centres.points.empty()) {
        return {};
    }
    const auto coarseSteps = static_cast<std::int32_t>(std::lround(kLargestSkewDegrees / kCoarseStep));
    const Crowding coarse = mostCrowded(centres, 0, kCoarseStep, coarseSteps, report, 0.6, 0.25);
    if (!standsOut(coarse)) {
        return {0, 0, true};
    }
    const auto fineSteps = static_cast<std::int32_t>(std::lround(kCoarseStep / kFineStep));
    const double fine = mostCrowded(centres, coarse.degrees, kFineStep, fineSteps, report, 0.85, 0.05).degrees;
    // Long enough not to be a row of text or a hatching's short strokes.
    const double minLength = std::max(32.0, std::min(grid.width(), height) / 10.0);
    const double t = std::tan(radians(fine));
    return agreedAngle(fitLines(centres, t, minLength, report), t, static_cast<double>(grid.width()) + height);
}

}  // namespace kelvarin
