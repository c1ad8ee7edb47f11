// The import files: a lay's definition and position files, and the position matcher against the plain walk
// of every (model, piece) pair over every placement.
#include "export/FileSink.h"
#include "export/PositionMatcher.h"
#include "export/QuorLayYExport.h"
#include "files/QuorUnhandledFormatFeatureException.h"
#include "layy/QuorLayY.h"
#include "platform/Parallel.h"
#include "support/LayBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

using namespace quorix;

using quorix::runtime::MemorySink;

namespace {
using B = LayBuilder;

const std::string kOrder = "=:order\r\no:W12-LAY\r\nd:quorix lay Y file import\r\n";

// A placement at `x` with the file's ordinals 1; `flags` 1 turns the piece, 2 sets the second flag.
PlacementSpec At(int32_t model, int32_t piece, float x, int flags = 0, float angle = 0.0f) {
    return {model, piece, (flags & 1) != 0, 1, (flags & 2) != 0, angle, x, -0.5f};
}

std::string PartsName(const testing::TestParamInfo<size_t>& info) {
    return std::to_string(info.param) + "Parts";
}

// Reads the lay `records` as a file named W12.LAY and makes its definition and position files in memory;
// when the position writer throws, the error's message and what it wrote before.
std::pair<std::string, std::string> Export(const LayBuilder& records) {
    QuorLayY lay;
    EXPECT_TRUE(lay.Load("lays\\W12.LAY", records.Bytes()));
    MemorySink definition, positions;
    quorix::WriteDefinition(lay, definition);
    std::string error;
    try {
        quorix::WritePositions(lay, positions);
    } catch (const QuorUnhandledFormatFeatureException& e) {
        error = e.GetMessage();
    }
    return {std::string(definition.Bytes()), error + std::string(positions.Bytes())};
}

// Piece names are cleaned in the definition file (each '.', '/' and '#', the first character too), model
// names nowhere, no name in the position file; a line feed in a name is stored as CR LF, also in names about
// as long as the 16-byte blocks they are copied in. Positions go by model, then piece, in list order, then in
// file order; a turned piece (flag 1) is turned by half a turn, once, in single precision (180.00001 + 180
// rounds to 360). Placements outside the lists, or in lays without models or pieces, write no positions; a
// model name given twice takes the placements of both entries at its first one: not what the counts say.
TEST(LayYExport, DefinitionAndPositionFiles) {
    const std::string modelS = "=:model\r\nm:W12-LAY-S\r\n";
    const std::string orderS = "w:55000\r\nm:W12-LAY-S\r\nq:1\r\ns:S\r\n";
    const std::string modelM = "M.1/#\r\nabcdefghij"; // 16 bytes, a line feed among them, as stored
    const std::vector<std::pair<LayBuilder, std::pair<std::string, std::string>>> cases = {
        {B().Y()
             .O({"FRONT", ".B A/C_K:#\n123456"}, {"S", "M.1/#\nabcdefghij"})
             .W(1600.0f)
             .P({At(0, 1, 1), At(1, 0, 2), At(0, 0, 3)})
             .T({At(0, 0, 4, 2, 33.5f)})
             .P({At(1, 0, 123.4567f, 3, 90.0f)}),
         {"=:model\r\nm:W12-LAY-S\r\np:FRONT\r\ni:2\r\np:-B A-C_K:-\r\n123456\r\ni:1\r\n"
          "=:model\r\nm:W12-LAY-" +
              modelM + "\r\np:FRONT\r\ni:2\r\n" + kOrder +
              "w:62.9921\r\nm:W12-LAY-S\r\nq:1\r\ns:S\r\nm:W12-LAY-" + modelM + "\r\nq:1\r\ns:" + modelM +
              "\r\n",
          "FRONT,S,8,0,0,3,-0.5,0,0,0\r\nFRONT,S,16,2,33.5,4,-0.5,0,0,0\r\n"
          ".B A/C_K:#\r\n123456,S,8,0,0,1,-0.5,0,0,0\r\n"
          "FRONT," +
              modelM + ",8,0,0,2,-0.5,0,0,0\r\nFRONT," + modelM + ",8,3,270,123.457,-0.5,0,0,0\r\n"}},
        {B().Y()
             .O({"F"}, {"S"})
             .P({At(1, 0, 1), At(0, 1, 2), At(-1, 0, 3), At(0, 0, 4), At(0, -1, 5)})
             .T({At(0, 0, 6, 1, 180.0f), At(0, 0, 7, 1, 540.0f), At(0, 0, 8, 1, 180.00001f),
                 At(0, 0, 9, 1, -90.0f)}),
         {modelS + "p:F\r\ni:5\r\n" + kOrder + orderS,
          "F,S,8,0,0,4,-0.5,0,0,0\r\nF,S,16,1,0,6,-0.5,0,0,0\r\nF,S,16,1,360,7,-0.5,0,0,0\r\n"
          "F,S,16,1,0,8,-0.5,0,0,0\r\nF,S,16,1,90,9,-0.5,0,0,0\r\n"}},
        {B().Y().O({}, {"S"}).P({At(0, 0, 1)}), {modelS + kOrder + orderS, ""}},
        {B().Y().O({"F", "G"}, {}).P({At(0, 1, 1)}), {kOrder + "w:55000\r\n", ""}},
        {B().Y().O({"F"}, {"S", "S"}).P({At(1, 0, 1), At(0, 0, 2)}),
         {modelS + "p:F\r\ni:1\r\n" + modelS + "p:F\r\ni:1\r\n" + kOrder + orderS +
              "m:W12-LAY-S\r\nq:1\r\ns:S\r\n",
          "There is no position matching an item of CSV definition found."}},
    };
    for (const auto& [records, written] : cases) {
        EXPECT_EQ(Export(records), written);
    }
}

// A lay's position file cut into two, three and four parts made at the same time (whatever the machine),
// the first streamed to a file and the others made in memory, must be the bytes of the file made in one
// part in memory. A piece name holding line feeds checks that the parts keep the stored form, and that
// the names' block has room for the CR of each.
class LayYPositionFileInParts : public testing::TestWithParam<size_t> {};

TEST_P(LayYPositionFileInParts, IsTheFileMadeInOnePart) {
    const std::vector<std::string> pieces = {"FRONT", "BA" + std::string(4000, '\n') + "CK", "SLEEVE", "CUFF"};
    LayBuilder records = B().Y().O(pieces, {"S", "M", "L"});
    std::vector<PlacementSpec> placed;
    for (int i = 0; i < 3000; ++i) {
        const PlacementSpec p =
            At(i * 7 % 3, i * 5 % 4, static_cast<float>(i) / 8.0f, i % 4, static_cast<float>(i % 360));
        if (B::Entry(p).find("\r\n") == std::string::npos) { // a CR LF pair would be read as a line feed
            placed.push_back(p);
        }
        if (placed.size() == 500 || i == 2999) { // records of 500 entries
            records.P(placed);
            placed.clear();
        }
    }
    QuorLayY lay;
    ASSERT_TRUE(lay.Load("L.LAY", records.Bytes()));
    MemorySink inOnePart;
    {
        const parallel::ForcedParts one(1);
        ASSERT_EQ(quorix::WritePositions(lay, inOnePart), lay.GetPlacements().size());
    }
    const parallel::ForcedParts parts(GetParam());
    const TempDir dir;
    quorix::Folder folder;
    ASSERT_FALSE(folder.Open(dir.Path()));
    FileSink file;
    ASSERT_TRUE(file.Create(folder, "posimport.txt"));
    quorix::WritePositions(lay, file);
    ASSERT_TRUE(file.Replace());
    EXPECT_TRUE(TempDir::ReadFile(dir.Path("posimport.txt")) == inOnePart.Bytes());
    std::string storedBack = "\r\nBA";
    for (int i = 0; i < 4000; ++i) {
        storedBack += "\r\n";
    }
    EXPECT_NE(inOnePart.Bytes().find(storedBack + "CK,S,8,"), std::string_view::npos);
}

INSTANTIATE_TEST_SUITE_P(Parts, LayYPositionFileInParts, testing::Values(2, 3, 4), PartsName);

using NameList = std::vector<std::string>;
using Row = std::tuple<std::string, std::string, float, float, float, bool, bool, bool>;

class PositionMatcherOracle : public testing::TestWithParam<size_t> {};

bool Named(const NameList& names, int32_t i, const std::string& name) {
    return i >= 0 && i < static_cast<int32_t>(names.size()) && names[static_cast<size_t>(i)] == name;
}

// The walk: for each model i and piece j in list order, every placement not taken yet whose names are
// those of i and j, as many as the count of (i, j) says (none when it has no count), else the lay is
// refused. The matcher must refuse the same lays and order the others as the walk takes them; returns
// whether the walk refuses.
bool WalkRefuses(const NameList& models, const NameList& pieces, const PlacementList& placements,
                 const std::map<quorix::detail::PairKey, int32_t>& counts) {
    std::vector<Row> walked, matched;
    std::vector<bool> taken(placements.size(), false);
    bool agrees = true;
    for (size_t i = 0; i < models.size(); ++i) {
        for (size_t j = 0; j < pieces.size(); ++j) {
            int32_t found = 0;
            for (size_t k = 0; k < placements.size(); ++k) {
                const Placement p = placements[k];
                if (!taken[k] && Named(models, p.modelIndex, models[i]) && Named(pieces, p.pieceIndex, pieces[j])) {
                    taken[k] = true;
                    walked.emplace_back(models[i], pieces[j], p.x, p.y, p.angle, p.flag1, p.flag2, p.isP);
                    ++found;
                }
            }
            const auto count = counts.find({static_cast<int32_t>(i), static_cast<int32_t>(j)});
            agrees = agrees && found == (count == counts.end() ? 0 : count->second);
        }
    }
    quorix::detail::PositionOrder ordered;
    EXPECT_EQ(quorix::detail::MatchPositions(models, pieces, placements, counts, ordered), agrees);
    for (size_t line = 0; line < ordered.Lines(); ++line) {
        const Placement q = placements[ordered.PlacementOf(line)];
        matched.emplace_back(models[static_cast<size_t>(q.modelIndex)], pieces[static_cast<size_t>(q.pieceIndex)],
                             q.x, q.y, q.angle, q.flag1, q.flag2, q.isP);
    }
    EXPECT_EQ(matched, agrees ? walked : std::vector<Row>());
    return !agrees;
}

// Counts that no lay reader keeps, refused by the walk's rule alone: a count at a pair whose names an
// earlier pair has, without placements; a last model's placements without a count. Accepted: placements
// under a piece name's second index, counted at its first. Then random lays of
// few names from a small alphabet (so that lists often hold a name twice; "a", "A" and "a\0" differ),
// placements now and then one past either end of a list, counts as the lay reader keeps them but for one
// at a random pair that may be one more or one less; some lays long enough for a sort to show whether it
// keeps the file order. In one part and cut into two, three and four parts that run at the same time,
// whatever the machine.
TEST_P(PositionMatcherOracle, SameResultAndOrderAsTheWalkOnRandomLays) {
    const parallel::ForcedParts parts(GetParam());
    const struct {
        NameList models, pieces;
        std::vector<std::pair<int32_t, int32_t>> placed;
        std::map<quorix::detail::PairKey, int32_t> counts;
        bool refused;
    } crafted[] = {{{"a", "a"}, {"b"}, {{0, 0}}, {{{0, 0}, 1}, {{1, 0}, 1}}, true},
                   {{"a", "b"}, {"c"}, {{0, 0}, {1, 0}}, {{{0, 0}, 1}}, true},
                   {{"a"}, {"b", "b"}, {{0, 1}, {0, 0}}, {{{0, 0}, 2}}, false}};
    for (const auto& c : crafted) {
        PlacementList placements;
        for (const auto& [model, piece] : c.placed) {
            placements.Append(B::Entry(At(model, piece, 1)).data(), true);
        }
        EXPECT_EQ(WalkRefuses(c.models, c.pieces, placements, c.counts), c.refused);
    }
    const std::string alphabet[] = {"a", "A", "b", "", std::string("a\0", 2)};
    std::mt19937 random(20240611u);
    const auto below = [&random](size_t n) { return static_cast<int32_t>(random() % n); };
    const auto index = [&below](const NameList& names) {
        return names.empty() || below(4) == 0 ? below(names.size() + 2) - 1 : below(names.size());
    };
    int refused = 0;
    for (int round = 0; round < 600; ++round) {
        NameList models(static_cast<size_t>(below(5))), pieces(static_cast<size_t>(below(5)));
        for (NameList* list : {&models, &pieces}) {
            for (std::string& name : *list) {
                name = alphabet[below(5)];
            }
        }
        PlacementList placements;
        std::map<quorix::detail::PairKey, int32_t> counts;
        for (int k = below(4) == 0 ? below(60) : below(9); k > 0; --k) {
            PlacementSpec placed = At(index(models), index(pieces), static_cast<float>(placements.size()),
                                      below(4), static_cast<float>(below(360))); // x tells them apart
            placed.y = static_cast<float>(below(1000));
            placements.Append(B::Entry(placed).data(), below(2) == 0);
            ++counts[{placed.model, placed.piece}];
        }
        counts[{below(4) - 1, below(4) - 1}] += below(3) == 0 ? below(3) - 1 : 0;
        refused += WalkRefuses(models, pieces, placements, counts) ? 1 : 0;
        ASSERT_FALSE(HasFailure()) << "round " << round;
    }
    // Both outcomes must be well represented for the comparison to mean anything.
    EXPECT_GT(refused, 100);
    EXPECT_LT(refused, 400);
}

INSTANTIATE_TEST_SUITE_P(Parts, PositionMatcherOracle, testing::Values(1, 2, 3, 4), PartsName);
} // namespace
