// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <vector>

#include "vectorize/geometry/Geometry.h"

namespace kelvarin {

class RunGroups;

// A filled polygon inscribed in a ring (a tree's crown in a plan, a valve's filled seat): round as a disc
// outside, with slivers of background inside its edge between each side and the ring.
struct InscribedPolygon {
    VectorCircle ring;              // along the ring's middle
    double ringWidth = 0;           // dots
    std::vector<VectorLine> sides;  // each from the ring's middle to the ring's middle
};

// The polygon of the disc of edge radius `edge` about centre, when the background inside it lies in slivers
// each cut off straight by a side; nothing when it holds no sliver long and straight enough (specks of
// background along a filled disc's edge make none).
std::optional<InscribedPolygon> inscribedPolygon(const RunGroups& groups, Point centre, double edge);

}  // namespace kelvarin
