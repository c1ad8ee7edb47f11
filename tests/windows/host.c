/* A Windows host of quorix_marker.dll: loads the module with LoadLibrary, calls ImportQuorixFile the way
 * the CAD host does, and checks what comes back: the result, the 21-byte order name buffer, the calls of
 * the host's error log (recorded by the vqlog.dll beside this program), the bytes of the two import files
 * in c:\workbase\temp and of the diagnostic log .\Log.txt.
 *
 *   host.exe [--version a.b.c] [--example <input file> <folder of expected import files>]...
 *
 * The module and the recording vqlog.dll lie in the folder of host.exe. Every input file of the built-in
 * cases is written by this program under c:\qx. An example's expected folder is named after the order
 * name that its import hands back and holds csvimprt.txt and posimport.txt.
 *
 * The imports run in a fixed order within one process, since the module keeps its diagnostic log for the
 * life of the process. Each case prints "ok" or "FAIL" with the reasons; the last line counts them. */
#include <windows.h>

#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef int(__cdecl* ImportFunction)(const char* filePath, char* orderName);
typedef int (*RecordedCountFunction)(void);
typedef int (*RecordedCallFunction)(int index, int* level, int* code, const char** text, const char** detail);
typedef void (*RecordedClearFunction)(void);
typedef void (*AnyFunction)(void);

/* A function of a loaded library, for a cast to its own type. */
static AnyFunction Function(HMODULE library, const char* name) {
    return library != NULL ? (AnyFunction)GetProcAddress(library, name) : NULL;
}

static HMODULE module;
static ImportFunction import;
static RecordedCountFunction recordedCount;
static RecordedCallFunction recordedCall;
static RecordedClearFunction recordedClear;

static const char kImportFolder[] = "c:\\workbase\\temp";
static const char kDefinitionFile[] = "c:\\workbase\\temp\\csvimprt.txt";
static const char kPositionFile[] = "c:\\workbase\\temp\\posimport.txt";
static const char kLogHeader[] =
    "\r\n[   0]Log file for CAD data parser demo [file format investigation support] follows: ";
static const char kMessage1Start[] = "File '";
static const char kMessage1End[] = "' is not in Quorix LayY or Marker format.";

/* ---- Bookkeeping of the cases ---------------------------------------------------------------------- */

static int casesPassed;
static int casesFailed;
static int caseFailures;
static const char* caseName;

static void BeginCase(const char* name) {
    caseName = name;
    caseFailures = 0;
    if (recordedClear != NULL) {
        recordedClear();
    }
}

static void EndCase(void) {
    if (caseFailures == 0) {
        printf("ok   %s\n", caseName);
        ++casesPassed;
    } else {
        printf("FAIL %s\n", caseName);
        ++casesFailed;
    }
    fflush(stdout);
}

static void Failure(const char* format, ...) {
    va_list args;
    va_start(args, format);
    printf("     - ");
    vprintf(format, args);
    printf("\n");
    va_end(args);
    ++caseFailures;
}

#define CHECK(condition, ...)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            Failure(__VA_ARGS__);                                                                            \
        }                                                                                                    \
    } while (0)

/* Prints bytes with C escapes, at most 160 of them. */
static void PrintEscaped(const char* bytes, size_t size) {
    const size_t shown = size < 160 ? size : 160;
    putchar('"');
    for (size_t i = 0; i < shown; ++i) {
        const unsigned char c = (unsigned char)bytes[i];
        if (c == '\r') {
            printf("\\r");
        } else if (c == '\n') {
            printf("\\n");
        } else if (c == '"' || c == '\\') {
            printf("\\%c", c);
        } else if (c < 0x20 || c >= 0x7F) {
            printf("\\x%02X", c);
        } else {
            putchar(c);
        }
    }
    printf(size > shown ? "\"..." : "\"");
}

static void CheckBytes(const char* what, const char* actual, size_t actualSize, const char* expected,
                       size_t expectedSize) {
    if (actualSize == expectedSize && memcmp(actual, expected, expectedSize) == 0) {
        return;
    }
    size_t at = 0;
    while (at < actualSize && at < expectedSize && actual[at] == expected[at]) {
        ++at;
    }
    Failure("%s: %u bytes where %u were expected, first difference at byte %u", what, (unsigned)actualSize,
            (unsigned)expectedSize, (unsigned)at);
    const size_t from = at > 40 ? at - 40 : 0;
    printf("       expected from byte %u: ", (unsigned)from);
    PrintEscaped(expected + from, expectedSize - from);
    printf("\n       actual from byte %u:   ", (unsigned)from);
    PrintEscaped(actual + from, actualSize - from);
    printf("\n");
}

/* ---- Files ------------------------------------------------------------------------------------------ */

