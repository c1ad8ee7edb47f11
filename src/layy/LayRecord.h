#pragma once

#include "layy/LayRecords.h"
#include "layy/QuorLayY.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace quorix {

// A count of entries as a record gives it: it can only be handed back to the record that read it, which
// reads or passes over that many entries within its own bounds. Nothing is allocated or looped over from
// the number itself, so a count that calls for more than the record holds costs no more than the record.
class RecordCount {
public:
    // The count less `fewer`, for a record whose count includes entries that it does not hold.
    RecordCount Less(int64_t fewer) const { return RecordCount(value - fewer); }

private:
    friend class LayRecord;
    explicit RecordCount(int64_t value) : value(value) {}
    int64_t value; // 0 or less: no entries
};

// The content of one LAY-Y record, as the handler of its tag sees it. It gives counts, entries, names and
// passes over fields, and it holds what the record keeps to the record's declared length: entries and
// names are read only while the read position is within the record, in runs that the rest of the record
// could hold. Once past its end nothing more is kept, but the rest of what the counts call for is still
// passed over as the reads would take it, because that decides how the record is refused: when the file
// ends first, with the end-of-file failure, else with the over-read one. Looking for the last byte they
// call for answers that at once when the file is shorter; otherwise the rest is read through unkept.
class LayRecord {
public:
    LayRecord(const LayRecord&) = delete;
    LayRecord& operator=(const LayRecord&) = delete;

    // The record's tag, for a handler that serves two.
    char Tag() const { return tag; }
    // Whether the declared content is longer than `bytes`, for records whose layout depends on it.
    bool LongerThan(int64_t bytes) const { return length > bytes; }
    // Whether the declared content reaches past `lists`, each a count field and the entries of `bytes`
    // bytes that its count calls for, added up in the format's plain 32-bit arithmetic.
    bool ReachesPast(std::initializer_list<std::pair<RecordCount, uint32_t>> lists) const;

    // A big-endian 32-bit count.
    RecordCount ReadCount();
    // Reads `Bytes` bytes of fixed fields and hands them to `take`, CR LF pairs folded.
    template <size_t Bytes, typename Take> void ReadFields(Take take);
    // Reads `count` entries of `Bytes` bytes each as ReadFields does, in runs of as many as the rest of the
    // record could hold. Once the read position is past the record's end, the entries left are passed
    // over unkept.
    template <size_t Bytes, typename Take> void ReadEntries(RecordCount count, Take take);
    // Reads `count` NUL-terminated names into `names` while the read position is within the record; past
    // its end, the names left are passed over.
    void ReadNames(RecordCount count, std::vector<std::string>& names);
    // Reads `count` named lists of 32-bit values (a name, a count, the values) into `lists` in the same way.
    void ReadNamedLists(RecordCount count, std::vector<MGroup>& lists);

    // Pass over fields as reading them would, keeping nothing: `bytes` bytes, the entries of `entryBytes`
    // bytes that `count` calls for, `strings` NUL-terminated strings, one string (giving the bytes it took).
    void DropBytes(int64_t bytes);
    void DropEntries(RecordCount count, int64_t entryBytes) { DropBytes(count.value * entryBytes); }
    void DropStrings(int64_t strings);
    int64_t DropString();
    // Moves over `bytes` bytes of the file without folding them.
    void Skip(int bytes);

private:
    friend class QuorLayY;
    LayRecord(QuorLayY& file, char tag, int32_t length);

    // The bytes between the read position and the end of the content: below 0 once past it.
    int64_t RoomLeft() const { return end - file.Position(); }
    // The next `bytes` bytes after folding: where they stand in the buffer when folding leaves them as
    // they are, else folded into `folded`.
    const char* Next(char* folded, size_t bytes) {
        const char* direct = file.TakeDirect(bytes);
        if (direct != nullptr) {
            return direct;
        }
        file.ReadBytesFolding(folded, static_cast<int>(bytes));
        return folded;
    }
    // Throws the reads' end-of-file failure when the file cannot deliver `bytes` more bytes after folding.
    void RequireFileBytes(int64_t bytes);

    QuorLayY& file;
    const char tag;
    const int32_t length; // declared, from the length field
    const int64_t end;    // the file offset where the content ends
};

template <size_t Bytes, typename Take> void LayRecord::ReadFields(Take take) {
    char folded[Bytes];
    take(Next(folded, Bytes));
}

template <size_t Bytes, typename Take> void LayRecord::ReadEntries(RecordCount count, Take take) {
    char folded[Bytes];
    for (int64_t left = count.value; left > 0;) {
        if (RoomLeft() < 0) {
            DropBytes(left * static_cast<int64_t>(Bytes));
            return;
        }
        // An entry takes at least as many bytes of the file as it holds, but for one byte that may have
        // been read ahead: after this run the read position stands at the record's end or past it.
        const int64_t run = std::min(left, RoomLeft() / static_cast<int64_t>(Bytes) + 1);
        for (int64_t i = 0; i < run;) {
            // As many entries as lie in the buffer without a CR, at once; one through Next otherwise.
            size_t direct = static_cast<size_t>(run - i);
            if (const char* entries = file.TakeDirectEntries(Bytes, direct)) {
                for (size_t k = 0; k < direct; ++k) {
                    take(entries + k * Bytes);
                }
                i += static_cast<int64_t>(direct);
            } else {
                take(Next(folded, Bytes));
                ++i;
            }
        }
        left -= run;
    }
}

} // namespace quorix
