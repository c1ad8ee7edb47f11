// Marker definition files: version layouts, the separator, option values, style slots and slots that
// declare more sizes than the file holds.
#include "marker/QuorMarker.h"
#include "platform/PathMapping.h"
#include "support/HostLogRecorder.h"
#include "support/MarkerBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <tuple>

namespace {

// Writes `text` as <tmp>/data/markers/m.txt and parses it without reading any style file.
bool ParseMarker(const TempDir& dir, const std::string& text, QuorMarker& marker) {
    const std::string path = PathMapping::FromCallerPath(dir.Write("data/markers/m.txt", text));
    if (!marker.Open(path)) {
        ADD_FAILURE() << "cannot open " << path;
        return false;
    }
    const bool parsed = marker.Parse();
    marker.Close();
    return parsed;
}

// "name[key/value/count,...]" per entry, entries separated by a space; "xN" marks an item kept N times.
std::string Describe(const std::vector<StyleEntry>& entries) {
    std::ostringstream out;
    for (size_t e = 0; e < entries.size(); ++e) {
        out << (e > 0 ? " " : "") << entries[e].styleName << '[';
        for (size_t i = 0; i < entries[e].sizeItems.size(); ++i) {
            const SizeItem& item = entries[e].sizeItems[i];
            out << (i > 0 ? "," : "") << item.sizeKey << '/' << item.sizeValue << '/' << item.sizeCount;
            if (item.copies != 1) {
                out << 'x' << item.copies;
            }
        }
        out << ']';
    }
    return out.str();
}

const std::vector<std::string> kOptions10 = {"80", "1", "0", "first", "dropped"};
const std::vector<std::string> kOptions12 = {"80", "1", "0", "first", "second", "dropped", "5"};
const std::vector<std::string> kOptions18 = {"80",      "1", "0", "2.5", "first", "second",
                                             "dropped", "5", "6", "7",   "8",     "9"};

struct LayoutCase {
    const char* label;
    std::string versionLine;
    int32_t version;
    const std::vector<std::string>* options; // the lines after the separator, before the slots
    bool slotTail;                           // a slot with sizes ends in two integers
    std::string text2;
};

void PrintTo(const LayoutCase& row, std::ostream* out) {
    *out << row.label;
}

class MarkerLayout : public ::testing::TestWithParam<std::tuple<LayoutCase, std::string>> {};

TEST_P(MarkerLayout, ReadsOptionsAndSlotsAndNeedsTheSeparator) {
    const auto& [row, lineEnd] = GetParam();
    TempDir dir;
    const auto build = [&](const std::string& separator) {
        return MarkerBuilder(row.versionLine, row.slotTail ? 19 : 10)
            .Separator(separator)
            .Options(*row.options)
            .Slot("s1", {{38, "1.5", 3}, {40, "2.5", 4}})
            .Slot("s2", {{42, "3", 5}})
            .Text(lineEnd);
    };
    HostLogRecorder::Clear();
    QuorMarker marker;
    ASSERT_TRUE(ParseMarker(dir, build("%"), marker));
    EXPECT_EQ(marker.GetFormatVersion(), row.version);
    EXPECT_FLOAT_EQ(marker.GetPercentValue(), 0.8f);
    EXPECT_TRUE(marker.GetOptionFlag1());
    EXPECT_FALSE(marker.GetOptionFlag2());
    EXPECT_EQ(marker.GetMarkerText1(), "first");
    EXPECT_EQ(marker.GetMarkerText2(), row.text2);
    EXPECT_EQ(Describe(marker.GetStyleEntries()), "s1[38/1.5/3,40/2.5/4] s2[42/3/5]");

    for (const char* separator : {"%%", "", "% ", " %", "x"}) {
        QuorMarker refused;
        EXPECT_FALSE(ParseMarker(dir, build(separator), refused)) << "separator '" << separator << "'";
    }
    EXPECT_TRUE(HostLogRecorder::Calls().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Versions, MarkerLayout,
    ::testing::Combine(::testing::Values(LayoutCase{"v10", "%10", 10, &kOptions10, false, ""},
                                         LayoutCase{"v12", "%12", 12, &kOptions12, false, "second"},
                                         LayoutCase{"v18", "%18", 18, &kOptions18, true, "second"},
                                         LayoutCase{"v19", "%19", 19, &kOptions18, true, "second"},
                                         LayoutCase{"v24AsV19", "%24", 24, &kOptions18, true, "second"},
                                         LayoutCase{"v25AsV19", "%25", 25, &kOptions18, true, "second"},
                                         LayoutCase{"v0AsV10", "%0", 0, &kOptions10, false, ""},
                                         LayoutCase{"percentAloneAsV10", "%", 0, &kOptions10, false, ""},
                                         LayoutCase{"negativeAsV10", "%-3", -3, &kOptions10, false, ""},
                                         LayoutCase{"noVersionLineAsV10", "19", -1, &kOptions10, false, ""}),
                       ::testing::Values(std::string("\n"), std::string("\r\n"))),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).label) +
               (std::get<1>(info.param) == "\n" ? "_LF" : "_CRLF");
    });