static int PathExists(const char* path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

/* Reads a whole file; returns 0 when it cannot be opened. The caller frees *data. */
static int ReadWholeFile(const char* path, char** data, size_t* size) {
    FILE* file = fopen(path, "rb");
    if (file == NULL) {
        return 0;
    }
    size_t capacity = 4096;
    size_t used = 0;
    char* buffer = (char*)malloc(capacity);
    for (;;) {
        if (used == capacity) {
            capacity *= 2;
            buffer = (char*)realloc(buffer, capacity);
        }
        const size_t got = fread(buffer + used, 1, capacity - used, file);
        if (got == 0) {
            break;
        }
        used += got;
    }
    fclose(file);
    *data = buffer;
    *size = used;
    return 1;
}

static void WriteWholeFile(const char* path, const void* data, size_t size) {
    FILE* file = fopen(path, "wb");
    if (file == NULL || (size > 0 && fwrite(data, 1, size, file) != size)) {
        printf("cannot write %s\n", path);
        exit(2);
    }
    fclose(file);
}

static void WriteText(const char* path, const char* text) {
    WriteWholeFile(path, text, strlen(text));
}

static void MakeFolder(const char* path) {
    if (!CreateDirectoryA(path, NULL) && GetLastError() != ERROR_ALREADY_EXISTS) {
        printf("cannot create the folder %s (error %lu)\n", path, GetLastError());
        exit(2);
    }
}

static void RemoveFile(const char* path) {
    if (PathExists(path) && !DeleteFileA(path)) {
        printf("cannot delete %s (error %lu)\n", path, GetLastError());
        exit(2);
    }
}

static void CheckFileBytesN(const char* path, const char* expected, size_t expectedSize) {
    char* data = NULL;
    size_t size = 0;
    if (!ReadWholeFile(path, &data, &size)) {
        Failure("%s is missing", path);
        return;
    }
    CheckBytes(path, data, size, expected, expectedSize);
    free(data);
}

static void CheckFileBytes(const char* path, const char* expected) {
    CheckFileBytesN(path, expected, strlen(expected));
}

static void CheckFileMissing(const char* path) {
    CHECK(!PathExists(path), "%s exists but should not", path);
}

/* Known contents in both import files, to see whether a call touched them. */
static const char kDefinitionSentinel[] = "definition file of an earlier import\r\n";
static const char kPositionSentinel[] = "position file of an earlier import\r\n";

static void WriteSentinels(void) {
    WriteText(kDefinitionFile, kDefinitionSentinel);
    WriteText(kPositionFile, kPositionSentinel);
}

static void CheckSentinelsKept(void) {
    CheckFileBytes(kDefinitionFile, kDefinitionSentinel);
    CheckFileBytes(kPositionFile, kPositionSentinel);
}

/* ---- The order name buffer ----------------------------------------------------------------------------- */

enum { kNameSize = 21, kGuardSize = 11 };
static const char kFill = '@';
static char nameBuffer[kNameSize + kGuardSize]; /* the host's 21 bytes and guard bytes behind them */

static void FillName(void) {
    memset(nameBuffer, kFill, sizeof nameBuffer);
}

static void CheckGuardBytes(void) {
    for (size_t i = kNameSize; i < sizeof nameBuffer; ++i) {
        CHECK(nameBuffer[i] == kFill, "byte %u behind the 21-byte name buffer was written", (unsigned)i);
    }
}

/* The name is `expected` followed by a NUL; the bytes after that NUL up to index 19 keep the fill; index 20
 * holds a NUL. */
static void CheckNameHandedBack(const char* expected) {
    const size_t length = strlen(expected);
    CHECK(memcmp(nameBuffer, expected, length) == 0 && nameBuffer[length] == '\0',
          "order name %.*s where %s was expected", kNameSize, nameBuffer, expected);
    for (size_t i = length + 1; i < kNameSize - 1; ++i) {
        CHECK(nameBuffer[i] == kFill, "name byte %u was changed to 0x%02X", (unsigned)i,
              (unsigned char)nameBuffer[i]);
    }
    CHECK(nameBuffer[kNameSize - 1] == '\0', "name byte 20 is 0x%02X, not NUL",
          (unsigned char)nameBuffer[kNameSize - 1]);
    CheckGuardBytes();
}

static void CheckNameUntouched(void) {
    for (size_t i = 0; i < sizeof nameBuffer; ++i) {
        CHECK(nameBuffer[i] == kFill, "name byte %u was written although the import failed", (unsigned)i);
    }
}

/* ---- The host's error log ----------------------------------------------------------------------------- */

typedef struct {
    const char* text;
    const char* detail; /* NULL: a call without a detail text */
} ExpectedCall;

static void CheckLogCalls(const ExpectedCall* expected, int expectedCount) {
    const int count = recordedCount();
    CHECK(count == expectedCount, "%d calls of dll_vq_log_error where %d were expected", count,
          expectedCount);
    for (int i = 0; i < count && i < expectedCount; ++i) {
        int level = 0;
        int code = 0;
        const char* text = NULL;
        const char* detail = NULL;
        if (!recordedCall(i, &level, &code, &text, &detail)) {
            Failure("call %d was not recorded", i + 1);
            continue;
        }
        CHECK(level == 3, "call %d: level %d instead of 3", i + 1, level);
        CHECK(code == 22000, "call %d: code %d instead of 22000", i + 1, code);
        CHECK(strcmp(text, expected[i].text) == 0, "call %d: text \"%s\" instead of \"%s\"", i + 1, text,
              expected[i].text);
        if (expected[i].detail == NULL) {
            CHECK(detail == NULL, "call %d: detail \"%s\" where none was expected", i + 1, detail);
        } else if (detail == NULL) {
            Failure("call %d: no detail where \"%s\" was expected", i + 1, expected[i].detail);
        } else {
            CHECK(strcmp(detail, expected[i].detail) == 0, "call %d: detail \"%s\" instead of \"%s\"", i + 1,
                  detail, expected[i].detail);
        }
    }
}

static void CheckNoLogCalls(void) {
    CheckLogCalls(NULL, 0);
}

/* The report of a file in neither format, for the path as passed and its base name. */
static char* NotInFormatText(const char* path) {
    const size_t size = strlen(kMessage1Start) + strlen(path) + strlen(kMessage1End) + 1;
    char* text = (char*)malloc(size);
    snprintf(text, size, "%s%s%s", kMessage1Start, path, kMessage1End);
    return text;
}

static void CheckReportedAsNotInFormat(const char* path, const char* baseName) {
    char* text = NotInFormatText(path);
    const ExpectedCall call = {text, baseName};
    CheckLogCalls(&call, 1);
    free(text);
}

/* ---- LAY-Y files ------------------------------------------------------------------------------------- */

typedef struct {
    unsigned char bytes[4096];
    size_t size;
} Bytes;

static void PutBytes(Bytes* b, const void* data, size_t size) {
    if (b->size + size > sizeof b->bytes) {
        printf("test lay too large\n");
        exit(2);
    }
    memcpy(b->bytes + b->size, data, size);
    b->size += size;
}

static void PutI8(Bytes* b, int value) {
    const unsigned char c = (unsigned char)value;
    PutBytes(b, &c, 1);
}

static void PutI16(Bytes* b, int value) {
    PutI8(b, (value >> 8) & 0xFF);
    PutI8(b, value & 0xFF);
}

static void PutI32(Bytes* b, int32_t value) {
    const uint32_t v = (uint32_t)value;
    PutI8(b, (int)(v >> 24));
    PutI8(b, (int)((v >> 16) & 0xFF));
    PutI8(b, (int)((v >> 8) & 0xFF));
    PutI8(b, (int)(v & 0xFF));
}

static void PutF32(Bytes* b, float value) {
    int32_t bits;
    memcpy(&bits, &value, sizeof bits);
    PutI32(b, bits);
}

static void PutString(Bytes* b, const char* text) {
    PutBytes(b, text, strlen(text) + 1);
}

/* A record: the length of tag and content (big-endian), the tag, the content. */
static void PutRecord(Bytes* b, char tag, const Bytes* content) {
    PutI16(b, (int)content->size + 1);
    PutI8(b, tag);
    PutBytes(b, content->bytes, content->size);
}

/* One 44-byte placement entry of a 'P' or 'T' record. */
static void PutPlacement(Bytes* b, int model, int piece, int flag1, int flag2, float angle, float x,
                         float y) {
    PutI32(b, model);
    PutI32(b, piece);
    PutI8(b, flag1);
    PutI8(b, 1); /* first ordinal */
    PutI8(b, 0);
    PutI8(b, flag2);
    PutF32(b, angle);
    PutF32(b, x);
    PutF32(b, y);
    PutI16(b, 1); /* second ordinal */
    PutI16(b, 0);
    PutI32(b, 0);
    PutI32(b, 0);
    PutI8(b, 0);
    PutI8(b, 0);
    PutI16(b, 1); /* third ordinal */
    PutI8(b, 0);
    PutI8(b, 0);
    PutI16(b, 0);
}

/* The 101-byte lay of one piece AB in the model S, 1600 mm wide, placed once turned by 90 degrees. */
static const unsigned char kSmallLay[101] = {
    0x00, 0x05, 0x59, 0x00, 0x00, 0x00, 0x01,                         /* Y */
    0x00, 0x19, 0x57, 0x44, 0xC8, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, /* W */
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x0E, 0x4F, 0x00, 0x00, 0x00, 0x01, 0x41, 0x42, 0x00, 0x00, 0x00, 0x00, 0x01, 0x53, 0x00, /* O */
    0x00, 0x31, 0x50, 0x00, 0x00, 0x00, 0x01,                                                       /* P */
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x42, 0xB4, 0x00, 0x00,
    0x41, 0x20, 0x00, 0x00, 0x41, 0xA0, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00,
};
static const char kSmallLayPositions[] = "AB,S,8,1,270,10,20,0,0,0\r\n";

/* The definition file of the small lay under the order name `orderName`. */
static char* SmallLayDefinition(const char* orderName) {
    static const char pattern[] = "=:model\r\nm:%s-S\r\np:AB\r\ni:1\r\n=:order\r\no:%s\r\n"
                                  "d:quorix lay Y file import\r\nw:62.9921\r\nm:%s-S\r\nq:1\r\ns:S\r\n";
    const size_t size = sizeof pattern + 3 * strlen(orderName);
    char* text = (char*)malloc(size);
    snprintf(text, size, pattern, orderName, orderName, orderName);
    return text;
}

/* A lay of two models and two pieces, 2540 mm wide, with 'P' and 'T' placements, both flags, turned
 * angles and coordinates that need the exponent notation. */
static void BuildMixedLay(Bytes* lay) {
    Bytes content;
    lay->size = 0;
    content.size = 0;
    PutI32(&content, 1);
    PutRecord(lay, 'Y', &content);
    content.size = 0;
    PutF32(&content, 2540.0f);
    PutF32(&content, 10000.0f);
    for (int i = 0; i < 4; ++i) {
        PutI32(&content, 0);
    }
    PutRecord(lay, 'W', &content);
    content.size = 0;
    PutI32(&content, 2);
    PutString(&content, "FRONT");
    PutString(&content, "BACK");
    PutI32(&content, 2);
    PutString(&content, "S");
    PutString(&content, "M");
    PutRecord(lay, 'O', &content);
    content.size = 0;
    PutI32(&content, 3);
    PutPlacement(&content, 0, 0, 0, 0, 0.0f, 10.0f, 20.0f);
    PutPlacement(&content, 1, 0, 1, 0, 180.0f, 123.4567f, 45.5f);
    PutPlacement(&content, 0, 1, 1, 1, 200.0f, 0.00001f, 999999.9f);
    PutRecord(lay, 'P', &content);
    content.size = 0;
    PutI32(&content, 1);
    PutPlacement(&content, 0, 0, 0, 1, -90.0f, -0.5f, 1234567.0f);
    PutRecord(lay, 'T', &content);
}

static const char kMixedLayDefinition[] = "=:model\r\nm:R2-LAY-S\r\np:FRONT\r\ni:2\r\np:BACK\r\ni:1\r\n"
                                          "=:model\r\nm:R2-LAY-M\r\np:FRONT\r\ni:1\r\n"
                                          "=:order\r\no:R2-LAY\r\nd:quorix lay Y file import\r\nw:100\r\n"
                                          "m:R2-LAY-S\r\nq:1\r\ns:S\r\nm:R2-LAY-M\r\nq:1\r\ns:M\r\n";
static const char kMixedLayPositions[] = "FRONT,S,8,0,0,10,20,0,0,0\r\n"
                                         "FRONT,S,16,2,-90,-0.5,1.23457e+006,0,0,0\r\n"
                                         "BACK,S,8,3,20,1e-005,1e+006,0,0,0\r\n"
                                         "FRONT,M,8,1,0,123.457,45.5,0,0,0\r\n";

/* ---- Marker and style files --------------------------------------------------------------------------- */

/* Format version 19; two used style slots (the second one lists size 40 with another size count), an
 * empty slot with sizes, and a slot with no sizes; the file ends before the fortieth slot. */
static const char kMarker[] = "%19\r\n"
                              "1\r\n1.0\r\n1.0\r\n0\r\n0\r\n0\r\n0\r\n50800000\r\n1651000\r\n0\r\n"
                              "%\r\n"
                              "80\r\n1\r\n0\r\n2.5\r\nspring collection\r\nsecond text\r\nnot kept\r\n7\r\n"
                              "1\r\n2\r\n3\r\n4\r\n"
                              "shirt.sty\r\n2\r\n38\r\n40\r\n1.0\r\n1.0\r\n1\r\n1\r\n0\r\n0\r\n"
                              "trousers.sty\r\n1\r\n40\r\n1.0\r\n2\r\n0\r\n0\r\n"
                              "\r\n2\r\n44\r\n46\r\n1.0\r\n1.0\r\n1\r\n1\r\n0\r\n0\r\n"
                              "shirt.sty\r\n0\r\n";

#define STYLE_BLOCK_TAIL(eol) "0" eol "a" eol "b" eol "0" eol "c" eol "d" eol "e" eol "f" eol "g" eol

static const char kShirtStyle[] = "%16\r\n3\r\nshirt\r\nmen\r\nclassic shirt\r\nversion 16 line\r\n"
                                  "+\r\nfront\r\nfront panel\r\nX 1 0 rest\r\n" STYLE_BLOCK_TAIL(
                                      "\r\n") "+ back\r\nback\r\nback panel\r\nX 2 1 "
                                              "rest\r\n" STYLE_BLOCK_TAIL("\r\n") "+\r\ncollar\r\ncollar\r\nX"
                                                                                  " 1 1 "
                                                                                  "\r\n" STYLE_BLOCK_TAIL("\r"
                                                                                                          "\n") "end\r\n";

static const char kTrousersStyle[] = "%12\n5\ntrousers\nmen\nslim trousers\n"
                                     "+\nback\nback\nX 1 1 rest\n" STYLE_BLOCK_TAIL(
                                         "\n") "+\nWaist.band\nband\nX 1 0 rest\n" STYLE_BLOCK_TAIL("\n");

static const char kMarkerDefinition[] =
    "=:model\r\nm:m1-mkr-38\r\n"
    "p:back\r\ni:2\r\nx:1\r\np:collar\r\ni:1\r\nx:1\r\np:front\r\ni:1\r\n"
    "=:model\r\nm:m1-mkr-40\r\n"
    "p:Waist-band\r\ni:1\r\np:back\r\ni:2\r\nx:1\r\np:back\r\ni:1\r\nx:1\r\n"
    "p:collar\r\ni:1\r\nx:1\r\np:front\r\ni:1\r\n"
    "=:order\r\no:m1-mkr\r\nd:quorix marker definition file import\r\n"
    "w:65\r\nm:m1-mkr-38\r\nq:1\r\ns:38\r\nm:m1-mkr-40\r\nq:1\r\ns:40\r\n";

/* Version 10: no lines of the later versions; its only style file does not exist. */
static const char kMarkerOfMissingStyle[] = "%10\n1\n1.0\n1.0\n0\n0\n0\n0\n50800000\n1397000\n0\n%\n"
                                            "80\n0\n0\ntext one\nnot kept\n"
                                            "nothere.sty\n1\n40\n1.0\n1\n";

/* The text with every CR LF pair turned into LF. */
static char* WithLfOnly(const char* text) {
    char* copy = (char*)malloc(strlen(text) + 1);
    char* out = copy;
    for (const char* p = text; *p != '\0'; ++p) {
        if (!(p[0] == '\r' && p[1] == '\n')) {
            *out++ = *p;
        }
    }
    *out = '\0';
    return copy;
}

/* ---- Cases -------------------------------------------------------------------------------------------- */

static int Import(const char* path) {
    FillName();
    return import(path, nameBuffer);
}

static void CheckResult(int result, int expected) {
    CHECK(result == expected, "ImportQuorixFile returned %d instead of %d", result, expected);
}

static void CaseModuleLoads(const char* binFolder) {
    BeginCase("module loads from its folder and exports ImportQuorixFile by its plain name");
    CHECK(GetProcAddress(module, "_ImportQuorixFile") == NULL,
          "a decorated name _ImportQuorixFile is exported");
    CHECK(GetProcAddress(module, "ImportQuorixFile@8") == NULL,
          "a decorated name ImportQuorixFile@8 is exported");
    CHECK(Function(module, MAKEINTRESOURCEA(1)) == (AnyFunction)import, "ordinal 1 is not ImportQuorixFile");
    CHECK(GetProcAddress(module, MAKEINTRESOURCEA(2)) == NULL, "the module exports a second ordinal");
    HMODULE log = GetModuleHandleA("vqlog.dll");
    char logPath[MAX_PATH] = "";
    GetModuleFileNameA(log, logPath, sizeof logPath);
    CHECK(log != NULL && _strnicmp(logPath, binFolder, strlen(binFolder)) == 0,
          "vqlog.dll was not loaded from the program's folder (%s)", logPath);
    EndCase();
}

static void CaseResources(const char* modulePath, const char* version) {
    BeginCase("string table (English, United States) and version resource");
    static const char* const texts[] = {NULL, "File '%1' is not in Quorix LayY or Marker format.",
                                        "Marker file %1 has not supported format ver.%2."};
    for (unsigned id = 1; id <= 2; ++id) {
        char text[256] = "";
        const int length = LoadStringA(module, id, text, sizeof text);
        CHECK(length == (int)strlen(texts[id]) && strcmp(text, texts[id]) == 0, "string %u is \"%s\"", id,
              text);
    }
    char none[64] = "";
    CHECK(LoadStringA(module, 3, none, sizeof none) == 0, "the string table has an entry 3: \"%s\"", none);
    CHECK(FindResourceExA(module, (LPCSTR)RT_STRING, MAKEINTRESOURCEA(1),
                          MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)) != NULL,
          "no string table block in English (United States)");

    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(modulePath, &ignored);
    CHECK(size > 0, "no version resource (error %lu)", GetLastError());
    if (size > 0) {
        void* info = malloc(size);
        VS_FIXEDFILEINFO* fixed = NULL;
        UINT fixedSize = 0;
        if (GetFileVersionInfoA(modulePath, 0, size, info) &&
            VerQueryValueA(info, "\\", (void**)&fixed, &fixedSize) && fixedSize >= sizeof *fixed) {
            CHECK(fixed->dwSignature == 0xFEEF04BDu, "version resource signature 0x%08lX",
                  fixed->dwSignature);
            CHECK(fixed->dwFileVersionMS == fixed->dwProductVersionMS &&
                      fixed->dwFileVersionLS == fixed->dwProductVersionLS,
                  "file version %08lX.%08lX differs from product version %08lX.%08lX", fixed->dwFileVersionMS,
                  fixed->dwFileVersionLS, fixed->dwProductVersionMS, fixed->dwProductVersionLS);
            if (version != NULL) {
                unsigned parts[4] = {0, 0, 0, 0};
                sscanf(version, "%u.%u.%u.%u", &parts[0], &parts[1], &parts[2], &parts[3]);
                const DWORD ms = (DWORD)(parts[0] << 16 | parts[1]);
                const DWORD ls = (DWORD)(parts[2] << 16 | parts[3]);
                CHECK(fixed->dwFileVersionMS == ms && fixed->dwFileVersionLS == ls,
                      "file version %lu.%lu.%lu.%lu where %s was expected", fixed->dwFileVersionMS >> 16,
                      fixed->dwFileVersionMS & 0xFFFF, fixed->dwFileVersionLS >> 16,
                      fixed->dwFileVersionLS & 0xFFFF, version);
            }
        } else {
            Failure("the version resource has no fixed file information");
        }
        free(info);
    }
    EndCase();
}

