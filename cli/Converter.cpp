#include "Converter.h"

#include "Platform.h"
#include "files/QuorUnhandledFormatFeatureException.h"
#include "platform/PathMapping.h"
#include "platform/PathRules.h"
#include "platform/RawFile.h"

#include <cstdio>
#include <exception>
#include <new>
#include <map>
#include <string_view>

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

// The input error of a file name with a backslash on POSIX.
constexpr int kBackslashInName = -100;

int Seriousness(int exitCode) {
    switch (exitCode) {
    case kExitOk:
        return 0;
    case kExitDataError:
        return 1;
    case kExitNoInput:
        return 2;
    case kExitCannotCreate:
        return 3;
    case kExitTryAgain:
        return 4;
    case kExitIoError:
        return 5;
    default:
        return 6;
    }
}

// Which name makes the lay's placements disagree with their counts: a name listed twice whose later
// entry has placements, which the first entry of that name takes as its own.
std::string ListedTwice(const QuorLayY& lay) {
    std::vector<bool> modelPlaced(lay.GetModelNames().size());
    std::vector<bool> piecePlaced(lay.GetPieceNames().size());
    for (const auto& [pair, count] : lay.GetPlacementCounts()) {
        const auto [model, piece] = pair;
        if (count != 0 && model >= 0 && piece >= 0 && static_cast<size_t>(model) < modelPlaced.size() &&
            static_cast<size_t>(piece) < piecePlaced.size()) {
            modelPlaced[static_cast<size_t>(model)] = true;
            piecePlaced[static_cast<size_t>(piece)] = true;
        }
    }
    const auto find = [](const std::vector<std::string>& names, const std::vector<bool>& placed,
                         const char* what) -> std::string {
        std::map<std::string_view, size_t> first;
        for (size_t i = 0; i < names.size(); ++i) {
            const auto [known, added] = first.emplace(names[i], i);
            if (!added && placed[i]) {
                return std::string(what) + " name \"" + Escaped(names[i]) + "\" is listed twice (entries " +
                       std::to_string(known->second + 1) + " and " + std::to_string(i + 1) + ")";
            }
        }
        return {};
    };
    std::string cause = find(lay.GetModelNames(), modelPlaced, "the model");
    return cause.empty() ? find(lay.GetPieceNames(), piecePlaced, "the piece") : cause;
}

// The message and exit code of an import file that could not be put in place.
void ReportFile(const ImportFileResult& file, Conversion& result) {
    const char* what = "cannot create file";
    int exitCode = kExitIoError;
    switch (file.failedStep) {
    case ReplacementFile::Step::None:
        return;
    case ReplacementFile::Step::Create:
        exitCode = kExitCannotCreate;
        break;
    case ReplacementFile::Step::Write:
        what = "cannot write file";
        break;
    case ReplacementFile::Step::Close:
        what = "cannot close file";
        break;
    case ReplacementFile::Step::Keep:
        what = "cannot keep the present file for putting it back, so nothing was replaced";
        break;
    case ReplacementFile::Step::Move:
        what = "cannot put the new file in place";
        break;
    }
    result.errors.push_back(EscapedPath(file.path) + ": " + what + ": " + platform::ErrorText(file.error));
    result.exitCode = MoreSeriousExitCode(result.exitCode, exitCode);
}
} // namespace

std::vector<std::string> MessagesOf(const Conversion& conversion, bool verbose) {
    std::vector<std::string> lines;
    const Findings& f = conversion.findings;
    if (verbose) {
        lines.insert(lines.end(), f.diagnostics.begin(), f.diagnostics.end());
        lines.insert(lines.end(), f.warnings.begin(), f.warnings.end());
    }
    lines.insert(lines.end(), f.alwaysShown.begin(), f.alwaysShown.end());
    lines.insert(lines.end(), conversion.errors.begin(), conversion.errors.end());
    if (!verbose && !f.refusals.empty() && conversion.exitCode != kExitOk &&
        (conversion.reading.diagnosticCount > 0 || !f.diagnostics.empty() || !f.warnings.empty())) {
        lines.push_back("run with -v for details");
    }
    return lines;
}

