# Mutants of the shared list re-targeted to where their code went (same id, same kind of fault), and new
# mutants of the single decoding of a placement entry. Each `old` occurs exactly once in its file.

# E8 spans the import's write steps: the definition file is put in place after the position file instead of
# before it.
_E8_OLD = (
    "        eachAlone ? definition.Replace() : definition.Finish();\n"
    "    }\n"
    "    Record(writing.definition, definition, eachAlone && !definition.File().Failed());\n"
    "    if (!eachAlone && definition.File().Failed()) {\n"
    "        return; // neither file will be replaced\n"
    "    }\n"
    "\n"
    "    // The position file is created before the placements are matched, so that a position file that\n"
    "    // cannot be created fails quietly and the position error is not raised.\n"
    "    FileSink position;\n"
    "    if (position.Create(folder, ImportPaths::kPositionFileName)) {\n"
    "        try {\n"
    "            writing.positionLines = WritePositions(reader, position);\n"
    "        } catch (const QuorUnhandledFormatFeatureException&) {\n"
    "            if (eachAlone) {\n"
    "                position.Replace(); // the host finds an empty position file\n"
    "            }\n"
    "            throw; // with both together, the writers' files are removed on the way out\n"
    "        }\n"
    "        eachAlone ? position.Replace() : position.Finish();\n"
)
_E8_NEW = (_E8_OLD
           .replace("        eachAlone ? definition.Replace() : definition.Finish();\n",
                    "        if (!eachAlone) {\n            definition.Finish();\n        }\n")
           .replace("        eachAlone ? position.Replace() : position.Finish();\n",
                    "        eachAlone ? (position.Replace(), definition.Replace()) : position.Finish();\n"))

RETARGETED = {
    "E8": {
        "file": "src/entry/QuorImport.cpp",
        "old": _E8_OLD,
        "new": _E8_NEW,
        "kind": "swapped statements (write order: the definition file put in place after the position file)",
    },
    # ReadString's count of the bytes it consumed has no user left; the count that decides what is read
    # is SkipString's ('L', 'l' and 'p' records add it up against their length).
    "F11": {
        "file": "src/files/QuorBinaryFile.cpp",
        "old": "consumed += static_cast<int64_t>(take - CrLfPairs(data, take));",
        "new": "consumed += static_cast<int64_t>(take - CrLfPairs(data, take)) - 1;",
        "kind": "off-by-one (bytes consumed)",
    },
    "Y13": {
        "file": "src/layy/QuorLayY.cpp",
        "old": "const bool fromP = record.Tag() == 'P';",
        "new": "const bool fromP = record.Tag() == 'T';",
        "kind": "changed literal",
    },
    "Y14": {
        "file": "src/layy/PlacementList.cpp",
        "old": "p.ordinalA = fileOrdinalA - 1;",
        "new": "p.ordinalA = static_cast<uint8_t>(fileOrdinalA) - 1;",
        "kind": "signedness",
    },
    "Y15": {
        "file": "src/layy/PlacementList.h",
        "old": "(entry[11] != 0 ? Entry::kFlag2 : 0)",
        "new": "(entry[10] != 0 ? Entry::kFlag2 : 0)",
        "kind": "wrong offset",
    },
    "Y16": {
        "file": "src/layy/PlacementList.h",
        "old": "e.x = BigEndianFloat(entry + 16);\n        e.y = BigEndianFloat(entry + 20);",
        "new": "e.x = BigEndianFloat(entry + 20);\n        e.y = BigEndianFloat(entry + 16);",
        "kind": "swapped offsets",
    },
    "Y17": {
        "file": "src/layy/LayRecord.h",
        "old": "        file.ReadBytesFolding(folded, static_cast<int>(bytes));\n",
        "new": "        file.ReadBytesFolding(folded + 4, static_cast<int>(bytes) - 4);\n        file.ReadBytesFolding(folded, 4);\n",
        "kind": "swapped reads (slow path)",
    },
    "Y23": {
        "file": "src/layy/PlacementList.h",
        "old": "e.fileOrdinalC = BigEndian16(entry + 38);",
        "new": "e.fileOrdinalC = BigEndian16(entry + 36);",
        "kind": "wrong offset",
    },
    "X6": {
        "file": "src/export/PartLines.h",
        "old": "        file.Append({buffer.get(), used});\n",
        "new": "",
        "kind": "removed statement (parts written)",
    },
    "X10": {
        "file": "src/export/QuorMarkerExport.cpp",
        "old": "writer.Piece(tally.pieceName, tally.quantity);",
        "new": "writer.Piece(tally.pieceName, tally.extraQuantity);",
        "kind": "wrong argument",
    },
}

ADDED = [
    dict(id="RW1", file="src/layy/LayRecord.h",
         old="ReadBytesFolding(folded, static_cast<int>(bytes));",
         new="ReadBytesFolding(folded, static_cast<int>(bytes) - 1);",
         kind="off-by-one (an entry read through the folding)"),
    dict(id="RW2", file="src/layy/PlacementList.cpp",
         old="p.ordinalB = static_cast<int16_t>(fileOrdinalB) - 1;",
         new="p.ordinalB = fileOrdinalB - 1;",
         kind="signedness"),
    dict(id="RW3", file="src/layy/PlacementList.h",
         old="e.valueC = static_cast<int32_t>(BigEndian32(entry + 32));",
         new="e.valueC = static_cast<int32_t>(BigEndian32(entry + 28));",
         kind="wrong offset"),
    dict(id="RW4", file="src/layy/PlacementList.h",
         old="(entry[8] != 0 ? Entry::kFlag1 : 0)",
         new="(entry[8] == 1 ? Entry::kFlag1 : 0)",
         kind="relational (a flag byte above 1)"),
    dict(id="RW5", file="src/layy/PlacementList.h",
         old="e.pieceIndex = static_cast<int32_t>(BigEndian32(entry + 4));",
         new="e.pieceIndex = static_cast<int32_t>(BigEndian32(entry + 4) & 0xFFFFu);",
         kind="dropped bytes (high half of the piece index)"),
]
