// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/geometry/TangentArcs.h"

#include <cmath>
#include <cstddef>
#include <optional>

namespace kelvarin {

namespace {

constexpr int kRounds = 12;             // Levenberg-Marquardt rounds at most
constexpr double kSettled = 1e-3;       // a round that moves no parameter by more than this (dots, radians) ends it
constexpr double kFirstDamping = 1e-3;  // of the normal equations' diagonal
constexpr double kDampingFactor = 10;
constexpr double kLeastDamping = 1e-12;
constexpr double kMostDamping = 1e12;

// The parameters: the first circle's centre and radius, then for each next arc the angle (radians) on the
// circle before of the point where they meet, and its radius; last how far out from the circles the points
// lie on the whole. A stroke's middles may lie a fraction of a dot outside its circle (the ink of a curved
// stroke spreads outward), which at an S bend's joint would open a gap between two touching circles.
using Parameters = std::vector<double>;

Parameters parametersOf(const std::vector<ChainArc>& arcs) {
    Parameters p{arcs[0].circle.centre.x, arcs[0].circle.centre.y, arcs[0].circle.radius};
    for (std::size_t i = 1; i < arcs.size(); ++i) {
        const Point meet = tangentPoint(arcs[i - 1], arcs[i]) - arcs[i - 1].circle.centre;
        p.push_back(std::atan2(meet.y, meet.x));
        p.push_back(arcs[i].circle.radius);
    }
    p.push_back(0);
    return p;
}

// The circles the parameters give, or nothing when a radius is not positive.
std::optional<std::vector<CircleFit>> circlesOf(const std::vector<ChainArc>& arcs, const Parameters& p) {
    std::vector<CircleFit> circles{{{p[0], p[1]}, p[2], true}};
    for (std::size_t i = 1; i < arcs.size(); ++i) {
        const CircleFit& before = circles.back();
        const Point out{std::cos(p[2 * i + 1]), std::sin(p[2 * i + 1])};
        const Point meet = before.centre + out * before.radius;
        const double radius = p[2 * i + 2];
        if (!(radius > 0 && before.radius > 0)) {
            return std::nullopt;
        }
        // Bending one way, the next centre lies on the same side of the common tangent; else across it.
        const double side = arcs[i].left == arcs[i - 1].left ? -1 : 1;
        circles.push_back({meet + out * (side * radius), radius, true});
    }
    return circles;
}

// Each point's signed distance from its arc's circle; nothing when the parameters give no circles.
std::optional<std::vector<double>> residuals(const std::vector<ChainArc>& arcs, const Parameters& p) {
    const auto circles = circlesOf(arcs, p);
    if (!circles) {
        return std::nullopt;
    }
    std::vector<double> r;
    const double outside = p.back();
    for (std::size_t i = 0; i < arcs.size(); ++i) {
        for (const Point& point : arcs[i].points) {
            r.push_back(length(point - (*circles)[i].centre) - (*circles)[i].radius - outside);
        }
    }
    return r;
}

// Adds each residual's row of the Jacobian J to the normal equations (JᵀJ, upper triangle, and -Jᵀr). Arc
// i's centre is the first centre plus, for each meeting point j up to i, u_j (r_(j-1) + side_j r_j) with u_j
// the unit vector at angle φ_j; so its derivatives gather arc by arc.
bool addNormalEquations(const std::vector<ChainArc>& arcs, const Parameters& p, const std::vector<double>& r,
                        std::vector<double>& normal, std::vector<double>& gradient) {
    const std::size_t n = p.size();
    const auto circles = circlesOf(arcs, p);
    if (!circles) {
        return false;
    }
    std::vector<Point> centreBy(n, Point{0, 0});  // how the arc's centre moves with each parameter
    centreBy[0] = {1, 0};
    centreBy[1] = {0, 1};
    std::vector<std::size_t> used;  // the parameters the arc's residuals depend on
    std::vector<double> row(n, 0);
    std::size_t residual = 0;
    for (std::size_t i = 0; i < arcs.size(); ++i) {
        const std::size_t radius = i == 0 ? 2 : 2 * i + 2;
        if (i > 0) {
            const std::size_t angle = 2 * i + 1, before = i == 1 ? 2 : 2 * i;
            const double side = arcs[i].left == arcs[i - 1].left ? -1 : 1;
            const Point u{std::cos(p[angle]), std::sin(p[angle])};
            centreBy[angle] = centreBy[angle] + Point{-u.y, u.x} * (p[before] + side * p[radius]);
            centreBy[before] = centreBy[before] + u;
            centreBy[radius] = centreBy[radius] + u * side;
        }
        used.assign({0, 1});
        for (std::size_t k = 2; k <= radius; ++k) {
            used.push_back(k);
        }
        used.push_back(n - 1);
        const Point centre = (*circles)[i].centre;
        for (const Point& point : arcs[i].points) {
            const Point out = unit(point - centre);
            for (const std::size_t k : used) {
                row[k] = -dot(out, centreBy[k]);
            }
            row[radius] -= 1;
            row[n - 1] = -1;
            for (std::size_t x = 0; x < used.size(); ++x) {
                const std::size_t a = used[x];
                gradient[a] -= row[a] * r[residual];
                for (std::size_t y = x; y < used.size(); ++y) {
                    normal[a * n + used[y]] += row[a] * row[used[y]];
                }
            }
            ++residual;
        }
    }
    return true;
}

double squaredSum(const std::vector<double>& r) {
    double sum = 0;
    for (const double v : r) {
        sum += v * v;
    }
    return sum;
}

// Solves a x = b for a symmetric positive definite a (n by n, row by row) by Gaussian elimination with
// partial pivoting; nothing when a is singular.
std::optional<std::vector<double>> solved(std::vector<double> a, std::vector<double> b) {
    const std::size_t n = b.size();
    for (std::size_t col = 0; col < n; ++col) {
        std::size_t pivot = col;
        for (std::size_t row = col + 1; row < n; ++row) {
            if (std::abs(a[row * n + col]) > std::abs(a[pivot * n + col])) {
                pivot = row;
            }
        }
        if (std::abs(a[pivot * n + col]) < 1e-300) {
            return std::nullopt;
        }
        for (std::size_t k = 0; k < n; ++k) {
            std::swap(a[col * n + k], a[pivot * n + k]);
        }
        std::swap(b[col], b[pivot]);
        for (std::size_t row = col + 1; row < n; ++row) {
            const double factor = a[row * n + col] / a[col * n + col];
            for (std::size_t k = col; k < n; ++k) {
                a[row * n + k] -= factor * a[col * n + k];
            }
            b[row] -= factor * b[col];
        }
    }
    std::vector<double> x(n);
    for (std::size_t row = n; row-- > 0;) {
        double sum = b[row];
        for (std::size_t k = row + 1; k < n; ++k) {
            sum -= a[row * n + k] * x[k];
        }
        x[row] = sum / a[row * n + row];
    }
    return x;
}

// Takes the first step of the normal equations, damped more and more, that lowers the error, updating the
// parameters, their residuals and the damping; returns the largest change of a parameter (0 when no step
// lowers the error).
double dampedStep(const std::vector<ChainArc>& arcs, const std::vector<double>& normal,
                  const std::vector<double>& gradient, double& damping, Parameters& p, std::vector<double>& r) {
    const std::size_t n = p.size();
    const double error = squaredSum(r);
    for (; damping < kMostDamping; damping *= kDampingFactor) {
        std::vector<double> damped = normal;
        for (std::size_t a = 0; a < n; ++a) {
            damped[a * n + a] *= 1 + damping;
        }
        const auto step = solved(damped, gradient);
        if (!step) {
            continue;
        }
        Parameters next = p;
        double largest = 0;
        for (std::size_t k = 0; k < n; ++k) {
            next[k] += (*step)[k];
            largest = std::max(largest, std::abs((*step)[k]));
        }
        auto nextR = residuals(arcs, next);
        if (nextR && squaredSum(*nextR) <= error) {
            p = std::move(next);
            r = std::move(*nextR);
            damping = std::max(damping / kDampingFactor, kLeastDamping);
            return largest;
        }
    }
    return 0;
}

}  // namespace

Point tangentPoint(const ChainArc& first, const ChainArc& second) {
    const Point apart = unit(second.circle.centre - first.circle.centre);
    const bool inward = first.left == second.left && first.circle.radius < second.circle.radius;
    return first.circle.centre + apart * (inward ? -first.circle.radius : first.circle.radius);
}

bool fitTangentArcs(std::vector<ChainArc>& arcs) {
    if (arcs.size() < 2) {
        return false;
    }
    Parameters p = parametersOf(arcs);
    std::optional<std::vector<double>> r = residuals(arcs, p);
    if (!r) {
        return false;
    }
    double damping = kFirstDamping;
    const std::size_t n = p.size();
    for (int round = 0; round < kRounds; ++round) {
        std::vector<double> normal(n * n, 0), gradient(n, 0);
        if (!addNormalEquations(arcs, p, *r, normal, gradient)) {
            return false;
        }
        for (std::size_t a = 0; a < n; ++a) {
            for (std::size_t b = 0; b < a; ++b) {
                normal[a * n + b] = normal[b * n + a];
            }
        }
        const double moved = dampedStep(arcs, normal, gradient, damping, p, *r);
        if (moved < kSettled) {
            break;  // settled, or no step lowers the error: a minimum
        }
    }
    const auto circles = circlesOf(arcs, p);
    if (!circles) {
        return false;
    }
    for (std::size_t i = 0; i < arcs.size(); ++i) {
        arcs[i].circle = {(*circles)[i].centre, (*circles)[i].radius + p.back(), true};
    }
    return true;
}

}  // namespace kelvarin
