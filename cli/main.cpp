// quorix-import: converts a Quorix lay or marker file into the host's two import files.
#include "CommandLine.h"
#include "Converter.h"
#include "log/Log.h"

#include <cstdio>
#include <string>
#include <vector>

#ifndef QUORIX_VERSION
#define QUORIX_VERSION "unknown"
#endif

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const CommandLine line = CommandLine::Parse(arguments);
    if (!line.error.empty()) {
        std::fprintf(stderr, "quorix-import: %s\n%s", line.error.c_str(), CommandLine::UsageText());
        return kExitUsage;
    }
    if (line.help) {
        std::fputs(CommandLine::UsageText(), stdout);
        return kExitOk;
    }
    if (line.version) {
        std::printf("quorix-import %s\n", QUORIX_VERSION);
        return kExitOk;
    }
    if (!line.diagnosticLog) {
        Log::DisableFile();
    }
    const Converter converter(line.outputDir);
    const std::string& file = line.files.front();
    const ConversionResult result = converter.Convert(file);
    for (const std::string& error : result.errors) {
        std::fprintf(stderr, "quorix-import: %s: %s\n", file.c_str(), error.c_str());
    }
    if (result.exitCode == kExitOk) {
        std::printf("%s\n", result.orderName.c_str());
    }
    return result.exitCode;
}
