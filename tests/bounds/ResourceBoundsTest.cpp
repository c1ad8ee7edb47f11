// Hostile inputs: huge declared counts, huge name tables, many slots naming one large style, overlong
// fields, placements whose pairs collide. Each must be answered in time (the test's time limit) with peak
// heap use bounded by a small multiple of the input's size, or, for a lay record that counts past its
// declared length, by a multiple of the largest length a record can declare.
#include "entry/QuorImport.h"
#include "files/QuorUnhandledFormatFeatureException.h"
#include "layy/QuorLayY.h"
#include "marker/QuorMarker.h"
#include "support/HostLogRecorder.h"
#include "support/LayBuilder.h"
#include "support/MarkerBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <map>
#include <new>

namespace {
std::atomic<size_t> liveBytes{0};
std::atomic<size_t> peakBytes{0};

void* Allocate(size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    const size_t now = liveBytes += malloc_usable_size(p);
    size_t peak = peakBytes.load();
    while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
    }
    return p;
}

void Release(void* p) {
    if (p != nullptr) {
        liveBytes -= malloc_usable_size(p);
        std::free(p);
    }
}

// Peak heap growth while `work` runs, in bytes above what was live before.
template <typename Work> size_t PeakDuring(Work work) {
    const size_t before = liveBytes.load();
    peakBytes = before;
    work();
    const size_t peak = peakBytes.load() - before;
    testing::Test::RecordProperty("peak_heap_bytes", std::to_string(peak));
    return peak;
}

constexpr size_t kSlack = 1 << 20;          // fixed buffers of the readers and writers
constexpr size_t kRecordBound = 64 * 32767; // per byte that a record's length field can declare
} // namespace

void* operator new(size_t size) {
    return Allocate(size);
}
void* operator new[](size_t size) {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete[](void* p) noexcept {
    Release(p);
}
void operator delete(void* p, size_t) noexcept {
    Release(p);
}
void operator delete[](void* p, size_t) noexcept {
    Release(p);
}

namespace {
class Bounds : public testing::Test {
protected:
    void SetUp() override { HostLogRecorder::Clear(); }
    // Imports `path` into the temporary folder; returns the peak heap growth.
    size_t Import(const std::string& path, bool expectLoaded) {
        dir.MakeDir("out");
        return PeakDuring([&] {
            char name[21];
            const ImportOutcome outcome = QuorImport::Run(path, name, ImportPaths::InFolder(dir.Path("out")));
            EXPECT_EQ(outcome.loaded, expectLoaded) << path;
        });
    }
    TempDir dir;
};
} // namespace

// Records whose counts call for far more than the file holds: each is refused for the end of the file,
// without a diagnostic line, as before, but keeps no more than its record can declare, whatever the size
// of the file. The zeros after each record are made by extending the file, sparse where it can be.
TEST_F(Bounds, LayRecordsCountingPastTheFile) {
    std::string placements = LayBuilder::I32(INT32_MAX);
    for (int i = 0; i < 700; ++i) {
        placements += LayBuilder::Entry(PlacementSpec{0, 0});
    }
    const struct {
        const char* name;
        char tag;
        std::string content;
        off_t zeros;
    } cases[] = {
        {"two billion placements, the file ending after 700", 'P', placements, 0},
        {"20 MB of empty names", 'O', LayBuilder::I32(INT32_MAX), off_t{20} << 20},
        {"2 GB after a placement count", 'P', LayBuilder::I32(INT32_MAX), off_t{2} << 30},
    };
    for (const auto& c : cases) {
        const std::string head = LayBuilder().Y().RecordWithLength(32767, c.tag, c.content).Bytes();
        const std::string path = dir.Write("long.lay", head);
        struct stat info {};
        ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(head.size()) + c.zeros), 0) << c.name;
        if (stat(path.c_str(), &info) != 0 || info.st_blocks * 512 > (off_t{1} << 30)) {
            GTEST_SKIP() << c.name << ": the temporary folder's file system does not keep files sparse";
        }
        QuorLayY lay;
        std::vector<std::string> lines;
        lay.SetDiagnosticSink([&lines](int64_t, const std::string& line) { lines.push_back(line); });
        EXPECT_FALSE(lay.Load(path)) << c.name;
        EXPECT_EQ(lay.GetFailureText(), QuorBinaryFile::kEndOfFileText) << c.name;
        EXPECT_TRUE(lines.empty()) << c.name << ": " << lines.front();
        EXPECT_LE(Import(path, false), kRecordBound + kSlack) << c.name;
    }
}

