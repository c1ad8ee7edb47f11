#ifndef QUORIX_MARKER_IMPORTQUORIXFILE_H
#define QUORIX_MARKER_IMPORTQUORIXFILE_H

/* The import module's functions. The header compiles as C89 and as C++.
 *
 * ImportQuorixFile: the function the host calls, into the host's fixed folder.
 *
 *   filePath   NUL-terminated path of a Quorix LAY-Y lay file or marker definition file.
 *   orderName  caller's buffer of at least 21 bytes; receives the order name (at most 20 characters and a
 *              NUL) when the result is 1, and is not touched otherwise.
 *   result     1 when a reader accepted the file: the lay reader, else the marker reader, which accepts a
 *              marker only when the style file of its last used style slot loads (one without used slots
 *              too). 1 does not say that the import files were written. 0 when neither reader accepted
 *              it: a file in neither format, one that cannot be read, or a marker whose last style file is
 *              missing or refused; this is reported to the host's error log through dll_vq_log_error, and
 *              nothing is written. 0 also when memory runs out during the import; that may go unreported,
 *              and an import file may already have been replaced then.
 *
 * With a result of 1 the definition file and then the position file are written. Each is written complete
 * under a temporary name in the output folder and only then put in place of the old one, keeping its
 * owner, group and permissions; a file that cannot be written (a missing or read-only folder, a full disk)
 * leaves the old file as it was, and the result is still 1. Imports into one folder take turns (threads
 * of one host, or processes): each writes its pair while it holds the folder's lock, waiting up to 30
 * seconds for another, and writing all the same after that. Not promised: the files after a power loss
 * (nothing is synced to the disk), or a whole pair when the process is killed between its two moves.
 *
 * A lay whose placements disagree with their counts (a model or piece name listed twice, both with
 * placements) ends in a C++ exception of the module's own type that leaves this function, the only one
 * that does: the definition file is then complete, the position file empty, and orderName untouched. A
 * host written in C must not hand such files to ImportQuorixFile; quorix_import below reports them.
 */
#ifdef __cplusplus
extern "C" {
#endif

/* On Windows the function is exported by its plain name through the module definition file
 * (quorix_marker.def) and keeps the C calling convention whatever a caller's default convention is. */
#if defined(_WIN32)
#define QUORIX_MARKER_API
#define QUORIX_MARKER_CALL __cdecl
#else
#define QUORIX_MARKER_API __attribute__((visibility("default")))
#define QUORIX_MARKER_CALL
#endif

QUORIX_MARKER_API int QUORIX_MARKER_CALL ImportQuorixFile(const char* filePath, char* orderName);

#if !defined(_WIN32)
/* quorix_import: the import for library hosts (the Linux shared library only; the Windows DLL keeps its
 * single export).
 *
 * Reads the lay or marker file at `path` and writes csvimprt.txt and posimport.txt into the existing
 * folder `out_dir`: both files are replaced together, or neither is touched. It never throws, never ends
 * the process, does not create Log.txt, and reports nothing to the host's error log but what the marker
 * reader always reports (a marker of an unsupported format version). Calls on different threads may run
 * at the same time; calls into one folder (threads, or processes) take turns, the later waiting up to 30
 * seconds for the earlier (QUORIX_FOLDER_BUSY after that, nothing written).
 *
 * Returns result->status; `result` may be null, and its fields are always set otherwise. */

/* The values of quorix_result.status. More may follow in later versions. */
#define QUORIX_IMPORTED 0       /* both import files written */
#define QUORIX_NOT_IN_FORMAT 1  /* the file is neither a lay nor a marker the readers accept */
#define QUORIX_CANNOT_READ 2    /* the file cannot be opened; system_error says why */
#define QUORIX_STYLE_MISSING 3  /* the style file of a marker's last used slot cannot be read or used */
#define QUORIX_POSITION_ERROR 4 /* a lay's placements disagree with their counts (a name listed twice) */
#define QUORIX_CANNOT_WRITE 5   /* an import file cannot be written; system_error says why */
#define QUORIX_OUT_OF_MEMORY 6  /* memory ran out; out_dir is as it was */
#define QUORIX_INTERNAL_ERROR 7 /* anything else that stopped the import; out_dir is as it was */
#define QUORIX_FOLDER_BUSY 8    /* another import kept writing into out_dir for the whole wait */

typedef struct quorix_result {
    int status;          /* one of the QUORIX_* values above */
    int system_error;    /* errno for QUORIX_CANNOT_READ / _CANNOT_WRITE when the system gave one, else 0 */
    char order_name[21]; /* the order name when imported, else "" */
    char message[512];   /* one line in the user's words, "" when imported without warnings */
} quorix_result;

QUORIX_MARKER_API int quorix_import(const char* path, const char* out_dir, quorix_result* result);
#endif

#ifdef __cplusplus
}
#endif

#endif
