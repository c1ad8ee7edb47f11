# The lay's placements kept in 32 bytes (PlacementList), ordered for the position file by index
# (PositionOrder), the position lines made in chunks handed on in turn, and the piece lines of the
# definition file built in place: the same faults where their code now is, and mutants of what is new.
RETARGETED = {
    "P4": {"file": "src/export/PositionMatcher.cpp",
           "old": "        const auto begin = static_cast<uint32_t>(total);\n        total += static_cast<uint32_t>(count);",
           "new": "        total += static_cast<uint32_t>(count);\n        const auto begin = static_cast<uint32_t>(total);"},
    "P8": {"file": "src/export/PositionMatcher.cpp", "old": "if (line >= shareBegin && line < shareEnd) {",
           "new": "if (line > shareBegin && line < shareEnd) {", "kind": "relational >= vs > (a share's first line)",
           "note": None},
    "D2": {"file": "src/export/DefinitionFileWriter.cpp", "old": "for (size_t i = 0; i < pieceName.size(); ++i) {",
           "new": "for (size_t i = 1; i < pieceName.size(); ++i) {"},
}

ADDED = [
    dict(id="CP1", file="src/layy/PlacementList.cpp",
         old="            std::copy(blocks[0].begin(), blocks[0].begin() + count, first.begin());\n", new="",
         kind="removed statement (the first block's entries kept when it doubles)"),
    dict(id="CP2", file="src/layy/PlacementList.h",
         old="Entry& e = blocks[count >> kBlockShift][count & kBlockMask];", new="Entry& e = blocks[0][count & kBlockMask];",
         kind="wrong index (the block of an entry past the first)"),
    dict(id="CP3", file="src/layy/PlacementList.h",
         old="std::min(to, ((from >> kBlockShift) + 1) << kBlockShift)", new="std::min(to, from + kBlockSize)",
         kind="wrong bound (a walk from inside a block past its end)"),
    dict(id="CP4", file="src/files/QuorBinaryFile.h",
         old="cr == nullptr ? whole : static_cast<size_t>(static_cast<const char*>(cr) - data) / entryBytes",
         new="whole", kind="dropped condition (entries with a CR taken unfolded)"),
    dict(id="CP5", file="src/export/PositionMatcher.cpp", old="            if (count != 0) {\n                return false;",
         new="            if (count < 0) {\n                return false;",
         kind="relational != vs < (a count at a pair whose names an earlier pair has)"),
    dict(id="CP6", file="src/layy/QuorLayY.cpp", old="placements.ForEach(first + count * part / parts,",
         new="placements.ForEach(first + count * part / parts + 1,", kind="off-by-one (a part's first placement)"),
    dict(id="CP7", file="src/export/DefinitionFileWriter.cpp",
         old="        if (c == '\\n') {\n            *out++ = '\\r';\n        }\n", new="",
         kind="removed statement (a line feed of a piece name stored as CR LF)"),
    dict(id="CP8", file="src/export/PositionMatcher.cpp",
         old="(part + 1 == parts && lines.begin == total)", new="(part + 1 == parts && lines.begin > total)",
         kind="relational == vs > (models without lines at the end of the file)"),
]
