#include "message_merge.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "protocol/filetime.h"

namespace quillet {
namespace {

// Messages are grouped by text and number; a group lists its members in
// box order. Within a group, of the members in the same second (see
// SmsMessage::same_message) that no record took yet, the one with the
// record's entry id is the match, else the first without an entry id.
constexpr uint64_t kMix = 0x9e3779b97f4a7c15ULL;
constexpr uint32_t kNone = UINT32_MAX;

uint64_t mix(uint64_t h, uint64_t word) {
    h = (h ^ word) * kMix;
    return h ^ (h >> 29);
}

uint64_t load_word(const unsigned char* bytes) {
    uint64_t word = 0;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

// Mixes eight bytes at a time, in four independent lanes over each 32 bytes
// so that the multiplications overlap: every fetched text and many stored
// ones are hashed on each import, so this is the merge's widest loop.
uint64_t hash_bytes(const void* data, size_t size, uint64_t seed) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    size_t i = 0;
    uint64_t h = seed;
    if (size >= 32) {
        uint64_t lanes[4] = {seed, seed + 1, seed + 2, seed + 3};
        for (; i + 32 <= size; i += 32) {
            for (size_t k = 0; k < 4; ++k)
                lanes[k] = mix(lanes[k], load_word(bytes + i + 8 * k));
        }
        h = mix(mix(mix(lanes[0], lanes[1]), lanes[2]), lanes[3]);
    }
    for (; i + 8 <= size; i += 8)
        h = mix(h, load_word(bytes + i));
    // The last bytes: the final eight of the data where there are that many
    // (overlapping words already mixed), which needs no copy of variable size.
    uint64_t last = 0;
    if (i < size && size >= 8) {
        last = load_word(bytes + size - 8);
    } else {
        for (; i < size; ++i)
            last = last << 8 | bytes[i];
    }
    return mix(mix(h, last), size);
}

uint64_t text_number_hash(std::u16string_view text, std::string_view number) {
    const uint64_t h = hash_bytes(text.data(), text.size() * sizeof(char16_t), kMix);
    const uint64_t both = hash_bytes(number.data(), number.size(), h);
    return both ^ (both >> 32);
}

uint64_t number_length_hash(std::string_view number, size_t text_size) {
    const uint64_t h = hash_bytes(number.data(), number.size(), text_size);
    return h ^ (h >> 32);
}

// A fetched record as the merge compares it: its text (still in the record),
// its number as a message stores it, its time and hash. No message is made
// for a record until it is stored.
struct Incoming {
    std::u16string_view text;
    TextField number_field;
    std::string_view number;  // in number_field
    FileTime time;
    EntryId entry_id;
    uint64_t hash;

    Incoming(const SmsWireRecord& w, uint64_t record_hash)
        : text(w.text),
          number_field(normalised_number_field(text_field(w.address))),
          number(text_field(number_field)),
          time(w.time),
          entry_id(w.entry_id),
          hash(record_hash) {}
    Incoming(const Incoming&) = delete;  // `number` points into the object
    Incoming& operator=(const Incoming&) = delete;
};

// What the merge keeps of every fetched record between its passes.
struct FetchedKeys {
    uint64_t hash;           // of text and number
    uint64_t number_length;  // of number and text length
    // A sender name was stored as its digits (mostly none) before names were
    // kept: the hash of text and that number, 0 when the two are the same.
    uint64_t former_hash = 0;
    uint64_t former_number_length = 0;
};

FetchedKeys fetched_keys(const SmsWireRecord& w) {
    const std::string_view address = text_field(w.address);
    const TextField field = normalised_number_field(address);
    const std::string_view number = text_field(field);
    FetchedKeys keys{text_number_hash(w.text, number), number_length_hash(number, w.text.size())};
    const std::string former = former_normalised_number(address);
    if (former != number) {
        keys.former_hash = text_number_hash(w.text, former);
        keys.former_number_length = number_length_hash(former, w.text.size());
    }
    return keys;
}

// Starts loading the first cache lines of a text.
void prefetch_text(std::u16string_view text) {
    constexpr size_t kLine = 64;
    const auto* bytes = reinterpret_cast<const char*>(text.data());
    const size_t size = std::min(text.size() * sizeof(char16_t), 4 * kLine);
    for (size_t at = 0; at < size; at += kLine)
        __builtin_prefetch(bytes + at);
}

bool has_entry(const EntryId& id) {
    return id != EntryId{};
}

class FirstMatchIndex {
  public:
    // `groups` bounds how many messages will be added.
    FirstMatchIndex(const std::vector<SmsMessage>& messages, size_t largest_index, size_t groups)
        : messages_(messages),
          next_(largest_index, kNone),
          taken_(largest_index, false),
          slots_(std::bit_ceil(2 * groups + 2)),
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

