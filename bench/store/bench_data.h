// Generated messages for the store's benchmarks.
#pragma once

#include <random>
#include <string>

#include "desktop/store/sms_message.h"
#include "protocol/filetime.h"

namespace quillet::bench {

// A phone record with a text of 20 to 140 letters, one of `numbers` senders,
// and a time `index` minutes after a fixed start.
inline SmsWireRecord phone_record(std::mt19937& rng, size_t index, int numbers) {
    SmsWireRecord w;
    const size_t length = 20 + rng() % 121;
    w.text.reserve(length);
    for (size_t i = 0; i < length; ++i)
        w.text += static_cast<char16_t>(u'a' + rng() % 26);
    set_text_field(w.address, "+49151" + std::to_string(1'000'000 + rng() % numbers));
    w.time = filetime_from_unix(1'700'000'000 + static_cast<int64_t>(index) * 60);
    w.flags = rng() % 2;
    return w;
}

}  // namespace quillet::bench
