#include "export/PositionFileWriter.h"

#include "export/NumberFormat.h"

bool PositionFileWriter::Open(const std::string& path) {
    return file.Create(path);
}

void PositionFileWriter::Record(const std::string& pieceName, const std::string& modelLabel, int kind,
                                int flags, float angle, float x, float y) {
    line.clear();
    line += pieceName;
    line += ',';
    line += modelLabel;
    line += ',';
    NumberFormat::AppendInteger(line, kind);
    line += ',';
    NumberFormat::AppendInteger(line, flags);
    line += ',';
    NumberFormat::AppendGeneral(line, angle);
    line += ',';
    NumberFormat::AppendGeneral(line, x);
    line += ',';
    NumberFormat::AppendGeneral(line, y);
    line += ",0,0,0\n";
    file.Write(line);
}

void PositionFileWriter::Close() {
    file.Close();
}
