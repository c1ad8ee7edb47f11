// A lay written as the host's definition and position files.
#include "export/PositionFileWriter.h"
#include "files/QuorUnhandledFormatFeatureException.h"
#include "layy/QuorLayY.h"
#include "platform/PathMapping.h"
#include "support/LayBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace {
using B = LayBuilder;

const std::string kOrder = "=:order\r\no:W12-LAY\r\nd:quorix lay Y file import\r\n";

// A placement at `x` with the file's ordinals 1; `flags` 1 turns the piece, 2 sets the second flag.
PlacementSpec At(int32_t model, int32_t piece, float x, int flags = 0, float angle = 0.0f) {
    return {model, piece, (flags & 1) != 0, 1, (flags & 2) != 0, angle, x, -0.5f};
}

using Written = std::tuple<std::string, std::string, std::string>; // definition, positions, error message

// Reads the lay `records` from a file named W12.LAY and writes both import files, the position
// file over older content.
Written Export(const LayBuilder& records) {
    TempDir dir;
    QuorLayY lay;
    EXPECT_TRUE(lay.Load(PathMapping::FromCallerPath(dir.Write("lays/W12.LAY", records.Bytes()))));
    dir.Write("posimport.txt", "older content\r\n");
    EXPECT_TRUE(lay.WriteDefinitionFile(dir.Path("csvimprt.txt")));
    std::string error;
    try {
        EXPECT_TRUE(lay.WritePositionFile(dir.Path("posimport.txt")));
    } catch (const QuorUnhandledFormatFeatureException& e) {
        error = e.GetMessage();
    }
    return {TempDir::ReadFile(dir.Path("csvimprt.txt")), TempDir::ReadFile(dir.Path("posimport.txt")), error};
}

// Positions go by model, then piece, in list order, then in file order. Placements outside the lists, and
// lays without models or without pieces, write no positions; a model name given twice takes the
// placements of both entries at its first one, which disagrees with the counts.
TEST(LayYExport, DefinitionAndPositionFiles) {
    const std::string modelS = "=:model\r\nm:W12-LAY-S\r\n";
    const std::string orderS = "w:55000\r\nm:W12-LAY-S\r\nq:1\r\ns:S\r\n";
    const std::vector<std::pair<LayBuilder, Written>> cases = {
        {B().Y()
             .O({"FRONT", "BA.CK#"}, {"S", "M"})
             .W(1600.0f)
             .P({At(0, 1, 1), At(1, 0, 2), At(0, 0, 3)})
             .T({At(0, 0, 4, 2, 33.5f)})
             .P({At(1, 0, 123.4567f, 1, 90.0f)}),
         {"=:model\r\nm:W12-LAY-S\r\np:FRONT\r\ni:2\r\np:BA-CK-\r\ni:1\r\n"
          "=:model\r\nm:W12-LAY-M\r\np:FRONT\r\ni:2\r\n" +
              kOrder + "w:62.9921\r\nm:W12-LAY-S\r\nq:1\r\ns:S\r\nm:W12-LAY-M\r\nq:1\r\ns:M\r\n",
          "FRONT,S,8,0,0,3,-0.5,0,0,0\r\nFRONT,S,16,2,33.5,4,-0.5,0,0,0\r\nBA.CK#,S,8,0,0,1,-0.5,0,0,0\r\n"
          "FRONT,M,8,0,0,2,-0.5,0,0,0\r\nFRONT,M,8,1,270,123.457,-0.5,0,0,0\r\n",
          ""}},
        {B().Y().O({"F"}, {"S"}).P({At(1, 0, 1), At(0, 1, 2), At(-1, 0, 3), At(0, 0, 4), At(0, -1, 5)}),
         {modelS + "p:F\r\ni:1\r\n" + kOrder + orderS, "F,S,8,0,0,4,-0.5,0,0,0\r\n", ""}},
        {B().Y().O({}, {"S"}).P({At(0, 0, 1)}), {modelS + kOrder + orderS, "", ""}},
        {B().Y().O({"F", "G"}, {}).P({At(0, 1, 1)}), {kOrder + "w:55000\r\n", "", ""}},
        {B().Y().O({"F"}, {"S", "S"}).P({At(1, 0, 1), At(0, 0, 2)}),
         {modelS + "p:F\r\ni:1\r\n" + modelS + "p:F\r\ni:1\r\n" + kOrder + orderS +
              "m:W12-LAY-S\r\nq:1\r\ns:S\r\n",
          "", "There is no position matching an item of CSV definition found."}},
    };
    for (const auto& [records, written] : cases) {
        EXPECT_EQ(Export(records), written);
    }
}

