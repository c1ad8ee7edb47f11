#include "platform/ModuleHandle.h"

#include "platform/StringTable.h"

namespace quorix::detail {

std::string LoadResourceString(unsigned id) {
    const char* text = MessagePattern(id);
    return text != nullptr ? text : "";
}

} // namespace quorix::detail
