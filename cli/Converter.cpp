#include "Converter.h"

#include "entry/QuorImport.h"
#include "files/QuorUnhandledFormatFeatureException.h"
#include "platform/PathMapping.h"
#include "platform/RawFile.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Messages that the import sends to the host's error log during the current conversion of this thread.
thread_local std::vector<std::string>* hostMessages = nullptr;

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

std::string Absolute(const std::string& path) {
    if (path.empty() || path[0] == '/') {
        return path;
    }
    std::string folder = CurrentFolder();
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    return folder + path;
}

std::string JoinPath(const std::string& folder, const char* name) {
    if (!folder.empty() && folder.back() == '/') {
        return folder + name;
    }
    return folder + "/" + name;
}

// Why a folder cannot take the output files, or empty when it can.
std::string FolderProblem(const std::string& folder) {
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0) {
        return std::strerror(errno);
    }
    if (!S_ISDIR(info.st_mode)) {
        return std::strerror(ENOTDIR);
    }
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
        return std::strerror(errno);
    }
    return {};
}

class HostMessageCapture {
public:
    explicit HostMessageCapture(std::vector<std::string>& messages) { hostMessages = &messages; }
    ~HostMessageCapture() { hostMessages = nullptr; }
    HostMessageCapture(const HostMessageCapture&) = delete;
    HostMessageCapture& operator=(const HostMessageCapture&) = delete;
};
} // namespace

// The converter is the host of the module here: it receives the module's error reports itself.
extern "C" void dll_vq_log_error(int /*level*/, int /*code*/, const char* text, const char* /*detail*/) {
    if (hostMessages != nullptr) {
        hostMessages->push_back(text != nullptr ? text : "");
    }
}

Converter::Converter(std::string outputDir) {
    if (outputDir.empty()) {
        const std::string fixed = ImportPaths::Fixed().definitionFile;
        const std::string system = PathMapping::ToSystemPath(fixed);
        systemOutputDir = system.substr(0, system.rfind('/'));
    } else {
        systemOutputDir = std::move(outputDir);
    }
}

ConversionResult Converter::Convert(const std::string& file) const {
    ConversionResult result;
    const std::string input = Absolute(file);
    RawFile probe;
    const bool readable = probe.OpenForReading(input);
    const int inputError = probe.LastError();
    probe.Close();

    const std::string definitionPath = JoinPath(systemOutputDir, ImportPaths::kDefinitionFileName);
    const std::string positionPath = JoinPath(systemOutputDir, ImportPaths::kPositionFileName);
    if (readable) {
        const std::string problem = FolderProblem(systemOutputDir);
        if (!problem.empty()) {
            result.errors.push_back(definitionPath + ": cannot create file: " + problem);
            result.exitCode = kExitCannotCreate;
            return result;
        }
    }

    const ImportPaths paths = ImportPaths::InFolder(PathMapping::FromCallerPath(Absolute(systemOutputDir)));
    std::vector<std::string> messages;
    char orderName[QuorImport::kOrderNameLength + 1] = {};
    ImportOutcome outcome;
    try {
        const HostMessageCapture capture(messages);
        outcome = QuorImport::Run(input, orderName, paths);
    } catch (const QuorUnhandledFormatFeatureException& error) {
        result.errors.push_back(error.GetMessage());
        result.exitCode = kExitDataError;
        return result;
    } catch (const std::exception& error) {
        result.errors.push_back(std::string("internal error: ") + error.what());
        result.exitCode = kExitSoftware;
        return result;
    }
    result.errors = messages;
    if (!readable) {
        result.errors.push_back(std::string("cannot read input file: ") + std::strerror(inputError));
        result.exitCode = kExitNoInput;
        return result;
    }
    if (!outcome.loaded) {
        result.exitCode = kExitDataError;
        return result;
    }
    if (!outcome.definitionWritten) {
        result.errors.push_back(definitionPath + ": cannot create file");
        result.exitCode = kExitCannotCreate;
    }
    if (!outcome.positionWritten) {
        result.errors.push_back(positionPath + ": cannot create file");
        result.exitCode = kExitCannotCreate;
    }
    result.orderName = orderName;
    return result;
}