TEST_F(Bounds, PlacementsWhosePairsShareOneHomeSlot) {
    // Pairs whose keys differ only in their top 13 bits: a hash that folds a product of the key into its
    // low bits sends them to one slot. The lay reader's counts must still be right.
    LayBuilder lay;
    lay.Y().O({"A"}, {"S"});
    std::map<QuorLayY::PairKey, int32_t> tally;
    uint32_t state = 1;
    for (int record = 0; record < 320; ++record) {
        std::vector<PlacementSpec> entries(625);
        for (PlacementSpec& entry : entries) {
            state = state * 1664525u + 1013904223u;
            entry.model = static_cast<int32_t>(((state >> 8) % 8192) << 19);
            ++tally[{entry.model, 0}];
        }
        lay.P(entries);
    }
    const std::string path = dir.Write("pairs.lay", lay.Bytes());
    QuorLayY reader;
    ASSERT_TRUE(reader.Load(path));
    EXPECT_EQ(reader.GetPlacementCounts(), tally);
    EXPECT_LE(Import(path, true), 8 * lay.Bytes().size() + kSlack);
}

TEST_F(Bounds, AMillionPieceNamesInRepeatedNameRecords) {
    LayBuilder lay;
    lay.Y();
    std::vector<std::string> names(16000, "n");
    for (int record = 0; record < 63; ++record) {
        lay.O(names, {});
    }
    lay.O({}, {"S"}).P({PlacementSpec{0, 0}});
    const std::string path = dir.Write("names.lay", lay.Bytes());
    const size_t peak = Import(path, true);
    EXPECT_LE(peak, 40 * lay.Bytes().size() + kSlack) << "input " << lay.Bytes().size();
}

// A lay of a million placements, as hosts meet them, also in a 32-bit process: both import files are
// written whole (a position line for every placement, definition counts adding up to all of them) with
// peak heap use within a small multiple of the file's size.
TEST_F(Bounds, LayOfAMillionPlacements) {
    const size_t kPlaced = 1000000;
    LayBuilder lay;
    lay.Y().O({"FRONT", "BACK", "SLEEVE", "CUFF"}, {"S", "M", "L"});
    std::vector<PlacementSpec> record;
    for (int i = 0, placed = 0; placed < static_cast<int>(kPlaced); ++i) {
        const PlacementSpec p{i % 3,
                              i * 5 % 4,
                              i % 2 == 1,
                              1,
                              false,
                              static_cast<float>(i % 360),
                              static_cast<float>(i) / 8.0f,
                              static_cast<float>(i % 20000)};
        if (LayBuilder::Entry(p).find("\r\n") == std::string::npos) { // a CR LF pair reads as a line feed
            record.push_back(p);
            ++placed;
        }
        if (record.size() == 500 || placed == static_cast<int>(kPlaced)) {
            lay.P(record);
            record.clear();
        }
    }
    const std::string path = dir.Write("million.lay", lay.Bytes());
    EXPECT_LE(Import(path, true), 3 * lay.Bytes().size() + kSlack) << "input " << lay.Bytes().size();
    const std::string positions = TempDir::ReadFile(dir.Path("out/posimport.txt"));
    EXPECT_EQ(static_cast<size_t>(std::count(positions.begin(), positions.end(), '\n')), kPlaced);
    const std::string definition = TempDir::ReadFile(dir.Path("out/csvimprt.txt"));
    size_t counted = 0;
    for (size_t at = definition.find("\ni:"); at != std::string::npos; at = definition.find("\ni:", at + 1)) {
        counted += std::stoul(definition.substr(at + 3));
    }
    EXPECT_EQ(counted, kPlaced);
}

// The lines of the file at `path`, and whether it holds `needle`, read a piece at a time.
std::pair<size_t, bool> Scan(const std::string& path, const std::string& needle) {
    std::ifstream in(path, std::ios::binary);
    std::string part(1 << 20, '\0');
    std::string seen; // the tail of the part before, so that a needle across two parts is found
    std::pair<size_t, bool> result(0, false);
    while (in.read(&part[0], static_cast<std::streamsize>(part.size())) || in.gcount() > 0) {
        seen.append(part, 0, static_cast<size_t>(in.gcount()));
        result.first += static_cast<size_t>(std::count(seen.end() - in.gcount(), seen.end(), '\n'));
        result.second = result.second || seen.find(needle) != std::string::npos;
        seen.erase(0, seen.size() - std::min(seen.size(), needle.size()));
    }
    return result;
}

