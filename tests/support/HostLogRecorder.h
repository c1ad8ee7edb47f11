#pragma once

#include <optional>
#include <string>
#include <vector>

// Records every call of the host's error log function made by the module in this test program.
struct HostLogCall {
    int level = 0;
    int code = 0;
    std::string text;
    std::optional<std::string> detail; // absent for three-argument calls
};

class HostLogRecorder {
public:
    static const std::vector<HostLogCall>& Calls();
    static void Clear();
};
