#include "message_merge.h"

#include <bit>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string_view>

#include "protocol/filetime.h"

namespace quillet {
namespace {

// Two messages are the same exactly when text, number and local whole second
// agree (same_message): a message in the same UTC second always has the same
// local second, and the local second alone also joins the two instants that
// a clock turned back shows alike. So the key holds the local second.
struct MessageKey {
    std::u16string_view text;
    std::string_view number;
    int64_t local_second;
};

constexpr uint64_t kMix = 0x9e3779b97f4a7c15ULL;

// The part of the key that costs no time conversion.
uint64_t text_number_hash(const SmsMessage& m) {
    uint64_t h = std::hash<std::u16string_view>{}(m.text_view());
    h ^= std::hash<std::string_view>{}(m.number()) + kMix + (h << 6) + (h >> 2);
    return h;
}

uint64_t key_hash(uint64_t text_number, int64_t local_second) {
    const uint64_t s = std::hash<int64_t>{}(local_second);
    return text_number ^ (s + kMix + (text_number << 6) + (text_number >> 2));
}

// For each distinct key, the first index that holds it, in an open-addressed
// table sized for every message the merge can end with. Keys are compared
// against the box itself, so the index stays valid while the vector grows
// and while matched messages are replaced by equal-keyed ones.
class FirstMatchIndex {
  public:
    explicit FirstMatchIndex(const std::vector<SmsMessage>& messages, size_t expected)
        : messages_(messages),
          seconds_(messages.size(), 0),
          slots_(std::bit_ceil(2 * expected + 2)),
          mask_(slots_.size() - 1) {
        seconds_.reserve(expected);
    }

    // Indexes box message `index`, unless an earlier one holds its key.
    void add_existing(size_t index, uint64_t text_number) {
        const SmsMessage& m = messages_[index];
        const MessageKey k{m.text_view(), m.number(), local_seconds(m.time())};
        seconds_[index] = k.local_second;
        const uint64_t h = key_hash(text_number, k.local_second);
        Slot& slot = slots_[probe(k, h)];
        if (slot.index == kEmpty)
            slot = {static_cast<uint32_t>(h), static_cast<uint32_t>(index)};
    }

    // The first index whose message has key `k` (hash `h`), or npos.
    size_t find(const MessageKey& k, uint64_t h) const {
        const uint32_t index = slots_[probe(k, h)].index;
        return index == kEmpty ? npos : index;
    }

    // Records that message `index` (just appended), whose key `k` no earlier
    // message holds, has hash `h`.
    void add_new(const MessageKey& k, uint64_t h, size_t index) {
        seconds_.push_back(k.local_second);
        slots_[probe(k, h)] = {static_cast<uint32_t>(h), static_cast<uint32_t>(index)};
    }

    static constexpr size_t npos = static_cast<size_t>(-1);

  private:
    // Eight bytes a slot keep the table small enough for the cache: the low
    // half of the hash (to skip most unequal keys) and the message's index.
    static constexpr uint32_t kEmpty = UINT32_MAX;
    struct Slot {
        uint32_t hash = 0;
        uint32_t index = kEmpty;
    };

    // The position of the slot holding key `k`, or of the empty slot where it
    // belongs. The table is never more than half full, so an empty slot is
    // always found.
    size_t probe(const MessageKey& k, uint64_t h) const {
        for (size_t i = h & mask_;; i = (i + 1) & mask_) {
            const Slot& slot = slots_[i];
            if (slot.index == kEmpty ||
                (slot.hash == static_cast<uint32_t>(h) && matches(slot.index, k)))
                return i;
        }
    }

    bool matches(size_t index, const MessageKey& k) const {
        const SmsMessage& m = messages_[index];
        return seconds_[index] == k.local_second && m.text_view() == k.text &&
               m.number() == k.number;
    }

    const std::vector<SmsMessage>& messages_;
    std::vector<int64_t> seconds_;  // local second of each indexed message
    std::vector<Slot> slots_;
    size_t mask_;
};

}  // namespace

size_t merge_fetched(std::vector<SmsMessage>& messages, std::vector<SmsMessage>& new_messages,
                     std::span<const SmsWireRecord> fetched) {
    // Indices are kept in 32 bits; no box comes near that.
    if (messages.size() + fetched.size() >= UINT32_MAX)
        throw std::length_error("merge_fetched: too many messages");
    for (SmsMessage& m : messages)
        m.set_on_phone(0);

    std::vector<SmsMessage> incoming;
    std::vector<uint64_t> incoming_hashes;
    incoming.reserve(fetched.size());
    incoming_hashes.reserve(fetched.size());
    for (const SmsWireRecord& w : fetched) {
        incoming.push_back(SmsMessage::from_wire(w));
        incoming_hashes.push_back(text_number_hash(incoming.back()));
    }
    // A bit per possible hash value (modulo the set's size): a stored message
    // whose bit is clear shares text and number with no fetched one. A set bit
    // may be shared by chance, which only indexes a message needlessly.
    std::vector<bool> wanted(std::bit_ceil(16 * fetched.size() + 64));
    const size_t wanted_mask = wanted.size() - 1;
    for (uint64_t h : incoming_hashes)
        wanted[h & wanted_mask] = true;

    // Only a stored message whose text and number some fetched one shares can
    // ever be a first match; a box keeps far more than the phone still has.
    messages.reserve(messages.size() + fetched.size());
    FirstMatchIndex index(messages, messages.size() + fetched.size());
    for (size_t i = 0; i < messages.size(); ++i) {
        const uint64_t text_number = text_number_hash(messages[i]);
        if (wanted[text_number & wanted_mask])
            index.add_existing(i, text_number);
    }

    size_t appended = 0;
    for (size_t j = 0; j < incoming.size(); ++j) {
        SmsMessage& m = incoming[j];
        m.set_on_phone(1);
        const MessageKey k{m.text_view(), m.number(), local_seconds(m.time())};
        const uint64_t h = key_hash(incoming_hashes[j], k.local_second);
        const size_t found = index.find(k, h);
        if (found != FirstMatchIndex::npos) {
            messages[found] = std::move(m);
            continue;
        }
        messages.push_back(m);
        index.add_new(k, h, messages.size() - 1);
        new_messages.push_back(std::move(m));
        ++appended;
    }
    return appended;
}

}  // namespace quillet
