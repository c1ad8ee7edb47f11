#include "support/MarkerBuilder.h"

std::string JoinLines(const std::vector<std::string>& lines, const std::string& lineEnd) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + lineEnd;
    }
    return text;
}

MarkerBuilder& MarkerBuilder::Slot(const std::string& styleName, const std::vector<MarkerSize>& sizes) {
    std::vector<std::string> lines = {styleName, std::to_string(sizes.size())};
    for (int pass = 0; pass < 3; ++pass) {
        for (const MarkerSize& size : sizes) {
            lines.push_back(pass == 0   ? std::to_string(size.key)
                            : pass == 1 ? size.value
                                        : std::to_string(size.count));
        }
    }
    if (layout >= 18 && !sizes.empty()) {
        lines.insert(lines.end(), {"0", "0"});
    }
    return SlotLines(lines);
}

MarkerBuilder& MarkerBuilder::SlotLines(const std::vector<std::string>& lines) {
    slotLines.insert(slotLines.end(), lines.begin(), lines.end());
    ++slots;
    return *this;
}

std::vector<std::string> MarkerBuilder::Lines() const {
    std::vector<std::string> lines = {versionLine, "0", "1",        "1",   "0", "0",
                                      "0",         "0", "50800000", width, "0", separator};
    if (layout >= 18) {
        lines.insert(lines.end(),
                     {"80", "0", "0", "0.5", "text one", "text two", "unused text", "0", "0", "0", "0", "0"});
    } else if (layout >= 12) {
        lines.insert(lines.end(), {"80", "0", "0", "text one", "text two", "unused text", "0"});
    } else {
        lines.insert(lines.end(), {"80", "0", "0", "text one", "unused text"});
    }
    lines.insert(lines.end(), slotLines.begin(), slotLines.end());
    for (int slot = slots; !truncate && slot < 40; ++slot) {
        lines.insert(lines.end(), {"", "0"});
    }
    return lines;
}

StyleBuilder::StyleBuilder(std::string versionLine, int layout)
    : lines{std::move(versionLine), "1", "unused", "unused", "style"} {
    if (layout >= 13) {
        lines.push_back("+unused");
    }
}

StyleBuilder& StyleBuilder::Piece(const std::string& name, int32_t quantity, int32_t extraQuantity) {
    return Block("+", name, "W " + std::to_string(quantity) + " " + std::to_string(extraQuantity) + " rest");
}

StyleBuilder& StyleBuilder::Block(const std::string& mark, const std::string& name,
                                  const std::string& countLine) {
    lines.insert(lines.end(), {mark, name, "piece text", countLine, "7", "+unused", "+unused", "7"});
    lines.insert(lines.end(), 5, "+unused");
    return *this;
}
