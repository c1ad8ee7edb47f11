// What the converter does to the files around it when things go wrong or others get in its way: planted
// links, FIFOs, folders and read-only files where the import files go, a neighbour who swaps the new file
// for a link, another user's files, a second converter in the same folder, streamed inputs without end,
// resource limits, a full disk and stop signals. Each case checks the exit status, the message, that
// nothing waits, and what was left in the output folder (and in a link's target).
#include "OnWindows.h"
#include "support/LayBuilder.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
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

// Root replacing another user's pair: each file keeps its owner, group and permissions exactly.
TEST(ConverterOutputFiles, OwnerGroupAndPermissionsStayExactly) {
    QUORIX_SKIP_ON_WINDOWS(kNoModes);
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root, to replace the files of another user";
    }
    for (const unsigned mode : {0600u, 0000u, 0640u, 02644u}) {
        Scene scene;
        for (const char* file : {"csvimprt.txt", "posimport.txt"}) {
            ASSERT_EQ(chown(scene.Out(file).c_str(), UnprivilegedUserId(), UnprivilegedUserId()), 0);
            ASSERT_EQ(chmod(scene.Out(file).c_str(), mode), 0);
        }
        const ProcessResult r = RunProcess({kConverter, "-o", scene.out, scene.input});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        for (const char* file : {"csvimprt.txt", "posimport.txt"}) {
            struct stat info {};
            ASSERT_EQ(lstat(scene.Out(file).c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 07777, mode) << file << " " << std::oct << mode;
            EXPECT_EQ(static_cast<int>(info.st_uid), UnprivilegedUserId()) << file;
            EXPECT_EQ(static_cast<int>(info.st_gid), UnprivilegedUserId()) << file;
            EXPECT_EQ(TempDir::ReadFile(scene.Out(file)), ExpectedW12(file)) << file;
        }
    }
}

