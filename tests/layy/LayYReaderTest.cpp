// The lay reader: the record walk (the first-record check, declared lengths against what the record
// handlers read, skipped records, the end of the file), and what the lay keeps of each record in file order.
#include "layy/QuorLayY.h"
#include "support/LayBuilder.h"

#include <gtest/gtest.h>

#include <cctype>
#include <sstream>
#include <vector>

using namespace quorix;

namespace {
using B = LayBuilder;

const std::string kEof = QuorBinaryFile::kEndOfFileText;
const std::string kOverRead = QuorLayY::kOverReadText;
constexpr float kStart = QuorLayY::kDefaultWidth;

// One record whose length field counts its content.
std::string R(char tag, const std::string& content) {
    return B().Record(tag, content).Bytes();
}

// One record with the length field `length`, whatever its content.
std::string D(int length, char tag, const std::string& content) {
    return B().RecordWithLength(length, tag, content).Bytes();
}

// A 'Y' record, then `middle`, then a 'W' record with the width 100 (reached when the width is 100).
std::string Around(const std::string& middle) {
    return B().Y().Raw(middle).W(100.0f).Bytes();
}

// A 'Y' record, then `last`, which the file ends with.
std::string Ending(const std::string& last) {
    return B().Y().Raw(last).Bytes();
}

// Content that fails the parse when it is taken for records: a 'B' record with the length field 0.
const std::string kPoison = B().RecordWithLength(0, 'B', "").Bytes();

// Name, bytes of the lay, failure text (empty when the lay is accepted) and the lay width afterwards.
struct FramingCase {
    std::string name, bytes, failure;
    float width;
};

// A row is shown by its name: its bytes run to 64 KiB.
void PrintTo(const FramingCase& row, std::ostream* out) {
    *out << row.name;
}

std::vector<FramingCase> Cases() {
    // Record content of `count` 4-byte values, none holding a CR or an LF byte.
    const auto words = [](int count) { return std::string(4 * static_cast<size_t>(count), '\1'); };
    const auto entries = [](int count) { return std::string(44 * static_cast<size_t>(count), '\1'); };
    const auto times = [](const std::string& bytes, int count) {
        std::string out;
        while (count-- > 0) {
            out += bytes;
        }
        return out;
    };
    std::vector<FramingCase> cases = {
        {"empty file", "", "", kStart},
        {"two bytes, no tag", std::string("\x00\x05", 2), kEof, kStart},
        {"first tag not Y", B().W(100.0f).Y().Bytes(), QuorLayY::kNotLayText, kStart},
        {"stray byte after the last record", B().Y().W(100.0f).Raw("\x07").Bytes(), "", 100.0f},
        {"spare content skipped", Around(R('m', B::I32(5) + kPoison)), "", 100.0f},
        {"one spare content byte skipped", Around(R('m', B::I32(5) + "\x07")), "", 100.0f},
        // Records of 8 bytes read one after the other, so that the ends of the first two buffers fall between
        // two of them, then three skipped whole, the third past the end of the third buffer. Had the stream
        // lost count of a buffer, that skip would land among the zeros before it.
        {"records read past the first two buffers",
         Around(R('A', "123456") + times(R('G', words(1) + "\x05"), 16384) +
                times(R('A', std::string(30000, '\0')), 3)),
         "", 100.0f},
        // Records that read nothing, unsupported ones and tags from 0x80 up are passed over whole.
        {"skipped whole",
         Around(R('B', kPoison) + R('b', kPoison) + R('s', kPoison) + R('=', kPoison) + R('B', "") +
                R('A', kPoison) + R('\x80', kPoison) + R('\xFF', "ab")),
         "", 100.0f},
        // A count of 0 or less reads no entries; the count of a 'C' record is one more than its entries.
        {"counts of 0 or less",
         Around(R('S', B::I32(-1)) + R('g', B::I32(-5)) + R('K', B::I32(-1)) + R('P', B::I32(-2)) +
                R('O', B::I32(-1) + B::I32(-1)) + R('M', B::I32(-1) + B::I32(-1)) + R('C', B::I32(0)) +
                R('c', B::I32(INT32_MIN))),
         "", 100.0f},
        {"B with length 0", Around(kPoison), kOverRead, kStart},
        // A backward skip of 3 would land on this record's own length field again, and again.
        {"negative length", Around(B().RecordWithLength(-2, 'A', "").Bytes()), kOverRead, kStart},
        // The byte after a CR is read ahead to look for an LF: one byte of the next record is consumed.
        {"CR as last content byte", Around(R('m', std::string("\0\0\0\r", 4))), kOverRead, kStart},
        // An 'L' entry that starts below the declared length is read whole, past the record.
        {"L entry past the length", Around(R('L', words(5) + B::Str("") + "\1")), kOverRead, kStart},
        // Its entries are counted after folding: declared as long as the first in the file, a second is read.
        {"L string with a CR LF pair", Around(D(26, 'L', words(5) + B::Str("a\r\nb") + words(6))), kOverRead,
         kStart},
        {"L string after a CR", Around(D(25, 'L', words(4) + "\1\1\1\r\r\nb" + B::Str("") + words(6))),
         kOverRead, kStart},
        {"skip past the end", B().Y().W(100.0f).RecordWithLength(1000, 'A', "abc").Bytes(), "", 100.0f},
        {"known fields run past the end", B().Y().Record('W', B::F32(100.0f)).Bytes(), kEof, 100.0f},
        // Past its end a record keeps nothing more, but what its counts call for decides how it is refused:
        // for the end of the file when the file holds less (after folding), else for the over-read.
        {"entries past the record", Around(D(49, 'P', B::I32(3) + entries(3))), kOverRead, kStart},
        {"entries past the file", Ending(D(49, 'P', B::I32(3) + entries(2))), kEof, kStart},
        {"entries up to the last byte", Ending(D(49, 'P', B::I32(3) + entries(3))), kOverRead, kStart},
        {"entries up to the last byte, one read ahead after a CR",
         Ending(D(49, 'P', B::I32(3) + entries(1) + words(10) + "\1\1\1\r" + words(11))), kOverRead, kStart},
        {"entries one byte short by a CR LF pair",
         Ending(D(49, 'P', B::I32(3) + entries(2) + "\r\n" + words(10) + "\1\1")), kEof, kStart},
        {"names past the record",
         Around(D(7, 'O', B::I32(3) + B::Str("a") + B::Str("b") + B::Str("c") + B::I32(0))), kOverRead,
         kStart},
        {"names past the file", Ending(R('O', B::I32(INT32_MAX) + B::Str("a"))), kEof, kStart},
        {"a name longer than a record",
         Around(D(32767, 'O', B::I32(1) + std::string(40000, 'n') + B::Str("") + B::I32(0))), kOverRead,
         kStart},
        {"groups past the record",
         Around(
             D(5, 'M', B::I32(2) + B::Str("") + B::I32(1) + words(1) + B::Str("h") + B::I32(0) + B::I32(0))),
         kOverRead, kStart},
        {"group values past the file", Ending(R('M', B::I32(1) + B::Str("g") + B::I32(INT32_MAX))), kEof,
         kStart},
        {"dropped string past the file", Ending(R('H', words(14) + "abc")), kEof, kStart},
        {"skipped entries past the file", Ending(R('S', B::I32(INT32_MAX) + words(4))), kEof, kStart},
    };
    // Each record as declared reaches the closing record; declared one byte short it fails, so the record
    // takes exactly its content. 't', '^', '|' and 'L' read more when the declared length allows.
    const struct {
        char tag;
        std::string content;
        const char* note = "";
    } exact[] = {
        {'Y', words(1)},
        {'<', words(3)},
        {'>', words(2)},
        {'r', words(2)},
        {'F', words(3)},
        {'m', words(1)},
        {'m', std::string("\0\r\n\5\6", 5)}, // a CR LF pair is one byte of the value, two of the record
        {'G', words(1) + "\x05"},
        {'i', "\x05" + words(1)},
        {'I', B::I16(256) + B::Str("name") + words(1)}, // its second byte 0: a string of its own
        // The three bytes before the strings are skipped as file bytes: a CR LF pair there counts twice.
        {'@', "\r\nz" + B::Str("") + B::Str("a") + B::Str("") + B::Str("bc")},
        {'X', words(2) + B::Str("a") + B::Str("b") + words(3) + B::Str("") + B::Str("cd")},
        {'H', words(14) + B::Str("a") + B::Str("bc")},
        {'S', B::I32(2) + words(8)},
        {'g', B::I32(2) + "ab" + words(1) + "cd" + words(1)},
        {'C', B::I32(3) + words(18)},
        {'t', words(1)},
        {'t', words(2)},
        {'^', words(1)},
        {'^', words(4)},
        {'|', B::I32(1) + words(2)},
        {'|', B::I32(1) + words(2) + B::I32(0)},
        {'|', B::I32(1) + words(2) + B::I32(1) + words(1) + B::I32(2) + words(2)},
        {'|', B::I32(1) + words(2) + B::I32(2) + words(2) + B::I32(1) + words(1), ", second list of 8 bytes"},
        {'L', ""},
        {'L', words(5) + B::Str("ab") + words(5) + B::Str("")},
        {'l', words(6) + B::Str("ab") + words(6) + B::Str("")},
        {'p', words(6) + B::Str("")},
    };
    for (const auto& [tag, content, note] : exact) {
        const int size = static_cast<int>(content.size());
        const std::string tagName =
            std::isalnum(tag) != 0 ? std::string(1, tag) : "tag " + std::to_string(tag);
        const std::string name = tagName + " of " + std::to_string(size) + " bytes" + note;
        cases.push_back({name, Around(R(tag, content)), "", 100.0f});
        cases.push_back({name + ", declared one short", Around(D(size, tag, content)), kOverRead, kStart});
    }
    // Strings across the end of the 64 KiB read buffer, a CR LF pair, a lone CR or a NUL at its edge
    // (skipped records within the buffer take the record there): dropped whole by 'H', and counted after
    // folding by 'L', whose one entry is declared as long as it is in the file, so that a second is read.
    const auto before = [&](size_t offset) {
        const std::string skipped = R('A', std::string(30000, 'a')) + R('A', std::string(30000, 'a'));
        return skipped + R('A', std::string(65536 - 7 - skipped.size() - 6 - offset, 'a'));
    };
    const std::string text = "ab\r\ncd\r\r\nef\r";
    const std::string strings = words(14) + B::Str(text) + B::Str("z");
    for (size_t edge = 0; edge <= text.size(); ++edge) {
        const std::string name = "strings across the buffer's edge at " + std::to_string(edge);
        cases.push_back({name, Around(before(56 + edge) + R('H', strings)), "", 100.0f});
        cases.push_back({name + ", declared one short",
                         Around(before(56 + edge) + D(static_cast<int>(strings.size()), 'H', strings)),
                         kOverRead, kStart});
    }
    cases.push_back({"L string with a CR LF pair across the buffer's edge",
                     Around(before(22) + D(26, 'L', words(5) + B::Str("a\r\nb") + words(6))), kOverRead,
                     kStart});
    return cases;
}

class LayYFraming : public testing::TestWithParam<FramingCase> {};

TEST_P(LayYFraming, ParseResultFailureTextAndWidth) {
    const auto& [name, bytes, failure, width] = GetParam();
    QuorLayY lay;
    std::string lastLine;
    lay.SetDiagnosticSink([&lastLine](int64_t, const std::string& line) { lastLine = line; });
    EXPECT_EQ(lay.Load("a.lay", bytes), failure.empty());
    EXPECT_EQ(lay.GetFailureText(), failure);
    EXPECT_EQ(lay.GetLayWidth(), width);
    // The over-read, and only the over-read, is reported for the record.
    EXPECT_EQ(lastLine.rfind("FATAL ERROR - While reading too short record", 0) == 0, failure == kOverRead);
}

// One test per row, named after the row: letters and digits kept, everything else run together into '_'.
INSTANTIATE_TEST_SUITE_P(Records, LayYFraming, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<FramingCase>& info) {
                             std::string name;
                             for (const char c : info.param.name) {
                                 const bool kept = std::isalnum(static_cast<unsigned char>(c)) != 0;
                                 if (kept || (!name.empty() && name.back() != '_')) {
                                     name += kept ? c : '_';
                                 }
                             }
                             return name;
                         });

