# Code folded into the helpers it repeated, and the log that only ever holds its header line written as
# that line: the same faults where the code now is.
RETARGETED = {
    "F5": {"file": "src/files/QuorBinaryFile.cpp", "old": "return data[count - 1] == kCr || CrLfPairs(data, count) > 0;",
           "new": "return data[count - 1] == kLf || CrLfPairs(data, count) > 0;"},
    "F6": {"file": "src/files/QuorBinaryFile.cpp", "old": "pairs += cr[1] == kLf ? 1 : 0;",
           "new": "pairs += cr[1] != kLf ? 1 : 0;"},
    "T14": {"file": "src/platform/StringTable.cpp", "old": "return m.id == id;", "new": "return m.id != id;"},
    "L1": {"file": "src/log/Log.cpp", "old": "if (withFile && file.CreatePlain(", "new": "if (!withFile && file.CreatePlain("},
    "L2": {"file": "src/log/Log.cpp", "old": '"\\r\\n[   0]"', "new": '"\\r\\n[  0]"'},
    "L3": {"file": "src/log/Log.cpp", "old": 'std::string("\\r\\n[   0]")', "new": 'std::string("[   0]")'},
}
