#include "message_merge.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string_view>

#include "protocol/filetime.h"

namespace quillet {
namespace {

// Messages are grouped by text and number; a group lists its members in
// box order. Within a group the first member in the same local second is the
// match. Most members differ in UTC second from the record, and one UTC second
// is always one local second, so the local second (a time-zone conversion) is
// only worked out when the UTC seconds differ, once per message at most.
constexpr uint64_t kMix = 0x9e3779b97f4a7c15ULL;
constexpr uint32_t kNone = UINT32_MAX;
constexpr int64_t kUnknownSecond = INT64_MIN;

// Mixes eight bytes at a time: every stored message is hashed on each
// import, so this is the merge's widest loop.
uint64_t mix(uint64_t h, uint64_t word) {
    h = (h ^ word) * kMix;
    return h ^ (h >> 29);
}

uint64_t hash_bytes(const void* data, size_t size, uint64_t h) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t word = 0;
        std::memcpy(&word, bytes + i, sizeof word);
        h = mix(h, word);
    }
    uint64_t last = 0;
    std::memcpy(&last, bytes + i, size - i);
    return mix(mix(h, last), size);
}

uint64_t text_number_hash(const SmsMessage& m) {
    const std::u16string_view text = m.text_view();
    const std::string_view number = m.number();
    const uint64_t h = hash_bytes(text.data(), text.size() * sizeof(char16_t), kMix);
    const uint64_t both = hash_bytes(number.data(), number.size(), h);
    return both ^ (both >> 32);
}

uint64_t number_length_hash(const SmsMessage& m) {
    const std::string_view number = m.number();
    const uint64_t h = hash_bytes(number.data(), number.size(), m.text_view().size());
    return h ^ (h >> 32);
}

// A fetched message with its hash and, once needed, its local second.
struct Incoming {
    SmsMessage message;
    uint64_t hash = 0;
    int64_t local_second = kUnknownSecond;
};

class FirstMatchIndex {
  public:
    FirstMatchIndex(const std::vector<SmsMessage>& messages, size_t expected)
        : messages_(messages),
          next_(expected, kNone),
          seconds_(expected, kUnknownSecond),
          slots_(std::bit_ceil(2 * expected + 2)),
          mask_(slots_.size() - 1) {}

    // Adds message `index` (hash `h`) as the last of its group.
    void add(size_t index, uint64_t h) {
        const SmsMessage& m = messages_[index];
        Slot& slot = slots_[probe(m.text_view(), m.number(), h)];
        const auto i = static_cast<uint32_t>(index);
        if (slot.head == kNone) {
            slot = {static_cast<uint32_t>(h), i, i};
            return;
        }
        next_[slot.tail] = i;
        slot.tail = i;
    }

    // The first message that is the same message as `in`, or npos.
    size_t find(Incoming& in) {
        const SmsMessage& m = in.message;
        const Slot& slot = slots_[probe(m.text_view(), m.number(), in.hash)];
        for (uint32_t i = slot.head; i != kNone; i = next_[i]) {
            if (same_second(i, in))
                return i;
        }
        return npos;
    }

    static constexpr size_t npos = static_cast<size_t>(-1);

  private:
    // Twelve bytes a slot keep the table small enough for the cache: the low
    // half of the hash (to skip most unequal keys), the group's first and
    // last member.
    struct Slot {
        uint32_t hash = 0;
        uint32_t head = kNone;
        uint32_t tail = kNone;
    };

    // The slot of the group of that text and number, or the empty slot where
    // it belongs. The table is never more than half full.
    size_t probe(std::u16string_view text, std::string_view number, uint64_t h) const {
        for (size_t i = h & mask_;; i = (i + 1) & mask_) {
            const Slot& slot = slots_[i];
            if (slot.head == kNone)
                return i;
            if (slot.hash == static_cast<uint32_t>(h)) {
                const SmsMessage& first = messages_[slot.head];
                if (first.text_view() == text && first.number() == number)
                    return i;
            }
        }
    }

