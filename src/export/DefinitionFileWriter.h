#pragma once

#include "runtime/TextModeWriter.h"

#include <cstdint>
#include <string>

namespace quorix::detail {

// Writes the host's definition file: model blocks ("=:model", "m:", then "p:"/"i:"/"x:" per piece) and
// one order block ("=:order", "o:", "d:", "w:", then "m:"/"q:1"/"s:" per model). Every line is a
// one-character key, a colon and a value; texts are written byte for byte.
class DefinitionFileWriter {
public:
    // Writes the lines into `file`, which must outlive the writer.
    explicit DefinitionFileWriter(runtime::ByteSink& file) : sink(file), file(file) {}

    // "=:model" and "m:<order name>-<label>".
    void BeginModel(const std::string& orderName, const std::string& label);
    // "p:<cleaned piece name>" and "i:<count>".
    void Piece(const std::string& pieceName, int32_t count);
    // "x:<extra count>", after the piece it belongs to.
    void ExtraCount(int32_t extraCount);
    // "=:order", "o:", "d:" and "w:" with the width in inches.
    void BeginOrder(const std::string& orderName, const std::string& description, double widthInches);
    // "m:<order name>-<label>", "q:1", "s:<label>".
    void OrderLine(const std::string& orderName, const std::string& label);

private:
    // Ends the line built so far.
    void EndLine();
    // The line `key`, then `value` or `count`.
    void Line(const char* key, const std::string& value = std::string());
    void Count(const char* key, int32_t count);

    runtime::ByteSink& sink; // the lines of pieces, put together in place in their stored form
    runtime::TextModeWriter file;
    std::string line;
};

} // namespace quorix::detail
