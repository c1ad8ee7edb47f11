// The converter as a separate process, one command line per row: its exit status, what it prints on
// standard output and the first line on standard error.
#include "OnWindows.h"
#include "support/LayBuilder.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {
const std::string kConverter = QUORIX_CONVERTER;
const std::string kExamples = QUORIX_EXAMPLES_DIR;

// In arguments and expectations, "{dir}" stands for the case's folder (also the current folder), "{ex}"
// for the bundled examples and "{made:PATH}" for PATH in the case's folder as the converter prints a path
// it made.
std::string Expand(std::string text, const TempDir& dir) {
    for (size_t at; (at = text.find("{made:")) != std::string::npos;) {
        const size_t end = text.find('}', at);
        text.replace(at, end + 1 - at, AsMade(dir.Path(text.substr(at + 6, end - at - 6)), true));
    }
    for (const auto& [token, value] : {std::make_pair(std::string("{dir}"), dir.Path()),
                                       std::make_pair(std::string("{ex}"), kExamples)}) {
        for (size_t at = text.find(token); at != std::string::npos; at = text.find(token, at + value.size())) {
            text.replace(at, token.size(), value);
        }
    }
    return text;
}

std::string MarkerText(int version, const std::string& styleName) {
    return "%" + std::to_string(version) +
           "\n0\n1\n1\n0\n0\n0\n0\n50800000\n1397000\n0\n%\n80\n0\n0\n1.5\nA\nB\nC\n0\n0\n0\n0\n0\n" + styleName +
           "\n1\n40\n1\n1\n0\n0\n";
}

std::string Repeated(const std::string& part, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += part;
    }
    return text;
}

struct CommandCase {
    const char* name;
    std::vector<std::string> args;
    int exitCode;
    std::string out;       // what standard output starts with; empty: nothing is printed there
    std::string firstError; // the first line on standard error; empty: nothing is printed there
    std::function<void(TempDir&)> plant = [](TempDir&) {};
    const char* notOnWindows = nullptr; // why the case cannot apply to the Windows converter
    // Standard input: these bytes, then its end; without, a pipe that stays open and silent, so that a
    // read of it would wait (and the time limit show it).
    std::optional<std::string> input = std::string();
    ProcessOptions::Output output = ProcessOptions::Output::Collected;
};

// Rows print as their names, so that the test names stay the same from build to build.
void PrintTo(const CommandCase& row, std::ostream* out) {
    *out << row.name;
}

class ConverterCommandLine : public testing::TestWithParam<CommandCase> {};

TEST_P(ConverterCommandLine, GivesItsStatusOutputAndFirstError) {
    const CommandCase& c = GetParam();
    QUORIX_SKIP_ON_WINDOWS(c.notOnWindows);
    TempDir dir;
    c.plant(dir);
    std::vector<std::string> args = {kConverter};
    for (const std::string& arg : c.args) {
        args.push_back(Expand(arg, dir));
    }
    ProcessOptions options;
    options.workingDir = dir.Path();
    options.input = c.input;
    options.output = c.output;
    const ProcessResult r = RunProcess(args, options);
    ASSERT_FALSE(r.timedOut) << "the converter waited";
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    const std::string out = Expand(c.out, dir);
    if (out.empty()) {
        EXPECT_EQ(r.out, "");
    } else {
        EXPECT_EQ(r.out.substr(0, out.size()), out);
    }
    // A usage error, which names no input, ends in one line that says where to read more.
    const bool usage = c.exitCode == 64 && c.firstError.rfind("quorix-import: {", 0) != 0;
    const std::string first = Expand(c.firstError, dir);
    EXPECT_EQ(usage ? r.err : r.err.substr(0, r.err.find('\n')),
              usage ? first + "\nTry 'quorix-import --help' for more information.\n" : first);
}