TEST(LayYRecords, ModelRecordsKeepTheirValuesInFileOrder) {
    QuorLayY empty; // a lay without a 'W' record keeps the start length
    ASSERT_TRUE(empty.Load("a.lay", B().Y().Bytes()));
    EXPECT_EQ(empty.GetLayLength(), 50800000.0f);
    const std::string k = B::I32(2) + B::I32(1) + B::I32(2) + B::I32(3) + B::I32(4) + B::I8(-3) + B::I32(9) +
                          B::I32(8) + B::I32(7) + B::I32(-1) + B::I8(127);
    const std::string m = B::I32(2) + B::Str("g1") + B::I32(2) + B::I32(5) + B::I32(-6) + B::Str("") +
                          B::I32(0) + B::I32(2) + B::I32(70) + B::I32(80);
    const PlacementSpec a{2, 1, true, -5, false, -45.25f, 1.5f, -2.5f, 0, -7, 0};
    // b's last ordinal holds a CR LF pair, read as one byte: b is read through the folding, and takes one
    // byte more of its record. c's piece index takes all four bytes, its flag1 byte is 0x80, ordinal B < 0.
    const PlacementSpec b{2, 1, false, -128, true, 180.0f, 3.0f, 4.0f, 300, 1 << 20, 0x0D0A};
    const PlacementSpec c{-1, 0x10009, false, 1, false, 0.0f, 0.0f, 0.0f, -300, 0, 1};
    B records = B().Y().W(1.5f, 2.5f).W(3.0f, -4.0f).O({"A", "B\r\n"}, {"S"}).O({"C"}, {"M", ""});
    records.Record('C', B::I32(3) + std::string(72, '\1')).Record('c', B::I32(2) + std::string(36, '\3'));
    records.Record('K', k).Record('k', B::I32(0)).Record('M', m);
    records.Record('P', B::I32(2) + B::Entry(a) + B::Entry(c).replace(8, 1, "\x80"));
    QuorLayY lay;
    ASSERT_TRUE(lay.Load("a.lay", records.Record('T', B::I32(1) + B::Entry(b) + '\0').Bytes()));
    EXPECT_EQ(lay.GetLayWidth(), 3.0f);
    EXPECT_EQ(lay.GetLayLength(), -4.0f);
    EXPECT_EQ(lay.GetPieceNames(), (std::vector<std::string>{"A", "B\n", "C"}));
    EXPECT_EQ(lay.GetModelNames(), (std::vector<std::string>{"S", "M", ""}));
    ASSERT_EQ(lay.GetCEntries().size(), 3u);
    EXPECT_EQ(lay.GetCEntries()[2].words[8], 0x03030303u);
    ASSERT_EQ(lay.GetMGroups().size(), 2u);
    EXPECT_EQ(lay.GetMGroups()[0].name + "|" + lay.GetMGroups()[1].name, "g1|");
    EXPECT_EQ(lay.GetMGroups()[0].values, (std::vector<int32_t>{5, -6}));
    EXPECT_TRUE(lay.GetMGroups()[1].values.empty());
    EXPECT_EQ(lay.GetMValues(), (std::vector<int32_t>{70, 80}));
    // K entries as "words value;", placements as "model/piece flag1flag2 angle x y valueC ordinals P|T;".
    std::ostringstream kept;
    for (const KEntry& e : lay.GetKEntries()) {
        kept << e.words[0] << ',' << e.words[1] << ',' << e.words[2] << ',' << e.words[3] << ' ' << e.value
             << ";";
    }
    for (const Placement& p : lay.GetPlacements()) {
        kept << p.modelIndex << '/' << p.pieceIndex << ' ' << p.flag1 << p.flag2 << ' ' << p.angle << ' '
             << p.x << ' ' << p.y << ' ' << p.valueC << ' ' << p.ordinalA << '/' << p.ordinalB << '/'
             << p.ordinalC << (p.isP ? " P;" : " T;");
    }
    EXPECT_EQ(kept.str(), "1,2,3,4 -3;9,8,7,4294967295 127;2/1 10 -45.25 1.5 -2.5 -7 -6/-1/-1 P;"
                          "-1/65545 10 0 0 0 0 0/-301/0 P;2/1 01 180 3 4 1048576 -129/299/2559 T;");
    // Pairs are counted across records.
    const std::map<QuorLayY::PairKey, int32_t> counts{{{-1, 0x10009}, 1}, {{2, 1}, 2}};
    EXPECT_EQ(lay.GetPlacementCounts(), counts);
}
} // namespace
