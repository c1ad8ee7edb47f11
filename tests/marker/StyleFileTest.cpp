// Style files: versions, piece blocks and their count lines, block marks, and where a marker's styles are.
#include "marker/QuorStyle.h"
#include "platform/PathMapping.h"
#include "support/MarkerBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

bool LoadStyle(const TempDir& dir, const std::string& text, QuorStyle& style) {
    return style.Load(PathMapping::FromCallerPath(dir.Write("data/styles/s.sty", text)));
}

// "name quantity/extra" per piece, pieces separated by ", ".
std::string Describe(const std::vector<StylePiece>& pieces) {
    std::ostringstream out;
    for (size_t i = 0; i < pieces.size(); ++i) {
        out << (i > 0 ? ", " : "") << pieces[i].pieceName << ' ' << pieces[i].quantity << '/'
            << pieces[i].extraQuantity;
    }
    return out.str();
}

TEST(StyleVersion, OnlyVersions12_13_16AreRead) {
    struct Case {
        std::string versionLine;
        int layout;
        bool accepted;
    };
    const std::vector<Case> cases = {{"%12", 12, true},  {"%13", 13, true},  {"%16", 16, true},
                                     {"%18", 16, false}, {"%11", 12, false}, {"%", 12, false},
                                     {"16", 16, false},  {"%x", 12, false}};
    for (const Case& c : cases) {
        for (const std::string lineEnd : {"\n", "\r\n"}) {
            TempDir dir;
            QuorStyle style;
            const std::string text = StyleBuilder(c.versionLine, c.layout)
                                         .StyleText("my style")
                                         .Piece("front", 1, 0)
                                         .Piece("back", 2, 1)
                                         .Text(lineEnd);
            EXPECT_EQ(LoadStyle(dir, text, style), c.accepted) << c.versionLine;
            EXPECT_EQ(Describe(style.GetPieces()), c.accepted ? "front 1/0, back 2/1" : "") << c.versionLine;
            EXPECT_EQ(style.GetStyleText(), c.accepted ? "my style" : "") << c.versionLine;
        }
    }
}

TEST(StylePieces, CountLineIsSplitAtSpaces) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"X 2 1 rest", "a 2/1, next 9/8"},
        {"X 2 1 ", "a 2/1, next 9/8"},
        {"X -3 4 more words here", "a -3/4, next 9/8"},
        {"word 5x 7z r", "a 5/7, next 9/8"},
    };
    for (const auto& [countLine, expected] : cases) {
        TempDir dir;
        QuorStyle style;
        const std::string text = StyleBuilder(16).Block("+", "a", countLine).Piece("next", 9, 8).Text();
        ASSERT_TRUE(LoadStyle(dir, text, style)) << countLine;
        EXPECT_EQ(Describe(style.GetPieces()), expected) << countLine;
    }
}

TEST(StylePieces, BlockMarkIsALineBeginningWithPlus) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"+", "a 1/0, b 2/0"},
        {"+ more text", "a 1/0, b 2/0"},
        {"++", "a 1/0, b 2/0"},
        {"", ""},
        {"x+", ""},
        {" +", ""},
        {"-", ""},
    };
    for (const auto& [mark, expected] : cases) {
        TempDir dir;
        QuorStyle style;
        const std::string text = StyleBuilder(13).Block(mark, "a", "W 1 0 r").Piece("b", 2, 0).Text();
        EXPECT_TRUE(LoadStyle(dir, text, style)) << "'" << mark << "'";
        EXPECT_EQ(Describe(style.GetPieces()), expected) << "'" << mark << "'";
    }
}

TEST(StylePieces, FileEndingInsideABlockKeepsWhatWasRead) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"+"}, "a 1/1,  0/0"},
        {{"+", "cut"}, "a 1/1, cut 0/0"},
        {{"+", "cut", "text", "W 5"}, "a 1/1, cut 5/0"},
        {{"+", "cut", "text", "W 5 2 r"}, "a 1/1, cut 5/2"},
        {{"+", "cut", "text", "W 5 2 r", "7", "+x", "+x", "7", "+x"}, "a 1/1, cut 5/2"},
    };
    for (const auto& [lines, expected] : cases) {
        TempDir dir;
        QuorStyle style;
        ASSERT_TRUE(LoadStyle(dir, StyleBuilder(16).Piece("a", 1, 1).Raw(lines).Text(), style)) << expected;
        EXPECT_EQ(Describe(style.GetPieces()), expected);
    }
}

TEST(StyleLocation, StylesFolderIsBesideTheMarkersFolder) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"D:\\data\\markers\\m1.txt", "D:\\data\\styles"},
        {"C:\\m1.txt", "C:\\styles"},
        {"m1.txt", "m1.txt\\styles"},
        {"D:\\data/markers/m1.txt", "D:\\styles"},
        {"a/b\\c/d\\m1.txt", "a/b\\styles"},
        {"\\m1.txt", "\\styles"},
    };
    for (const auto& [markerPath, folder] : cases) {
        EXPECT_EQ(QuorStyle::StylesFolderOf(markerPath), folder) << markerPath;
    }
}

} // namespace