static void CaseEmptyPath(const char* workFolderLog) {
    BeginCase("empty path is reported with an empty base name and creates no diagnostic log");
    WriteSentinels();
    CheckResult(Import(""), 0);
    CheckNameUntouched();
    CheckReportedAsNotInFormat("", "");
    CheckSentinelsKept();
    CheckFileMissing(workFolderLog);
    EndCase();
}

static void CaseSmallLay(void) {
    BeginCase("lay file: both import files written, order name handed back, nothing reported");
    WriteWholeFile("c:\\qx\\lays\\W12.LAY", kSmallLay, sizeof kSmallLay);
    WriteSentinels();
    CheckResult(Import("c:\\qx\\lays\\W12.LAY"), 1);
    CheckNameHandedBack("W12-LAY");
    CheckNoLogCalls();
    char* definition = SmallLayDefinition("W12-LAY");
    CheckFileBytes(kDefinitionFile, definition);
    free(definition);
    CheckFileBytes(kPositionFile, kSmallLayPositions);
    EndCase();
}

static void CaseLogHeader(const char* workFolderLog) {
    BeginCase("diagnostic log .\\Log.txt holds its header line only");
    CheckFileBytes(workFolderLog, kLogHeader);
    EndCase();
}

static void CaseMixedLay(void) {
    BeginCase("lay with P and T placements, flags, turned angles and exponent notation");
    Bytes lay;
    BuildMixedLay(&lay);
    WriteWholeFile("c:\\qx\\lays\\R2.LAY", lay.bytes, lay.size);
    CheckResult(Import("c:\\qx\\lays\\R2.LAY"), 1);
    CheckNameHandedBack("R2-LAY");
    CheckNoLogCalls();
    CheckFileBytes(kDefinitionFile, kMixedLayDefinition);
    CheckFileBytes(kPositionFile, kMixedLayPositions);
    EndCase();
}

