// The text field readers: the first byte chooses the delimiter, the rest is the file. Every field is at
// most 255 characters, reading ends once the file is exhausted, and a failed read stays failed.
#include "FuzzSupport.h"

#include "files/QuorTextFile.h"

#include <cstdlib>

using namespace quorix;

namespace {
class FieldWalk : public QuorTextFile {
public:
    explicit FieldWalk(char delimiter) : delim(delimiter) {}
    bool Parse() override {
        ReadVersionLine();
        // Each read takes at least one byte or exhausts the file; the limit only guards the walk itself.
        for (int reads = 0; !IsExhausted(); ++reads) {
            if (reads > limit) {
                std::abort();
            }
            std::string text;
            int number = 0;
            float real = 0.0f;
            bool flag = false;
            switch (reads % 4) {
            case 0:
                ReadString(text, delim);
                if (text.size() > kMaxFieldLength) {
                    std::abort();
                }
                break;
            case 1:
                ReadInt(number, delim);
                break;
            case 2:
                ReadFloat(real, delim);
                break;
            default:
                ReadBool(flag, '\n');
                break;
            }
        }
        std::string after = "x";
        if (ReadString(after) || !after.empty()) {
            std::abort(); // an exhausted file reads as empty and failed
        }
        return true;
    }
    int limit = 0;

private:
    char delim;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    FieldWalk walk(static_cast<char>(data[0]));
    walk.limit = static_cast<int>(size) + 2;
    walk.Load("fields.txt", std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    return 0;
}
