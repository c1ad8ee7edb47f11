#include "layy/QuorLayY.h"

#include "files/QuorUnhandledFormatFeatureException.h"
#include "layy/LayRecord.h"
#include "platform/Parallel.h"

#include <algorithm>
#include <iterator>
#include <new>
#include <string_view>

namespace quorix {

namespace {
using detail::BigEndian32;

// What the records of a lay fill: the lay's model, without the file that it is read from, so that a
// handler reads only through its record.
struct LayModel {
    float& layWidth;
    float& layLength;
    std::vector<CEntry>& cEntries;
    std::vector<KEntry>& kEntries;
    PlacementList& placements;
    std::vector<std::string>& pieceNames;
    std::vector<std::string>& modelNames;
    std::vector<int32_t>& mValues;
    std::vector<MGroup>& mGroups;
};

void ReadWRecord(LayRecord& record, LayModel& lay) {
    // One field at a time: the width is kept when the file ends in the length.
    record.ReadFields<4>([&lay](const char* field) { lay.layWidth = detail::BigEndianFloat(field); });
    record.ReadFields<4>([&lay](const char* field) { lay.layLength = detail::BigEndianFloat(field); });
    record.DropBytes(16);
}

void ReadORecord(LayRecord& record, LayModel& lay) {
    record.ReadNames(record.ReadCount(), lay.pieceNames);
    record.ReadNames(record.ReadCount(), lay.modelNames);
}

void ReadCRecord(LayRecord& record, LayModel& lay) {
    // The count includes one entry more than the record holds, so a count of 1 or less gives none.
    record.ReadEntries<36>(record.ReadCount().Less(1), [&lay](const char* bytes) {
        CEntry entry;
        for (size_t i = 0; i < entry.words.size(); ++i) {
            entry.words[i] = BigEndian32(bytes + 4 * i);
        }
        lay.cEntries.push_back(entry);
    });
}

void ReadKRecord(LayRecord& record, LayModel& lay) {
    record.ReadEntries<17>(record.ReadCount(), [&lay](const char* bytes) {
        KEntry entry;
        for (size_t i = 0; i < entry.words.size(); ++i) {
            entry.words[i] = BigEndian32(bytes + 4 * i);
        }
        entry.value = static_cast<signed char>(bytes[16]);
        lay.kEntries.push_back(entry);
    });
}

void ReadMRecord(LayRecord& record, LayModel& lay) {
    record.ReadNamedLists(record.ReadCount(), lay.mGroups);
    record.ReadEntries<4>(record.ReadCount(), [&lay](const char* value) {
        lay.mValues.push_back(static_cast<int32_t>(BigEndian32(value)));
    });
}

void ReadPlacementRecord(LayRecord& record, LayModel& lay) {
    const bool fromP = record.Tag() == 'P';
    record.ReadEntries<kPlacementBytes>(record.ReadCount(),
                                        [&lay, fromP](const char* entry) { lay.placements.Append(entry, fromP); });
}

void ReadBarRecord(LayRecord& record, LayModel&) {
    // The optional second and third lists are present when the declared content reaches past the lists
    // before them.
    const RecordCount pairs = record.ReadCount();
    record.DropEntries(pairs, 8);
    if (!record.ReachesPast({{pairs, 8}})) {
        return;
    }
    const RecordCount second = record.ReadCount();
    record.DropEntries(second, 4);
    if (record.ReachesPast({{pairs, 8}, {second, 4}})) {
        record.DropEntries(record.ReadCount(), 4);
    }
}

// The entries of an 'L', 'l' or 'p' record, each `words` 4-byte fields and a string, are read whole while
// the running count stays below the declared content length.
void DropListEntries(LayRecord& record, int64_t words) {
    for (int64_t running = 0; record.LongerThan(running); running += 4 * words + record.DropString()) {
        record.DropBytes(4 * words);
    }
}

// Passes over the fields of `layout`: 'w' a 4-byte field, 'b' a byte, 's' a string, '~' a byte passed over
// unread.
void DropFields(LayRecord& record, const char* layout) {
    for (; *layout != '\0'; ++layout) {
        if (*layout == 's') {
            record.DropStrings(1);
        } else if (*layout == '~') {
            record.Skip(1);
        } else {
            record.DropBytes(*layout == 'w' ? 4 : 1);
        }
    }
}

using Handler = void (*)(LayRecord&, LayModel&);

// The records the lay knows, by tag: each is read by its handler, or has the fields of its layout passed
// over (read field by field, so that the framing can hold the record to its declared length). A tag of
// none of them is not supported.
struct RecordKind {
    const char* tags;
    Handler read;
    const char* dropped;
};
constexpr RecordKind kRecords[] = {
    {"<F", nullptr, "www"},
    {">r", nullptr, "ww"},
    {"Ym", nullptr, "w"},
    {"=Bbs", nullptr, ""},
    {"@", nullptr, "~~~ssss"},
    {"Cc", ReadCRecord, nullptr},
    {"G", nullptr, "wb"},
    {"H", nullptr, "wwwwwwwwwwwwwwss"},
    {"I", nullptr, "bbsw"},
    {"Kk", ReadKRecord, nullptr},
    {"L", [](LayRecord& r, LayModel&) { DropListEntries(r, 5); }, nullptr},
    {"M", ReadMRecord, nullptr},
    {"O", ReadORecord, nullptr},
    {"PT", ReadPlacementRecord, nullptr},
    {"S", [](LayRecord& r, LayModel&) { r.DropEntries(r.ReadCount(), 16); }, nullptr},
    {"W", ReadWRecord, nullptr},
    {"X", nullptr, "wwsswwwss"},
    {"^", [](LayRecord& r, LayModel&) { DropFields(r, r.LongerThan(4) ? "wwww" : "w"); }, nullptr},
    // Entries of two bytes and a word.
    {"g", [](LayRecord& r, LayModel&) { r.DropEntries(r.ReadCount(), 6); }, nullptr},
    {"i", nullptr, "bw"},
    {"lp", [](LayRecord& r, LayModel&) { DropListEntries(r, 6); }, nullptr},
    {"t", [](LayRecord& r, LayModel&) { DropFields(r, r.LongerThan(4) ? "ww" : "w"); }, nullptr},
    {"|", ReadBarRecord, nullptr},
};
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
    const size_t first = placements.size();
    const bool parsed = ReadRecords();
    try {
        // However the walk ended, the placements read are counted.
        CountPlacements(first);
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
    LayModel model{layWidth, layLength, cEntries, kEntries, placements, pieceNames, modelNames, mValues, mGroups};
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
            LayRecord record(*this, static_cast<char>(tag), contentLength);
            const auto kind = std::find_if(std::begin(kRecords), std::end(kRecords), [tag](const auto& row) {
                return tag != 0 &&
                       std::string_view(row.tags).find(static_cast<char>(tag)) != std::string_view::npos;
            });
            if (kind == std::end(kRecords)) {
                Diagnose("WARNING - New not supported command found tagged as: '", tag);
                Skip(contentLength); // the whole content
            } else if (kind->read != nullptr) {
                kind->read(record, model);
            } else {
                DropFields(record, kind->dropped);
            }
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

void QuorLayY::CountPlacements(size_t first) {
    // In parts at the same time, each with a counter of its own, whose counts are then added into the map.
    constexpr size_t kLeastPartPlacements = 65536;
    const size_t count = placements.size() - first;
    const size_t parts = parallel::PartsFor(count, kLeastPartPlacements);
    std::vector<detail::PairCounter> counters(parts);
    parallel::ForEachPart(parts, [&](size_t part) {
        detail::PairCounter& counter = counters[part];
        placements.ForEach(first + count * part / parts, first + count * (part + 1) / parts,
                           [&counter](size_t, const PlacementList::Entry& entry) {
                               counter.Add(entry.modelIndex, entry.pieceIndex);
                           });
    });
    for (detail::PairCounter& counter : counters) {
        counter.MoveInto(placementCounts);
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

} // namespace quorix