TEST(MarkerVersion, UnsupportedVersionIsReportedToTheHostAndRefused) {
    for (int version : {11, 1, 13, 16, 17, 20, 23}) {
        TempDir dir;
        HostLogRecorder::Clear();
        QuorMarker marker;
        EXPECT_FALSE(ParseMarker(dir, MarkerBuilder(version).Text(), marker)) << version;
        ASSERT_EQ(HostLogRecorder::Calls().size(), 1u) << version;
        const HostLogCall& call = HostLogRecorder::Calls()[0];
        EXPECT_EQ(call.level, 3);
        EXPECT_EQ(call.code, 22000);
        EXPECT_EQ(call.text,
                  "Marker file m.txt has not supported format ver." + std::to_string(version) + ".");
        EXPECT_FALSE(call.detail.has_value());
        EXPECT_TRUE(marker.GetStyleEntries().empty());
    }
}

TEST(MarkerOptions, PercentIsStoredAsAFraction) {
    const std::vector<std::pair<std::string, float>> cases = {{"80", 0.8f}, {"12.5", 0.125f}, {"abc", 0.0f}};
    for (const auto& [written, fraction] : cases) {
        TempDir dir;
        QuorMarker marker;
        ASSERT_TRUE(ParseMarker(dir, MarkerBuilder(12).OptionLine(0, written).Text(), marker));
        EXPECT_EQ(marker.GetPercentValue(), fraction) << written;
    }
}

TEST(MarkerSlots, EachSlotTakesItsOwnLines) {
    struct Case {
        const char* label;
        int layout;
        std::vector<std::string> lines;
        std::string expected; // followed by the entry of a last, well-formed slot
    };
    const std::vector<Case> cases = {
        {"empty name, two sizes, v10", 10, {"", "2", "38", "40", "1", "2", "3", "4"}, ""},
        {"empty name, two sizes, v18", 18, {"", "2", "38", "40", "1", "2", "3", "4", "5", "6"}, ""},
        {"no sizes, v10", 10, {"s0", "0"}, "s0[] "},
        {"no sizes, v19", 19, {"s0", "0"}, "s0[] "},
        {"negative size count", 19, {"neg", "-4"}, "neg[] "},
        {"three passes",
         10,
         {"s", "3", "1", "2", "3", "0.5", "1.5", "2.5", "7", "8", "9"},
         "s[1/0.5/7,2/1.5/8,3/2.5/9] "},
        {"same style twice",
         10,
         {"a", "1", "38", "1", "2", "a", "1", "40", "1", "3"},
         "a[38/1/2] a[40/1/3] "},
    };
    for (const Case& c : cases) {
        TempDir dir;
        QuorMarker marker;
        const std::string text =
            MarkerBuilder(c.layout).SlotLines(c.lines).Slot("last", {{1, "1", 1}}).Text();
        ASSERT_TRUE(ParseMarker(dir, text, marker)) << c.label;
        EXPECT_EQ(Describe(marker.GetStyleEntries()), c.expected + "last[1/1/1]") << c.label;
    }
}

TEST(MarkerSlots, MissingTrailingLinesReadAsEmpty) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"a", "1", "38", "1", "1", "b", "0"}, "a[38/1/1] b[]"},
        {{"a", "1", "38", "1", "1", "b", "2", "40"}, "a[38/1/1] b[40/0/0,0/0/0]"},
        {{"a", "1", "38"}, "a[38/0/0]"},
    };
    for (const auto& [lines, expected] : cases) {
        TempDir dir;
        QuorMarker marker;
        ASSERT_TRUE(ParseMarker(dir, MarkerBuilder(10).SlotLines(lines).Truncate().Text(), marker))
            << expected;
        EXPECT_EQ(Describe(marker.GetStyleEntries()), expected);
    }
}

