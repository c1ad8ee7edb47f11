#pragma once

#include "entry/QuorImport.h"

#include <string>
#include <vector>

// Exit codes of the converter (BSD sysexits).
enum ExitCode {
    kExitOk = 0,
    kExitUsage = 64,
    kExitDataError = 65,
    kExitNoInput = 66,
    kExitSoftware = 70,
    kExitCannotCreate = 73,
};

// Of two exit codes, the one that tells more about what went wrong: an internal error, then an output
// that cannot be created, then an input that cannot be read, then an input in neither format.
int MoreSeriousExitCode(int a, int b);

struct ConversionResult {
    int exitCode = kExitOk;
    ImportOutcome::Kind kind = ImportOutcome::Kind::None; // which reader accepted the file
    std::string orderName;                                // as handed back to the host: at most 20 characters
    std::vector<std::string> errors; // messages for the user, without the program and file prefix
};

// Runs one import as the exported function does, but into a folder of the user's choice, and turns its
// outcome into an exit code and messages. Conversions of different files may run on different threads at
// the same time as long as their output folders differ.
class Converter {
public:
    // `outputDir` as the user gave it; empty for the module's fixed folder. With `createFolder` the
    // folder itself is created (its parent must exist) once the input is known to be readable.
    explicit Converter(std::string outputDir, bool createFolder = false);

    ConversionResult Convert(const std::string& file) const;

    // The output folder in the operating system's form.
    const std::string& OutputDir() const { return systemOutputDir; }

    // A relative path made absolute against the current folder, as the converter reads every input.
    static std::string AbsolutePath(const std::string& path);
    // 0 when the input file can be opened for reading, else the reason as an error number.
    static int InputError(const std::string& absolutePath);
    // The whole order name of an input file, before its cut to 20 characters.
    static std::string FullOrderName(const std::string& file);
    // `folder` and `name` joined by a '/'.
    static std::string JoinPath(const std::string& folder, const std::string& name);

private:
    std::string systemOutputDir;
    bool createFolder = false;
};

// While it lives, the reports that the module sends to the host's error log on this thread are appended
// to `messages`; without one they are dropped.
class HostMessageCapture {
public:
    explicit HostMessageCapture(std::vector<std::string>& messages);
    ~HostMessageCapture();
    HostMessageCapture(const HostMessageCapture&) = delete;
    HostMessageCapture& operator=(const HostMessageCapture&) = delete;

private:
    std::vector<std::string>* previous;
};
