#include "Findings.h"

#include "ByteText.h"
#include "platform/PathMapping.h"
#include "platform/RawFile.h"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace quorix::cli {

namespace {
// Lines of one kind of warning shown before the rest are counted in one line.
constexpr size_t kLinesPerKind = 10;
// Names in warnings are cut to this many bytes.
constexpr size_t kNameShown = 60;

std::string OffsetText(int64_t offset) {
    char text[48];
    std::snprintf(text, sizeof text, "offset %lld (0x%llx)", static_cast<long long>(offset),
                  static_cast<unsigned long long>(offset));
    return text;
}

std::string Quoted(const std::string& name) {
    return "\"" + Escaped(name.size() > kNameShown ? name.substr(0, kNameShown) + "..." : name) + "\"";
}

// Collects the lines of one kind of warning, at most kLinesPerKind of them and a count of the rest.
class Capped {
public:
    Capped(std::vector<std::string>& to, const char* restText) : to(to), restText(restText) {}
    ~Capped() {
        if (rest > 0) {
            to.push_back("... and " + std::to_string(rest) + " more " + restText);
        }
    }
    Capped(const Capped&) = delete;
    Capped& operator=(const Capped&) = delete;
    void Add(std::string line) {
        if (shown < kLinesPerKind) {
            to.push_back(std::move(line));
            ++shown;
        } else {
            ++rest;
        }
    }

private:
    std::vector<std::string>& to;
    const char* restText;
    size_t shown = 0;
    size_t rest = 0;
};

void NameWarnings(const std::vector<std::string>& names, const char* what, bool positionFile,
                  std::vector<std::string>& warnings) {
    Capped lines(warnings, "names that split lines or fields");
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        const std::string which = std::string(what) + " name " + std::to_string(i + 1) + " " + Quoted(name);
        if (name.find('\n') != std::string::npos) {
            lines.Add(which + " holds a line feed: it splits the lines of the import files that carry it");
        } else if (positionFile && name.find(',') != std::string::npos) {
            lines.Add(which + " holds a comma: it splits the fields of its position lines");
        }
    }
}

std::string WidthWarning(const char* what, double width) {
    if (!std::isfinite(width)) {
        return std::string("the ") + what +
               " width is not a finite number: the definition file's w: line "
               "is not a width";
    }
    if (width <= 0) {
        return std::string("the ") + what + " width is " + (width == 0 ? "zero" : "negative") +
               ": the definition file's w: line gives no usable width";
    }
    return {};
}

void LayWarnings(const QuorLayY& lay, std::vector<std::string>& warnings) {
    const size_t models = lay.GetModelNames().size();
    const size_t pieces = lay.GetPieceNames().size();
    {
        Capped lines(warnings, "placements left out of the position file");
        const std::vector<Placement>& placements = lay.GetPlacements();
        for (size_t i = 0; i < placements.size(); ++i) {
            const Placement& p = placements[i];
            const bool modelOutside = p.modelIndex < 0 || static_cast<size_t>(p.modelIndex) >= models;
            const bool pieceOutside = p.pieceIndex < 0 || static_cast<size_t>(p.pieceIndex) >= pieces;
            if (modelOutside || pieceOutside) {
                lines.Add("placement " + std::to_string(i + 1) + " is left out of the position file: its " +
                          (modelOutside
                               ? "model index " + std::to_string(p.modelIndex) + " lies outside the " +
                                     std::to_string(models) + " model names"
                               : "piece index " + std::to_string(p.pieceIndex) + " lies outside the " +
                                     std::to_string(pieces) + " piece names"));
            }
        }
    }
    NameWarnings(lay.GetPieceNames(), "piece", true, warnings);
    NameWarnings(lay.GetModelNames(), "model", true, warnings);
    const std::string width = WidthWarning("lay", lay.GetLayWidth());
    if (!width.empty()) {
        warnings.push_back(width);
    }
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

void MarkerWarnings(const QuorMarker& marker, std::vector<std::string>& warnings) {
    for (const StyleEntry& entry : marker.GetStyleEntries()) {
        const std::string problem = StyleNameProblem(entry.styleName);
        if (!problem.empty()) {
            warnings.push_back("style name " + Quoted(entry.styleName) + " " + problem);
        }
    }
    const std::string width = WidthWarning("marker", marker.GetMarkerWidth());
    if (!width.empty()) {
        warnings.push_back(width);
    }
    Capped lines(warnings, "names that split lines");
    for (const auto& [sizeKey, model] : marker.GetSizeModels()) {
        for (const PieceTally& tally : model) {
            if (tally.pieceName.find('\n') != std::string::npos) {
                lines.Add("piece name " + Quoted(tally.pieceName) + " of size " + std::to_string(sizeKey) +
                          " holds a line feed: it splits its lines of the definition file");
            }
        }
    }
}

std::string StyleRefusal(const StyleReading& style) {
    if (style.stoppedAt == QuorFile::Step::Open && style.openError != 0) {
        return "cannot be read: " + platform::ErrorText(style.openError);
    }
    return "is refused: " + style.refusal;
}

std::string Refusal(const char* reader, const ReaderVerdict& verdict) {
    std::string text = std::string(reader) + " reader: refused: " + verdict.message;
    if (verdict.offset >= 0) {
        text += " (record at " + OffsetText(verdict.offset) + ")";
    }
    return text;
}
} // namespace

