// The definition and position file writers: exact bytes and name cleaning.
#include "export/CleanName.h"
#include "export/DefinitionFileWriter.h"
#include "export/PositionFileWriter.h"
#include "files/QuorFile.h"
#include "log/Log.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct ProbeFile : QuorFile {
    bool Parse() override { return true; }
    bool IsBinary() const override { return true; }
};

TEST(CleanName, OrderNameIsTheCleanedNameAfterTheLastBackslash) {
    std::string name = "lays/a#1.b\\ c_D:,";
    EXPECT_EQ(&CleanName(name), &name);
    EXPECT_EQ(name, "lays-a-1-b\\ c_D:,");
    Log::DisableFile();
    TempDir dir;
    std::string path = dir.Write("lays/W.12#3.LAY", "x");
    std::replace(path.begin(), path.end(), '/', '\\');
    ProbeFile file;
    ASSERT_TRUE(file.Load(path));
    EXPECT_EQ(OrderNameOf(file), "W-12-3-LAY");
}

TEST(DefinitionFileWriter, CleansPieceNamesButNotModelLabels) {
    TempDir dir;
    const std::string path = dir.Write("csvimprt.txt", std::string(300, '#')); // an older, longer file
    TextModeWriter file;
    ASSERT_TRUE(file.Create(path));
    DefinitionFileWriter writer(file);
    writer.BeginModel("W12-LAY", "S.1");
    writer.Piece("FRONT", 2);
    writer.Piece("B.A/C#K", -1);
    writer.ExtraCount(3);
    writer.BeginModel("W12-LAY", "M");
    writer.BeginOrder("W12-LAY", "quorix lay Y file import", 1600 / 25.4);
    writer.OrderLine("W12-LAY", "S.1");
    writer.OrderLine("W12-LAY", "M");
    ASSERT_TRUE(file.Replace());
    EXPECT_EQ(
        TempDir::ReadFile(path),
        "=:model\r\nm:W12-LAY-S.1\r\np:FRONT\r\ni:2\r\np:B-A-C-K\r\ni:-1\r\nx:3\r\n=:model\r\nm:W12-LAY-M\r\n"
        "=:order\r\no:W12-LAY\r\nd:quorix lay Y file import\r\nw:62.9921\r\n"
        "m:W12-LAY-S.1\r\nq:1\r\ns:S.1\r\nm:W12-LAY-M\r\nq:1\r\ns:M\r\n");
}

TEST(PositionFileWriter, WritesTenFieldsPerLineAndNamesUnchanged) {
    TempDir dir;
    const std::string path = dir.Path("posimport.txt");
    // Names of every length around the blocks they are copied in.
    const PositionFileWriter::Names pieces(
        {"FRONT", "A.B#1", std::string(16, 'p'), std::string(17, 'q'), ""});
    const PositionFileWriter::Names models({"S", "M/\n2", std::string(15, 'm') + "\n"});
    TextModeWriter file;
    ASSERT_TRUE(file.Create(path));
    PositionFileWriter writer(file);
    writer.Record(pieces, 0, models, 0, PositionFileWriter::kKindP, 1, 270.0f, 123.4567f, 45.5f);
    writer.Record(pieces, 1, models, 1, PositionFileWriter::kKindT, 3, 0.0f, 0.00001f, 999999.9f);
    writer.Record(pieces, 2, models, 2, PositionFileWriter::kKindP, 0, 1.5f, 2.0f, -3.0f);
    writer.Record(pieces, 3, models, 0, PositionFileWriter::kKindP, 2, 0.0f, 0.0f, 0.0f);
    writer.Record(pieces, 4, models, 1, PositionFileWriter::kKindT, 0, 0.0f, 0.0f, 0.0f);
    ASSERT_TRUE(file.Replace());
    EXPECT_EQ(TempDir::ReadFile(path),
              "FRONT,S,8,1,270,123.457,45.5,0,0,0\r\nA.B#1,M/\r\n2,16,3,0,1e-005,1e+006,0,0,0\r\n" +
                  std::string(16, 'p') + "," + std::string(15, 'm') + "\r\n,8,0,1.5,2,-3,0,0,0\r\n" +
                  std::string(17, 'q') + ",S,8,2,0,0,0,0,0,0\r\n,M/\r\n2,16,0,0,0,0,0,0,0\r\n");
}

} // namespace
