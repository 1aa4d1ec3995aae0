// The failure that the desktop reports to the user: a short fixed English
// text, to which the caller prepends its own sentence.
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace quillet {

class ORX_Exception : public std::exception {
  public:
    static constexpr size_t kMaxMessage = 255;   // UTF-16 units
    static constexpr size_t kMaxPrefixed = 511;  // UTF-16 units

    explicit ORX_Exception(std::u16string_view message);
    // An ASCII or UTF-8 text.
    explicit ORX_Exception(std::string_view message);

    const std::u16string& message() const { return message_; }
    // `prefix` followed by the message, cut to 511 units.
    std::u16string with_prefix(std::u16string_view prefix) const;
    const char* what() const noexcept override { return utf8_.c_str(); }

  private:
    std::u16string message_;
    std::string utf8_;
};

}  // namespace quillet