    // The message that `in` is, or npos.
    size_t find(const Incoming& in) const {
        return find(in.text, in.number, in.hash, in.time, in.entry_id);
    }
    // Of the messages of that text and number (hashed to `h`) in the second
    // of `time` that no record of this merge took: the one with entry `id`,
    // else the first that has no entry yet; npos when none.
    size_t find(std::u16string_view text, std::string_view number, uint64_t h, FileTime time,
                const EntryId& id) const {
        const Slot& slot = slots_[probe(text, number, h)];
        size_t unnamed = npos;
        for (uint32_t i = slot.head; i != kNone; i = next_[i]) {
            if (taken_[i] || !same_second_of(messages_[i].time(), time))
                continue;
            const EntryId& kept = messages_[i].entry_id();
            if (has_entry(id) && kept == id)
                return i;
            if (unnamed == npos && !has_entry(kept))
                unnamed = i;
        }
        return unnamed;
    }
    // Message `index` stands for a record of this merge now.
    void take(size_t index) { taken_[index] = true; }

    static constexpr size_t npos = static_cast<size_t>(-1);

    // A lookup is a chain of likely cache misses: the slot, the group's first
    // message, its text. The merge asks for them a few records ahead, a link
    // of the chain at a time, so that they arrive while earlier records are
    // looked up. Only loads are started; nothing is changed.
    void prefetch_slot(uint64_t h) const { __builtin_prefetch(&slots_[h & mask_]); }
    void prefetch_first(uint64_t h) const {
        if (const Slot& slot = slots_[h & mask_]; slot.head != kNone)
            __builtin_prefetch(&messages_[slot.head]);
    }
    void prefetch_first_text(uint64_t h) const {
        if (const Slot& slot = slots_[h & mask_]; slot.head != kNone)
            prefetch_text(messages_[slot.head].text_view());
    }

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
                if (same_units(first.text_view(), text) && first.number() == number)
                    return i;
            }
        }
    }

    const std::vector<SmsMessage>& messages_;
    std::vector<uint32_t> next_;  // next member of the same group
    std::vector<bool> taken_;     // by a record of this merge
    std::vector<Slot> slots_;
    size_t mask_;
};

// The fetched record `w` in place of the stored message it matched. The
// text is the same, so the stored one is kept rather than copied. A message
// read here stays read whatever the phone's flag says. True when a field
// other than the on-phone flag took another value.
bool replace_with(SmsMessage& stored, const SmsWireRecord& w) {
    const TextField number = stored.number_field();
    const FileTime time = stored.time();
    const uint8_t message_class = stored.message_class();
    const EntryId entry_id = stored.entry_id();
    const uint8_t read_here = stored.read();
    stored.set_fields_from_wire(w);
    if (read_here != 0)
        stored.set_read(1);
    stored.set_on_phone(1);
    return stored.number_field() != number || stored.time() != time ||
           stored.message_class() != message_class || stored.entry_id() != entry_id ||
           stored.read() != read_here;
}

