#include "CommandLine.h"

#include <getopt.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// Where the documentation is installed, as --help names it (set by the build): the package's documentation
// folder, or the Windows zip's docs folder.
#ifndef QUORIX_DOC_TEXT
#define QUORIX_DOC_TEXT "docs/"
#endif

namespace quorix::cli {

namespace {
// Values of the long options that have no short form.
enum LongOnly { kDump = 256, kPreview, kName, kDiagnosticLog, kStrict, kEach, kWait, kMaxInput };

// Every option once, in the order --help lists them: what getopt_long is told, what the help says (lines
// after the first are indented under it), and the switch or the text that the option sets. The numbers
// (-j, --wait, --max-input) are parsed in Parse.
struct Row {
    const char* name;
    int key;           // the short option, or a LongOnly value
    const char* value; // the value's name, null for a switch
    const char* help;
    bool CommandLine::*flag;
    std::string CommandLine::*text;
};

const Row kRows[] = {
    {"output-dir", 'o', "DIR",
     "write the import files into DIR (default: the current folder),\ncreated with its parents when missing",
     nullptr, &CommandLine::outputDir},
    {"each", kEach, nullptr, "write each import into DIR/NAME/, also for a single FILE", &CommandLine::each,
     nullptr},
    {"jobs", 'j', "N", "convert up to N FILEs at the same time (1 to 256; default 1)", nullptr, nullptr},
    {"name", kName, "NAME",
     "import STREAM, an input that is not a regular file (- for standard\ninput, a named pipe), as the file "
     "NAME in the current folder: NAME\ngives the order name and the styles folder; a usage error for a\n"
     "regular file or for several FILEs",
     nullptr, &CommandLine::streamName},
    {"strict", kStrict, nullptr,
     "refuse a file (status 65, nothing written) when a warning says that\nits import files would lose or "
     "distort anything",
     &CommandLine::strict, nullptr},
    {"quiet", 'q', nullptr, "show no warnings, only errors", &CommandLine::quiet, nullptr},
    {"verbose", 'v', nullptr,
     "show also what the readers found: the lay's record warnings with their\noffsets, each reader's reason, "
     "and what looks odd without changing the\nimport files",
     &CommandLine::verbose, nullptr},
    {"dump", kDump, nullptr, "print what the readers make of FILE as JSON and write no import files",
     &CommandLine::dump, nullptr},
    {"preview", kPreview, "SVG",
     "draw the lay FILE into the picture SVG (- for standard output) and\nwrite no import files", nullptr,
     &CommandLine::previewFile},
    {"wait", kWait, "SECONDS",
     "wait at most SECONDS (default 30) for another conversion writing into\nthe same output folder to "
     "finish, else give up with status 75",
     nullptr, nullptr},
    {"max-input", kMaxInput, "SIZE",
     "read at most SIZE bytes from a STREAM (K, M, G suffixes; default 1G),\nelse refuse it with status 65",
     nullptr, nullptr},
    {"diagnostic-log", kDiagnosticLog, nullptr,
     "create the module's diagnostic log Log.txt in the current folder", &CommandLine::diagnosticLog,
     nullptr},
    {"help", 'h', nullptr, "show this help and exit", &CommandLine::help, nullptr},
    {"version", 'V', nullptr, "show the version and exit", &CommandLine::version, nullptr},
};

// Why getopt_long refused an option: `code` is what it returned (':' for a missing value, '?' else),
// `option` its optopt, `word` the argument it stopped after. Worded as the GNU C library's parser words
// it, which the parser of another C library (MinGW-w64's on Windows) does not: the parser prints nothing.
std::string Refusal(int code, int option, const std::string& word) {
    const bool isLong = word.compare(0, 2, "--") == 0;
    const std::string written = isLong ? word.substr(2, word.find('=') - 2) : std::string(); // the name
    std::vector<const Row*> matches;
    for (const Row& row : kRows) {
        if (isLong && std::strncmp(row.name, written.c_str(), written.size()) == 0) {
            if (written.size() == std::strlen(row.name)) {
                matches.assign(1, &row);
                break;
            }
            matches.push_back(&row);
        }
    }
    // The word is the long option refused unless the parser names a short one (it stopped inside a
    // bundle, after an earlier word).
    if (isLong && (option == 0 || (matches.size() == 1 && matches[0]->key == option))) {
        if (matches.empty()) {
            return "unrecognized option '" + word + "'";
        }
        if (matches.size() > 1) {
            std::string text = "option '" + word + "' is ambiguous; possibilities:";
            for (const Row* match : matches) {
                text += std::string(" '--") + match->name + "'";
            }
            return text;
        }
        return "option '--" + std::string(matches[0]->name) +
               (code == ':' && word.find('=') == std::string::npos ? "' requires an argument"
                                                                   : "' doesn't allow an argument");
    }
    return (code == ':' ? "option requires an argument -- '" : "invalid option -- '") +
           std::string(1, static_cast<char>(option)) + "'";
}

// The longest wait: a day.
constexpr int kMostWaitSeconds = 86400;

// A whole number of at most `digits` decimal digits, from `least` to `most`.
bool ParseWhole(const std::string& text, size_t digits, int least, int most, int& value) {
    if (text.empty() || text.size() > digits || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    value = std::atoi(text.c_str());
    return value >= least && value <= most;
}

// A size in bytes, or with the binary suffix K, M or G (1K is 1024 bytes); at least 1 byte, at most 1 TiB.
bool ParseSize(const std::string& text, uint64_t& bytes) {
    const size_t digits = std::strspn(text.c_str(), "0123456789");
    if (digits == 0 || digits > 13) {
        return false;
    }
    uint64_t value = std::strtoull(text.c_str(), nullptr, 10);
    const std::string unit = text.substr(digits);
    const std::string units = "KMG";
    if (unit.size() > 1 || (unit.size() == 1 && units.find(unit[0]) == std::string::npos)) {
        return false;
    }
    for (size_t step = unit.empty() ? 0 : units.find(unit[0]) + 1; step > 0; --step) {
        value *= 1024;
    }
    bytes = value;
    return value >= 1 && value <= (uint64_t{1} << 40);
}

} // namespace

CommandLine CommandLine::Parse(const std::vector<std::string>& arguments) {
    CommandLine line;
    // The parser's messages name the program as "quorix-import", however it was started.
    std::vector<std::string> words = arguments;
    words.insert(words.begin(), "quorix-import");
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const int argc = static_cast<int>(words.size());
    std::string shortOptions = ":";
    std::vector<option> options;
    for (const Row& row : kRows) {
        options.push_back(
            {row.name, row.value != nullptr ? required_argument : no_argument, nullptr, row.key});
        if (row.key < kDump) {
            shortOptions += static_cast<char>(row.key);
            shortOptions += row.value != nullptr ? ":" : "";
        }
    }
    options.push_back({nullptr, 0, nullptr, 0});

    std::vector<int> given; // the options given, for the checks below
    optind = 0;             // a fresh scan
    opterr = 0;             // what the parser refuses is told below
    for (int c; (c = getopt_long(argc, argv.data(), shortOptions.c_str(), options.data(), nullptr)) != -1;) {
        const std::string value = optarg != nullptr ? optarg : "";
        if (c == '?' || c == ':') {
            line.error = Refusal(c, optopt, argv[static_cast<size_t>(optind > 0 ? optind - 1 : 0)]);
        } else if (c == 'j' && !ParseWhole(value, 4, 1, kMaxJobs, line.jobs)) {
            line.error = "the number of jobs must be a whole number from 1 to " + std::to_string(kMaxJobs);
        } else if (c == kWait && !ParseWhole(value, 5, 0, kMostWaitSeconds, line.waitSeconds)) {
            line.error =
                "the wait must be a whole number of seconds from 0 to " + std::to_string(kMostWaitSeconds);
        } else if (c == kMaxInput && !ParseSize(value, line.maxInput)) {
            line.error =
                "the input size must be a whole number of bytes, or of K, M or G (1024, 1024K, 1024M), "
                "from 1 byte to 1024G";
        }
        if (!line.error.empty()) {
            line.error += c == '?' || c == ':' ? std::string() : ", not '" + value + "'";
            return line;
        }
        for (const Row& row : kRows) {
            if (row.key == c && row.flag != nullptr) {
                line.*row.flag = true;
            } else if (row.key == c && row.text != nullptr) {
                line.*row.text = value;
            }
        }
        given.push_back(c);
    }
    const auto gave = [&given](int key) { return std::find(given.begin(), given.end(), key) != given.end(); };
    line.jobsGiven = gave('j');
    for (int i = optind; i < argc; ++i) {
        line.files.push_back(argv[static_cast<size_t>(i)]);
    }
    if (line.help || line.version) {
        return line;
    }
    if (line.files.empty()) {
        line.error = "missing input file";
    } else if (gave('o') && line.outputDir.empty()) {
        line.error = "empty output folder";
    } else if (gave(kPreview) && line.previewFile.empty()) {
        line.error = "empty preview file name";
    } else if (gave(kName) && line.streamName.empty()) {
        line.error = "empty name for the input";
    } else if (line.verbose && line.quiet) {
        line.error = "-v shows more and -q shows less: give one of them";
    } else if (gave(kName) && line.files.size() > 1) {
        line.error = "--name names one input that is not a regular file, " +
                     std::to_string(line.files.size()) + " given";
    } else if (line.IsInspection() && (line.each || line.strict)) {
        line.error = "--dump and --preview write no import files; leave out --each and --strict";
    } else if (line.IsInspection() && line.files.size() > 1) {
        line.error =
            "--dump and --preview read one input file, " + std::to_string(line.files.size()) + " given";
    } else if (line.IsInspection() && gave('o')) {
        line.error = "--dump and --preview write no import files; leave out -o";
    } else if (line.dump && line.previewFile == "-") {
        line.error = "--dump and --preview - would both write to standard output";
    }
    return line;
}

std::string CommandLine::UsageText() {
    // The options' lines: the names padded to the column of the help, whose further lines start there too.
    constexpr size_t kHelpColumn = 24;
    std::string options;
    for (const Row& row : kRows) {
        std::string names =
            row.key < kDump ? std::string("  -") + static_cast<char>(row.key) + ", --" : "      --";
        names += row.name + (row.value != nullptr ? "=" + std::string(row.value) : std::string());
        names.resize(std::max(names.size() + 2, kHelpColumn), ' ');
        options += names;
        for (const char* c = row.help; *c != '\0'; ++c) {
            options += *c;
            options.append(*c == '\n' ? kHelpColumn : 0, ' ');
        }
        options += '\n';
    }
    return "Usage: quorix-import [-o DIR] [-v|-q] [--strict] [--diagnostic-log] FILE\n"
           "       quorix-import [-o DIR] [-v|-q] [--strict] --name NAME STREAM\n"
           "       quorix-import [-o DIR] [-j N] [-v|-q] [--strict] [--each] FILE...\n"
           "       quorix-import [--dump] [--preview SVG] [-v|-q] FILE\n"
           "       quorix-import --help | --version\n"
           "\n"
           "Converts a Quorix LAY-Y lay file or marker definition file into the host's import files\n"
           "DIR/csvimprt.txt (models, pieces, counts and the order block) and DIR/posimport.txt (one line\n"
           "per placed piece), and prints the order name handed back to the host. DIR is the current\n"
           "folder unless -o names another. FILE - is standard input.\n"
           "\n"
           "With several FILEs, or with --each, each import goes into its own folder DIR/NAME/, NAME being\n"
           "the file's order name before its cut to 20 characters (the base name with '.', '/' and '#'\n"
           "turned into '-'); one line per file is printed: NAME, kind (lay, marker or -), models,\n"
           "placements and result, separated by tabs.\n"
           "\n"
           "Options:\n" +
           options +
           "\n"
           "Warnings (shown unless -q): placements left out of the position file, names whose comma or line\n"
           "feed splits a line, an empty input, a marker's style file that could not be read, a width that\n"
           "is not a number.\n"
           "\n"
           "Both import files are put in place together or not at all, while no other conversion writes\n"
           "into DIR; replaced files keep their owner, group and permissions. Not promised: the files after\n"
           "a power loss, or a whole pair when the converter is killed (SIGKILL) between its two moves.\n"
           "\n"
           "Exit status: 0 imported; 64 usage error; 65 the file is in neither format, its placements\n"
           "disagree with their counts, --strict refused it, or a STREAM is longer than --max-input; 66\n"
           "the input file or a marker's style file cannot be read; 70 internal error, or out of memory;\n"
           "73 an output file or folder cannot be created; 74 an output file or standard output cannot be\n"
           "written; 75 another conversion kept the output folder for the whole wait; 130 or 143 stopped\n"
           "by SIGINT or SIGTERM. With several files the most serious status of any, in the order 70, 74,\n"
           "75, 73, 66, 65.\n"
           "\n"
           "Examples:\n"
           "  quorix-import -o out examples/lays/W12.LAY\n"
           "  quorix-import -o out --each examples/lays/*.LAY examples/markers/m1.mkr\n"
           "  quorix-import --dump examples/markers/m1.mkr\n"
           "  quorix-import --preview W12.svg examples/lays/W12.LAY\n"
           "\n"
           "Every option, message and status: " QUORIX_DOC_TEXT "converter.md; the import files'\n"
           "lines and columns: " QUORIX_DOC_TEXT "file-formats.md; the manual page quorix-import(1).\n";
}

} // namespace quorix::cli
