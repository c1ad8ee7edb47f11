// Resolving a marker: its style files are read from the styles folder beside the markers folder and their
// pieces summed per size.
#include "entry/QuorImport.h"
#include "marker/QuorMarker.h"
#include "platform/PathMapping.h"
#include "support/HostLogRecorder.h"
#include "support/MarkerBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// <tmp>/data/markers/m1.txt with its styles in <tmp>/data/styles.
class MarkerResolve : public ::testing::Test {
protected:
    void SetUp() override {
        dir.Write("data/styles/a.sty", StyleBuilder(16).Piece("front", 1, 0).Piece("back", 2, 1).Text());
        dir.Write("data/styles/b.sty", StyleBuilder(12).Piece("back", 1, 1).Piece("sleeve", 2, 0).Text());
        HostLogRecorder::Clear();
    }

    std::string WriteMarker(const MarkerBuilder& builder) const {
        return dir.Write("data/markers/m1.txt", builder.Text());
    }

    bool Load(const MarkerBuilder& builder, QuorMarker& marker) const {
        return marker.Load(PathMapping::FromCallerPath(WriteMarker(builder)));
    }

    // "key: name(quantity,extra) ...; key: ..." in the models' order.
    static std::string Describe(const SizeModels& models) {
        std::ostringstream out;
        for (const auto& [key, model] : models) {
            out << (out.tellp() > 0 ? "; " : "") << key << ':';
            for (const PieceTally& tally : model) {
                out << ' ' << tally.pieceName << '(' << tally.quantity << ',' << tally.extraQuantity << ')';
            }
        }
        return out.str();
    }

    TempDir dir;
};

TEST_F(MarkerResolve, PiecesOfEverySizeAreSummedOverTheStyles) {
    struct Case {
        const char* label;
        MarkerSize sizeOfB; // the only size of entry B; entry A has 38 (1, 1) and 40 (2, 1)
        std::string size40;
    };
    const std::vector<Case> cases = {
        {"same value and count", {40, "2", 1}, "40: back(3,2) front(1,0) sleeve(2,0)"},
        {"larger count", {40, "2", 5}, "40: back(2,1) back(1,1) front(1,0) sleeve(2,0)"},
        {"smaller count", {40, "2", 0}, "40: back(1,1) back(2,1) front(1,0) sleeve(2,0)"},
        {"smaller value", {40, "1.5", 1}, "40: back(1,1) back(2,1) front(1,0) sleeve(2,0)"},
        {"larger value, smaller count", {40, "2.5", 0}, "40: back(2,1) back(1,1) front(1,0) sleeve(2,0)"},
    };
    for (const Case& c : cases) {
        QuorMarker marker;
        ASSERT_TRUE(Load(
            MarkerBuilder(19).Slot("a.sty", {{38, "1", 1}, {40, "2", 1}}).Slot("b.sty", {c.sizeOfB}), marker))
            << c.label;
        EXPECT_EQ(Describe(marker.GetSizeModels()), "38: back(2,1) front(1,0); " + c.size40) << c.label;
    }
}

TEST_F(MarkerResolve, OnlyTheLastStyleDecidesTheOutcome) {
    dir.Write("data/styles/old.sty", StyleBuilder(18).Piece("front", 1, 0).Text());
    struct Case {
        const char* label;
        std::vector<std::pair<std::string, int32_t>> entries; // style name and its one size
        bool loaded;
        std::string models;
    };
    const std::vector<Case> cases = {
        {"missing first", {{"missing.sty", 44}, {"a.sty", 38}}, true, "38: back(2,1) front(1,0); 44:"},
        {"refused first", {{"old.sty", 44}, {"a.sty", 38}}, true, "38: back(2,1) front(1,0); 44:"},
        {"same style twice", {{"a.sty", 38}, {"a.sty", 38}}, true, "38: back(4,2) front(2,0)"},
        {"missing last", {{"a.sty", 38}, {"missing.sty", 44}}, false, ""},
        {"refused last", {{"a.sty", 38}, {"old.sty", 44}}, false, ""},
        {"no entries", {}, true, ""},
    };
    for (const Case& c : cases) {
        MarkerBuilder builder(10);
        for (const auto& [style, key] : c.entries) {
            builder.Slot(style, {{key, "1", 1}});
        }
        QuorMarker marker;
        EXPECT_EQ(Load(builder, marker), c.loaded) << c.label;
        if (c.loaded) {
            EXPECT_EQ(Describe(marker.GetSizeModels()), c.models) << c.label;
        }
    }
}

TEST_F(MarkerResolve, MissingLastStyleFailsTheImport) {
    const std::string markerPath =
        WriteMarker(MarkerBuilder(12).Slot("a.sty", {{38, "1", 1}}).Slot("missing.sty", {{40, "1", 1}}));
    dir.MakeDir("out");
    char name[21] = "untouched";
    const ImportOutcome outcome = QuorImport::Run(markerPath, name, ImportPaths::InFolder(dir.Path("out")));
    EXPECT_FALSE(outcome.loaded);
    EXPECT_STREQ(name, "untouched");
    EXPECT_FALSE(TempDir::Exists(dir.Path("out/csvimprt.txt")));
    EXPECT_FALSE(TempDir::Exists(dir.Path("out/posimport.txt")));
    ASSERT_EQ(HostLogRecorder::Calls().size(), 1u);
    const HostLogCall& call = HostLogRecorder::Calls()[0];
    EXPECT_EQ(call.level, 3);
    EXPECT_EQ(call.code, 22000);
    EXPECT_EQ(call.text, "File '" + markerPath + "' is not in Quorix LayY or Marker format.");
    EXPECT_EQ(call.detail, std::optional<std::string>("m1.txt"));
}

TEST_F(MarkerResolve, PieceNamesSortByUnsignedBytes) {
    dir.Write("data/styles/names.sty", StyleBuilder(13)
                                           .Piece("a", 1, 0)
                                           .Piece("\xC3\xA9", 2, 0)
                                           .Piece("B", 3, 0)
                                           .Piece("ab", 4, 0)
                                           .Piece("Z", 5, 0)
                                           .Piece("b", 6, 0)
                                           .Piece("A", 7, 0)
                                           .Piece("a", 8, 1)
                                           .Text());
    QuorMarker marker;
    ASSERT_TRUE(Load(MarkerBuilder(18).Slot("names.sty", {{1, "1", 1}}), marker));
    EXPECT_EQ(Describe(marker.GetSizeModels()),
              "1: A(7,0) B(3,0) Z(5,0) a(9,1) ab(4,0) b(6,0) \xC3\xA9(2,0)");
}

} // namespace
