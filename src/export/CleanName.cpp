#include "export/CleanName.h"

#include "files/QuorFile.h"

std::string& CleanName(std::string& name) {
    for (char& c : name) {
        CleanChar(c);
    }
    return name;
}

std::string OrderNameOf(const QuorFile& file) {
    std::string name = file.GetBaseName();
    return CleanName(name);
}
