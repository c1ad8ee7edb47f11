#include "platform/Memory.h"

namespace quorix::memory {

// The Windows build keeps plain allocation: large pages there need a privilege that a host's user does not
// hold.
size_t HugePageBytes() {
    return 0;
}

void AdviseHugePages(void*, size_t) {}

} // namespace quorix::memory
