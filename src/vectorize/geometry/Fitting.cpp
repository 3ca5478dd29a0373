// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/geometry/Fitting.h"

#include <algorithm>
#include <numbers>

#include "common/Angles.h"
#include "vectorize/geometry/Distances.h"

namespace kelvarin {

void LineMoments::add(Point p, double weight) {
    LineMoments single;
    single.n = weight;
    single.mean = p;
    merge(single);
}

void LineMoments::merge(const LineMoments& other) {
    if (other.n <= 0) {
        return;
    }
    const double total = n + other.n;
    const Point shift = other.mean - mean;
    const double k = n * other.n / total;
    sxx += other.sxx + shift.x * shift.x * k;
    sxy += other.sxy + shift.x * shift.y * k;
    syy += other.syy + shift.y * shift.y * k;
    mean = mean + shift * (other.n / total);
    n = total;
}

// The eigenvector of the larger eigenvalue of the scatter matrix.
Point LineMoments::direction() const {
    const double half = (sxx - syy) / 2;
    const double larger = (sxx + syy) / 2 + std::sqrt(half * half + sxy * sxy);
    const Point first{sxy, larger - sxx};
    const Point second{larger - syy, sxy};
    const Point chosen = dot(first, first) >= dot(second, second) ? first : second;
    const double size = length(chosen);
    return size > 0 ? chosen * (1 / size) : Point{1, 0};
}

double LineMoments::squaredError() const {
    const double half = (sxx - syy) / 2;
    return std::max(0.0, (sxx + syy) / 2 - std::sqrt(half * half + sxy * sxy));
}

bool meetAtCorner(const LineMoments& x, const LineMoments& y) {
    constexpr double kLeastTurn = 0.985;       // cosine of 10 degrees
    constexpr double kLeastMeanSquare = 0.25;  // squared dots per point
    constexpr double kErrorRatio = 2.5;
    if (x.n <= 0 || y.n <= 0 || std::abs(dot(x.direction(), y.direction())) > kLeastTurn) {
        return false;
    }
    LineMoments joined = x;
    joined.merge(y);
    const double error = joined.squaredError();
    return error >= kLeastMeanSquare * joined.n && error >= kErrorRatio * (x.squaredError() + y.squaredError());
}

namespace {

// The summed squared distance of the points from the circle about centre whose radius is their mean
// distance from it; radius receives that mean.
double circleError(std::span<const Point> points, Point centre, double& radius) {
    double sum = 0, squares = 0;
    for (const Point& p : points) {
        const double distance = length(p - centre);
        sum += distance;
        squares += distance * distance;
    }
    const double n = static_cast<double>(points.size());
    radius = sum / n;
    return std::max(0.0, squares - sum * sum / n);
}

double determinant3(const double m[3][3]) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// The centre's step of one Gauss-Newton round on the residuals |p - c| - r in (cx, cy, r), by Cramer's
// rule; nothing when the points leave it undetermined.
std::optional<Point> gaussNewtonStep(std::span<const Point> points, Point centre, double radius) {
    double a[3][3] = {}, b[3] = {};
    for (const Point& p : points) {
        const Point d = p - centre;
        const double distance = length(d);
        if (distance == 0) {
            return std::nullopt;
        }
        const double row[3] = {-d.x / distance, -d.y / distance, -1};
        for (int i = 0; i < 3; ++i) {
            b[i] -= row[i] * (distance - radius);
            for (int j = 0; j < 3; ++j) {
                a[i][j] += row[i] * row[j];
            }
        }
    }
    const double whole = determinant3(a);
    if (!(std::abs(whole) > 1e-18)) {
        return std::nullopt;
    }
    double step[2];
    for (int column = 0; column < 2; ++column) {
        double replaced[3][3];
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                replaced[i][j] = j == column ? b[i] : a[i][j];
            }
        }
        step[column] = determinant3(replaced) / whole;
    }
    return Point{step[0], step[1]};
}

}  // namespace

