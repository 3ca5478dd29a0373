#include <signal.h>
#include <unistd.h>

#include <clocale>
#include <csignal>
#include <iostream>

#include "cli/CliRun.h"
#include "fileutil/ProgramLocation.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void requestStop(int) { interrupted = 1; }

}  // namespace

int main(int argc, char** argv) {
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
        kelvarin::executablePath(), std::cin,    std::cout, std::cerr, isatty(STDIN_FILENO) == 1,
        isatty(STDERR_FILENO) == 1, &interrupted};
    return kelvarin::runCli(std::vector<std::string>(argv + 1, argv + argc), environment);
}
