// Runs a piece of a test in a child process, so that it may block, crash or be killed
// without taking the test run with it.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <optional>
#include <thread>

namespace lumora::testing {

// The child's wait status, or nothing when it had not ended after `limit` (it is then
// killed).
inline std::optional<int> RunInChild(const std::function<int()>& body,
                                     std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(body());
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return status;
}

}  // namespace lumora::testing
