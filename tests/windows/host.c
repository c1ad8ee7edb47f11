/* Windows host of quorix_marker.dll: loads the module with LoadLibrary, imports the bundled examples and some
 * bad files through ImportQuorixFile, and checks the result, the 21-byte order name buffer, the host-log
 * calls recorded by the vqlog.dll beside it and the bytes of both import files and of .\Log.txt.
 *
 *   host.exe <examples folder>
 *
 * The imports run in one process in table order, since the module keeps its diagnostic log for the life of
 * the process. Each case prints "ok" or "FAIL" after its reasons; the last line counts them. */
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef int(__cdecl* ImportFunction)(const char* filePath, char* orderName);
typedef char* (*RecordFunction)(void);
typedef void (*AnyFunction)(void);

#define OUTPUT_FOLDER "c:\\workbase\\temp"
/* The host-log record of a file in neither format. */
#define NOT_IN_FORMAT(path, base)                                                                            \
    "3 22000 File '" path "' is not in Quorix LayY or Marker format. [" base "]\n"

static const char* const kOutputs[2] = {"csvimprt.txt", "posimport.txt"};
static const char kEarlier[] = "left by an earlier import\r\n";
static const char kLogHeader[] =
    "\r\n[   0]Log file for CAD data parser demo [file format investigation support] follows: ";
enum { kNameSize = 21, kBufferSize = 32, kFill = '@' }; /* the host's 21 bytes, then guard bytes */

enum Outcome {
    kExpected, /* true; both import files equal those of examples\expected\<order name> */
    kWritten,  /* true; the import files are not compared */
    kNoFolder, /* true, run without c:\workbase\temp, which stays missing */
    kFailed    /* false; both import files and the name buffer are left as they were */
};

static const struct {
    const char* path; /* "%s" stands for the examples folder */
    enum Outcome outcome;
    const char* name; /* order name before the cut to 20 characters */
    const char* log;  /* host-log record */
} kCases[] = {
    {"", kFailed, NULL, NOT_IN_FORMAT("", "")}, /* first import: creates no .\Log.txt */
    {"%s\\lays\\W12.LAY", kExpected, "W12-LAY", ""},
    {"%s\\lays\\SKIP-01.LAY", kExpected, "SKIP-01-LAY", ""},
    {"%s\\markers\\m1.mkr", kExpected, "m1-mkr", ""},
    {"%s\\lays\\LONG.LAY", kExpected, "LONG-LAY", ""}, /* position file made in parts at once */
    {"c:\\qx\\twenty-five.chars#name.LY", kWritten, "twenty-five-chars-name-LY", ""}, /* cut to 20 */
    {"c:\\qx\\notes.txt", kFailed, NULL, NOT_IN_FORMAT("c:\\qx\\notes.txt", "notes.txt")},
    {"c:\\qx\\missing.LAY", kFailed, NULL, NOT_IN_FORMAT("c:\\qx\\missing.LAY", "missing.LAY")},
    {"c:\\qx\\old.mkr", kFailed, NULL,
     "3 22000 Marker file old.mkr has not supported format ver.11.\n" NOT_IN_FORMAT("c:\\qx\\old.mkr",
                                                                                    "old.mkr")},
    {"%s\\lays\\W12.LAY", kNoFolder, "W12-LAY", ""},
};

static int passed, failed, caseFailures;

static void Check(int ok, const char* format, ...) {
    if (ok) {
        return;
    }
    va_list args;
    va_start(args, format);
    printf("     - ");
    vprintf(format, args);
    printf("\n");
    va_end(args);
    ++caseFailures;
}

static void EndCase(const char* name, const char* more) {
    printf("%s %s%s\n", caseFailures == 0 ? "ok  " : "FAIL", name, more);
    caseFailures == 0 ? ++passed : ++failed;
    caseFailures = 0;
}

static void Setup(int ok, const char* what) {
    if (!ok) {
        printf("cannot %s (error %lu)\n", what, GetLastError());
        exit(2);
    }
}

static void Show(const char* label, const char* bytes, size_t size) {
    printf("       %s \"", label);
    for (size_t i = 0; i < size && i < 120; ++i) {
        const unsigned char c = (unsigned char)bytes[i];
        if (c == '\r' || c == '\n' || c == '\\') {
            printf(c == '\r' ? "\\r" : c == '\n' ? "\\n" : "\\\\");
        } else {
            printf(c >= 0x20 && c < 0x7F ? "%c" : "\\x%02X", c);
        }
    }
    printf(size > 120 ? "\"...\n" : "\"\n");
}

static void CheckBytes(const char* what, const char* got, size_t gotSize, const char* want, size_t wantSize) {
    size_t at = 0;
    while (at < gotSize && at < wantSize && got[at] == want[at]) {
        ++at;
    }
    Check(at == gotSize && at == wantSize, "%s: %u bytes, %u expected, first difference at %u", what,
          (unsigned)gotSize, (unsigned)wantSize, (unsigned)at);
    if (at != gotSize || at != wantSize) {
        const size_t from = at > 30 ? at - 30 : 0;
        Show("expected from there", want + from, wantSize - from);
        Show("got from there     ", got + from, gotSize - from);
    }
}

/* The whole file, or NULL when it cannot be opened. */
static char* ReadAll(const char* path, size_t* size) {
    FILE* file = fopen(path, "rb");
    if (file == NULL) {
        return NULL;
    }
    fseek(file, 0, SEEK_END);
    const size_t capacity = (size_t)ftell(file);
    char* data = (char*)malloc(capacity + 1);
    rewind(file);
    *size = fread(data, 1, capacity, file);
    fclose(file);
    return data;
}