const CommandCase kCommandCases[] = {
    {"NoArguments", {}, 64, "", "quorix-import: missing input file"},
    {"UnknownOption", {"--bogus", "x.lay"}, 64, "", "quorix-import: unrecognized option '--bogus'"},
    {"AmbiguousAbbreviation", {"--ver", "x.lay"}, 64, "",
     "quorix-import: option '--ver' is ambiguous; possibilities: '--verbose' '--version'"},
    {"OptionWithoutItsValue", {"x.lay", "-o"}, 64, "", "quorix-import: option requires an argument -- 'o'"},
    {"EmptyOutputFolder", {"--output-dir=", "x.lay"}, 64, "", "quorix-import: empty output folder"},
    {"JobsOutOfRange", {"-j", "0", "a.lay", "b.lay"}, 64, "",
     "quorix-import: the number of jobs must be a whole number from 1 to 256, not '0'"},
    {"HelpByAbbreviation", {"--he"}, 0, "Usage: quorix-import [-o DIR]", ""},
    {"Version", {"--version"}, 0, "quorix-import (quorix_marker) " QUORIX_VERSION "\nCopyright (C) 2026", ""},
    {"BundledShortOptions", {"-vo", "{dir}/out", "{ex}/lays/W12.LAY"}, 0, "W12-LAY\n",
     "quorix-import: {ex}/lays/W12.LAY: lay reader: accepted (placements: 5)"},
    {"AbbreviatedLongOptionsWithValues", {"--out={dir}/out", "--verb", "{ex}/lays/W12.LAY"}, 0, "W12-LAY\n",
     "quorix-import: {ex}/lays/W12.LAY: lay reader: accepted (placements: 5)"},
    {"DoubleDashEndsTheOptions", {"--", "-x.lay"}, 0, "-x-lay\n", "",
     [](TempDir& d) { d.Write("-x.lay", LayBuilder().Y().Bytes()); }},
    {"CurrentFolderWithoutOutputFolder", {"{ex}/lays/W12.LAY"}, 0, "W12-LAY\n", ""},
    {"OutputFolderMadeWithItsParents", {"-o", "{dir}/a/b/c", "{ex}/markers/m1.mkr"}, 0, "m1-mkr\n", ""},
    {"OutputFolderUnderAFile", {"-o", "{dir}/file/sub", "{ex}/lays/W12.LAY"}, 73, "",
     "quorix-import: {ex}/lays/W12.LAY: {dir}/file/sub: cannot create folder: Not a directory",
     [](TempDir& d) { d.Write("file", "x"); }},
    {"JobsForOneFile", {"-j", "2", "{ex}/lays/W12.LAY"}, 0, "W12-LAY\n",
     "quorix-import: -j 2 has no effect on a single FILE"},
    {"MissingInput", {"gone.lay"}, 66, "",
     "quorix-import: gone.lay: cannot read input file: No such file or directory"},
    {"FolderAsInput", {"{dir}"}, 66, "", "quorix-import: {dir}: cannot read input file: Is a directory"},
    {"BackslashInTheName", {"a\\b.LAY"}, 66, "",
     "quorix-import: a\\\\b.LAY: cannot read input file: its name holds a backslash, which the import reads as "
     "a folder separator (it would read {dir}/a/b.LAY)",
     [](TempDir& d) { d.Write("a/b.LAY", LayBuilder().Y().Bytes()); }, "a backslash separates folders there"},
    {"NeitherFormat", {"notes.txt"}, 65, "", "quorix-import: notes.txt: not a lay or marker file",
     [](TempDir& d) { d.Write("notes.txt", "just some text\n"); }},
    {"ControlBytesInTheName", {"bad\x1b[2J\x01name"}, 65, "",
     "quorix-import: bad\\x1b[2J\\x01name: not a lay or marker file",
     [](TempDir& d) { d.Write("bad\x1b[2J\x01name", "text\n"); }, "file names there hold no control bytes"},
    {"NameForARegularFile", {"--name", "X.LAY", "{ex}/lays/W12.LAY"}, 64, "",
     "quorix-import: {ex}/lays/W12.LAY: --name names an input that is not a regular file; this one is, and its "
     "own name names the import"},
    {"NameForSeveralFiles", {"--name", "X.LAY", "-", "-"}, 64, "",
     "quorix-import: --name names one input that is not a regular file, 2 given"},
    {"QuietAndVerbose", {"-q", "-v", "{ex}/lays/W12.LAY"}, 64, "",
     "quorix-import: -v shows more and -q shows less: give one of them"},
    {"StrictWithDump", {"--strict", "--dump", "{ex}/lays/W12.LAY"}, 64, "",
     "quorix-import: --dump and --preview write no import files; leave out --each and --strict"},
    {"MissingStyleFile", {"data/markers/m.mkr"}, 66, "",
     "quorix-import: data/markers/m.mkr: cannot read style file {made:data/styles/gone.sty}: No such file or "
     "directory",
     [](TempDir& d) {
         d.Write("data/markers/m.mkr", MarkerText(19, "gone.sty"));
         d.MakeDir("data/styles");
     }},
    {"PreviewOnStandardOutput", {"--preview", "-", "{ex}/lays/W12.LAY"}, 0, "<?xml", ""},
    // A device, even as root, is written to, never replaced by a file of its name.
    {"PreviewToTheStandardOutputDevice", {"--preview", "/dev/stdout", "{ex}/lays/W12.LAY"}, 0, "<?xml", "", [](TempDir&) {},
     "/dev/stdout"},
    // The temporary name of the picture is cut to fit the file system's limit of 255 bytes.
    {"PreviewUnderTheLongestName", {"--preview", Repeated("p", 251) + ".svg", "{ex}/lays/W12.LAY"}, 0, "", "",
     [](TempDir&) {}, "a path longer than the 260 characters of a Windows path"},
    {"StandardInputUnderTheNameGiven", {"--name", "W12.LAY", "-"}, 0, "W12-LAY\n", "", [](TempDir&) {}, nullptr,
     TempDir::ReadFile(kExamples + "/lays/W12.LAY")},
    {"StyleFileIsAFifo", {"data/markers/m.mkr"}, 66, "",
     "quorix-import: data/markers/m.mkr: cannot read style file {dir}/data/styles/pipe.sty: not a regular file",
     [](TempDir& d) {
         d.Write("data/markers/m.mkr", MarkerText(19, "pipe.sty"));
         ASSERT_EQ(mkfifo((d.MakeDir("data/styles") + "/pipe.sty").c_str(), 0666), 0);
     },
     "named pipes in the file system"},
    {"StyleFileIsTheStandardInput", {"data/markers/m.mkr"}, 66, "",
     "quorix-import: data/markers/m.mkr: cannot read style file {dir}/data/styles/" + Repeated("../", 32) +
         "proc/self/fd/0: not a regular file",
     [](TempDir& d) {
         d.MakeDir("data/styles");
         d.Write("data/markers/m.mkr", MarkerText(19, Repeated("..\\", 32) + "proc\\self\\fd\\0"));
     },
     "/proc, which Windows has not", std::nullopt},
    {"VersionToAFullDevice", {"--version"}, 74, "",
     "quorix-import: write error on standard output: No space left on device", [](TempDir&) {}, nullptr, "",
     ProcessOptions::Output::Full},
    {"BatchLinesToAFullDevice", {"{ex}/lays/W12.LAY", "{ex}/markers/m1.mkr"}, 74, "",
     "quorix-import: write error on standard output: No space left on device", [](TempDir&) {}, nullptr, "",
     ProcessOptions::Output::Full},
    {"HelpToAClosedOutput", {"--help"}, 74, "", "quorix-import: write error on standard output: Bad file descriptor",
     [](TempDir&) {}, nullptr, "", ProcessOptions::Output::Closed},
    {"DumpAndPreviewBothOnStandardOutput", {"--dump", "--preview=-", "{ex}/lays/W12.LAY"}, 64, "",
     "quorix-import: --dump and --preview - would both write to standard output"},
};