std::string Escaped(const std::string& bytes, bool backslashAsIs) {
    std::string text;
    for (size_t i = 0; i < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte >= 0x80) {
            const size_t length = Utf8SequenceLength(bytes, i);
            if (length > 0) {
                text.append(bytes, i, length);
                i += length;
                continue;
            }
        }
        char escaped[8];
        switch (byte) {
        case '\\':
            text += backslashAsIs ? "\\" : "\\\\";
            break;
        case '\n':
            text += "\\n";
            break;
        case '\t':
            text += "\\t";
            break;
        case '\r':
            text += "\\r";
            break;
        default:
            if (byte >= 0x20 && byte < 0x7F) {
                text += static_cast<char>(byte);
            } else {
                std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
                text += escaped;
            }
        }
        ++i;
    }
    return text;
}

const StyleReading* RefusedStyle(const ImportReading& reading) {
    if (reading.markerVerdict.stoppedAt != QuorFile::Step::Resolve || reading.marker == nullptr ||
        reading.marker->GetStyleReadings().empty()) {
        return nullptr;
    }
    return &reading.marker->GetStyleReadings().back();
}

Findings FindingsOf(const ImportReading& reading, int64_t inputSize) {
    Findings findings;
    for (const ReadDiagnostic& d : reading.diagnostics) {
        findings.diagnostics.push_back("lay reader: record at " + OffsetText(d.offset) + ": " +
                                       Escaped(d.line));
    }
    if (inputSize == 0) {
        findings.warnings.push_back("the file is empty: it imports as a lay without models or placements");
    }
    // The order name is the file's name: it stands in the definition file's o: line and in every m: line.
    if (reading.Loaded() && reading.orderName.find('\n') != std::string::npos) {
        findings.warnings.push_back("the file's name holds a line feed: it splits the definition file's o: "
                                    "and m: lines, which carry the order name");
    } else if (reading.Loaded() && reading.orderName.find(',') != std::string::npos) {
        findings.warnings.push_back("the file's name holds a comma: the definition file's o: and m: lines, "
                                    "which carry the order name, hold it too");
    }
    if (reading.kind == ImportKind::LayY) {
        findings.diagnostics.push_back(
            "lay reader: accepted (placements: " + std::to_string(reading.lay->GetPlacements().size()) + ")");
        LayWarnings(*reading.lay, findings.warnings);
        return findings;
    }
    const bool markerParsed = reading.markerVerdict.tried &&
                              reading.markerVerdict.stoppedAt != QuorFile::Step::Open &&
                              reading.markerVerdict.stoppedAt != QuorFile::Step::Parse;
    if (markerParsed) {
        const std::vector<StyleReading>& styles = reading.marker->GetStyleReadings();
        for (size_t i = 0; i < styles.size(); ++i) {
            if (styles[i].Loaded()) {
                continue;
            }
            const std::string line = "style file " + EscapedPath(paths::ToSystemPath(styles[i].path)) + " " +
                                     StyleRefusal(styles[i]);
            findings.diagnostics.push_back("marker reader: " + line);
            if (reading.kind == ImportKind::Marker) {
                findings.alwaysShown.push_back("warning: " + line + ": the sizes of its slot get no pieces");
            }
        }
        MarkerWarnings(*reading.marker, findings.warnings);
    }
    if (reading.kind == ImportKind::Marker) {
        findings.diagnostics.push_back(
            "marker reader: accepted (style entries: " +
            std::to_string(reading.marker->GetStyleEntries().size()) +
            ", size models: " + std::to_string(reading.marker->GetSizeModels().size()) + ")");
        return findings;
    }
    findings.refusals.push_back(Refusal("lay", reading.layVerdict));
    if (reading.markerVerdict.tried) {
        findings.refusals.push_back(Refusal("marker", reading.markerVerdict));
    }
    return findings;
}

} // namespace quorix::cli
