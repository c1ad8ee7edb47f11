// Resolving a marker: its style files are read from the styles folder beside the markers folder and their
// pieces summed per size.
#include "marker/QuorMarker.h"
#include "platform/PathMapping.h"
#include "support/MarkerBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// "key: name(quantity,extra) ...; key: ..." in the models' order.
std::string Describe(const SizeModels& models) {
    std::ostringstream out;
    for (const auto& [key, model] : models) {
        out << (out.tellp() > 0 ? "; " : "") << key << ':';
        for (const PieceTally& tally : model) {
            out << ' ' << tally.pieceName << '(' << tally.quantity << ',' << tally.extraQuantity << ')';
        }
    }
    return out.str();
}

// Only the last style decides whether the marker loads; a style that is missing has no pieces. Sizes of
// one key with the same value and count share their tallies; a larger count is kept apart, after them.
// Piece names sort by their bytes taken as unsigned. A slot that declares two thousand million sizes in a
// file that holds a handful reads the sizes past the end as empty, and every one of them counts in the
// sums, modulo 2^32: 2000000000 * 3 and * 2, or 1999999998 * 3 and * 2 beside two sizes that were read.
TEST(MarkerResolve, PiecesOfEverySizeAreSummedOverTheStyles) {
    const std::vector<std::tuple<MarkerBuilder, bool, std::string>> cases = {
        {MarkerBuilder(19).Slot("a.sty", {{38, "1", 1}, {40, "2", 1}}).Slot("b.sty", {{40, "2", 1}}), true,
         "38: back(2,1) front(1,0); 40: back(3,2) front(1,0) sleeve(2,0)"},
        {MarkerBuilder(19).Slot("a.sty", {{38, "1", 1}, {40, "2", 1}}).Slot("b.sty", {{40, "2", 5}}), true,
         "38: back(2,1) front(1,0); 40: back(2,1) back(1,1) front(1,0) sleeve(2,0)"},
        {MarkerBuilder(10).Slot("missing.sty", {{44, "1", 1}}).Slot("a.sty", {{38, "1", 1}}), true,
         "38: back(2,1) front(1,0); 44:"},
        {MarkerBuilder(10).Slot("a.sty", {{38, "1", 1}}).Slot("missing.sty", {{44, "1", 1}}), false,
         "38: back(2,1) front(1,0); 44:"},
        {MarkerBuilder(12), true, ""},
        {MarkerBuilder(18).Slot("names.sty", {{1, "1", 1}}), true, "1: B(3,0) a(9,1) ab(4,0) \xC3\xA9(2,0)"},
        {MarkerBuilder(10).SlotLines({"huge", "2000000000"}).Truncate(), true, "0: P(1705032704,-294967296)"},
        {MarkerBuilder(19).SlotLines({"huge", "2000000000", "40", "41"}).Truncate(), true,
         "0: P(1705032698,-294967300); 40: P(3,2); 41: P(3,2)"},
    };
    const TempDir dir;
    dir.Write("data/styles/a.sty", StyleBuilder(16).Piece("front", 1, 0).Piece("back", 2, 1).Text());
    dir.Write("data/styles/b.sty", StyleBuilder(12).Piece("back", 1, 1).Piece("sleeve", 2, 0).Text());
    dir.Write("data/styles/huge", StyleBuilder(16).Piece("P", 3, 2).Text());
    StyleBuilder names(13);
    names.Piece("\xC3\xA9", 2, 0).Piece("ab", 4, 0).Piece("a", 1, 0).Piece("B", 3, 0).Piece("a", 8, 1);
    dir.Write("data/styles/names.sty", names.Text());
    for (const auto& [marker, loaded, models] : cases) {
        QuorMarker read;
        EXPECT_EQ(read.Load(PathMapping::FromCallerPath(dir.Write("data/markers/m1.txt", marker.Text()))),
                  loaded)
            << models;
        EXPECT_EQ(Describe(read.GetSizeModels()), models);
    }
}
} // namespace
