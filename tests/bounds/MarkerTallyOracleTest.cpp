// Random small markers imported whole against a plain tally of what they list: per size number a map from
// (piece name, size value, size count) to the counts, added size by size and piece by piece as the marker
// and its styles list them, in 32-bit wrapping arithmetic. The definition file must be that tally written
// model by model, and the size models (as --dump lists them) that tally, each with the size value read
// first.
#include "entry/QuorImport.h"
#include "export/DefinitionFileWriter.h"
#include "support/MarkerBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <tuple>

namespace {
using Key = std::tuple<std::string, float, int32_t>;
using Tally = std::map<int32_t, std::map<Key, std::pair<uint32_t, uint32_t>>>;
using Rows = std::vector<std::tuple<int32_t, std::string, float, int32_t, int32_t, int32_t>>;

struct Piece {
    std::string name;
    int32_t quantity, extra;
};

// Few names, so that a style lists one twice and styles share them ("\xC3\xA9" sorts after all ASCII);
// size values that read alike ("0", "-0" and "-0.0"; "1e400" as infinity); counts that wrap round. The last
// of the four styles may list what the third lists, or that but for one extra count.
TEST(MarkerTallyOracle, RandomMarkersWriteWhatAPlainTallyWrites) {
    const std::string names[] = {"a", "A", "ab", "", "\xC3\xA9", ".b#/", "B"};
    const int32_t counts[] = {0, 1, 2, -1, 7, INT32_MAX, INT32_MIN};
    const std::pair<std::string, float> values[] = {{"0", 0.0f},   {"-0", -0.0f},       {"1", 1.0f},
                                                    {"1.5", 1.5f}, {"1e400", INFINITY}, {"-0.0", -0.0f}};
    std::mt19937 random(20240612u);
    const auto below = [&random](uint32_t n) { return random() % n; };
    for (int round = 0; round < 300; ++round) {
        const TempDir dir;
        std::vector<std::vector<Piece>> styles(4); // a missing style has no pieces
        for (size_t s = 0; s < styles.size(); ++s) {
            for (uint32_t n = below(6); n > 0; --n) {
                styles[s].push_back({names[below(7)], counts[below(7)], counts[below(7)]});
            }
            if (s == 3 && below(2) == 0 && !styles[2].empty()) {
                styles[3] = styles[2];
                styles[3].back().extra ^= static_cast<int32_t>(below(2));
            }
            StyleBuilder style(16);
            for (const Piece& piece : styles[s]) {
                style.Piece(piece.name, piece.quantity, piece.extra);
            }
            if (below(6) == 0) {
                styles[s].clear();
            } else {
                dir.Write("data/styles/s" + std::to_string(s), style.Text());
            }
        }
        MarkerBuilder marker(19);
        Tally tally;
        bool loads = true; // only the last style decides
        for (uint32_t slots = below(5); slots > 0; --slots) {
            const size_t s = below(4);
            std::vector<MarkerSize> sizes(below(5));
            for (MarkerSize& size : sizes) {
                const auto& [text, value] = values[below(6)];
                size = {static_cast<int32_t>(below(3)) * 19 - 1, text, static_cast<int32_t>(below(3))};
                auto& model = tally[size.key]; // also when the style has no pieces
                for (const Piece& piece : styles[s]) {
                    auto& sums = model[{piece.name, value, size.count}];
                    sums.first += static_cast<uint32_t>(piece.quantity);
                    sums.second += static_cast<uint32_t>(piece.extra);
                }
            }
            marker.Slot("s" + std::to_string(s), sizes);
            loads = TempDir::Exists(dir.Path("data/styles/s" + std::to_string(s)));
        }
        dir.Write("out/posimport.txt", "older content\r\n");
        const ImportReading reading = QuorImport::Read(dir.Write("data/markers/m.mkr", marker.Text()));
        ASSERT_EQ(reading.kind == ImportKind::Marker, loads) << "round " << round;
        if (!loads) {
            continue;
        }
        TextModeWriter file;
        ASSERT_TRUE(file.Create(dir.Path("expected.txt")));
        DefinitionFileWriter writer(file);
        Rows expected, models;
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
        ASSERT_TRUE(file.Replace());
        for (const auto& [key, model] : reading.marker->GetSizeModels()) {
            for (const PieceTally& t : model) {
                models.emplace_back(key, t.pieceName, t.sizeValue, t.sizeCount, t.quantity, t.extraQuantity);
            }
        }
        // Printed, a size value of -0 differs from 0.
        EXPECT_EQ(testing::PrintToString(models), testing::PrintToString(expected)) << "round " << round;
        const ImportWriting writing =
            QuorImport::Write(reading, ImportPaths::InFolder(dir.Path("out")), Placing::EachWhenComplete);
        EXPECT_EQ(writing.models, tally.size()) << "round " << round;
        EXPECT_EQ(TempDir::ReadFile(dir.Path("out/csvimprt.txt")),
                  TempDir::ReadFile(dir.Path("expected.txt")))
            << "round " << round;
        EXPECT_EQ(TempDir::ReadFile(dir.Path("out/posimport.txt")), "") << "round " << round;
    }
}
} // namespace
