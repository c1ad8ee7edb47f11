/* The host's logging library as the Windows test host supplies it: vqlog.dll with dll_vq_log_error, which
 * records every call in memory instead of logging it. The host reads the record back through the extra
 * vqlog_recorded_* functions of the same library. */
#include <stdlib.h>
#include <string.h>

#define RECORDER_API __declspec(dllexport)

enum { kMaxCalls = 64 };

typedef struct {
    int level;
    int code;
    char* text;
    char* detail; /* NULL for a call without a detail text */
} RecordedCall;

static RecordedCall calls[kMaxCalls];
static int callCount; /* calls recorded, at most kMaxCalls */
static int callsMade; /* calls made, also past the limit */

static char* Copy(const char* text) {
    if (text == NULL) {
        return NULL;
    }
    const size_t size = strlen(text) + 1;
    char* copy = (char*)malloc(size);
    if (copy != NULL) {
        memcpy(copy, text, size);
    }
    return copy;
}

RECORDER_API void dll_vq_log_error(int level, int code, const char* text, const char* detail) {
    ++callsMade;
    if (callCount == kMaxCalls) {
        return;
    }
    RecordedCall* call = &calls[callCount++];
    call->level = level;
    call->code = code;
    /* A null text is recorded as a distinct marker so that the host can tell it from an empty one. */
    call->text = text != NULL ? Copy(text) : Copy("<null text>");
    call->detail = Copy(detail);
}

RECORDER_API int vqlog_recorded_count(void) {
    return callsMade;
}

/* Fills the fields of call `index` (0-based); returns 0 when there is no such call. */
RECORDER_API int vqlog_recorded_call(int index, int* level, int* code, const char** text,
                                     const char** detail) {
    if (index < 0 || index >= callCount) {
        return 0;
    }
    *level = calls[index].level;
    *code = calls[index].code;
    *text = calls[index].text;
    *detail = calls[index].detail;
    return 1;
}

RECORDER_API void vqlog_recorded_clear(void) {
    for (int i = 0; i < callCount; ++i) {
        free(calls[i].text);
        free(calls[i].detail);
    }
    callCount = 0;
    callsMade = 0;
}
