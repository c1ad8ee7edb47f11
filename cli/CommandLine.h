#pragma once

#include <string>
#include <vector>

// The converter's options, parsed in the GNU style: short and long options, "--opt=value" and "-oVALUE"
// forms, "--" ends the options.
struct CommandLine {
    static constexpr int kMaxJobs = 256;

    std::string outputDir; // empty: the module's fixed folder
    bool help = false;
    bool version = false;
    bool diagnosticLog = false;
    bool verbose = false;    // the readers' diagnostics on standard error
    bool dump = false;       // print the parsed model as JSON instead of converting
    std::string previewFile; // draw the lay into this SVG file instead of converting
    int jobs = 1;            // files converted at the same time in batch mode
    std::string streamName;  // the file name that a streamed input is imported under (--name)
    std::vector<std::string> files;
    std::string error; // set when the command line cannot be used

    // Several input files: each import goes into its own folder below the output folder.
    bool IsBatch() const { return files.size() > 1; }
    // The file is only read and shown, not converted.
    bool IsInspection() const { return dump || !previewFile.empty(); }

    static CommandLine Parse(const std::vector<std::string>& arguments);
    static const char* UsageText();
};
