// The LAY-Y lay written as the host's import files.
#include "export/QuorLayYExport.h"

#include "export/DefinitionFileWriter.h"
#include "export/PartLines.h"
#include "export/NameRules.h"
#include "export/PositionFileWriter.h"
#include "export/PositionMatcher.h"
#include "files/QuorUnhandledFormatFeatureException.h"
#include "layy/QuorLayY.h"
#include "platform/Parallel.h"

#include <algorithm>
#include <vector>

namespace quorix {
namespace {
constexpr double kMillimetresPerInch = 25.4;

// Writes the lines from `from` to before `to` into `sink`. Their placements lie all over the lay, so each
// costs a cache miss: they are first copied side by side, a batch at a time, in a loop whose loads do not
// wait for each other, so that the misses overlap rather than come one line at a time.
void WriteLines(const detail::PositionFileWriter& writer, const PlacementList& placements,
                const detail::PositionOrder& order, runtime::ByteSink& sink, size_t from, size_t to) {
    constexpr size_t kBatch = 256;
    PlacementList::Entry batch[kBatch];
    for (size_t first = from; first < to; first += kBatch) {
        const size_t count = std::min(kBatch, to - first);
        for (size_t k = 0; k < count; ++k) {
            batch[k] = placements.At(order.PlacementOf(first + k));
        }
        for (size_t k = 0; k < count; ++k) {
            writer.Line(sink, batch[k]);
        }
    }
}
} // namespace

size_t WriteDefinition(const QuorLayY& lay, runtime::ByteSink& file) {
    const std::vector<std::string>& modelNames = lay.GetModelNames();
    const std::vector<std::string>& pieceNames = lay.GetPieceNames();
    const std::map<QuorLayY::PairKey, int32_t>& placementCounts = lay.GetPlacementCounts();
    detail::DefinitionFileWriter writer(file);
    const std::string orderName = OrderName(lay.GetFileName());
    const int32_t pieceCount = static_cast<int32_t>(pieceNames.size());
    for (size_t i = 0; i < modelNames.size(); ++i) {
        writer.BeginModel(orderName, modelNames[i]);
        // The pairs of this model in piece order; pieces without a count are left out.
        const int32_t model = static_cast<int32_t>(i);
        for (auto it = placementCounts.lower_bound(QuorLayY::PairKey(model, 0));
             it != placementCounts.end() && it->first.first == model && it->first.second < pieceCount; ++it) {
            if (it->second != 0) {
                writer.Piece(pieceNames[static_cast<size_t>(it->first.second)], it->second);
            }
        }
    }
    writer.BeginOrder(orderName, kLayDescription,
                      static_cast<double>(lay.GetLayWidth()) / kMillimetresPerInch);
    for (const std::string& label : modelNames) {
        writer.OrderLine(orderName, label);
    }
    return modelNames.size();
}

float WrittenAngle(const Placement& placement) {
    return WrittenAngle(placement.angle, placement.flag1);
}

float WrittenAngle(float angle, bool turned) {
    if (!turned) {
        return angle;
    }
    float written = angle + 180.0f;
    if (written >= 360.0f) {
        written = written - 360.0f;
    }
    return written;
}

size_t WritePositions(const QuorLayY& lay, runtime::ByteSink& file) {
    detail::PositionOrder order;
    if (!detail::MatchPositions(lay.GetModelNames(), lay.GetPieceNames(), lay.GetPlacements(),
                                lay.GetPlacementCounts(), order)) {
        throw QuorUnhandledFormatFeatureException(kNoMatchText);
    }
    const PlacementList& placements = lay.GetPlacements();
    const detail::PositionFileWriter writer(lay.GetPieceNames(), lay.GetModelNames());
    const size_t lines = order.Lines();
    // A long file is made in chunks of lines by parts at the same time (see WriteInChunks).
    constexpr size_t kLeastPartLines = 32768;
    const size_t parts = parallel::PartsFor(lines, kLeastPartLines);
    // Chunks of 4096 lines (about 170 KB, which the part's buffer holds), or eight per part when that
    // makes them shorter.
    const size_t chunkLines = std::max<size_t>(1, std::min<size_t>(4096, lines / (8 * parts)));
    detail::WriteInChunks(file, parts, (lines + chunkLines - 1) / chunkLines,
                          [&](runtime::ByteSink& sink, size_t chunk) {
                              WriteLines(writer, placements, order, sink, chunk * chunkLines,
                                         std::min(lines, (chunk + 1) * chunkLines));
                          });
    return lines;
}
} // namespace quorix
