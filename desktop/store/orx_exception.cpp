#include "orx_exception.h"

#include "protocol/text_codec.h"

namespace quillet {
namespace {

constexpr std::u16string_view kCouldNotConnect = u"Could not connect";

std::u16string english(ORX_Exception::Kind kind, std::u16string_view argument) {
    using Kind = ORX_Exception::Kind;
    const std::u16string in_use = u"The phone is in use by " + std::u16string(argument) +
                                  u"; try again when it has finished.";
    switch (kind) {
        case Kind::Other:
            break;
        case Kind::NotConnected:
            return argument.empty()
                       ? std::u16string(kCouldNotConnect)
                       : std::u16string(kCouldNotConnect) + u": " + std::u16string(argument);
        case Kind::LinkBusy:
            return std::u16string(kCouldNotConnect) + u": the link is busy";
        case Kind::PhoneInUse:
            return in_use;
        case Kind::NotConnectedInUse:
            return std::u16string(kCouldNotConnect) + u": " + in_use;
        case Kind::NotSent:
            return u"OnDeviceError: could not send sms to " + std::u16string(argument);
    }
    return std::u16string(argument);
}

}  // namespace

ORX_Exception::ORX_Exception(std::u16string_view message)
    : message_(message.substr(0, kMaxMessage)), utf8_(to_utf8(message_)) {}

ORX_Exception::ORX_Exception(std::string_view message) : ORX_Exception(from_utf8(message)) {}

ORX_Exception::ORX_Exception(Kind kind, std::u16string_view argument)
    : ORX_Exception(english(kind, argument)) {
    kind_ = kind;
    argument_ = argument.substr(0, kMaxMessage);
}

ORX_Exception ORX_Exception::not_connected(const ORX_Exception* cause) {
    if (cause == nullptr)
        return {Kind::NotConnected, u""};
    if (cause->kind() == Kind::PhoneInUse)
        return {Kind::NotConnectedInUse, cause->argument()};
    return {Kind::NotConnected, cause->message()};
}

std::u16string ORX_Exception::with_prefix(std::u16string_view prefix) const {
    std::u16string out(prefix);
    out += message_;
    if (out.size() > kMaxPrefixed)
        out.resize(kMaxPrefixed);
    return out;
}

}  // namespace quillet
