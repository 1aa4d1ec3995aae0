#include "orx_exception.h"

#include "protocol/text_codec.h"

namespace quillet {

ORX_Exception::ORX_Exception(std::u16string_view message)
    : message_(message.substr(0, kMaxMessage)), utf8_(to_utf8(message_)) {}

ORX_Exception::ORX_Exception(std::string_view message) : ORX_Exception(from_utf8(message)) {}

std::u16string ORX_Exception::with_prefix(std::u16string_view prefix) const {
    std::u16string out(prefix);
    out += message_;
    if (out.size() > kMaxPrefixed)
        out.resize(kMaxPrefixed);
    return out;
}

}  // namespace quillet
