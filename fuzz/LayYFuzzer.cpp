// The lay reader and its writers on arbitrary bytes: any file is answered with true or false, the
// model's counts agree with its placements, and the writers never read outside the name lists.
#include "FuzzSupport.h"

#include "export/QuorLayYExport.h"
#include "files/QuorUnhandledFormatFeatureException.h"
#include "layy/QuorLayY.h"

#include <cstdlib>

using namespace quorix;

using quorix::runtime::MemorySink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QuorLayY lay;
    if (!lay.Load("in.lay", std::string_view(reinterpret_cast<const char*>(data), size))) {
        return 0;
    }
    uint32_t counted = 0;
    for (const auto& entry : lay.GetPlacementCounts()) {
        if (entry.second <= 0) {
            std::abort(); // every key stands for at least one placement
        }
        counted += static_cast<uint32_t>(entry.second);
    }
    if (counted != static_cast<uint32_t>(lay.GetPlacements().size())) {
        std::abort();
    }
    MemorySink files; // both files, one after the other, in memory: ImportFuzzer writes them to the disk
    quorix::WriteDefinition(lay, files);
    try {
        quorix::WritePositions(lay, files);
    } catch (const QuorUnhandledFormatFeatureException&) {
        // Placements that disagree with their counts: the one error that reaches the host.
    }
    return 0;
}
