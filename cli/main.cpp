// quorix-import: converts Quorix lay and marker files into the host's two import files, and shows what the
// readers make of a file.
#include "Batch.h"
#include "CommandLine.h"
#include "Converter.h"
#include "LayPreview.h"
#include "ModelJson.h"
#include "StandardOutput.h"
#include "log/Log.h"
#include "platform/ReplacementFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
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

// A standard stream that the caller closed is opened onto the null device the wrong way round (standard
// output for reading), so that no file the converter opens takes its number and anything written to it
// fails, and is reported, instead of landing in an import file.
void OccupyClosedStandardStreams() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            const int opened = open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
            if (opened >= 0 && opened != fd) {
                dup2(opened, fd);
                close(opened);
            }
        }
    }
}

// --preview: the picture replaces the file only once it is complete.
int WritePicture(const std::string& path, const std::string& svg) {
    ReplacementFile picture;
    if (picture.Create(path) && picture.Write(svg.data(), svg.size()) && picture.Commit()) {
        return kExitOk;
    }
    const bool created = picture.FailedStep() != ReplacementFile::Step::Create;
    std::fprintf(stderr, "quorix-import: %s: %s: %s\n", path.c_str(),
                 created ? "cannot write file" : "cannot create file", FileErrorText(picture.Error()).c_str());
    return created ? kExitIoError : kExitCannotCreate;
}

// --dump and --preview: the file is read with the readers and shown, nothing is converted.
int Show(const CommandLine& line) {
    const std::string& file = line.files.front();
    ConvertOptions options;
    options.verbose = line.verbose;
    options.keepStyleFiles = line.dump;
    const Conversion read = Converter::Read(InputFile::Open(file, line.streamName), options);
    PrintMessages(file, read.diagnostics);
    PrintMessages(file, read.errors);
    if (read.exitCode != kExitOk) {
        return read.exitCode;
    }
    if (!line.previewFile.empty()) {
        if (read.reading.kind != ImportKind::LayY) {
            PrintMessages(file, {"a marker has no placements to draw; --preview takes a lay"});
            return kExitDataError;
        }
        if (const int written = WritePicture(line.previewFile, LayPreview::Svg(*read.reading.lay))) {
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
    ConvertOptions options;
    options.verbose = line.verbose;
    const InputFile input = InputFile::Open(file, line.streamName);
    const Conversion result = Converter(line.outputDir).Convert(input, options);
    PrintMessages(file, result.diagnostics);
    PrintMessages(file, result.errors);
    if (result.exitCode == kExitOk) {
        WriteOutput(result.reading.orderName.substr(0, QuorImport::kOrderNameLength) + "\n");
    }
    return result.exitCode;
}

int Run(const CommandLine& line) {
    if (!line.error.empty()) {
        std::fprintf(stderr, "quorix-import: %s\n%s", line.error.c_str(), CommandLine::UsageText());
        return kExitUsage;
    }
    if (line.help) {
        WriteOutput(CommandLine::UsageText());
        return kExitOk;
    }
    if (line.version) {
        WriteOutput(std::string("quorix-import ") + QUORIX_VERSION + "\n");
        return kExitOk;
    }
    if (!line.diagnosticLog) {
        Log::DisableFile();
    }
    CatchStopSignals();
    int exitCode = kExitOk;
    if (line.IsInspection()) {
        exitCode = Show(line);
    } else if (line.IsBatch()) {
        exitCode = RunBatch(line);
    } else {
        exitCode = ConvertOne(line);
    }
    // A stop signal ends the run with the usual status of a process that it ended.
    return StopSignal() != 0 ? 128 + StopSignal() : exitCode;
}
} // namespace

int main(int argc, char** argv) {
    OccupyClosedStandardStreams();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return FinishStandardOutput(Run(CommandLine::Parse(arguments)));
}
