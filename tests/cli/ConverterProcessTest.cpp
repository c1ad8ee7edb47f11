// The converter as a separate process: outputs, exit codes, messages, and what it leaves behind.
#include "support/LayBuilder.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
const std::string kConverter = QUORIX_CONVERTER;
const std::string kExamples = QUORIX_EXAMPLES_DIR;

ProcessResult Convert(std::vector<std::string> args, const std::string& workingDir = "") {
    args.insert(args.begin(), kConverter);
    return RunProcess(args, workingDir);
}

std::string MarkerText(int version, const std::string& styleName) {
    std::string text =
        "%" + std::to_string(version) + "\n0\n1\n1\n0\n0\n0\n0\n50800000\n1397000\n0\n%\n80\n0\n0\n";
    text += "1.5\nA\nB\nC\n0\n0\n0\n0\n0\n";
    text += styleName + "\n1\n40\n1\n1\n0\n0\n";
    return text;
}
} // namespace

struct ExampleCase {
    const char* input;
    const char* orderName;
};

class ConvertsExample : public testing::TestWithParam<ExampleCase> {};

TEST_P(ConvertsExample, WritesTheExpectedImportFiles) {
    TempDir out;
    const ProcessResult r = Convert({"-o", out.Path(), kExamples + "/" + GetParam().input});
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
                                         ExampleCase{"markers/m1.mkr", "m1-mkr"}));

TEST(ConverterUsage, RefusesBadCommandLinesWithUsageText) {
    const std::vector<std::vector<std::string>> cases = {
        {}, {"--bogus", "x.lay"}, {"a.lay", "b.lay"}, {"-o"}, {"--output-dir=", "a.lay"}};
    for (const auto& args : cases) {
        const ProcessResult r = Convert(args);
        EXPECT_EQ(r.exitCode, 64) << testing::PrintToString(args);
        EXPECT_NE(r.err.find("Usage: quorix-import"), std::string::npos) << testing::PrintToString(args);
        EXPECT_EQ(r.out, "");
    }
}

TEST(ConverterUsage, HelpAndVersionGoToStandardOutput) {
    const ProcessResult help = Convert({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--output-dir DIR"), std::string::npos);
    const ProcessResult version = Convert({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("quorix-import ", 0), 0u);
}

struct ErrorCase {
    const char* name;    // input file name in the folder
    std::string content; // written unless the case is a missing file
    bool missing;
    int exitCode;
    std::vector<std::string> messages; // after "quorix-import: FILE: "; "@" stands for the input's path
};

TEST(ConverterErrors, RefusedInputsGiveTheirStatusAndLeaveTheOutputsAlone) {
    LayBuilder duplicate;
    duplicate.Y().O({"FRONT"}, {"S", "S"}).P({PlacementSpec{0, 0}, PlacementSpec{1, 0}});
    const std::string notInFormat = "File '@' is not in Quorix LayY or Marker format.";
    const std::vector<ErrorCase> cases = {
        {"nothere.lay", "", true, 66, {notInFormat, "cannot read input file: No such file or directory"}},
        {"notes.txt", "just some text\n", false, 65, {notInFormat}},
        {"m.txt",
         MarkerText(11, ""),
         false,
         65,
         {"Marker file m.txt has not supported format ver.11.", notInFormat}},
        {"dup.lay",
         duplicate.Bytes(),
         false,
         65,
         {"There is no position matching an item of CSV definition found: the model name \"S\" is listed "
          "twice (entries 1 and 2)."}},
    };
    for (const ErrorCase& c : cases) {
        TempDir dir;
        const std::string input = c.missing ? dir.Path(c.name) : dir.Write(c.name, c.content);
        dir.Write("out/csvimprt.txt", "old definition");
        dir.Write("out/posimport.txt", "old positions");
        const ProcessResult r = Convert({"-o", dir.Path("out"), input});
        EXPECT_EQ(r.exitCode, c.exitCode) << c.name;
        std::string expected;
        for (std::string message : c.messages) {
            for (size_t at = message.find('@'); at != std::string::npos;
                 at = message.find('@', at + input.size())) {
                message.replace(at, 1, input);
            }
            expected += "quorix-import: " + input + ": " + message + "\n";
        }
        EXPECT_EQ(r.err, expected) << c.name;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(TempDir::ReadFile(dir.Path("out/posimport.txt")), "old positions") << c.name;
        EXPECT_EQ(TempDir::ReadFile(dir.Path("out/csvimprt.txt")), "old definition") << c.name;
    }
}

TEST(ConverterErrors, OutputFolderThatCannotTakeFilesIsCannotCreate) {
    TempDir dir;
    const std::string input = kExamples + "/lays/W12.LAY";
    const std::string file = dir.Write("plain-file", "x");
    for (const std::string& folder : {dir.Path("missing"), file + "/sub"}) {
        const ProcessResult r = Convert({"-o", folder, input});
        EXPECT_EQ(r.exitCode, 73) << folder;
        EXPECT_NE(r.err.find(folder + "/csvimprt.txt: cannot create file"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(TempDir::Exists(dir.Path("missing")));
}

TEST(ConverterFolders, RelativeMarkerPathFindsTheStylesFolderBesideIt) {
    TempDir dir;
    dir.Write("data/markers/m1.mkr", MarkerText(19, "a.sty"));
    dir.Write("data/styles/a.sty", "%12\n0\n\n\nstyle\n+\nfront\n\nX 2 1 rest\n0\n\n\n0\n\n\n\n\n\n\n");
    dir.MakeDir("out");
    const ProcessResult r = Convert({"-o", "../out", "markers/m1.mkr"}, dir.Path("data"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "m1-mkr\n");
    EXPECT_EQ(TempDir::ReadFile(dir.Path("out/csvimprt.txt")),
              "=:model\r\nm:m1-mkr-40\r\np:front\r\ni:2\r\nx:1\r\n=:order\r\no:m1-mkr\r\n"
              "d:quorix marker definition file import\r\nw:55\r\nm:m1-mkr-40\r\nq:1\r\ns:40\r\n");
}

TEST(ConverterFolders, DiagnosticLogOnlyWhenAsked) {
    TempDir dir;
    dir.MakeDir("out");
    const std::string input = kExamples + "/lays/W12.LAY";
    ASSERT_EQ(Convert({"-o", dir.Path("out"), input}, dir.Path()).exitCode, 0);
    EXPECT_FALSE(TempDir::Exists(dir.Path("Log.txt")));
    ASSERT_EQ(Convert({"--diagnostic-log", "-o", dir.Path("out"), input}, dir.Path()).exitCode, 0);
    EXPECT_EQ(TempDir::ReadFile(dir.Path("Log.txt")),
              "\r\n[   0]Log file for CAD data parser demo [file format investigation support] follows: ");
}
