#include "phone_link.h"

namespace quillet::testing {

LinkSettings quick_link_settings() {
    LinkSettings s;
    s.rapi_wait = std::chrono::milliseconds(300);
    s.rapi_tries = 1;
    s.connect_poll = std::chrono::milliseconds(50);
    s.connect_polls = 200;
    s.pause_step = std::chrono::milliseconds(20);
    s.pause_steps = 5;
    s.accept_limit = std::chrono::milliseconds(10000);
    return s;
}

std::unique_ptr<SmartphoneSmsConnect> start_link() {
    auto link = std::make_unique<SmartphoneSmsConnect>(quick_link_settings());
    link->start_sentinel([] {}, std::chrono::milliseconds(200));
    return link;
}

bool RefusingOneNumber::send_sms(const SmsWireRecord& record) {
    const bool refuse = text_field(record.address) == number_;
    if (refuse)
        env_.phone({QStringLiteral("refuse"), QStringLiteral("on")});
    struct Restore {
        const WindowTestEnv& env;
        bool active;
        ~Restore() {
            if (active)
                env.phone({QStringLiteral("refuse"), QStringLiteral("off")});
        }
    } restore{env_, refuse};
    return link_.send_sms(record);
}

}  // namespace quillet::testing