TEST(MarkerLines, OverlongLineEndsTheReading) {
    struct Case {
        const char* label;
        std::function<void(MarkerBuilder&)> change;
        bool accepted;
        std::string text1;
        std::string entries;
    };
    const std::string name255(255, 'n');
    const std::vector<Case> cases = {
        {"header value", [](MarkerBuilder& b) { b.HeaderLine(3, std::string(300, '7')); }, false, "", ""},
        {"option text", [](MarkerBuilder& b) { b.OptionLine(3, std::string(300, 't')); }, true,
         std::string(255, 't'), ""},
        {"option text of 255", [](MarkerBuilder& b) { b.OptionLine(3, std::string(255, 't')); }, true,
         std::string(255, 't'), "a[38/1/1] b[]"},
        {"slot name",
         [](MarkerBuilder& b) {
             b.SlotLines({std::string(300, 'n'), "1", "5", "1", "1"});
         },
         true, "text one", "a[38/1/1] " + name255 + "[]"},
    };
    for (const Case& c : cases) {
        MarkerBuilder builder(10);
        builder.Slot("a", {{38, "1", 1}});
        c.change(builder);
        builder.Slot("b", {});
        TempDir dir;
        HostLogRecorder::Clear();
        QuorMarker marker;
        EXPECT_EQ(ParseMarker(dir, builder.Text(), marker), c.accepted) << c.label;
        EXPECT_TRUE(HostLogRecorder::Calls().empty()) << c.label;
        if (c.accepted) {
            EXPECT_EQ(marker.GetMarkerText1(), c.text1) << c.label;
            EXPECT_EQ(Describe(marker.GetStyleEntries()), c.entries) << c.label;
        }
    }
}

// A slot that declares two thousand million sizes in a file that holds a handful: the sizes beyond the
// end of the file are all empty and every one of them counts when the pieces are summed.
TEST(MarkerHugeSizeCount, SizesPastTheEndCountWithWrappingSums) {
    struct Case {
        int layout;
        std::vector<std::string> keys; // written after the size count, then the file ends
        std::string models;            // key:quantity/extra per size model
    };
    const std::vector<Case> cases = {
        // 2000000000 * 3 and 2000000000 * 2, modulo 2^32.
        {10, {}, "0:1705032704/-294967296"},
        // The 1999999998 empty sizes give 1999999998 * 3 and * 2, modulo 2^32.
        {19, {"40", "41"}, "0:1705032698/-294967300 40:3/2 41:3/2"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        dir.Write("data/styles/huge", StyleBuilder(16).Piece("P", 3, 2).Text());
        std::vector<std::string> lines = {"huge", "2000000000"};
        lines.insert(lines.end(), c.keys.begin(), c.keys.end());
        const std::string text = MarkerBuilder(c.layout).SlotLines(lines).Truncate().Text();
        QuorMarker marker;
        ASSERT_TRUE(marker.Load(PathMapping::FromCallerPath(dir.Write("data/markers/m.txt", text))));

        ASSERT_EQ(marker.GetStyleEntries().size(), 1u);
        const std::vector<SizeItem>& items = marker.GetStyleEntries()[0].sizeItems;
        ASSERT_LE(items.size(), c.keys.size() + 2) << "the empty sizes must not be stored one by one";
        uint64_t total = 0;
        for (size_t i = 0; i < items.size(); ++i) {
            total += items[i].copies;
            if (i < c.keys.size()) {
                EXPECT_EQ(items[i].sizeKey, std::stoi(c.keys[i]));
                EXPECT_EQ(items[i].copies, 1u);
            } else {
                EXPECT_EQ(items[i].sizeKey, 0);
                EXPECT_EQ(items[i].sizeValue, 0.0f);
                EXPECT_EQ(items[i].sizeCount, 0);
            }
        }
        EXPECT_EQ(total, 2000000000u);

        std::ostringstream models;
        for (const auto& [key, model] : marker.GetSizeModels()) {
            ASSERT_EQ(model.size(), 1u);
            models << (models.tellp() > 0 ? " " : "") << key << ':' << model.begin()->quantity << '/'
                   << model.begin()->extraQuantity;
        }
        EXPECT_EQ(models.str(), c.models);
    }
}

} // namespace
