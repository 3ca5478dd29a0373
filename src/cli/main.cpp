// SPDX-License-Identifier: GPL-3.0-or-later
#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <csignal>
#include <iostream>
#include <thread>

#include "cli/CliRun.h"
#include "common/MemoryReturn.h"
#include "fileutil/ProgramLocation.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void requestStop(int) { interrupted = 1; }

// The cores this process may run on: a scheduler's share where one is set.
std::int32_t availableCores() {
    cpu_set_t cores;
    if (sched_getaffinity(0, sizeof(cores), &cores) == 0) {
        return std::max(1, CPU_COUNT(&cores));
    }
    return static_cast<std::int32_t>(std::max(1U, std::thread::hardware_concurrency()));
}

}  // namespace

int main(int argc, char** argv) {
    kelvarin::returnLargeBlocksOnFree();
    // The system's reasons in messages come in the user's language; numbers stay in the C locale's form.
    std::setlocale(LC_MESSAGES, "");
    // A stop request ends the running command cleanly: no half-written output or temporary file stays.
    // System calls are not restarted after it, so that a wait (opening a pipe nobody reads) ends too.
    struct sigaction stop {};
    stop.sa_handler = requestStop;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGTERM, &stop, nullptr);
    const kelvarin::CliEnvironment environment{
        kelvarin::executablePath(), std::cin,     std::cout, std::cerr,       isatty(STDIN_FILENO) == 1,
        isatty(STDERR_FILENO) == 1, &interrupted, {},        availableCores()};
    return kelvarin::runCli(std::vector<std::string>(argv + 1, argv + argc), environment);
}
