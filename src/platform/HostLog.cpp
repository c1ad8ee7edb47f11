#include "platform/HostLog.h"

void HostLog::Report(const std::string& text, const char* detail) {
    dll_vq_log_error(kLevel, kCode, text.c_str(), detail);
}
