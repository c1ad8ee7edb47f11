#include "Converter.h"

#include "export/CleanName.h"
#include "files/QuorUnhandledFormatFeatureException.h"
#include "platform/PathMapping.h"
#include "platform/RawFile.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <map>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// The input error of a file name with a backslash on POSIX.
constexpr int kBackslashInName = -100;

// Set by the signal handler, read by every thread: a lock-free atomic is safe in both places.
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may only set a lock-free atomic");

void OnStopSignal(int signal) {
    stopSignal.store(signal);
}

std::string CurrentFolder() {
    std::string folder(256, '\0');
    while (getcwd(folder.data(), folder.size()) == nullptr) {
        if (errno != ERANGE) {
            return ".";
        }
        folder.resize(folder.size() * 2);
    }
    folder.resize(std::strlen(folder.c_str()));
    return folder;
}

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
    case kExitIoError:
        return 4;
    default:
        return 5;
    }
}

// Reads what the descriptor gives until its end, as cat does. 0, or the error that stopped it (EINTR
// when a stop signal came).
int ReadAll(int fd, std::string& bytes) {
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            bytes.append(buffer, static_cast<size_t>(got));
        } else if (got == 0) {
            return 0;
        } else if (errno != EINTR || StopSignal() != 0) {
            return errno;
        }
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
    case ReplacementFile::Step::Move:
        what = "cannot put the new file in place";
        break;
    }
    result.errors.push_back(Escaped(file.path) + ": " + what + ": " + FileErrorText(file.error));
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
    std::fprintf(stderr, "quorix-import: %s: %s\n", Escaped(file).c_str(), message.c_str());
}

int StopSignal() {
    return stopSignal.load();
}

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no restart: a read of a stream returns, and the converter looks at the signal
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int MoreSeriousExitCode(int a, int b) {
    return Seriousness(b) > Seriousness(a) ? b : a;
}

// The converter is the host of the module here. It tells the user itself why a file was refused, in more
// detail than the module's reports to the host's error log, which are dropped.
extern "C" void dll_vq_log_error(int /*level*/, int /*code*/, const char* /*text*/, const char* /*detail*/) {}

InputFile InputFile::Open(const std::string& argument, const std::string& streamName) {
    InputFile input;
    input.argument = argument;
    const std::string name = streamName.empty() ? argument : streamName;
    if (argument == "-") {
        input.path = Converter::AbsolutePath(name);
        input.inMemory = true;
        input.error = ReadAll(STDIN_FILENO, input.bytes);
        input.size = static_cast<int64_t>(input.bytes.size());
        return input;
    }
    input.path = Converter::AbsolutePath(argument);
    if (input.path.find('\\') != std::string::npos) {
        // The module takes a backslash for a folder separator, as the host does: it would read another file.
        input.error = kBackslashInName;
        return input;
    }
    struct stat info {};
    if (::stat(input.path.c_str(), &info) != 0) {
        input.error = errno;
        return input;
    }
    if (S_ISREG(info.st_mode)) {
        input.size = static_cast<int64_t>(info.st_size);
        return input; // the readers read it from its path
    }
    if (S_ISDIR(info.st_mode)) {
        input.error = EISDIR;
        return input;
    }
    // A pipe or a device: read once, whole, as the user asked for it by name.
    if (!streamName.empty()) {
        input.path = Converter::AbsolutePath(streamName);
    }
    input.inMemory = true;
    const int fd = ::open(Converter::AbsolutePath(argument).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        input.error = errno;
        return input;
    }
    input.error = ReadAll(fd, input.bytes);
    input.size = static_cast<int64_t>(input.bytes.size());
    ::close(fd);
    return input;
}

Converter::Converter(std::string outputDir)
    : systemOutputDir(outputDir.empty() ? std::string(".") : std::move(outputDir)) {}

