// The import under failing files: every write, close, move and creation of a whole import is made to fail
// in turn, the Nth in the Nth run, and each run must leave either the old file or the complete new one in
// each place (the host's way), or the old pair or the complete new pair (the converter's way), never a
// part of a file, a mismatched pair or a temporary file, and must say which file failed and where.
#include "entry/QuorImport.h"
#include "files/QuorUnhandledFormatFeatureException.h"
#include "log/Log.h"
#include "platform/PathMapping.h"
#include "platform/RawFile.h"
#include "support/LayBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

using namespace quorix;

namespace {
namespace fs = std::filesystem;

const std::string kExamples = QUORIX_EXAMPLES_DIR;
const std::string kOldDefinition = "old definition";
const std::string kOldPositions = "old positions";

// Fails the Nth file operation of the import (counted from 1) with the error a full disk or a failing
// device gives; 0 fails none and only counts. With `noSecondNames`, every second name is refused as well,
// as by a file system without them or by a system that protects another user's files from them. `before`
// runs first at every operation: what a neighbour in the output folder would do at the worst moment, or a
// pause that slows the operations down, so that what a race could do happens every time.
class NthOperationFails : public FileFaults {
public:
    using Action = std::function<void(Operation, const std::string&)>;
    explicit NthOperationFails(long n, bool noSecondNames = false, Action before = nullptr)
        : failAt(n), noLinks(noSecondNames), before(std::move(before)) {
        Install(this);
    }
    ~NthOperationFails() override { Install(nullptr); }
    NthOperationFails(const NthOperationFails&) = delete;
    NthOperationFails& operator=(const NthOperationFails&) = delete;

    std::error_code Next(Operation operation, const std::string& path) override {
        if (before) {
            before(operation, path);
        }
        if (noLinks && operation == Operation::Link) {
            return std::make_error_code(std::errc::operation_not_permitted);
        }
        if (++seen != failAt) {
            return {};
        }
        failed = operation;
        return std::make_error_code(operation == Operation::Write ? std::errc::no_space_on_device
                                                                  : std::errc::io_error);
    }

    long seen = 0;
    std::optional<Operation> failed;

private:
    long failAt;
    bool noLinks;
    Action before;
};

// The step of a file that an injected failure of each operation shows as; None when the import gets past it
// (a refused second name for the old file is made up for by a copy).
using Op = FileFaults::Operation;
using Step = ReplacementFile::Step;
const std::map<Op, Step> kStepOf = {{Op::Create, Step::Create}, {Op::KeepMetadata, Step::Create},
                                    {Op::Write, Step::Write},   {Op::Close, Step::Close},
                                    {Op::Link, Step::None},     {Op::Copy, Step::Keep},
                                    {Op::Move, Step::Move}};

std::string Read(const std::string& path) {
    return TempDir::Exists(path) ? TempDir::ReadFile(path) : "<missing>";
}

class ImportUnderFailingFiles : public testing::TestWithParam<Placing> {
protected:
    static void SetUpTestSuite() { Log::DisableFile(); }

    // A lay long enough that its position file is written in many pieces (and made in parts on machines
    // with several processors).
    std::string LongLay() {
        std::vector<PlacementSpec> placed;
        for (int i = 0; i < 70000; ++i) {
            const PlacementSpec p{i % 3, i % 5, i % 2 == 0, 1, false, 90.0f, i * 0.5f, 1000.0f - i};
            if (LayBuilder::Entry(p).find("\r\n") == std::string::npos) { // a CR LF pair reads as a line feed
                placed.push_back(p);
            }
        }
        LayBuilder lay;
        lay.Y().O({"FRONT", "BACK", "SLEEVE", "COLLAR", "CUFF"}, {"S", "M", "L"});
        for (size_t from = 0; from < placed.size(); from += 600) {
            lay.P(std::vector<PlacementSpec>(
                placed.begin() + static_cast<std::ptrdiff_t>(from),
                placed.begin() + static_cast<std::ptrdiff_t>(std::min(from + 600, placed.size()))));
        }
        return dir.Write("lays/long.lay", lay.Bytes());
    }

