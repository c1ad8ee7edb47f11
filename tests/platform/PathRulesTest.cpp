// The module's path rules, on paths in its backslash form, and the names it makes of them.
#include "platform/PathRules.h"

#include <gtest/gtest.h>

#include <string>

namespace {
using namespace quorix::paths;

struct Row {
    const char* name;
    std::string (*rule)(const std::string& path, const std::string& name);
    std::string path;
    std::string second; // the name that Join adds
    std::string expected;
};

std::string BaseNameRule(const std::string& path, const std::string&) {
    return BaseName(path);
}
std::string StylesFolderRule(const std::string& path, const std::string&) {
    return StylesFolder(path);
}
std::string OrderNameRule(const std::string& path, const std::string&) {
    return OrderName(path);
}

const Row kRows[] = {
    {"BaseNameAfterTheLastBackslash", BaseNameRule, "c:\\data\\lays\\W12.LAY", "", "W12.LAY"},
    {"BaseNameOfANameAlone", BaseNameRule, "W12.LAY", "", "W12.LAY"},
    {"BaseNameOfAFolder", BaseNameRule, "c:\\data\\", "", ""},
    {"JoinAddsABackslash", Join, "c:\\out", "posimport.txt", "c:\\out\\posimport.txt"},
    {"JoinKeepsTheFolderBackslash", Join, "c:\\", "posimport.txt", "c:\\posimport.txt"},
    {"JoinToNoFolderStartsAtTheRoot", Join, "", "posimport.txt", "\\posimport.txt"},
    {"StylesFolderBesideTheMarkersFolder", StylesFolderRule, "c:\\data\\markers\\m.mkr", "",
     "c:\\data\\styles"},
    {"StylesFolderOfAMarkerInOneFolder", StylesFolderRule, "markers\\m.mkr", "", "markers\\styles"},
    {"StylesFolderOfAMarkerAlone", StylesFolderRule, "m.mkr", "", "m.mkr\\styles"},
    {"StylesFolderAfterADoubledBackslash", StylesFolderRule, "c:\\\\markers\\m.mkr", "", "c:\\\\styles"},
    {"OrderNameCleansTheBaseNameOnly", OrderNameRule, "c:\\a.b\\W#1/2.LAY", "", "W-1-2-LAY"},
};

TEST(PathRules, GiveThePathsAndNamesTheHostUses) {
    for (const Row& row : kRows) {
        EXPECT_EQ(row.rule(row.path, row.second), row.expected) << row.name;
    }
}
} // namespace
