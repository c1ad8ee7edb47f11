// The records that fill the lay: what the lay keeps of each, in file order.
#include "layy/QuorLayY.h"
#include "support/LayBuilder.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {
using B = LayBuilder;

bool Load(QuorLayY& lay, const LayBuilder& records) {
    return lay.Load("a.lay", B().Y().Raw(records.Bytes()).Bytes());
}

TEST(LayYRecords, ModelRecordsKeepTheirValuesInFileOrder) {
    QuorLayY empty; // a lay without a 'W' record keeps the start length
    ASSERT_TRUE(Load(empty, B()));
    EXPECT_EQ(empty.GetLayLength(), 50800000.0f);
    const std::string k = B::I32(2) + B::I32(1) + B::I32(2) + B::I32(3) + B::I32(4) + B::I8(-3) + B::I32(9) +
                          B::I32(8) + B::I32(7) + B::I32(-1) + B::I8(127);
    const std::string m = B::I32(2) + B::Str("g1") + B::I32(2) + B::I32(5) + B::I32(-6) + B::Str("") +
                          B::I32(0) + B::I32(2) + B::I32(70) + B::I32(80);
    const PlacementSpec a{2, 1, true, 0, false, -45.25f, 1.5f, -2.5f, 0, -7, 0};
    const PlacementSpec b{2, 1, false, -128, true, 180.0f, 3.0f, 4.0f, 300, 1 << 20, -4};
    const PlacementSpec c{-1, 9, false, 1, false, 0.0f, 0.0f, 0.0f, 1, 0, 1};
    B records = B().W(1.5f, 2.5f).W(3.0f, -4.0f).O({"A", "B\r\n"}, {"S"}).O({"C"}, {"M", ""});
    records.Record('C', B::I32(3) + std::string(72, '\1')).Record('c', B::I32(2) + std::string(36, '\3'));
    QuorLayY lay;
    ASSERT_TRUE(Load(lay, records.Record('K', k).Record('k', B::I32(0)).Record('M', m).P({a, c}).T({b})));
    EXPECT_EQ(lay.GetLayWidth(), 3.0f);
    EXPECT_EQ(lay.GetLayLength(), -4.0f);
    EXPECT_EQ(lay.GetPieceNames(), (std::vector<std::string>{"A", "B\n", "C"}));
    EXPECT_EQ(lay.GetModelNames(), (std::vector<std::string>{"S", "M", ""}));
    ASSERT_EQ(lay.GetCEntries().size(), 3u);
    EXPECT_EQ(lay.GetCEntries()[2].words[8], 0x03030303u);
    ASSERT_EQ(lay.GetMGroups().size(), 2u);
    EXPECT_EQ(lay.GetMGroups()[0].name + "|" + lay.GetMGroups()[1].name, "g1|");
    EXPECT_EQ(lay.GetMGroups()[0].values, (std::vector<int32_t>{5, -6}));
    EXPECT_TRUE(lay.GetMGroups()[1].values.empty());
    EXPECT_EQ(lay.GetMValues(), (std::vector<int32_t>{70, 80}));
    // K entries as "words value;", placements as "model/piece flag1flag2 angle x y valueC ordinals P|T
    // matched;".
    std::ostringstream kept;
    for (const KEntry& e : lay.GetKEntries()) {
        kept << e.words[0] << ',' << e.words[1] << ',' << e.words[2] << ',' << e.words[3] << ' ' << e.value
             << ";";
    }
    for (const Placement& p : lay.GetPlacements()) {
        kept << p.modelIndex << '/' << p.pieceIndex << ' ' << p.flag1 << p.flag2 << ' ' << p.angle << ' '
             << p.x << ' ' << p.y << ' ' << p.valueC << ' ' << p.ordinalA << '/' << p.ordinalB << '/'
             << p.ordinalC << (p.isP ? " P" : " T") << p.matched << ';';
    }
    EXPECT_EQ(kept.str(), "1,2,3,4 -3;9,8,7,4294967295 127;2/1 10 -45.25 1.5 -2.5 -7 -1/-1/-1 P0;"
                          "-1/9 00 0 0 0 0 0/0/0 P0;2/1 01 180 3 4 1048576 -129/299/-5 T0;");
    // Pairs are counted across records.
    const std::map<QuorLayY::PairKey, int32_t> counts{{{-1, 9}, 1}, {{2, 1}, 2}};
    EXPECT_EQ(lay.GetPlacementCounts(), counts);
}
} // namespace
