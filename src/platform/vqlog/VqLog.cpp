// Stand-in for the host's logging library: one line per reported error on the standard error stream.
#include "platform/HostLog.h" // the declaration that the module calls, which exports it on POSIX systems

#include <cstdio>

extern "C" void dll_vq_log_error(int level, int code, const char* text, const char* detail) {
    if (detail != nullptr) {
        std::fprintf(stderr, "vqlog: level %d code %d: %s [%s]\n", level, code, text != nullptr ? text : "",
                     detail);
    } else {
        std::fprintf(stderr, "vqlog: level %d code %d: %s\n", level, code, text != nullptr ? text : "");
    }
    std::fflush(stderr);
}
