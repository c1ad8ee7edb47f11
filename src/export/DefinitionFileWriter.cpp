#include "export/DefinitionFileWriter.h"

#include "export/NameRules.h"
#include "runtime/NumberFormat.h"

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
    line += key;
    runtime::AppendInteger(line, count);
    EndLine();
}

void DefinitionFileWriter::Piece(const std::string& pieceName, int32_t count) {
    line += "p:";
    line += pieceName;
    for (size_t i = 2; i < line.size(); ++i) {
        CleanChar(line[i]);
    }
    EndLine();
    Count("i:", count);
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
