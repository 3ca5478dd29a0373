// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "vectorize/geometry/Geometry.h"
#include "vectorize/index/SpatialIndex.h"

namespace kelvarin {

// Circles that are added one by one while points are looked up among them, listed in a spatial index by
// their centres. The circles added since the index was last laid out are looked at one by one until there
// are as many of them as indexed ones, so that adding and looking up in turn stays cheap.
class CircleCells {
public:
    void add(const VectorCircle& circle) {
        m_largest = std::max(m_largest, circle.radius);
        m_circles.push_back(circle);
        if (m_circles.size() - m_indexed > std::max<std::size_t>(kFewestUnindexed, m_indexed)) {
            catchUp();
        }
    }
    // The circle that p lies within, or within reach of; none when there is none. Of several, the first
    // the index lists.
    const VectorCircle* around(Point p, double reach) const {
        return first(m_largest + reach, p,
                     [&](const VectorCircle& circle) { return length(p - circle.centre) <= circle.radius + reach; });
    }
    bool covers(Point p, double reach) const {
        return any(m_largest + reach, p,
                   [&](const VectorCircle& circle) { return length(p - circle.centre) <= circle.radius + reach; });
    }
    // Whether a circle whose centre lies within reach of p passes the test.
    template <typename Test>
    bool centredNear(Point p, double reach, Test test) const {
        return any(reach, p,
                   [&](const VectorCircle& circle) { return length(p - circle.centre) <= reach && test(circle); });
    }

private:
    static constexpr std::size_t kFewestUnindexed = 16;

    void catchUp() const {
        for (; m_indexed < m_circles.size(); ++m_indexed) {
            m_index.insert(static_cast<std::int32_t>(m_indexed), m_circles[m_indexed].centre);
        }
    }
    // The first circle the index lists whose centre lies within far of p that passes the test.
    template <typename Test>
    const VectorCircle* first(double far, Point p, Test test) const {
        catchUp();
        m_index.near(p, far, m_near);
        for (const std::int32_t id : m_near) {
            if (test(m_circles[static_cast<std::size_t>(id)])) {
                return &m_circles[static_cast<std::size_t>(id)];
            }
        }
        return nullptr;
    }
    // Whether any circle whose centre lies within far of p passes the test, indexed or not yet.
    template <typename Test>
    bool any(double far, Point p, Test test) const {
        if (std::any_of(m_circles.begin() + static_cast<std::ptrdiff_t>(m_indexed), m_circles.end(), test)) {
            return true;
        }
        if (m_indexed == 0) {
            return false;
        }
        m_index.near(p, far, m_near);
        return std::any_of(m_near.begin(), m_near.end(),
                           [&](std::int32_t id) { return test(m_circles[static_cast<std::size_t>(id)]); });
    }

    std::vector<VectorCircle> m_circles;
    double m_largest = 0;
    mutable SpatialIndex m_index;  // the first m_indexed circles, by their centres
    mutable std::size_t m_indexed = 0;
    mutable std::vector<std::int32_t> m_near;
};

}  // namespace kelvarin
