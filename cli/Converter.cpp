#include "Converter.h"

#include "export/CleanName.h"
#include "files/QuorUnhandledFormatFeatureException.h"
#include "platform/PathMapping.h"
#include "platform/RawFile.h"

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
// Messages that the import sends to the host's error log during the current conversion of this thread.
thread_local std::vector<std::string>* hostMessages = nullptr;

volatile std::sig_atomic_t stopSignal = 0;

void OnStopSignal(int signal) {
    stopSignal = signal;
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

std::string OffsetText(int64_t offset) {
    char text[48];
    std::snprintf(text, sizeof text, "offset %lld (0x%llx)", static_cast<long long>(offset),
                  static_cast<unsigned long long>(offset));
    return text;
}

// A line with every byte outside printable ASCII (a tag byte of 0x80 or above, say) shown as \xNN, so
// that it reads the same on any terminal.
std::string Printable(const std::string& line) {
    std::string text;
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            text += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            text += escaped;
        }
    }
    return text;
}

std::string Refusal(const ReaderVerdict& verdict) {
    std::string text = "refused: " + verdict.message;
    if (verdict.offset >= 0) {
        text += " (record at " + OffsetText(verdict.offset) + ")";
    }
    return text;
}

// What the readers found, one line each: the lay's record warnings, each reader's verdict, and the style
// files of a marker that could not be read.
std::vector<std::string> DiagnosticLines(const ImportReading& reading) {
    std::vector<std::string> lines;
    for (const ReadDiagnostic& d : reading.diagnostics) {
        lines.push_back("lay reader: record at " + OffsetText(d.offset) + ": " + Printable(d.line));
    }
    if (reading.layVerdict.Accepted()) {
        lines.push_back("lay reader: accepted (placements: " +
                        std::to_string(reading.lay->GetPlacements().size()) + ")");
        return lines;
    }
    lines.push_back("lay reader: " + Refusal(reading.layVerdict));
    const QuorMarker& marker = *reading.marker;
    if (!reading.markerVerdict.Accepted() && reading.markerVerdict.stoppedAt != QuorFile::Step::Resolve) {
        lines.push_back("marker reader: " + Refusal(reading.markerVerdict));
        return lines;
    }
    for (const StyleReading& style : marker.GetStyleReadings()) {
        if (!style.Loaded()) {
            std::string why = style.refusal;
            if (style.stoppedAt == QuorFile::Step::Open && style.openError != 0) {
                why = FileErrorText(style.openError);
            }
            lines.push_back("marker reader: style file " + PathMapping::ToSystemPath(style.path) +
                            " refused: " + why);
        }
    }
    if (!reading.markerVerdict.Accepted()) {
        lines.push_back("marker reader: " + Refusal(reading.markerVerdict));
        return lines;
    }
    lines.push_back("marker reader: accepted (style entries: " +
                    std::to_string(marker.GetStyleEntries().size()) +
                    ", size models: " + std::to_string(marker.GetSizeModels().size()) + ")");
    return lines;
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
                return std::string(what) + " name \"" + Printable(names[i]) + "\" is listed twice (entries " +
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
    result.errors.push_back(file.path + ": " + what + ": " + FileErrorText(file.error));
    result.exitCode = MoreSeriousExitCode(result.exitCode, exitCode);
}
} // namespace

int StopSignal() {
    return stopSignal;
}

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no restart: a read of a stream returns, and the converter looks at the signal
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

HostMessageCapture::HostMessageCapture(std::vector<std::string>& messages) : previous(hostMessages) {
    hostMessages = &messages;
}

HostMessageCapture::~HostMessageCapture() {
    hostMessages = previous;
}

int MoreSeriousExitCode(int a, int b) {
    return Seriousness(b) > Seriousness(a) ? b : a;
}

// The converter is the host of the module here: it receives the module's error reports itself.
extern "C" void dll_vq_log_error(int /*level*/, int /*code*/, const char* text, const char* /*detail*/) {
    if (hostMessages != nullptr) {
        hostMessages->push_back(text != nullptr ? text : "");
    }
}

InputFile InputFile::Open(const std::string& argument, const std::string& streamName) {
    InputFile input;
    input.argument = argument;
    const std::string name = streamName.empty() ? argument : streamName;
    if (argument == "-") {
        input.path = Converter::AbsolutePath(name);
        input.inMemory = true;
        input.error = ReadAll(STDIN_FILENO, input.bytes);
        return input;
    }
    input.path = Converter::AbsolutePath(argument);
    struct stat info {};
    if (::stat(input.path.c_str(), &info) != 0) {
        input.error = errno;
        return input;
    }
    if (S_ISREG(info.st_mode)) {
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
    ::close(fd);
    return input;
}

Converter::Converter(std::string outputDir, bool createFolder) : createFolder(createFolder) {
    if (outputDir.empty()) {
        const std::string fixed = ImportPaths::Fixed().definitionFile;
        const std::string system = PathMapping::ToSystemPath(fixed);
        systemOutputDir = system.substr(0, system.rfind('/'));
    } else {
        systemOutputDir = std::move(outputDir);
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
    std::vector<std::string> messages;
    {
        const HostMessageCapture capture(messages);
        if (input.error == 0) {
            ReadOptions readOptions;
            readOptions.diagnostics = options.verbose;
            readOptions.keepStyleFiles = options.keepStyleFiles;
            const std::string_view bytes(input.bytes);
            if (input.inMemory) {
                readOptions.bytes = &bytes;
            }
            result.reading = QuorImport::Read(input.path, readOptions);
            if (options.verbose) {
                result.diagnostics = DiagnosticLines(result.reading);
            }
        }
        if (!result.reading.Loaded()) {
            QuorImport::ReportNotInQuorixFormat(input.path);
        }
    }
    result.errors = std::move(messages);
    if (result.reading.Loaded()) {
        return result;
    }
    int readError = input.error;
    if (readError == 0 && result.reading.layVerdict.stoppedAt == QuorFile::Step::Open) {
        readError = result.reading.layVerdict.openError != 0 ? result.reading.layVerdict.openError : ENOENT;
    }
    if (readError != 0) {
        result.errors.push_back("cannot read input file: " + FileErrorText(readError));
        result.exitCode = kExitNoInput;
    } else {
        result.exitCode = kExitDataError;
    }
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
    bool createdFolder = false;
    if (createFolder) {
        createdFolder = mkdir(systemOutputDir.c_str(), 0777) == 0;
        if (!createdFolder && errno != EEXIST) {
            result.errors.push_back(systemOutputDir + ": cannot create folder: " + FileErrorText(errno));
            result.exitCode = kExitCannotCreate;
            return result;
        }
    }
    const auto removeCreatedFolder = [&] {
        if (createdFolder) {
            rmdir(systemOutputDir.c_str()); // nothing is left in it
        }
    };
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
        removeCreatedFolder();
        return result;
    } catch (const std::exception& error) {
        result.errors.push_back(std::string("internal error: ") + error.what());
        result.exitCode = kExitSoftware;
        removeCreatedFolder();
        return result;
    }
    if (!result.writing.Complete()) {
        ReportFile(result.writing.definition, result);
        ReportFile(result.writing.position, result);
        removeCreatedFolder();
    }
    return result;
}
