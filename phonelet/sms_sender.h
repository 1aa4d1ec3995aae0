// Hands one text message to the phone's SMS service.
#pragma once

#include "phonelet/service_holder.h"
#include "platform/ce/sms.h"
#include "protocol/wire_format.h"

namespace quillet {

class SmsSender : public ServiceHolder {
  public:
    ~SmsSender() override;

    // Opens the text SMS provider for sending; true on success.
    bool open();
    // Submits the record's text to its address: class byte 0 to 3 selects
    // that message class, any other value class 1; an address beginning
    // with "+" is international, any other unknown. True when the service
    // accepted it. Size, time, entry id and flags are not used.
    bool send(const SmsWireRecord& record);
    void close();

  private:
    ce::SMS_HANDLE handle_ = 0;
    ce::HANDLE event_ = 0;
};

}  // namespace quillet
