// Hostile inputs: huge declared counts, huge name tables, markers whose size models hold far more pieces
// than their files, a million placements. Each must be answered in time (the test's time limit) with peak
// heap use bounded by a small multiple of the input's size, or, for a lay record that counts past its
// declared length, by a multiple of the largest length a record can declare. And the size models of random
// small markers against a plain tally.
#include "entry/QuorImport.h"
#include "export/DefinitionFileWriter.h"
#include "layy/QuorLayY.h"
#include "marker/QuorMarker.h"
#include "platform/Parallel.h"
#include "support/AllocationHooks.h"
#include "support/HostLogRecorder.h"
#include "support/LayBuilder.h"
#include "support/MarkerBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <random>
#include <tuple>

using namespace quorix;
using quorix::detail::DefinitionFileWriter;

namespace {
// Peak heap growth while `work` runs, in bytes above what was live before.
template <typename Work> size_t PeakDuring(Work work) {
    const size_t before = allocation::LiveBytes();
    allocation::ResetPeak();
    work();
    const size_t peak = allocation::PeakBytes() - before;
    testing::Test::RecordProperty("peak_heap_bytes", std::to_string(peak));
    return peak;
}

constexpr size_t kSlack = 1 << 20;          // fixed buffers of the readers and writers
constexpr size_t kRecordBound = 64 * 32767; // per byte that a record's length field can declare
} // namespace

