#pragma once

#include "files/QuorFile.h"

#include <cstdint>
#include <string>

// A binary input file with the big-endian read primitives of the lay reader. Every primitive reads through
// ReadBytes, which delivers the file's bytes with each CR LF pair folded into one LF.
class QuorBinaryFile : public QuorFile {
public:
    bool IsBinary() const override { return true; }

    // The next `count` bytes after folding; throws QuorUnhandledFormatFeatureException when the stream
    // reaches the end of the file.
    void ReadBytes(char* buffer, int count);
    void ReadByte(char& value);
    void ReadInt8(int& value);
    void ReadBool(bool& value);
    void ReadInt16(short& value);
    void ReadInt16(int& value);
    // Four bytes reversed in place: a big-endian 32-bit value of the file lands in host order.
    void ReadInt32(char* fourBytes);
    // Bytes up to the first NUL; returns the number of bytes consumed, the NUL included.
    int ReadString(std::string& value);
    // Moves the read position forward by `count` file bytes without folding; 0 or less does nothing.
    void Skip(int count);

    // Typed forms of ReadInt32.
    int32_t ReadI32();
    uint32_t ReadWord();
    float ReadF32();

    static constexpr const char* kEndOfFileText = "Exceeding End of File while reading file...";

protected:
    void ResetReadState() override { hasCarriedByte = false; }
    // The stream position in file bytes.
    int64_t Position() const { return stream.Tell(); }
    bool AtEndOfFile() const { return stream.Eof(); }

private:
    char carriedByte = 0;
    bool hasCarriedByte = false;
};
