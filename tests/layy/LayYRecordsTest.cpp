// The content of each record kind: what the lay keeps, and exactly how many bytes each record takes.
#include "layy/QuorLayY.h"
#include "platform/PathMapping.h"
#include "support/LayBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>

namespace {
using B = LayBuilder;

constexpr uint32_t kWordBase = 0x01020310;

// Distinct 4-byte values, none holding a CR or an LF byte.
std::string Words(int count) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        out += B::I32(kWordBase + static_cast<uint32_t>(i));
    }
    return out;
}

class LayYRecords : public ::testing::Test {
protected:
    bool LoadBytes(const std::string& bytes) {
        lay = std::make_unique<QuorLayY>();
        return lay->Load(PathMapping::FromCallerPath(dir.Write("a.lay", bytes)));
    }
    // Loads a lay of a 'Y' record, the given records and a closing 'W' record (width 100).
    bool Load(const LayBuilder& records) { return LoadBytes(B().Y().Raw(records.Bytes()).W(100.0f).Bytes()); }
    TempDir dir;
    std::unique_ptr<QuorLayY> lay;
};

// Records whose values are dropped: with the length field counting the content, the parse reaches the
// closing record; with one byte less it fails, so the handler takes exactly the content.
struct DroppedCase {
    const char* name;
    char tag;
    std::string content;
};

const DroppedCase kDropped[] = {
    {"Y", 'Y', Words(1)},
    {"Less", '<', Words(3)},
    {"Greater", '>', Words(2)},
    {"r", 'r', Words(2)},
    {"F", 'F', Words(3)},
    {"m", 'm', Words(1)},
    {"G", 'G', Words(1) + "\x05"},
    {"i", 'i', "\x05" + Words(1)},
    {"I", 'I', B::I16(3) + B::Str("name") + Words(1)},
    // The three bytes before the strings are skipped as file bytes: a CR LF pair there counts twice.
    {"At", '@', "\r\nz" + B::Str("") + B::Str("a") + B::Str("") + B::Str("bc")},
    {"X", 'X', Words(2) + B::Str("a") + B::Str("b") + Words(3) + B::Str("") + B::Str("cd")},
    {"H", 'H', Words(14) + B::Str("a") + B::Str("bc")},
    {"S", 'S', B::I32(2) + Words(8)},
    {"SNegative", 'S', B::I32(-1)},
    {"g", 'g', B::I32(2) + "ab" + Words(1) + "cd" + Words(1)},
    {"gNegative", 'g', B::I32(-5)},
    {"tOneField", 't', Words(1)},
    {"tTwoFields", 't', Words(2)},
    {"CaretOneField", '^', Words(1)},
    {"CaretFourFields", '^', Words(4)},
    {"BarPairOnly", '|', B::I32(1) + Words(2)},
    {"BarSecondListEmpty", '|', B::I32(1) + Words(2) + B::I32(0)},
    {"BarThreeLists", '|', B::I32(1) + Words(2) + B::I32(1) + Words(1) + B::I32(2) + Words(2)},
    {"BarNoPairs", '|', B::I32(0)},
    {"LEmpty", 'L', ""},
    {"LOneEntryEmptyName", 'L', Words(5) + B::Str("")},
    {"LTwoEntries", 'L', Words(5) + B::Str("ab") + Words(5) + B::Str("")},
    {"l", 'l', Words(6) + B::Str("ab") + Words(6) + B::Str("")},
    {"p", 'p', Words(6) + B::Str("")},
    {"KNegative", 'K', B::I32(-1)},
    {"PNegative", 'P', B::I32(-2)},
    {"ONegative", 'O', B::I32(-1) + B::I32(-1)},
    {"MNegative", 'M', B::I32(-1) + B::I32(-1)},
};

class LayYDroppedRecords : public LayYRecords, public ::testing::WithParamInterface<DroppedCase> {};

TEST_P(LayYDroppedRecords, TakesExactlyItsContent) {
    const DroppedCase& c = GetParam();
    ASSERT_TRUE(Load(B().Record(c.tag, c.content))) << lay->GetFailureText();
    EXPECT_EQ(lay->GetLayWidth(), 100.0f);
    const int shorter = static_cast<int>(c.content.size());
    EXPECT_FALSE(Load(B().RecordWithLength(shorter, c.tag, c.content)));
    EXPECT_EQ(lay->GetFailureText(), QuorLayY::kOverReadText);
}

INSTANTIATE_TEST_SUITE_P(Records, LayYDroppedRecords, ::testing::ValuesIn(kDropped),
                         [](const ::testing::TestParamInfo<DroppedCase>& info) { return info.param.name; });

TEST_F(LayYRecords, LaterWRecordOverwritesBothFloats) {
    ASSERT_TRUE(LoadBytes(B().Y().W(1.5f, 2.5f).Bytes()));
    EXPECT_EQ(lay->GetLayWidth(), 1.5f);
    EXPECT_EQ(lay->GetLayLength(), 2.5f);
    ASSERT_TRUE(LoadBytes(B().Y().W(1.5f, 2.5f).W(3.0f, -4.0f).Bytes()));
    EXPECT_EQ(lay->GetLayWidth(), 3.0f);
    EXPECT_EQ(lay->GetLayLength(), -4.0f);
}

