// The failure that the desktop reports to the user: a short fixed English
// text, to which the caller prepends its own sentence.
//
// The link's failures to reach the phone also carry their reason as a kind
// and its argument (a name, a number, a further reason), so a front end
// words them in its own language from the kind and never from the text;
// every other failure is Kind::Other and says itself in message().
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace quillet {

class ORX_Exception : public std::exception {
  public:
    static constexpr size_t kMaxMessage = 255;   // UTF-16 units
    static constexpr size_t kMaxPrefixed = 511;  // UTF-16 units

    // The English each kind says, with its argument.
    enum class Kind {
        Other,              // message() alone
        NotConnected,       // "Could not connect", or "Could not connect: ARGUMENT"
        LinkBusy,           // "Could not connect: the link is busy"
        PhoneInUse,         // "The phone is in use by ARGUMENT; try again when it
                            // has finished."
        NotConnectedInUse,  // "Could not connect: " and PhoneInUse's text
        NotSent,            // "OnDeviceError: could not send sms to ARGUMENT"
    };

    explicit ORX_Exception(std::u16string_view message);
    // An ASCII or UTF-8 text.
    explicit ORX_Exception(std::string_view message);
    // One of the link's failures to reach the phone; `argument` as its kind
    // says (empty for a kind that takes none).
    ORX_Exception(Kind kind, std::u16string_view argument);

    // Could not connect because of `cause` (a set-up that failed), or for
    // no reason known when `cause` is null.
    static ORX_Exception not_connected(const ORX_Exception* cause);

    const std::u16string& message() const { return message_; }
    Kind kind() const { return kind_; }
    // What the kind says its text with: a name, a number, a reason.
    const std::u16string& argument() const { return argument_; }
    // `prefix` followed by the message, cut to 511 units.
    std::u16string with_prefix(std::u16string_view prefix) const;
    const char* what() const noexcept override { return utf8_.c_str(); }

  private:
    Kind kind_ = Kind::Other;
    std::u16string argument_;
    std::u16string message_;
    std::string utf8_;
};

}  // namespace quillet
