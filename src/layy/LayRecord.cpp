#include "layy/LayRecord.h"

#include "files/BigEndian.h"
#include "files/QuorUnhandledFormatFeatureException.h"

namespace quorix {

namespace {
// The longest name that a record can hold whole: its content is at most 32766 bytes, and a name of n bytes
// takes at least n + 1 bytes of the file with its NUL, less one that may have been read ahead before.
constexpr size_t kLongestName = 32766;
} // namespace

LayRecord::LayRecord(QuorLayY& file, char tag, int32_t length)
    : file(file), tag(tag), length(length), end(file.Position() + length) {}

bool LayRecord::ReachesPast(std::initializer_list<std::pair<RecordCount, uint32_t>> lists) const {
    uint32_t listsEnd = 0;
    for (const auto& [count, bytes] : lists) {
        listsEnd += bytes * static_cast<uint32_t>(count.value) + 4u;
    }
    return length > static_cast<int32_t>(listsEnd);
}

RecordCount LayRecord::ReadCount() {
    int32_t count = 0;
    ReadFields<4>([&count](const char* field) { count = static_cast<int32_t>(detail::BigEndian32(field)); });
    return RecordCount(count);
}

void LayRecord::ReadNames(RecordCount count, std::vector<std::string>& names) {
    std::string name;
    for (int64_t i = 0; i < count.value; ++i) {
        if (RoomLeft() < 0) {
            DropStrings(count.value - i);
            return;
        }
        file.ReadString(name, kLongestName); // a longer name is never within the record
        names.push_back(name);
    }
}

void LayRecord::ReadNamedLists(RecordCount count, std::vector<MGroup>& lists) {
    int64_t i = 0;
    for (; i < count.value && RoomLeft() >= 0; ++i) {
        MGroup list;
        file.ReadString(list.name, kLongestName);
        ReadEntries<4>(ReadCount(), [&list](const char* value) {
            list.values.push_back(static_cast<int32_t>(detail::BigEndian32(value)));
        });
        lists.push_back(std::move(list));
    }
    // Past the end of the record: each list left takes at least its NUL and its count.
    RequireFileBytes(5 * (count.value - i));
    for (; i < count.value; ++i) {
        DropString();
        DropEntries(ReadCount(), 4);
    }
}

void LayRecord::RequireFileBytes(int64_t bytes) {
    // Folding makes one byte of two at most, so each byte delivered takes at least one byte of the file,
    // except a byte already read ahead. The last one is looked for where it would be, then the read
    // position is put back.
    const int64_t fileBytes = bytes - 1;
    const char* data = nullptr;
    detail::FileStream& stream = file.stream;
    if (fileBytes <= 0 || static_cast<int64_t>(stream.Window(data)) >= fileBytes || !stream.Good()) {
        return;
    }
    stream.SeekRelative(fileBytes - 1);
    const bool held = stream.Window(data) > 0;
    stream.SeekRelative(-(fileBytes - 1));
    if (!held) {
        throw QuorUnhandledFormatFeatureException(QuorBinaryFile::kEndOfFileText);
    }
}

void LayRecord::DropBytes(int64_t bytes) {
    if (bytes <= 0) {
        return;
    }
    RequireFileBytes(bytes);
    // Read in parts: folding delivers the same bytes and ends in the same place however they are split.
    char part[4096];
    while (bytes > 0) {
        const int size = static_cast<int>(std::min<int64_t>(bytes, sizeof part));
        file.ReadBytes(part, size);
        bytes -= size;
    }
}

void LayRecord::DropStrings(int64_t strings) {
    if (strings <= 0) {
        return;
    }
    RequireFileBytes(strings);
    for (int64_t i = 0; i < strings; ++i) {
        file.SkipString();
    }
}

int64_t LayRecord::DropString() {
    return file.SkipString();
}

void LayRecord::Skip(int bytes) {
    file.Skip(bytes);
}

} // namespace quorix