namespace {
class Bounds : public testing::Test {
protected:
    void SetUp() override { HostLogRecorder::Clear(); }
    // Imports `path` into the temporary folder; returns the peak heap growth.
    size_t Import(const std::string& path, bool expectLoaded) {
        dir.MakeDir("out");
        return PeakDuring([&] {
            char name[21];
            const ImportOutcome outcome = RunImport(path, name, ImportPaths::InFolder(dir.Path("out")));
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
    const std::string eof = QuorBinaryFile::kEndOfFileText;
    const struct {
        const char* name;
        char tag;
        std::string content;
        off_t zeros;
        std::string failure;
    } cases[] = {
        {"two billion placements, the file ending after 700", 'P', placements, 0, eof},
        {"20 MB of empty names", 'O', LayBuilder::I32(INT32_MAX), off_t{20} << 20, eof},
        {"20 MB of empty groups", 'M', LayBuilder::I32(INT32_MAX), off_t{20} << 20, eof},
        {"2 GB after a placement count", 'P', LayBuilder::I32(INT32_MAX), off_t{2} << 30, eof},
        // The count ends in a CR, so the first zero is read ahead: the entries end at the file's last byte,
        // well beyond the buffer, and the record is refused for reading past itself, not past the file.
        {"skipped entries up to the last byte, one read ahead", 'S', LayBuilder::I32(0x1000D), 16 * 0x1000D,
         QuorLayY::kOverReadText},
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
        EXPECT_EQ(lay.GetFailureText(), c.failure) << c.name;
        EXPECT_EQ(lines.size(), c.failure == eof ? 0u : 1u) << c.name; // the over-read is reported
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
    EXPECT_LE(Import(path, true), 40 * lay.Bytes().size() + kSlack) << "input " << lay.Bytes().size();
}

// A lay of a million placements, as hosts meet them, also in a 32-bit process: both import files are
// written whole (a position line for every placement, definition counts adding up to all of them) with
// peak heap use within a small multiple of the file's size, also when it is written in four parts at once.
TEST_F(Bounds, LayOfAMillionPlacements) {
    const size_t kPlaced = 1000000;
    LayBuilder lay;
    lay.Y().O({"FRONT", "BACK", "SLEEVE", "CUFF"}, {"S", "M", "L"});
    std::vector<PlacementSpec> record;
    for (int i = 0, placed = 0; placed < static_cast<int>(kPlaced); ++i) {
        const float f = static_cast<float>(i);
        const PlacementSpec p{
            i % 3, i * 5 % 4, i % 2 == 1, 1, false, std::fmod(f, 360.0f), f / 8.0f, std::fmod(f, 20000.0f)};
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
    const parallel::ForcedParts fourParts(4); // the parts' order is checked on small lays
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

// Markers whose size models hold far more pieces than their files: their definition files are written
// whole (a model block of 5 lines per size number, 4 lines of the order block, and the piece, count and
// extra count lines of each tally) while the heap holds no more than a small multiple of the files. A style
// of 1,720 pieces (165 KB) under 4,500 sizes (a marker of 41 KB) makes 7.7 million tallies and 180 MB to
// write; in forty slots that list the same sizes (1.8 MB) their tallies are the same with forty times the
// counts.
TEST_F(Bounds, MarkersWithFarMoreTalliesThanTheirFiles) {
    const auto style = [](int pieces, bool oneName) {
        StyleBuilder text(16);
        for (int i = 0; i < pieces; ++i) {
            text.Piece(oneName ? "p" : "piece" + std::to_string(i), 1, 1);
        }
        return text.Text();
    };
    std::vector<MarkerSize> sizes;
    for (int32_t key = 1000; key < 5500; ++key) {
        sizes.push_back({key, "1", 1});
    }
    MarkerBuilder forty(19);
    for (int slot = 0; slot < 40; ++slot) {
        forty.Slot("s", sizes);
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
        {"a style of 100,000 blocks of one piece", MarkerBuilder(10).Slot("s", {{1, "1", 1}}).Text(),
         style(100000, true), 1, 1, "p:p\r\ni:100000\r\nx:100000\r\n"},
        {"a slot of 4,500 sizes naming a style of 1,720 pieces", MarkerBuilder(19).Slot("s", sizes).Text(),
         big, 4500, 4500 * 1720, "m:m-mkr-5499\r\np:piece0\r\ni:1\r\nx:1\r\np:piece1\r\n"},
        {"forty slots listing those 4,500 sizes", forty.Text(), big, 4500, 4500 * 1720,
         "m:m-mkr-5499\r\np:piece0\r\ni:40\r\nx:40\r\np:piece1\r\n"},
    };
    for (const auto& c : cases) {
        dir.Write("styles/s", c.style);
        const std::string path = dir.Write("markers/m.mkr", c.marker);
        EXPECT_LE(Import(path, true), 8 * (c.marker.size() + c.style.size()) + kSlack) << c.name;
        const std::string written = TempDir::ReadFile(dir.Path("out/csvimprt.txt"));
        EXPECT_EQ(static_cast<size_t>(std::count(written.begin(), written.end(), '\n')),
                  5 * c.models + 4 + 3 * c.tallies)
            << c.name;
        EXPECT_NE(written.find(c.needle), std::string::npos) << c.name;
    }
}

// Random small markers imported whole against a plain tally of what they list: per size number a map from
// (piece name, size value, size count) to the counts, added size by size and piece by piece as the marker
// and its styles list them, in 32-bit wrapping arithmetic. The definition file must be that tally written
// model by model, and the size models (as --dump lists them) that tally, each with the size value read
// first. Few names, so that a style lists one twice and styles share them ("\xC3\xA9" sorts after all
// ASCII); size values that read alike ("0", "-0" and "-0.0"; "1e400" as infinity); counts that wrap round;
// the file written in one part, two or three.
// The last of the four styles may list what the third lists, or that but for one extra count; a missing
// style has no pieces, and only the last style entry decides whether the marker loads.
TEST(MarkerTallyOracle, RandomMarkersWriteWhatAPlainTallyWrites) {
    using Tally =
        std::map<int32_t, std::map<std::tuple<std::string, float, int32_t>, std::pair<uint32_t, uint32_t>>>;
    using Row = std::tuple<int32_t, std::string, float, int32_t, int32_t, int32_t>;
    const std::string names[] = {"a", "A", "ab", "", "\xC3\xA9", ".b#/", "B"};
    const int32_t counts[] = {0, 1, 2, -1, 7, INT32_MAX, INT32_MIN};
    const std::pair<std::string, float> values[] = {{"0", 0.0f},   {"-0", -0.0f},       {"1", 1.0f},
                                                    {"1.5", 1.5f}, {"1e400", INFINITY}, {"-0.0", -0.0f}};
    std::mt19937 random(20240612u);
    const auto below = [&random](uint32_t n) { return random() % n; };
    for (int round = 0; round < 300; ++round) {
        const parallel::ForcedParts parts(1 + round % 3); // the models also made by parts at once
        const TempDir dir;
        std::vector<std::vector<StylePiece>> styles(4);
        for (size_t s = 0; s < styles.size(); ++s) {
            for (uint32_t n = below(6); n > 0; --n) {
                styles[s].push_back({names[below(7)], "", counts[below(7)], counts[below(7)]});
            }
            if (s == 3 && below(2) == 0 && !styles[2].empty()) {
                styles[3] = styles[2];
                styles[3].back().extraQuantity ^= static_cast<int32_t>(below(2));
            }
            StyleBuilder style(16);
            for (const StylePiece& piece : styles[s]) {
                style.Piece(piece.pieceName, piece.quantity, piece.extraQuantity);
            }
            if (below(6) == 0) {
                styles[s].clear();
            } else {
                dir.Write("data/styles/s" + std::to_string(s), style.Text());
            }
        }
        MarkerBuilder marker(19);
        Tally tally;
        bool loads = true;
        for (uint32_t slots = below(5); slots > 0; --slots) {
            const size_t s = below(4);
            std::vector<MarkerSize> sizes(below(5));
            for (MarkerSize& size : sizes) {
                const auto& [text, value] = values[below(6)];
                size = {static_cast<int32_t>(below(3)) * 19 - 1, text, static_cast<int32_t>(below(3))};
                auto& model = tally[size.key]; // also when the style has no pieces
                for (const StylePiece& piece : styles[s]) {
                    auto& sums = model[{piece.pieceName, value, size.count}];
                    sums.first += static_cast<uint32_t>(piece.quantity);
                    sums.second += static_cast<uint32_t>(piece.extraQuantity);
                }
            }
            marker.Slot("s" + std::to_string(s), sizes);
            loads = TempDir::Exists(dir.Path("data/styles/s" + std::to_string(s)));
        }
        dir.Write("out/posimport.txt", "older content\r\n");
        const ImportReading reading = ReadImport(dir.Write("data/markers/m.mkr", marker.Text()));
        ASSERT_EQ(reading.kind == ImportKind::Marker, loads) << "round " << round;
        if (!loads) {
            continue;
        }
        runtime::MemorySink file;
        DefinitionFileWriter writer(file);
        std::vector<Row> expected, models;
        for (const auto& [key, model] : tally) {
            writer.BeginModel("m-mkr", std::to_string(key));
            for (const auto& [piece, sums] : model) {
                const auto& [name, value, count] = piece;
                expected.emplace_back(key, name, value, count, sums.first, sums.second);
                writer.Piece(name, static_cast<int32_t>(sums.first));
                if (static_cast<int32_t>(sums.second) > 0) {
                    writer.ExtraCount(static_cast<int32_t>(sums.second));
                }
            }
        }
        writer.BeginOrder("m-mkr", "quorix marker definition file import", 1397000 / 25400.0);
        for (const auto& model : tally) {
            writer.OrderLine("m-mkr", std::to_string(model.first));
        }
        for (const auto& [key, model] : reading.marker->GetSizeModels()) {
            for (const PieceTally& t : model) {
                models.emplace_back(key, t.pieceName, t.sizeValue, t.sizeCount, t.quantity, t.extraQuantity);
            }
        }
        // Printed, a size value of -0 differs from 0.
        EXPECT_EQ(testing::PrintToString(models), testing::PrintToString(expected)) << "round " << round;
        const ImportWriting writing =
            WriteImport(reading, ImportPaths::InFolder(dir.Path("out")), Placing::EachWhenComplete);
        EXPECT_EQ(writing.models, tally.size()) << "round " << round;
        EXPECT_EQ(TempDir::ReadFile(dir.Path("out/csvimprt.txt")), file.Bytes()) << "round " << round;
        EXPECT_EQ(TempDir::ReadFile(dir.Path("out/posimport.txt")), "") << "round " << round;
    }
}
