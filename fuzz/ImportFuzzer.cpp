// The whole import, as the host runs it: either reader, both writers, the order name and the error that
// passes to the host. One input in eight, chosen by its bytes (so that a crash replays alike), goes through
// the file layer: the folder's lock and the replacement files in a scratch folder. The others are read the
// same way and written to memory, at a fraction of the cost of those system calls.
#include "FuzzSupport.h"

#include "entry/QuorImport.h"
#include "export/QuorLayYExport.h"
#include "export/QuorMarkerExport.h"
#include "files/QuorUnhandledFormatFeatureException.h"

#include <cstdlib>
#include <cstring>
#include <functional>

using namespace quorix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string folder = FuzzScratch::MakeDir("out");
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ReadOptions options;
    options.bytes = &bytes;
    try {
        if (std::hash<std::string_view>()(bytes) % 8 != 0) {
            const ImportReading reading = ReadImport(FuzzScratch::Path("lays/in#1.lay"), options);
            const auto write = [](const auto& reader) {
                runtime::MemorySink definition;
                runtime::MemorySink position;
                WriteDefinition(reader, definition);
                WritePositions(reader, position);
            };
            if (reading.Loaded() && reading.orderName != "in-1-lay") {
                std::abort();
            }
            if (reading.kind == ImportKind::LayY) {
                write(*reading.lay);
            } else if (reading.kind == ImportKind::Marker) {
                write(*reading.marker);
            }
            return 0;
        }
        char name[32];
        std::memset(name, '@', sizeof name);
        const ImportOutcome outcome =
            RunImport(FuzzScratch::Path("lays/in#1.lay"), name, ImportPaths::InFolder(folder), options);
        if (outcome.loaded && std::strcmp(name, "in-1-lay") != 0) {
            std::abort();
        }
        if (!outcome.loaded && name[0] != '@') {
            std::abort(); // the name buffer is written only when the import succeeds
        }
    } catch (const QuorUnhandledFormatFeatureException&) {
    }
    return 0;
}