int MakeFolders(const std::string& folder, std::vector<std::string>& created) {
    struct stat info {};
    if (folder.empty() || ::stat(folder.c_str(), &info) == 0) {
        return folder.empty() || S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    }
    if (errno != ENOENT) {
        return errno;
    }
    const size_t slash = folder.find_last_of('/', folder.find_last_not_of('/'));
    if (slash != std::string::npos && slash > 0) {
        if (const int error = MakeFolders(folder.substr(0, slash), created)) {
            return error;
        }
    }
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
        return errno;
    }
    created.push_back(folder);
    return 0;
}

void RemoveFolders(const std::vector<std::string>& created) {
    for (auto it = created.rbegin(); it != created.rend(); ++it) {
        ::rmdir(it->c_str());
    }
}

std::string Converter::AbsolutePath(const std::string& path) {
    if (path.empty() || path[0] == '/') {
        return path;
    }
    std::string folder = CurrentFolder();
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    return folder + path;
}

std::string Converter::FullOrderName(const std::string& file) {
    std::string name = QuorFile::BaseNameOf(PathMapping::FromCallerPath(AbsolutePath(file)));
    return CleanName(name);
}

std::string Converter::JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') {
        return folder + name;
    }
    return folder + "/" + name;
}

Conversion Converter::Read(const InputFile& input, const ConvertOptions& options) {
    Conversion result;
    if (input.error != 0) {
        result.errors.push_back(input.error == kBackslashInName
                                    ? "cannot read input file: its name holds a backslash, which the import "
                                      "reads as a folder separator (it would read " +
                                          Escaped(PathMapping::ToSystemPath(PathMapping::FromCallerPath(input.path))) +
                                          ")"
                                    : "cannot read input file: " + FileErrorText(input.error));
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
    result.reading = QuorImport::Read(input.path, readOptions);
    result.findings = FindingsOf(result.reading, input.size);
    if (result.reading.Loaded()) {
        return result;
    }
    const ReaderVerdict& lay = result.reading.layVerdict;
    if (lay.stoppedAt == QuorFile::Step::Open) {
        result.errors.push_back("cannot read input file: " + FileErrorText(lay.openError != 0 ? lay.openError : ENOENT));
        result.exitCode = kExitNoInput;
        return result;
    }
    const StyleReading* style = RefusedStyle(result.reading);
    if (style != nullptr && style->stoppedAt == QuorFile::Step::Open) {
        result.errors.push_back("cannot read style file " + Escaped(PathMapping::ToSystemPath(style->path)) + ": " +
                                FileErrorText(style->openError != 0 ? style->openError : ENOENT));
        result.exitCode = kExitNoInput;
        return result;
    }
    result.errors = result.findings.refusals;
    if (style != nullptr) {
        result.errors.push_back("style file " + Escaped(PathMapping::ToSystemPath(style->path)) +
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
    if (const int signal = StopSignal()) {
        result.exitCode = 128 + signal;
        return result;
    }
    std::vector<std::string> createdFolders;
    if (const int error = MakeFolders(systemOutputDir, createdFolders)) {
        result.errors.push_back(Escaped(systemOutputDir) + ": cannot create folder: " + FileErrorText(error));
        result.exitCode = kExitCannotCreate;
        return result;
    }
    const ImportPaths paths =
        ImportPaths::InFolder(PathMapping::FromCallerPath(AbsolutePath(systemOutputDir)));
    try {
        result.writing = QuorImport::Write(result.reading, paths, Placing::BothWhenComplete);
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
        RemoveFolders(createdFolders);
        return result;
    } catch (const std::exception& error) {
        result.errors.push_back(std::string("internal error: ") + error.what());
        result.exitCode = kExitSoftware;
        RemoveFolders(createdFolders);
        return result;
    }
    if (!result.writing.Complete()) {
        ReportFile(result.writing.definition, result);
        ReportFile(result.writing.position, result);
        RemoveFolders(createdFolders);
    }
    return result;
}
