// quorix-import: converts Quorix lay and marker files into the host's two import files, and shows what the
// readers make of a file.
#include "Batch.h"
#include "CommandLine.h"
#include "Converter.h"
#include "Inspection.h"
#include "LayPreview.h"
#include "ModelJson.h"
#include "log/Log.h"
#include "platform/RawFile.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifndef QUORIX_VERSION
#define QUORIX_VERSION "unknown"
#endif

namespace {
void PrintMessages(const std::string& file, const std::vector<std::string>& messages) {
    for (const std::string& message : messages) {
        std::fprintf(stderr, "quorix-import: %s: %s\n", file.c_str(), message.c_str());
    }
}

// --dump and --preview: the file is read with the readers and shown, nothing is converted.
int Show(const CommandLine& line) {
    const std::string& file = line.files.front();
    const Inspection inspection = Inspect(file, true);
    if (line.verbose) {
        PrintMessages(file, inspection.diagnostics);
    }
    PrintMessages(file, inspection.errors);
    if (inspection.exitCode != kExitOk) {
        return inspection.exitCode;
    }
    if (!line.previewFile.empty()) {
        if (inspection.lay == nullptr) {
            PrintMessages(file, {"a marker has no placements to draw; --preview takes a lay"});
            return kExitDataError;
        }
        const std::string svg = LayPreview::Svg(*inspection.lay);
        RawFile picture;
        if (!picture.CreateForWriting(line.previewFile) || !picture.Write(svg.data(), svg.size())) {
            const int error = picture.LastError();
            std::fprintf(stderr, "quorix-import: %s: cannot create file%s%s\n", line.previewFile.c_str(),
                         error != 0 ? ": " : "", error != 0 ? std::strerror(error) : "");
            return kExitCannotCreate;
        }
    }
    if (line.dump) {
        WriteModelJson(inspection, file, stdout);
    }
    return kExitOk;
}

int ConvertOne(const CommandLine& line) {
    const std::string& file = line.files.front();
    if (line.verbose) {
        PrintMessages(file, Inspect(file, false).diagnostics);
    }
    const Converter converter(line.outputDir);
    const ConversionResult result = converter.Convert(file);
    PrintMessages(file, result.errors);
    if (result.exitCode == kExitOk) {
        std::printf("%s\n", result.orderName.c_str());
    }
    return result.exitCode;
}
} // namespace

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
    if (line.IsInspection()) {
        return Show(line);
    }
    if (line.IsBatch()) {
        return RunBatch(line);
    }
    return ConvertOne(line);
}
