#pragma once

#include "files/QuorBinaryFile.h"
#include "layy/LayRecords.h"
#include "layy/Placement.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

// The LAY-Y lay file: length-prefixed, letter-tagged big-endian records, the first of which is a 'Y'
// record. Parse walks the records, holds each to its declared length and fills the lay model.
class QuorLayY : public QuorBinaryFile {
public:
    using PairKey = std::pair<int32_t, int32_t>; // (model index, piece index)
    using DiagnosticSink = std::function<void(const std::string&)>;

    static constexpr float kDefaultWidth = 1397000.0f;
    static constexpr float kDefaultLength = 50800000.0f;
    static constexpr const char* kDescription = "quorix lay Y file import";
    static constexpr const char* kNotLayText = "Not the proper file type / format [LAY]!";
    static constexpr const char* kOverReadAtEndText = "Lay Record Over-read Exceeding End of File";
    static constexpr const char* kOverReadText = "Lay Record Over-read";
    static constexpr const char* kNoMatchText =
        "There is no position matching an item of CSV definition found.";

    QuorLayY() = default;
    ~QuorLayY() override = default;

    bool Parse() override;

    // Writers of the host's import files (definition file, then position file). WritePositionFile throws
    // QuorUnhandledFormatFeatureException when the placements disagree with their counts.
    bool WriteDefinitionFile(const std::string& path) const;
    bool WritePositionFile(const std::string& path) const;

    // The angle written for a placement: turned by 180 degrees when flag1 is set, in single precision.
    static float WrittenAngle(const Placement& placement);

    // Receives the diagnostic lines that the record walk composes (unsupported records, left-over or
    // over-read content); none are composed without a sink.
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
    bool ReadRecordHeader(int32_t& tag, int32_t& contentLength);
    void DispatchRecord(int32_t tag, int32_t contentLength);
    void Diagnose(const char* text, int32_t tag) const;

    void ReadWRecord();
    void ReadORecord();
    void ReadCRecord();
    void ReadKRecord();
    void ReadMRecord();
    void ReadPlacementRecord(int32_t tag);
    void ReadPlacement(bool fromP);
    void ReadSRecord();
    void ReadGSmallRecord();
    void ReadBarRecord(int32_t contentLength);
    void ReadListRecord(int32_t contentLength, int wordsPerEntry);
    void DropWords(int count);
    void DropStrings(int count);

    float layWidth = kDefaultWidth;
    float layLength = kDefaultLength;
    std::vector<CEntry> cEntries;
    std::vector<KEntry> kEntries;
    std::vector<Placement> placements;
    std::vector<std::string> pieceNames;
    std::vector<std::string> modelNames;
    std::vector<int32_t> mValues;
    std::map<PairKey, int32_t> placementCounts;
    std::vector<MGroup> mGroups;
    DiagnosticSink diagnosticSink;
};
