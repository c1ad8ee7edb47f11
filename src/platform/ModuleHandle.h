#pragma once

#include <string>

namespace quorix::detail {

// The text of message `id` in this module's own string table (English, United States), or empty when the
// table has no such id. On Windows it is the string table resource of this module, looked up through the
// module's own instance handle: never the host's executable or any other library loaded in the process.
// Elsewhere it is the built-in table (MessageTexts.h), from which that resource is generated.
std::string LoadResourceString(unsigned id);

} // namespace quorix::detail
