#include "Converter.h"

#include "export/CleanName.h"
#include "files/QuorFile.h"
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
    default:
        return 4;
    }
}
} // namespace

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

int Converter::InputError(const std::string& absolutePath) {
    RawFile probe;
    if (probe.OpenForReading(absolutePath)) {
        return 0;
    }
    return probe.LastError() != 0 ? probe.LastError() : ENOENT;
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

ConversionResult Converter::Convert(const std::string& file) const {
    ConversionResult result;
    const std::string input = AbsolutePath(file);
    const int inputError = InputError(input);
    const bool readable = inputError == 0;
    bool createdFolder = false;

    const std::string definitionPath = JoinPath(systemOutputDir, ImportPaths::kDefinitionFileName);
    const std::string positionPath = JoinPath(systemOutputDir, ImportPaths::kPositionFileName);
    if (readable) {
        if (createFolder) {
            createdFolder = mkdir(systemOutputDir.c_str(), 0777) == 0;
            if (!createdFolder && errno != EEXIST) {
                result.errors.push_back(systemOutputDir + ": cannot create folder: " + std::strerror(errno));
                result.exitCode = kExitCannotCreate;
                return result;
            }
        }
        const std::string problem = FolderProblem(systemOutputDir);
        if (!problem.empty()) {
            result.errors.push_back(definitionPath + ": cannot create file: " + problem);
            result.exitCode = kExitCannotCreate;
            return result;
        }
    }

    const ImportPaths paths =
        ImportPaths::InFolder(PathMapping::FromCallerPath(AbsolutePath(systemOutputDir)));
    std::vector<std::string> messages;
    char orderName[QuorImport::kOrderNameLength + 1] = {};
    ImportOutcome outcome;
    try {
        const HostMessageCapture capture(messages);
        outcome = QuorImport::Run(input, orderName, paths);
    } catch (const QuorUnhandledFormatFeatureException& error) {
        // Only the lay's position writer lets an error pass: its placements disagree with their counts.
        result.kind = ImportOutcome::Kind::LayY;
        result.errors.push_back(error.GetMessage());
        result.exitCode = kExitDataError;
        return result;
    } catch (const std::exception& error) {
        result.errors.push_back(std::string("internal error: ") + error.what());
        result.exitCode = kExitSoftware;
        return result;
    }
    result.errors = messages;
    result.kind = outcome.kind;
    if (!readable) {
        result.errors.push_back(std::string("cannot read input file: ") + std::strerror(inputError));
        result.exitCode = kExitNoInput;
        return result;
    }
    if (!outcome.loaded) {
        if (createdFolder) {
            rmdir(systemOutputDir.c_str()); // nothing was written into it
        }
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
