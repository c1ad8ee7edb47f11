// The marker written as the host's import files.
#include "export/QuorMarkerExport.h"

#include "export/DefinitionFileWriter.h"
#include "export/NameRules.h"
#include "marker/QuorMarker.h"

#include <string>

namespace quorix {
namespace {
constexpr double kMicrometresPerInch = 25400.0;

// The label of a size model: its size number in decimal. Every size number is written whole, also those
// beyond the nine characters the host's own label buffer holds.
std::string SizeLabel(int32_t sizeKey) {
    return std::to_string(sizeKey);
}
} // namespace

size_t WriteDefinition(const QuorMarker& marker, runtime::ByteSink& file) {
    const SizeModels& sizeModels = marker.GetSizeModels();
    detail::DefinitionFileWriter writer(file);
    const std::string orderName = OrderName(marker.GetFileName());
    // The tallies of a model are made as they are written: together the models can hold far more pieces
    // than the marker and its styles.
    for (const auto& [sizeKey, model] : sizeModels) {
        writer.BeginModel(orderName, SizeLabel(sizeKey));
        for (const PieceTally& tally : model) {
            writer.Piece(tally.pieceName, tally.quantity);
            if (tally.extraQuantity > 0) {
                writer.ExtraCount(tally.extraQuantity);
            }
        }
    }
    writer.BeginOrder(orderName, kMarkerDescription,
                      static_cast<double>(marker.GetMarkerWidth()) / kMicrometresPerInch);
    for (const auto& [sizeKey, model] : sizeModels) {
        writer.OrderLine(orderName, SizeLabel(sizeKey));
    }
    return sizeModels.size();
}

size_t WritePositions(const QuorMarker&, runtime::ByteSink&) {
    return 0;
}
} // namespace quorix
