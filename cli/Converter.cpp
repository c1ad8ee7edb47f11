#include "Converter.h"

#include "Platform.h"
#include "export/NameRules.h"
#include "files/QuorUnhandledFormatFeatureException.h"
#include "platform/PathMapping.h"
#include "platform/PathRules.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <iterator>
#include <new>

namespace quorix::cli {

namespace {
// A byte count as the user writes it: "1 GiB", "64 MiB", or bytes.
std::string SizeText(uint64_t bytes) {
    static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
    std::string unit;
    for (const char* name : kUnits) {
        if (bytes % 1024 != 0 || bytes == 0) {
            break;
        }
        bytes /= 1024;
        unit = name;
    }
    return std::to_string(bytes) + " " + (unit.empty() ? "bytes" : unit);
}

// The exit codes from the least serious to the most; any other (an internal error) is the most serious.
constexpr int kSeriousness[] = {kExitOk, kExitDataError, kExitNoInput, kExitCannotCreate, kExitTryAgain, kExitIoError};

int Seriousness(int exitCode) {
    const auto* found = std::find(std::begin(kSeriousness), std::end(kSeriousness), exitCode);
    return static_cast<int>(found - std::begin(kSeriousness));
}

// What the user is told of an input that cannot be read; the exit code.
int InputRefused(const InputFile& input, std::vector<std::string>& errors) {
    if (input.error == FileError::InputTooLarge) {
        errors.push_back("the input is longer than " + SizeText(input.maxInput) +
                         ", the most read from a stream; --max-input=SIZE allows more");
        return kExitDataError;
    }
    if (input.error == FileError::NameForRegularFile) {
        errors.push_back("--name names an input that is not a regular file; this one is, and its own name names "
                         "the import");
        return kExitUsage;
    }
    errors.push_back(input.error == FileError::BackslashInName
                         ? "cannot read input file: its name holds a backslash, which the import reads as a "
                           "folder separator (it would read " +
                               EscapedPath(paths::ToSystemPath(paths::FromCallerPath(input.path))) + ")"
                         : "cannot read input file: " + ErrorText(input.error));
    return kExitNoInput;
}

// The message and exit code of an import file that could not be put in place.
void ReportFile(const ImportFileResult& file, Conversion& result) {
    if (file.failedStep == ReplacementFile::Step::None) {
        return;
    }
    result.errors.push_back(FileFailureText(file));
    result.exitCode = MoreSeriousExitCode(
        result.exitCode, file.failedStep == ReplacementFile::Step::Create ? kExitCannotCreate : kExitIoError);
}
} // namespace

std::vector<std::string> MessagesOf(const Conversion& conversion, bool verbose, bool quiet) {
    std::vector<std::string> lines;
    const Findings& f = conversion.findings;
    if (verbose) {
        lines.insert(lines.end(), f.diagnostics.begin(), f.diagnostics.end());
        lines.insert(lines.end(), f.notes.begin(), f.notes.end());
    }
    if (!quiet || conversion.refusedForWarnings) {
        lines.insert(lines.end(), f.warnings.begin(), f.warnings.end());
    }
    lines.insert(lines.end(), conversion.errors.begin(), conversion.errors.end());
    const RefusalKind refused = f.refusal.kind;
    const bool inNeitherFormat = refused == RefusalKind::LayCutOff || refused == RefusalKind::DamagedLay ||
                                 refused == RefusalKind::DamagedMarker || refused == RefusalKind::NotInFormat;
    if (!verbose && inNeitherFormat && (conversion.reading.diagnosticCount > 0 || !f.diagnostics.empty())) {
        lines.push_back("run with -v for details");
    }
    return lines;
}

void PrintMessages(const std::string& file, const std::vector<std::string>& messages) {
    for (const std::string& message : messages) {
        std::fprintf(stderr, "quorix-import: %s: %s\n", EscapedPath(file).c_str(), message.c_str());
    }
}

int MoreSeriousExitCode(int a, int b) {
    return Seriousness(b) > Seriousness(a) ? b : a;
}

InputFile InputFile::Open(const std::string& argument, const std::string& streamName, uint64_t maxInput) {
    InputFile input;
    input.argument = argument;
    input.maxInput = maxInput;
    const bool standardInput = argument == "-";
    input.path = platform::AbsolutePath(standardInput && !streamName.empty() ? streamName : argument);
    if (!standardInput && !platform::kBackslashSeparates && input.path.find('\\') != std::string::npos) {
        // The module takes a backslash for a folder separator, as the host does: it would read another file.
        input.error = FileError::BackslashInName;
        return input;
    }
    // A regular file is left for the readers. A pipe or a device is read once, whole, as the user asked for
    // it by name, and imported under the name given for it.
    input.error = platform::ReadInput(standardInput ? std::string() : input.path, maxInput, input.inMemory,
                                      input.bytes, input.size);
    if (input.inMemory && !standardInput && !streamName.empty()) {
        input.path = platform::AbsolutePath(streamName);
    }
    if (!input.error && !input.inMemory && !streamName.empty()) {
        input.error = FileError::NameForRegularFile;
    }
    return input;
}

ConvertOptions ConvertOptions::Of(const CommandLine& line) {
    ConvertOptions options;
    options.verbose = line.verbose;
    options.keepStyleFiles = line.dump;
    options.strict = line.strict;
    options.lockWait = std::chrono::seconds(line.waitSeconds);
    return options;
}

Converter::Converter(std::string outputDir)
    : systemOutputDir(outputDir.empty() ? std::string(".") : std::move(outputDir)) {}

std::string Converter::FullOrderName(const std::string& file) {
    return quorix::OrderName(paths::FromCallerPath(platform::AbsolutePath(file)));
}

Conversion Converter::Read(const InputFile& input, const ConvertOptions& options) {
    Conversion result;
    if (const int signal = platform::StopSignal()) {
        result.exitCode = 128 + signal; // a stop, whatever it cut short, is not the input's fault
        return result;
    }
    if (input.error) {
        result.exitCode = InputRefused(input, result.errors);
        return result;
    }
    ReadOptions readOptions;
    readOptions.diagnostics = true; // counted even when not shown: they tell whether -v would add something
    readOptions.diagnosticsKept = options.verbose ? static_cast<size_t>(-1) : 0;
    readOptions.keepStyleFiles = options.keepStyleFiles;
    const std::string_view bytes(input.bytes);
    if (input.inMemory) {
        readOptions.bytes = &bytes;
    }
    result.reading = ReadImport(input.path, readOptions);
    result.findings = FindingsOf(result.reading, input.size);
    if (result.reading.Loaded()) {
        return result;
    }
    // One verdict in the user's words, then the readers' reasons where they tell more.
    const RefusalKind refused = result.findings.refusal.kind;
    const bool unread = refused == RefusalKind::CannotRead || refused == RefusalKind::StyleMissing;
    result.exitCode = unread ? kExitNoInput : kExitDataError;
    result.errors.push_back(VerdictText(result.findings.refusal));
    // Only a damaged lay or marker has a reader's reason that tells more.
    result.errors.insert(result.errors.end(), result.findings.refusals.begin(), result.findings.refusals.end());
    return result;
}

Conversion Converter::Convert(const InputFile& input, const ConvertOptions& options) const {
    Conversion result = Read(input, options);
    if (result.exitCode != kExitOk) {
        return result;
    }
    if (options.strict && result.findings.warningCount > 0) {
        // Nothing is written: the folder stays as it was, as for any other refused file.
        result.errors.push_back(
            "refused (--strict): the import files would lose what " +
            std::string(result.findings.warningCount == 1 ? "the warning says" : "the warnings say"));
        result.exitCode = kExitDataError;
        result.refusedForWarnings = true;
        return result;
    }
    if (const int signal = platform::StopSignal()) {
        result.exitCode = 128 + signal;
        return result;
    }
    std::vector<std::string> createdFolders;
    if (const std::error_code error = platform::MakeFolders(systemOutputDir, createdFolders)) {
        result.errors.push_back(EscapedPath(systemOutputDir) + ": cannot create folder: " + ErrorText(error));
        result.exitCode = kExitCannotCreate;
        return result;
    }
    const ImportPaths paths =
        ImportPaths::InFolder(paths::FromCallerPath(platform::AbsolutePath(systemOutputDir)));
    WriteOptions writeOptions;
    writeOptions.lockWait = options.lockWait;
    writeOptions.stop = [] { return platform::StopSignal() != 0; };
    try {
        result.writing = WriteImport(result.reading, paths, Placing::BothWhenComplete, writeOptions);
    } catch (const QuorUnhandledFormatFeatureException& error) {
        // Only the lay's position writer lets an error pass: its placements disagree with their counts.
        result.errors.push_back(PositionErrorText(*result.reading.lay, error.GetMessage()));
        result.exitCode = kExitDataError;
        platform::RemoveFolders(createdFolders);
        return result;
    } catch (const std::bad_alloc&) {
        platform::RemoveFolders(createdFolders);
        throw; // told once, for the whole run
    } catch (const std::exception& error) {
        result.errors.push_back(std::string("internal error: ") + error.what());
        result.exitCode = kExitSoftware;
        platform::RemoveFolders(createdFolders);
        return result;
    }
    const FolderLock::Outcome lock = result.writing.lock;
    if (lock == FolderLock::Outcome::Stopped) {
        result.exitCode = 128 + platform::StopSignal();
        platform::RemoveFolders(createdFolders);
        return result;
    }
    if (lock == FolderLock::Outcome::TimedOut) {
        result.errors.push_back(EscapedPath(systemOutputDir) +
                                ": another conversion kept writing into this folder for the whole wait of " +
                                std::to_string(options.lockWait.count() / 1000) +
                                " s; nothing was written (--wait=SECONDS waits longer)");
        result.exitCode = kExitTryAgain;
        return result;
    }
    if (lock == FolderLock::Outcome::Unavailable) {
        result.findings.warnings.push_back(
            EscapedPath(systemOutputDir) + ": the folder cannot be locked (" +
            ErrorText(result.writing.lockError) +
            "): a conversion writing into it at the same time could leave a mixed pair");
    }
    if (result.writing.leftoversRemoved > 0) {
        result.findings.diagnostics.push_back(
            "removed " + std::to_string(result.writing.leftoversRemoved) +
            " temporary file(s) that an interrupted conversion left in " + EscapedPath(systemOutputDir));
    }
    if (!result.writing.Complete()) {
        ReportFile(result.writing.definition, result);
        ReportFile(result.writing.position, result);
        platform::RemoveFolders(createdFolders);
    }
    return result;
}

} // namespace quorix::cli

// The converter is the host of the module here. It tells the user itself why a file was refused, in more
// detail than the module's reports to the host's error log, which are dropped.
extern "C" void dll_vq_log_error(int /*level*/, int /*code*/, const char* /*text*/, const char* /*detail*/) {}
