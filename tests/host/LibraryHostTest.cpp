// A library host written against quorix_import: it loads the module at run time and checks each status,
// the result's fields, and that the output folder holds a new pair or is exactly as it was.
#include "entry/ImportQuorixFile.h"
#include "support/LayBuilder.h"
#include "support/MarkerBuilder.h"
#include "support/TempDir.h"

#include <dlfcn.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>

namespace {
using LibraryImport = int (*)(const char*, const char*, quorix_result*);

const std::string kExamples = QUORIX_EXAMPLES_DIR;

std::string Expected(const std::string& orderName, const std::string& file) {
    return TempDir::ReadFile(kExamples + "/expected/" + orderName + "/" + file);
}

LibraryImport LoadImport() {
    void* module = dlopen(QUORIX_MODULE, RTLD_NOW | RTLD_LOCAL);
    return module != nullptr ? reinterpret_cast<LibraryImport>(dlsym(module, "quorix_import")) : nullptr;
}

struct LibraryCase {
    const char* name;
    std::function<std::string(const TempDir&)> input; // writes the input, returns its path
    int status;
    int systemError;
    const char* orderName;
    std::string message;            // "{dir}" stands for the case's folder
    const char* expected = nullptr; // the bundled example whose pair is written, if one is
    const char* outDir = "out";
};

void PrintTo(const LibraryCase& row, std::ostream* out) {
    *out << row.name;
}

std::string Replaced(std::string text, const std::string& dir) {
    const size_t at = text.find("{dir}");
    return at == std::string::npos ? text : text.replace(at, 5, dir);
}

class LibraryHost : public testing::TestWithParam<LibraryCase> {};

TEST_P(LibraryHost, GivesTheStatusAndWritesThePairWholeOrNotAtAll) {
    const LibraryCase& c = GetParam();
    const TempDir dir;
    ASSERT_EQ(chdir(dir.Path().c_str()), 0);
    const LibraryImport import = LoadImport();
    ASSERT_NE(import, nullptr) << dlerror();
    dir.Write("out/csvimprt.txt", "older definition");
    dir.Write("out/posimport.txt", "older positions");
    const auto before = TempDir::Snapshot(dir.Path("out"));
    const std::string input = c.input(dir);
    quorix_result result;
    std::memset(&result, '@', sizeof result);
    EXPECT_EQ(import(input.c_str(), dir.Path(c.outDir).c_str(), &result), c.status);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.system_error, c.systemError);
    EXPECT_STREQ(result.order_name, c.orderName);
    EXPECT_EQ(result.message, Replaced(c.message, dir.Path()));
    if (c.expected != nullptr) {
        EXPECT_EQ(TempDir::ReadFile(dir.Path("out/csvimprt.txt")), Expected(c.expected, "csvimprt.txt"));
        EXPECT_EQ(TempDir::ReadFile(dir.Path("out/posimport.txt")), Expected(c.expected, "posimport.txt"));
    } else {
        EXPECT_EQ(TempDir::Snapshot(dir.Path("out")) == before, c.status != QUORIX_IMPORTED);
    }
    EXPECT_FALSE(TempDir::Exists(dir.Path("Log.txt")));
    // Without a result to fill, the call still returns its status.
    EXPECT_EQ(import(input.c_str(), dir.Path(c.outDir).c_str(), nullptr), c.status);
}

std::string Example(const TempDir& dir, const std::string& file) {
    return dir.Write("data/" + file, TempDir::ReadFile(kExamples + "/" + file));
}

