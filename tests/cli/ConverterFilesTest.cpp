// What the converter does to the files around it when things go wrong: planted links, FIFOs, folders and
// read-only files where the import files go, streamed inputs, a full or closed standard output, a full
// disk and a stop signal. Each case checks the exit status, the message, that nothing waits, and what
// was left in the output folder (and in a link's target).
#include "OnWindows.h"
#include "support/LayBuilder.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace {
namespace fs = std::filesystem;

const std::string kConverter = QUORIX_CONVERTER;
const std::string kExamples = QUORIX_EXAMPLES_DIR;
const std::string kPrecious = "bytes that must survive";
// What a dangling link points at: writing through the link would make it.
const char* const kNeverMade = "made-through-a-link.txt";

std::string ExpectedW12(const std::string& file) {
    return TempDir::ReadFile(kExamples + "/expected/W12-LAY/" + file);
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

// Temporary files of a writer ("." + name + ... + ".tmp") left in a folder.
std::vector<std::string> TemporaryFilesIn(const std::string& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0) {
            found.push_back(entry.path().string());
        }
    }
    return found;
}

// A folder with an output folder "out" holding an older pair, a file outside it that links may point at,
// and the inputs of a case.
struct Scene {
    TempDir dir;
    std::string out = dir.MakeDir("out");
    std::string victim = dir.Write("victim.txt", kPrecious);
    std::string input = kExamples + "/lays/W12.LAY";
    ProcessOptions options;

    Scene() {
        dir.Write("out/csvimprt.txt", "old definition");
        dir.Write("out/posimport.txt", "old positions");
    }
    std::string Out(const std::string& name) const { return out + "/" + name; }
    void Link(const std::string& name, const std::string& target) const {
        fs::remove(Out(name));
        fs::create_symlink(target, Out(name));
    }
    void Fifo(const std::string& path) const {
        fs::remove_all(path);
        ASSERT_EQ(mkfifo(path.c_str(), 0666), 0);
    }
    // Runs the converter as a user to whom file permissions apply, in a tree that user can walk.
    void Unprivileged() {
        options.unprivileged = !kOnWindows; // Wine runs programs only as the user of its prefix
        fs::permissions(dir.Path(), fs::perms(0755));
        fs::permissions(out, fs::perms(0777));
    }
};

// What a case expects of the output folder afterwards.
enum class After {
    NewPair,   // both import files are regular files with the new bytes
    Unchanged, // the folder is exactly as before
};

struct FileCase {
    const char* name;
    std::function<void(Scene&)> plant;
    int exitCode;
    const char* firstError; // part of the first line on standard error; empty: nothing on it
    After after;
    const char* notOnWindows = nullptr; // why the case cannot apply to the Windows converter
};

// Rows print as their names, so that the test names stay the same from build to build.
void PrintTo(const FileCase& row, std::ostream* out) {
    *out << row.name;
}

class ConverterOutputFiles : public testing::TestWithParam<FileCase> {};

TEST_P(ConverterOutputFiles, ReplacesBothOrNeitherAndNeverWritesThroughALink) {
    const FileCase& c = GetParam();
    QUORIX_SKIP_ON_WINDOWS(c.notOnWindows);
    Scene scene;
    c.plant(scene);
    const auto before = TempDir::Snapshot(scene.out);
    const ProcessResult r = RunProcess({kConverter, "-o", scene.out, scene.input}, scene.options);
    ASSERT_FALSE(r.timedOut) << "the converter waited";
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    if (*c.firstError == '\0') {
        EXPECT_EQ(r.err, "");
    } else {
        EXPECT_NE(FirstLine(r.err).find(AsMade(c.firstError)), std::string::npos) << r.err;
    }
    EXPECT_EQ(TempDir::ReadFile(scene.victim), kPrecious);
    EXPECT_FALSE(TempDir::Exists(scene.dir.Path(kNeverMade)));
    EXPECT_EQ(TemporaryFilesIn(scene.dir.Path()), std::vector<std::string>());
    if (c.after == After::Unchanged) {
        EXPECT_EQ(TempDir::Snapshot(scene.out), before);
    } else {
        for (const std::string file : {"csvimprt.txt", "posimport.txt"}) {
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(scene.Out(file)))) << file;
            EXPECT_EQ(TempDir::ReadFile(scene.Out(file)), ExpectedW12(file)) << file;
        }
    }
}

