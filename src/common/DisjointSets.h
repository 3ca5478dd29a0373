// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <numeric>
#include <vector>

#include "common/WorkerPool.h"

namespace kelvarin {

// Items 0 to size() - 1 in disjoint sets, each set named by its root, one of its items. A join says which
// set's root names the joined set, so that whatever a caller keeps by root (and the order it reads it in)
// does not depend on how the sets happen to be linked. A look-up halves the path on its way up.
// Look-ups and joins within sets that no other thread touches may run on several threads at once.
template <typename Index>
class DisjointSets {
public:
    DisjointSets() = default;
    explicit DisjointSets(std::size_t size) { reset(size); }

    // Makes size sets of one item each.
    void reset(std::size_t size) {
        m_parent.resize(size);
        std::iota(m_parent.begin(), m_parent.end(), Index{0});
    }
    // Adds a set of one new item, which it gives.
    Index add() {
        const auto item = static_cast<Index>(m_parent.size());
        m_parent.push_back(item);
        return item;
    }
    std::size_t size() const { return m_parent.size(); }

    Index find(Index i) {
        while (m_parent[at(i)] != i) {
            m_parent[at(i)] = m_parent[at(m_parent[at(i)])];
            i = m_parent[at(i)];
        }
        return i;
    }
    bool isRoot(Index i) const { return m_parent[at(i)] == i; }

    // Joins the set of from to the set of into, whose root stays the root; gives it.
    Index join(Index into, Index from) {
        const Index root = find(into);
        m_parent[at(find(from))] = root;
        return root;
    }
    // Joins the set of root from to the set of root into, whose root stays the root.
    void link(Index into, Index from) { m_parent[at(from)] = into; }

    // Calls visit(root, item) for every item in order.
    template <typename Visit>
    void forEach(Visit visit) {
        for (std::size_t i = 0; i < m_parent.size(); ++i) {
            visit(find(static_cast<Index>(i)), static_cast<Index>(i));
        }
    }
    // What gather(gathered, item) gathers from each set's items in order, at the place of its root.
    template <typename T, typename Gather>
    std::vector<T> gather(Gather gather) {
        std::vector<T> gathered(m_parent.size());
        forEach([&](Index root, Index item) { gather(gathered[at(root)], item); });
        return gathered;
    }
    // Each item's root.
    std::vector<Index> roots() && {
        for (std::size_t i = 0; i < m_parent.size(); ++i) {
            m_parent[i] = find(static_cast<Index>(i));
        }
        return std::move(m_parent);
    }

    // Each item's set number, the sets numbered from 0 in the order of their first items; count is set to
    // the number of sets. Done in place, with the paths shortened on the pool, calling tick() now and then.
    // Every item must be below the top bit of Index, which marks numbers while they replace the links.
    template <typename Tick>
    std::vector<Index> numbers(WorkerPool& pool, const Tick& tick, std::size_t& count) &&;

private:
    static std::size_t at(Index i) { return static_cast<std::size_t>(i); }

    std::vector<Index> m_parent;  // each item's link towards its root; a root links to itself
};

template <typename Index>
template <typename Tick>
std::vector<Index> DisjointSets<Index>::numbers(WorkerPool& pool, const Tick& tick, std::size_t& count) && {
    constexpr Index kFlag = Index{1} << (8 * sizeof(Index) - 1);
    const std::size_t items = m_parent.size();
    // Every item linked to its root, halving the paths on the way. A link only ever moves to an ancestor, and
    // links are read and written whole, so the workers may shorten the same paths at once; but a worker that
    // read a link before another set it to the root may set it back to an ancestor below the root.
    const auto link = [this](Index i) { return std::atomic_ref(m_parent[at(i)]); };
    constexpr std::size_t kItemsPerTask = 1 << 16;
    pool.run((items + kItemsPerTask - 1) / kItemsPerTask, [&](std::size_t task, std::int32_t) {
        const auto first = static_cast<Index>(task * kItemsPerTask);
        const auto end = static_cast<Index>(std::min(items, task * kItemsPerTask + kItemsPerTask));
        for (Index i = first; i < end; ++i) {
            Index top = i;
            for (Index up; (up = link(top).load(std::memory_order_relaxed)) != top;) {
                const Index above = link(up).load(std::memory_order_relaxed);
                link(top).store(above, std::memory_order_relaxed);
                top = above;
            }
            link(i).store(top, std::memory_order_relaxed);
        }
    });
    // A set's first item numbers it and its root; every later item takes the number from the root, or from
    // an item on the way up to it that has its number already.
    Index sets = 0;
    for (std::size_t i = 0; i < items; ++i) {
        if ((i & 0x3FF) == 0) {
            tick();
        }
        Index top = m_parent[i];
        if ((top & kFlag) != 0) {
            continue;  // a root numbered by its set's first item
        }
        while ((m_parent[at(top)] & kFlag) == 0 && m_parent[at(top)] != top) {
            top = m_parent[at(top)];
        }
        if ((m_parent[at(top)] & kFlag) == 0) {
            m_parent[at(top)] = kFlag | sets++;
        }
        m_parent[i] = m_parent[at(top)];
    }
    for (Index& number : m_parent) {
        number &= ~kFlag;
    }
    count = sets;
    return std::move(m_parent);
}

}  // namespace kelvarin
