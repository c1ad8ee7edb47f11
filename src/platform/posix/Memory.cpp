#include "platform/Memory.h"

#include <sys/mman.h>
#include <unistd.h>

namespace quorix::memory {

size_t HugePageBytes() {
#ifdef MADV_HUGEPAGE
    return size_t{2} << 20; // the transparent huge pages of x86 and of most 64-bit systems
#else
    return 0;
#endif
}

void AdviseHugePages(void* data, size_t bytes) {
#ifdef MADV_HUGEPAGE
    // madvise takes whole small pages: the range is narrowed to those that lie inside it.
    const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto first = (reinterpret_cast<uintptr_t>(data) + page - 1) / page * page;
    const auto end = (reinterpret_cast<uintptr_t>(data) + bytes) / page * page;
    if (end > first) {
        // Refused where the system has no transparent huge pages, or they are switched off: nothing changes.
        static_cast<void>(::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE));
    }
#else
    static_cast<void>(data);
    static_cast<void>(bytes);
#endif
}

} // namespace quorix::memory