static void CaseEmptyLay(void) {
    BeginCase("empty file imports as a lay without width, models or placements");
    WriteWholeFile("c:\\qx\\lays\\E.LAY", "", 0);
    WriteSentinels();
    CheckResult(Import("c:\\qx\\lays\\E.LAY"), 1);
    CheckNameHandedBack("E-LAY");
    CheckNoLogCalls();
    CheckFileBytes(kDefinitionFile, "=:order\r\no:E-LAY\r\nd:quorix lay Y file import\r\nw:55000\r\n");
    CheckFileBytesN(kPositionFile, "", 0);
    EndCase();
}

static void CaseMarker(const char* name, const char* root, int lfOnly) {
    BeginCase(name);
    char folder[MAX_PATH];
    char path[MAX_PATH];
    MakeFolder(root);
    snprintf(folder, sizeof folder, "%s\\markers", root);
    MakeFolder(folder);
    snprintf(folder, sizeof folder, "%s\\styles", root);
    MakeFolder(folder);
    const char* texts[3] = {kMarker, kShirtStyle, kTrousersStyle};
    const char* files[3] = {"markers\\m1.mkr", "styles\\shirt.sty", "styles\\trousers.sty"};
    for (int i = 0; i < 3; ++i) {
        char* text = lfOnly ? WithLfOnly(texts[i]) : NULL;
        snprintf(path, sizeof path, "%s\\%s", root, files[i]);
        WriteText(path, text != NULL ? text : texts[i]);
        free(text);
    }
    WriteSentinels(); /* the position file has content before the import */
    snprintf(path, sizeof path, "%s\\markers\\m1.mkr", root);
    CheckResult(Import(path), 1);
    CheckNameHandedBack("m1-mkr");
    CheckNoLogCalls();
    CheckFileBytes(kDefinitionFile, kMarkerDefinition);
    CheckFileBytesN(kPositionFile, "", 0);
    EndCase();
}

