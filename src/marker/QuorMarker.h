#pragma once

#include "files/QuorTextFile.h"
#include "marker/MarkerModel.h"
#include "marker/PieceTally.h"
#include "marker/QuorStyle.h"
#include "platform/ApplicationBase.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quorix {

// How Resolve read the style file of one style entry.
struct StyleReading {
    std::string path;                                // in the module's form
    QuorFile::Step stoppedAt = QuorFile::Step::Open; // Accepted when the style loaded
    std::string refusal;                             // why the style reader refused the file
    std::error_code openError;                       // the system's reason when it could not be opened
    std::unique_ptr<QuorStyle> style;                // the style itself, when the marker was asked to keep it

    bool Loaded() const { return stoppedAt == QuorFile::Step::Accepted; }
};

// A marker definition file: header values, options and 40 style slots, each naming a style file and the
// sizes of that style in the marker. Versions 10, 12, 18 and 19. Resolve reads the named style files;
// their pieces summed per size number are the size models.
class QuorMarker : public QuorTextFile, public detail::ApplicationBase {
public:
    static constexpr int kStyleSlots = 40;

    QuorMarker() = default;
    ~QuorMarker() override = default;

    bool Parse() override;
    bool Resolve() override;
    bool IsSupportedVersion() const override;
    const char* SupportedVersions() const override { return "10, 12, 18 and 19"; }

    // Makes Resolve keep each style it reads (for showing them), not only how the reading went.
    void KeepStyleFiles(bool keep) { keepStyleFiles = keep; }
    // One per style entry, in entry order, once Resolve ran.
    const std::vector<StyleReading>& GetStyleReadings() const { return styleReadings; }

    int32_t GetHeaderInt1() const { return headerInt1; }
    float GetHeaderReal1() const { return headerReal1; }
    float GetHeaderReal2() const { return headerReal2; }
    int32_t GetHeaderInt2() const { return headerInt2; }
    int32_t GetHeaderInt3() const { return headerInt3; }
    int32_t GetHeaderInt4() const { return headerInt4; }
    int32_t GetHeaderInt5() const { return headerInt5; }
    int32_t GetMarkerLength() const { return markerLength; }
    int32_t GetMarkerWidth() const { return markerWidth; }
    bool GetHeaderFlag1() const { return headerFlag1; }
    float GetPercentValue() const { return percentValue; }
    bool GetOptionFlag1() const { return optionFlag1; }
    bool GetOptionFlag2() const { return optionFlag2; }
    const std::string& GetMarkerText1() const { return markerText1; }
    const std::string& GetMarkerText2() const { return markerText2; }
    const std::vector<StyleEntry>& GetStyleEntries() const { return styleEntries; }
    const SizeModels& GetSizeModels() const { return sizeModels; }

private:
    void ReportUnsupportedVersion() const;
    void ReadOptions();
    void ReadStyleSlot();

    int32_t headerInt1 = 0;
    float headerReal1 = 1.0f;
    float headerReal2 = 1.0f;
    int32_t headerInt2 = 0;
    int32_t headerInt3 = 0;
    int32_t headerInt4 = 0;
    int32_t headerInt5 = 0;
    int32_t markerLength = 50800000; // micrometres (2000 inches)
    int32_t markerWidth = 1397000;   // micrometres (55 inches)
    bool headerFlag1 = false;
    float percentValue = 0.8f;
    bool optionFlag1 = false;
    bool optionFlag2 = false;
    std::string markerText1;
    std::string markerText2;
    std::vector<StyleEntry> styleEntries;
    SizeModels sizeModels;
    std::vector<StyleReading> styleReadings;
    bool keepStyleFiles = false;
};

} // namespace quorix
