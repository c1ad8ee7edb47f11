// Stand-in for the host's logging library: one line per reported error on the standard error stream.
#include <cstdio>

#ifdef _WIN32
#define VQLOG_EXPORT __declspec(dllexport)
#else
#define VQLOG_EXPORT __attribute__((visibility("default")))
#endif

extern "C" VQLOG_EXPORT void dll_vq_log_error(int level, int code, const char* text, const char* detail) {
    if (detail != nullptr) {
        std::fprintf(stderr, "vqlog: level %d code %d: %s [%s]\n", level, code, text != nullptr ? text : "",
                     detail);
    } else {
        std::fprintf(stderr, "vqlog: level %d code %d: %s\n", level, code, text != nullptr ? text : "");
    }
    std::fflush(stderr);
}
