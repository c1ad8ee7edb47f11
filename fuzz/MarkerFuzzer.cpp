// The marker reader with its style files. The input is split at lines "@@" into the marker file and up to
// three style files, saved as markers/m.mkr and styles/a, styles/b, styles/c of one folder tree, so that
// slots naming "a", "b" or "c" reach the style reader and the size models.
#include "FuzzSupport.h"

#include "export/QuorMarkerExport.h"
#include "marker/QuorMarker.h"
#include "platform/PathMapping.h"

#include <string>

using namespace quorix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::string_view parts[4]; // the marker, then the styles; a style without a part is an empty file
    for (size_t i = 0; i < 4; ++i) {
        const size_t cut = i < 3 ? rest.find("\n@@\n") : std::string_view::npos;
        parts[i] = rest.substr(0, cut == std::string_view::npos ? cut : cut + 1);
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 4);
    }
    for (size_t i = 1; i < 4; ++i) {
        FuzzScratch::Write(std::string("styles/") + static_cast<char>('a' + i - 1), parts[i]);
    }
    // The marker itself is read from memory, as if it were markers/m.mkr beside the styles folder.
    QuorMarker reader;
    if (reader.Load(paths::FromCallerPath(FuzzScratch::Path("markers/m.mkr")), parts[0])) {
        runtime::MemorySink definition; // kept in memory: ImportFuzzer writes the files to the disk
        quorix::WriteDefinition(reader, definition);
    }
    return 0;
}
