// A marker imported end to end: the definition file's exact bytes, the empty position file and the order
// name handed back.
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
        const std::string path = dir.Write("data/markers/" + markerName, builder.Text());
        return QuorImport::Run(path, name, ImportPaths::InFolder(dir.Path("out")));
    }

    std::string Definition() const { return TempDir::ReadFile(dir.Path("out/csvimprt.txt")); }
    std::string Positions() const { return TempDir::ReadFile(dir.Path("out/posimport.txt")); }

    TempDir dir;
    char name[21] = {};
};

TEST_F(MarkerImport, DefinitionFileHoldsOneModelPerSizeInSizeOrder) {
    dir.Write("data/styles/shirt", StyleBuilder(16)
                                       .Piece("zero", 0, 0)
                                       .Piece("FRONT.L", 2, 0)
                                       .Piece("neg", -2, -1)
                                       .Piece("back#1", 1, 2)
                                       .Text("\r\n"));
    // A decoy where a styles folder inside the markers folder would be looked up.
    dir.Write("data/markers/styles/shirt", StyleBuilder(16).Piece("decoy", 1, 0).Text());
    dir.Write("out/csvimprt.txt", "old definition\r\n");
    dir.Write("out/posimport.txt", "FRONT,S,8,0,0,1,2,0,0,0\r\n");

    const ImportOutcome outcome =
        Run("Spring.2024#1.mkr",
            MarkerBuilder(19).Width(1651000).Slot("shirt", {{12, "1", 1}, {-1, "2", 1}, {3, "3", 1}}));
    ASSERT_TRUE(outcome.loaded);
    EXPECT_EQ(outcome.kind, ImportOutcome::Kind::Marker);
    EXPECT_STREQ(name, "Spring-2024-1-mkr");
    EXPECT_TRUE(HostLogRecorder::Calls().empty());

    const auto model = [](const std::string& label) {
        return "=:model\r\nm:Spring-2024-1-mkr-" + label +
               "\r\np:FRONT-L\r\ni:2\r\np:back-1\r\ni:1\r\nx:2\r\np:neg\r\ni:-2\r\np:zero\r\ni:0\r\n";
    };
    EXPECT_EQ(Definition(), model("-1") + model("3") + model("12") +
                                "=:order\r\no:Spring-2024-1-mkr\r\nd:quorix marker definition file import\r\n"
                                "w:65\r\n"
                                "m:Spring-2024-1-mkr--1\r\nq:1\r\ns:-1\r\n"
                                "m:Spring-2024-1-mkr-3\r\nq:1\r\ns:3\r\n"
                                "m:Spring-2024-1-mkr-12\r\nq:1\r\ns:12\r\n");
    EXPECT_EQ(Positions(), "");
}

TEST_F(MarkerImport, WithoutSizesOnlyTheOrderBlockIsWritten) {
    const std::vector<std::pair<int32_t, std::string>> cases = {
        {1397000, "55"}, {1651000, "65"}, {1000000, "39.3701"}, {2540, "0.1"}};
    for (const auto& [width, inches] : cases) {
        dir.Write("out/posimport.txt", "stale");
        // A slot with a style but no sizes still reads its style file, and adds no model.
        dir.Write("data/styles/plain", StyleBuilder(12).Piece("front", 1, 0).Text());
        const ImportOutcome outcome = Run("m1.mkr", MarkerBuilder(10).Width(width).Slot("plain", {}));
        ASSERT_TRUE(outcome.loaded) << width;
        EXPECT_EQ(Definition(),
                  "=:order\r\no:m1-mkr\r\nd:quorix marker definition file import\r\nw:" + inches + "\r\n")
            << width;
        EXPECT_EQ(Positions(), "") << width;
    }
}

TEST_F(MarkerImport, UnsupportedVersionGivesBothMessages) {
    dir.Write("out/csvimprt.txt", "kept");
    const ImportOutcome outcome = Run("old.mkr", MarkerBuilder(11).Slot("shirt", {{1, "1", 1}}));
    EXPECT_FALSE(outcome.loaded);
    EXPECT_EQ(Definition(), "kept");
    EXPECT_FALSE(TempDir::Exists(dir.Path("out/posimport.txt")));
    ASSERT_EQ(HostLogRecorder::Calls().size(), 2u);
    EXPECT_EQ(HostLogRecorder::Calls()[0].text, "Marker file old.mkr has not supported format ver.11.");
    EXPECT_FALSE(HostLogRecorder::Calls()[0].detail.has_value());
    EXPECT_EQ(HostLogRecorder::Calls()[1].text,
              "File '" + dir.Path("data/markers/old.mkr") + "' is not in Quorix LayY or Marker format.");
    EXPECT_EQ(HostLogRecorder::Calls()[1].detail, std::optional<std::string>("old.mkr"));
}

} // namespace
