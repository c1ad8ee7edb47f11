#include "CommandLine.h"

#include <cerrno>
#include <cstdlib>

namespace {
// An option that takes a value, in any of its forms: "-x VALUE", "-xVALUE", "--long VALUE",
// "--long=VALUE". Returns false when `arg` is not this option.
bool TakeValue(const std::vector<std::string>& arguments, size_t& i, char shortName,
               const std::string& longName, std::string& value, std::string& error) {
    const std::string& arg = arguments[i];
    const std::string longForm = "--" + longName;
    if (arg == longForm || (shortName != 0 && arg == std::string{'-', shortName})) {
        if (i + 1 == arguments.size()) {
            error = "option '" + arg + "' requires an argument";
        } else {
            value = arguments[++i];
        }
        return true;
    }
    if (arg.rfind(longForm + "=", 0) == 0) {
        value = arg.substr(longForm.size() + 1);
        return true;
    }
    if (shortName != 0 && arg.size() > 2 && arg[1] == shortName) {
        value = arg.substr(2);
        return true;
    }
    return false;
}

bool ParseJobs(const std::string& text, int& jobs) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 4) {
        return false;
    }
    jobs = std::atoi(text.c_str());
    return jobs >= 1 && jobs <= CommandLine::kMaxJobs;
}
} // namespace

CommandLine CommandLine::Parse(const std::vector<std::string>& arguments) {
    CommandLine line;
    bool optionsEnded = false;
    bool outputDirGiven = false;
    bool previewGiven = false;
    bool nameGiven = false;
    for (size_t i = 0; i < arguments.size() && line.error.empty(); ++i) {
        const std::string& arg = arguments[i];
        std::string value;
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            line.files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            line.help = true;
        } else if (arg == "--version" || arg == "-V") {
            line.version = true;
        } else if (arg == "--diagnostic-log") {
            line.diagnosticLog = true;
        } else if (arg == "--verbose" || arg == "-v") {
            line.verbose = true;
        } else if (arg == "--dump") {
            line.dump = true;
        } else if (TakeValue(arguments, i, 'o', "output-dir", value, line.error)) {
            line.outputDir = value;
            outputDirGiven = true;
        } else if (TakeValue(arguments, i, 0, "preview", value, line.error)) {
            line.previewFile = value;
            previewGiven = true;
        } else if (TakeValue(arguments, i, 0, "name", value, line.error)) {
            line.streamName = value;
            nameGiven = true;
        } else if (TakeValue(arguments, i, 'j', "jobs", value, line.error)) {
            if (line.error.empty() && !ParseJobs(value, line.jobs)) {
                line.error = "the number of jobs must be a whole number from 1 to " +
                             std::to_string(kMaxJobs) + ", not '" + value + "'";
            }
        } else {
            line.error = "unrecognized option '" + arg + "'";
        }
    }
    if (!line.error.empty() || line.help || line.version) {
        return line;
    }
    if (line.files.empty()) {
        line.error = "missing input file";
    } else if (outputDirGiven && line.outputDir.empty()) {
        line.error = "empty output folder";
    } else if (nameGiven && line.streamName.empty()) {
        line.error = "empty name for the input";
    } else if (previewGiven && line.previewFile.empty()) {
        line.error = "empty preview file name";
    } else if (line.IsInspection() && line.files.size() > 1) {
        line.error =
            "--dump and --preview read one input file, " + std::to_string(line.files.size()) + " given";
    } else if (line.IsInspection() && outputDirGiven) {
        line.error = "--dump and --preview write no import files; leave out -o";
    } else if (line.IsBatch() && !outputDirGiven) {
        line.error = std::to_string(line.files.size()) + " input files need an output folder (-o DIR)";
    }
    return line;
}

