#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace quorix::cli {

// Writes indented JSON to a file as it goes, so that a model of any size is printed without being held
// twice in memory. Members are written in the order given; strings must be valid UTF-8.
class JsonWriter {
public:
    explicit JsonWriter(FILE* out) : out(out) {}
    ~JsonWriter() { Flush(); }
    JsonWriter(const JsonWriter&) = delete;
    JsonWriter& operator=(const JsonWriter&) = delete;

    void BeginObject() { Open('{'); }
    void EndObject() { Close('}'); }
    void BeginArray() { Open('['); }
    void EndArray() { Close(']'); }
    // The name of the next member of the current object.
    void Key(std::string_view name);

    void String(std::string_view utf8);
    void Int(int64_t value);
    void Bool(bool value);
    // A finite float with the fewest digits that read back to the same value; "inf", "-inf", "nan" else.
    void Float(float value);

    void Flush();

private:
    void BeforeValue();
    void Open(char bracket);
    void Close(char bracket);
    void Quoted(std::string_view text);

    FILE* out;
    std::string buffer;
    std::vector<size_t> counts; // members written so far at each open level
    bool afterKey = false;
};

} // namespace quorix::cli
