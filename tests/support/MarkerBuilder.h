#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One size of a marker's style slot, its value written as text.
struct MarkerSize {
    int32_t key = 0;
    std::string value = "0";
    int32_t count = 0;
};

// Builds the text of a marker definition file line by line: the version line, ten header values, the
// separator, the option block of the chosen layout and the 40 style slots (unused ones written empty).
class MarkerBuilder {
public:
    // `versionLine` is written as the first line ("%19", "%", "19"); `layout` (10, 12, 18 or 19) decides
    // the option block and whether a slot with sizes ends in two more integers.
    MarkerBuilder(std::string versionLine, int layout);
    explicit MarkerBuilder(int version);

    MarkerBuilder& Width(int32_t micrometres);
    MarkerBuilder& HeaderLine(int index, std::string line); // 0-based among the ten header values
    MarkerBuilder& Separator(std::string line);
    MarkerBuilder& Options(std::vector<std::string> lines); // replaces the whole option block
    MarkerBuilder& OptionLine(int index, std::string line);
    // A slot whose size count is the number of sizes; keys, values and counts in three passes.
    MarkerBuilder& Slot(const std::string& styleName, const std::vector<MarkerSize>& sizes);
    // A slot written exactly as the given lines.
    MarkerBuilder& SlotLines(const std::vector<std::string>& lines);
    // Ends the file after the slots given so far, without the empty ones up to 40.
    MarkerBuilder& Truncate();

    std::vector<std::string> Lines() const;
    // Every line followed by `lineEnd`.
    std::string Text(const std::string& lineEnd = "\n") const;

private:
    std::string versionLine;
    int layout;
    std::vector<std::string> header;
    std::string separator = "%";
    std::vector<std::string> options;
    std::vector<std::vector<std::string>> slots;
    bool truncate = false;
};

// Builds the text of a style file: version line, one integer, two texts, the style text, one more text
// for version 13 and later, then piece blocks of 13 lines. The lines of a block that nothing reads hold
// "+unused", so that a reader out of step takes them for block marks.
class StyleBuilder {
public:
    explicit StyleBuilder(int version);
    StyleBuilder(std::string versionLine, int layout);

    StyleBuilder& StyleText(std::string text);
    // A block with the count line "W <quantity> <extra> rest".
    StyleBuilder& Piece(const std::string& name, int32_t quantity, int32_t extraQuantity);
    // A block with the given mark and count line.
    StyleBuilder& Block(const std::string& mark, const std::string& name, const std::string& countLine);
    // Lines written after the blocks, as given.
    StyleBuilder& Raw(const std::vector<std::string>& lines);

    std::string Text(const std::string& lineEnd = "\n") const;

private:
    std::string versionLine;
    int layout;
    std::string styleText = "style";
    std::vector<std::string> body;
};

// Joins the lines, each followed by `lineEnd`.
std::string JoinLines(const std::vector<std::string>& lines, const std::string& lineEnd = "\n");
