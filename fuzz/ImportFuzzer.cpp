// The whole import, as the host runs it: either reader, both writers, the order name and the error that
// passes to the host, into a scratch folder.
#include "FuzzSupport.h"

#include "entry/QuorImport.h"
#include "files/QuorUnhandledFormatFeatureException.h"

#include <cstdlib>
#include <cstring>

using namespace quorix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ReadOptions options;
    options.bytes = &bytes;
    char name[32];
    std::memset(name, '@', sizeof name);
    try {
        const ImportOutcome outcome = RunImport(FuzzScratch::Path("lays/in#1.lay"), name,
                                                ImportPaths::InFolder(FuzzScratch::MakeDir("out")), options);
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
