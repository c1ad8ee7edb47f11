#include "Inspection.h"

#include "platform/PathMapping.h"
#include "platform/StringTable.h"

#include <cstdio>
#include <cstring>

namespace {
std::string OffsetText(int64_t offset) {
    char text[48];
    std::snprintf(text, sizeof text, "offset %lld (0x%llx)", static_cast<long long>(offset),
                  static_cast<unsigned long long>(offset));
    return text;
}

// A diagnostic line with every byte outside printable ASCII (a tag byte of 0x80 or above, say) shown as
// \xNN, so that the line reads the same on any terminal.
std::string Printable(const std::string& line) {
    std::string text;
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            text += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            text += escaped;
        }
    }
    return text;
}

std::string ListedVersions(const char* versions) {
    return std::string(" (the reader takes versions ") + versions + ")";
}

// Why a text reader refused a file whose parse returned false.
std::string TextRefusal(const QuorTextFile& reader, const char* versions) {
    if (!reader.GetFailureText().empty()) {
        return reader.GetFailureText();
    }
    if (reader.GetFormatVersion() < 0) {
        return "the first line is not a version line \"%<number>\"";
    }
    return "format version " + std::to_string(reader.GetFormatVersion()) + " is not supported" +
           ListedVersions(versions);
}

void ReadStyles(const QuorMarker& marker, Inspection& result) {
    const std::string folder = QuorStyle::StylesFolderOf(marker.GetFileName()) + "\\";
    for (const StyleEntry& entry : marker.GetStyleEntries()) {
        const std::string modulePath = folder + entry.styleName;
        StyleReading reading;
        reading.path = PathMapping::ToSystemPath(modulePath);
        reading.style = std::make_unique<QuorStyle>();
        if (!reading.style->Open(modulePath)) {
            reading.refusal = reading.style->GetFailureText();
        } else {
            const bool parsed = reading.style->Parse();
            reading.style->Close();
            reading.loaded = parsed && reading.style->Resolve();
            if (!reading.loaded) {
                reading.refusal = TextRefusal(*reading.style, "12, 13 and 16");
            }
        }
        result.styles.push_back(std::move(reading));
    }
}

// The marker reader's load, step by step as Load runs it, so that the step that refused the file is known.
void ReadMarker(const std::string& modulePath, Inspection& result) {
    auto marker = std::make_unique<QuorMarker>();
    if (!marker->Open(modulePath)) {
        result.diagnostics.push_back("marker reader: refused: " + marker->GetFailureText());
        return;
    }
    const bool parsed = marker->Parse();
    marker->Close();
    if (!parsed) {
        result.diagnostics.push_back("marker reader: refused: " + TextRefusal(*marker, "10, 12, 18 and 19"));
        return;
    }
    ReadStyles(*marker, result);
    for (const StyleReading& reading : result.styles) {
        if (!reading.loaded) {
            result.diagnostics.push_back("marker reader: style file " + reading.path +
                                         " refused: " + reading.refusal);
        }
    }
    if (!marker->Resolve()) {
        result.diagnostics.push_back(
            "marker reader: refused: the style file of the last style entry was refused");
        return;
    }
    result.diagnostics.push_back(
        "marker reader: accepted (style entries: " + std::to_string(marker->GetStyleEntries().size()) +
        ", size models: " + std::to_string(marker->GetSizeModels().size()) + ")");
    result.marker = std::move(marker);
}
} // namespace

Inspection Inspect(const std::string& file, bool reportToHostLog) {
    Inspection result;
    const std::string input = Converter::AbsolutePath(file);
    const std::string modulePath = PathMapping::FromCallerPath(input);

    auto lay = std::make_unique<QuorLayY>();
    lay->SetDiagnosticSink([&result](int64_t offset, const std::string& line) {
        result.diagnostics.push_back("lay reader: record at " + OffsetText(offset) + ": " + Printable(line));
    });
    if (lay->Load(modulePath)) {
        result.diagnostics.push_back(
            "lay reader: accepted (placements: " + std::to_string(lay->GetPlacements().size()) + ")");
        lay->SetDiagnosticSink(nullptr);
        result.lay = std::move(lay);
        return result;
    }
    result.diagnostics.push_back("lay reader: refused: " + lay->GetFailureText());

    std::vector<std::string> messages;
    {
        const HostMessageCapture capture(messages);
        ReadMarker(modulePath, result);
    }
    if (result.marker != nullptr) {
        return result;
    }
    if (reportToHostLog) {
        result.errors = messages;
        result.errors.push_back(StringTable::Format(StringTable::kNotInQuorixFormat, {input}));
    }
    const int inputError = Converter::InputError(input);
    if (inputError != 0) {
        result.errors.push_back(std::string("cannot read input file: ") + std::strerror(inputError));
        result.exitCode = kExitNoInput;
    } else {
        result.exitCode = kExitDataError;
    }
    return result;
}
