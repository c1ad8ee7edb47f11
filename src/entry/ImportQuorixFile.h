#pragma once

// The module's one exported function.
//
//   filePath   NUL-terminated path of a Quorix LAY-Y lay file or marker definition file.
//   orderName  caller's buffer of at least 21 bytes; receives the order name (at most 20 characters and a
//              NUL) when the result is 1, and is not touched otherwise.
//   result     1 when the file was imported (both host import files written), 0 when it is in neither
//              format (reported to the host's error log through dll_vq_log_error).
#ifdef __cplusplus
extern "C" {
#endif

// On Windows the function is exported by its plain name through the module definition file
// (quorix_marker.def) and keeps the C calling convention whatever a caller's default convention is.
#if defined(_WIN32)
#define QUORIX_MARKER_API
#define QUORIX_MARKER_CALL __cdecl
#else
#define QUORIX_MARKER_API __attribute__((visibility("default")))
#define QUORIX_MARKER_CALL
#endif

QUORIX_MARKER_API int QUORIX_MARKER_CALL ImportQuorixFile(const char* filePath, char* orderName);

#ifdef __cplusplus
}
#endif
