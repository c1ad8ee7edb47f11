// quorix-import: converts Quorix lay and marker files into the host's two import files, and shows what the
// readers make of a file.
#include "Batch.h"
#include "CommandLine.h"
#include "Converter.h"
#include "LayPreview.h"
#include "ModelJson.h"
#include "Platform.h"
#include "StandardOutput.h"
#include "log/Log.h"
#include "platform/ReplacementFile.h"

#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#ifndef QUORIX_VERSION
#define QUORIX_VERSION "unknown"
#endif

namespace quorix::cli {
namespace {
const char* const kVersionText =
    "quorix-import (quorix_marker) " QUORIX_VERSION "\n"
    "Copyright (C) 2026 quorix_marker developers.\n"
    "License MIT: the LICENSE file of the package, or <https://opensource.org/licenses/MIT>.\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

// --preview: a regular file is replaced by the picture only once it is complete; "-" is standard output,
// and a terminal, a pipe, a device or a link is written through (see platform::ReplacedWhole).
int WritePicture(const std::string& path, const std::string& svg) {
    if (path == "-") {
        WriteOutput(svg);
        return kExitOk;
    }
    bool created = false;
    std::error_code error;
    if (platform::ReplacedWhole(path)) {
        ReplacementFile picture;
        if (picture.Create(path) && picture.Write(svg.data(), svg.size()) && picture.Commit()) {
            return kExitOk;
        }
        created = picture.FailedStep() != ReplacementFile::Step::Create;
        error = picture.Error();
    } else if (!(error = platform::WriteThrough(path, svg, created))) {
        return kExitOk;
    }
    if (const int signal = platform::StopSignal()) {
        return 128 + signal;
    }
    PrintMessages(path, {std::string(created ? "cannot write file" : "cannot create file") + ": " +
                         ErrorText(error)});
    return created ? kExitIoError : kExitCannotCreate;
}

// --dump and --preview: the file is read with the readers and shown, nothing is converted.
int Show(const CommandLine& line) {
    const std::string& file = line.files.front();
    const Conversion read =
        Converter::Read(InputFile::Open(file, line.streamName, line.maxInput), ConvertOptions::Of(line));
    PrintMessages(file, MessagesOf(read, line.verbose, line.quiet));
    if (read.exitCode != kExitOk) {
        return read.exitCode;
    }
    if (!line.previewFile.empty()) {
        if (read.reading.kind != ImportKind::LayY) {
            PrintMessages(file, {"a marker has no placements to draw; --preview takes a lay"});
            return kExitDataError;
        }
        if (const int written = WritePicture(line.previewFile, preview::Svg(*read.reading.lay, file))) {
            return written;
        }
    }
    if (line.dump) {
        WriteModelJson(read.reading, file, stdout);
    }
    return kExitOk;
}

int ConvertOne(const CommandLine& line) {
    const std::string& file = line.files.front();
    const InputFile input = InputFile::Open(file, line.streamName, line.maxInput);
    const Conversion result = Converter(line.outputDir).Convert(input, ConvertOptions::Of(line));
    PrintMessages(file, MessagesOf(result, line.verbose, line.quiet));
    if (result.exitCode == kExitOk) {
        WriteOutput(result.reading.orderName.substr(0, kOrderNameLength) + "\n");
    }
    return result.exitCode;
}

int Run(const CommandLine& line) {
    if (!line.error.empty()) {
        std::fprintf(stderr, "quorix-import: %s\n", line.error.c_str());
        std::fputs("Try 'quorix-import --help' for more information.\n", stderr);
        return kExitUsage;
    }
    if (line.help) {
        WriteOutput(CommandLine::UsageText());
        return kExitOk;
    }
    if (line.version) {
        WriteOutput(kVersionText);
        return kExitOk;
    }
    if (line.jobsGiven && line.jobs > 1 && !line.IsBatch()) {
        std::fprintf(stderr, "quorix-import: -j %d has no effect on a single FILE\n", line.jobs);
    }
    if (!line.diagnosticLog) {
        Log::DisableFile();
    }
    platform::CatchStopSignals();
    int exitCode = kExitOk;
    if (line.IsInspection()) {
        exitCode = Show(line);
    } else if (line.IsBatch()) {
        exitCode = RunBatch(line);
    } else {
        exitCode = ConvertOne(line);
    }
    // A stop signal ends the run with the usual status of a process that it ended.
    return platform::StopSignal() != 0 ? 128 + platform::StopSignal() : exitCode;
}
} // namespace
} // namespace quorix::cli

int main(int argc, char** argv) {
    namespace cli = quorix::cli;
    cli::platform::PrepareStandardStreams();
    int exitCode = cli::kExitSoftware;
    try {
        const std::vector<std::string> arguments(argv + 1, argv + argc);
        exitCode = cli::Run(cli::CommandLine::Parse(arguments));
    } catch (const std::bad_alloc&) {
        // Whatever was being written was removed on the way here: the output folders are as they were.
        std::fputs("quorix-import: out of memory\n", stderr);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quorix-import: internal error: %s\n", error.what());
    }
    return cli::FinishStandardOutput(exitCode);
}
