#include "export/PositionFileWriter.h"

#include "export/NumberFormat.h"

#include <cstring>

bool PositionFileWriter::Open(const std::string& path) {
    return file.Create(path);
}

void PositionFileWriter::Record(const std::string& pieceName, const std::string& modelLabel, int kind,
                                int flags, float angle, float x, float y) {
    // The line is put together in place in its stored form: the names, then five numbers with room for each.
    const size_t room = 2 * (pieceName.size() + modelLabel.size()) + 5 * NumberFormat::kRoom + 16;
    char* p = file.Reserve(room);
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
