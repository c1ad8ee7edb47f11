#include "support/HostLogRecorder.h"

namespace {
std::vector<HostLogCall>& Store() {
    static std::vector<HostLogCall> calls;
    return calls;
}
} // namespace

extern "C" void dll_vq_log_error(int level, int code, const char* text, const char* detail) {
    HostLogCall call;
    call.level = level;
    call.code = code;
    call.text = text != nullptr ? text : "";
    if (detail != nullptr) {
        call.detail = detail;
    }
    Store().push_back(call);
}

const std::vector<HostLogCall>& HostLogRecorder::Calls() {
    return Store();
}

void HostLogRecorder::Clear() {
    Store().clear();
}
