// A lay written as the host's definition and position files.
#include "files/QuorUnhandledFormatFeatureException.h"
#include "layy/QuorLayY.h"
#include "platform/Parallel.h"
#include "support/LayBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
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
    EXPECT_TRUE(lay.Load("lays\\W12.LAY", records.Bytes()));
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

// Piece names are cleaned in the definition file (each '.', '/' and '#', the first character too), model
// names nowhere, and no name in the position file. Positions go by model, then piece, in list order, then in
// file order. Placements outside the lists, and lays without models or without pieces, write no positions; a
// model name given twice takes the placements of both entries at its first one, which disagrees with the
// counts.
TEST(LayYExport, DefinitionAndPositionFiles) {
    const std::string modelS = "=:model\r\nm:W12-LAY-S\r\n";
    const std::string orderS = "w:55000\r\nm:W12-LAY-S\r\nq:1\r\ns:S\r\n";
    const std::vector<std::pair<LayBuilder, Written>> cases = {
        {B().Y()
             .O({"FRONT", ".B A/C_K:#"}, {"S", "M.1/#"})
             .W(1600.0f)
             .P({At(0, 1, 1), At(1, 0, 2), At(0, 0, 3)})
             .T({At(0, 0, 4, 2, 33.5f)})
             .P({At(1, 0, 123.4567f, 1, 90.0f)}),
         {"=:model\r\nm:W12-LAY-S\r\np:FRONT\r\ni:2\r\np:-B A-C_K:-\r\ni:1\r\n"
          "=:model\r\nm:W12-LAY-M.1/#\r\np:FRONT\r\ni:2\r\n" +
              kOrder + "w:62.9921\r\nm:W12-LAY-S\r\nq:1\r\ns:S\r\nm:W12-LAY-M.1/#\r\nq:1\r\ns:M.1/#\r\n",
          "FRONT,S,8,0,0,3,-0.5,0,0,0\r\nFRONT,S,16,2,33.5,4,-0.5,0,0,0\r\n.B "
          "A/C_K:#,S,8,0,0,1,-0.5,0,0,0\r\n"
          "FRONT,M.1/#,8,0,0,2,-0.5,0,0,0\r\nFRONT,M.1/#,8,1,270,123.457,-0.5,0,0,0\r\n",
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

// A lay's position file made in one part, and cut into two, three and four parts made at the same time
// (whatever the machine), must be the lines of its placements in model, piece and file order, each as
// the C library prints it. The positions have at most six digits, so that the library's own rounding
// and the host's agree. A piece name holding a line feed checks that the parts keep the stored form.
class LayYPositionFileInParts : public testing::TestWithParam<size_t> {};

TEST_P(LayYPositionFileInParts, IsTheLinesOfThePlacementsInOrder) {
    const Parallel::ForcedParts parts(GetParam());
    const std::vector<std::string> models = {"S", "M", "L"};
    const std::vector<std::string> pieces = {"FRONT", "BA\nCK", "SLEEVE", "CUFF"};
    std::vector<PlacementSpec> placed;
    for (int i = 0; i < 3000; ++i) {
        PlacementSpec p =
            At(i * 7 % 3, i * 5 % 4, static_cast<float>(i) / 8.0f, i % 4, static_cast<float>(i % 360));
        if (B::Entry(p).find("\r\n") == std::string::npos) { // a CR LF pair would be read as a line feed
            placed.push_back(p);
        }
    }
    LayBuilder records = B().Y().O(pieces, models);
    for (size_t from = 0; from < placed.size(); from += 500) { // records of 500 entries
        records.P(std::vector<PlacementSpec>(
            placed.begin() + static_cast<std::ptrdiff_t>(from),
            placed.begin() + static_cast<std::ptrdiff_t>(std::min(from + 500, placed.size()))));
    }
    TempDir dir;
    QuorLayY lay;
    ASSERT_TRUE(lay.Load("L.LAY", records.Bytes()));
    ASSERT_TRUE(lay.WritePositionFile(dir.Path("posimport.txt")));

    std::stable_sort(placed.begin(), placed.end(), [](const PlacementSpec& a, const PlacementSpec& b) {
        return std::make_pair(a.model, a.piece) < std::make_pair(b.model, b.piece);
    });
    std::string expected;
    for (const PlacementSpec& p : placed) {
        std::string piece = pieces[static_cast<size_t>(p.piece)];
        for (size_t at = piece.find('\n'); at != std::string::npos; at = piece.find('\n', at + 2)) {
            piece.replace(at, 1, "\r\n");
        }
        char numbers[96];
        std::snprintf(numbers, sizeof numbers, ",8,%d,%g,%g,%g,0,0,0\r\n",
                      (p.flag1 ? 1 : 0) + (p.flag2 ? 2 : 0),
                      static_cast<double>(p.flag1 ? std::fmod(p.angle + 180.0f, 360.0f) : p.angle),
                      static_cast<double>(p.x), static_cast<double>(p.y));
        expected += piece + "," + models[static_cast<size_t>(p.model)] + numbers;
    }
    EXPECT_TRUE(TempDir::ReadFile(dir.Path("posimport.txt")) == expected);
}

INSTANTIATE_TEST_SUITE_P(Parts, LayYPositionFileInParts, testing::Values(1, 2, 3, 4),
                         [](const testing::TestParamInfo<size_t>& info) {
                             return std::to_string(info.param) + "Parts";
                         });

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
