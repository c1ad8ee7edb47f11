#include "export/PositionFileWriter.h"

#include "export/NumberFormat.h"

#include <cstring>

bool PositionFileWriter::Open(const std::string& path) {
    return file.Create(path);
}

void PositionFileWriter::Record(const std::string& pieceName, const std::string& modelLabel, int kind,
                                int flags, float angle, float x, float y) {
    // The line is put together in place: the names, then five numbers with room for each.
    const size_t room = pieceName.size() + modelLabel.size() + 5 * NumberFormat::kRoom + 16;
    if (line.size() < room) {
        line.resize(room);
    }
    char* const start = &line[0];
    char* p = start;
    std::memcpy(p, pieceName.data(), pieceName.size());
    p += pieceName.size();
    *p++ = ',';
    std::memcpy(p, modelLabel.data(), modelLabel.size());
    p += modelLabel.size();
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
    std::memcpy(p, ",0,0,0\n", 7);
    p += 7;
    file.Write(start, static_cast<size_t>(p - start));
}

void PositionFileWriter::Close() {
    file.Close();
}
