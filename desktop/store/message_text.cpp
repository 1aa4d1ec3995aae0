#include "message_text.h"

#include <algorithm>
#include <stdexcept>

namespace quillet {

uint32_t MessageText::checked_size(size_t size) {
    if (size > UINT32_MAX)
        throw std::length_error("a message text of more than 2^32 units");
    return static_cast<uint32_t>(size);
}

MessageText::MessageText(std::u16string_view text) : size_(checked_size(text.size())) {
    if (text.empty())
        return;
    auto block = std::make_shared_for_overwrite<char16_t[]>(text.size());
    char16_t* first = block.get();
    std::copy(text.begin(), text.end(), first);
    units_ = std::shared_ptr<const char16_t>(std::move(block), first);
}

MessageText::MessageText(std::u16string&& text) : size_(checked_size(text.size())) {
    if (text.empty())
        return;
    auto owner = std::make_shared<const std::u16string>(std::move(text));
    units_ = std::shared_ptr<const char16_t>(owner, owner->data());
}

}  // namespace quillet
