// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>

namespace kelvarin {

// Angles in degrees brought round into one turn. fmod is exact, so each gives the angle itself where it is
// in range already; they differ in where rounding may fall, which decides the last digits written.

// degrees in [0, 360): a tiny negative angle may round up to 360.
inline double normalDegrees(double degrees) {
    const double angle = std::fmod(degrees, 360.0);
    return angle < 0 ? angle + 360 : angle;
}

// degrees from -720 on in [0, 360), as arcs' ends are written: two turns are added first, and the rounding
// of that sum decides the last digits.
inline double arcEndDegrees(double degrees) { return std::fmod(degrees + 720, 360.0); }

// degrees as a turn from -180 up to 180: how far, and which way round, from a reference angle.
inline double turnDegrees(double degrees) { return std::remainder(degrees, 360.0); }

}  // namespace kelvarin
