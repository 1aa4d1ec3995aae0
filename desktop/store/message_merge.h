// Merging the messages fetched from a phone folder into a box.
//
// One kept message stands for at most one phone message, named by its entry
// id once it has one. For each fetched record in order, of the messages of
// the box (counting those appended by this merge) that are the same message
// (same text, same number, same second) and stand for no other record of
// this merge, the one with the record's entry id is replaced by the fetched
// one, else the first that has no entry id yet (an imported or restored
// one). A message that has another entry id is another phone message, even
// when it is no longer on the phone: two alike messages on the phone stay
// two, and a message moved off the phone never takes on its twin. The
// stored read flag is kept when it is set (a message read in either place
// stays read); a record that matches none is appended and a copy queued as
// new. A message stored before sender names were kept
// (its number what the name's digits made, mostly "") is the same message
// as a record from that name with its text and second, and takes the name. Every merged message is
// marked on the phone. The merge keeps a hash index, so its cost grows with the sizes, not with
// their product.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "desktop/store/sms_message.h"
#include "protocol/wire_format.h"

namespace quillet {

// Clears on_phone of every message, then merges `fetched` (oldest first).
// Returns how many messages were appended (and queued). `changed`, when
// given, is set to whether any message now differs from what it was (a
// field, a flag, or one appended): a folder that brings nothing new usually
// changes nothing, and then there is nothing to save. All or nothing: when
// memory runs out, `messages` and `new_messages` are left as they were and
// the std::bad_alloc goes on to the caller.
size_t merge_fetched(std::vector<SmsMessage>& messages, std::vector<SmsMessage>& new_messages,
                     std::span<const SmsWireRecord> fetched, bool* changed = nullptr);
// The same, taking the fetched texts over instead of copying them.
size_t merge_fetched_owned(std::vector<SmsMessage>& messages, std::vector<SmsMessage>& new_messages,
                           std::vector<SmsWireRecord>&& fetched, bool* changed = nullptr);

}  // namespace quillet