static void CaseNames(void) {
    BeginCase("order names: cut to 20 characters, short names, '.', '/' and '#' replaced");
    struct {
        const char* path;
        const char* orderName; /* whole, before the cut */
    } cases[] = {
        {"c:\\qx\\lays\\twenty-five.chars#name.LY", "twenty-five-chars-name-LY"},
        {"c:\\qx\\lays\\abc", "abc"},
        {"c:\\qx\\lays\\Lay.01#A.txt", "Lay-01-A-txt"},
        {"rel/W.12#3.LAY", "rel-W-12-3-LAY"}, /* relative to c:\qx\work; '/' does not end the folder part */
    };
    MakeFolder("c:\\qx\\work\\rel");
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        char filePath[MAX_PATH];
        if (cases[i].path[1] == ':') {
            snprintf(filePath, sizeof filePath, "%s", cases[i].path);
        } else {
            snprintf(filePath, sizeof filePath, "c:\\qx\\work\\%s", cases[i].path);
        }
        WriteWholeFile(filePath, kSmallLay, sizeof kSmallLay);
        WriteSentinels();
        CheckResult(Import(cases[i].path), 1);
        char handedBack[kNameSize];
        snprintf(handedBack, sizeof handedBack, "%s", cases[i].orderName); /* the first 20 characters */
        CheckNameHandedBack(handedBack);
        char* definition = SmallLayDefinition(cases[i].orderName);
        CheckFileBytes(kDefinitionFile, definition);
        free(definition);
    }
    CheckNoLogCalls();
    EndCase();
}

