#pragma once

#include <string>
#include <vector>

// Exit codes of the converter (BSD sysexits).
enum ExitCode {
    kExitOk = 0,
    kExitUsage = 64,
    kExitDataError = 65,
    kExitNoInput = 66,
    kExitSoftware = 70,
    kExitCannotCreate = 73,
};

struct ConversionResult {
    int exitCode = kExitOk;
    std::string orderName;           // as handed back to the host: at most 20 characters
    std::vector<std::string> errors; // messages for the user, without the program and file prefix
};

// Runs one import as the exported function does, but into a folder of the user's choice, and turns its
// outcome into an exit code and messages.
class Converter {
public:
    // `outputDir` as the user gave it; empty for the module's fixed folder.
    explicit Converter(std::string outputDir);

    ConversionResult Convert(const std::string& file) const;

    // The output folder in the operating system's form.
    const std::string& OutputDir() const { return systemOutputDir; }

private:
    std::string systemOutputDir;
};
