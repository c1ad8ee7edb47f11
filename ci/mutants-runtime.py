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
           "old": "quorix::paths::BaseName(PathMapping::FromCallerPath(callerPath))",
           "new": "quorix::paths::BaseName(callerPath)"},
    "F12": {"file": "src/runtime/TextModeReader.cpp",
            "old": "if (count > 0 && raw[0] == kLf) {", "new": "if (count > 0 && raw[0] == kCr) {"},
    "F13": {"file": "src/runtime/TextModeReader.cpp", "old": "if (c == kCtrlZ) {", "new": "if (c == kCtrlZ + 1) {"},
    "F14": {"file": "src/runtime/TextModeReader.cpp", "old": "                heldCarriageReturn = true;\n", "new": ""},
    "F15": {"file": "src/runtime/TextModeReader.cpp",
            "old": "                out[n++] = kLf;\n                ++i;\n", "new": "                out[n++] = kLf;\n"},
    "F26": {"file": "src/platform/PathRules.cpp", "old": "path.substr(slash + 1)", "new": "path.substr(slash)"},
    "M13": {"file": "src/platform/PathRules.cpp",
            "old": "return ParentFolder(ParentFolder(markerPath)) + \"\\\\styles\";",
            "new": "return ParentFolder(markerPath) + \"\\\\styles\";"},
    "W3": {"file": "src/export/PositionFileWriter.cpp",
           "old": "    *p++ = ',';\n    p = WriteGeneral(p, x);", "new": "    *p++ = ';';\n    p = WriteGeneral(p, x);"},
}

ADDED = [
    dict(id="RT1", file="src/platform/PathRules.h", old="c == '.' || c == '/' || c == '#'",
         new="c == '.' || c == '/'", kind="dropped case ('#' in names)"),
    dict(id="RT2", file="src/runtime/TextModeReader.cpp", old="            i = 1;\n", new="            i = 0;\n",
         kind="off-by-one (LF of a pair split between chunks)"),
    dict(id="RT3", file="src/platform/PathRules.cpp", old="path.substr(0, slash)", new="path.substr(0, slash + 1)",
         kind="off-by-one (parent folder)"),
]
