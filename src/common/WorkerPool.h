// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kelvarin {

// Threads that share out the items of a loop while the calling thread keeps the window alive. Each item
// writes its results to a place of its own, so the outcome does not depend on the number of threads.
class WorkerPool {
public:
    // An item of a loop: its index and the number of the worker running it (below threads()), for scratch
    // space of that worker's own.
    using Item = std::function<void(std::size_t index, std::int32_t worker)>;

    // threads: how many threads run the items, 0 for one per core. wait: called by the calling thread every
    // few milliseconds while the items run; it may throw to stop them.
    WorkerPool(std::int32_t threads, std::function<void()> wait);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    std::int32_t threads() const { return static_cast<std::int32_t>(m_threads.size()); }

    // Runs item(i) for every i below count and returns when all are done. When wait() or an item throws, the
    // workers stop after the item they are running and the first exception is rethrown here.
    void run(std::size_t count, const Item& item);

    // Runs the items as run() does while the calling thread runs alongside() (its own work, which calls its
    // own stop check), and returns when both are done. When alongside() throws, the workers stop after the
    // items they are running and its exception is rethrown here.
    void runAlongside(std::size_t count, const Item& item, const std::function<void()>& alongside);

    // Whether the items under way should stop: long items look at it every so often and return early.
    bool stopping() const { return m_stop.load(std::memory_order_relaxed); }

private:
    void start(std::size_t count, const Item& item);
    // Waits for the items, calling wait() meanwhile; rethrows the first failure.
    void finish();
    void work(std::int32_t worker);
    void runItems(std::int32_t worker);

    std::function<void()> m_wait;
    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_started;
    std::condition_variable m_finished;
    std::uint64_t m_generation = 0;  // counts the runs, so that each worker joins each run once
    std::int32_t m_running = 0;      // workers still in the current run
    bool m_quit = false;
    const Item* m_item = nullptr;
    std::size_t m_count = 0;
    std::size_t m_grain = 1;
    std::atomic<std::size_t> m_next{0};
    std::atomic<bool> m_stop{false};
    std::exception_ptr m_failure;
};

// The lines (rows, or strips of columns) of cellsPerLine cells each in a band of about 2 M cells. Work shared
// out in such bands has bounds that depend on the page's shape only, not on the number of threads.
std::int32_t linesPerBand(std::int64_t cellsPerLine);

}  // namespace kelvarin