const FileCase kFileCases[] = {
    {"DefinitionFileIsALinkToAnotherFile", [](Scene& s) { s.Link("csvimprt.txt", s.victim); }, 0, "",
     After::NewPair, kNoLinks},
    {"PositionFileIsALinkToAnotherFile", [](Scene& s) { s.Link("posimport.txt", "../victim.txt"); }, 0, "",
     After::NewPair, kNoLinks},
    {"DefinitionFileIsADanglingLink", [](Scene& s) { s.Link("csvimprt.txt", s.dir.Path(kNeverMade)); }, 0,
     "", After::NewPair, kNoLinks},
    {"DefinitionFileIsALinkToTheFullDevice", [](Scene& s) { s.Link("csvimprt.txt", "/dev/full"); }, 0, "",
     After::NewPair, kNoLinks},
    {"DefinitionFileIsAFolder",
     [](Scene& s) {
         fs::remove(s.Out("csvimprt.txt"));
         s.dir.MakeDir("out/csvimprt.txt");
     },
     73, "/out/csvimprt.txt: cannot create file: Is a directory", After::Unchanged},
    {"PositionFileIsAFolder",
     [](Scene& s) {
         fs::remove(s.Out("posimport.txt"));
         s.dir.MakeDir("out/posimport.txt");
     },
     73, "/out/posimport.txt: cannot create file: Is a directory", After::Unchanged},
    {"DefinitionFileIsAFifo", [](Scene& s) { s.Fifo(s.Out("csvimprt.txt")); }, 73,
     "/out/csvimprt.txt: cannot create file: not a regular file", After::Unchanged, kNoFifos},
    {"PositionFileIsAFifo", [](Scene& s) { s.Fifo(s.Out("posimport.txt")); }, 73,
     "/out/posimport.txt: cannot create file: not a regular file", After::Unchanged, kNoFifos},
    {"DefinitionFileIsReadOnly",
     [](Scene& s) {
         s.Unprivileged();
         fs::permissions(s.Out("csvimprt.txt"), fs::perms(0444));
     },
     73, "/out/csvimprt.txt: cannot create file: Permission denied", After::Unchanged},
    {"OutputFolderIsReadOnly",
     [](Scene& s) {
         s.Unprivileged();
         fs::permissions(s.out, fs::perms(0555));
     },
     73, "/out/csvimprt.txt: cannot create file: Permission denied", After::Unchanged, kNoModes},
    {"OutputFolderIsMissing", [](Scene& s) { s.out = s.dir.Path("made/by/the/converter"); }, 0, "",
     After::NewPair},
    {"PlacementsDisagreeWithTheirCounts",
     [](Scene& s) {
         LayBuilder duplicate;
         duplicate.Y().O({"FRONT", "FRONT"}, {"S"}).P({PlacementSpec{0, 0}, PlacementSpec{0, 1}});
         s.input = s.dir.Write("dup.lay", duplicate.Bytes());
     },
     65, "the piece name \"FRONT\" is listed twice (entries 1 and 2)", After::Unchanged},
};

INSTANTIATE_TEST_SUITE_P(Planted, ConverterOutputFiles, testing::ValuesIn(kFileCases),
                         [](const testing::TestParamInfo<FileCase>& info) { return info.param.name; });

TEST(ConverterOutputFiles, ThePreviousFilePermissionsStay) {
    QUORIX_SKIP_ON_WINDOWS(kNoModes);
    Scene scene;
    fs::permissions(scene.Out("csvimprt.txt"), fs::perms(0640));
    ASSERT_EQ(RunProcess({kConverter, "-o", scene.out, scene.input}).exitCode, 0);
    EXPECT_EQ(fs::status(scene.Out("csvimprt.txt")).permissions() & fs::perms::all, fs::perms(0640));
    EXPECT_EQ(TempDir::ReadFile(scene.Out("csvimprt.txt")), ExpectedW12("csvimprt.txt"));
}

// An output folder on a file system too small for the pair: the write fails with the disk full, and the
// folder keeps its older pair.
TEST(ConverterOutputFiles, AFullDiskLeavesTheFolderAsItWas) {
    Scene scene;
    const std::string tiny = scene.dir.MakeDir("tiny");
    if (mount("quorix-test", tiny.c_str(), "tmpfs", 0, "size=16k") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno)
                     << "); needs root and a mount namespace that allows it";
    }
    struct Unmount {
        std::string path;
        ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
    } unmount{tiny};
    std::vector<PlacementSpec> placed(400, PlacementSpec{0, 0, false, 1, false, 90.0f, 1234.5f, 678.25f});
    const std::string lay = scene.dir.Write("large.lay", LayBuilder().Y().O({"FRONT"}, {"S"}).P(placed).Bytes());
    std::ofstream(tiny + "/csvimprt.txt") << "old definition";
    std::ofstream(tiny + "/posimport.txt") << "old positions";
    const auto before = TempDir::Snapshot(tiny);
    const ProcessResult r = RunProcess({kConverter, "-o", tiny, lay});
    EXPECT_EQ(r.exitCode, 74) << r.err;
    EXPECT_NE(
        FirstLine(r.err).find(AsMade("/tiny/posimport.txt: cannot write file: No space left on device")),
        std::string::npos)
        << r.err;
    EXPECT_EQ(TempDir::Snapshot(tiny), before);
}

