#include "Findings.h"

#include "platform/PathMapping.h"
#include "platform/SystemError.h"

#include <cctype>
#include <cstdio>

namespace quorix::cli {

namespace {
// Lines of one kind of warning shown before the rest are counted in one line.
constexpr size_t kLinesPerKind = 10;

std::string OffsetText(int64_t offset) {
    char text[48];
    std::snprintf(text, sizeof text, "offset %lld (0x%llx)", static_cast<long long>(offset),
                  static_cast<unsigned long long>(offset));
    return text;
}

bool IsDeviceName(std::string base) {
    base = base.substr(0, base.find('.'));
    for (char& c : base) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
        base == "CONOUT$") {
        return true;
    }
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

// Why a style name reads a file outside the styles folder, or empty when it does not.
std::string StyleNameProblem(const std::string& styleName) {
    if (!styleName.empty() && (styleName[0] == '\\' || styleName[0] == '/')) {
        return "starts at the root of the disk, outside the styles folder";
    }
    if (styleName.size() >= 2 && styleName[1] == ':') {
        return "names a drive, outside the styles folder";
    }
    size_t start = 0;
    int depth = 0;
    for (;;) {
        const size_t end = styleName.find_first_of("\\/", start);
        const std::string part =
            styleName.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part == "..") {
            if (--depth < 0) {
                return "leaves the styles folder";
            }
        } else if (!part.empty() && part != ".") {
            ++depth;
        }
        if (end == std::string::npos) {
            return IsDeviceName(part) ? "names a device" : std::string();
        }
        start = end + 1;
    }
}

// A width that is zero or negative is written as it is; one that is not finite is a loss (LossesOf).
void WidthNote(const char* what, double width, std::vector<std::string>& notes) {
    if (width <= 0) {
        notes.push_back(std::string("the ") + what + " width is " + (width == 0 ? "zero" : "negative") +
                        ": the definition file's w: line gives no usable width");
    }
}

void MarkerNotes(const QuorMarker& marker, std::vector<std::string>& notes) {
    for (const StyleEntry& entry : marker.GetStyleEntries()) {
        const std::string problem = StyleNameProblem(entry.styleName);
        if (!problem.empty()) {
            notes.push_back("style name \"" + Escaped(entry.styleName) + "\" " + problem);
        }
    }
    WidthNote("marker", marker.GetMarkerWidth(), notes);
}

std::string StyleRefusal(const StyleReading& style) {
    if (style.stoppedAt == QuorFile::Step::Open && style.openError) {
        return "cannot be read: " + ErrorText(style.openError);
    }
    return "is refused: " + style.refusal;
}

std::string ReaderRefusal(const char* reader, const ReaderVerdict& verdict) {
    std::string text = std::string(reader) + " reader: refused: " + Escaped(verdict.message);
    if (verdict.offset >= 0) {
        text += " (record at " + OffsetText(verdict.offset) + ")";
    }
    return text;
}
} // namespace

Findings FindingsOf(const ImportReading& reading, int64_t inputSize) {
    Findings findings;
    for (const ReadDiagnostic& d : reading.diagnostics) {
        findings.diagnostics.push_back("lay reader: record at " + OffsetText(d.offset) + ": " +
                                       Escaped(d.line));
    }
    const Losses losses = LossesOf(reading, inputSize, kLinesPerKind);
    for (const std::string& line : losses.lines) {
        findings.warnings.push_back("warning: " + line);
    }
    findings.warningCount = losses.count;
    // A comma loses nothing in the definition file, but a host that reads its lines as fields may split
    // the order name there.
    if (reading.Loaded() && reading.orderName.find(',') != std::string::npos) {
        findings.notes.push_back("the file's name holds a comma: the definition file's o: and m: lines, "
                                 "which carry the order name, hold it too");
    }
    if (reading.kind == ImportKind::LayY) {
        findings.diagnostics.push_back(
            "lay reader: accepted (placements: " + std::to_string(reading.lay->GetPlacements().size()) + ")");
        WidthNote("lay", reading.lay->GetLayWidth(), findings.notes);
        return findings;
    }
    const bool markerParsed = reading.markerVerdict.tried &&
                              reading.markerVerdict.stoppedAt != QuorFile::Step::Open &&
                              reading.markerVerdict.stoppedAt != QuorFile::Step::Parse;
    if (markerParsed) {
        for (const StyleReading& style : reading.marker->GetStyleReadings()) {
            if (!style.Loaded()) {
                findings.diagnostics.push_back("marker reader: style file " +
                                               EscapedPath(paths::ToSystemPath(style.path)) + " " +
                                               StyleRefusal(style));
            }
        }
        MarkerNotes(*reading.marker, findings.notes);
    }
    if (reading.kind == ImportKind::Marker) {
        findings.diagnostics.push_back(
            "marker reader: accepted (style entries: " +
            std::to_string(reading.marker->GetStyleEntries().size()) +
            ", size models: " + std::to_string(reading.marker->GetSizeModels().size()) + ")");
        return findings;
    }
    findings.refusal = RefusalOf(reading);
    // A reader's reason is shown when it tells the user more than the verdict, else only with -v.
    const std::string lay = ReaderRefusal("lay", reading.layVerdict);
    (findings.refusal.layReasonHelps ? findings.refusals : findings.diagnostics).push_back(lay);
    if (reading.markerVerdict.tried) {
        const std::string marker = ReaderRefusal("marker", reading.markerVerdict);
        (findings.refusal.markerReasonHelps ? findings.refusals : findings.diagnostics).push_back(marker);
    }
    return findings;
}

} // namespace quorix::cli
