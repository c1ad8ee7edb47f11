// The module's messages: the texts of the string table and their inserts.
#include "platform/StringTable.h"

#include <gtest/gtest.h>

TEST(StringTable, InsertsAreFilledInOnePass) {
    // An inserted text that holds an insert mark of its own is copied as it stands.
    EXPECT_EQ(StringTable::Format(StringTable::kUnsupportedMarkerVersion, {"m%2%1.txt", "11"}),
              "Marker file m%2%1.txt has not supported format ver.11.");
    EXPECT_EQ(StringTable::Format(StringTable::kNotInQuorixFormat, {"C:\\100%\\a.lay"}),
              "File 'C:\\100%\\a.lay' is not in Quorix LayY or Marker format.");
    EXPECT_EQ(
        StringTable::FormatText("%12 %1%% %x%", {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l"}),
        "l a% x%");
    EXPECT_EQ(StringTable::Text(3), nullptr);
}
