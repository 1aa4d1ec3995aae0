#pragma once

#include <cstdint>

namespace quillet {

// Which phone folder a box mirrors; also its index in the box tree.
enum class BoxKind : int32_t { Inbox = 0, SentItems = 1, DeletedItems = 2 };

}  // namespace quillet