/* `content` of `size` bytes is written to the file first; a null `content` leaves the file missing. */
static void CaseNotInFormat(const char* name, const char* path, const char* baseName, const char* content,
                            size_t size) {
    BeginCase(name);
    if (content != NULL) {
        char filePath[MAX_PATH];
        if (path[1] == ':') {
            snprintf(filePath, sizeof filePath, "%s", path);
        } else {
            snprintf(filePath, sizeof filePath, "c:\\qx\\work\\%s", path);
        }
        WriteWholeFile(filePath, content, size);
    }
    WriteSentinels();
    CheckResult(Import(path), 0);
    CheckNameUntouched();
    CheckReportedAsNotInFormat(path, baseName);
    CheckSentinelsKept();
    EndCase();
}

static void CaseUnsupportedMarkerVersion(void) {
    BeginCase("unsupported marker version: message 2 without detail, then message 1");
    static const char path[] = "c:\\qx\\bad\\old.mkr";
    WriteText(path, "%11\r\n0\r\n");
    WriteSentinels();
    CheckResult(Import(path), 0);
    CheckNameUntouched();
    char* text = NotInFormatText(path);
    const ExpectedCall calls[2] = {{"Marker file old.mkr has not supported format ver.11.", NULL},
                                   {text, "old.mkr"}};
    CheckLogCalls(calls, 2);
    free(text);
    CheckSentinelsKept();
    EndCase();
}

