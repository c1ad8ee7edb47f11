MOVED_FILES = {
    "src/files/CrtNumbers.cpp": "src/runtime/CrtNumbers.cpp",
    "src/files/CrtNumbers.h": "src/runtime/CrtNumbers.h",
    "src/export/NumberFormat.cpp": "src/runtime/NumberFormat.cpp",
    "src/export/NumberFormat.h": "src/runtime/NumberFormat.h",
    "src/platform/TextModeWriter.cpp": "src/runtime/TextModeWriter.cpp",
    "src/platform/TextModeWriter.h": "src/runtime/TextModeWriter.h",
    "src/export/CleanName.cpp": "src/platform/PathRules.cpp",
    "src/export/CleanName.h": "src/platform/PathRules.h",
}

RETARGETED = {
    "E1": {"file": "src/platform/PathRules.cpp",
           "old": "joined.back() != '\\\\'", "new": "joined.back() == '\\\\'"},
    "E5": {"file": "src/entry/QuorImport.cpp",
           "old": "paths::BaseName(paths::FromCallerPath(callerPath))",
           "new": "paths::BaseName(callerPath)"},
    # The message names the file as the caller wrote it, not in the module's backslash form.
    "E6": {"file": "src/entry/QuorImport.cpp", "old": "{callerPath});",
           "new": "{paths::FromCallerPath(callerPath)});"},
    "F12": {"file": "src/runtime/TextModeReader.cpp",
            "old": "if (count > 0 && raw[0] == kLf) {", "new": "if (count > 0 && raw[0] == kCr) {"},
    "F13": {"file": "src/runtime/TextModeReader.cpp", "old": "if (c == kCtrlZ) {", "new": "if (c == kCtrlZ + 1) {"},
    "F14": {"file": "src/runtime/TextModeReader.cpp", "old": "                heldCarriageReturn = true;\n", "new": ""},
    "F15": {"file": "src/runtime/TextModeReader.cpp",
            "old": "                out[n++] = kLf;\n                ++i;\n", "new": "                out[n++] = kLf;\n"},
    "F24": {"file": "src/files/QuorFile.cpp",
            "old": "    if (!Resolve()) {\n        return false;\n    }\n", "new": "    Resolve();\n"},
    "F26": {"file": "src/platform/PathRules.cpp", "old": "path.substr(slash + 1)", "new": "path.substr(slash)"},
    "M7": {"file": "src/marker/QuorMarker.cpp",
           "old": "result = reading.Loaded();", "new": "result = reading.Loaded() && result;"},
    "M13": {"file": "src/marker/QuorStyle.cpp",
            "old": "return paths::ParentFolder(paths::ParentFolder(markerPath)) + \"\\\\styles\";",
            "new": "return paths::ParentFolder(markerPath) + \"\\\\styles\";"},
    # No import appends to a file sink that holds bytes of its own (the parts hand on through their own
    # buffers), so the flush that matters is the one before the file is finished.
    "T3": {"file": "src/export/FileSink.cpp",
           "old": "bool FileSink::Finish() {\n    Flush();", "new": "bool FileSink::Finish() {"},
    "T5": {"file": "src/export/FileSink.cpp",
           "old": "bool FileSink::Replace() {\n    Flush();", "new": "bool FileSink::Replace() {"},
    "W3": {"file": "src/export/PositionFileWriter.cpp",
           "old": "    *p++ = ',';\n    p = WriteGeneral(p, position.x);",
           "new": "    *p++ = ';';\n    p = WriteGeneral(p, position.x);"},
}

ADDED = [
    dict(id="RT1", file="src/export/NameRules.h", old="c == '.' || c == '/' || c == '#'",
         new="c == '.' || c == '/'", kind="dropped case ('#' in names)"),
    dict(id="RT2", file="src/runtime/TextModeReader.cpp", old="            i = 1;\n", new="            i = 0;\n",
         kind="off-by-one (LF of a pair split between chunks)"),
    dict(id="RT3", file="src/platform/PathRules.cpp", old="path.substr(0, slash)", new="path.substr(0, slash + 1)",
         kind="off-by-one (parent folder)"),
]
