#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Joins the lines, each followed by `lineEnd`.
std::string JoinLines(const std::vector<std::string>& lines, const std::string& lineEnd = "\n");

// One size of a marker's style slot, its value written as text.
struct MarkerSize {
    int32_t key = 0;
    std::string value = "0";
    int32_t count = 0;
};

// Builds the text of a marker definition file line by line: the version line, ten header values, the
// separator, the option block of the chosen layout (second marker text "text two" from layout 12 on) and
// the 40 style slots, unused ones written empty.
class MarkerBuilder {
public:
    // `line` is written as the first line ("%19", "%", "19"); `layout` (10, 12, 18 or 19) decides
    // the option block and whether a slot with sizes ends in two more integers.
    MarkerBuilder(std::string line, int layout_) : versionLine(std::move(line)), layout(layout_) {}
    explicit MarkerBuilder(int version) : MarkerBuilder("%" + std::to_string(version), version) {}

    MarkerBuilder& Separator(std::string line) { return Set(separator, std::move(line)); }
    // A slot whose size count is the number of sizes; keys, values and counts in three passes.
    MarkerBuilder& Slot(const std::string& styleName, const std::vector<MarkerSize>& sizes);
    // A slot written exactly as the given lines.
    MarkerBuilder& SlotLines(const std::vector<std::string>& lines);
    // Ends the file after the slots given so far, without the empty ones up to 40.
    MarkerBuilder& Truncate() { return Set(truncate, true); }
    std::vector<std::string> Lines() const;
    // Every line followed by `lineEnd`.
    std::string Text(const std::string& lineEnd = "\n") const { return JoinLines(Lines(), lineEnd); }

private:
    template <typename T> MarkerBuilder& Set(T& member, T value) {
        member = std::move(value);
        return *this;
    }

    std::string versionLine;
    int layout;
    std::string width = "1397000";
    std::string separator = "%";
    std::vector<std::string> slotLines;
    int slots = 0;
    bool truncate = false;
};

// Builds the text of a style file: version line, one integer, two texts, the style text, one more text
// for version 13 and later, then piece blocks of 13 lines. The lines of a block that nothing reads hold
// "+unused", so that a reader out of step takes them for block marks.
class StyleBuilder {
public:
    explicit StyleBuilder(int version) : StyleBuilder("%" + std::to_string(version), version) {}
    StyleBuilder(std::string versionLine, int layout);

    // A block with the count line "W <quantity> <extra> rest".
    StyleBuilder& Piece(const std::string& name, int32_t quantity, int32_t extraQuantity);
    // A block with the given mark and count line.
    StyleBuilder& Block(const std::string& mark, const std::string& name, const std::string& countLine);
    std::string Text(const std::string& lineEnd = "\n") const { return JoinLines(lines, lineEnd); }

private:
    std::vector<std::string> lines;
};
