#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace lumenarc::test {

struct ProcessResult {
    int exitCode = -1; // -1 when the process did not exit normally
    bool timedOut = false;
    std::string out;
    std::string err;
};

struct ProcessOptions {
    std::map<std::string, std::string> env; // added to (or replacing in) the inherited environment
    std::string input;                      // written to standard input, which is then closed
    std::chrono::milliseconds timeout{60000};
};

// Runs a program with arguments (no shell), capturing both output streams.
ProcessResult runProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});

// This process's environment with `extra` added or replaced, as KEY=VALUE strings.
std::vector<std::string> mergedEnvironment(const std::map<std::string, std::string>& extra);

// Path of a program built into the build tree's bin/ folder.
std::string binPath(const std::string& program);

} // namespace lumenarc::test