INSTANTIATE_TEST_SUITE_P(Rows, ConverterCommandLine, testing::ValuesIn(kCommandCases),
                         [](const testing::TestParamInfo<CommandCase>& info) { return info.param.name; });

struct RefusalCase {
    const char* name;
    std::string content;
    std::string err; // all of standard error, each line after "quorix-import: FILE: "
};

void PrintTo(const RefusalCase& row, std::ostream* out) {
    *out << row.name;
}

class ConverterRefusal : public testing::TestWithParam<RefusalCase> {};

// A refused file: first one verdict in the user's words, then only the readers' reasons that tell more
// (the other reader's reason is -v material), and nothing written.
TEST_P(ConverterRefusal, GivesOneVerdictThenTheReasonsThatHelp) {
    const RefusalCase& c = GetParam();
    TempDir dir;
    const std::string input = dir.Write("in.lay", c.content);
    const ProcessResult r = RunProcess({kConverter, "-o", dir.Path("out"), input});
    EXPECT_EQ(r.exitCode, 65);
    std::string expected;
    for (size_t at = 0, end; at < c.err.size(); at = end + 1) {
        end = c.err.find('\n', at);
        expected += "quorix-import: " + input + ": " + c.err.substr(at, end - at) + "\n";
    }
    EXPECT_EQ(r.err, expected);
    EXPECT_FALSE(TempDir::Exists(dir.Path("out")));
}

