#pragma once

#include "files/BigEndian.h"
#include "files/QuorFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace quorix {

// A binary input file with the big-endian read primitives of the lay reader. Every primitive but Skip
// delivers the file's bytes as ReadBytes does, with each CR LF pair folded into one LF.
//
// The primitives take their bytes straight from the stream's buffer when no carried byte is pending, no
// CR among the bytes is followed by an LF and the last byte is not a CR: folding leaves such bytes as they
// are and looks at no byte beyond them, however they are split into reads. Everything else goes through
// the folding of ReadBytes.
class QuorBinaryFile : public QuorFile {
public:
    bool IsBinary() const override { return true; }

    // The next `count` bytes after folding; throws QuorUnhandledFormatFeatureException (kEndOfFileText)
    // when the file ends before them, or right after them when the last is a CR (its next byte is looked
    // for).
    void ReadBytes(char* buffer, int count) {
        if (count > 0) {
            if (const char* direct = TakeDirect(static_cast<size_t>(count))) {
                std::memcpy(buffer, direct, static_cast<size_t>(count));
                return;
            }
        }
        ReadBytesFolding(buffer, count);
    }
    void ReadByte(char& value) { ReadBytes(&value, 1); }
    void ReadInt8(int& value) {
        char byte = 0;
        ReadBytes(&byte, 1);
        value = static_cast<signed char>(byte);
    }
    void ReadBool(bool& value) {
        char byte = 0;
        ReadBytes(&byte, 1);
        value = byte != 0;
    }
    void ReadInt16(short& value) {
        char bytes[2] = {0, 0};
        ReadBytes(bytes, 2);
        value = static_cast<short>(detail::BigEndian16(bytes));
    }
    void ReadInt16(int& value) {
        short narrow = 0;
        ReadInt16(narrow);
        value = narrow;
    }
    // The next four bytes with their order reversed in place, whatever the host's byte order: a big-endian
    // 32-bit value of the file lands in little-endian order (the host's own only on a little-endian host).
    void ReadInt32(char* fourBytes);
    // Bytes up to the first NUL, which is consumed too. Of a longer string than `longest` bytes only the
    // first `longest` are kept; the rest is passed over.
    void ReadString(std::string& value, size_t longest = SIZE_MAX) {
        if (!hasCarriedByte) {
            const char* data = nullptr;
            const size_t available = stream.Window(data);
            const void* nul = available > 0 ? std::memchr(data, '\0', available) : nullptr;
            if (nul != nullptr) {
                const size_t length = static_cast<size_t>(static_cast<const char*>(nul) - data);
                if (!NeedsFolding(data, length + 1)) {
                    value.assign(data, std::min(length, longest));
                    stream.Advance(length + 1);
                    return;
                }
            }
        }
        ReadStringByBytes(value, longest);
    }
    // Consumes a string as ReadString does, keeping none of it; returns the number of bytes consumed.
    int64_t SkipString();
    // Moves the read position forward by `count` file bytes without folding; 0 or less does nothing.
    void Skip(int count);

    static constexpr const char* kEndOfFileText = "Exceeding End of File while reading file...";

protected:
    static constexpr char kCr = '\r';

    void ResetReadState() override { hasCarriedByte = false; }
    // The stream position in file bytes.
    int64_t Position() const { return stream.Tell(); }
    bool AtEndOfFile() const { return stream.Eof(); }

    // The next `count` bytes (at least 1) when they can be delivered unchanged, without folding: no byte
    // is carried, no CR among them is followed by an LF, and the last is not a CR. Read one by one or in
    // parts, such bytes also arrive unchanged: a CR that ends a part only makes the next byte be carried
    // into the next part. The read position moves over them. Null, with nothing read, when the bytes must
    // go through ReadBytes (also when fewer than `count` bytes are buffered).
    const char* TakeDirect(size_t count) {
        if (hasCarriedByte) {
            return nullptr;
        }
        const char* data = nullptr;
        if (stream.Window(data) < count || NeedsFolding(data, count)) {
            return nullptr;
        }
        stream.Advance(count);
        return data;
    }

    // Up to `entries` entries of `entryBytes` bytes each that hold no CR and lie whole in the buffer, with no
    // byte carried: folding leaves them as they are, as TakeDirect would each of them. Sets `entries` to
    // the number taken (at least 1) and moves the read position over them; null, with nothing taken, when
    // not even the first qualifies.
    const char* TakeDirectEntries(size_t entryBytes, size_t& entries) {
        if (hasCarriedByte) {
            return nullptr;
        }
        const char* data = nullptr;
        const size_t whole = std::min(entries, stream.Window(data) / entryBytes);
        if (whole == 0) {
            return nullptr;
        }
        const void* cr = std::memchr(data, kCr, whole * entryBytes);
        const size_t taken =
            cr == nullptr ? whole : static_cast<size_t>(static_cast<const char*>(cr) - data) / entryBytes;
        if (taken == 0) {
            return nullptr;
        }
        stream.Advance(taken * entryBytes);
        entries = taken;
        return data;
    }

    // Whether folding could change the `count` bytes at `data` (at least 1) or look past them: a CR among
    // them is followed by an LF, or the last is a CR.
    static bool NeedsFolding(const char* data, size_t count) {
        return HoldsCr(data, count) && CrNeedsFolding(data, count);
    }
    // The same for bytes that hold a CR.
    static bool CrNeedsFolding(const char* data, size_t count);

    // Whether one of the `count` bytes at `data` is a CR; eight bytes at a time, without a branch per byte.
    static bool HoldsCr(const char* data, size_t count) {
        constexpr uint64_t kOnes = 0x0101010101010101ull;
        uint64_t found = 0;
        size_t i = 0;
        for (; i + 8 <= count; i += 8) {
            uint64_t word = 0;
            std::memcpy(&word, data + i, 8);
            word ^= kOnes * static_cast<unsigned char>(kCr);
            found |= (word - kOnes) & ~word & (kOnes << 7); // a zero byte: a CR before the xor
        }
        for (; i < count; ++i) {
            found |= data[i] == kCr ? 1u : 0u;
        }
        return found != 0;
    }

    // The folding read that ReadBytes falls back on: CR LF pairs become LF, a CR at the end looks at the
    // next byte of the file and carries it when it is not an LF; throws at the end of the file.
    void ReadBytesFolding(char* buffer, int count);

private:
    // ReadString one byte at a time through ReadBytes.
    void ReadStringByBytes(std::string& value, size_t longest);

    char carriedByte = 0;
    bool hasCarriedByte = false;
};

} // namespace quorix
