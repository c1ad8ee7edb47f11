/* The host's vqlog.dll for the Windows test host: dll_vq_log_error appends each call to a text record,
 * "level code text [detail]" a line, without the brackets when the detail is null. The host reads and clears
 * the record through vqlog_record. */
#include <stdio.h>
#include <string.h>

static char record[8192];

__declspec(dllexport) void dll_vq_log_error(int level, int code, const char* text, const char* detail) {
    const size_t used = strlen(record);
    snprintf(record + used, sizeof record - used, detail != NULL ? "%d %d %s [%s]\n" : "%d %d %s\n", level,
             code, text != NULL ? text : "(null text)", detail);
}

__declspec(dllexport) char* vqlog_record(void) {
    return record;
}