const RefusalCase kRefusalCases[] = {
    {"CutOffLay", LayBuilder().Y().Record('A', "xyz").RecordWithLength(30, 'W', "").Bytes(),
     "lay cut off at offset 13\nrun with -v for details\n"},
    {"DamagedLay", LayBuilder().Y().RecordWithLength(3, 'W', "ab").Record('A', std::string(40, 'x')).Bytes(),
     "damaged lay\nlay reader: refused: Lay Record Over-read (record at offset 7 (0x7))\n"
     "run with -v for details\n"},
    {"DamagedMarker", "%7\n0\n",
     "damaged marker\nmarker reader: refused: format version 7 is not supported (the reader takes versions "
     "10, 12, 18 and 19)\nrun with -v for details\n"},
    {"Text", "just some text\n", "not a lay or marker file\nrun with -v for details\n"},
};

INSTANTIATE_TEST_SUITE_P(Files, ConverterRefusal, testing::ValuesIn(kRefusalCases),
                         [](const testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

struct WarningCase {
    const char* name;
    const char* file; // below the case's folder, written with `content`
    std::string content;
    std::string line; // a line on standard error after "quorix-import: {dir}/FILE: "
    bool loss = true; // the import files lose or distort something: shown unless -q, refused by --strict
    const char* notOnWindows = nullptr; // why the case cannot apply to the Windows converter
};

void PrintTo(const WarningCase& row, std::ostream* out) {
    *out << row.name;
}

class ConverterWarning : public testing::TestWithParam<WarningCase> {};

// What the import files lose is said by default, silenced by -q and refused by --strict (the folder keeps
// its older pair); what only looks odd is said with -v. No message changes a byte of the output.
TEST_P(ConverterWarning, IsShownAsItAffectsTheOutput) {
    const WarningCase& c = GetParam();
    QUORIX_SKIP_ON_WINDOWS(c.notOnWindows);
    TempDir dir;
    const std::string style = "%12\n0\n\n\nstyle\n+\nfront\n\nX 2 1 rest\n0\n\n\n0\n\n\n\n\n\n\n";
    dir.Write("data/styles/a.sty", style);
    dir.Write("data/styles/NUL", style); // a plain file where NUL is no device, so that only the name is odd
    const std::string input = dir.Write(c.file, c.content);
    const std::string line = "quorix-import: " + input + ": " + Expand(c.line, dir) + "\n";
    const auto run = [&](const char* option, const char* out) {
        return RunProcess({kConverter, option, "-o", dir.Path(out), input});
    };
    const ProcessResult byDefault = run("--jobs=1", "default");
    const ProcessResult verbose = run("-v", "verbose");
    const ProcessResult quiet = run("-q", "quiet");
    dir.Write("strict/csvimprt.txt", "older definition");
    dir.Write("strict/posimport.txt", "older positions");
    const auto before = TempDir::Snapshot(dir.Path("strict"));
    const ProcessResult strict = run("--strict", "strict");
    for (const ProcessResult* r : {&byDefault, &verbose, &quiet}) {
        EXPECT_EQ(r->exitCode, 0) << r->err;
    }
    EXPECT_NE(verbose.err.find(line), std::string::npos) << verbose.err;
    EXPECT_EQ(byDefault.err.find(line) != std::string::npos, c.loss) << byDefault.err;
    EXPECT_EQ(quiet.err, "");
    EXPECT_EQ(strict.exitCode, c.loss ? 65 : 0) << strict.err;
    if (c.loss) {
        EXPECT_NE(strict.err.find(line), std::string::npos) << strict.err;
        EXPECT_EQ(TempDir::Snapshot(dir.Path("strict")), before);
    }
    for (const std::string file : {"/csvimprt.txt", "/posimport.txt"}) {
        const std::string written = TempDir::ReadFile(dir.Path("default") + file);
        EXPECT_EQ(TempDir::ReadFile(dir.Path("verbose") + file), written);
        EXPECT_EQ(TempDir::ReadFile(dir.Path("quiet") + file), written);
    }
}

const WarningCase kWarningCases[] = {
    {"PlacementOutsideTheNameLists", "a.lay",
     LayBuilder().Y().O({"A"}, {"S"}).P({PlacementSpec{0, 0}, PlacementSpec{0, 3}}).Bytes(),
     "warning: placement 2 is left out of the position file: its piece index 3 lies outside the 1 piece names"},
    {"ManyPlacementsLeftOutAreCounted", "a.lay",
     LayBuilder().Y().O({"A"}, {"S"}).P(std::vector<PlacementSpec>(12, PlacementSpec{0, 3})).Bytes(),
     "warning: ... and 2 more placements left out of the position file"},
    {"NameWithAComma", "a.lay", LayBuilder().Y().O({"FRONT,L"}, {"S"}).Bytes(),
     "warning: piece name 1 \"FRONT,L\" holds a comma: it adds a field to each of its position lines"},
    {"NameWithALineFeed", "a.lay", LayBuilder().Y().O({"A"}, {"S\nX"}).Bytes(),
     "warning: model name 1 \"S\\nX\" holds a line feed: it splits the lines of the import files that carry "
     "it"},
    {"WidthNotANumber", "a.lay", LayBuilder().Y().W(std::nanf("")).Bytes(),
     "warning: the lay width is not a finite number: the definition file's w: line carries no width"},
    {"EmptyInput", "empty.lay", "",
     "warning: the file is empty: the import files hold no model and no placement"},
    {"EarlierStyleFileMissing", "data/markers/m.mkr", MarkerText(19, "gone.sty") + "a.sty\n1\n40\n1\n1\n0\n0\n",
     "warning: style file {made:data/styles/gone.sty} cannot be read: the sizes of its slot get no pieces"},
    {"ZeroWidth", "a.lay", LayBuilder().Y().W(0.0f).Bytes(),
     "the lay width is zero: the definition file's w: line gives no usable width", false},
    {"FileNameWithAComma", "a,b.lay", LayBuilder().Y().Bytes(),
     "the file's name holds a comma: the definition file's o: and m: lines, which carry the order name, hold "
     "it too",
     false},
    {"FileEndsInsideASkippedRecord", "a.lay", LayBuilder().Y().RecordWithLength(100, 'A', "abcde").Bytes(),
     "lay reader: record at offset 7 (0x7): WARNING - File ends inside a skipped record tagged as: 'A'", false},
    {"StyleNameLeavesTheStylesFolder", "data/markers/m.mkr",
     MarkerText(19, "..\\styles\\a.sty") + "a.sty\n1\n40\n1\n1\n0\n0\n",
     "style name \"..\\\\styles\\\\a.sty\" leaves the styles folder", false},
    {"StyleNameIsADevice", "data/markers/m.mkr", MarkerText(19, "NUL") + "a.sty\n1\n40\n1\n1\n0\n0\n",
     "style name \"NUL\" names a device", false, "NUL names a device there"},
};

INSTANTIATE_TEST_SUITE_P(Suspicious, ConverterWarning, testing::ValuesIn(kWarningCases),
                         [](const testing::TestParamInfo<WarningCase>& info) { return info.param.name; });

struct ExampleCase {
    const char* input;
    const char* orderName;
};

// Rows print as their names, so that the test names stay the same from build to build.
void PrintTo(const ExampleCase& row, std::ostream* out) {
    *out << row.orderName;
}

class ConvertsExample : public testing::TestWithParam<ExampleCase> {};

TEST_P(ConvertsExample, WritesTheExpectedImportFiles) {
    TempDir out;
    const ProcessResult r = RunProcess({kConverter, "-o", out.Path(), kExamples + "/" + GetParam().input});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, std::string(GetParam().orderName) + "\n");
    EXPECT_EQ(r.err, "");
    const std::string expected = kExamples + "/expected/" + GetParam().orderName;
    EXPECT_EQ(TempDir::ReadFile(out.Path("csvimprt.txt")), TempDir::ReadFile(expected + "/csvimprt.txt"));
    EXPECT_EQ(TempDir::ReadFile(out.Path("posimport.txt")), TempDir::ReadFile(expected + "/posimport.txt"));
}

INSTANTIATE_TEST_SUITE_P(BundledExamples, ConvertsExample,
                         testing::Values(ExampleCase{"lays/W12.LAY", "W12-LAY"},
                                         ExampleCase{"lays/SKIP-01.LAY", "SKIP-01-LAY"},
                                         ExampleCase{"markers/m1.mkr", "m1-mkr"}),
                         [](const testing::TestParamInfo<ExampleCase>& info) {
                             std::string name = info.param.orderName;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(ConverterFolders, RelativeMarkerPathFindsTheStylesFolderBesideIt) {
    TempDir dir;
    dir.Write("data/markers/m1.mkr", MarkerText(19, "a.sty"));
    dir.Write("data/styles/a.sty", "%12\n0\n\n\nstyle\n+\nfront\n\nX 2 1 rest\n0\n\n\n0\n\n\n\n\n\n\n");
    const ProcessResult r = RunProcess({kConverter, "-o", "../out", "markers/m1.mkr"}, dir.Path("data"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "m1-mkr\n");
    EXPECT_EQ(TempDir::ReadFile(dir.Path("out/csvimprt.txt")),
              "=:model\r\nm:m1-mkr-40\r\np:front\r\ni:2\r\nx:1\r\n=:order\r\no:m1-mkr\r\n"
              "d:quorix marker definition file import\r\nw:55\r\nm:m1-mkr-40\r\nq:1\r\ns:40\r\n");
}

TEST(ConverterFolders, DiagnosticLogOnlyWhenAsked) {
    TempDir dir;
    const std::string input = kExamples + "/lays/W12.LAY";
    ASSERT_EQ(RunProcess({kConverter, "-o", dir.Path("out"), input}, dir.Path()).exitCode, 0);
    EXPECT_FALSE(TempDir::Exists(dir.Path("Log.txt")));
    dir.Write("Log.txt", std::string(200, '-')); // a longer log of an earlier run is replaced, not overwritten
    ASSERT_EQ(RunProcess({kConverter, "--diagnostic-log", "-o", dir.Path("out"), input}, dir.Path()).exitCode, 0);
    EXPECT_EQ(TempDir::ReadFile(dir.Path("Log.txt")),
              "\r\n[   0]Log file for CAD data parser demo [file format investigation support] follows: ");
}
} // namespace
