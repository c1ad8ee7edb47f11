#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quorix {

// Record contents that the lay keeps although no import file uses them.

// One entry of a 'C' or 'c' record: nine 4-byte words, not interpreted.
struct CEntry {
    std::array<uint32_t, 9> words{};
};

// One entry of a 'K' or 'k' record: four 4-byte words and a signed byte.
struct KEntry {
    std::array<uint32_t, 4> words{};
    int32_t value = 0;
};

// One group of an 'M' record: a name and its values.
struct MGroup {
    std::string name;
    std::vector<int32_t> values;
};

} // namespace quorix
