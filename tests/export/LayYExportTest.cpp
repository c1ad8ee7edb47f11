// A lay written as the host's definition and position files.
#include "files/QuorUnhandledFormatFeatureException.h"
#include "layy/QuorLayY.h"
#include "platform/PathMapping.h"
#include "support/LayBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <climits>

namespace {
using B = LayBuilder;

const std::string kOrderLines = "=:order\r\no:W12-LAY\r\nd:quorix lay Y file import\r\n";

PlacementSpec At(int32_t model, int32_t piece, float x) {
    PlacementSpec entry;
    entry.model = model;
    entry.piece = piece;
    entry.x = x;
    return entry;
}

class LayYExport : public ::testing::Test {
protected:
    // Reads the lay from a file named W12.LAY and writes the definition file; the position file already
    // holds older content.
    void Load(const LayBuilder& records) {
        const std::string input = dir.Write("lays/W12.LAY", B().Y().Raw(records.Bytes()).Bytes());
        ASSERT_TRUE(lay.Load(PathMapping::FromCallerPath(input))) << lay.GetFailureText();
        dir.Write("posimport.txt", "older content\r\n");
        ASSERT_TRUE(lay.WriteDefinitionFile(dir.Path("csvimprt.txt")));
    }
    std::string Definition() const { return TempDir::ReadFile(dir.Path("csvimprt.txt")); }
    std::string Positions() {
        EXPECT_TRUE(lay.WritePositionFile(dir.Path("posimport.txt")));
        return TempDir::ReadFile(dir.Path("posimport.txt"));
    }

