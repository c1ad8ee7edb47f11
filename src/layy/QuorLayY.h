#pragma once

#include "files/QuorBinaryFile.h"
#include "layy/LayRecords.h"
#include "layy/PairCounter.h"
#include "layy/Placement.h"
#include "layy/PlacementList.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace quorix {

// The LAY-Y lay file: length-prefixed, letter-tagged big-endian records, the first of which is a 'Y'
// record. Parse walks the records, holds each to its declared length and fills the lay model: the handler
// of each record's tag reads it through a LayRecord, which keeps what the record holds to its length.
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
    const PlacementList& GetPlacements() const { return placements; }
    const std::vector<std::string>& GetPieceNames() const { return pieceNames; }
    const std::vector<std::string>& GetModelNames() const { return modelNames; }
    const std::vector<int32_t>& GetMValues() const { return mValues; }
    const std::map<PairKey, int32_t>& GetPlacementCounts() const { return placementCounts; }
    const std::vector<MGroup>& GetMGroups() const { return mGroups; }

private:
    friend class LayRecord; // reads the file within the bounds of one record

    // The record walk of Parse.
    bool ReadRecords();
    // Adds the placements from `first` on to placementCounts.
    void CountPlacements(size_t first);
    bool ReadRecordHeader(int32_t& tag, int32_t& contentLength);
    void Diagnose(const char* text, int32_t tag) const;

    float layWidth = kDefaultWidth;
    float layLength = kDefaultLength;
    std::vector<CEntry> cEntries;
    std::vector<KEntry> kEntries;
    PlacementList placements;
    std::vector<std::string> pieceNames;
    std::vector<std::string> modelNames;
    std::vector<int32_t> mValues;
    std::map<PairKey, int32_t> placementCounts;
    std::vector<MGroup> mGroups;
    DiagnosticSink diagnosticSink;
    int64_t recordOffset = 0; // of the length field of the record being read
};

} // namespace quorix
