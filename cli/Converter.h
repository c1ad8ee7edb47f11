#pragma once

#include "CommandLine.h"
#include "Findings.h"
#include "entry/QuorImport.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

namespace quorix::cli {

// Exit codes of the converter (BSD sysexits).
enum ExitCode {
    kExitOk = 0,
    kExitUsage = 64,
    kExitDataError = 65,
    kExitNoInput = 66,
    kExitSoftware = 70,
    kExitCannotCreate = 73,
    kExitIoError = 74,
    kExitTryAgain = 75, // another conversion held the output folder for the whole wait
};

// The largest input read from a stream unless --max-input says otherwise: far above any real lay, and
// far below what would exhaust a machine's memory.
constexpr uint64_t kDefaultMaxInput = uint64_t{1} << 30;

// Of two exit codes, the one that tells more about what went wrong: an internal error, then a failed write
// of an output, then an output folder that another conversion held, then an output that cannot be
// created, then an input that cannot be read, then an input in neither format.
int MoreSeriousExitCode(int a, int b);

// One input of the converter. A regular file is read by the readers from its path; anything else that
// can be read (standard input, a named pipe, a device) is read once, whole, into memory, and imported
// from there as if it were the file `path`.
struct InputFile {
    std::string argument;  // as the user gave it
    std::string path;      // the path the import is made under, absolute
    bool inMemory = false; // the content was read into `bytes`
    std::string bytes;
    int64_t size = -1;     // in bytes, when known
    std::error_code error; // why it could not be read

    // Opens the input named `argument` ("-" is standard input); a streamed input is imported under the
    // name `streamName` (empty: the argument itself), in the current folder, and refused when longer than
    // `maxInput` bytes. A regular file has its own name: `streamName` with one is a usage error, never
    // passed over.
    static InputFile Open(const std::string& argument, const std::string& streamName = "",
                          uint64_t maxInput = kDefaultMaxInput);
    uint64_t maxInput = kDefaultMaxInput;
};

// What one input file came to: read with the import's own read step, and written when asked.
struct Conversion {
    int exitCode = kExitOk;
    ImportReading reading;
    ImportWriting writing;
    std::vector<std::string> errors; // messages for the user, without the program and file prefix
    Findings findings;               // what the readers found besides the import
    bool refusedForWarnings = false; // --strict refused a file that the readers accepted
};

struct ConvertOptions {
    bool verbose = false;        // keep the readers' diagnostic lines (without, they are only counted)
    bool keepStyleFiles = false; // keep each style that a marker names (for --dump)
    bool strict = false;         // refuse a file whose import files would lose anything a warning tells
    // The longest wait for another conversion writing into the same output folder.
    std::chrono::milliseconds lockWait{std::chrono::seconds(30)};

    // The options as the command line gives them.
    static ConvertOptions Of(const CommandLine& line);
};

// Runs the import of the exported function, but into a folder of the user's choice, and turns its
// outcome into an exit code and messages. Conversions of different files may run on different threads at
// the same time as long as their output folders differ.
class Converter {
public:
    // `outputDir` as the user gave it (empty: the current folder). When it is missing, it is created with
    // its parents once the input is known to be in a format, and the folders created are removed again
    // when the conversion fails.
    explicit Converter(std::string outputDir);

    // Reads the input with the readers, without writing anything: the exit code of a conversion that
    // would stop there, the reading, why it was refused and what else was found.
    static Conversion Read(const InputFile& input, const ConvertOptions& options);
    // Reads and, when a reader accepted the file, writes both import files together: either both are
    // replaced or neither is touched.
    Conversion Convert(const InputFile& input, const ConvertOptions& options) const;

    // The whole order name of an input file, before its cut to 20 characters.
    static std::string FullOrderName(const std::string& file);

private:
    std::string systemOutputDir;
};

// What the user is told about a conversion on standard error, in order, each line without the program and
// file prefix: with `verbose` the readers' diagnostics and the notes, unless `quiet` the warnings (shown
// with it too when they are why --strict refused the file), then the errors, and a hint to run with -v when
// that would tell more about a refused file.
std::vector<std::string> MessagesOf(const Conversion& conversion, bool verbose, bool quiet);
// One line on standard error for each message: "quorix-import: FILE: message", the file name escaped.
void PrintMessages(const std::string& file, const std::vector<std::string>& messages);

} // namespace quorix::cli
