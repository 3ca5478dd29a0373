// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/JobPool.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <exception>

namespace kelvarin {

namespace {

struct Child {
    pid_t pid;
    int descriptor;  // the read end of the pipe the child writes its result to
    std::size_t index;
    std::string received;
};

void appendNumber(std::string& out, auto value) {
    std::array<char, 32> digits{};
    const auto [end, error] = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    out.append(digits.data(), end);
    out += ' ';
}

template <typename T>
bool takeNumber(std::string_view& in, T& value) {
    const auto [end, error] = std::from_chars(in.data(), in.data() + in.size(), value);
    if (error != std::errc() || end == in.data() + in.size() || *end != ' ') {
        return false;
    }
    in.remove_prefix(static_cast<std::size_t>(end - in.data()) + 1);
    return true;
}

void writeAll(int descriptor, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(descriptor, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        done += static_cast<std::size_t>(written);
    }
}

// In the child: runs the job and hands its result to the parent; never returns.
[[noreturn]] void runChild(const JobPool::Job& job, std::size_t index, int descriptor, pid_t parent) {
    // Orphaned children stop like the batch would, instead of writing on unseen.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) {
        _exit(1);
    }
    JobResult result;
    try {
        result = job(index);
    } catch (const std::exception& error) {
        result.outcome.message = error.what();
    }
    writeAll(descriptor, encodeJobResult(result));
    _exit(0);  // no exit handlers: they belong to the parent
}

Child startChild(const JobPool::Job& job, std::size_t index) {
    std::array<int, 2> pipe{};
    if (pipe2(pipe.data(), O_CLOEXEC) != 0) {
        return {-1, -1, index, {}};
    }
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipe[0]);
        runChild(job, index, pipe[1], parent);
    }
    close(pipe[1]);
    if (pid < 0) {
        close(pipe[0]);
        return {-1, -1, index, {}};
    }
    return {pid, pipe[0], index, {}};
}

// Reads what the child has written; true once it has closed its end.
bool readFrom(Child& child) {
    std::array<char, 65536> buffer{};
    const ssize_t count = ::read(child.descriptor, buffer.data(), buffer.size());
    if (count > 0) {
        child.received.append(buffer.data(), static_cast<std::size_t>(count));
        return false;
    }
    return count == 0 || (errno != EINTR && errno != EAGAIN);
}

int waitFor(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

}  // namespace

std::string encodeJobResult(const JobResult& result) {
    const InputOutcome& outcome = result.outcome;
    std::string out;
    appendNumber(out, static_cast<int>(outcome.status));
    appendNumber(out, outcome.entities);
    appendNumber(out, outcome.skew ? 1 : 0);
    appendNumber(out, outcome.skew.value_or(0));
    appendNumber(out, outcome.seconds);
    appendNumber(out, outcome.stopped ? 1 : 0);
    appendNumber(out, outcome.message.size());
    appendNumber(out, result.messages.size());
    return out + outcome.message + result.messages;
}

std::optional<JobResult> decodeJobResult(const std::string& bytes) {
    std::string_view in(bytes);
    JobResult result;
    InputOutcome& outcome = result.outcome;
    int status = 0;
    int hasSkew = 0;
    double skew = 0;
    int stopped = 0;
    std::size_t messageSize = 0;
    std::size_t messagesSize = 0;
    if (!takeNumber(in, status) || !takeNumber(in, outcome.entities) || !takeNumber(in, hasSkew) ||
        !takeNumber(in, skew) || !takeNumber(in, outcome.seconds) || !takeNumber(in, stopped) ||
        !takeNumber(in, messageSize) || !takeNumber(in, messagesSize) || in.size() != messageSize + messagesSize ||
        status < 0 || status > static_cast<int>(InputStatus::Failed)) {
        return std::nullopt;
    }
    outcome.status = static_cast<InputStatus>(status);
    outcome.skew = hasSkew != 0 ? std::optional<double>(skew) : std::nullopt;
    outcome.stopped = stopped != 0;
    outcome.message = in.substr(0, messageSize);
    result.messages = in.substr(messageSize);
    return result;
}

bool JobPool::run(const std::vector<std::size_t>& indices, const Job& job, const Finished& finished,
                  const std::function<void()>& idle) {
    std::vector<Child> running;
    std::size_t next = 0;
    bool stopping = false;
    while (true) {
        if (!stopping && stopRequested()) {
            stopping = true;
            for (const Child& child : running) {
                kill(child.pid, SIGTERM);
            }
        }
        while (!stopping && next < indices.size() && running.size() < static_cast<std::size_t>(m_jobs)) {
            Child child = startChild(job, indices[next++]);
            if (child.pid < 0) {
                finished(child.index, std::nullopt, 0);
            } else {
                running.push_back(std::move(child));
            }
        }
        if (running.empty()) {
            break;
        }
        std::vector<pollfd> waiting;
        for (const Child& child : running) {
            waiting.push_back({child.descriptor, POLLIN, 0});
        }
        poll(waiting.data(), waiting.size(), 200);  // a signal ends the wait early, to be seen above
        for (std::size_t i = running.size(); i-- > 0;) {
            if (waiting[i].revents == 0 || !readFrom(running[i])) {
                continue;
            }
            Child child = std::move(running[i]);
            running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
            close(child.descriptor);
            const int status = waitFor(child.pid);
            finished(child.index, decodeJobResult(child.received), status);
        }
        idle();
    }
    return !stopping;
}

}  // namespace kelvarin
