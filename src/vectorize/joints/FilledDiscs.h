// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "vectorize/geometry/Geometry.h"
#include "vectorize/geometry/Pieces.h"
#include "vectorize/pipeline/Tolerances.h"
#include "vectorize/raster/FilledCores.h"
#include "vectorize/raster/Holes.h"

namespace kelvarin {

class InkProbe;
class WorkerPool;

inline constexpr double kRayStep = 0.5;  // dots between the probes along a ray

// A disc of ink: round its outer edge, and where the hole of a ring shows between the lines running in.
struct Disc {
    VectorCircle edge;
    double hole = 0;  // dots: the radius of the hole's edge where it shows between the lines; 0 for none
};

// The filled discs of the page that only lines leave, each radius between sizes.smallestJunctionRadius and half
// sizes.largestRound: found by their cores among the filled areas', then by the small holes of the page, which
// may be what shows of a heavy ring's hole that the lines all but closed. In the seeds' order, a seed within a
// disc found already being part of it.
std::vector<Disc> filledDiscs(const InkProbe& ink, FilledCores& cores, const PageHoles& holes, const Tolerances& sizes,
                              WorkerPool& pool, const Tick& tick);

// The distance along the ray from centre, from `from` on, to the first stretch of background a dot long; limit
// when there is none before it.
double backgroundFrom(const InkProbe& ink, Point centre, Point direction, double from, double limit);

}  // namespace kelvarin
