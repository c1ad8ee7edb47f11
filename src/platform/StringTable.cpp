#include "platform/StringTable.h"

#include "platform/MessageTexts.h"
#include "platform/ModuleHandle.h"

#include <algorithm>
#include <iterator>

namespace quorix::detail {

const char* MessagePattern(unsigned id) {
    const auto* found = std::find_if(std::begin(kMessageTexts), std::end(kMessageTexts),
                                     [id](const MessageText& m) { return m.id == id; });
    return found != std::end(kMessageTexts) ? found->text : nullptr;
}

std::string LoadMessage(unsigned id, const std::vector<std::string>& inserts) {
    return FillInserts(LoadResourceString(id), inserts);
}

std::string FillInserts(const std::string& pattern, const std::vector<std::string>& inserts) {
    std::string out;
    out.reserve(pattern.size() + 64);
    const size_t n = pattern.size();
    for (size_t i = 0; i < n; ++i) {
        const char c = pattern[i];
        if (c != '%' || i + 1 == n) {
            out += c;
            continue;
        }
        const char next = pattern[i + 1];
        if (next >= '1' && next <= '9') {
            // %1 to %99: one or two digits name the insert.
            unsigned index = static_cast<unsigned>(next - '0');
            i += 1;
            if (i + 1 < n && pattern[i + 1] >= '0' && pattern[i + 1] <= '9') {
                index = index * 10 + static_cast<unsigned>(pattern[i + 1] - '0');
                i += 1;
            }
            if (index <= inserts.size()) {
                out += inserts[index - 1];
            }
            continue;
        }
        // %% and the other escapes of a character stand for that character.
        out += next;
        i += 1;
    }
    return out;
}

} // namespace quorix::detail
