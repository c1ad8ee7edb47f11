// The marker written as the host's import files.
#include "export/DefinitionFileWriter.h"
#include "export/ImportFile.h"
#include "marker/QuorMarker.h"
#include "platform/PathRules.h"
#include "runtime/TextModeWriter.h"

namespace {
constexpr double kMicrometresPerInch = 25400.0;
}

std::string QuorMarker::SizeLabel(int32_t sizeKey) {
    // Every size number is written whole, also those beyond the nine characters the host's own label
    // buffer holds.
    return std::to_string(sizeKey);
}

size_t QuorMarker::WriteDefinition(TextModeWriter& file) const {
    DefinitionFileWriter writer(file);
    const std::string orderName = quorix::paths::OrderName(GetFileName());
    // The tallies of a model are made as they are written: together the models can hold far more pieces
    // than the marker and its styles.
    sizeModels.ForEach([&](int32_t sizeKey, TallyMerge& tallies) {
        writer.BeginModel(orderName, SizeLabel(sizeKey));
        for (TallyMerge::Tally tally; tallies.Next(tally);) {
            writer.Piece(*tally.pieceName, tally.quantity);
            if (tally.extraQuantity > 0) {
                writer.ExtraCount(tally.extraQuantity);
            }
        }
    });
    writer.BeginOrder(orderName, kDescription, static_cast<double>(markerWidth) / kMicrometresPerInch);
    for (const auto& model : sizeModels) {
        writer.OrderLine(orderName, SizeLabel(model.first));
    }
    return sizeModels.size();
}

size_t QuorMarker::WritePositions(TextModeWriter&) const {
    return 0;
}

bool QuorMarker::WriteDefinitionFile(const std::string& path) const {
    return WriteImportFile(path, [this](TextModeWriter& file) { WriteDefinition(file); });
}

bool QuorMarker::WritePositionFile(const std::string& path) const {
    return WriteImportFile(path, [this](TextModeWriter& file) { WritePositions(file); });
}
