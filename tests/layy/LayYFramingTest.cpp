// The record walk of the lay reader: the first-record check, declared lengths against what the record
// handlers read, skipped records and the end of the file.
#include "layy/QuorLayY.h"
#include "platform/PathMapping.h"
#include "support/LayBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {
using B = LayBuilder;

const std::string kEof = QuorBinaryFile::kEndOfFileText;
const std::string kOverRead = QuorLayY::kOverReadText;

struct FramingCase {
    const char* name;
    std::string bytes;
    bool accepted;
    std::string failure; // empty when accepted
    float width;         // the lay width afterwards: 100 shows that the closing 'W' record was reached
};

std::string Lay(const LayBuilder& b) {
    return b.Bytes();
}

// A 'Y' record, then `middle`, then a 'W' record with the width 100.
std::string Around(const LayBuilder& middle) {
    return Lay(B().Y().Raw(middle.Bytes()).W(100.0f));
}

// Record content that fails the parse when it is taken for records: a 'B' record with the length field 0.
const std::string kPoison = Lay(B().RecordWithLength(0, 'B', ""));

const FramingCase kCases[] = {
    {"EmptyFile", "", true, "", 1397000.0f},
    {"OneByte", std::string(1, '\0'), true, "", 1397000.0f},
    {"TwoBytesNoTag", std::string("\x00\x05", 2), false, kEof, 1397000.0f},
    {"FirstTagNotY", Lay(B().W(100.0f).Y()), false, QuorLayY::kNotLayText, 1397000.0f},
    {"LaterYRecords", Lay(B().Y().Y().Record('Y', B::I32(9)).W(100.0f)), true, "", 100.0f},
    {"StrayByteAfterLast", Lay(B().Y().W(100.0f).Raw("\x07")), true, "", 100.0f},
    {"KnownRecordWithSpareContent", Around(B().Record('m', B::I32(5) + kPoison)), true, "", 100.0f},
    {"KnownRecordDeclaresTooLittle", Around(B().RecordWithLength(4, 'm', B::I32(5))), false, kOverRead,
     1397000.0f},
    {"BSkippedWhole", Around(B().Record('B', kPoison)), true, "", 100.0f},
    {"SmallBSkippedWhole", Around(B().Record('b', kPoison)), true, "", 100.0f},
    {"SmallSSkippedWhole", Around(B().Record('s', kPoison)), true, "", 100.0f},
    {"EqualsSkippedWhole", Around(B().Record('=', kPoison)), true, "", 100.0f},
    {"BWithoutContent", Around(B().Record('B', "")), true, "", 100.0f},
    {"TagAbove0x7F", Around(B().Record('\x80', kPoison).Record('\xFF', "ab")), true, "", 100.0f},
    {"UnsupportedA", Around(B().Record('A', kPoison)), true, "", 100.0f},
    {"BWithLengthZero", Around(B().RecordWithLength(0, 'B', "")), false, kOverRead, 1397000.0f},
    // A backward skip of 3 would land on this record's own length field again, and again.
    {"UnsupportedWithNegativeLength", Around(B().RecordWithLength(-2, 'A', "")), false, kOverRead,
     1397000.0f},
    {"CrLfCountedTwice", Around(B().Record('m', std::string("\x00\r\n\x05\x06", 5))), true, "", 100.0f},
    {"CrLfCountedOnce", Around(B().RecordWithLength(5, 'm', std::string("\x00\r\n\x05\x06", 5))), false,
     kOverRead, 1397000.0f},
    // The byte after a CR is read ahead to look for an LF: one byte of the next record is consumed.
    {"CrAsLastContentByte", Around(B().Record('m', std::string("\x00\x00\x00\r", 4))), false, kOverRead,
     1397000.0f},
    {"CrAsLastByteOfFile", Lay(B().Y().Record('m', std::string("\x00\x00\x00\r", 4))), false, kEof,
     1397000.0f},
    {"UnsupportedRunsPastEnd", Lay(B().Y().W(100.0f).RecordWithLength(1000, 'A', "abc")), true, "", 100.0f},
    {"KnownFieldsRunPastEnd", Lay(B().Y().Record('W', B::F32(100.0f))), false, kEof, 100.0f},
    {"EndInsidePlacement", Lay(B().Y().Raw(B::I16(49) + "P" + B::I32(1) + std::string(20, '\0'))), false,
     kEof, 1397000.0f},
};

class LayYFraming : public ::testing::TestWithParam<FramingCase> {};

TEST_P(LayYFraming, ParseResultAndFailureText) {
    const FramingCase& c = GetParam();
    TempDir dir;
    QuorLayY lay;
    EXPECT_EQ(lay.Load(PathMapping::FromCallerPath(dir.Write("a.lay", c.bytes))), c.accepted);
    EXPECT_EQ(lay.GetFailureText(), c.failure);
    EXPECT_EQ(lay.GetLayWidth(), c.width);
}

INSTANTIATE_TEST_SUITE_P(Records, LayYFraming, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FramingCase>& info) { return info.param.name; });

TEST(LayYFramingStart, EmptyLayKeepsStartValues) {
    TempDir dir;
    QuorLayY lay;
    ASSERT_TRUE(lay.Load(PathMapping::FromCallerPath(dir.Write("a.lay", ""))));
    EXPECT_EQ(lay.GetLayWidth(), 1397000.0f);
    EXPECT_EQ(lay.GetLayLength(), 50800000.0f);
    EXPECT_TRUE(lay.GetPlacements().empty());
    EXPECT_TRUE(lay.GetModelNames().empty());
    EXPECT_TRUE(lay.GetPieceNames().empty());
}

TEST(LayYFramingStart, CrLfInsideANameArrivesAsOneLineFeed) {
    TempDir dir;
    QuorLayY lay;
    const std::string bytes = Lay(B().Y().O({"A\r\nB"}, {"\r\n"}).W(100.0f));
    ASSERT_TRUE(lay.Load(PathMapping::FromCallerPath(dir.Write("a.lay", bytes))));
    EXPECT_EQ(lay.GetPieceNames(), std::vector<std::string>{"A\nB"});
    EXPECT_EQ(lay.GetModelNames(), std::vector<std::string>{"\n"});
    EXPECT_EQ(lay.GetLayWidth(), 100.0f);
}
} // namespace