const char* CommandLine::UsageText() {
    return "Usage: quorix-import [-o DIR] [-v] [--name NAME] [--diagnostic-log] FILE\n"
           "       quorix-import -o DIR [-j N] [-v] [--diagnostic-log] FILE FILE...\n"
           "       quorix-import [--dump] [--preview SVG] [-v] FILE\n"
           "       quorix-import --help | --version\n"
           "\n"
           "Converts a Quorix LAY-Y lay file or marker definition file into the host's import files\n"
           "DIR/csvimprt.txt (models, pieces, counts and the order block) and DIR/posimport.txt (one line\n"
           "per placed piece), and prints the order name handed back to the host.\n"
           "\n"
           "With several FILEs each import goes into its own folder DIR/NAME/, NAME being the file's order\n"
           "name before its cut to 20 characters (the base name with '.', '/' and '#' turned into '-');\n"
           "one line per file is printed: NAME, kind (lay, marker or -), models, placements and result,\n"
           "separated by tabs. Two files with the same NAME are refused before anything is written. When\n"
           "standard error is a terminal and there are more than four files, a progress line is shown\n"
           "there. A file in neither format leaves no folder behind.\n"
           "\n"
           "Options:\n"
           "  -o, --output-dir DIR  write the import files into DIR (default: the module's folder); with\n"
           "                        several FILEs, into a new folder per file below DIR, which must exist\n"
           "  -j, --jobs N          convert up to N files at the same time (1 to 256; default 1)\n"
           "      --name NAME       import a FILE that is not a regular file (- for standard input, a\n"
           "                        named pipe) as the file NAME in the current folder: NAME gives the\n"
           "                        order name, and a marker's styles are looked up from there (default:\n"
           "                        the FILE argument itself); such a FILE is read once, whole\n"
           "      --dump            print what the readers make of FILE as JSON and write no import files\n"
           "      --preview SVG     draw the lay FILE into the picture SVG and write no import files\n"
           "  -v, --verbose         show on standard error what the readers found: the lay's record\n"
           "                        warnings with the offsets of their records, and why each reader\n"
           "                        refused the file\n"
           "      --diagnostic-log  create the module's diagnostic log Log.txt in the current folder\n"
           "  -h, --help            show this help and exit\n"
           "  -V, --version         show the version and exit\n"
           "\n"
           "JSON of --dump: an object with \"kind\" (\"lay\" or \"marker\"), \"file\" and the reader's "
           "model:\n"
           "for a lay its width, length, name lists, every placement with all its fields, the placement\n"
           "counts and the lists that no import file uses; for a marker its format version, header and\n"
           "option values, style entries with their sizes and the pieces of each style file, and the size\n"
           "models. A name that is valid UTF-8 is a JSON string; any other name is an object {\"hex\": all\n"
           "its bytes in hexadecimal, \"text\": the name with each invalid byte shown as U+FFFD}. Floats\n"
           "have the fewest digits that read back to the same single-precision value; numbers that are\n"
           "not finite are the strings \"inf\", \"-inf\" and \"nan\".\n"
           "\n"
           "Picture of --preview: the lay is a rectangle as wide as its width, x to the right and y "
           "upwards;\n"
           "each placed piece is a disc at its position (blue: 'P' record, orange: 'T' record) with a dark\n"
           "pointer at the angle that the position file gives it, a red rim when flag 1 is set and a dashed\n"
           "rim when flag 2 is set, labelled with its piece and model names.\n"
           "\n"
           "Both import files are written complete under temporary names in DIR and then put in place\n"
           "together: a conversion that fails (a full disk, an unwritable file, a lay whose placements\n"
           "disagree with their counts) leaves DIR exactly as it was. Import files that are symbolic\n"
           "links are replaced themselves; their targets are never written.\n"
           "\n"
           "Exit status: 0 imported; 64 usage error; 65 the file is in neither format, or its placements\n"
           "disagree with their counts; 66 the input file cannot be read; 70 internal error; 73 an output\n"
           "file cannot be created; 74 an output file or standard output cannot be written; 130 or 143\n"
           "stopped by SIGINT or SIGTERM (what was converted is complete, nothing else was written). In\n"
           "batch mode the most serious status of any file, in the order 70, 74, 73, 66, 65.\n"
           "\n"
           "Examples:\n"
           "  quorix-import -o out examples/lays/W12.LAY\n"
           "  quorix-import -o out -j 2 examples/lays/*.LAY examples/markers/m1.mkr\n"
           "  quorix-import --dump examples/markers/m1.mkr\n"
           "  quorix-import --preview W12.svg examples/lays/W12.LAY\n"
           "  quorix-import -v -o out suspicious.lay\n";
}