void PrintMessage(const std::string& file, const std::string& message) {
    std::fprintf(stderr, "quorix-import: %s: %s\n", EscapedPath(file).c_str(), message.c_str());
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
        input.error = kBackslashInName;
        return input;
    }
    // A regular file is left for the readers. A pipe or a device is read once, whole, as the user asked for
    // it by name, and imported under the name given for it.
    input.error = platform::ReadInput(standardInput ? std::string() : input.path, maxInput, input.inMemory,
                                      input.bytes, input.size);
    if (input.inMemory && !standardInput && !streamName.empty()) {
        input.path = platform::AbsolutePath(streamName);
    }
    return input;
}

Converter::Converter(std::string outputDir)
    : systemOutputDir(outputDir.empty() ? std::string(".") : std::move(outputDir)) {}

std::string Converter::FullOrderName(const std::string& file) {
    return quorix::paths::OrderName(paths::FromCallerPath(platform::AbsolutePath(file)));
}

Conversion Converter::Read(const InputFile& input, const ConvertOptions& options) {
    Conversion result;
    if (const int signal = platform::StopSignal()) {
        result.exitCode = 128 + signal; // a stop, whatever it cut short, is not the input's fault
        return result;
    }
    if (input.error == platform::kInputTooLarge) {
        result.errors.push_back("the input is longer than " + SizeText(input.maxInput) +
                                ", the most read from a stream; --max-input=SIZE allows more");
        result.exitCode = kExitDataError;
        return result;
    }
    if (input.error != 0) {
        result.errors.push_back(
            input.error == kBackslashInName
                ? "cannot read input file: its name holds a backslash, which the import "
                  "reads as a folder separator (it would read " +
                      EscapedPath(paths::ToSystemPath(paths::FromCallerPath(input.path))) + ")"
                : "cannot read input file: " + platform::ErrorText(input.error));
        result.exitCode = kExitNoInput;
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
    const ReaderVerdict& lay = result.reading.layVerdict;
    if (lay.stoppedAt == QuorFile::Step::Open) {
        result.errors.push_back(
            "cannot read input file: " +
            platform::ErrorText(lay.openError != 0 ? lay.openError : platform::kNoSuchFile));
        result.exitCode = kExitNoInput;
        return result;
    }
    const StyleReading* style = RefusedStyle(result.reading);
    if (style != nullptr && style->stoppedAt == QuorFile::Step::Open) {
        result.errors.push_back(
            "cannot read style file " + EscapedPath(paths::ToSystemPath(style->path)) + ": " +
            platform::ErrorText(style->openError != 0 ? style->openError : platform::kNoSuchFile));
        result.exitCode = kExitNoInput;
        return result;
    }
    result.errors = result.findings.refusals;
    if (style != nullptr) {
        result.errors.push_back("style file " + EscapedPath(paths::ToSystemPath(style->path)) +
                                " is refused: " + style->refusal);
    }
    result.exitCode = kExitDataError;
    return result;
}

Conversion Converter::Convert(const InputFile& input, const ConvertOptions& options) const {
    Conversion result = Read(input, options);
    if (result.exitCode != kExitOk) {
        return result;
    }
    if (const int signal = platform::StopSignal()) {
        result.exitCode = 128 + signal;
        return result;
    }
    std::vector<std::string> createdFolders;
    if (const int error = platform::MakeFolders(systemOutputDir, createdFolders)) {
        result.errors.push_back(EscapedPath(systemOutputDir) +
                                ": cannot create folder: " + platform::ErrorText(error));
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
        const std::string cause = ListedTwice(*result.reading.lay);
        std::string message = error.GetMessage();
        if (!cause.empty()) {
            if (!message.empty() && message.back() == '.') {
                message.pop_back();
            }
            message += ": " + cause + ".";
        }
        result.errors.push_back(message);
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
            platform::ErrorText(result.writing.lockError) +
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
