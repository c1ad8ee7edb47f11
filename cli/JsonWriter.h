#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <type_traits>
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
    // A byte string: a string when it is valid UTF-8, else {"hex": its bytes in hexadecimal, "text": the
    // string with each invalid byte shown as U+FFFD}, so that every byte is kept.
    void Bytes(const std::string& bytes);

    // Members of the current object, each a name followed by its value, written as the value's type asks:
    // Members("a", 1, "b", 2.5f, "c", true, "d", bytes).
    template <typename T, typename... More>
    void Members(std::string_view name, const T& value, const More&... more) {
        Key(name);
        if constexpr (std::is_same_v<T, bool>) {
            Bool(value);
        } else if constexpr (std::is_floating_point_v<T>) {
            Float(value);
        } else if constexpr (std::is_integral_v<T>) {
            Int(value);
        } else {
            Bytes(value);
        }
        if constexpr (sizeof...(more) > 0) {
            Members(more...);
        }
    }
    // An object of those members.
    template <typename... M> void Object(const M&... members) {
        BeginObject();
        Members(members...);
        EndObject();
    }
    // A member holding an array: `write(item)` writes each item's value.
    template <typename Items, typename Write>
    void List(std::string_view name, const Items& items, Write write) {
        Key(name);
        BeginArray();
        for (const auto& item : items) {
            write(item);
        }
        EndArray();
    }

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
