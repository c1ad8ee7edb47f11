# Mutants of the shared list whose code moved or was renamed (the runtime folder, the readers' split, the
# namespaces): the same fault where the code now is.
MOVED_FILES = {"src/platform/BackgroundTask.cpp": "src/platform/Parallel.cpp"}

RETARGETED = {
    "T19": {"file": "src/platform/HostLog.cpp", "old": "dll_vq_log_error(kHostLogLevel, kHostLogCode,",
            "new": "dll_vq_log_error(kHostLogCode, kHostLogLevel,"},
    "M16": {"file": "src/marker/QuorStyle.cpp", "old": "for (int i = 0; i < 10; ++i) {",
            "new": "for (int i = 0; i < 9; ++i) {"},
    "M17": {"file": "src/marker/QuorStyle.cpp", "old": "        SkipField(' ');\n", "new": ""},
    "M8": {"file": "src/marker/PieceTally.cpp", "old": "quantity += source.copies * Bits(source.piece->quantity);",
           "new": "quantity += source.copies * Bits(source.piece->extraQuantity);"},
    "M10": {"file": "src/marker/PieceTally.cpp", "old": "return x.sizeCount < y.sizeCount;",
            "new": "return y.sizeCount < x.sizeCount;"},
    "M11": {"file": "src/marker/PieceTally.cpp", "old": "quantity += source.copies * Bits(source.piece->quantity);",
            "new": "quantity += Bits(source.piece->quantity);"},
    "Y9": {"file": "src/layy/QuorLayY.cpp", "old": "record.ReadNames(record.ReadCount(), lay.modelNames);",
           "new": "record.ReadNames(record.ReadCount(), lay.pieceNames);"},
    "Y10": {"file": "src/layy/QuorLayY.cpp", "old": "record.ReadCount().Less(1)", "new": "record.ReadCount().Less(0)"},
    "Y12": {"file": "src/layy/LayRecord.cpp",
            "old": "list.values.push_back(static_cast<int32_t>(detail::BigEndian32(value)));",
            "new": "static_cast<void>(value);"},
    "Y18": {"file": "src/layy/PairCounter.h", "old": "while (slots[i].count != 0 && slots[i].key != key) {",
            "new": "while (slots[i].count != 0 && (slots[i].key >> 32) != (key >> 32)) {"},
    "T6": {"file": "src/platform/posix/RawFile.cpp", "old": " || ::ftruncate(f, 0) != 0", "new": ""},
    "T7": {"file": "src/platform/posix/RawFile.cpp",
           "old": "return S_ISDIR(mode) ? SystemError(std::errc::is_a_directory) : FileError::NotRegularFile;",
           "new": "return FileError::NotRegularFile;"},
    "T8": {"file": "src/platform/RawFile.cpp", "old": "        if (got <= 0) {", "new": "        if (got < 0) {"},
}
