// The definition and position file writers: exact bytes, name cleaning, and opening.
#include "export/CleanName.h"
#include "export/DefinitionFileWriter.h"
#include "export/PositionFileWriter.h"
#include "files/QuorFile.h"
#include "log/Log.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(CleanName, ReplacesFullStopSlashAndNumberSignInPlace) {
    const struct {
        std::string name;
        std::string expected;
    } cases[] = {{"W12.LAY", "W12-LAY"},       {"W.12#3.LAY", "W-12-3-LAY"}, {"lays/a#1.b", "lays-a-1-b"},
                 {"a\\b c_D:,", "a\\b c_D:,"}, {"..//##", "------"},         {"", ""}};
    for (const auto& c : cases) {
        std::string name = c.name;
        EXPECT_EQ(&CleanName(name), &name);
        EXPECT_EQ(name, c.expected);
    }
}

class ProbeFile : public QuorFile {
public:
    bool Parse() override { return true; }
    bool IsBinary() const override { return true; }
};

TEST(CleanName, OrderNameIsTheCleanedNameAfterTheLastBackslash) {
    Log::DisableFile();
    TempDir dir;
    std::string path = dir.Write("lays/W.12#3.LAY", "x");
    std::replace(path.begin(), path.end(), '/', '\\');
    ProbeFile file;
    ASSERT_TRUE(file.Load(path));
    EXPECT_EQ(OrderNameOf(file), "W-12-3-LAY");
}

TEST(DefinitionFileWriter, WritesModelBlocksAndOrderBlock) {
    TempDir dir;
    const std::string path = dir.Path("csvimprt.txt");
    DefinitionFileWriter writer;
    ASSERT_TRUE(writer.Open(path));
    writer.BeginModel("W12-LAY", "S.1");
    writer.Piece("FRONT", 2);
    writer.Piece("B.A/C#K", -1);
    writer.ExtraCount(3);
    writer.BeginModel("W12-LAY", "M");
    writer.BeginModel("W12-LAY", "L");
    writer.Piece("TWO\nLINES", 0);
    writer.BeginOrder("W12-LAY", "quorix lay Y file import", 1600 / 25.4);
    writer.OrderLine("W12-LAY", "S.1");
    writer.OrderLine("W12-LAY", "M");
    writer.Close();
    EXPECT_EQ(TempDir::ReadFile(path),
              "=:model\r\nm:W12-LAY-S.1\r\np:FRONT\r\ni:2\r\np:B-A-C-K\r\ni:-1\r\nx:3\r\n"
              "=:model\r\nm:W12-LAY-M\r\n"
              "=:model\r\nm:W12-LAY-L\r\np:TWO\r\nLINES\r\ni:0\r\n"
              "=:order\r\no:W12-LAY\r\nd:quorix lay Y file import\r\nw:62.9921\r\n"
              "m:W12-LAY-S.1\r\nq:1\r\ns:S.1\r\nm:W12-LAY-M\r\nq:1\r\ns:M\r\n");
}

TEST(DefinitionFileWriter, ImportWithoutModelsIsTheOrderHeadOnly) {
    TempDir dir;
    const std::string path = dir.Write("csvimprt.txt", "an older file, longer than the new one\n");
    DefinitionFileWriter writer;
    ASSERT_TRUE(writer.Open(path));
    writer.BeginOrder("", "quorix marker definition file import", 1397000 / 25400.0);
    writer.Close();
    EXPECT_EQ(TempDir::ReadFile(path), "=:order\r\no:\r\nd:quorix marker definition file import\r\nw:55\r\n");
}

TEST(PositionFileWriter, WritesTenFieldsPerLine) {
    TempDir dir;
    const std::string path = dir.Path("posimport.txt");
    PositionFileWriter writer;
    ASSERT_TRUE(writer.Open(path));
    writer.Record("FRONT", "S", PositionFileWriter::kKindP, 1, 270.0f, 123.4567f, 45.5f);
    writer.Record("A.B#1", "M/2", PositionFileWriter::kKindT, 3, 0.0f, -0.5f, 0.0f);
    writer.Record("X,Y", "L\nZ", PositionFileWriter::kKindP, 0, 90.0f, 0.00001f, 999999.9f);
    writer.Close();
    EXPECT_EQ(TempDir::ReadFile(path), "FRONT,S,8,1,270,123.457,45.5,0,0,0\r\n"
                                       "A.B#1,M/2,16,3,0,-0.5,0,0,0,0\r\n"
                                       "X,Y,L\r\nZ,8,0,90,1e-005,1e+006,0,0,0\r\n");
}

TEST(ImportFileWriters, OpenInAMissingFolderFailsAndCreatesNothing) {
    TempDir dir;
    DefinitionFileWriter definition;
    EXPECT_FALSE(definition.Open(dir.Path("missing/csvimprt.txt")));
    PositionFileWriter position;
    EXPECT_FALSE(position.Open(dir.Path("missing/posimport.txt")));
    // A writer that failed to open writes nowhere.
    definition.BeginOrder("W12-LAY", "quorix lay Y file import", 100.0);
    position.Record("FRONT", "S", PositionFileWriter::kKindP, 0, 0.0f, 0.0f, 0.0f);
    definition.Close();
    position.Close();
    EXPECT_FALSE(TempDir::Exists(dir.Path("missing")));
}

} // namespace
