// The text of one message: UTF-16 units that never change once made.
//
// Copies share the units instead of copying them, and many texts may share
// one block: a box read from its file keeps all its texts in the block the
// file was read into, so loading 100,000 messages is one allocation rather
// than 100,000. The block lives as long as any text in it. Sharing is safe
// across threads (the count is atomic); the units themselves are never
// written once a text exists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace quillet {

class MessageText {
  public:
    // The empty text.
    MessageText() = default;
    // A copy of `text` in a block of its own.
    explicit MessageText(std::u16string_view text);
    // Takes `text` over without copying its units.
    explicit MessageText(std::u16string&& text);
    // `size` units from unit `offset` of `block`, which this text then keeps
    // alive. The caller has checked that they lie inside the block, and
    // writes no more to them.
    MessageText(const std::shared_ptr<char16_t[]>& block, size_t offset, size_t size)
        : units_(block, block.get() + offset), size_(checked_size(size)) {}

    // Never has a null data(), so it can be handed to memcpy and the like.
    std::u16string_view view() const {
        return size_ == 0 ? std::u16string_view(u"", 0) : std::u16string_view(units_.get(), size_);
    }
    size_t size() const { return size_; }

  private:
    // A size that fits the 32 bits kept; std::length_error beyond (no
    // message comes near: box files and the wire are far smaller).
    static uint32_t checked_size(size_t size);

    // Points at the first unit and owns whatever holds it (aliasing).
    std::shared_ptr<const char16_t> units_;
    // 32 bits, so that the message holding the text can use the rest of its
    // eight bytes: a lifetime's history holds a million texts.
    uint32_t size_ = 0;
};

// Whether two texts hold the same units; compared as bytes, which is many
// times quicker than unit by unit.
inline bool same_units(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(char16_t)) == 0);
}

}  // namespace quillet
