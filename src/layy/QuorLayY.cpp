#include "layy/QuorLayY.h"

#include "files/QuorUnhandledFormatFeatureException.h"

#include <algorithm>
#include <new>

namespace quorix {

namespace {
// Loop bound for a count of the file: as a 32-bit signed number, so 0 or less gives no entries.
bool Below(int32_t index, int32_t count) {
    return index < count;
}

uint32_t Wrap(int32_t value) {
    return static_cast<uint32_t>(value);
}

// The longest name that a record can hold whole: its content is at most 32766 bytes, and a name of n bytes
// takes at least n + 1 bytes of the file with its NUL, less one that may have been read ahead before.
constexpr size_t kLongestName = 32766;
} // namespace

bool QuorLayY::ReadRecordHeader(int32_t& tag, int32_t& contentLength) {
    int length = 0;
    try {
        ReadInt16(length);
    } catch (const QuorUnhandledFormatFeatureException&) {
        // The reads' end-of-file failure: the lay ends at a record boundary (or within the length field).
        return false;
    }
    int tagValue = 0;
    ReadInt8(tagValue);
    tag = tagValue;
    contentLength = length - 1;
    return true;
}

bool QuorLayY::Parse() {
    const bool parsed = ReadRecords();
    try {
        pairCounter.MoveInto(placementCounts);
    } catch (const std::bad_alloc&) {
        // No room for the counts: the lay is refused as if it could not be read.
        SetFailureText("unexpected failure while reading the lay");
        return false;
    }
    return parsed;
}

bool QuorLayY::ReadRecords() {
    bool first = true;
    int32_t previousTag = 0;
    try {
        for (;;) {
            int32_t tag = 0;
            int32_t contentLength = 0;
            const int64_t previousOffset = recordOffset;
            recordOffset = Position();
            if (!ReadRecordHeader(tag, contentLength)) {
                const int64_t size = stream.SizeHint();
                if (diagnosticSink && !first && size >= 0 && recordOffset > size) {
                    // The lay ended inside the last record, whose bytes were passed over unread.
                    recordOffset = previousOffset;
                    Diagnose("WARNING - File ends inside a skipped record tagged as: '", previousTag);
                }
                return true;
            }
            previousTag = tag;
            if (first) {
                if (tag != 'Y') {
                    throw QuorUnhandledFormatFeatureException(kNotLayText);
                }
                first = false;
            }
            const int64_t contentStart = Position();
            recordEnd = contentStart + contentLength;
            DispatchRecord(tag, contentLength);
            if (AtEndOfFile()) {
                Diagnose("FATAL ERROR - EOF reached accidentally during reading record tagged as: '", tag);
                throw QuorUnhandledFormatFeatureException(kOverReadAtEndText);
            }
            const int64_t consumed = Position() - contentStart;
            const int64_t remaining = static_cast<int64_t>(contentLength) - consumed;
            if (remaining > 0) {
                Diagnose("WARNING - Possible loss of data in a record tagged as: '", tag);
                Skip(static_cast<int>(remaining));
            } else if (remaining < 0) {
                Diagnose("FATAL ERROR - While reading too short record tagged as: '", tag);
                throw QuorUnhandledFormatFeatureException(kOverReadText);
            }
        }
    } catch (const QuorUnhandledFormatFeatureException& error) {
        SetFailureText(error.GetMessage(), recordOffset);
        return false;
    } catch (const std::bad_alloc&) {
        // No room for what the lay keeps (names, entries, the diagnostics composed for the sink).
        SetFailureText("unexpected failure while reading the lay", recordOffset);
        return false;
    }
}

void QuorLayY::Diagnose(const char* text, int32_t tag) const {
    if (diagnosticSink) {
        std::string line = text;
        line += static_cast<char>(tag);
        line += '\'';
        diagnosticSink(recordOffset, line);
    }
}

void QuorLayY::DispatchRecord(int32_t tag, int32_t contentLength) {
    switch (tag) {
    case '<':
    case 'F':
        DropWords(3);
        break;
    case '>':
    case 'r':
        DropWords(2);
        break;
    case 'Y':
    case 'm':
        DropWords(1);
        break;
    case '=':
    case 'B':
    case 'b':
    case 's':
        break;
    case '@': {
        Skip(3);
        DropStrings(4);
        break;
    }
    case 'C':
    case 'c':
        ReadCRecord();
        break;
    case 'G': {
        DropWords(1);
        char byte = 0;
        ReadByte(byte);
        break;
    }
    case 'H':
        DropWords(14);
        DropStrings(2);
        break;
    case 'I': {
        int dropped = 0;
        ReadInt16(dropped);
        DropStrings(1);
        DropWords(1);
        break;
    }
    case 'K':
    case 'k':
        ReadKRecord();
        break;
    case 'L':
        ReadListRecord(contentLength, 5);
        break;
    case 'M':
        ReadMRecord();
        break;
    case 'O':
        ReadORecord();
        break;
    case 'P':
    case 'T':
        ReadPlacementRecord(tag);
        break;
    case 'S':
        DropWords(4 * static_cast<int64_t>(ReadI32()));
        break;
    case 'W':
        ReadWRecord();
        break;
    case 'X':
        DropWords(2);
        DropStrings(2);
        DropWords(3);
        DropStrings(2);
        break;
    case '^':
        DropWords(1);
        if (contentLength > 4) {
            DropWords(3);
        }
        break;
    case 'g':
        DropBytes(6 * static_cast<int64_t>(ReadI32())); // entries of two bytes and a word
        break;
    case 'i': {
        char byte = 0;
        ReadByte(byte);
        DropWords(1);
        break;
    }
    case 'l':
    case 'p':
        ReadListRecord(contentLength, 6);
        break;
    case 't':
        DropWords(1);
        if (contentLength > 4) {
            DropWords(1);
        }
        break;
    case '|':
        ReadBarRecord(contentLength);
        break;
    default:
        // Not supported: the whole content is passed over.
        Diagnose("WARNING - New not supported command found tagged as: '", tag);
        Skip(contentLength);
        break;
    }
}

template <typename ReadEntry>
bool QuorLayY::ReadEntries(int64_t count, int64_t entryBytes, ReadEntry readEntry) {
    for (int64_t left = count; left > 0;) {
        const int64_t room = recordEnd - Position();
        if (room < 0) {
            DropBytes(left * entryBytes);
            return false;
        }
        // An entry takes at least as many bytes of the file as it holds, but for one byte that may have
        // been read ahead: after this run the read position stands at the record's end or past it.
        const int64_t run = std::min(left, room / entryBytes + 1);
        for (int64_t i = 0; i < run; ++i) {
            readEntry();
        }
        left -= run;
    }
    return true;
}

bool QuorLayY::ReadNames(int32_t count, std::vector<std::string>& names) {
    std::string name;
    for (int32_t i = 0; Below(i, count); ++i) {
        if (PastRecordEnd()) {
            DropStrings(static_cast<int64_t>(count) - i);
            return false;
        }
        ReadString(name, kLongestName); // a longer name is never within the record
        names.push_back(name);
    }
    return true;
}

void QuorLayY::RequireFileBytes(int64_t bytes) {
    // Folding makes one byte of two at most, so each byte delivered takes at least one byte of the file,
    // except a byte already read ahead. The last one is looked for where it would be, then the read
    // position is put back.
    const int64_t fileBytes = bytes - 1;
    const char* data = nullptr;
    if (fileBytes <= 0 || static_cast<int64_t>(stream.Window(data)) >= fileBytes || !stream.Good()) {
        return;
    }
    stream.SeekRelative(fileBytes - 1);
    const bool held = stream.Window(data) > 0;
    stream.SeekRelative(-(fileBytes - 1));
    if (!held) {
        throw QuorUnhandledFormatFeatureException(kEndOfFileText);
    }
}

void QuorLayY::DropBytes(int64_t count) {
    if (count <= 0) {
        return;
    }
    RequireFileBytes(count);
    // Read in parts: folding delivers the same bytes and ends in the same place however they are split.
    char part[4096];
    while (count > 0) {
        const int size = static_cast<int>(std::min<int64_t>(count, sizeof part));
        ReadBytes(part, size);
        count -= size;
    }
}

void QuorLayY::DropWords(int64_t count) {
    DropBytes(4 * count);
}

void QuorLayY::DropStrings(int64_t count) {
    if (count <= 0) {
        return;
    }
    RequireFileBytes(count);
    for (int64_t i = 0; i < count; ++i) {
        SkipString();
    }
}

void QuorLayY::ReadWRecord() {
    layWidth = ReadF32();
    layLength = ReadF32();
    DropWords(4);
}

void QuorLayY::ReadORecord() {
    if (!ReadNames(ReadI32(), pieceNames)) {
        DropStrings(ReadI32());
        return;
    }
    ReadNames(ReadI32(), modelNames);
}

void QuorLayY::ReadCRecord() {
    // The count includes one entry more than the record holds, so a count of 1 or less gives none; the
    // lowest count must not wrap round to the highest.
    const int32_t count = ReadI32();
    ReadEntries(static_cast<int64_t>(count) - 1, 36, [this] {
        CEntry entry;
        for (uint32_t& word : entry.words) {
            word = ReadWord();
        }
        cEntries.push_back(entry);
    });
}

void QuorLayY::ReadKRecord() {
    ReadEntries(ReadI32(), 17, [this] {
        KEntry entry;
        for (uint32_t& word : entry.words) {
            word = ReadWord();
        }
        int value = 0;
        ReadInt8(value);
        entry.value = value;
        kEntries.push_back(entry);
    });
}

void QuorLayY::ReadMRecord() {
    const int32_t groups = ReadI32();
    for (int32_t i = 0; Below(i, groups); ++i) {
        if (PastRecordEnd()) {
            PassOverMGroups(static_cast<int64_t>(groups) - i);
            return;
        }
        MGroup group;
        ReadString(group.name, kLongestName);
        const bool whole = ReadEntries(ReadI32(), 4, [&] { group.values.push_back(ReadI32()); });
        mGroups.push_back(std::move(group));
        if (!whole) {
            PassOverMGroups(static_cast<int64_t>(groups) - i - 1);
            return;
        }
    }
    ReadEntries(ReadI32(), 4, [this] { mValues.push_back(ReadI32()); });
}

void QuorLayY::PassOverMGroups(int64_t groups) {
    // Each group takes at least its NUL and its count; the count of the record's own values follows.
    RequireFileBytes(5 * groups + 4);
    for (int64_t i = 0; i < groups; ++i) {
        SkipString();
        DropWords(ReadI32());
    }
    DropWords(ReadI32());
}

void QuorLayY::ReadPlacementRecord(int32_t tag) {
    const int32_t entries = ReadI32();
    if (entries > 0 && placements.capacity() == 0) {
        ReservePlacements();
    }
    const bool fromP = tag == 'P';
    ReadEntries(entries, kPlacementBytes, [this, fromP] { ReadPlacement(fromP); });
}

void QuorLayY::ReservePlacements() {
    // Each placement takes at least 44 bytes of the file: room for as many as a lay of up to 256 MiB can
    // hold, so that the list does not move while it grows. Larger lays, and lays whose size is not known,
    // grow the list as it goes, so that no more address space is taken than the placements need.
    constexpr int64_t kLargestReserved = int64_t{256} << 20;
    const int64_t fileSize = stream.SizeHint();
    if (fileSize > 0 && fileSize <= kLargestReserved) {
        try {
            placements.reserve(static_cast<size_t>(fileSize) / kPlacementBytes);
        } catch (const std::bad_alloc&) {
            // Then the list grows as it goes.
        }
    }
}

void QuorLayY::ReadPlacement(bool fromP) {
    // An entry that lies whole in the buffer, holds no CR LF pair, does not end in a CR and follows no
    // carried byte is decoded where it stands. Any other is first read through the folding, which delivers
    // the bytes that reading its fields one by one would deliver and fails as those reads would at the end
    // of the file.
    const char* entry = TakeDirect(kPlacementBytes);
    char folded[kPlacementBytes];
    if (entry == nullptr) {
        ReadBytesFolding(folded, static_cast<int>(kPlacementBytes));
        entry = folded;
    }
    Placement p = DecodePlacement(entry);
    p.isP = fromP;
    placements.push_back(p);
    pairCounter.Add(p.modelIndex, p.pieceIndex);
}

void QuorLayY::ReadBarRecord(int32_t contentLength) {
    // The optional second and third lists are present when the declared content reaches past the lists
    // before them, as computed from the counts in plain 32-bit arithmetic.
    const int32_t pairs = ReadI32();
    DropWords(2 * static_cast<int64_t>(pairs));
    const uint32_t firstEnd = 8u * Wrap(pairs) + 4u;
    if (contentLength <= static_cast<int32_t>(firstEnd)) {
        return;
    }
    const int32_t second = ReadI32();
    DropWords(second);
    const uint32_t secondEnd = firstEnd + 4u * Wrap(second) + 4u;
    if (contentLength <= static_cast<int32_t>(secondEnd)) {
        return;
    }
    DropWords(ReadI32());
}

void QuorLayY::ReadListRecord(int32_t contentLength, int wordsPerEntry) {
    // Entries are read whole while the running count stays below the declared content length.
    int64_t running = 0;
    while (running < contentLength) {
        DropWords(wordsPerEntry);
        running += 4 * wordsPerEntry + SkipString();
    }
}

} // namespace quorix
