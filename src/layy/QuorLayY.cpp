#include "layy/QuorLayY.h"

#include "files/QuorUnhandledFormatFeatureException.h"

#include <cstring>
#include <new>

namespace {
// Loop bound for a count of the file: as a 32-bit signed number, so 0 or less gives no entries.
bool Below(int32_t index, int32_t count) {
    return index < count;
}

uint32_t Wrap(int32_t value) {
    return static_cast<uint32_t>(value);
}

constexpr size_t kPlacementBytes = 44;

float FloatOf(uint32_t bits) {
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
} // namespace

bool QuorLayY::ReadRecordHeader(int32_t& tag, int32_t& contentLength) {
    int length = 0;
    try {
        ReadInt16(length);
    } catch (...) {
        // The lay ends at a record boundary (or within the length field).
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
    } catch (...) {
        SetFailureText("unexpected failure while reading the lay");
        return false;
    }
    return parsed;
}

bool QuorLayY::ReadRecords() {
    bool first = true;
    try {
        for (;;) {
            int32_t tag = 0;
            int32_t contentLength = 0;
            if (diagnosticSink) {
                recordOffset = Position();
            }
            if (!ReadRecordHeader(tag, contentLength)) {
                return true;
            }
            if (first) {
                if (tag != 'Y') {
                    throw QuorUnhandledFormatFeatureException(kNotLayText);
                }
                first = false;
            }
            const int64_t contentStart = Position();
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
        SetFailureText(error.GetMessage());
        return false;
    } catch (...) {
        SetFailureText("unexpected failure while reading the lay");
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
        ReadSRecord();
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
        ReadGSmallRecord();
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

void QuorLayY::DropWords(int count) {
    for (int i = 0; Below(i, count); ++i) {
        ReadWord();
    }
}

void QuorLayY::DropStrings(int count) {
    std::string dropped;
    for (int i = 0; i < count; ++i) {
        ReadString(dropped);
    }
}

void QuorLayY::ReadWRecord() {
    layWidth = ReadF32();
    layLength = ReadF32();
    DropWords(4);
}

void QuorLayY::ReadORecord() {
    const int32_t pieceCount = ReadI32();
    std::string name;
    for (int32_t i = 0; Below(i, pieceCount); ++i) {
        ReadString(name);
        pieceNames.push_back(name);
    }
    const int32_t modelCount = ReadI32();
    for (int32_t i = 0; Below(i, modelCount); ++i) {
        ReadString(name);
        modelNames.push_back(name);
    }
}

void QuorLayY::ReadCRecord() {
    // The count includes one entry more than the record holds, so a count of 1 or less gives none; the
    // lowest count must not wrap round to the highest.
    const int32_t count = ReadI32();
    for (int32_t i = 1; Below(i, count); ++i) {
        CEntry entry;
        for (uint32_t& word : entry.words) {
            word = ReadWord();
        }
        cEntries.push_back(entry);
    }
}

void QuorLayY::ReadKRecord() {
    const int32_t entries = ReadI32();
    for (int32_t i = 0; Below(i, entries); ++i) {
        KEntry entry;
        for (uint32_t& word : entry.words) {
            word = ReadWord();
        }
        int value = 0;
        ReadInt8(value);
        entry.value = value;
        kEntries.push_back(entry);
    }
}

void QuorLayY::ReadMRecord() {
    const int32_t groups = ReadI32();
    for (int32_t i = 0; Below(i, groups); ++i) {
        MGroup group;
        ReadString(group.name);
        const int32_t values = ReadI32();
        for (int32_t j = 0; Below(j, values); ++j) {
            group.values.push_back(ReadI32());
        }
        mGroups.push_back(std::move(group));
    }
    const int32_t values = ReadI32();
    for (int32_t j = 0; Below(j, values); ++j) {
        mValues.push_back(ReadI32());
    }
}

void QuorLayY::ReadPlacementRecord(int32_t tag) {
    const int32_t entries = ReadI32();
    if (entries > 0 && placements.capacity() == 0) {
        ReservePlacements();
    }
    for (int32_t i = 0; Below(i, entries); ++i) {
        ReadPlacement(tag == 'P');
    }
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
    Placement p;
    if (const char* entry = TakeDirect(kPlacementBytes)) {
        // The whole entry holds no CR and no byte is carried: its fields are the bytes as they stand.
        p.modelIndex = static_cast<int32_t>(BigEndian32(entry));
        p.pieceIndex = static_cast<int32_t>(BigEndian32(entry + 4));
        p.flag1 = entry[8] != 0;
        p.ordinalA = static_cast<signed char>(entry[9]) - 1;
        p.flag2 = entry[11] != 0;
        p.angle = FloatOf(BigEndian32(entry + 12));
        p.x = FloatOf(BigEndian32(entry + 16));
        p.y = FloatOf(BigEndian32(entry + 20));
        p.ordinalB = static_cast<int16_t>(BigEndian16(entry + 24)) - 1;
        p.valueC = static_cast<int32_t>(BigEndian32(entry + 32));
        p.ordinalC = static_cast<int16_t>(BigEndian16(entry + 38)) - 1;
    } else {
        char dropByte = 0;
        int dropShort = 0;
        int small = 0;
        p.modelIndex = ReadI32();
        p.pieceIndex = ReadI32();
        ReadBool(p.flag1);
        ReadInt8(small);
        p.ordinalA = small - 1;
        ReadByte(dropByte);
        ReadBool(p.flag2);
        p.angle = ReadF32();
        p.x = ReadF32();
        p.y = ReadF32();
        ReadInt16(small);
        p.ordinalB = small - 1;
        ReadInt16(dropShort);
        ReadWord();
        p.valueC = ReadI32();
        ReadByte(dropByte);
        ReadByte(dropByte);
        ReadInt16(small);
        p.ordinalC = small - 1;
        ReadByte(dropByte);
        ReadByte(dropByte);
        ReadInt16(dropShort);
    }
    p.isP = fromP;
    p.matched = false;
    placements.push_back(p);
    pairCounter.Add(p.modelIndex, p.pieceIndex);
}

void QuorLayY::ReadSRecord() {
    const int32_t entries = ReadI32();
    for (int32_t i = 0; Below(i, entries); ++i) {
        DropWords(4);
    }
}

void QuorLayY::ReadGSmallRecord() {
    const int32_t entries = ReadI32();
    char byte = 0;
    for (int32_t i = 0; Below(i, entries); ++i) {
        ReadByte(byte);
        ReadByte(byte);
        ReadWord();
    }
}

void QuorLayY::ReadBarRecord(int32_t contentLength) {
    // The optional second and third lists are present when the declared content reaches past the lists
    // before them, as computed from the counts in plain 32-bit arithmetic.
    const int32_t pairs = ReadI32();
    for (int32_t i = 0; Below(i, pairs); ++i) {
        DropWords(2);
    }
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
    std::string dropped;
    while (running < contentLength) {
        DropWords(wordsPerEntry);
        running += 4 * wordsPerEntry + ReadString(dropped);
    }
}
