// Runs lumora-cli in-process, as the tests of the command-line tool do: the arguments
// after the program's name (and standard input) in, standard output, standard error and the exit
// status out.
#pragma once

#include <atomic>
#include <cctype>
#include <sstream>
#include <string>
#include <vector>

#include "cli_app.h"

namespace lumora::testing {

struct RunResult {
    int status;
    std::string out;
    std::string err;
};

inline RunResult RunTool(std::vector<std::string> args,
                         const std::atomic<bool>* interrupted = nullptr, bool terminal = false,
                         files::FileSystem* fileSystem = nullptr,
                         const std::string* input = nullptr) {
    args.insert(args.begin(), "lumora-cli");
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    cli::CliEnvironment env;
    env.executableFolder = LUMORA_BIN_DIR;
    env.interrupted = interrupted;
    env.progressOnTerminal = terminal;
    env.fileSystem = fileSystem;
    if (input != nullptr) {
        env.readInput = [input](std::string& bytes) {
            bytes = *input;
            return std::string();
        };
    }
    const int status = cli::RunCli(static_cast<int>(argv.size()), argv.data(), out, err, env);
    return {status, out.str(), err.str()};
}

// The rows of a word list, in rank order, as "word/frequency" joined by blanks.
inline std::string ListedWords(const std::string& out) {
    std::istringstream lines(out);
    std::string line, result, rank, value, frequency, word;
    while (std::getline(lines, line)) {
        if (std::istringstream(line) >> rank >> value >> frequency >> word &&
            std::isdigit(static_cast<unsigned char>(rank[0])))
            result += (result.empty() ? "" : " ") + word + "/" + frequency;
    }
    return result;
}

}  // namespace lumora::testing
