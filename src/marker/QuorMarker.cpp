#include "marker/QuorMarker.h"

#include "marker/QuorStyle.h"
#include "log/Log.h"
#include "platform/HostLog.h"
#include "platform/ModuleStateGuard.h"
#include "platform/Parallel.h"
#include "platform/PathRules.h"
#include "platform/StringTable.h"

#include <map>
#include <memory>
#include <optional>

namespace quorix {

bool QuorMarker::IsSupportedVersion() const {
    return QuorTextFile::IsSupportedVersion() &&
           (formatVersion == 10 || formatVersion == 12 || formatVersion == 18 || formatVersion == 19);
}

void QuorMarker::ReportUnsupportedVersion() const {
    const detail::ModuleStateGuard ownResources;
    const std::string text = detail::LoadMessage(detail::kUnsupportedMarkerVersion,
                                                 {GetBaseName(), std::to_string(formatVersion)});
    detail::ReportToHost(text, nullptr);
}

bool QuorMarker::Parse() {
    if (!ReadVersionLine() && formatVersion >= 1 && formatVersion <= 23) {
        ReportUnsupportedVersion();
        return RefuseVersion();
    }
    // Other versions outside the supported ones read on: 24 and above with the newest layout, 0 and below
    // (and a missing version line) with the oldest; the separator decides. Header lines that are missing or
    // not numbers read as 0 and are not refused, as in every text reader: the separator line is the check.
    ReadInt(headerInt1);
    ReadFloat(headerReal1);
    ReadFloat(headerReal2);
    ReadInt(headerInt2);
    ReadInt(headerInt3);
    ReadInt(headerInt4);
    ReadInt(headerInt5);
    ReadInt(markerLength);
    ReadInt(markerWidth);
    ReadBool(headerFlag1);
    std::string separator;
    ReadString(separator);
    if (separator != "%") {
        SetFailureText("the separator line after the header is not \"%\"");
        return false;
    }
    ReadOptions();
    for (int slot = 0; slot < kStyleSlots; ++slot) {
        ReadStyleSlot();
    }
    return true;
}

void QuorMarker::ReadOptions() {
    float percent = 0.0f;
    ReadFloat(percent);
    percentValue = percent / 100.0f;
    ReadBool(optionFlag1);
    ReadBool(optionFlag2);
    float dropFloat = 0.0f;
    int dropInt = 0;
    std::string dropText;
    if (formatVersion >= 18) {
        ReadFloat(dropFloat);
    }
    ReadString(markerText1);
    if (formatVersion >= 12) {
        ReadString(markerText2);
    }
    ReadString(dropText);
    if (formatVersion >= 12) {
        ReadInt(dropInt);
    }
    if (formatVersion >= 18) {
        for (int i = 0; i < 4; ++i) {
            ReadInt(dropInt);
        }
    }
}

void QuorMarker::ReadStyleSlot() {
    StyleEntry entry;
    ReadString(entry.styleName);
    int declared = 0;
    ReadInt(declared);
    const uint32_t sizes = declared > 0 ? static_cast<uint32_t>(declared) : 0u;

    // Three passes over the sizes: keys, then values, then counts. Once the file is exhausted every
    // further read gives the same empty value, so the sizes still to come are one item with copies.
    for (uint32_t read = 0; read < sizes; ++read) {
        if (IsExhausted()) {
            SizeItem rest;
            rest.copies = sizes - read;
            entry.sizeItems.push_back(rest);
            break;
        }
        SizeItem item;
        ReadInt(item.sizeKey);
        entry.sizeItems.push_back(item);
    }
    for (SizeItem& item : entry.sizeItems) {
        ReadFloat(item.sizeValue);
    }
    for (SizeItem& item : entry.sizeItems) {
        ReadInt(item.sizeCount);
    }
    if (formatVersion >= 18 && sizes >= 1) {
        int dropInt = 0;
        ReadInt(dropInt);
        ReadInt(dropInt);
    }
    if (!entry.styleName.empty()) {
        styleEntries.push_back(std::move(entry));
    }
}

bool QuorMarker::Resolve() {
    const std::string folder = StylesFolder(fileName);
    styleReadings.clear();
    styleReadings.resize(styleEntries.size());
    sizeModels = SizeModels();
    // Slots often name one style: its file is read for the first entry that names it, and the entries
    // after that one take that reading, unless each reading keeps a style of its own.
    std::vector<size_t> readingOf(styleEntries.size()); // the entry whose reading an entry takes
    std::vector<size_t> reads;                           // the entries whose style files are read
    std::map<std::string, size_t> firstReading;
    for (size_t entry = 0; entry < styleEntries.size(); ++entry) {
        styleReadings[entry].path = paths::Join(folder, styleEntries[entry].styleName);
        const auto [first, added] = firstReading.emplace(styleEntries[entry].styleName, entry);
        readingOf[entry] = added || keepStyleFiles ? entry : first->second;
        if (readingOf[entry] == entry) {
            reads.push_back(entry);
        }
    }
    // Many style files are read by parts at the same time, each part every so many of them in turn (a
    // thread costs more than reading a few short files).
    constexpr size_t kLeastPartStyles = 16;
    std::vector<std::unique_ptr<QuorStyle>> styles(styleEntries.size());
    const size_t parts = parallel::PartsFor(reads.size(), kLeastPartStyles);
    const bool logUntouched = Log::Untouched::Held();
    parallel::ForEachPart(parts, [&](size_t part) {
        std::optional<Log::Untouched> untouched;
        if (logUntouched) {
            untouched.emplace();
        }
        for (size_t read = part; read < reads.size(); read += parts) {
            auto style = std::make_unique<QuorStyle>();
            style->Load(styleReadings[reads[read]].path);
            styles[reads[read]] = std::move(style);
        }
    });
    bool result = true;
    std::vector<uint32_t> styleOfEntry;
    for (size_t entry = 0; entry < styleEntries.size(); ++entry) {
        StyleReading& reading = styleReadings[entry];
        if (readingOf[entry] != entry) {
            const StyleReading& first = styleReadings[readingOf[entry]];
            reading.stoppedAt = first.stoppedAt;
            reading.refusal = first.refusal;
            reading.openError = first.openError;
            styleOfEntry.push_back(styleOfEntry[readingOf[entry]]);
        } else {
            std::unique_ptr<QuorStyle>& style = styles[entry];
            reading.stoppedAt = style->GetStoppedAt();
            reading.refusal = style->GetFailureText();
            reading.openError = style->GetOpenError();
            // A style that fails to load has no pieces.
            styleOfEntry.push_back(sizeModels.AddStyle(style->GetPieces()));
            if (keepStyleFiles) {
                reading.style = std::move(style);
            }
            style.reset();
        }
        // Only the last style's reading decides the outcome.
        result = reading.Loaded();
    }
    sizeModels.SetSizes(styleEntries, std::move(styleOfEntry));
    if (!result) {
        SetFailureText("the style file of the last style entry was refused");
    }
    return result;
}

} // namespace quorix
