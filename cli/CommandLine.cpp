#include "CommandLine.h"

CommandLine CommandLine::Parse(const std::vector<std::string>& arguments) {
    CommandLine line;
    bool optionsEnded = false;
    bool outputDirGiven = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            line.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            line.help = true;
        } else if (arg == "--version" || arg == "-V") {
            line.version = true;
        } else if (arg == "--diagnostic-log") {
            line.diagnosticLog = true;
        } else if (arg == "-o" || arg == "--output-dir") {
            if (i + 1 == arguments.size()) {
                line.error = "option '" + arg + "' requires an argument";
                return line;
            }
            line.outputDir = arguments[++i];
            outputDirGiven = true;
        } else if (arg.rfind("--output-dir=", 0) == 0) {
            line.outputDir = arg.substr(13);
            outputDirGiven = true;
        } else if (arg.size() > 2 && arg[1] == 'o') {
            line.outputDir = arg.substr(2);
            outputDirGiven = true;
        } else {
            line.error = "unrecognized option '" + arg + "'";
            return line;
        }
    }
    if (!line.help && !line.version) {
        if (line.files.empty()) {
            line.error = "missing input file";
        } else if (line.files.size() > 1) {
            line.error = "one input file expected, " + std::to_string(line.files.size()) + " given";
        } else if (outputDirGiven && line.outputDir.empty()) {
            line.error = "empty output folder";
        }
    }
    return line;
}

const char* CommandLine::UsageText() {
    return "Usage: quorix-import [-o DIR | --output-dir DIR] [--diagnostic-log] FILE\n"
           "       quorix-import --help | --version\n"
           "\n"
           "Converts a Quorix LAY-Y lay file or marker definition file into the host's import files\n"
           "DIR/csvimprt.txt (models, pieces, counts and the order block) and DIR/posimport.txt (one line\n"
           "per placed piece), and prints the order name handed back to the host.\n"
           "\n"
           "Options:\n"
           "  -o, --output-dir DIR  write the two import files into DIR (default: the module's folder)\n"
           "      --diagnostic-log  create the module's diagnostic log Log.txt in the current folder\n"
           "  -h, --help            show this help and exit\n"
           "  -V, --version         show the version and exit\n"
           "\n"
           "Exit status: 0 imported; 64 usage error; 65 the file is in neither format, or its placements\n"
           "disagree with their counts; 66 the input file cannot be read; 73 an output file cannot be\n"
           "created.\n"
           "\n"
           "Example:\n"
           "  quorix-import -o out examples/lays/W12.LAY\n";
}