    bool same_second(uint32_t index, Incoming& in) {
        const FileTime stored = messages_[index].time();
        const FileTime fetched = in.message.time();
        if (stored / kTicksPerSecond == fetched / kTicksPerSecond)
            return true;
        if (seconds_[index] == kUnknownSecond)
            seconds_[index] = local_seconds(stored);
        if (in.local_second == kUnknownSecond)
            in.local_second = local_seconds(fetched);
        return seconds_[index] == in.local_second;
    }

    const std::vector<SmsMessage>& messages_;
    std::vector<uint32_t> next_;    // next member of the same group
    std::vector<int64_t> seconds_;  // local second of each message, once known
    std::vector<Slot> slots_;
    size_t mask_;
};

// `incoming` holds the fetched records, each converted once.
size_t merge_incoming(std::vector<SmsMessage>& messages, std::vector<SmsMessage>& new_messages,
                      std::vector<Incoming>& incoming) {
    for (SmsMessage& m : messages)
        m.set_on_phone(0);
    for (Incoming& in : incoming) {
        in.message.set_on_phone(1);
        in.hash = text_number_hash(in.message);
    }
    // A bit per possible hash value (modulo the set's size): a stored message
    // whose bit is clear shares text and number with no fetched one, so it can
    // never be a first match; a box keeps far more than the phone still has.
    // A set bit may be shared by chance, which only indexes it needlessly.
    // The first set asks only for number and text length, which need no look
    // at the text itself.
    const size_t bits = std::bit_ceil(16 * incoming.size() + 64);
    const size_t bit_mask = bits - 1;
    std::vector<bool> maybe_wanted(bits);
    std::vector<bool> wanted(bits);
    for (const Incoming& in : incoming) {
        maybe_wanted[number_length_hash(in.message) & bit_mask] = true;
        wanted[in.hash & bit_mask] = true;
    }

    FirstMatchIndex index(messages, messages.size() + incoming.size());
    for (size_t i = 0; i < messages.size(); ++i) {
        if (!maybe_wanted[number_length_hash(messages[i]) & bit_mask])
            continue;
        const uint64_t h = text_number_hash(messages[i]);
        if (wanted[h & bit_mask])
            index.add(i, h);
    }
    messages.reserve(messages.size() + incoming.size());

    size_t appended = 0;
    for (Incoming& in : incoming) {
        const size_t found = index.find(in);
        if (found != FirstMatchIndex::npos) {
            messages[found] = std::move(in.message);
            continue;
        }
        messages.push_back(in.message);
        index.add(messages.size() - 1, in.hash);
        new_messages.push_back(std::move(in.message));
        ++appended;
    }
    return appended;
}

// Indices are kept in 32 bits; no box comes near that.
void check_size(size_t messages, size_t fetched) {
    if (messages + fetched >= UINT32_MAX)
        throw std::length_error("merge_fetched: too many messages");
}

}  // namespace

size_t merge_fetched(std::vector<SmsMessage>& messages, std::vector<SmsMessage>& new_messages,
                     std::span<const SmsWireRecord> fetched) {
    check_size(messages.size(), fetched.size());
    std::vector<Incoming> incoming(fetched.size());
    for (size_t j = 0; j < fetched.size(); ++j)
        incoming[j].message = SmsMessage::from_wire(fetched[j]);
    return merge_incoming(messages, new_messages, incoming);
}

size_t merge_fetched_owned(std::vector<SmsMessage>& messages, std::vector<SmsMessage>& new_messages,
                           std::vector<SmsWireRecord>&& fetched) {
    check_size(messages.size(), fetched.size());
    std::vector<Incoming> incoming(fetched.size());
    for (size_t j = 0; j < fetched.size(); ++j)
        incoming[j].message = SmsMessage::from_wire(std::move(fetched[j]));
    fetched.clear();
    return merge_incoming(messages, new_messages, incoming);
}

}  // namespace quillet