// Markers whose size models hold far more pieces than their files: their definition files are written
// whole (a model block of 5 lines per size number, 4 lines of the order block, and the piece, count and
// extra count lines of each tally) while the heap holds no more than a
// small multiple of the files. A style of 1,720 pieces (165 KB) under 4,500 sizes (a marker of 41 KB)
// makes 7.7 million tallies and 180 MB to write; in forty slots that list the same sizes (1.8 MB) their
// tallies are the same with forty times the counts.
TEST_F(Bounds, MarkersWithFarMoreTalliesThanTheirFiles) {
    const auto style = [](int pieces, bool oneName) {
        StyleBuilder text(16);
        for (int i = 0; i < pieces; ++i) {
            text.Piece(oneName ? "p" : "piece" + std::to_string(i), 1, 1);
        }
        return text.Text();
    };
    const auto sizes = [](int32_t first, int32_t count) {
        std::vector<MarkerSize> list;
        for (int32_t key = first; key < first + count; ++key) {
            list.push_back({key, "1", 1});
        }
        return list;
    };
    MarkerBuilder forty(19), fortySame(19), fortyApart(19);
    for (int slot = 0; slot < 40; ++slot) {
        forty.Slot("s", {{40, "1", 1}});
        fortySame.Slot("s", sizes(1000, 4500));
        fortyApart.Slot("s", sizes(1000 + 112 * slot, 112));
    }
    const std::string big = style(1720, false);
    const struct {
        const char* name;
        std::string marker;
        std::string style;
        size_t models, tallies;
        std::string needle;
    } cases[] = {
        {"a slot of two thousand million sizes, all but two past the end of the file",
         MarkerBuilder(19).SlotLines({"s", "2000000000", "40", "41"}).Truncate().Text(),
         StyleBuilder(12).Piece("front", 3, 1).Text(), 3, 3,
         "m:m-mkr-0\r\np:front\r\ni:1705032698\r\nx:1999999998\r\n"},
        {"forty slots naming one style of 20,000 pieces", forty.Text(), style(20000, false), 1, 20000,
         "p:piece19999\r\ni:40\r\nx:40\r\n"},
        {"a style of 100,000 blocks of one piece", MarkerBuilder(10).Slot("s", {{1, "1", 1}}).Text(),
         style(100000, true), 1, 1, "p:p\r\ni:100000\r\nx:100000\r\n"},
        {"a slot of 4,500 sizes naming a style of 1,720 pieces",
         MarkerBuilder(19).Slot("s", sizes(1000, 4500)).Text(), big, 4500, 4500 * 1720,
         "m:m-mkr-5499\r\np:piece0\r\ni:1\r\nx:1\r\np:piece1\r\n"},
        {"forty slots listing those 4,500 sizes", fortySame.Text(), big, 4500, 4500 * 1720,
         "m:m-mkr-5499\r\np:piece0\r\ni:40\r\nx:40\r\np:piece1\r\n"},
        {"forty slots of 112 sizes each, none listed twice", fortyApart.Text(), big, 4480, 4480 * 1720,
         "m:m-mkr-5479\r\np:piece0\r\ni:1\r\nx:1\r\np:piece1\r\n"},
    };
    for (const auto& c : cases) {
        dir.Write("styles/s", c.style);
        const std::string path = dir.Write("markers/m.mkr", c.marker);
        EXPECT_LE(Import(path, true), 8 * (c.marker.size() + c.style.size()) + kSlack) << c.name;
        const auto [lines, found] = Scan(dir.Path("out/csvimprt.txt"), c.needle);
        EXPECT_EQ(lines, 5 * c.models + 4 + 3 * c.tallies) << c.name;
        EXPECT_TRUE(found) << c.name;
    }
}

TEST_F(Bounds, OverlongFieldAtEveryLineOfAMarker) {
    const std::vector<std::string> lines = MarkerBuilder(19).Slot("a", {{38, "1", 1}}).Lines();
    dir.Write("styles/a", StyleBuilder(12).Piece("front", 1, 0).Text());
    for (size_t at = 0; at < lines.size(); ++at) {
        for (const size_t length : {255u, 256u}) {
            std::vector<std::string> changed = lines;
            changed[at] = std::string(length, '7');
            const std::string path = dir.Write("markers/m.mkr", JoinLines(changed));
            bool loaded = false;
            const size_t peak = PeakDuring([&] {
                char name[21];
                loaded = QuorImport::Run(path, name, ImportPaths::InFolder(dir.MakeDir("out"))).loaded;
            });
            EXPECT_LE(peak, kSlack) << "line " << at << " length " << length;
            // A header value of 255 characters is only a strange number; one of 256 fails the stream, and
            // the separator after it reads as empty.
            if (at >= 1 && at <= 10) {
                EXPECT_EQ(loaded, length == 255) << "line " << at;
            }
        }
    }
}