// Another conversion holds the folder (its lock is taken here, as a converter holds it): the converter waits
// as long as --wait says, then gives up with nothing written; a stop signal ends the wait at once.
TEST(ConverterNeighbours, AFolderHeldByAnotherIsWaitedForThenLeftAlone) {
    QUORIX_SKIP_ON_WINDOWS("the lock of a folder is a named mutex on Windows");
    Scene scene;
    const int held = open(scene.out.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    const auto before = TempDir::Snapshot(scene.out);
    const ProcessResult waited = RunProcess({kConverter, "--wait=1", "-o", scene.out, scene.input});
    EXPECT_EQ(waited.exitCode, 75) << waited.err;
    EXPECT_NE(waited.err.find("another conversion kept writing into this folder"), std::string::npos)
        << waited.err;
    ProcessOptions options;
    options.interruptWhen = [start = std::chrono::steady_clock::now()] {
        return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(300);
    };
    const ProcessResult stopped = RunProcess({kConverter, "-o", scene.out, scene.input}, options);
    EXPECT_EQ(stopped.exitCode, 130) << stopped.err;
    EXPECT_EQ(stopped.err, "");
    EXPECT_LT(stopped.secondsAfterInterrupt, 1.0);
    EXPECT_EQ(TempDir::Snapshot(scene.out), before);
    close(held);
}

// What a killed conversion left behind (a temporary file of its own naming) is removed by the next one,
// which says so with -v; files of other names stay.
TEST(ConverterNeighbours, TemporaryFilesOfAKilledRunAreRemoved) {
    Scene scene;
    const std::string left = scene.dir.Write("out/.csvimprt.txt.3039-0-a1b2c3.tmp", "half a definition");
    const std::string foreign[] = {scene.dir.Write("out/.csvimprt.txt.mine.tmp", "not the converter's"),
                                   scene.dir.Write("out/.posimport.txt.cafe.tmp", "nor this")};
    const auto past = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (const std::string& file : {left, foreign[0], foreign[1]}) {
        fs::last_write_time(file, past);
    }
    const ProcessResult r = RunProcess({kConverter, "-v", "-o", scene.out, scene.input});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(TempDir::Exists(left));
    EXPECT_TRUE(TempDir::Exists(foreign[0]) && TempDir::Exists(foreign[1]));
    EXPECT_NE(r.err.find("removed 1 temporary file(s) that an interrupted conversion left"), std::string::npos)
        << r.err;
}

// A user replacing a pair whose definition file belongs to another user, who may write it but not read it:
// the system refuses it a second name (protected hard links) and it cannot be copied, so it could not be
// put back: nothing is replaced, and the message says why.
TEST(ConverterNeighbours, AnOldFileThatCannotBeKeptIsNotReplaced) {
    QUORIX_SKIP_ON_WINDOWS(kNoModes);
    if (geteuid() != 0 || TempDir::ReadFile("/proc/sys/fs/protected_hardlinks") != "1\n") {
        GTEST_SKIP() << "needs root and protected hard links";
    }
    Scene scene;
    scene.Unprivileged();
    chmod(scene.Out("csvimprt.txt").c_str(), 0622);
    chown(scene.Out("posimport.txt").c_str(), UnprivilegedUserId(), UnprivilegedUserId());
    const auto before = TempDir::Snapshot(scene.out);
    const ProcessResult r = RunProcess({kConverter, "-o", scene.out, scene.input}, scene.options);
    EXPECT_EQ(r.exitCode, 74) << r.err;
    EXPECT_NE(r.err.find("/out/csvimprt.txt: cannot keep the present file for putting it back, so nothing was "
                         "replaced: Permission denied"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(TempDir::Snapshot(scene.out), before);
}

// Resource limits and stop signals end the converter with an exit status, never with a signal, and leave
// the folder as it was: a file-size limit fails the write; an input without end is stopped by SIGINT
// within a second, refused past --max-input, and refused or out of memory under an address-space limit.
struct LimitCase {
    const char* name;
    std::vector<std::string> options;
    std::vector<std::pair<int, unsigned long long>> limits;
    bool endless;     // standard input never ends
    bool interrupted; // SIGINT after 200 ms
    std::vector<int> exitCodes;
    const char* error; // part of standard error; empty: nothing on it
};

void PrintTo(const LimitCase& row, std::ostream* out) {
    *out << row.name;
}

class ConverterLimits : public testing::TestWithParam<LimitCase> {};

TEST_P(ConverterLimits, EndInAStatusWithTheFolderAsItWas) {
    const LimitCase& c = GetParam();
    QUORIX_SKIP_ON_WINDOWS("POSIX resource limits and signals");
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    if (!c.limits.empty() && c.limits.front().first == RLIMIT_AS) {
        GTEST_SKIP() << "a sanitizer reserves more address space than the limit";
    }
#endif
    if (QUORIX_CONVERTER_EMULATED && !c.limits.empty() && c.limits.front().first == RLIMIT_AS) {
        GTEST_SKIP() << "the emulator reserves more address space than the limit";
    }
    Scene scene;
    // A position file of about 110 KiB, in records of 600 placements.
    LayBuilder lay;
    lay.Y().O({"FRONT"}, {"S"});
    for (int record = 0; record < 5; ++record) {
        lay.P(std::vector<PlacementSpec>(600, PlacementSpec{0, 0, false, 1, false, 90.0f, 1234.5f, 678.25f}));
    }
    scene.input = scene.dir.Write("large.lay", lay.Bytes());
    const auto before = TempDir::Snapshot(scene.out);
    std::vector<std::string> argv = {kConverter, "-o", scene.out};
    argv.insert(argv.end(), c.options.begin(), c.options.end());
    argv.push_back(c.endless ? "-" : scene.input);
    scene.options.limits = c.limits;
    scene.options.endlessInput = c.endless;
    if (c.interrupted) {
        scene.options.interruptWhen = [start = std::chrono::steady_clock::now()] {
            return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(200);
        };
    }
    const ProcessResult r = RunProcess(argv, scene.options);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(std::count(c.exitCodes.begin(), c.exitCodes.end(), r.exitCode), 1)
        << "exit " << r.exitCode << ": " << r.err;
    EXPECT_EQ(r.err.empty(), *c.error == '\0') << r.err;
    EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
    if (c.interrupted) {
        EXPECT_LT(r.secondsAfterInterrupt, 1.0);
    }
    EXPECT_EQ(TempDir::Snapshot(scene.out), before);
}

const LimitCase kLimitCases[] = {
    {"FileSizeLimit", {}, {{RLIMIT_FSIZE, 64 * 1024}}, false, false, {74},
     "/out/posimport.txt: cannot write file: File too large"},
    {"StopWhileReadingAnEndlessStream", {}, {}, true, true, {130}, ""},
    {"EndlessStreamPastTheLimit", {"--max-input=1M"}, {}, true, false, {65},
     "the input is longer than 1 MiB, the most read from a stream; --max-input=SIZE allows more"},
    {"EndlessStreamUnderAnAddressSpaceLimit", {}, {{RLIMIT_AS, 256ull << 20}}, true, false, {65, 70}, "quorix-import: "},
};

INSTANTIATE_TEST_SUITE_P(Limits, ConverterLimits, testing::ValuesIn(kLimitCases),
                         [](const testing::TestParamInfo<LimitCase>& info) { return info.param.name; });

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

// A Log.txt that is a link, or a second name of another file, is left alone: emptying it would empty that
// other file.
TEST(ConverterDiagnosticLog, ALogTxtThatNamesAnotherFileIsLeftAlone) {
    QUORIX_SKIP_ON_WINDOWS(kNoLinks);
    for (const bool hardLink : {false, true}) {
        Scene scene;
        if (hardLink) {
            fs::create_hard_link(scene.victim, scene.dir.Path("Log.txt"));
        } else {
            fs::create_symlink(scene.victim, scene.dir.Path("Log.txt"));
        }
        scene.options.workingDir = scene.dir.Path();
        const ProcessResult r =
            RunProcess({kConverter, "--diagnostic-log", "-o", scene.out, scene.input}, scene.options);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(TempDir::ReadFile(scene.victim), kPrecious) << (hardLink ? "hard link" : "link");
        EXPECT_EQ(fs::is_symlink(scene.dir.Path("Log.txt")), !hardLink);
    }
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
