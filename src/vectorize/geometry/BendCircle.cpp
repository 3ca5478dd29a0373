// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/geometry/BendCircle.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <optional>
#include <utility>

namespace kelvarin {

namespace {

constexpr double kCoarseRadiusStep = 0.5;
constexpr double kRadiusStep = 0.05;
// Middles off the circle tangent to both lines by more than this mean square (dots²) are fitted alone.
constexpr double kLooseFit = 0.25;

// The radius from low to high, step apart, of the least error.
template <typename Error>
double nearestRadius(const Error& error, double low, double high, double step) {
    double best = low, least = error(low);
    for (double radius = low + step; radius <= high; radius += step) {
        if (const double e = error(radius); e < least) {
            least = e;
            best = radius;
        }
    }
    return best;
}

// The solution of the 3 × 3 system m x = the last column, by elimination; nothing when it is singular.
std::optional<std::array<double, 3>> solve3(std::array<std::array<double, 4>, 3> m) {
    for (std::size_t col = 0; col < 3; ++col) {
        std::size_t pivot = col;
        for (std::size_t r = col + 1; r < 3; ++r) {
            pivot = std::abs(m[r][col]) > std::abs(m[pivot][col]) ? r : pivot;
        }
        std::swap(m[col], m[pivot]);
        if (std::abs(m[col][col]) < 1e-12) {
            return std::nullopt;
        }
        for (std::size_t r = col + 1; r < 3; ++r) {
            const double factor = m[r][col] / m[col][col];
            for (std::size_t c = col; c < 4; ++c) {
                m[r][c] -= factor * m[col][c];
            }
        }
    }
    std::array<double, 3> x{};
    for (std::size_t r = 3; r-- > 0;) {
        double sum = m[r][3];
        for (std::size_t c = r + 1; c < 3; ++c) {
            sum -= m[r][c] * x[c];
        }
        x[r] = sum / m[r][r];
    }
    return x;
}

// The circle nearest the middles and to touching both lines, in the least squares sense (Gauss-Newton
// steps from start in centre and radius), each line weighed as half a middle. Held to touch the lines
// exactly, a flat corner's circle moves along the bisector by the lines' error over `apart` (6.5 times
// at 120 degrees); the middles' curve pins it there, while the lines pin a sharp corner's.
CircleFit nearMiddlesTouchingLines(const Corner& corner, const std::vector<Point>& middles, CircleFit start) {
    constexpr double kLineWeight = 0.5;
    constexpr int kSteps = 8;
    std::array<Point, 2> normals{};  // of the lines, pointing into the corner
    for (std::size_t i = 0; i < 2; ++i) {
        const Point d = i == 0 ? corner.d1 : corner.d2;
        normals[i] = Point{-d.y, d.x} * (dot(Point{-d.y, d.x}, corner.inward) >= 0 ? 1.0 : -1.0);
    }
    CircleFit fit = start;
    for (int step = 0; step < kSteps; ++step) {
        // The normal equations of the residuals' linear parts in (centre x, centre y, radius).
        std::array<std::array<double, 4>, 3> m{};
        const auto add = [&m](std::array<double, 3> gradient, double residual, double weight) {
            for (std::size_t r = 0; r < 3; ++r) {
                for (std::size_t c = 0; c < 3; ++c) {
                    m[r][c] += weight * gradient[r] * gradient[c];
                }
                m[r][3] -= weight * gradient[r] * residual;
            }
        };
        for (const Point& p : middles) {
            const Point out = fit.centre - p;
            const double distance = std::max(length(out), 1e-9);
            add({out.x / distance, out.y / distance, -1}, distance - fit.radius, 1);
        }
        for (const Point& n : normals) {
            add({n.x, n.y, -1}, dot(fit.centre - corner.meet, n) - fit.radius, kLineWeight);
        }
        const std::optional<std::array<double, 3>> delta = solve3(m);
        if (!delta) {
            return start;
        }
        fit.centre = fit.centre + Point{(*delta)[0], (*delta)[1]};
        fit.radius += (*delta)[2];
    }
    return std::isfinite(fit.radius) && std::isfinite(fit.centre.x) && std::isfinite(fit.centre.y) ? fit : start;
}

}  // namespace

Corner cornerAt(Point d1, Point d2, Point meet) {
    Corner corner;
    corner.d1 = d1;
    corner.d2 = d2;
    corner.meet = meet;
    const Point inward = Point{0, 0} - d1 - d2;
    corner.inward = inward * (1 / std::max(length(inward), 1e-12));
    corner.halfSine = std::sin(std::acos(std::clamp(dot(d1, d2), -1.0, 1.0)) / 2);
    corner.apart = 1 / corner.halfSine - 1;
    return corner;
}

bool mayBeRounded(const Corner& corner) {
    constexpr double kSharpest = 45, kFlattest = 150;  // degrees inside the corner
    const double cosine = dot(corner.d1, corner.d2);
    return cosine <= std::cos(kSharpest * std::numbers::pi / 180) &&
           cosine >= std::cos(kFlattest * std::numbers::pi / 180);
}

// The circle tangent to both lines that lies nearest the middles, found coarsely, then finely, then let
// go of the lines as far as the middles ask; or, where
// the corner is flat and a slight error in the lines' angle moves that circle a long way, the circle of
// the middles alone when it agrees with it and lies much nearer to them.
CircleFit bendCircle(const Corner& corner, const std::vector<Point>& middles, double guess) {
    const auto tangentError = [&](double radius) {
        return meanSquareCircleDistance(middles, {corner.centreFor(radius), radius, true});
    };
    double radius = nearestRadius(tangentError, 0.7 * guess, 1.4 * guess, kCoarseRadiusStep);
    radius = nearestRadius(tangentError, radius - kCoarseRadiusStep, radius + kCoarseRadiusStep, kRadiusStep);
    const CircleFit touching{corner.centreFor(radius), radius, true};
    const CircleFit nearest = nearMiddlesTouchingLines(corner, middles, touching);
    const bool agrees =
        std::abs(nearest.radius - radius) <= 0.25 * radius && length(nearest.centre - touching.centre) <= 0.25 * radius;
    const CircleFit tangent = agrees ? nearest : touching;
    const CircleFit free = fitCircle(middles);
    const double tangentOff = meanSquareCircleDistance(middles, tangent);
    const bool freeBetter = free.valid && std::abs(free.radius - radius) <= 0.25 * radius &&
                            length(free.centre - tangent.centre) <= 0.25 * radius && tangentOff > kLooseFit &&
                            meanSquareCircleDistance(middles, free) < 0.25 * tangentOff;
    return freeBetter ? free : tangent;
}

}  // namespace kelvarin