// A long lay's position file is made in parts at the same time; it must be the file its lines make when
// written one after another, in model, piece and file order. A piece name holding a line feed checks
// that the parts keep the stored form.
TEST(LayYExport, LongPositionFileIsTheSameAsItsLinesWrittenInOneGo) {
    const std::vector<std::string> models = {"S", "M", "L"};
    const std::vector<std::string> pieces = {"FRONT", "BA\nCK", "SLEEVE", "CUFF"};
    const int kPlaced = 150000;
    std::vector<PlacementSpec> placed;
    for (int i = 0; i < kPlaced; ++i) {
        PlacementSpec p =
            At(i * 7 % 3, i * 5 % 4, static_cast<float>(i) / 8.0f, i % 4, static_cast<float>(i % 360));
        if (B::Entry(p).find("\r\n") == std::string::npos) { // a CR LF pair would be read as a line feed
            placed.push_back(p);
        }
    }
    TempDir dir;
    QuorLayY lay;
    LayBuilder records = B().Y().O(pieces, models);
    for (size_t from = 0; from < placed.size(); from += 500) { // records of 500 entries
        records.P(std::vector<PlacementSpec>(
            placed.begin() + static_cast<std::ptrdiff_t>(from),
            placed.begin() + static_cast<std::ptrdiff_t>(std::min(from + 500, placed.size()))));
    }
    ASSERT_TRUE(lay.Load(PathMapping::FromCallerPath(dir.Write("L.LAY", records.Bytes()))));
    ASSERT_TRUE(lay.WritePositionFile(dir.Path("posimport.txt")));

    std::vector<size_t> order(placed.size());
    for (size_t k = 0; k < order.size(); ++k) {
        order[k] = k;
    }
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return std::make_pair(placed[a].model, placed[a].piece) <
               std::make_pair(placed[b].model, placed[b].piece);
    });
    PositionFileWriter oneGo;
    ASSERT_TRUE(oneGo.Open(dir.Path("expected.txt")));
    const PositionFileWriter::Names pieceTable(pieces);
    const PositionFileWriter::Names modelTable(models);
    for (const size_t k : order) {
        const PlacementSpec& p = placed[k];
        oneGo.Record(pieceTable, static_cast<size_t>(p.piece), modelTable, static_cast<size_t>(p.model),
                     PositionFileWriter::kKindP, (p.flag1 ? 1 : 0) + (p.flag2 ? 2 : 0),
                     QuorLayY::WrittenAngle(p.angle, p.flag1), p.x, p.y);
    }
    oneGo.Close();
    const std::string written = TempDir::ReadFile(dir.Path("posimport.txt"));
    const auto withLineFeed =
        std::count_if(placed.begin(), placed.end(), [](const PlacementSpec& p) { return p.piece == 1; });
    ASSERT_GT(placed.size(), 140000u);
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'),
              static_cast<std::ptrdiff_t>(placed.size()) + withLineFeed);
    EXPECT_TRUE(written == TempDir::ReadFile(dir.Path("expected.txt")));
}

// A turned piece is turned by half a turn, once, in single precision: 180.00001 + 180 rounds to 360.
TEST(LayYWrittenAngle, TurnedPiecesAreTurnedByHalfATurnOnce) {
    const std::vector<std::tuple<bool, float, float>> cases = {
        {true, 90.0f, 270.0f}, {true, 180.0f, 0.0f},   {true, 200.0f, 20.0f},    {true, 179.5f, 359.5f},
        {true, -90.0f, 90.0f}, {true, 540.0f, 360.0f}, {true, 180.00001f, 0.0f}, {false, 180.0f, 180.0f},
    };
    for (const auto& [flag1, stored, written] : cases) {
        Placement p;
        p.flag1 = flag1;
        p.angle = stored;
        EXPECT_EQ(QuorLayY::WrittenAngle(p), written) << flag1 << ' ' << stored;
    }
}
} // namespace
