// The LAY-Y lay written as the host's import files.
#include "export/CleanName.h"
#include "export/DefinitionFileWriter.h"
#include "export/PositionFileWriter.h"
#include "export/PositionMatcher.h"
#include "files/QuorUnhandledFormatFeatureException.h"
#include "layy/QuorLayY.h"
#include "platform/BackgroundTask.h"

#include <algorithm>
#include <memory>
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
    return WrittenAngle(placement.angle, placement.flag1);
}

float QuorLayY::WrittenAngle(float angle, bool turned180) {
    if (!turned180) {
        return angle;
    }
    float turned = angle + 180.0f;
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
    std::vector<PositionMatcher::Position> ordered;
    if (!PositionMatcher::Match(modelNames, pieceNames, placements, placementCounts, ordered)) {
        // The file stays empty; it is closed while the error passes to the caller.
        writer.Close();
        throw QuorUnhandledFormatFeatureException(kNoMatchText);
    }
    const PositionFileWriter::Names pieces(pieceNames);
    const PositionFileWriter::Names models(modelNames);
    const auto writeLines = [&pieces, &models, &ordered](PositionFileWriter& to, size_t from, size_t end) {
        for (size_t k = from; k < end; ++k) {
            const PositionMatcher::Position& p = ordered[k];
            const int flags = (p.flag1 ? 1 : 0) + (p.flag2 ? 2 : 0);
            to.Record(pieces, p.piece, models, p.model,
                      p.isP ? PositionFileWriter::kKindP : PositionFileWriter::kKindT, flags,
                      WrittenAngle(p.angle, p.flag1), p.x, p.y);
        }
    };
    // A long list is cut into parts, one per processor (up to kMostParts), each at least kLeastPartLines
    // long. The first is written to the file while the others are made in memory at the same time; they
    // follow it into the file in their order, so the file is the same as when written in one go.
    constexpr size_t kLeastPartLines = 32768;
    constexpr size_t kMostParts = 4;
    const size_t parts = std::max<size_t>(1, std::min({static_cast<size_t>(BackgroundTask::Processors()),
                                                       kMostParts, ordered.size() / kLeastPartLines}));
    const auto partStart = [&](size_t part) { return ordered.size() * part / parts; };
    std::vector<std::unique_ptr<PositionFileWriter>> partWriters;
    std::vector<BackgroundTask> tasks(parts - 1); // destroyed first: each waits for its work
    for (size_t part = 1; part < parts; ++part) {
        partWriters.push_back(std::make_unique<PositionFileWriter>());
        PositionFileWriter& partWriter = *partWriters.back();
        tasks[part - 1].Start([&pieces, &models, &ordered, &writeLines, &partWriter, from = partStart(part),
                               end = partStart(part + 1)] {
            size_t expected = 0;
            for (size_t k = from; k < end; ++k) {
                expected += PositionFileWriter::ExpectedLength(pieces.Length(ordered[k].piece),
                                                               models.Length(ordered[k].model));
            }
            partWriter.OpenInMemory(expected);
            writeLines(partWriter, from, end);
        });
    }
    writeLines(writer, 0, partStart(1));
    for (size_t part = 1; part < parts; ++part) {
        tasks[part - 1].Wait();
        writer.AppendLines(partWriters[part - 1]->Lines());
        partWriters[part - 1].reset(); // its memory is given back at once
    }
    writer.Close();
    return true;
}
