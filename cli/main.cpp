// lumora-cli: the keywords meta tag of an HTML page, from the command line.
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <iostream>

#include "cli_app.h"

namespace {

std::atomic<bool> interrupted{false};

extern "C" void OnInterrupt(int) {
    interrupted = true;
    // A second Ctrl-C ends the program at once.
    std::signal(SIGINT, SIG_DFL);
}

}  // namespace

int main(int argc, char** argv) {
    // A run over many pages builds and drops a word table per page on every worker; memory
    // freed is kept for the next page instead of going back to the system and faulting in
    // again, which cost a sixth of the time of a run over a site.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    std::signal(SIGINT, OnInterrupt);
    lumora::cli::CliEnvironment environment;
    environment.executableFolder = lumora::engine::ExecutableFolder();
    environment.progressOnTerminal = isatty(STDERR_FILENO) != 0;
    environment.interrupted = &interrupted;
    return lumora::cli::RunCli(argc, argv, std::cout, std::cerr, environment);
}
