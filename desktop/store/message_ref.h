// A message named by its box and its place there. Valid until the box next
// changes.
#pragma once

#include <cstddef>

#include "desktop/store/device_operations.h"

namespace quillet {

struct MessageRef {
    BoxKind box = BoxKind::Inbox;
    size_t index = 0;
    bool operator==(const MessageRef&) const = default;
};

}  // namespace quillet
