// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmap/IsolatedWork.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <new>
#include <utility>

namespace kelvarin {

namespace {

// How long the parent waits for the child between two reports, in milliseconds.
constexpr int kWaitMilliseconds = 20;
// The ticks one wait counts as: enough for the toolkit to look at the clock on every report.
constexpr std::int64_t kTicksPerWait = std::int64_t{1} << 14;

class Descriptor {
public:
    explicit Descriptor(int descriptor = -1) : m_descriptor(descriptor) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return m_descriptor; }
    void reset() {
        if (m_descriptor >= 0) {
            close(m_descriptor);
        }
        m_descriptor = -1;
    }

private:
    int m_descriptor;
};

// Kills and reaps the child unless it was reaped already.
class ChildGuard {
public:
    explicit ChildGuard(pid_t child) : m_child(child) {}
    ~ChildGuard() {
        if (m_child > 0) {
            kill(m_child, SIGKILL);
            waitpid(m_child, nullptr, 0);
        }
    }
    ChildGuard(const ChildGuard&) = delete;
    ChildGuard& operator=(const ChildGuard&) = delete;

    int reap() {
        int status = 0;
        while (waitpid(m_child, &status, 0) < 0 && errno == EINTR) {
        }
        m_child = -1;
        return status;
    }

private:
    pid_t m_child;
};

// The share of its processor time limit a child has used, which is as near as the parent can tell how far
// its work has come.
class ProcessorTime {
public:
    ProcessorTime(pid_t child, int limitSeconds) : m_limit(limitSeconds) {
        m_known = clock_getcpuclockid(child, &m_clock) == 0 && limitSeconds > 0;
    }
    double share() const {
        timespec now{};
        if (!m_known || clock_gettime(m_clock, &now) != 0) {
            return 0;
        }
        return std::min(1.0, (static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9) / m_limit);
    }

private:
    clockid_t m_clock{};
    double m_limit;
    bool m_known = false;
};

// The bytes of address space the process holds now.
std::int64_t addressSpaceInUse() {
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    long pages = 0;
    if (statm != nullptr) {
        if (std::fscanf(statm, "%ld", &pages) != 1) {
            pages = 0;
        }
        std::fclose(statm);
    }
    return std::int64_t{pages} * sysconf(_SC_PAGESIZE);
}

void writeAll(int descriptor, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(descriptor, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        done += static_cast<std::size_t>(written);
    }
}

[[noreturn]] void runChild(const std::function<std::string(int)>& work, WorkLimits limits, int answerPipe, int output) {
    // A stop request is the parent's to answer; the child ends when the parent kills it.
    signal(SIGINT, SIG_IGN);
    signal(SIGTERM, SIG_IGN);
    const int silence = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (silence >= 0) {
        dup2(silence, STDERR_FILENO);
        dup2(silence, STDOUT_FILENO);
    }
    const auto memory = static_cast<rlim_t>(addressSpaceInUse() + limits.memoryBytes);
    const rlimit space{memory, memory};
    const rlimit time{static_cast<rlim_t>(limits.processorSeconds), static_cast<rlim_t>(limits.processorSeconds + 1)};
    setrlimit(RLIMIT_AS, &space);
    setrlimit(RLIMIT_CPU, &time);
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    try {
        writeAll(answerPipe, work(output));
    } catch (...) {
        _exit(2);
    }
    _exit(0);
}

}  // namespace

SharedOutput::SharedOutput(int descriptor, std::size_t size) {
    if (size == 0) {
        return;
    }
    void* mapped = mmap(nullptr, size, PROT_READ, MAP_SHARED, descriptor, 0);
    if (mapped == MAP_FAILED) {
        throw std::bad_alloc();
    }
    m_data = static_cast<std::uint8_t*>(mapped);
    m_size = size;
}

SharedOutput::~SharedOutput() {
    if (m_data != nullptr) {
        munmap(m_data, m_size);
    }
}

SharedOutput::SharedOutput(SharedOutput&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)) {}

SharedOutput& SharedOutput::operator=(SharedOutput&& other) noexcept {
    std::swap(m_data, other.m_data);
    std::swap(m_size, other.m_size);
    return *this;
}

IsolatedEnd runIsolated(const std::function<std::string(int output)>& work, WorkLimits limits, WorkReport* report,
                        std::string& answer, SharedOutput& output) {
    Descriptor bulk(memfd_create("kelvarin-output", MFD_CLOEXEC));
    int ends[2];
    if (bulk.get() < 0 || pipe2(ends, O_CLOEXEC) != 0) {
        throw std::bad_alloc();
    }
    Descriptor readEnd(ends[0]);
    Descriptor writeEnd(ends[1]);
    const pid_t child = fork();
    if (child < 0) {
        throw std::bad_alloc();
    }
    if (child == 0) {
        readEnd.reset();
        runChild(work, limits, writeEnd.get(), bulk.get());
    }
    ChildGuard guard(child);
    writeEnd.reset();
    answer.clear();
    const ProcessorTime used(child, limits.processorSeconds);
    for (;;) {
        pollfd ready{readEnd.get(), POLLIN, 0};
        if (poll(&ready, 1, kWaitMilliseconds) > 0) {
            char buffer[4096];
            const ssize_t got = read(readEnd.get(), buffer, sizeof buffer);
            if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) {
                break;
            }
            if (got > 0) {
                answer.append(buffer, static_cast<std::size_t>(got));
            }
        }
        if (report != nullptr) {
            report->advance(kTicksPerWait, used.share());
        }
    }
    const int status = guard.reap();
    // A stop request that came as the child ended is answered before anything the child did.
    if (report != nullptr) {
        report->advance(kTicksPerWait, 1);
    }
    if (WIFSIGNALED(status) && (WTERMSIG(status) == SIGXCPU || WTERMSIG(status) == SIGKILL)) {
        return IsolatedEnd::OutOfTime;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return IsolatedEnd::OutOfResources;
    }
    struct stat facts {};
    if (fstat(bulk.get(), &facts) != 0) {
        return IsolatedEnd::OutOfResources;
    }
    output = SharedOutput(bulk.get(), static_cast<std::size_t>(facts.st_size));
    return IsolatedEnd::Finished;
}

}  // namespace kelvarin
