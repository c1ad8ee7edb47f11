// The LAY-Y lay written as the host's import files.
#include "export/QuorLayYExport.h"

#include "export/DefinitionFileWriter.h"
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
}

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
    std::vector<detail::Position> ordered;
    if (!detail::MatchPositions(lay.GetModelNames(), lay.GetPieceNames(), lay.GetPlacements(),
                                lay.GetPlacementCounts(), ordered)) {
        throw QuorUnhandledFormatFeatureException(kNoMatchText);
    }
    const detail::PositionFileWriter writer(lay.GetPieceNames(), lay.GetModelNames());
    // A long list is cut into parts (see parallel::PartsFor), made at the same time: the first is written
    // to the file, the others are made in memory and follow it in their order, so the file is the same as
    // when written in one go.
    constexpr size_t kLeastPartLines = 32768;
    const size_t parts = parallel::PartsFor(ordered.size(), kLeastPartLines);
    const auto partStart = [&](size_t part) { return ordered.size() * part / parts; };
    std::vector<runtime::MemorySink> partLines(parts - 1);
    parallel::ForEachPart(parts, [&](size_t part) {
        const size_t from = partStart(part);
        const size_t end = partStart(part + 1);
        runtime::ByteSink& lines = part == 0 ? file : partLines[part - 1];
        if (part != 0) {
            size_t expected = 0;
            for (size_t k = from; k < end; ++k) {
                expected += writer.ExpectedLength(ordered[k]);
            }
            lines.Reserve(expected);
        }
        for (size_t k = from; k < end; ++k) {
            writer.Line(lines, ordered[k]);
        }
    });
    for (const runtime::MemorySink& lines : partLines) {
        file.Append(lines.Bytes());
    }
    return ordered.size();
}
} // namespace quorix
