// The module's messages: the texts of the string table and their inserts.
#include "platform/StringTable.h"

#include <gtest/gtest.h>

using namespace quorix;
using quorix::detail::FillInserts;
using quorix::detail::kNotInQuorixFormat;
using quorix::detail::kUnsupportedMarkerVersion;
using quorix::detail::LoadMessage;
using quorix::detail::MessagePattern;

TEST(StringTable, InsertsAreFilledInOnePass) {
    // An inserted text that holds an insert mark of its own is copied as it stands.
    EXPECT_EQ(LoadMessage(kUnsupportedMarkerVersion, {"m%2%1.txt", "11"}),
              "Marker file m%2%1.txt has not supported format ver.11.");
    EXPECT_EQ(LoadMessage(kNotInQuorixFormat, {"C:\\100%\\a.lay"}),
              "File 'C:\\100%\\a.lay' is not in Quorix LayY or Marker format.");
    EXPECT_EQ(FillInserts("%12 %1%% %x%", {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l"}),
              "l a% x%");
    EXPECT_EQ(MessagePattern(3), nullptr);
}