const LibraryCase kLibraryCases[] = {
    {"LayImported", [](const TempDir& d) { return Example(d, "lays/W12.LAY"); }, QUORIX_IMPORTED, 0,
     "W12-LAY", "", "W12-LAY"},
    {"LossyLayImportedWithItsFirstWarning",
     [](const TempDir& d) {
         return d.Write(
             "lossy.lay",
             LayBuilder().Y().O({"FRONT,L"}, {"S"}).P({PlacementSpec{0, 0}, PlacementSpec{5, 0}}).Bytes());
     },
     QUORIX_IMPORTED, 0, "lossy-lay",
     "warning: placement 2 is left out of the position file: its model index 5 lies outside the 1 model "
     "names "
     "(2 warnings in all)"},
    {"PositionError",
     [](const TempDir& d) {
         return d.Write(
             "dup.lay",
             LayBuilder().Y().O({"FRONT"}, {"S", "S"}).P({PlacementSpec{0, 0}, PlacementSpec{1, 0}}).Bytes());
     },
     QUORIX_POSITION_ERROR, 0, "",
     "There is no position matching an item of CSV definition found: the model name \"S\" is listed twice "
     "(entries 1 and 2)."},
    {"MissingInput", [](const TempDir& d) { return d.Path("gone.lay"); }, QUORIX_CANNOT_READ, ENOENT, "",
     "cannot read input file: No such file or directory"},
    {"EmptyPath", [](const TempDir&) { return std::string(); }, QUORIX_CANNOT_READ, ENOENT, "",
     "cannot read input file: No such file or directory"},
    {"TextFile", [](const TempDir& d) { return d.Write("notes.txt", "plain text\n"); }, QUORIX_NOT_IN_FORMAT,
     0, "", "not a lay or marker file"},
    {"CutOffLay",
     [](const TempDir& d) {
         return d.Write("cut.lay", LayBuilder().Y().RecordWithLength(41, 'W', "abc").Bytes());
     },
     QUORIX_NOT_IN_FORMAT, 0, "", "lay cut off at offset 7"},
    {"MarkerWithoutItsLastStyle",
     [](const TempDir& d) {
         d.MakeDir("data/styles");
         // Enough styles to be read by parts at the same time, none of which may leave a Log.txt.
         MarkerBuilder marker(19);
         for (int style = 0; style < 31; ++style) {
             marker.Slot("s" + std::to_string(style), {{40, "1", 1}});
         }
         marker.Slot("gone.sty", {{40, "1", 1}}).Truncate();
         return d.Write("data/markers/m.mkr", marker.Text());
     },
     QUORIX_STYLE_MISSING, 0, "",
     "cannot read style file {dir}/data/styles/gone.sty: No such file or directory"},
    {"MissingOutputFolder", [](const TempDir& d) { return Example(d, "lays/W12.LAY"); }, QUORIX_CANNOT_WRITE,
     ENOENT, "", "{dir}/gone/csvimprt.txt: cannot create file: No such file or directory", nullptr, "gone"},
};

INSTANTIATE_TEST_SUITE_P(Rows, LibraryHost, testing::ValuesIn(kLibraryCases),
                         [](const testing::TestParamInfo<LibraryCase>& info) { return info.param.name; });

// A folder its user may not write: the call is made as a user to whom the permissions apply (root in a
// child process that has given up its rights).
TEST(LibraryHostFolders, AReadOnlyFolderIsCannotWriteWithTheSystemsReason) {
    const TempDir dir;
    const LibraryImport import = LoadImport();
    ASSERT_NE(import, nullptr) << dlerror();
    const std::string input = dir.Write("W12.LAY", TempDir::ReadFile(kExamples + "/lays/W12.LAY"));
    const std::string out = dir.MakeDir("out");
    std::filesystem::permissions(dir.Path(), std::filesystem::perms(0755));
    std::filesystem::permissions(input, std::filesystem::perms(0644));
    std::filesystem::permissions(out, std::filesystem::perms(0555));
    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
            _exit(126);
        }
        quorix_result result;
        import(input.c_str(), out.c_str(), &result);
        _exit(write(channel[1], &result, sizeof result) == static_cast<ssize_t>(sizeof result) ? 0 : 125);
    }
    close(channel[1]);
    quorix_result result{};
    const ssize_t got = read(channel[0], &result, sizeof result);
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_EQ(got, static_cast<ssize_t>(sizeof result)) << "child status " << status;
    EXPECT_EQ(result.status, QUORIX_CANNOT_WRITE);
    EXPECT_EQ(result.system_error, EACCES);
    EXPECT_EQ(std::string(result.message), out + "/csvimprt.txt: cannot create file: Permission denied");
    EXPECT_TRUE(std::filesystem::is_empty(out));
}

} // namespace
