#include "platform/HostLog.h"

namespace quorix::detail {

void ReportToHost(const std::string& text, const char* detail) {
    dll_vq_log_error(kHostLogLevel, kHostLogCode, text.c_str(), detail);
}

} // namespace quorix::detail
