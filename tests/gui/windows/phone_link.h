// The real device link to the emulated phone, with waits shortened for tests.
#pragma once

#include <memory>
#include <string>

#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/device_operations.h"
#include "window_test_env.h"

namespace quillet::testing {

LinkSettings quick_link_settings();

// A link whose sentinel runs, so that device operations can set it up.
std::unique_ptr<SmartphoneSmsConnect> start_link();

// The real link, except that while one number is being sent to the test
// switches the phone's SMS service to refusing (quillet-phone refuse on), so
// the agent really answers "F" for that number alone.
class RefusingOneNumber : public DeviceOperations {
  public:
    RefusingOneNumber(DeviceOperations& link, const WindowTestEnv& env, std::string number)
        : link_(link), env_(env), number_(std::move(number)) {}

    int fetch_folder(BoxKind kind, std::vector<SmsWireRecord>& records, StatusSink* sink) override {
        return link_.fetch_folder(kind, records, sink);
    }
    bool delete_on_device(BoxKind kind, const SmsWireRecord& record) override {
        return link_.delete_on_device(kind, record);
    }
    int fetch_contacts(std::vector<Contact>& contacts, StatusSink* sink) override {
        return link_.fetch_contacts(contacts, sink);
    }
    bool send_sms(const SmsWireRecord& record) override;

  private:
    DeviceOperations& link_;
    const WindowTestEnv& env_;
    std::string number_;
};

}  // namespace quillet::testing
