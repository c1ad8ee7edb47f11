#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorix::cli {

// The converter's options, parsed by the C library's getopt_long in the GNU manner: bundled short options
// ("-vo DIR"), "--opt=value", unambiguous abbreviations of long options, "--" ends the options, and "-"
// is a FILE (standard input). Refused options are told in the GNU parser's words on every platform.
struct CommandLine {
    static constexpr int kMaxJobs = 256;

    std::string outputDir; // empty: the current folder
    bool help = false;
    bool version = false;
    bool diagnosticLog = false;
    bool verbose = false;    // the readers' diagnostics and notes on standard error
    bool quiet = false;      // no warnings on standard error, only errors
    bool strict = false;     // a file whose import files would lose anything is refused (65)
    bool each = false;       // every import into its own folder DIR/NAME/, however many FILEs
    bool dump = false;       // print the parsed model as JSON instead of converting
    std::string previewFile; // draw the lay into this SVG file ("-": standard output) instead of converting
    int jobs = 1;            // files converted at the same time in batch mode
    bool jobsGiven = false;
    std::string streamName; // the file name that a streamed input is imported under (--name)
    int waitSeconds = 30;   // for another conversion writing into the same output folder (--wait)
    uint64_t maxInput = uint64_t{1} << 30; // the most bytes read from a stream (--max-input)
    std::vector<std::string> files;
    std::string error; // set when the command line cannot be used

    // Several input files, or --each: each import goes into its own folder below the output folder.
    bool IsBatch() const { return files.size() > 1 || each; }
    // The file is only read and shown, not converted.
    bool IsInspection() const { return dump || !previewFile.empty(); }

    static CommandLine Parse(const std::vector<std::string>& arguments);
    static std::string UsageText();
};

} // namespace quorix::cli