    TempDir dir;
};

// Every operation in turn fails, the Nth in the Nth run; and again on a folder where no file gets a second
// name, so that the old file is kept as a copy for putting it back.
TEST_P(ImportUnderFailingFiles, NeverLeavesAPartOfAFileOrAMismatchedPair) {
    const Placing placing = GetParam();
    const bool together = placing == Placing::BothWhenComplete;
    const std::vector<std::pair<std::string, std::string>> inputs = {{"lay", kExamples + "/lays/W12.LAY"},
                                       {"marker", kExamples + "/markers/m1.mkr"},
                                       {"long lay", LongLay()}};
    const std::string out = dir.MakeDir("out");
    const ImportPaths paths = ImportPaths::InFolder(paths::FromCallerPath(out));
    const std::string definition = out + "/csvimprt.txt";
    const std::string position = out + "/posimport.txt";
    long runs = 0;
    std::set<Op> failedKinds;
    for (const bool noSecondNames : {false, true}) {
        for (const auto& [input, path] : inputs) {
            const std::string name = input + (noSecondNames ? " without second names" : "");
            const ImportReading reading = ReadImport(path);
            ASSERT_TRUE(reading.Loaded()) << name;
            // The files of an import that nothing disturbs, over an older pair as in every run.
            fs::remove_all(out);
            dir.Write("out/csvimprt.txt", kOldDefinition);
            dir.Write("out/posimport.txt", kOldPositions);
            long operations = 0;
            {
                NthOperationFails counting(0, noSecondNames);
                ASSERT_TRUE(WriteImport(reading, paths, placing).Complete()) << name;
                operations = counting.seen;
            }
            const std::string newDefinition = Read(definition);
            const std::string newPositions = Read(position);
            ASSERT_GE(operations, 6) << name; // at least a create, a write, a close and a move per file

            for (long n = 1; n <= operations; ++n, ++runs) {
                fs::remove_all(out);
                dir.Write("out/csvimprt.txt", kOldDefinition);
                dir.Write("out/posimport.txt", kOldPositions);
                NthOperationFails fault(n, noSecondNames);
                const ImportWriting writing = WriteImport(reading, paths, placing);
                ASSERT_TRUE(fault.failed.has_value()) << name << ", operation " << n;
                failedKinds.insert(*fault.failed);
                const std::string what = name + ", operation " + std::to_string(n);
                const std::string nowDefinition = Read(definition);
                const std::string nowPositions = Read(position);
                EXPECT_TRUE(nowDefinition == kOldDefinition || nowDefinition == newDefinition) << what;
                EXPECT_TRUE(nowPositions == kOldPositions || nowPositions == newPositions) << what;
                EXPECT_EQ(writing.definition.written, nowDefinition == newDefinition) << what;
                EXPECT_EQ(writing.position.written, nowPositions == newPositions) << what;
                if (together) {
                    EXPECT_EQ(nowDefinition == newDefinition, nowPositions == newPositions)
                        << what << ": mismatched";
                }
                // At most one file says what failed, and it is the operation that was made to fail; one
                // that the import gets past leaves both files new.
                const ImportFileResult& failedFile =
                    writing.definition.failedStep != Step::None ? writing.definition : writing.position;
                const Step expected = kStepOf.at(*fault.failed);
                EXPECT_EQ(failedFile.failedStep, expected) << what;
                EXPECT_EQ(writing.Complete(), expected == Step::None) << what;
                if (expected != Step::None) {
                    EXPECT_EQ(failedFile.error,
                              *fault.failed == Op::Write ? std::errc::no_space_on_device : std::errc::io_error)
                        << what;
                }
                std::vector<std::string> names;
                for (const auto& entry : fs::directory_iterator(out)) {
                    names.push_back(entry.path().filename().string());
                }
                std::sort(names.begin(), names.end());
                EXPECT_EQ(names, (std::vector<std::string>{"csvimprt.txt", "posimport.txt"})) << what;
            }
        }
    }
    // The sweep went through the operations of all three imports, twice, and made each kind of them fail
    // (the old file is kept by a second name or a copy only where the pair is put in place together).
    EXPECT_GT(runs, 60);
    EXPECT_EQ(failedKinds.size(), together ? 7u : 5u);
    RecordProperty("failedOperations", static_cast<int>(runs));
}

// The lay's position error under failing files: the host finds a complete definition file and an empty
// position file, or the old files where a file could not be written; the converter's pair stays old.
TEST_P(ImportUnderFailingFiles, PositionErrorLeavesWhatTheHostExpects) {
    const Placing placing = GetParam();
    LayBuilder duplicate;
    duplicate.Y().O({"FRONT"}, {"S", "S"}).P({PlacementSpec{0, 0}, PlacementSpec{1, 0}});
    const ImportReading reading = ReadImport(dir.Write("dup.lay", duplicate.Bytes()));
    ASSERT_TRUE(reading.Loaded());
    const std::string out = dir.MakeDir("out");
    const ImportPaths paths = ImportPaths::InFolder(paths::FromCallerPath(out));
    for (long n = 0; n <= 8; ++n) {
        fs::remove_all(out);
        dir.Write("out/csvimprt.txt", kOldDefinition);
        dir.Write("out/posimport.txt", kOldPositions);
        NthOperationFails fault(n);
        bool thrown = false;
        try {
            WriteImport(reading, paths, placing);
        } catch (const QuorUnhandledFormatFeatureException&) {
            thrown = true;
        }
        const std::string what = "operation " + std::to_string(n);
        const std::string nowDefinition = Read(out + "/csvimprt.txt");
        const std::string nowPositions = Read(out + "/posimport.txt");
        if (placing == Placing::BothWhenComplete) {
            EXPECT_EQ(nowDefinition, kOldDefinition) << what;
            EXPECT_EQ(nowPositions, kOldPositions) << what;
        } else {
            EXPECT_TRUE(nowDefinition == kOldDefinition ||
                        nowDefinition.find("o:dup-lay\r\n") != std::string::npos)
                << what;
            EXPECT_TRUE(nowPositions == kOldPositions || nowPositions.empty()) << what;
        }
        // The error is raised whenever the position file could be created.
        if (n == 0) {
            EXPECT_TRUE(thrown);
            EXPECT_EQ(nowPositions, placing == Placing::EachWhenComplete ? "" : kOldPositions);
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 2) << what;
    }
}

// Between the creation of each new file and the copy of the old one's permissions onto it, the new name
// is swapped for a link to a file outside the folder: the permissions go to the new file all the same,
// and the file outside keeps its own.
TEST_P(ImportUnderFailingFiles, ALinkSwappedInBeforeThePermissionsAreCopiedChangesNothingOutside) {
    const std::string victim = dir.Write("victim.txt", kOldDefinition);
    fs::permissions(victim, fs::perms(0600));
    dir.Write("out/csvimprt.txt", kOldDefinition);
    dir.Write("out/posimport.txt", kOldPositions);
    fs::permissions(dir.Path("out/csvimprt.txt"), fs::perms(0606));
    fs::permissions(dir.Path("out/posimport.txt"), fs::perms(0606));
    int swapped = 0;
    const NthOperationFails neighbour(0, false, [&](Op operation, const std::string& path) {
        if (operation == Op::KeepMetadata) {
            fs::remove(path);
            fs::create_symlink(victim, path);
            ++swapped;
        }
    });
    WriteImport(ReadImport(kExamples + "/lays/W12.LAY"), ImportPaths::InFolder(paths::FromCallerPath(dir.Path("out"))),
                GetParam());
    EXPECT_EQ(swapped, 2);
    EXPECT_EQ(fs::status(victim).permissions(), fs::perms(0600));
    EXPECT_EQ(TempDir::ReadFile(victim), kOldDefinition);
}

// Two threads import different lays into one folder at the same time, round after round, with every move
// slowed down so that the moves of the two would interleave: the folder always holds the pair of one.
TEST_P(ImportUnderFailingFiles, TwoThreadsInOneFolderLeaveOnePair) {
    const ImportPaths paths = ImportPaths::InFolder(paths::FromCallerPath(dir.MakeDir("out")));
    const ImportReading readings[] = {ReadImport(kExamples + "/lays/W12.LAY"),
                                      ReadImport(kExamples + "/markers/m1.mkr")};
    std::string pairs[2];
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(WriteImport(readings[i], paths, GetParam()).Complete());
        pairs[i] = Read(dir.Path("out/csvimprt.txt")) + Read(dir.Path("out/posimport.txt"));
    }
    // Each move waits a while of its own, so that either thread may overtake the other between its moves.
    const NthOperationFails slow(0, false, [](Op operation, const std::string&) {
        thread_local std::minstd_rand random(static_cast<unsigned>(std::hash<std::thread::id>()(std::this_thread::get_id())));
        if (operation == Op::Move) {
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 600));
        }
    });
    int mixed = 0;
    int failed = 0;
    for (int round = 0; round < 200; ++round) {
        bool otherComplete = false;
        std::thread other([&] { otherComplete = WriteImport(readings[1], paths, GetParam()).Complete(); });
        const bool complete = WriteImport(readings[0], paths, GetParam()).Complete();
        other.join();
        const std::string now = Read(dir.Path("out/csvimprt.txt")) + Read(dir.Path("out/posimport.txt"));
        mixed += now != pairs[0] && now != pairs[1];
        failed += !complete + !otherComplete; // one writer must not remove the other's files as leftovers
    }
    EXPECT_EQ(mixed, 0);
    EXPECT_EQ(failed, 0);
}

std::string NameOf(Placing placing) {
    return placing == Placing::EachWhenComplete ? "EachWhenComplete" : "BothWhenComplete";
}

INSTANTIATE_TEST_SUITE_P(Placings, ImportUnderFailingFiles,
                         testing::Values(Placing::EachWhenComplete, Placing::BothWhenComplete),
                         [](const testing::TestParamInfo<Placing>& info) { return NameOf(info.param); });
} // namespace

// Placings print as their names, so that the test names stay the same from build to build. Found by
// argument-dependent lookup, so in the placing's namespace.
namespace quorix {
void PrintTo(Placing placing, std::ostream* out) {
    *out << NameOf(placing);
}
} // namespace quorix
