// A host program of the module: it loads the shared library at run time, supplies the host's error log
// function itself, and checks what ImportQuorixFile hands back, reports and writes.
#include "support/LayBuilder.h"
#include "support/TempDir.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {
struct Call {
    int level;
    int code;
    std::string text;
    std::optional<std::string> detail;
};
std::vector<Call> calls;

const std::string kImportDir = QUORIX_IMPORT_DIR;
const std::string kDefinition = kImportDir + "/csvimprt.txt";
const std::string kPosition = kImportDir + "/posimport.txt";
} // namespace

// The host's error log: the module binds to this definition rather than to the stand-in library's.
extern "C" __attribute__((visibility("default"))) void dll_vq_log_error(int level, int code, const char* text,
                                                                        const char* detail) {
    calls.push_back(
        {level, code, text, detail != nullptr ? std::optional<std::string>(detail) : std::nullopt});
}

namespace {
using ImportFunction = int (*)(const char*, char*);

class HostTest : public testing::Test {
protected:
    void SetUp() override {
        calls.clear();
        std::filesystem::remove_all(kImportDir);
        std::filesystem::create_directories(kImportDir);
        ASSERT_EQ(chdir(work.Path().c_str()), 0);
        // Never unloaded, as by the host: the diagnostic log the module creates lives until the process ends.
        module = dlopen(QUORIX_MODULE, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module, nullptr) << dlerror();
        import = reinterpret_cast<ImportFunction>(dlsym(module, "ImportQuorixFile"));
        ASSERT_NE(import, nullptr);
        std::fill(std::begin(name), std::end(name), '@');
    }
    // The import folder lies in the build tree, which other checks walk: nothing planted stays there.
    void TearDown() override { std::filesystem::remove_all(kImportDir); }
    TempDir work;
    void* module = nullptr;
    ImportFunction import = nullptr;
    char name[32];
};

std::string Untouched(size_t from, size_t to) {
    return std::string(to - from, '@');
}
} // namespace

TEST_F(HostTest, LayImportHandsBackTheNameAndWritesBothFiles) {
    const std::string input =
        work.Write("lays/W12.LAY", TempDir::ReadFile(QUORIX_EXAMPLES_DIR "/lays/W12.LAY"));
    ASSERT_EQ(import(input.c_str(), name), 1);
    EXPECT_EQ(std::string(name, 32),
              std::string("W12-LAY\0", 8) + Untouched(8, 20) + '\0' + Untouched(21, 32));
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(TempDir::ReadFile(kDefinition),
              TempDir::ReadFile(QUORIX_EXAMPLES_DIR "/expected/W12-LAY/csvimprt.txt"));
    EXPECT_EQ(TempDir::ReadFile(kPosition),
              TempDir::ReadFile(QUORIX_EXAMPLES_DIR "/expected/W12-LAY/posimport.txt"));
}

// The order name is cut to 20 characters; a NUL follows it and stands at index 20, and the bytes between
// the two are left as they were (here by the first import). An empty file is an empty lay.
TEST_F(HostTest, OrderNameIsCutTo20CharactersAndLeavesTheBytesBeforeIndex20) {
    const std::string longName = work.Write("x/twenty-five.chars#name.L", LayBuilder().Y().Bytes());
    ASSERT_EQ(import(longName.c_str(), name), 1);
    EXPECT_EQ(std::string(name, 22), std::string("twenty-five-chars-na\0@", 22));
    ASSERT_EQ(import(work.Write("abc", "").c_str(), name), 1);
    EXPECT_EQ(std::string(name, 22), std::string("abc\0ty-five-chars-na\0@", 22));
    EXPECT_EQ(TempDir::ReadFile(kDefinition),
              "=:order\r\no:abc\r\nd:quorix lay Y file import\r\nw:55000\r\n");
    EXPECT_EQ(TempDir::ReadFile(kPosition), "");
}

TEST_F(HostTest, FileInNeitherFormatIsReportedOnceWithItsBaseName) {
    const std::string input = work.Write("in/notes.txt", "plain text\n");
    std::filesystem::remove_all(kImportDir);
    ASSERT_EQ(import(input.c_str(), name), 0);
    EXPECT_EQ(std::string(name, 32), std::string(32, '@'));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].level, 3);
    EXPECT_EQ(calls[0].code, 22000);
    EXPECT_EQ(calls[0].text, "File '" + input + "' is not in Quorix LayY or Marker format.");
    EXPECT_EQ(calls[0].detail, std::optional<std::string>("notes.txt"));
}

TEST_F(HostTest, EmptyPathIsReportedAndCreatesNoDiagnosticLog) {
    ASSERT_EQ(import("", name), 0);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text, "File '' is not in Quorix LayY or Marker format.");
    EXPECT_EQ(calls[0].detail, std::optional<std::string>(""));
    EXPECT_FALSE(TempDir::Exists(work.Path("Log.txt")));
}

