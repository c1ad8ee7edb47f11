// Out of memory at every allocation in turn, in the manner of SQLite's out-of-memory tests: the Nth
// allocation of an import fails, for every N up to the number the import makes, on the bundled examples
// and on a lay whose placements are matched and written in parts. Whatever fails, each import file is the
// old one or the complete new one (the pair old or new where both are put in place together), no
// temporary file is left, and the converter ends with a status and a message, never by a signal.
#include "entry/QuorImport.h"
#include "platform/Parallel.h"
#include "support/AllocationHooks.h"
#include "support/HostLogRecorder.h"
#include "support/LayBuilder.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <new>
#include <sstream>
#include <string>
#include <vector>

using namespace quorix;

namespace {
namespace fs = std::filesystem;

const std::string kExamples = QUORIX_EXAMPLES_DIR;
const std::string kOldDefinition = "old definition";
const std::string kOldPositions = "old positions";
// Every allocation natively; every few where each converter run starts an emulator.
constexpr long kStride = QUORIX_EMULATED ? 7 : 1;

struct Input {
    const char* name;
    std::string path;
    size_t parts; // the work of matching and writing placements is cut into this many parts
};

class AllocationSweep : public testing::Test {
protected:
    // The host's error log is recorded, not printed (a marker of an unknown version reports to it).
    void SetUp() override { HostLogRecorder::Clear(); }

    std::vector<Input> Inputs() {
        LayBuilder lay;
        lay.Y().O({"FRONT", "BACK", "SLEEVE"}, {"S", "M"});
        for (int record = 0; record < 4; ++record) {
            std::vector<PlacementSpec> placed;
            for (int i = 0; i < 500; ++i) {
                placed.push_back(PlacementSpec{i % 2, (i + record) % 3, i % 4 == 0, 1, false, 90.0f, i * 1.5f, 80.0f});
            }
            lay.P(placed);
        }
        return {{"W12", kExamples + "/lays/W12.LAY", 1},
                {"SKIP-01", kExamples + "/lays/SKIP-01.LAY", 1},
                {"m1", kExamples + "/markers/m1.mkr", 1},
                {"lay in parts", dir.Write("parts.lay", lay.Bytes()), 3}};
    }

    void PlantOldPair() const {
        fs::remove_all(out);
        dir.Write("out/csvimprt.txt", kOldDefinition);
        dir.Write("out/posimport.txt", kOldPositions);
    }

    // The two files now, and whether only they are in the folder.
    std::pair<std::string, std::string> Files(bool& onlyThem) const {
        onlyThem = std::distance(fs::directory_iterator(out), fs::directory_iterator()) == 2;
        return {TempDir::ReadFile(out + "/csvimprt.txt"), TempDir::ReadFile(out + "/posimport.txt")};
    }

    TempDir dir;
    std::string out = dir.Path("out");
};

// The library: the read and write steps of an import, each file put in place as soon as it is complete
// (the exported function's way), or both together (the converter's and the C interface's way).
TEST_F(AllocationSweep, LibraryImportLeavesWholeFiles) {
    long runs = 0;
    for (const Input& input : Inputs()) {
        const parallel::ForcedParts parts(input.parts);
        for (const Placing placing : {Placing::EachWhenComplete, Placing::BothWhenComplete}) {
            const auto import = [&] {
                return WriteImport(ReadImport(input.path), ImportPaths::InFolder(dir.Path("out")), placing);
            };
            // Counted on the second run: the first makes what the process keeps for its life.
            import();
            PlantOldPair();
            allocation::FailNth(0);
            ASSERT_TRUE(import().Complete()) << input.name;
            const long allocations = allocation::Counted();
            bool onlyThem = false;
            const auto fresh = Files(onlyThem);
            for (long n = 1; n <= allocations; ++n, ++runs) {
                PlantOldPair();
                allocation::FailNth(n);
                bool complete = false;
                try {
                    complete = import().Complete();
                } catch (const std::bad_alloc&) {
                }
                const bool failed = allocation::Failed();
                allocation::FailNth(0);
                std::ostringstream what;
                what << input.name << ", " << (placing == Placing::EachWhenComplete ? "each" : "both")
                     << ", allocation " << n << " of " << allocations;
                ASSERT_TRUE(failed) << what.str();
                const auto now = Files(onlyThem);
                EXPECT_TRUE(onlyThem) << what.str() << ": a temporary file is left";
                EXPECT_TRUE(now.first == kOldDefinition || now.first == fresh.first) << what.str();
                EXPECT_TRUE(now.second == kOldPositions || now.second == fresh.second) << what.str();
                if (placing == Placing::BothWhenComplete) {
                    EXPECT_EQ(now.first == fresh.first, now.second == fresh.second) << what.str() << ": mixed";
                }
                if (complete) {
                    EXPECT_EQ(now, fresh) << what.str();
                }
            }
        }
    }
    RecordProperty("failedAllocations", static_cast<int>(runs));
}

std::vector<std::string> Words(const std::string& command) {
    std::istringstream in(command);
    std::vector<std::string> words;
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

// The converter as a process: out of memory ends it with status 70 and "out of memory" (or, where the lay
// reader's own rules take a failure inside its record walk for a refusal, with the refusal of the file,
// 65), its output folder as it was; or, where nothing needed the memory, with the new pair.
TEST_F(AllocationSweep, ConverterEndsWithAStatusAndTheFolderAsItWas) {
    long runs = 0;
    for (const Input& input : Inputs()) {
        const auto run = [&](const std::string& hook) {
            std::vector<std::string> argv = {"/usr/bin/env", hook, "QUORIX_FORCED_PARTS=" + std::to_string(input.parts)};
            for (const std::string& word : Words(QUORIX_FAILING_CONVERTER)) {
                argv.push_back(word);
            }
            argv.insert(argv.end(), {"-o", out, input.path});
            return RunProcess(argv);
        };
        PlantOldPair();
        const ProcessResult counting = run("QUORIX_COUNT_ALLOCATIONS=1");
        ASSERT_EQ(counting.exitCode, 0) << input.name << ": " << counting.err;
        const long allocations = std::stol(counting.err.substr(counting.err.rfind("allocations: ") + 13));
        bool onlyThem = false;
        const auto fresh = Files(onlyThem);
        for (long n = 1; n <= allocations; n += kStride, ++runs) {
            PlantOldPair();
            const ProcessResult r = run("QUORIX_FAIL_ALLOCATION=" + std::to_string(n));
            const std::string what = std::string(input.name) + ", allocation " + std::to_string(n) + " of " +
                                     std::to_string(allocations) + ": exit " + std::to_string(r.exitCode) + ": " +
                                     r.err;
            ASSERT_EQ(r.signal, 0) << what;
            ASSERT_FALSE(r.timedOut) << what;
            const auto now = Files(onlyThem);
            EXPECT_TRUE(onlyThem) << what << ": a temporary file is left";
            if (r.exitCode == 0) {
                EXPECT_EQ(now, fresh) << what;
                continue;
            }
            EXPECT_TRUE(r.exitCode == 70 || r.exitCode == 65) << what;
            if (r.exitCode == 70) {
                EXPECT_NE(r.err.find("out of memory"), std::string::npos) << what;
            }
            EXPECT_EQ(now, std::make_pair(kOldDefinition, kOldPositions)) << what;
        }
    }
    RecordProperty("failedAllocations", static_cast<int>(runs));
}
} // namespace
