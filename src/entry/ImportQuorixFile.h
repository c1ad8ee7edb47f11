#pragma once

// The module's one exported function.
//
//   filePath   NUL-terminated path of a Quorix LAY-Y lay file or marker definition file.
//   orderName  caller's buffer of at least 21 bytes; receives the order name (at most 20 characters and a
//              NUL) when the result is 1, and is not touched otherwise.
//   result     1 when a reader accepted the file: the lay reader, else the marker reader, which accepts a
//              marker only when the style file of its last used style slot loads (one without used slots
//              too). 0 when neither did: a file in neither format, one that cannot be read, or a marker
//              whose last style file is missing or refused; this is reported to the host's error log
//              through dll_vq_log_error, and nothing is written. 0 also when memory runs out during the
//              import; that may go unreported, and an import file may already have been replaced then.
//
// With a result of 1 the definition file and then the position file are written. Each is written complete
// under a temporary name in the output folder and only then put in place of the old one; a file that
// cannot be written (a missing or read-only folder, a full disk) leaves the old file as it was, and the
// result is still 1: it says that the file was read, not that the import files were written.
//
// A lay whose placements disagree with their counts (a model or piece name listed twice, both with
// placements) ends in a C++ exception of the module's own type that leaves this function, the only one
// that does: the definition file is then complete, the position file empty, and orderName untouched. A
// host written in C must not be handed such files; the converter quorix-import reports them with exit
// status 65.
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
