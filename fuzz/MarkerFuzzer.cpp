// The marker reader with its style files. The input is split at lines "@@" into the marker file and up to
// three style files, saved as markers/m.mkr and styles/a, styles/b, styles/c of one folder tree, so that
// slots naming "a", "b" or "c" reach the style reader and the size models.
#include "FuzzSupport.h"

#include "export/QuorMarkerExport.h"
#include "marker/QuorMarker.h"
#include "platform/PathMapping.h"

#include <string>
#include <vector>

using namespace quorix;

using quorix::runtime::MemorySink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t cut = bytes.find("\n@@\n", start);
        if (cut == std::string::npos || parts.size() == 3) {
            parts.push_back(bytes.substr(start));
            break;
        }
        parts.push_back(bytes.substr(start, cut + 1 - start));
        start = cut + 4;
    }
    const char* styleNames[] = {"styles/a", "styles/b", "styles/c"};
    for (size_t i = 0; i < 3; ++i) {
        const std::string& part = i + 1 < parts.size() ? parts[i + 1] : std::string();
        FuzzScratch::Write(styleNames[i], reinterpret_cast<const uint8_t*>(part.data()), part.size());
    }
    // The marker itself is read from memory, as if it were markers/m.mkr beside the styles folder.
    QuorMarker reader;
    if (reader.Load(paths::FromCallerPath(FuzzScratch::Path("markers/m.mkr")), parts[0])) {
        MemorySink definition; // kept in memory: ImportFuzzer writes the files to the disk
        quorix::WriteDefinition(reader, definition);
    }
    return 0;
}
