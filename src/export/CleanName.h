#pragma once

#include <string>

class QuorFile;

// The cleaned form of one character: '.', '/' and '#' become '-'.
inline void CleanChar(char& c) {
    if (c == '.' || c == '/' || c == '#') {
        c = '-';
    }
}

// Replaces every '.', '/' and '#' of `name` by '-', in place, and returns it.
std::string& CleanName(std::string& name);

// The order name of an import: the loaded file's base name, cleaned.
std::string OrderNameOf(const QuorFile& file);
