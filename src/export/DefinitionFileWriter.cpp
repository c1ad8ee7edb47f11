#include "export/DefinitionFileWriter.h"

#include "export/NameRules.h"
#include "runtime/NumberFormat.h"

namespace quorix::detail {

using runtime::AppendGeneral;
using runtime::AppendInteger;

void DefinitionFileWriter::EndLine() {
    line += '\n';
    file.Write(line);
    line.clear();
}

void DefinitionFileWriter::ModelName(const std::string& orderName, const std::string& label) {
    line += "m:";
    line += orderName;
    line += '-';
    line += label;
    EndLine();
}

void DefinitionFileWriter::BeginModel(const std::string& orderName, const std::string& label) {
    line += "=:model";
    EndLine();
    ModelName(orderName, label);
}

void DefinitionFileWriter::Piece(const std::string& pieceName, int32_t count) {
    line += "p:";
    line += pieceName;
    for (size_t i = 2; i < line.size(); ++i) {
        CleanChar(line[i]);
    }
    EndLine();
    line += "i:";
    AppendInteger(line, count);
    EndLine();
}

void DefinitionFileWriter::ExtraCount(int32_t extraCount) {
    line += "x:";
    AppendInteger(line, extraCount);
    EndLine();
}

void DefinitionFileWriter::BeginOrder(const std::string& orderName, const std::string& description,
                                      double widthInches) {
    line += "=:order";
    EndLine();
    line += "o:";
    line += orderName;
    EndLine();
    line += "d:";
    line += description;
    EndLine();
    line += "w:";
    AppendGeneral(line, widthInches);
    EndLine();
}

void DefinitionFileWriter::OrderLine(const std::string& orderName, const std::string& label) {
    ModelName(orderName, label);
    line += "q:1";
    EndLine();
    line += "s:";
    line += label;
    EndLine();
}

} // namespace quorix::detail
