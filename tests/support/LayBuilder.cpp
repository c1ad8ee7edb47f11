#include "support/LayBuilder.h"

#include <cstring>

std::string LayBuilder::I8(int value) {
    return std::string(1, static_cast<char>(value & 0xFF));
}

std::string LayBuilder::I16(int value) {
    const auto v = static_cast<uint16_t>(value);
    return {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
}

std::string LayBuilder::I32(int64_t value) {
    const auto v = static_cast<uint32_t>(value);
    return {static_cast<char>(v >> 24), static_cast<char>((v >> 16) & 0xFF),
            static_cast<char>((v >> 8) & 0xFF), static_cast<char>(v & 0xFF)};
}

std::string LayBuilder::F32(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    return I32(bits);
}

std::string LayBuilder::Str(const std::string& text) {
    return text + std::string(1, '\0');
}

std::string LayBuilder::Entry(const PlacementSpec& s) {
    std::string e;
    e += I32(s.model);
    e += I32(s.piece);
    e += I8(s.flag1 ? 1 : 0);
    e += I8(s.ordinalA);
    e += I8(0);
    e += I8(s.flag2 ? 1 : 0);
    e += F32(s.angle);
    e += F32(s.x);
    e += F32(s.y);
    e += I16(s.ordinalB);
    e += I16(0);
    e += I32(0);
    e += I32(s.valueC);
    e += I8(0);
    e += I8(0);
    e += I16(s.ordinalC);
    e += I8(0);
    e += I8(0);
    e += I16(0);
    return e;
}

LayBuilder& LayBuilder::Record(char tag, const std::string& content) {
    return RecordWithLength(static_cast<int>(content.size()) + 1, tag, content);
}

LayBuilder& LayBuilder::RecordWithLength(int lengthField, char tag, const std::string& content) {
    bytes += I16(lengthField);
    bytes += tag;
    bytes += content;
    return *this;
}

LayBuilder& LayBuilder::Raw(const std::string& raw) {
    bytes += raw;
    return *this;
}

LayBuilder& LayBuilder::Y() {
    return Record('Y', I32(1));
}

LayBuilder& LayBuilder::W(float width, float length) {
    return Record('W', F32(width) + F32(length) + std::string(16, '\0'));
}

LayBuilder& LayBuilder::O(const std::vector<std::string>& pieces, const std::vector<std::string>& models) {
    std::string content = I32(static_cast<int64_t>(pieces.size()));
    for (const std::string& p : pieces) {
        content += Str(p);
    }
    content += I32(static_cast<int64_t>(models.size()));
    for (const std::string& m : models) {
        content += Str(m);
    }
    return Record('O', content);
}

LayBuilder& LayBuilder::P(const std::vector<PlacementSpec>& entries) {
    std::string content = I32(static_cast<int64_t>(entries.size()));
    for (const PlacementSpec& e : entries) {
        content += Entry(e);
    }
    return Record('P', content);
}

LayBuilder& LayBuilder::T(const std::vector<PlacementSpec>& entries) {
    std::string content = I32(static_cast<int64_t>(entries.size()));
    for (const PlacementSpec& e : entries) {
        content += Entry(e);
    }
    return Record('T', content);
}