static void CaseMissingStyle(void) {
    BeginCase("marker whose last style file is missing is in neither format");
    MakeFolder("c:\\qx\\gone");
    MakeFolder("c:\\qx\\gone\\markers");
    WriteText("c:\\qx\\gone\\markers\\gone.mkr", kMarkerOfMissingStyle);
    WriteSentinels();
    CheckResult(Import("c:\\qx\\gone\\markers\\gone.mkr"), 0);
    CheckNameUntouched();
    CheckReportedAsNotInFormat("c:\\qx\\gone\\markers\\gone.mkr", "gone.mkr");
    CheckSentinelsKept();
    EndCase();
}

static void CaseMissingImportFolder(void) {
    BeginCase("missing c:\\workbase\\temp: import succeeds, hands back the name, writes nothing");
    RemoveFile(kDefinitionFile);
    RemoveFile(kPositionFile);
    if (!RemoveDirectoryA(kImportFolder)) {
        Failure("cannot remove %s (error %lu)", kImportFolder, GetLastError());
    }
    CheckResult(Import("c:\\qx\\lays\\W12.LAY"), 1);
    CheckNameHandedBack("W12-LAY");
    CheckNoLogCalls();
    CheckFileMissing(kImportFolder);
    MakeFolder(kImportFolder);
    EndCase();
}

static void CaseLogCreatedOnce(const char* workFolderLog) {
    BeginCase("diagnostic log is created once per process, in the folder current at the first open");
    MakeFolder("c:\\qx\\work2");
    RemoveFile("c:\\qx\\work2\\Log.txt");
    if (!SetCurrentDirectoryA("c:\\qx\\work2")) {
        Failure("cannot change to c:\\qx\\work2");
    }
    CheckResult(Import("c:\\qx\\lays\\W12.LAY"), 1);
    CheckFileMissing("c:\\qx\\work2\\Log.txt");
    CheckFileBytes(workFolderLog, kLogHeader);
    SetCurrentDirectoryA("c:\\qx\\work");
    EndCase();
}

