#include "export/DefinitionFileWriter.h"

#include "export/NameRules.h"
#include "runtime/NumberFormat.h"

#include <cstring>

namespace quorix::detail {

void DefinitionFileWriter::EndLine() {
    line += '\n';
    file.Write(line);
    line.clear();
}

void DefinitionFileWriter::Line(const char* key, const std::string& value) {
    line += key;
    line += value;
    EndLine();
}

void DefinitionFileWriter::BeginModel(const std::string& orderName, const std::string& label) {
    Line("=:model");
    Line("m:", orderName + '-' + label);
}

void DefinitionFileWriter::Count(const char* key, int32_t count) {
    char* out = sink.Reserve(2 + runtime::kNumberRoom + 2);
    std::memcpy(out, key, 2);
    out = runtime::WriteInteger(out + 2, count);
    std::memcpy(out, "\r\n", 2);
    sink.Commit(out + 2);
}

void DefinitionFileWriter::Piece(const std::string& pieceName, int32_t count) {
    // Both lines at once, in place: the name cleaned, each of its line feeds stored as CR LF.
    char* out = sink.Reserve(2 + 2 * pieceName.size() + 4 + runtime::kNumberRoom + 2);
    std::memcpy(out, "p:", 2);
    out += 2;
    for (size_t i = 0; i < pieceName.size(); ++i) {
        char c = pieceName[i];
        CleanChar(c);
        if (c == '\n') {
            *out++ = '\r';
        }
        *out++ = c;
    }
    std::memcpy(out, "\r\ni:", 4);
    out = runtime::WriteInteger(out + 4, count);
    std::memcpy(out, "\r\n", 2);
    sink.Commit(out + 2);
}

void DefinitionFileWriter::ExtraCount(int32_t extraCount) {
    Count("x:", extraCount);
}

void DefinitionFileWriter::BeginOrder(const std::string& orderName, const std::string& description,
                                      double widthInches) {
    Line("=:order");
    Line("o:", orderName);
    Line("d:", description);
    line += "w:";
    runtime::AppendGeneral(line, widthInches);
    EndLine();
}

void DefinitionFileWriter::OrderLine(const std::string& orderName, const std::string& label) {
    Line("m:", orderName + '-' + label);
    Line("q:1");
    Line("s:", label);
}

} // namespace quorix::detail
