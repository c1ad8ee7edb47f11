// Style files: versions, piece blocks and their count lines, block marks, and where a marker's styles are.
#include "marker/QuorStyle.h"
#include "support/MarkerBuilder.h"

#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

namespace {

// Version line, layout written, mark and count line of the first block (a second one, "b 3/0", follows),
// whether the file is accepted and the pieces read as "name quantity/extra;" each. Version 12 has no line
// between the style text and the first block; 13 and 16 have one.
TEST(StyleFile, VersionsBlockMarksAndCountLines) {
    const std::vector<std::tuple<std::string, int, std::string, std::string, bool, std::string>> cases = {
        {"%12", 12, "+", "W 2 1 rest", true, "a 2/1;b 3/0;"},
        {"%13", 13, "+", "W 2 1 rest", true, "a 2/1;b 3/0;"},
        {"%16", 16, "+ more", "X 2 1 ", true, "a 2/1;b 3/0;"},
        {"%16", 16, "++", "word -3 4 more words", true, "a -3/4;b 3/0;"},
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
        EXPECT_EQ(style.Load("s.sty", text), accepted)
            << row;
        std::ostringstream read;
        for (const StylePiece& piece : style.GetPieces()) {
            read << piece.pieceName << ' ' << piece.quantity << '/' << piece.extraQuantity << ';';
        }
        EXPECT_EQ(read.str(), pieces) << row;
    }
}

TEST(StyleFile, StylesFolderIsBesideTheMarkersFolder) {
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
