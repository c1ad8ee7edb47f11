// The main function of the test programs: the module's diagnostic log keeps no file, so that no test
// leaves a Log.txt behind in the folder it runs in.
#include "log/Log.h"

#include <gtest/gtest.h>

using namespace quorix;

int main(int argc, char** argv) {
    Log::DisableFile();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
