// A lay of 101 bytes, written out byte by byte: read, written and handed back end to end.
#include "entry/QuorImport.h"
#include "support/HostLogRecorder.h"
#include "support/LayBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace quorix;

TEST(SmallLayImport, LayOf101BytesImportsToBothFiles) {
    const std::string lay =
        std::string("\x00\x05\x59\x00\x00\x00\x01", 7) + std::string("\x00\x19\x57\x44\xC8\x00\x00", 7) +
        std::string(20, '\0') +
        std::string("\x00\x0E\x4F\x00\x00\x00\x01\x41\x42\x00\x00\x00\x00\x01\x53\x00", 16) +
        std::string("\x00\x31\x50\x00\x00\x00\x01", 7) +
        std::string("\x00\x00\x00\x00\x00\x00\x00\x00\x01\x01\x00\x00\x42\xB4\x00\x00\x41\x20\x00\x00"
                    "\x41\xA0\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x07\x00\x00\x00\x02"
                    "\x00\x00\x00\x00",
                    44);
    ASSERT_EQ(lay.size(), 101u);
    TempDir dir;
    const std::string input = dir.Write("lays/W12.LAY", lay);
    dir.MakeDir("out");
    char name[21];
    std::fill(std::begin(name), std::end(name), 'Z');
    HostLogRecorder::Clear();
    const ImportOutcome outcome = RunImport(input, name, ImportPaths::InFolder(dir.Path("out")));
    ASSERT_TRUE(outcome.loaded);
    EXPECT_EQ(outcome.kind, ImportOutcome::Kind::LayY);
    EXPECT_STREQ(name, "W12-LAY");
    EXPECT_TRUE(HostLogRecorder::Calls().empty());
    EXPECT_EQ(
        TempDir::ReadFile(dir.Path("out/csvimprt.txt")),
        "=:model\r\nm:W12-LAY-S\r\np:AB\r\ni:1\r\n=:order\r\no:W12-LAY\r\nd:quorix lay Y file import\r\n"
        "w:62.9921\r\nm:W12-LAY-S\r\nq:1\r\ns:S\r\n");
    EXPECT_EQ(TempDir::ReadFile(dir.Path("out/posimport.txt")), "AB,S,8,1,270,10,20,0,0,0\r\n");
}
