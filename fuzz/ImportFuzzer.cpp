// The whole import, as the host runs it: either reader, both writers, the order name and the error that
// passes to the host. One input in eight (by its bytes) is written through the file layer into a scratch
// folder; the others to memory, which costs a fraction of the file layer's system calls.
#include "FuzzSupport.h"

#include "entry/QuorImport.h"
#include "export/QuorLayYExport.h"
#include "export/QuorMarkerExport.h"
#include "files/QuorUnhandledFormatFeatureException.h"

#include <cstdlib>
#include <cstring>

using namespace quorix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ImportPaths out = ImportPaths::InFolder(FuzzScratch::Folder());
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ReadOptions options;
    options.bytes = &bytes;
    std::string name(32, '@');
    try {
        bool loaded = false;
        if (std::hash<std::string_view>()(bytes) % 8 == 0) {
            loaded = RunImport(FuzzScratch::Path("lays/in#1.lay"), name.data(), out, options).loaded;
        } else {
            const ImportReading reading = ReadImport(FuzzScratch::Path("lays/in#1.lay"), options);
            runtime::MemorySink files; // both files, one after the other
            if ((loaded = reading.Loaded())) {
                reading.lay ? WriteDefinition(*reading.lay, files) : WriteDefinition(*reading.marker, files);
                reading.lay ? WritePositions(*reading.lay, files) : WritePositions(*reading.marker, files);
                name = reading.orderName.substr(0, kOrderNameLength);
            }
        }
        if (loaded ? std::strcmp(name.c_str(), "in-1-lay") != 0 : name[0] != '@') {
            std::abort(); // the name buffer is written only when the import succeeds, with the lay's name
        }
    } catch (const QuorUnhandledFormatFeatureException&) {
    }
    return 0;
}
