// The converter of the allocation sweep: quorix-import with the test programs' operator new, steered by
// its environment before main runs.
//   QUORIX_FAIL_ALLOCATION=N   the Nth allocation of the run fails
//   QUORIX_FORCED_PARTS=N      all work is cut into N parts, whatever the machine
//   QUORIX_COUNT_ALLOCATIONS=1 the run ends by printing "allocations: N" on standard error
#include "platform/Parallel.h"
#include "support/AllocationHooks.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {
void PrintCount() {
    char line[64];
    const int length = std::snprintf(line, sizeof line, "allocations: %ld\n", allocation::Counted());
    if (length > 0 && write(STDERR_FILENO, line, static_cast<size_t>(length)) < 0) {
        std::_Exit(125);
    }
}

struct Hooks {
    Hooks() {
        if (const char* parts = std::getenv("QUORIX_FORCED_PARTS")) {
            forced = std::make_unique<quorix::parallel::ForcedParts>(std::strtoul(parts, nullptr, 10));
        }
        if (std::getenv("QUORIX_COUNT_ALLOCATIONS") != nullptr) {
            std::atexit(PrintCount);
        }
        const char* failing = std::getenv("QUORIX_FAIL_ALLOCATION");
        allocation::FailNth(failing != nullptr ? std::strtol(failing, nullptr, 10) : 0);
    }
    std::unique_ptr<quorix::parallel::ForcedParts> forced;
} hooks;
} // namespace