// Merges `fetched`; `take` makes the message of a record that is appended.
template <typename Records, typename Take>
size_t merge(std::vector<SmsMessage>& messages, std::vector<SmsMessage>& new_messages,
             Records& fetched, Take take, bool* changed) {
    if (messages.size() + fetched.size() >= UINT32_MAX)  // indices are kept in 32 bits
        throw std::length_error("merge_fetched: too many messages");
    // Each stored message's flag before the merge, to tell at the end
    // whether any came onto or left the phone, and to put back when memory
    // runs out. The flags are cleared only once everything is allocated.
    std::vector<uint8_t> was_on_phone(messages.size());
    for (size_t i = 0; i < messages.size(); ++i)
        was_on_phone[i] = messages[i].on_phone();
    bool fields_changed = false;
    std::vector<uint64_t> hashes(fetched.size());
    std::vector<uint64_t> former_hashes(fetched.size());

    // A bit per possible hash value (modulo the set's size): a stored message
    // whose bit is clear shares text and number with no fetched one, so it can
    // never be a first match; a box keeps far more than the phone still has.
    // A set bit may be shared by chance, which only indexes it needlessly.
    // The first set asks only for number and text length, which need no look
    // at the text itself.
    const size_t bits = std::bit_ceil(16 * fetched.size() + 64);
    const size_t bit_mask = bits - 1;
    std::vector<bool> maybe_wanted(bits);
    std::vector<bool> wanted(bits);
    for (size_t j = 0; j < fetched.size(); ++j) {
        const FetchedKeys keys = fetched_keys(fetched[j]);
        hashes[j] = keys.hash;
        maybe_wanted[keys.number_length & bit_mask] = true;
        wanted[keys.hash & bit_mask] = true;
        former_hashes[j] = keys.former_hash;
        if (keys.former_hash != 0) {
            maybe_wanted[keys.former_number_length & bit_mask] = true;
            wanted[keys.former_hash & bit_mask] = true;
        }
    }
    struct Candidate {
        uint32_t index;
        uint64_t hash;
    };
    std::vector<Candidate> candidates;
    for (size_t i = 0; i < messages.size(); ++i) {
        const SmsMessage& m = messages[i];
        if (!maybe_wanted[number_length_hash(m.number(), m.text_view().size()) & bit_mask])
            continue;
        const uint64_t h = text_number_hash(m.text_view(), m.number());
        if (wanted[h & bit_mask])
            candidates.push_back({static_cast<uint32_t>(i), h});
    }

    FirstMatchIndex index(messages, messages.size() + fetched.size(),
                          candidates.size() + fetched.size());
    for (const Candidate& c : candidates)
        index.add(c.index, c.hash);

    // Room for the most the merge can add, taken before anything changes:
    // then only making a fetched record's message can still run out of
    // memory, and the undo below puts the box back as it was.
    const size_t before = messages.size();
    const size_t queued_before = new_messages.size();
    const size_t n = fetched.size();
    if (messages.capacity() < before + n) {
        try {
            messages.reserve(std::max(before + n, before + before / 2));
        } catch (const std::bad_alloc&) {
            messages.reserve(before + n);
        }
    }
    new_messages.reserve(queued_before + n);
    std::vector<std::pair<size_t, TextField>> renamed;
    renamed.reserve(n);
    std::vector<std::pair<size_t, SmsMessage>> replaced;  // as they were
    replaced.reserve(n);
    for (SmsMessage& m : messages)
        m.set_on_phone(0);

    size_t appended = 0;
    try {
        for (size_t j = 0; j < n; ++j) {
            if (j + 12 < n)
                index.prefetch_slot(hashes[j + 12]);
            if (j + 6 < n)
                index.prefetch_first(hashes[j + 6]);
            if (j + 3 < n) {
                index.prefetch_first_text(hashes[j + 3]);
                prefetch_text(fetched[j + 3].text);
            }
            const uint64_t hash = hashes[j];
            {
                Incoming in(fetched[j], hash);
                const size_t found = index.find(in);
                if (found != FirstMatchIndex::npos) {
                    replaced.emplace_back(found, messages[found]);
                    fields_changed |= replace_with(messages[found], fetched[j]);
                    index.take(found);
                    continue;
                }
                if (former_hashes[j] != 0) {
                    // Stored under the number a sender name used to become: the
                    // message takes its sender's name in place, once the merge
                    // no longer looks it up under the number it is indexed by.
                    const std::string former =
                        former_normalised_number(text_field(fetched[j].address));
                    const size_t stored =
                        index.find(in.text, former, former_hashes[j], in.time, in.entry_id);
                    if (stored != FirstMatchIndex::npos) {
                        replaced.emplace_back(stored, messages[stored]);
                        fields_changed |= replace_with(messages[stored], fetched[j]);
                        index.take(stored);
                        renamed.push_back({stored, messages[stored].number_field()});
                        messages[stored].set_number_raw(former);
                        continue;
                    }
                }
            }
            // The record is looked up for the last time: its text may be taken.
            SmsMessage m = take(fetched[j]);
            m.set_on_phone(1);
            messages.push_back(std::move(m));
            index.add(messages.size() - 1, hash);
            index.take(messages.size() - 1);
            new_messages.push_back(messages.back());
            ++appended;
        }
    } catch (...) {
        for (auto it = replaced.rbegin(); it != replaced.rend(); ++it)
            messages[it->first] = std::move(it->second);
        messages.erase(messages.begin() + static_cast<ptrdiff_t>(before), messages.end());
        new_messages.erase(new_messages.begin() + static_cast<ptrdiff_t>(queued_before),
                           new_messages.end());
        for (size_t i = 0; i < before; ++i)
            messages[i].set_on_phone(was_on_phone[i]);
        throw;
    }
    for (const auto& [stored, number] : renamed)
        messages[stored].set_number_raw(text_field(number));
    if (changed != nullptr) {
        *changed = appended > 0 || fields_changed ||
                   !std::equal(was_on_phone.begin(), was_on_phone.end(), messages.begin(),
                               [](uint8_t was, const SmsMessage& m) {
                                   return (was != 0) == (m.on_phone() != 0);
                               });
    }
    return appended;
}

}  // namespace

size_t merge_fetched(std::vector<SmsMessage>& messages, std::vector<SmsMessage>& new_messages,
                     std::span<const SmsWireRecord> fetched, bool* changed) {
    return merge(
        messages, new_messages, fetched,
        [](const SmsWireRecord& w) { return SmsMessage::from_wire(w); }, changed);
}

size_t merge_fetched_owned(std::vector<SmsMessage>& messages, std::vector<SmsMessage>& new_messages,
                           std::vector<SmsWireRecord>&& fetched, bool* changed) {
    const size_t appended = merge(
        messages, new_messages, fetched,
        [](SmsWireRecord& w) { return SmsMessage::from_wire(std::move(w)); }, changed);
    fetched.clear();
    return appended;
}

}  // namespace quillet
