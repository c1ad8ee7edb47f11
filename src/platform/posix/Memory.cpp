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
    const auto page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    char* const begin = static_cast<char*>(data);
    const size_t skip = (page - reinterpret_cast<uintptr_t>(begin) % page) % page;
    const size_t length = bytes > skip ? (bytes - skip) / page * page : 0;
    if (length > 0) {
        // Refused where the system has no transparent huge pages, or they are switched off: nothing changes.
        static_cast<void>(::madvise(begin + skip, length, MADV_HUGEPAGE));
    }
#else
    static_cast<void>(data);
    static_cast<void>(bytes);
#endif
}

} // namespace quorix::memory
