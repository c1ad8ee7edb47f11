#pragma once

#include <cstdint>
#include <cstring>

// Values stored big-endian, as the lay file stores them, taken from bytes on a host of either byte order.
namespace quorix::detail {
inline uint16_t BigEndian16(const char* bytes) {
    return static_cast<uint16_t>((static_cast<unsigned char>(bytes[0]) << 8) |
                                 static_cast<unsigned char>(bytes[1]));
}

inline uint32_t BigEndian32(const char* bytes) {
    return (static_cast<uint32_t>(static_cast<unsigned char>(bytes[0])) << 24) |
           (static_cast<uint32_t>(static_cast<unsigned char>(bytes[1])) << 16) |
           (static_cast<uint32_t>(static_cast<unsigned char>(bytes[2])) << 8) |
           static_cast<uint32_t>(static_cast<unsigned char>(bytes[3]));
}

// A single-precision float.
inline float BigEndianFloat(const char* bytes) {
    const uint32_t bits = BigEndian32(bytes);
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
} // namespace quorix::detail
