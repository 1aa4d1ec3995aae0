// The messages exchanged with one correspondent across the boxes, oldest
// first: what a printed conversation and the archive's PDFs show.
//
// Two spellings of a number are one correspondent when the contact list
// would match them (same cleaned number, or the same last seven characters
// of two longer ones). A message stored for several recipients belongs to
// each of them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "desktop/store/box_set.h"

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

// The key equal for two spellings of one correspondent.
std::string correspondent_key(std::string_view number);

// The messages with `number`; none when nobody by that number wrote.
Correspondence correspondence_with(std::string_view number, const BoxSet& boxes);

// Every correspondent of the boxes, in the order first met.
std::vector<Correspondence> all_correspondences(const BoxSet& boxes);

}  // namespace quillet
