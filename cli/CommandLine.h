#pragma once

#include <string>
#include <vector>

// The converter's options, parsed in the GNU style: short and long options, "--opt=value" and "-oVALUE"
// forms, "--" ends the options.
struct CommandLine {
    std::string outputDir; // empty: the module's fixed folder
    bool help = false;
    bool version = false;
    bool diagnosticLog = false;
    std::vector<std::string> files;
    std::string error; // set when the command line cannot be used

    static CommandLine Parse(const std::vector<std::string>& arguments);
    static const char* UsageText();
};
