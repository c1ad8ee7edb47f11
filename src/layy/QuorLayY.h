#pragma once

#include "files/QuorBinaryFile.h"
#include "layy/LayRecords.h"
#include "layy/PairCounter.h"
#include "layy/Placement.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace quorix {

// The LAY-Y lay file: length-prefixed, letter-tagged big-endian records, the first of which is a 'Y'
// record. Parse walks the records, holds each to its declared length and fills the lay model.
//
// A record that reads past its declared end is refused, and what it keeps is bounded by that length: a
// handler looks at the read position before each name or group and after each run of fixed-size entries
// that the rest of the record could hold. Once past the end it keeps nothing more. The rest of what the
// record's counts call for is still passed over, as the reads would take it, because that decides how the
// record is refused: when the file ends first, with the end-of-file failure, else with the over-read one.
// Looking for the last byte they call for answers that at once when the file is shorter; otherwise the
// rest is read through, without being kept.
class QuorLayY : public QuorBinaryFile {
public:
    using PairKey = detail::PairCounter::Key; // (model index, piece index)
    // Receives the file offset of the record's length field and the diagnostic line.
    using DiagnosticSink = std::function<void(int64_t recordOffset, const std::string& line)>;

    static constexpr float kDefaultWidth = 1397000.0f;
    static constexpr float kDefaultLength = 50800000.0f;
    static constexpr const char* kNotLayText = "Not the proper file type / format [LAY]!";
    static constexpr const char* kOverReadAtEndText = "Lay Record Over-read Exceeding End of File";
    static constexpr const char* kOverReadText = "Lay Record Over-read";

    QuorLayY() = default;
    ~QuorLayY() override = default;

    bool Parse() override;

    // Receives the diagnostic lines that the record walk composes (unsupported records, left-over or
    // over-read content), each with the offset of its record; none are composed, and no offset is taken,
    // without a sink. A sink that throws std::bad_alloc makes the lay refused; other exceptions pass to
    // the caller of Load.
    void SetDiagnosticSink(DiagnosticSink sink) { diagnosticSink = std::move(sink); }

    float GetLayWidth() const { return layWidth; }
    float GetLayLength() const { return layLength; }
    const std::vector<CEntry>& GetCEntries() const { return cEntries; }
    const std::vector<KEntry>& GetKEntries() const { return kEntries; }
    const std::vector<Placement>& GetPlacements() const { return placements; }
    const std::vector<std::string>& GetPieceNames() const { return pieceNames; }
    const std::vector<std::string>& GetModelNames() const { return modelNames; }
    const std::vector<int32_t>& GetMValues() const { return mValues; }
    const std::map<PairKey, int32_t>& GetPlacementCounts() const { return placementCounts; }
    const std::vector<MGroup>& GetMGroups() const { return mGroups; }

private:
    // The record walk of Parse; the counts of the placements read are still in pairCounter.
    bool ReadRecords();
    bool ReadRecordHeader(int32_t& tag, int32_t& contentLength);
    void DispatchRecord(int32_t tag, int32_t contentLength);
    void Diagnose(const char* text, int32_t tag) const;

    void ReadWRecord();
    void ReadORecord();
    void ReadCRecord();
    void ReadKRecord();
    void ReadMRecord();
    void ReadPlacementRecord(int32_t tag);
    void ReservePlacements();
    // Reads one entry of a 'P' (fromP) or 'T' record and counts its pair.
    void ReadPlacement(bool fromP);
    void ReadBarRecord(int32_t contentLength);
    void ReadListRecord(int32_t contentLength, int wordsPerEntry);

    // Whether the read position stands past the end of the record being read.
    bool PastRecordEnd() const { return Position() > recordEnd; }
    // Reads `count` entries (0 or less: none) of `entryBytes` bytes each with `readEntry`, in runs of as
    // many as the rest of the record could hold. Once the read position is past the record's
    // end, the entries left are passed over unkept and false is returned.
    template <typename ReadEntry> bool ReadEntries(int64_t count, int64_t entryBytes, ReadEntry readEntry);
    // Reads `count` names into `names` while the read position is within the record; past its end, the
    // names left are passed over and false is returned.
    bool ReadNames(int32_t count, std::vector<std::string>& names);
    // Passes over the last `groups` groups of an 'M' record and the record's own values.
    void PassOverMGroups(int64_t groups);
    // Pass over `count` 4-byte words, bytes or strings (0 or less: none) as reading them would, keeping
    // nothing.
    void DropWords(int64_t count);
    void DropBytes(int64_t count);
    void DropStrings(int64_t count);
    // Throws the reads' end-of-file failure when the file cannot deliver `bytes` more bytes after folding.
    void RequireFileBytes(int64_t bytes);

    float layWidth = kDefaultWidth;
    float layLength = kDefaultLength;
    std::vector<CEntry> cEntries;
    std::vector<KEntry> kEntries;
    std::vector<Placement> placements;
    std::vector<std::string> pieceNames;
    std::vector<std::string> modelNames;
    std::vector<int32_t> mValues;
    std::map<PairKey, int32_t> placementCounts;
    // The placements of each pair counted while the records are read; Parse moves the counts into
    // placementCounts when the walk ends, however it ends.
    detail::PairCounter pairCounter;
    std::vector<MGroup> mGroups;
    int64_t recordEnd = 0; // the file offset where the content of the record being read ends
    DiagnosticSink diagnosticSink;
    int64_t recordOffset = 0; // of the length field of the record being read
};

} // namespace quorix
