#include "files/QuorTextFile.h"

#include "runtime/CrtNumbers.h"

#include <cstring>

namespace quorix {

using runtime::Atof;
using runtime::Atoi;
using runtime::NarrowToFloat;

bool QuorTextFile::ReadField(char delim) {
    stream.GetLine(field, kMaxFieldLength, delim);
    return !stream.Fail();
}

bool QuorTextFile::ReadVersionLine() {
    ReadField('\n');
    if (!field.empty() && field[0] == '%') {
        formatVersion = Atoi(field.c_str() + 1);
    } else {
        formatVersion = -1;
    }
    return IsSupportedVersion();
}

bool QuorTextFile::RefuseVersion() {
    if (formatVersion < 0) {
        SetFailureText("the first line is not a version line \"%<number>\"");
    } else {
        SetFailureText("format version " + std::to_string(formatVersion) +
                       " is not supported (the reader takes versions " + SupportedVersions() + ")");
    }
    return false;
}

bool QuorTextFile::SkipField(char delim) {
    stream.SkipLine(kMaxFieldLength, delim);
    return !stream.Fail();
}

bool QuorTextFile::ReadInt(int& value, char delim) {
    const bool ok = ReadField(delim);
    value = Atoi(field.c_str());
    return ok;
}

bool QuorTextFile::ReadFloat(float& value, char delim) {
    const bool ok = ReadField(delim);
    value = NarrowToFloat(Atof(field.c_str()));
    return ok;
}

bool QuorTextFile::ReadBool(bool& value, char delim) {
    int number = 0;
    const bool ok = ReadInt(number, delim);
    value = number != 0;
    return ok;
}

bool QuorTextFile::ReadString(std::string& value, char delim) {
    const bool ok = ReadField(delim);
    // The field is a C string: it ends at its first NUL byte.
    value.assign(field.c_str(), std::strlen(field.c_str()));
    return ok;
}

} // namespace quorix
