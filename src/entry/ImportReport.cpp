#include "entry/ImportReport.h"

#include "entry/ShownText.h"
#include "files/QuorBinaryFile.h"
#include "platform/PathMapping.h"
#include "platform/SystemError.h"

#include <cmath>
#include <map>
#include <string_view>

namespace quorix {

namespace {
// Names in messages are cut to this many bytes.
constexpr size_t kNameShown = 60;

std::string Quoted(const std::string& name) {
    return "\"" + Escaped(name.size() > kNameShown ? name.substr(0, kNameShown) + "..." : name) + "\"";
}

// Collects the lines of one kind of loss: at most `limit` of them, then, on Close, one line counting the
// rest. Close is a call of its own rather than the destructor's work, as it allocates: out of memory it
// must throw to the caller, which tells the user, instead of ending the process.
class Capped {
public:
    Capped(Losses& to, size_t limit, const char* restText) : to(to), limit(limit), restText(restText) {}
    void Close() {
        if (rest > 0) {
            to.lines.push_back("... and " + std::to_string(rest) + " more " + restText);
        }
    }
    Capped(const Capped&) = delete;
    Capped& operator=(const Capped&) = delete;
    void Add(std::string line) {
        ++to.count;
        if (shown < limit) {
            to.lines.push_back(std::move(line));
            ++shown;
        } else {
            ++rest;
        }
    }

private:
    Losses& to;
    size_t limit;
    const char* restText;
    size_t shown = 0;
    size_t rest = 0;
};

// A line feed splits every line that carries the name; a comma splits a position line's fields, which
// the definition file does not have.
void NameLosses(const std::vector<std::string>& names, const char* what, Capped& lines) {
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string which =
            std::string(what) + " name " + std::to_string(i + 1) + " " + Quoted(names[i]);
        if (names[i].find('\n') != std::string::npos) {
            lines.Add(which + " holds a line feed: it splits the lines of the import files that carry it");
        } else if (names[i].find(',') != std::string::npos) {
            lines.Add(which + " holds a comma: it adds a field to each of its position lines");
        }
    }
}

void LayLosses(const QuorLayY& lay, size_t perKind, Losses& losses) {
    const size_t models = lay.GetModelNames().size();
    const size_t pieces = lay.GetPieceNames().size();
    {
        Capped lines(losses, perKind, "placements left out of the position file");
        const PlacementList& placements = lay.GetPlacements();
        for (size_t i = 0; i < placements.size(); ++i) {
            const PlacementList::Entry& p = placements.At(i);
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
        lines.Close();
    }
    {
        Capped lines(losses, perKind, "names that split lines or fields");
        NameLosses(lay.GetPieceNames(), "piece", lines);
        NameLosses(lay.GetModelNames(), "model", lines);
        lines.Close();
    }
    if (!std::isfinite(lay.GetLayWidth())) {
        Capped(losses, perKind, "")
            .Add("the lay width is not a finite number: the definition file's w: line "
                 "carries no width");
    }
}

// A marker's piece names are read line by line, so none holds a line feed: what a marker can lose is
// the pieces of the styles that could not be read.
void MarkerLosses(const QuorMarker& marker, size_t perKind, Losses& losses) {
    Capped lines(losses, perKind, "style files that could not be read");
    for (const StyleReading& style : marker.GetStyleReadings()) {
        if (!style.Loaded()) {
            lines.Add("style file " + Escaped(paths::ToSystemPath(style.path), paths::kBackslashSeparates) +
                      (style.stoppedAt == QuorFile::Step::Open ? " cannot be read" : " is refused") +
                      ": the sizes of its slot get no pieces");
        }
    }
    lines.Close();
}
} // namespace

Refusal RefusalOf(const ImportReading& reading) {
    Refusal refusal;
    if (reading.Loaded()) {
        return refusal;
    }
    const ReaderVerdict& lay = reading.layVerdict;
    if (lay.stoppedAt == QuorFile::Step::Open) {
        refusal.kind = RefusalKind::CannotRead;
        refusal.systemError = lay.openError;
        return refusal;
    }
    const ReaderVerdict& marker = reading.markerVerdict;
    if (marker.stoppedAt == QuorFile::Step::Resolve && reading.marker != nullptr &&
        !reading.marker->GetStyleReadings().empty()) {
        refusal.style = &reading.marker->GetStyleReadings().back();
        refusal.kind = refusal.style->stoppedAt == QuorFile::Step::Open ? RefusalKind::StyleMissing
                                                                        : RefusalKind::StyleRefused;
        refusal.systemError = refusal.style->openError;
        return refusal;
    }
    if (lay.message != QuorLayY::kNotLayText) {
        // The first record is the lay's own: the file is a lay, and the reader's reason is the one to read.
        refusal.offset = lay.offset;
        if (lay.message == QuorBinaryFile::kEndOfFileText || lay.message == QuorLayY::kOverReadAtEndText) {
            refusal.kind = RefusalKind::LayCutOff;
        } else {
            refusal.kind = RefusalKind::DamagedLay;
            refusal.layReasonHelps = true;
        }
        return refusal;
    }
    if (marker.tried && reading.marker != nullptr && reading.marker->GetFormatVersion() >= 0) {
        refusal.kind = RefusalKind::DamagedMarker;
        refusal.markerReasonHelps = true;
        return refusal;
    }
    refusal.kind = RefusalKind::NotInFormat;
    return refusal;
}

std::string VerdictText(const Refusal& refusal) {
    const auto style = [&refusal] {
        return "style file " + Escaped(paths::ToSystemPath(refusal.style->path), paths::kBackslashSeparates);
    };
    switch (refusal.kind) {
    case RefusalKind::CannotRead:
        return "cannot read input file: " + ErrorText(refusal.systemError);
    case RefusalKind::StyleMissing:
        return "cannot read " + style() + ": " + ErrorText(refusal.systemError);
    case RefusalKind::StyleRefused:
        return style() + " is refused: " + Escaped(refusal.style->refusal);
    case RefusalKind::LayCutOff:
        return "lay cut off at offset " + std::to_string(refusal.offset);
    case RefusalKind::DamagedLay:
        return "damaged lay";
    case RefusalKind::DamagedMarker:
        return "damaged marker";
    case RefusalKind::NotInFormat:
        return "not a lay or marker file";
    default:
        return {};
    }
}

Losses LossesOf(const ImportReading& reading, int64_t inputSize, size_t perKind) {
    Losses losses;
    if (inputSize == 0) {
        Capped(losses, perKind, "").Add("the file is empty: the import files hold no model and no placement");
    }
    // The order name is made of the file's name and stands in the definition file's o: and m: lines.
    if (reading.Loaded() && reading.orderName.find('\n') != std::string::npos) {
        Capped(losses, perKind, "").Add("the file's name holds a line feed: it splits the definition file's o: "
                                        "and m: lines, which carry the order name");
    }
    if (reading.kind == ImportKind::LayY) {
        LayLosses(*reading.lay, perKind, losses);
    } else if (reading.kind == ImportKind::Marker) {
        MarkerLosses(*reading.marker, perKind, losses);
    }
    return losses;
}

std::string FileFailureText(const ImportFileResult& file) {
    return Escaped(file.path, paths::kBackslashSeparates) + ": " + ReplacementFile::FailureText(file.failedStep) +
           ": " + ErrorText(file.error);
}

std::string PositionErrorText(const QuorLayY& lay, const std::string& message) {
    std::vector<bool> modelPlaced(lay.GetModelNames().size());
    std::vector<bool> piecePlaced(lay.GetPieceNames().size());
    for (const auto& [pair, count] : lay.GetPlacementCounts()) {
        const auto [model, piece] = pair;
        if (count != 0 && model >= 0 && piece >= 0 && static_cast<size_t>(model) < modelPlaced.size() &&
            static_cast<size_t>(piece) < piecePlaced.size()) {
            modelPlaced[static_cast<size_t>(model)] = true;
            piecePlaced[static_cast<size_t>(piece)] = true;
        }
    }
    const auto find = [](const std::vector<std::string>& names, const std::vector<bool>& placed,
                         const char* what) -> std::string {
        std::map<std::string_view, size_t> first;
        for (size_t i = 0; i < names.size(); ++i) {
            const auto [known, added] = first.emplace(names[i], i);
            if (!added && placed[i]) {
                return std::string(what) + " name \"" + Escaped(names[i]) + "\" is listed twice (entries " +
                       std::to_string(known->second + 1) + " and " + std::to_string(i + 1) + ")";
            }
        }
        return {};
    };
    std::string cause = find(lay.GetModelNames(), modelPlaced, "the model");
    if (cause.empty()) {
        cause = find(lay.GetPieceNames(), piecePlaced, "the piece");
    }
    std::string text = message;
    if (!cause.empty()) {
        if (!text.empty() && text.back() == '.') {
            text.pop_back();
        }
        text += ": " + cause + ".";
    }
    return text;
}

} // namespace quorix