    TempDir dir;
    QuorLayY lay;
};

TEST_F(LayYExport, ModelsThenPiecesInListOrderThenFileOrder) {
    PlacementSpec turned = At(1, 0, 123.4567f);
    turned.flag1 = true;
    turned.angle = 90.0f;
    turned.y = -0.5f;
    PlacementSpec fromT = At(0, 0, 4.0f);
    fromT.flag2 = true;
    fromT.angle = 33.5f;
    Load(B().O({"FRONT", "BACK"}, {"S", "M"})
             .W(1600.0f)
             .P({At(0, 1, 1.0f), At(1, 0, 2.0f), At(0, 0, 3.0f)})
             .T({fromT})
             .P({turned}));
    EXPECT_EQ(Definition(), "=:model\r\nm:W12-LAY-S\r\np:FRONT\r\ni:2\r\np:BACK\r\ni:1\r\n"
                            "=:model\r\nm:W12-LAY-M\r\np:FRONT\r\ni:2\r\n" +
                                kOrderLines +
                                "w:62.9921\r\nm:W12-LAY-S\r\nq:1\r\ns:S\r\nm:W12-LAY-M\r\nq:1\r\ns:M\r\n");
    EXPECT_EQ(Positions(), "FRONT,S,8,0,0,3,0,0,0,0\r\n"
                           "FRONT,S,16,2,33.5,4,0,0,0,0\r\n"
                           "BACK,S,8,0,0,1,0,0,0,0\r\n"
                           "FRONT,M,8,0,0,2,0,0,0,0\r\n"
                           "FRONT,M,8,1,270,123.457,-0.5,0,0,0\r\n");
}

TEST_F(LayYExport, LayWithoutRecordsKeepsTheStartWidth) {
    Load(B());
    EXPECT_EQ(Definition(), kOrderLines + "w:55000\r\n");
    EXPECT_EQ(Positions(), "");
}

TEST_F(LayYExport, PieceNamesCleanedOnlyInDefinitionPieceLines) {
    Load(B().O({"A.1#/"}, {"S.2"}).W(2540.0f).P({At(0, 0, 0.0f)}));
    EXPECT_EQ(Definition(), "=:model\r\nm:W12-LAY-S.2\r\np:A-1--\r\ni:1\r\n" + kOrderLines +
                                "w:100\r\nm:W12-LAY-S.2\r\nq:1\r\ns:S.2\r\n");
    EXPECT_EQ(Positions(), "A.1#/,S.2,8,0,0,0,0,0,0,0\r\n");
}

TEST_F(LayYExport, DuplicateModelNameWithPlacementsFailsAfterTheDefinitionFile) {
    Load(B().O({"F"}, {"S", "S"}).P({At(1, 0, 1.0f), At(0, 0, 2.0f)}));
    EXPECT_EQ(Definition(),
              "=:model\r\nm:W12-LAY-S\r\np:F\r\ni:1\r\n=:model\r\nm:W12-LAY-S\r\np:F\r\ni:1\r\n" +
                  kOrderLines + "w:55000\r\nm:W12-LAY-S\r\nq:1\r\ns:S\r\nm:W12-LAY-S\r\nq:1\r\ns:S\r\n");
    try {
        lay.WritePositionFile(dir.Path("posimport.txt"));
        ADD_FAILURE() << "the position file was written";
    } catch (const QuorUnhandledFormatFeatureException& error) {
        EXPECT_EQ(error.GetMessage(), "There is no position matching an item of CSV definition found.");
    }
    EXPECT_EQ(TempDir::ReadFile(dir.Path("posimport.txt")), "");
}

TEST_F(LayYExport, PlacementsOutsideTheListsAreLeftOut) {
    Load(B().O({"F"}, {"S"})
             .P({At(1, 0, 1.0f), At(0, 1, 2.0f), At(-1, 0, 3.0f), At(0, 0, 4.0f), At(0, -1, 5.0f),
                 At(INT_MAX, INT_MIN, 6.0f), At(INT_MIN, INT_MAX, 7.0f)}));
    EXPECT_EQ(Definition(), "=:model\r\nm:W12-LAY-S\r\np:F\r\ni:1\r\n" + kOrderLines +
                                "w:55000\r\nm:W12-LAY-S\r\nq:1\r\ns:S\r\n");
    EXPECT_EQ(Positions(), "F,S,8,0,0,4,0,0,0,0\r\n");
}

TEST_F(LayYExport, ModelsWithoutPiecesWriteBareModelBlocks) {
    Load(B().O({}, {"S", "M"}).P({At(0, 0, 1.0f), At(1, 0, 2.0f)}));
    EXPECT_EQ(Definition(), "=:model\r\nm:W12-LAY-S\r\n=:model\r\nm:W12-LAY-M\r\n" + kOrderLines +
                                "w:55000\r\nm:W12-LAY-S\r\nq:1\r\ns:S\r\nm:W12-LAY-M\r\nq:1\r\ns:M\r\n");
    EXPECT_EQ(Positions(), "");
}

TEST_F(LayYExport, PiecesWithoutModelsWriteOnlyTheOrderBlock) {
    Load(B().O({"F", "G"}, {}).P({At(0, 1, 1.0f)}));
    EXPECT_EQ(Definition(), kOrderLines + "w:55000\r\n");
    EXPECT_EQ(Positions(), "");
}

struct AngleCase {
    bool flag1;
    float stored;
    float written;
};

class LayYWrittenAngle : public ::testing::TestWithParam<AngleCase> {};

TEST_P(LayYWrittenAngle, TurnedPiecesAreTurnedByHalfATurnOnce) {
    Placement p;
    p.flag1 = GetParam().flag1;
    p.angle = GetParam().stored;
    EXPECT_EQ(QuorLayY::WrittenAngle(p), GetParam().written);
}

// 180.00001 + 180 rounds to 360 in single precision, so the turned angle is 0, not 1.5e-05.
INSTANTIATE_TEST_SUITE_P(Angles, LayYWrittenAngle,
                         ::testing::Values(AngleCase{true, 90.0f, 270.0f}, AngleCase{true, 180.0f, 0.0f},
                                           AngleCase{true, 200.0f, 20.0f}, AngleCase{true, 179.5f, 359.5f},
                                           AngleCase{true, -90.0f, 90.0f}, AngleCase{true, 540.0f, 360.0f},
                                           AngleCase{true, -400.0f, -220.0f},
                                           AngleCase{false, 180.0f, 180.0f}, AngleCase{false, 540.0f, 540.0f},
                                           AngleCase{false, -90.0f, -90.0f},
                                           AngleCase{true, 180.00001f, 0.0f}));
} // namespace