// A named pipe with a writer is read once, whole, and imported as the file named by --name.
TEST(ConverterInputs, ANamedPipeIsReadOnce) {
    QUORIX_SKIP_ON_WINDOWS(kNoFifos);
    Scene scene;
    const std::string fifo = scene.dir.Path("in.lay");
    scene.Fifo(fifo);
    std::thread feeder([fifo] {
        std::ofstream(fifo, std::ios::binary) << TempDir::ReadFile(kExamples + "/lays/W12.LAY");
    });
    const ProcessResult r = RunProcess({kConverter, "-o", scene.out, "--name=W12.LAY", fifo}, scene.options);
    feeder.join();
    ASSERT_FALSE(r.timedOut) << "the converter waited";
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "W12-LAY\n");
    for (const std::string file : {"csvimprt.txt", "posimport.txt"}) {
        EXPECT_EQ(TempDir::ReadFile(scene.Out(file)), ExpectedW12(file)) << file;
    }
}

TEST(ConverterDiagnosticLog, ALinkNamedLogTxtIsNeverFollowed) {
    QUORIX_SKIP_ON_WINDOWS(kNoLinks);
    Scene scene;
    fs::create_symlink(scene.victim, scene.dir.Path("Log.txt"));
    scene.options.workingDir = scene.dir.Path();
    const ProcessResult r =
        RunProcess({kConverter, "--diagnostic-log", "-o", scene.out, scene.input}, scene.options);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(TempDir::ReadFile(scene.victim), kPrecious);
    EXPECT_TRUE(fs::is_symlink(scene.dir.Path("Log.txt")));
}

// --each gives a script the same layout whatever its glob matched: DIR/NAME/ for one file as for several.
TEST(ConverterBatch, EachWritesASingleFileIntoItsOwnFolder) {
    TempDir dir;
    const ProcessResult r = RunProcess({kConverter, "--each", "-o", dir.Path("out"), kExamples + "/lays/W12.LAY"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "W12-LAY\tlay\t2\t5\tok\n");
    EXPECT_FALSE(TempDir::Exists(dir.Path("out/csvimprt.txt")));
    for (const std::string file : {"csvimprt.txt", "posimport.txt"}) {
        EXPECT_EQ(TempDir::ReadFile(dir.Path("out/W12-LAY/" + file)), ExpectedW12(file));
    }
}

// A stop signal while a batch waits for its third input (a named pipe without a writer): the two files
// converted before it have their complete pairs, nothing else is left, and the status is that of SIGINT.
TEST(ConverterBatch, AStopSignalLeavesOnlyCompletePairs) {
    QUORIX_SKIP_ON_WINDOWS("a stop by SIGINT and a named pipe; on Windows Ctrl-C comes through the console");
    Scene scene;
    scene.Fifo(scene.dir.Path("waits.lay"));
    const std::string out = scene.dir.MakeDir("batch");
    scene.options.interruptWhen = [&] {
        return fs::exists(out + "/W12-LAY/posimport.txt") && fs::exists(out + "/m1-mkr/posimport.txt");
    };
    const ProcessResult r =
        RunProcess({kConverter, "-o", out, kExamples + "/lays/W12.LAY", kExamples + "/markers/m1.mkr",
                    scene.dir.Path("waits.lay"), kExamples + "/lays/SKIP-01.LAY"},
                   scene.options);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 130) << r.err;
    EXPECT_EQ(r.out, "W12-LAY\tlay\t2\t5\tok\nm1-mkr\tmarker\t3\t0\tok\n");
    std::vector<std::string> folders;
    for (const auto& entry : fs::directory_iterator(out)) {
        folders.push_back(entry.path().filename().string());
    }
    std::sort(folders.begin(), folders.end());
    EXPECT_EQ(folders, (std::vector<std::string>{"W12-LAY", "m1-mkr"}));
    for (const std::string name : {"W12-LAY", "m1-mkr"}) {
        for (const std::string file : {"/csvimprt.txt", "/posimport.txt"}) {
            EXPECT_EQ(TempDir::ReadFile(out + "/" + name + file),
                      TempDir::ReadFile(kExamples + "/expected/" + name + file));
        }
    }
    EXPECT_EQ(TemporaryFilesIn(out), std::vector<std::string>());
}
} // namespace
