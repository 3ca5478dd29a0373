// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/geometry/ArcBreaks.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace kelvarin {

namespace {

// Cut points tried at most along a run: more apart on a long one, and then each cut looked for to the point
// about where it was found.
constexpr std::size_t kMostCandidates = 256;
constexpr std::size_t kLeastSpacing = 3;  // points between cut points tried
// A circle larger than this (dots) is a straight run.
constexpr long double kLargestRadius = 1e6;

constexpr long double kInfinity = std::numeric_limits<long double>::infinity();

// The sums of x, y, z = x² + y² and their products over the points up to each, about their mean: the
// algebraic circle (z + Dx + Ey + F = 0) of any run from them alone.
class CircleSums {
public:
    explicit CircleSums(std::span<const Point> points) : m_sums(points.size() + 1) {
        Point mean;
        for (const Point& p : points) {
            mean = {mean.x + p.x, mean.y + p.y};
        }
        const double count = std::max<double>(1, static_cast<double>(points.size()));
        mean = {mean.x / count, mean.y / count};
        for (std::size_t i = 0; i < points.size(); ++i) {
            const long double x = points[i].x - mean.x, y = points[i].y - mean.y, z = x * x + y * y;
            const Sums add{1, x, y, z, x * x, x * y, y * y, x * z, y * z, z * z};
            for (std::size_t k = 0; k < add.size(); ++k) {
                m_sums[i + 1][k] = m_sums[i][k] + add[k];
            }
        }
    }

    // The error of points[first..last], as algebraicCircleError has it.
    long double error(std::size_t first, std::size_t last) const {
        if (last < first + 2) {
            return kInfinity;
        }
        Sums s;
        for (std::size_t k = 0; k < s.size(); ++k) {
            s[k] = m_sums[last + 1][k] - m_sums[first][k];
        }
        const auto [n, x, y, z, xx, xy, yy, xz, yz, zz] = s;
        // The normal equations [xx xy x; xy yy y; x y n] (D E F) = -(xz yz z), by Cramer's rule.
        const long double det = xx * (yy * n - y * y) - xy * (xy * n - y * x) + x * (xy * y - yy * x);
        if (std::abs(det) < 1e-18L) {
            return kInfinity;
        }
        const long double bx = -xz, by = -yz, bz = -z;
        const long double d = (bx * (yy * n - y * y) - xy * (by * n - y * bz) + x * (by * y - yy * bz)) / det;
        const long double e = (xx * (by * n - y * bz) - bx * (xy * n - y * x) + x * (xy * bz - by * x)) / det;
        const long double f = (xx * (yy * bz - by * y) - xy * (xy * bz - by * x) + bx * (xy * y - yy * x)) / det;
        const long double squaredRadius = (d * d + e * e) / 4 - f;
        if (!(squaredRadius > 0) || squaredRadius > kLargestRadius * kLargestRadius) {
            return kInfinity;
        }
        // Each point's algebraic residual is its distance times (distance + 2 radius).
        const long double residual = zz + d * xz + e * yz + f * z;
        return std::max<long double>(0, residual) / (4 * squaredRadius);
    }

private:
    using Sums = std::array<long double, 10>;
    std::vector<Sums> m_sums;
};

}  // namespace

double algebraicCircleError(std::span<const Point> points) {
    return points.empty() ? std::numeric_limits<double>::infinity()
                          : static_cast<double>(CircleSums(points).error(0, points.size() - 1));
}

std::vector<std::size_t> arcBreaks(std::span<const Point> points, double pieceCost, std::size_t shortest) {
    const std::size_t count = points.size();
    shortest = std::max<std::size_t>(shortest, 3);
    if (count < 2 * shortest) {
        return {};
    }
    const CircleSums sums(points);
    const std::size_t step = std::max(kLeastSpacing, (count - 1 + kMostCandidates - 1) / kMostCandidates);
    std::vector<std::size_t> candidates;
    for (std::size_t i = 0; i + 1 < count; i += step) {
        candidates.push_back(i);
    }
    candidates.push_back(count - 1);
    // The least cost of the points up to each candidate, and the candidate its last run starts from.
    std::vector<long double> least(candidates.size(), kInfinity);
    std::vector<std::size_t> from(candidates.size(), 0);
    least[0] = 0;
    for (std::size_t j = 1; j < candidates.size(); ++j) {
        for (std::size_t i = 0; i < j && candidates[j] >= candidates[i] + shortest - 1; ++i) {
            if (least[i] == kInfinity) {
                continue;
            }
            const long double cost = least[i] + sums.error(candidates[i], candidates[j]) + pieceCost;
            if (cost < least[j]) {
                least[j] = cost;
                from[j] = i;
            }
        }
    }
    std::vector<std::size_t> cuts;
    for (std::size_t j = from.back(); j != 0; j = from[j]) {
        cuts.push_back(candidates[j]);
    }
    std::reverse(cuts.begin(), cuts.end());
    // Each cut to the point, between the cuts beside it.
    for (std::size_t k = 0; k < cuts.size() && step > 1; ++k) {
        const std::size_t before = k == 0 ? 0 : cuts[k - 1], after = k + 1 == cuts.size() ? count - 1 : cuts[k + 1];
        const std::size_t low = std::max(before + shortest - 1, cuts[k] >= step ? cuts[k] - step : 0);
        const std::size_t high = std::min(after + 1 - shortest, cuts[k] + step);
        long double best = kInfinity;
        for (std::size_t cut = low; cut <= high; ++cut) {
            const long double cost = sums.error(before, cut) + sums.error(cut, after);
            if (cost < best) {
                best = cost;
                cuts[k] = cut;
            }
        }
    }
    return cuts;
}

}  // namespace kelvarin
