// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vectorize/geometry/Fitting.h"
#include "vectorize/raster/InkProbe.h"

namespace kelvarin {

// Probes of the ink along a ray: the points from + direction × t, t stepping by step dots. A march sums t
// step by step from where it starts, so marches over the same stretch meet the same points.
class InkRay {
public:
    InkRay(const InkProbe& ink, Point from, Point direction, double step)
        : m_ink(ink), m_from(from), m_direction(direction), m_step(step) {}

    Point at(double t) const { return m_from + m_direction * t; }
    bool inked(double t) const { return m_ink.at(at(t)); }

    // The first probe from `from` on, up to last, that is ink; or the first past last.
    double firstInk(double from, double last) const {
        double t = from;
        while (t <= last && !inked(t)) {
            t += m_step;
        }
        return t;
    }
    // The first probe from `from` on, up to last, that is background with the point gap dots further on; or
    // the first past last. A pinhole in a stroke, shorter than the gap, does not end it.
    double firstGap(double from, double last, double gap) const {
        double t = from;
        while (t <= last && (inked(t) || inked(t + gap))) {
            t += m_step;
        }
        return t;
    }
    // Calls visit(enter, after, ended) for each stretch of ink the probes from near up to far meet: enter is
    // its first probe, after the probe after its last, and ended whether background ended it (else the
    // probes ran past far). visit returns whether to go on.
    template <typename Visit>
    void forEachStretch(double near, double far, Visit visit) const {
        bool inside = false;
        double enter = 0;
        double t = near;
        for (; t <= far; t += m_step) {
            const bool ink = inked(t);
            if (ink && !inside) {
                inside = true;
                enter = t;
            } else if (!ink && inside) {
                inside = false;
                if (!visit(enter, t, true)) {
                    return;
                }
            }
        }
        if (inside) {
            visit(enter, t, false);
        }
    }

private:
    const InkProbe& m_ink;
    Point m_from;
    Point m_direction;
    double m_step;
};

}  // namespace kelvarin