CircleFit fitCircle(std::span<const Point> points) {
    CircleFit fit;
    if (points.size() < 3) {
        return fit;
    }
    Point mean;
    for (const Point& p : points) {
        mean = mean + p;
    }
    mean = mean * (1.0 / static_cast<double>(points.size()));
    double suu = 0, suv = 0, svv = 0, suuu = 0, svvv = 0, suvv = 0, svuu = 0;
    for (const Point& p : points) {
        const double u = p.x - mean.x;
        const double v = p.y - mean.y;
        suu += u * u;
        suv += u * v;
        svv += v * v;
        suuu += u * u * u;
        svvv += v * v * v;
        suvv += u * v * v;
        svuu += v * u * u;
    }
    const double determinant = suu * svv - suv * suv;
    if (std::abs(determinant) < 1e-12 * (suu * svv + 1)) {
        return fit;
    }
    const double bu = (suuu + suvv) / 2;
    const double bv = (svvv + svuu) / 2;
    Point centre{(bu * svv - bv * suv) / determinant, (suu * bv - suv * bu) / determinant};
    centre = centre + mean;
    // Geometric refinement: the radius is the mean distance, the centre moves to fit it.
    double radius = 0;
    const double n = static_cast<double>(points.size());
    for (int iteration = 0; iteration < 12; ++iteration) {
        double sum = 0;
        Point unitSum;
        for (const Point& p : points) {
            const Point d = p - centre;
            const double distance = length(d);
            if (distance == 0) {
                return fit;
            }
            sum += distance;
            unitSum = unitSum + d * (1 / distance);
        }
        radius = sum / n;
        centre = mean - unitSum * (radius / n);
    }
    fit.centre = centre;
    fit.radius = radius;
    fit.valid = std::isfinite(radius) && radius > 0;
    return fit;
}

// Each round's step is halved until it lowers the error; the radius is the mean distance from the centre.
CircleFit closestCircle(std::span<const Point> points, const CircleFit& start) {
    if (!start.valid || points.size() < 3) {
        return start;
    }
    CircleFit fit = start;
    double error = circleError(points, fit.centre, fit.radius);
    for (int round = 0; round < 30; ++round) {
        const std::optional<Point> step = gaussNewtonStep(points, fit.centre, fit.radius);
        if (!step) {
            break;
        }
        const double before = error;
        Point tried = *step;
        for (int halving = 0; halving < 8; ++halving, tried = tried * 0.5) {
            double radius = 0;
            const double triedError = circleError(points, fit.centre + tried, radius);
            if (triedError < error) {
                fit.centre = fit.centre + tried;
                fit.radius = radius;
                error = triedError;
                break;
            }
        }
        if (before - error <= 1e-12 * (before + 1) || length(tried) < 1e-6) {
            break;
        }
    }
    fit.valid = std::isfinite(fit.radius) && fit.radius > 0;
    return fit;
}

double squaredCircleError(std::span<const Point> points, const CircleFit& circle) {
    double sum = 0;
    for (const Point& p : points) {
        const double off = length(p - circle.centre) - circle.radius;
        sum += off * off;
    }
    return sum;
}

double largestCircleDistance(std::span<const Point> points, const CircleFit& circle) {
    double largest = 0;
    for (const Point& p : points) {
        largest = std::max(largest, distanceToCircle(p, circle.centre, circle.radius));
    }
    return largest;
}

double meanSquareCircleDistance(std::span<const Point> points, const CircleFit& circle) {
    return squaredCircleError(points, circle) / static_cast<double>(points.size());
}

Point pointOnCircle(Point centre, double radius, double degrees) {
    const double radians = degrees * std::numbers::pi / 180;
    return centre + Point{std::cos(radians), std::sin(radians)} * radius;
}

double angleDegrees(Point centre, Point p) {
    const double degrees = normalDegrees(std::atan2(p.y - centre.y, p.x - centre.x) * 180 / std::numbers::pi);
    return degrees >= 360 ? 0 : degrees;
}

double sweepDegrees(double start, double end) { return normalDegrees(end - start); }

}  // namespace kelvarin
