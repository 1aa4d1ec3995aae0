// The messages exchanged with one correspondent across the boxes, oldest
// first: what a printed conversation and the archive's PDFs show.
//
// Two spellings are one correspondent exactly when the conversations list
// groups them: libphonenumber takes them for the same number, or their
// texts are equal (short codes, sender names). A message stored for several
// recipients belongs to each of them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "desktop/store/box_set.h"
#include "desktop/store/phone_number.h"

namespace quillet {

struct ExchangedMessage {
    const SmsMessage* message;  // owned by its box; valid while the box is unchanged
    bool sent = false;          // from Sent Items; else received
    bool deleted = false;       // from Deleted Items
};

struct Correspondence {
    std::string number;  // the first spelling met, in box order
    std::vector<ExchangedMessage> messages;
};

// The messages with `number`; none when nobody by that number wrote.
Correspondence correspondence_with(std::string_view number, const BoxSet& boxes,
                                   const PhoneNumbers& numbers);

// Every correspondent of the boxes, in the order first met.
std::vector<Correspondence> all_correspondences(const BoxSet& boxes, const PhoneNumbers& numbers);

}  // namespace quillet
