// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/WorkerPool.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace kelvarin {

namespace {

// How often the calling thread calls wait() while the workers run.
constexpr auto kWaitInterval = std::chrono::milliseconds(10);
// Items handed out at a time: enough per thread that the shared counter is rarely touched, few enough that
// the threads end together.
constexpr std::size_t kPortionsPerThread = 16;
constexpr std::int64_t kCellsPerBand = std::int64_t{1} << 21;

}  // namespace

WorkerPool::WorkerPool(std::int32_t threads, std::function<void()> wait) : m_wait(std::move(wait)) {
    if (threads <= 0) {
        threads = static_cast<std::int32_t>(std::max(1u, std::thread::hardware_concurrency()));
    }
    m_threads.reserve(static_cast<std::size_t>(threads));
    for (std::int32_t worker = 0; worker < threads; ++worker) {
        m_threads.emplace_back([this, worker] { work(worker); });
    }
}

WorkerPool::~WorkerPool() {
    {
        const std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_started.notify_all();
    for (std::thread& thread : m_threads) {
        thread.join();
    }
}

void WorkerPool::run(std::size_t count, const Item& item) {
    if (count == 0) {
        return;
    }
    start(count, item);
    finish();
}

void WorkerPool::runAlongside(std::size_t count, const Item& item, const std::function<void()>& alongside) {
    if (count == 0) {
        alongside();
        return;
    }
    start(count, item);
    std::exception_ptr own;
    try {
        alongside();
    } catch (...) {
        own = std::current_exception();
        m_stop = true;
    }
    try {
        finish();
    } catch (...) {
        if (!own) {
            throw;
        }
    }
    if (own) {
        std::rethrow_exception(own);
    }
}

void WorkerPool::start(std::size_t count, const Item& item) {
    {
        const std::lock_guard lock(m_mutex);
        m_item = &item;
        m_count = count;
        m_grain = std::max<std::size_t>(1, count / (m_threads.size() * kPortionsPerThread));
        m_next = 0;
        m_stop = false;
        m_failure = nullptr;
        m_running = threads();
        ++m_generation;
    }
    m_started.notify_all();
}

void WorkerPool::finish() {
    std::unique_lock lock(m_mutex);
    while (!m_finished.wait_for(lock, kWaitInterval, [this] { return m_running == 0; })) {
        if (m_stop) {
            continue;  // a worker failed: wait for the others
        }
        lock.unlock();
        try {
            m_wait();
        } catch (...) {
            lock.lock();
            if (!m_failure) {
                m_failure = std::current_exception();
            }
            m_stop = true;
            continue;
        }
        lock.lock();
    }
    m_item = nullptr;
    if (m_failure) {
        std::rethrow_exception(std::exchange(m_failure, nullptr));
    }
}

void WorkerPool::work(std::int32_t worker) {
    std::uint64_t seen = 0;
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_started.wait(lock, [&] { return m_quit || m_generation != seen; });
            if (m_quit) {
                return;
            }
            seen = m_generation;
        }
        runItems(worker);
        const std::lock_guard lock(m_mutex);
        if (--m_running == 0) {
            m_finished.notify_one();
        }
    }
}

void WorkerPool::runItems(std::int32_t worker) {
    try {
        for (;;) {
            const std::size_t first = m_next.fetch_add(m_grain);
            if (first >= m_count) {
                return;
            }
            const std::size_t end = std::min(first + m_grain, m_count);
            for (std::size_t index = first; index < end; ++index) {
                if (stopping()) {
                    return;
                }
                (*m_item)(index, worker);
            }
        }
    } catch (...) {
        const std::lock_guard lock(m_mutex);
        if (!m_failure) {
            m_failure = std::current_exception();
        }
        m_stop = true;
    }
}

std::int32_t linesPerBand(std::int64_t cellsPerLine) {
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(kCellsPerBand / std::max<std::int64_t>(cellsPerLine, 1), 1, 1 << 16));
}

}  // namespace kelvarin
