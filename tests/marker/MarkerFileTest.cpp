// Marker definition files and style files: version layouts, unsupported versions, the separator, the style
// slots and piece blocks.
#include "marker/QuorMarker.h"
#include "marker/QuorStyle.h"
#include "platform/PathMapping.h"
#include "support/HostLogRecorder.h"
#include "support/MarkerBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

using namespace quorix;

namespace {

// Writes `text` as <tmp>/data/markers/m.txt and parses it without reading any style file.
bool Parse(QuorMarker& marker, const std::string& text) {
    const TempDir dir;
    EXPECT_TRUE(marker.Open(paths::FromCallerPath(dir.Write("data/markers/m.txt", text))));
    const bool parsed = marker.Parse();
    marker.Close();
    return parsed;
}

// "name[key/value/count,...] " per entry.
std::string Describe(const std::vector<StyleEntry>& entries) {
    std::ostringstream out;
    for (const StyleEntry& entry : entries) {
        out << entry.styleName << '[';
        for (const SizeItem& item : entry.sizeItems) {
            out << item.sizeKey << '/' << item.sizeValue << '/' << item.sizeCount << ',';
        }
        out << "] ";
    }
    return out.str();
}

// Version line, layout written, version read and second marker text. Versions from 24 up are read with the
// layout of 19; 0, a bare "%" and a first line without "%" with the layout of 10. Every slot with sizes
// ends in two integers from 18 up; a slot without a name adds no entry, one without sizes adds no sizes.
TEST(MarkerLayout, ReadsOptionsAndSlotsOfEachVersionAfterTheSeparator) {
    const std::vector<std::tuple<std::string, int, int32_t, std::string>> cases = {
        {"%10", 10, 10, ""},
        {"%12", 12, 12, "text two"},
        {"%18", 18, 18, "text two"},
        {"%19", 19, 19, "text two"},
        {"%25", 19, 25, "text two"},
        {"%0", 10, 0, ""},
        {"%", 10, 0, ""},
        {"19", 10, -1, ""},
    };
    for (const auto& [versionLine, layout, version, text2] : cases) {
        for (const std::string separator : {"%", "%%", "", " %"}) {
            const std::string row = versionLine + " with the separator '" + separator + "'";
            MarkerBuilder builder(versionLine, layout);
            builder.Separator(separator).Slot("s1", {{38, "1.5", 3}, {40, "2.5", 4}}).Slot("", {{1, "1", 1}});
            builder.SlotLines({"neg", "-4"}).Slot("s0", {}).Slot("s1", {{42, "3", 5}});
            HostLogRecorder::Clear();
            QuorMarker marker;
            ASSERT_EQ(Parse(marker, builder.Text("\r\n")), separator == "%") << row;
            EXPECT_TRUE(HostLogRecorder::Calls().empty()) << row;
            if (separator == "%") {
                EXPECT_EQ(marker.GetFormatVersion(), version) << row;
                EXPECT_FLOAT_EQ(marker.GetPercentValue(), 0.8f) << row;
                EXPECT_EQ(marker.GetMarkerText1() + "|" + marker.GetMarkerText2(), "text one|" + text2)
                    << row;
                EXPECT_EQ(Describe(marker.GetStyleEntries()),
                          "s1[38/1.5/3,40/2.5/4,] neg[] s0[] s1[42/3/5,] ")
                    << row;
            }
        }
    }
}

TEST(MarkerVersion, UnsupportedVersionIsReportedToTheHostAndRefused) {
    for (const int version : {1, 11, 13, 17, 20, 23}) {
        HostLogRecorder::Clear();
        QuorMarker marker;
        EXPECT_FALSE(Parse(marker, MarkerBuilder(version).Slot("s", {{1, "1", 1}}).Text())) << version;
        ASSERT_EQ(HostLogRecorder::Calls().size(), 1u) << version;
        const HostLogCall& call = HostLogRecorder::Calls()[0];
        EXPECT_EQ(
            std::make_tuple(call.level, call.code, call.text, call.detail.has_value()),
            std::make_tuple(3, 22000,
                            "Marker file m.txt has not supported format ver." + std::to_string(version) + ".",
                            false));
    }
}

// Version line, layout written, mark and count line of the first block (a second one, "b 3/0", follows),
// whether the file is accepted and the pieces read as "name quantity/extra;" each. Version 12 has no line
// between the style text and the first block; 13 and 16 have one. A field longer than 255 characters, kept
// or not, ends the reading.
TEST(StyleFile, VersionsBlockMarksAndCountLines) {
    const std::vector<std::tuple<std::string, int, std::string, std::string, bool, std::string>> cases = {
        {"%12", 12, "+", "W 2 1 rest", true, "a 2/1;b 3/0;"},
        {"%13", 13, "+", "W 2 1 rest", true, "a 2/1;b 3/0;"},
        {"%16", 16, "+ more", "X 2 1 ", true, "a 2/1;b 3/0;"},
        {"%16", 16, "++", "word -3 4 more words", true, "a -3/4;b 3/0;"},
        {"%16", 16, "+", "W 2 1 " + std::string(255, 'r'), true, "a 2/1;b 3/0;"},
        {"%16", 16, "+", "W 2 1 " + std::string(256, 'r'), true, "a 2/1;"}, // the line's rest overlong
        {"%16", 16, "", "W 2 1 rest", true, ""},
        {"%16", 16, " +", "W 2 1 rest", true, ""},
        {"%11", 12, "+", "W 2 1 rest", false, ""},
        {"%18", 16, "+", "W 2 1 rest", false, ""},
        {"16", 16, "+", "W 2 1 rest", false, ""},
    };
    for (const auto& [versionLine, layout, mark, countLine, accepted, pieces] : cases) {
        const std::string row = versionLine + " '" + mark + "' '" + countLine + "'";
        const std::string text =
            StyleBuilder(versionLine, layout).Block(mark, "a", countLine).Piece("b", 3, 0).Text();
        QuorStyle style;
        EXPECT_EQ(style.Load("s.sty", text), accepted) << row;
        std::ostringstream read;
        for (const StylePiece& piece : style.GetPieces()) {
            read << piece.pieceName << ' ' << piece.quantity << '/' << piece.extraQuantity << ';';
        }
        EXPECT_EQ(read.str(), pieces) << row;
    }
}

// A size model's pieces come in name order, also where they are few and their names lie far apart among
// all the marker's names (the third style's lie between them), and also from several styles in turn.
TEST(SizeModels, FewPiecesFarApartAmongTheMarkersNamesInNameOrder) {
    const TempDir dir;
    const std::vector<std::vector<std::string>> styles = {{"z", "zz"}, {"A"}, {"b", "c", "d", "e", "f", "g", "h"}};
    MarkerBuilder marker(19);
    for (size_t s = 0; s < styles.size(); ++s) {
        StyleBuilder style(16);
        for (const std::string& name : styles[s]) {
            style.Piece(name, 1, 0);
        }
        dir.Write("data/styles/s" + std::to_string(s), style.Text());
        marker.Slot("s" + std::to_string(s), {{s == 2 ? 7 : 5, "1", 1}});
    }
    QuorMarker read;
    ASSERT_TRUE(read.Load(paths::FromCallerPath(dir.Write("data/markers/m.mkr", marker.Text()))));
    std::string names;
    for (const auto& [key, model] : read.GetSizeModels()) {
        for (const PieceTally& tally : model) {
            names += std::to_string(key) + ":" + tally.pieceName + " ";
        }
    }
    EXPECT_EQ(names, "5:A 5:z 5:zz 7:b 7:c 7:d 7:e 7:f 7:g 7:h ");
}

// A style named by two slots is read once, unless each reading is to keep its style (as --dump asks).
TEST(StyleReadings, KeptPerEntryOnlyWhenAsked) {
    for (const bool keep : {false, true}) {
        const TempDir dir;
        dir.Write("data/styles/s", StyleBuilder(16).Piece("p", 1, 0).Text());
        QuorMarker marker;
        marker.KeepStyleFiles(keep);
        const MarkerBuilder text = MarkerBuilder(19).Slot("s", {{5, "1", 1}}).Slot("s", {{6, "1", 1}});
        ASSERT_TRUE(marker.Load(paths::FromCallerPath(dir.Write("data/markers/m.mkr", text.Text()))));
        const std::vector<StyleReading>& readings = marker.GetStyleReadings();
        ASSERT_EQ(readings.size(), 2u);
        EXPECT_EQ(readings[0].style != nullptr && readings[1].style != nullptr, keep) << keep;
        EXPECT_EQ(readings[0].style == nullptr && readings[1].style == nullptr, !keep) << keep;
    }
}

} // namespace
