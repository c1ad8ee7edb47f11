#pragma once

#include <string>
#include <vector>

// Runs a program as a separate process and collects what it printed and its exit status.
struct ProcessResult {
    int exitCode = -1; // -1 when the process did not exit normally
    std::string out;
    std::string err;
};

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& workingDir = "");
