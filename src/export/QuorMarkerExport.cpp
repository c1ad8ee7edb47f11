// The marker written as the host's import files.
#include "export/QuorMarkerExport.h"

#include "export/DefinitionFileWriter.h"
#include "export/NameRules.h"
#include "export/PartLines.h"
#include "marker/QuorMarker.h"

#include <string>
#include <utility>
#include <vector>

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
    const std::string orderName = OrderName(marker.GetFileName());
    std::vector<std::pair<int32_t, SizeModels::Model>> models;
    for (const auto& model : sizeModels) {
        models.push_back(model);
    }
    // The tallies of a model are made as they are written: together the models can hold far more pieces
    // than the marker and its styles. Many models are made by parts at the same time, a model a chunk.
    const auto writeModel = [&](runtime::ByteSink& sink, size_t at) {
        detail::DefinitionFileWriter writer(sink);
        writer.BeginModel(orderName, SizeLabel(models[at].first));
        for (const PieceTally& tally : models[at].second) {
            writer.Piece(tally.pieceName, tally.quantity);
            if (tally.extraQuantity > 0) {
                writer.ExtraCount(tally.extraQuantity);
            }
        }
    };
    constexpr size_t kLeastPartPieces = 65536;
    detail::WriteInChunks(file, parallel::PartsFor(sizeModels.PiecesTaken(), kLeastPartPieces), models.size(),
                          writeModel);
    detail::DefinitionFileWriter writer(file);
    writer.BeginOrder(orderName, kMarkerDescription,
                      static_cast<double>(marker.GetMarkerWidth()) / kMicrometresPerInch);
    for (const auto& model : models) {
        writer.OrderLine(orderName, SizeLabel(model.first));
    }
    return models.size();
}

size_t WritePositions(const QuorMarker&, runtime::ByteSink&) {
    return 0;
}
} // namespace quorix
