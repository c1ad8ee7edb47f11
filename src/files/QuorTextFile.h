#pragma once

#include "files/QuorFile.h"

#include <cstdint>
#include <string>

namespace quorix {

// A text input file: opened in text mode, begins with a version line "%<number>", and is read field by
// field, each field ended by a delimiter (the line feed unless a reader says otherwise).
class QuorTextFile : public QuorFile {
public:
    static constexpr size_t kMaxFieldLength = 255;

    bool IsBinary() const override { return false; }
    virtual bool IsSupportedVersion() const { return formatVersion >= 0; }

    // Reads the first line: `formatVersion` becomes the number after a leading '%', or -1 without one.
    // Returns IsSupportedVersion().
    bool ReadVersionLine();
    // The versions the reader takes, as the refusal names them ("12, 13 and 16").
    virtual const char* SupportedVersions() const { return "0 and above"; }

    // Each reads one field and converts it; the result is false when the stream is failed afterwards. A text
    // reader never stops on a bad value: a missing line reads as empty (0 as a number), a value that is not a
    // number as 0, and reading goes on. So the readers look at the values they got, and at IsExhausted where
    // the end matters, rather than at this result.
    bool ReadInt(int& value, char delim = '\n');
    bool ReadFloat(float& value, char delim = '\n');
    bool ReadBool(bool& value, char delim = '\n');
    bool ReadString(std::string& value, char delim = '\n');
    // Reads a field whose value is not kept, as any of the above would.
    bool SkipField(char delim = '\n');

    // True once every further field of the file will read as empty (the stream is failed or at its end).
    bool IsExhausted() const { return stream.Fail() || stream.Eof(); }

    int32_t GetFormatVersion() const { return formatVersion; }

protected:
    // Refuses the file for its version line, saying why; returns false.
    bool RefuseVersion();

    int32_t formatVersion = -1;

private:
    // Reads one field into `field` (bytes up to the delimiter, at most 255 of them).
    bool ReadField(char delim);

    std::string field;
};

} // namespace quorix