static void CaseExample(const char* input, const char* expectedFolder) {
    const char* orderName = strrchr(expectedFolder, '\\');
    orderName = orderName != NULL ? orderName + 1 : expectedFolder;
    char name[MAX_PATH + 32];
    snprintf(name, sizeof name, "example %s", orderName);
    BeginCase(name);
    char path[MAX_PATH];
    char* expected = NULL;
    size_t expectedSize = 0;
    WriteSentinels();
    CheckResult(Import(input), 1);
    char handedBack[kNameSize];
    snprintf(handedBack, sizeof handedBack, "%s", orderName);
    CheckNameHandedBack(handedBack);
    CheckNoLogCalls();
    const char* files[2] = {"csvimprt.txt", "posimport.txt"};
    const char* written[2] = {kDefinitionFile, kPositionFile};
    for (int i = 0; i < 2; ++i) {
        snprintf(path, sizeof path, "%s\\%s", expectedFolder, files[i]);
        if (!ReadWholeFile(path, &expected, &expectedSize)) {
            Failure("cannot read %s", path);
            continue;
        }
        CheckFileBytesN(written[i], expected, expectedSize);
        free(expected);
    }
    EndCase();
}

int main(int argc, char** argv) {
    setvbuf(stdout, NULL, _IONBF, 0);
    const char* version = NULL;
    int firstExample = argc;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--version") == 0 && i + 1 < argc) {
            version = argv[++i];
        } else if (strcmp(argv[i], "--example") == 0) {
            firstExample = i;
            break;
        } else {
            printf("unknown argument %s\n", argv[i]);
            return 2;
        }
    }

    /* The module and vqlog.dll lie beside this program. */
    char binFolder[MAX_PATH];
    GetModuleFileNameA(NULL, binFolder, sizeof binFolder);
    *strrchr(binFolder, '\\') = '\0';
    char modulePath[MAX_PATH];
    snprintf(modulePath, sizeof modulePath, "%s\\quorix_marker.dll", binFolder);

    /* Fresh folders for inputs, the current folder and the host's import folder. */
    MakeFolder("c:\\qx");
    MakeFolder("c:\\qx\\lays");
    MakeFolder("c:\\qx\\bad");
    MakeFolder("c:\\qx\\work");
    MakeFolder("c:\\workbase");
    MakeFolder(kImportFolder);
    static const char workFolderLog[] = "c:\\qx\\work\\Log.txt";
    RemoveFile(workFolderLog);
    if (!SetCurrentDirectoryA("c:\\qx\\work")) {
        printf("cannot change to c:\\qx\\work\n");
        return 2;
    }

    module = LoadLibraryA(modulePath);
    if (module == NULL) {
        printf("FAIL LoadLibrary(%s): error %lu\nwindows-host: 0 passed, 1 failed\n", modulePath, GetLastError());
        return 1;
    }
    import = (ImportFunction)Function(module, "ImportQuorixFile");
    HMODULE log = GetModuleHandleA("vqlog.dll");
    recordedCount = (RecordedCountFunction)Function(log, "vqlog_recorded_count");
    recordedCall = (RecordedCallFunction)Function(log, "vqlog_recorded_call");
    recordedClear = (RecordedClearFunction)Function(log, "vqlog_recorded_clear");
    if (import == NULL || recordedCount == NULL || recordedCall == NULL || recordedClear == NULL) {
        printf("FAIL ImportQuorixFile or the recording vqlog.dll not found\nwindows-host: 0 passed, 1 failed\n");
        return 1;
    }

    CaseModuleLoads(binFolder);
    CaseResources(modulePath, version);
    CaseEmptyPath(workFolderLog); /* first import of the process: no diagnostic log yet */
    CaseSmallLay();
    CaseLogHeader(workFolderLog);
    CaseMixedLay();
    CaseEmptyLay();
    CaseMarker("marker file with CR LF line ends: styles read, size models written, position file emptied",
               "c:\\qx\\crlf", 0);
    CaseMarker("marker file with LF line ends gives the same import files", "c:\\qx\\lf", 1);
    CaseNames();
    CaseNotInFormat("text file in neither format is reported once with its base name",
                    "c:\\qx\\bad\\notes.txt", "notes.txt", "plain text\r\nsecond line\r\n", 23);
    CaseNotInFormat("missing file is reported", "c:\\qx\\bad\\missing.LAY", "missing.LAY", NULL, 0);
    CaseNotInFormat("path without a backslash is its own base name", "stray.bin", "stray.bin", "no lay\n", 7);
    CaseNotInFormat("lay record running past the end of the file", "c:\\qx\\bad\\cut.LAY", "cut.LAY",
                    "\x00\x05Y\x00", 4);
    CaseUnsupportedMarkerVersion();
    CaseMissingStyle();
    CaseMissingImportFolder();
    for (int i = firstExample; i + 2 < argc && strcmp(argv[i], "--example") == 0; i += 3) {
        CaseExample(argv[i + 1], argv[i + 2]);
    }
    CaseLogCreatedOnce(workFolderLog);

    BeginCase("module unloads");
    CHECK(FreeLibrary(module), "FreeLibrary failed (error %lu)", GetLastError());
    EndCase();

    printf("windows-host: %d passed, %d failed\n", casesPassed, casesFailed);
    return casesFailed == 0 ? 0 : 1;
}
