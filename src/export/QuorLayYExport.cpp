// The LAY-Y lay written as the host's import files.
#include "export/CleanName.h"
#include "export/DefinitionFileWriter.h"
#include "export/PositionFileWriter.h"
#include "export/PositionMatcher.h"
#include "files/QuorUnhandledFormatFeatureException.h"
#include "layy/QuorLayY.h"

#include <algorithm>
#include <vector>

namespace {
constexpr double kMillimetresPerInch = 25.4;
}

bool QuorLayY::WriteDefinitionFile(const std::string& path) const {
    DefinitionFileWriter writer;
    if (!writer.Open(path)) {
        return false;
    }
    const std::string orderName = OrderNameOf(*this);
    const int32_t pieceCount = static_cast<int32_t>(pieceNames.size());
    for (size_t i = 0; i < modelNames.size(); ++i) {
        writer.BeginModel(orderName, modelNames[i]);
        // The pairs of this model in piece order; pieces without a count are left out.
        const int32_t model = static_cast<int32_t>(i);
        for (auto it = placementCounts.lower_bound(PairKey(model, 0));
             it != placementCounts.end() && it->first.first == model && it->first.second < pieceCount; ++it) {
            if (it->second != 0) {
                writer.Piece(pieceNames[static_cast<size_t>(it->first.second)], it->second);
            }
        }
    }
    writer.BeginOrder(orderName, kDescription, static_cast<double>(layWidth) / kMillimetresPerInch);
    for (const std::string& label : modelNames) {
        writer.OrderLine(orderName, label);
    }
    writer.Close();
    return true;
}

float QuorLayY::WrittenAngle(const Placement& placement) {
    if (!placement.flag1) {
        return placement.angle;
    }
    float turned = placement.angle + 180.0f;
    if (turned >= 360.0f) {
        turned = turned - 360.0f;
    }
    return turned;
}

bool QuorLayY::WritePositionFile(const std::string& path) const {
    PositionFileWriter writer;
    if (!writer.Open(path)) {
        return false;
    }
    std::vector<size_t> order;
    if (!PositionMatcher::Match(modelNames, pieceNames, placements, placementCounts, order)) {
        // The file stays empty; it is closed while the error passes to the caller.
        writer.Close();
        throw QuorUnhandledFormatFeatureException(kNoMatchText);
    }
    // The matched order jumps about the placement list: the placements are copied out a block at a time
    // before they are written, so that their reads from memory overlap.
    constexpr size_t kBlock = 256;
    std::vector<Placement> block(std::min(kBlock, order.size()));
    for (size_t start = 0; start < order.size(); start += kBlock) {
        const size_t count = std::min(kBlock, order.size() - start);
        for (size_t i = 0; i < count; ++i) {
            block[i] = placements[order[start + i]];
        }
        for (size_t i = 0; i < count; ++i) {
            const Placement& p = block[i];
            const int flags = (p.flag1 ? 1 : 0) + (p.flag2 ? 2 : 0);
            writer.Record(pieceNames[static_cast<size_t>(p.pieceIndex)],
                          modelNames[static_cast<size_t>(p.modelIndex)],
                          p.isP ? PositionFileWriter::kKindP : PositionFileWriter::kKindT, flags,
                          WrittenAngle(p), p.x, p.y);
        }
    }
    writer.Close();
    return true;
}
