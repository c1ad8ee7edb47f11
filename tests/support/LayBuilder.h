#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The fields of one placement entry as a 'P' or 'T' record stores them (44 bytes); the ordinals are the
// file's values, before the reader subtracts 1.
struct PlacementSpec {
    int32_t model = 0;
    int32_t piece = 0;
    bool flag1 = false;
    int8_t ordinalA = 1;
    bool flag2 = false;
    float angle = 0.0f;
    float x = 0.0f;
    float y = 0.0f;
    int16_t ordinalB = 1;
    int32_t valueC = 0;
    int16_t ordinalC = 1;
};

// Builds LAY-Y files record by record: a signed 16-bit big-endian length (tag plus content), the tag, the
// content. Content helpers encode big-endian values and NUL-terminated strings.
class LayBuilder {
public:
    static std::string I8(int value);
    static std::string I16(int value);
    static std::string I32(int64_t value);
    static std::string F32(float value);
    static std::string Str(const std::string& text); // the bytes and a NUL
    static std::string Entry(const PlacementSpec& placement);

    // A record whose length field counts the content as given.
    LayBuilder& Record(char tag, const std::string& content);
    // A record with an explicit length field, whatever the content.
    LayBuilder& RecordWithLength(int lengthField, char tag, const std::string& content);
    LayBuilder& Raw(const std::string& bytes);

    LayBuilder& Y();
    LayBuilder& W(float width, float length = 0.0f);
    LayBuilder& O(const std::vector<std::string>& pieces, const std::vector<std::string>& models);
    LayBuilder& P(const std::vector<PlacementSpec>& entries);
    LayBuilder& T(const std::vector<PlacementSpec>& entries);

    const std::string& Bytes() const { return bytes; }

private:
    std::string bytes;
};
