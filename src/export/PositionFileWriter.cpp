#include "export/PositionFileWriter.h"

#include "export/NumberFormat.h"

#include <cstring>

bool PositionFileWriter::Open(const std::string& path) {
    return file.Create(path);
}

void PositionFileWriter::OpenInMemory(size_t expected) {
    file.CollectInMemory(expected);
}

size_t PositionFileWriter::ExpectedLength(const std::string& pieceName, const std::string& modelLabel) {
    // The names, the kind and the flags (two digits at most), three numbers, three zeros, nine commas,
    // CR LF.
    return pieceName.size() + modelLabel.size() + 2 * 2 + 3 * NumberFormat::kLongestGeneral + 3 + 9 + 2;
}

void PositionFileWriter::AppendLines(std::string_view lines) {
    file.WriteStored(lines);
}

void PositionFileWriter::Record(const std::string& pieceName, const std::string& modelLabel, int kind,
                                int flags, float angle, float x, float y) {
    // The line is put together in place in its stored form: the names (each line feed as CR LF), then
    // five numbers with room for each.
    char* p = file.Reserve(2 * (pieceName.size() + modelLabel.size()) + 5 * NumberFormat::kRoom + 16);
    p = TextModeWriter::StoreText(p, pieceName.data(), pieceName.size());
    *p++ = ',';
    p = TextModeWriter::StoreText(p, modelLabel.data(), modelLabel.size());
    *p++ = ',';
    p = NumberFormat::WriteInteger(p, kind);
    *p++ = ',';
    p = NumberFormat::WriteInteger(p, flags);
    *p++ = ',';
    p = NumberFormat::WriteGeneral(p, angle);
    *p++ = ',';
    p = NumberFormat::WriteGeneral(p, x);
    *p++ = ',';
    p = NumberFormat::WriteGeneral(p, y);
    std::memcpy(p, ",0,0,0\r\n", 8);
    file.Commit(p + 8);
}

void PositionFileWriter::Close() {
    file.Close();
}
