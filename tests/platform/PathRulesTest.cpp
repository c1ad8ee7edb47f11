// The module's path rules, on paths in its backslash form, and the names it makes of them.
#include "platform/PathRules.h"
#include "export/NameRules.h"
#include "marker/QuorStyle.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

using namespace quorix;

namespace {
using namespace quorix::paths;

TEST(PathRules, GiveThePathsAndNamesTheHostUses) {
    // Row name, what the rule gives, what it must give.
    const std::tuple<const char*, std::string, std::string> rows[] = {
        // clang-format off
        {"BaseNameAfterTheLastBackslash", BaseName("c:\\data\\lays\\W12.LAY"), "W12.LAY"},
        {"BaseNameOfANameAlone", BaseName("W12.LAY"), "W12.LAY"},
        {"BaseNameOfAFolder", BaseName("c:\\data\\"), ""},
        {"JoinAddsABackslash", Join("c:\\out", "posimport.txt"), "c:\\out\\posimport.txt"},
        {"JoinKeepsTheFolderBackslash", Join("c:\\", "posimport.txt"), "c:\\posimport.txt"},
        {"JoinToNoFolderStartsAtTheRoot", Join("", "posimport.txt"), "\\posimport.txt"},
        {"StylesFolderBesideTheMarkersFolder", StylesFolder("c:\\data\\markers\\m.mkr"), "c:\\data\\styles"},
        {"StylesFolderOfAMarkerInOneFolder", StylesFolder("markers\\m.mkr"), "markers\\styles"},
        {"StylesFolderOfAMarkerAlone", StylesFolder("m.mkr"), "m.mkr\\styles"},
        {"StylesFolderAfterADoubledBackslash", StylesFolder("c:\\\\markers\\m.mkr"), "c:\\\\styles"},
        {"OrderNameCleansTheBaseNameOnly", OrderName("c:\\a.b\\W#1/2.LAY"), "W-1-2-LAY"},
        // clang-format on
    };
    for (const auto& [name, given, expected] : rows) {
        EXPECT_EQ(given, expected) << name;
    }
}
} // namespace
