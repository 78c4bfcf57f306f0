// lumora-cli: the keywords meta tag of an HTML page, from the command line.
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
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
    environment.executableFolder =
        lumora::engine::ExecutableFolder(lumora::engine::RealFileSystem());
    environment.progressOnTerminal = isatty(STDERR_FILENO) != 0;
    environment.interrupted = &interrupted;
    environment.readInput = [](lumora::Text& bytes) -> lumora::Text {
        // Bytes as they come, whatever they are; the pass judges whether they are a page.
        char block[1 << 16];
        for (;;) {
            const ssize_t got = read(STDIN_FILENO, block, sizeof block);
            if (got == 0)
                return {};
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return std::strerror(errno);
            bytes.append(block, static_cast<std::size_t>(got));
        }
    };
    return lumora::cli::RunCli(argc, argv, std::cout, std::cerr, environment);
}