TEST_F(HostTest, UnsupportedMarkerVersionIsReportedBeforeTheFormatMessage) {
    const std::string input = work.Write("m.txt", "%11\n0\n");
    ASSERT_EQ(import(input.c_str(), name), 0);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].text, "Marker file m.txt has not supported format ver.11.");
    EXPECT_FALSE(calls[0].detail.has_value());
    EXPECT_EQ(calls[0].level, 3);
    EXPECT_EQ(calls[0].code, 22000);
    EXPECT_EQ(calls[1].text, "File '" + input + "' is not in Quorix LayY or Marker format.");
    EXPECT_EQ(calls[1].detail, std::optional<std::string>("m.txt"));
}

TEST_F(HostTest, FirstOpenCreatesTheDiagnosticLogOnce) {
    const std::string input = work.Write("a.lay", LayBuilder().Y().Bytes());
    ASSERT_EQ(import(input.c_str(), name), 1);
    const std::string log =
        "\r\n[   0]Log file for CAD data parser demo [file format investigation support] follows: ";
    EXPECT_EQ(TempDir::ReadFile(work.Path("Log.txt")), log);
    // A second import neither empties nor extends it, even after the file was changed meanwhile.
    work.Write("Log.txt", "kept");
    ASSERT_EQ(import(input.c_str(), name), 1);
    EXPECT_EQ(TempDir::ReadFile(work.Path("Log.txt")), "kept");
}

TEST_F(HostTest, MissingOutputFolderStillImports) {
    std::filesystem::remove_all(kImportDir);
    const std::string input = work.Write("b.lay", LayBuilder().Y().Bytes());
    ASSERT_EQ(import(input.c_str(), name), 1);
    EXPECT_STREQ(name, "b-lay");
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(TempDir::Exists(kImportDir));
}

TEST_F(HostTest, PositionErrorReachesTheHostAfterTheDefinitionFile) {
    LayBuilder lay;
    lay.Y().O({"FRONT"}, {"S", "S"}).P({PlacementSpec{0, 0}, PlacementSpec{1, 0}});
    const std::string input = work.Write("dup.lay", lay.Bytes());
    std::filesystem::copy_file(QUORIX_EXAMPLES_DIR "/expected/W12-LAY/posimport.txt", kPosition);
    bool thrown = false;
    try {
        import(input.c_str(), name);
    } catch (...) {
        thrown = true;
    }
    EXPECT_TRUE(thrown);
    EXPECT_EQ(std::string(name, 32), std::string(32, '@'));
    EXPECT_EQ(TempDir::ReadFile(kPosition), "");
    EXPECT_EQ(
        TempDir::ReadFile(kDefinition),
        "=:model\r\nm:dup-lay-S\r\np:FRONT\r\ni:1\r\n=:model\r\nm:dup-lay-S\r\np:FRONT\r\ni:1\r\n=:order\r\n"
        "o:dup-lay\r\nd:quorix lay Y file import\r\nw:55000\r\nm:dup-lay-S\r\nq:1\r\ns:S\r\nm:dup-lay-S\r\n"
        "q:1\r\ns:S\r\n");
}

TEST(ShippedModule, ReportsThroughTheHostsOwnLogFunction) {
    calls.clear();
    const TempDir work; // where the module's diagnostic log goes
    ASSERT_EQ(chdir(work.Path().c_str()), 0);
    void* module = dlopen(QUORIX_SHIPPED_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    const auto import = reinterpret_cast<ImportFunction>(dlsym(module, "ImportQuorixFile"));
    ASSERT_NE(import, nullptr);
    char name[21] = {};
    EXPECT_EQ(import("/nonexistent/folder/x.lay", name), 0);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].detail, std::optional<std::string>("x.lay"));
}

// The module never waits on a pipe: a FIFO as the input is a file it cannot open, and a FIFO where the
// definition file goes is left alone while the position file is put in place. An alarm ends the test if
// anything waits.
TEST_F(HostTest, NothingWaitsOnAFifo) {
    const std::string lay =
        work.Write("lays/W12.LAY", TempDir::ReadFile(QUORIX_EXAMPLES_DIR "/lays/W12.LAY"));
    TempDir::WriteFile(kPosition, "old positions");
    ASSERT_EQ(mkfifo(work.Path("in.lay").c_str(), 0666), 0);
    ASSERT_EQ(mkfifo(kDefinition.c_str(), 0666), 0);
    alarm(20);
    EXPECT_EQ(import(work.Path("in.lay").c_str(), name), 0);
    EXPECT_EQ(TempDir::ReadFile(kPosition), "old positions");
    EXPECT_EQ(import(lay.c_str(), name), 1);
    alarm(0);
    EXPECT_TRUE(std::filesystem::is_fifo(kDefinition));
    EXPECT_EQ(TempDir::ReadFile(kPosition),
              TempDir::ReadFile(QUORIX_EXAMPLES_DIR "/expected/W12-LAY/posimport.txt"));
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(kImportDir), std::filesystem::directory_iterator()),
        2); // the two import files and nothing else
}
