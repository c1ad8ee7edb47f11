// A marker imported end to end: the definition file's exact bytes, the empty position file, the order name
// handed back, and the host's messages for a marker that is refused.
#include "entry/QuorImport.h"
#include "support/HostLogRecorder.h"
#include "support/MarkerBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

class MarkerImport : public ::testing::Test {
protected:
    void SetUp() override {
        dir.MakeDir("out");
        HostLogRecorder::Clear();
    }
    ImportOutcome Run(const std::string& markerName, const MarkerBuilder& builder) {
        return QuorImport::Run(dir.Write("data/markers/" + markerName, builder.Text()), name,
                               ImportPaths::InFolder(dir.Path("out")));
    }
    std::string Out(const std::string& file) const { return TempDir::ReadFile(dir.Path("out/" + file)); }

    TempDir dir;
    char name[21] = {};
};

// Models in ascending size order, pieces in name order, "x:" only for an extra count above 0; the old
// position file is replaced by an empty one. The styles are looked up beside the markers folder, not in it.
TEST_F(MarkerImport, DefinitionFileHoldsOneModelPerSizeInSizeOrder) {
    StyleBuilder shirt(16);
    shirt.Piece("zero", 0, 0).Piece("FRONT.L", 2, 0).Piece("neg", -2, -1).Piece("back#1", 1, 2);
    dir.Write("data/styles/shirt", shirt.Text("\r\n"));
    dir.Write("data/markers/styles/shirt", StyleBuilder(16).Piece("decoy", 1, 0).Text());
    dir.Write("out/posimport.txt", "FRONT,S,8,0,0,1,2,0,0,0\r\n");
    const ImportOutcome outcome =
        Run("Spring.2024#1.mkr",
            MarkerBuilder(19).Width(1000000).Slot("shirt", {{12, "1", 1}, {-1, "2", 1}, {3, "3", 1}}));
    ASSERT_TRUE(outcome.loaded);
    EXPECT_EQ(outcome.kind, ImportOutcome::Kind::Marker);
    EXPECT_STREQ(name, "Spring-2024-1-mkr");
    EXPECT_TRUE(HostLogRecorder::Calls().empty());
    std::string models;
    std::string order =
        "=:order\r\no:Spring-2024-1-mkr\r\nd:quorix marker definition file import\r\nw:39.3701\r\n";
    for (const std::string label : {"-1", "3", "12"}) {
        models += "=:model\r\nm:Spring-2024-1-mkr-" + label +
                  "\r\np:FRONT-L\r\ni:2\r\np:back-1\r\ni:1\r\nx:2\r\np:neg\r\ni:-2\r\np:zero\r\ni:0\r\n";
        order += "m:Spring-2024-1-mkr-" + label + "\r\nq:1\r\ns:" + label + "\r\n";
    }
    EXPECT_EQ(Out("csvimprt.txt"), models + order);
    EXPECT_EQ(Out("posimport.txt"), "");
}

TEST_F(MarkerImport, UnsupportedVersionGivesBothMessages) {
    dir.Write("out/csvimprt.txt", "kept");
    EXPECT_FALSE(Run("old.mkr", MarkerBuilder(11).Slot("shirt", {{1, "1", 1}})).loaded);
    EXPECT_EQ(Out("csvimprt.txt"), "kept");
    EXPECT_FALSE(TempDir::Exists(dir.Path("out/posimport.txt")));
    ASSERT_EQ(HostLogRecorder::Calls().size(), 2u);
    EXPECT_EQ(HostLogRecorder::Calls()[0].text, "Marker file old.mkr has not supported format ver.11.");
    EXPECT_FALSE(HostLogRecorder::Calls()[0].detail.has_value());
    EXPECT_EQ(HostLogRecorder::Calls()[1].text,
              "File '" + dir.Path("data/markers/old.mkr") + "' is not in Quorix LayY or Marker format.");
    EXPECT_EQ(HostLogRecorder::Calls()[1].detail, std::optional<std::string>("old.mkr"));
}
} // namespace
