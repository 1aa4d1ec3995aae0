#include "phonelet/sms_sender.h"

#include <vector>

#include "protocol/byte_order.h"
#include "protocol/text_codec.h"

namespace quillet {

SmsSender::~SmsSender() {
    close();
}

bool SmsSender::open() {
    close();
    return ce::SUCCEEDED(ce::SmsOpen(ce::SMS_MSGTYPE_TEXT, ce::SMS_MODE_SEND, &handle_, &event_));
}

bool SmsSender::send(const SmsWireRecord& record) {
    std::vector<uint8_t> data(record.text.size() * 2);
    for (size_t i = 0; i < record.text.size(); ++i) {
        put_u16le(data, 2 * i, static_cast<uint16_t>(record.text[i]));
    }
    const auto cls = record.message_class <= 3
                         ? static_cast<ce::PROVIDER_SPECIFIC_MESSAGE_CLASS>(record.message_class)
                         : ce::PS_MESSAGE_CLASS1;
    const auto provider_data = ce::text_provider_data(0, cls, 0);

    ce::SMS_ADDRESS destination;
    const std::string_view address = text_field(record.address);
    destination.ptsAddress = from_ansi(address);
    destination.smsatAddressType =
        address.starts_with('+') ? ce::SMSAT_INTERNATIONAL : ce::SMSAT_UNKNOWN;

    ce::SMS_MESSAGE_ID id = 0;  // received and not used
    return ce::SUCCEEDED(ce::SmsSendMessage(handle_, nullptr, &destination, nullptr, data,
                                            provider_data, ce::SMSDE_OPTIMAL,
                                            ce::SMS_OPTION_DELIVERY_NONE, &id));
}

void SmsSender::close() {
    if (handle_ != 0)
        ce::SmsClose(handle_);
    handle_ = 0;
    event_ = 0;
}

}  // namespace quillet
