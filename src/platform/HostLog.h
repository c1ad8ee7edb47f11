#pragma once

#include <string>

// The host's error log, supplied by the host's logging library (vqlog). C calling convention; `detail` is
// null for the calls that the host's interface knows as three-argument calls.
// On Windows it is imported from vqlog.dll through the import library made from platform/vqlog/vqlog.def.
extern "C"
#if defined(__GNUC__) && !defined(_WIN32)
    __attribute__((visibility("default")))
#endif
    void
#if defined(_WIN32)
    __cdecl
#endif
    dll_vq_log_error(int level, int code, const char* text, const char* detail);

// The module's link to the host's error log. Every report of the module goes out with the same level and
// code.
namespace quorix::detail {

constexpr int kHostLogLevel = 3;
constexpr int kHostLogCode = 22000;

// One call of the host's log function with level 3, code 22000, the text and the optional detail.
void ReportToHost(const std::string& text, const char* detail);

} // namespace quorix::detail