TEST_F(LayYRecords, SecondORecordAppendsToBothLists) {
    ASSERT_TRUE(Load(B().O({"A", "B"}, {"S"}).O({"C"}, {"M", ""})));
    EXPECT_EQ(lay->GetPieceNames(), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(lay->GetModelNames(), (std::vector<std::string>{"S", "M", ""}));
}

struct CCase {
    int32_t count;
    int entriesInFile;
    size_t entriesKept;
};

class LayYCRecord : public LayYRecords, public ::testing::WithParamInterface<CCase> {};

// The count of a 'C' record is one more than the entries that it holds; a third entry is left-over content.
TEST_P(LayYCRecord, ReadsCountMinusOneEntries) {
    const CCase& c = GetParam();
    std::string content = B::I32(c.count);
    for (int e = 0; e < c.entriesInFile; ++e) {
        content += Words(9);
    }
    ASSERT_TRUE(Load(B().Record('C', content).Record('c', B::I32(2) + Words(9)))) << lay->GetFailureText();
    ASSERT_EQ(lay->GetCEntries().size(), c.entriesKept + 1);
    for (const CEntry& entry : lay->GetCEntries()) {
        for (size_t w = 0; w < 9; ++w) {
            EXPECT_EQ(entry.words[w], kWordBase + w);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Counts, LayYCRecord,
                         ::testing::Values(CCase{3, 2, 2}, CCase{3, 3, 2}, CCase{0, 0, 0}, CCase{1, 0, 0},
                                           CCase{-1, 0, 0}, CCase{INT_MIN, 0, 0}));

TEST_F(LayYRecords, KAndMRecordsKeepTheirValuesInFileOrder) {
    const std::string k =
        B::I32(2) + Words(4) + B::I8(-3) + B::I32(9) + B::I32(8) + B::I32(7) + B::I32(-1) + B::I8(127);
    const std::string m = B::I32(2) + B::Str("g1") + B::I32(2) + B::I32(5) + B::I32(-6) + B::Str("") +
                          B::I32(0) + B::I32(2) + B::I32(70) + B::I32(80);
    ASSERT_TRUE(Load(B().Record('K', k).Record('k', B::I32(0)).Record('M', m)));
    ASSERT_EQ(lay->GetKEntries().size(), 2u);
    EXPECT_EQ(lay->GetKEntries()[0].words,
              (std::array<uint32_t, 4>{kWordBase, kWordBase + 1, kWordBase + 2, kWordBase + 3}));
    EXPECT_EQ(lay->GetKEntries()[0].value, -3);
    EXPECT_EQ(lay->GetKEntries()[1].words, (std::array<uint32_t, 4>{9u, 8u, 7u, 0xFFFFFFFFu}));
    EXPECT_EQ(lay->GetKEntries()[1].value, 127);
    ASSERT_EQ(lay->GetMGroups().size(), 2u);
    EXPECT_EQ(lay->GetMGroups()[0].name, "g1");
    EXPECT_EQ(lay->GetMGroups()[0].values, (std::vector<int32_t>{5, -6}));
    EXPECT_EQ(lay->GetMGroups()[1].name, "");
    EXPECT_TRUE(lay->GetMGroups()[1].values.empty());
    EXPECT_EQ(lay->GetMValues(), (std::vector<int32_t>{70, 80}));
}

TEST_F(LayYRecords, PlacementsKeepTheirFieldsAndAreCountedPerPair) {
    PlacementSpec a{2, 1, true, 0, false, -45.25f, 1.5f, -2.5f, 0, -7, 0};
    PlacementSpec b{2, 1, false, -128, true, 180.0f, 3.0f, 4.0f, 300, 1 << 20, -4};
    PlacementSpec c{-1, 9, false, 1, false, 0.0f, 0.0f, 0.0f, 1, 0, 1};
    ASSERT_TRUE(Load(B().P({a, c}).T({b})));
    const std::vector<Placement>& ps = lay->GetPlacements();
    ASSERT_EQ(ps.size(), 3u);
    EXPECT_EQ(ps[0].modelIndex, 2);
    EXPECT_EQ(ps[0].pieceIndex, 1);
    EXPECT_TRUE(ps[0].flag1);
    EXPECT_FALSE(ps[0].flag2);
    EXPECT_EQ(ps[0].angle, -45.25f);
    EXPECT_EQ(ps[0].x, 1.5f);
    EXPECT_EQ(ps[0].y, -2.5f);
    EXPECT_EQ(ps[0].valueC, -7);
    EXPECT_EQ(ps[0].ordinalA, -1); // zeros in the file give -1
    EXPECT_EQ(ps[0].ordinalB, -1);
    EXPECT_EQ(ps[0].ordinalC, -1);
    EXPECT_TRUE(ps[0].isP);
    EXPECT_EQ(ps[1].modelIndex, -1);
    EXPECT_EQ(ps[1].pieceIndex, 9);
    EXPECT_EQ(ps[1].ordinalA, 0);
    EXPECT_TRUE(ps[1].isP);
    EXPECT_FALSE(ps[2].isP); // the same layout in a 'T' record
    EXPECT_FALSE(ps[2].flag1);
    EXPECT_TRUE(ps[2].flag2);
    EXPECT_EQ(ps[2].angle, 180.0f);
    EXPECT_EQ(ps[2].valueC, 1 << 20);
    EXPECT_EQ(ps[2].ordinalA, -129);
    EXPECT_EQ(ps[2].ordinalB, 299);
    EXPECT_EQ(ps[2].ordinalC, -5);
    for (const Placement& p : ps) {
        EXPECT_FALSE(p.matched);
    }
    const std::map<QuorLayY::PairKey, int32_t> counts{{{-1, 9}, 1}, {{2, 1}, 2}};
    EXPECT_EQ(lay->GetPlacementCounts(), counts);
}
} // namespace
