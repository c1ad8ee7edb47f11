#include "support/MarkerBuilder.h"

#include <utility>

namespace {
constexpr int kStyleSlots = 40;

std::vector<std::string> DefaultOptions(int layout) {
    std::vector<std::string> lines = {"80", "0", "0"};
    if (layout >= 18) {
        lines.push_back("0.5");
    }
    lines.push_back("text one");
    if (layout >= 12) {
        lines.push_back("text two");
    }
    lines.push_back("unused text");
    if (layout >= 12) {
        lines.push_back("0");
    }
    if (layout >= 18) {
        lines.insert(lines.end(), {"0", "0", "0", "0"});
    }
    return lines;
}
} // namespace

std::string JoinLines(const std::vector<std::string>& lines, const std::string& lineEnd) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += lineEnd;
    }
    return text;
}

MarkerBuilder::MarkerBuilder(std::string versionLine_, int layout_)
    : versionLine(std::move(versionLine_)),
      layout(layout_), header{"0", "1", "1", "0", "0", "0", "0", "50800000", "1397000", "0"},
      options(DefaultOptions(layout_)) {}

MarkerBuilder::MarkerBuilder(int version) : MarkerBuilder("%" + std::to_string(version), version) {}

MarkerBuilder& MarkerBuilder::Width(int32_t micrometres) {
    return HeaderLine(8, std::to_string(micrometres));
}

MarkerBuilder& MarkerBuilder::HeaderLine(int index, std::string line) {
    header.at(static_cast<size_t>(index)) = std::move(line);
    return *this;
}

MarkerBuilder& MarkerBuilder::Separator(std::string line) {
    separator = std::move(line);
    return *this;
}

MarkerBuilder& MarkerBuilder::Options(std::vector<std::string> lines) {
    options = std::move(lines);
    return *this;
}

MarkerBuilder& MarkerBuilder::OptionLine(int index, std::string line) {
    options.at(static_cast<size_t>(index)) = std::move(line);
    return *this;
}

MarkerBuilder& MarkerBuilder::Slot(const std::string& styleName, const std::vector<MarkerSize>& sizes) {
    std::vector<std::string> lines = {styleName, std::to_string(sizes.size())};
    for (const MarkerSize& size : sizes) {
        lines.push_back(std::to_string(size.key));
    }
    for (const MarkerSize& size : sizes) {
        lines.push_back(size.value);
    }
    for (const MarkerSize& size : sizes) {
        lines.push_back(std::to_string(size.count));
    }
    if (layout >= 18 && !sizes.empty()) {
        lines.insert(lines.end(), {"0", "0"});
    }
    return SlotLines(lines);
}

MarkerBuilder& MarkerBuilder::SlotLines(const std::vector<std::string>& lines) {
    slots.push_back(lines);
    return *this;
}

MarkerBuilder& MarkerBuilder::Truncate() {
    truncate = true;
    return *this;
}

std::vector<std::string> MarkerBuilder::Lines() const {
    std::vector<std::string> lines = {versionLine};
    lines.insert(lines.end(), header.begin(), header.end());
    lines.push_back(separator);
    lines.insert(lines.end(), options.begin(), options.end());
    for (const auto& slot : slots) {
        lines.insert(lines.end(), slot.begin(), slot.end());
    }
    if (!truncate) {
        for (size_t i = slots.size(); i < kStyleSlots; ++i) {
            lines.insert(lines.end(), {"", "0"});
        }
    }
    return lines;
}

std::string MarkerBuilder::Text(const std::string& lineEnd) const {
    return JoinLines(Lines(), lineEnd);
}

StyleBuilder::StyleBuilder(int version) : StyleBuilder("%" + std::to_string(version), version) {}

StyleBuilder::StyleBuilder(std::string versionLine_, int layout_)
    : versionLine(std::move(versionLine_)), layout(layout_) {}

StyleBuilder& StyleBuilder::StyleText(std::string text) {
    styleText = std::move(text);
    return *this;
}

StyleBuilder& StyleBuilder::Piece(const std::string& name, int32_t quantity, int32_t extraQuantity) {
    return Block("+", name, "W " + std::to_string(quantity) + " " + std::to_string(extraQuantity) + " rest");
}

StyleBuilder& StyleBuilder::Block(const std::string& mark, const std::string& name,
                                  const std::string& countLine) {
    body.insert(body.end(), {mark, name, "piece text", countLine, "7", "+unused", "+unused", "7"});
    body.insert(body.end(), 5, "+unused");
    return *this;
}

StyleBuilder& StyleBuilder::Raw(const std::vector<std::string>& lines) {
    body.insert(body.end(), lines.begin(), lines.end());
    return *this;
}

std::string StyleBuilder::Text(const std::string& lineEnd) const {
    std::vector<std::string> lines = {versionLine, "1", "unused", "unused", styleText};
    if (layout >= 13) {
        lines.push_back("+unused");
    }
    lines.insert(lines.end(), body.begin(), body.end());
    return JoinLines(lines, lineEnd);
}
