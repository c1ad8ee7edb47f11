#include "export/FileSink.h"

#include <algorithm>

namespace quorix {

void FileSink::Flush() {
    if (used != 0) {
        // A failed write (a full disk) stays with the file: Finish and Replace report it.
        file.Write(buffer.get(), used);
    }
    used = 0;
}

void FileSink::MakeRoom(size_t room) {
    Flush();
    if (capacity < room) {
        // What is held before it is passed on in one write: at least 64 KiB, and as much as the longest
        // line built in place.
        Grow(std::max(room, size_t{1} << 16));
    }
}

void FileSink::Append(std::string_view bytes) {
    // Written as they are, without a copy through the buffer.
    Flush();
    file.Write(bytes.data(), bytes.size());
}

bool FileSink::Finish() {
    Flush();
    return file.Finish();
}

bool FileSink::Replace() {
    Flush();
    return file.Commit();
}

} // namespace quorix