static void CheckFile(const char* path, const char* want, size_t wantSize) {
    size_t size = 0;
    char* got = ReadAll(path, &size);
    Check(got != NULL, "%s is missing", path);
    if (got != NULL) {
        CheckBytes(path, got, size, want, wantSize);
    }
    free(got);
}

static void Put(const char* path, const char* text) {
    FILE* file = fopen(path, "wb");
    Setup(file != NULL && fputs(text, file) >= 0 && fclose(file) == 0, "write a file");
}

static void Folder(const char* path) {
    Setup(CreateDirectoryA(path, NULL) || GetLastError() == ERROR_ALREADY_EXISTS, "create a folder");
}

int main(int argc, char** argv) {
    setvbuf(stdout, NULL, _IONBF, 0);
    if (argc != 2) {
        printf("usage: host.exe <examples folder>\n");
        return 2;
    }
    char path[MAX_PATH + 64];
    GetModuleFileNameA(NULL, path, MAX_PATH);
    strcpy(strrchr(path, '\\') + 1, "quorix_marker.dll");
    HMODULE module = LoadLibraryA(path);
    ImportFunction import =
        module != NULL ? (ImportFunction)(AnyFunction)GetProcAddress(module, "ImportQuorixFile") : NULL;
    HMODULE vqlog = GetModuleHandleA("vqlog.dll");
    RecordFunction record =
        vqlog != NULL ? (RecordFunction)(AnyFunction)GetProcAddress(vqlog, "vqlog_record") : NULL;
    if (import == NULL || record == NULL) {
        printf("FAIL no %s (error %lu)\nwindows-host: 0 passed, 1 failed\n",
               module == NULL   ? path
               : import == NULL ? "ImportQuorixFile"
                                : "recording vqlog.dll",
               GetLastError());
        return 1;
    }

    Folder("c:\\qx");
    Folder("c:\\qx\\work");
    Folder("c:\\workbase");
    Folder(OUTPUT_FOLDER);
    Setup(SetCurrentDirectoryA("c:\\qx\\work"), "change to c:\\qx\\work");
    snprintf(path, sizeof path, "%s\\lays\\W12.LAY", argv[1]);
    Setup(CopyFileA(path, "c:\\qx\\twenty-five.chars#name.LY", FALSE), "copy W12.LAY");
    Put("c:\\qx\\notes.txt", "plain text\r\nsecond line\r\n");
    Put("c:\\qx\\old.mkr", "%11\r\n0\r\n");
    DeleteFileA("c:\\qx\\missing.LAY");

    for (size_t i = 0; i < sizeof kCases / sizeof kCases[0]; ++i) {
        const enum Outcome outcome = kCases[i].outcome;
        char input[MAX_PATH], output[MAX_PATH], expected[MAX_PATH + 64], got[kBufferSize], want[kBufferSize];
        snprintf(input, sizeof input, kCases[i].path, argv[1]);
        for (int f = 0; f < 2; ++f) {
            snprintf(output, sizeof output, OUTPUT_FOLDER "\\%s", kOutputs[f]);
            outcome == kNoFolder ? Setup(DeleteFileA(output), "delete an import file")
                                 : Put(output, kEarlier);
        }
        Setup(outcome != kNoFolder || RemoveDirectoryA(OUTPUT_FOLDER), "remove " OUTPUT_FOLDER);
        record()[0] = '\0';
        memset(got, kFill, sizeof got);
        memset(want, kFill, sizeof want);

        const int result = import(input, got);

        Check(result == (outcome != kFailed), "result %d", result);
        if (kCases[i].name != NULL) { /* the name, cut to 20 characters, a NUL; NUL at index 20 */
            const size_t length = strlen(kCases[i].name) < 20 ? strlen(kCases[i].name) : 20;
            memcpy(want, kCases[i].name, length);
            want[length] = want[kNameSize - 1] = '\0';
        }
        CheckBytes("name buffer", got, sizeof got, want, sizeof want);
        CheckBytes("host log", record(), strlen(record()), kCases[i].log, strlen(kCases[i].log));
        for (int f = 0; f < 2 && (outcome == kExpected || outcome == kFailed); ++f) {
            snprintf(output, sizeof output, OUTPUT_FOLDER "\\%s", kOutputs[f]);
            size_t size = sizeof kEarlier - 1;
            char* data = NULL;
            if (outcome == kExpected) {
                snprintf(expected, sizeof expected, "%s\\expected\\%s\\%s", argv[1], kCases[i].name,
                         kOutputs[f]);
                data = ReadAll(expected, &size);
                Check(data != NULL, "cannot read %s", expected);
            }
            CheckFile(output, data != NULL ? data : kEarlier, size);
            free(data);
        }
        if (outcome == kNoFolder) {
            Check(GetFileAttributesA(OUTPUT_FOLDER) == INVALID_FILE_ATTRIBUTES, OUTPUT_FOLDER " was created");
            Folder(OUTPUT_FOLDER);
        }
        if (i == 0) {
            Check(GetFileAttributesA("Log.txt") == INVALID_FILE_ATTRIBUTES, ".\\Log.txt was created");
        }
        EndCase(input[0] != '\0' ? input : "(empty path)",
                outcome == kNoFolder ? " without " OUTPUT_FOLDER : "");
    }

    CheckFile("Log.txt", kLogHeader, sizeof kLogHeader - 1);
    Check(FreeLibrary(module), "FreeLibrary failed (error %lu)", GetLastError());
    EndCase(".\\Log.txt holds its header only; the module unloads", "");
    printf("windows-host: %d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
