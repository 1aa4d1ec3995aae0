#include "message_merge.h"

#include <functional>
#include <string_view>
#include <unordered_map>

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

    bool operator==(const MessageKey&) const = default;
};

uint64_t hash_of(const MessageKey& k) {
    uint64_t h = std::hash<std::u16string_view>{}(k.text);
    h ^= std::hash<std::string_view>{}(k.number) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
    h ^= std::hash<int64_t>{}(k.local_second) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
    return h;
}

MessageKey key_of(const SmsMessage& m) {
    return {m.text_view(), m.number(), local_seconds(m.time())};
}

// For each distinct key, the first index that holds it. Keys are recomputed
// from the box on every probe, so the index stays valid while the vector
// grows and while matched messages are replaced by equal-keyed ones.
class FirstMatchIndex {
  public:
    FirstMatchIndex(const std::vector<SmsMessage>& messages, size_t expected)
        : messages_(messages) {
        seconds_.reserve(expected);
        first_.reserve(expected);
        for (size_t i = 0; i < messages.size(); ++i)
            add(key_of(messages[i]), i);
    }

    // The first index whose message has key `k`, or npos.
    size_t find(const MessageKey& k, uint64_t h) const {
        const auto [begin, end] = first_.equal_range(h);
        for (auto it = begin; it != end; ++it) {
            const SmsMessage& m = messages_[it->second];
            if (seconds_[it->second] == k.local_second && m.text_view() == k.text &&
                m.number() == k.number) {
                return it->second;
            }
        }
        return npos;
    }

    // Records that message `index` (the last one) has key `k`, unless an
    // earlier message already holds it.
    void add(const MessageKey& k, size_t index) {
        seconds_.push_back(k.local_second);
        const uint64_t h = hash_of(k);
        if (find(k, h) == npos)
            first_.emplace(h, index);
    }
    // Records that message `index` (the last one), whose key no earlier
    // message holds, has local second `second` and key hash `h`.
    void add_new(int64_t second, uint64_t h, size_t index) {
        seconds_.push_back(second);
        first_.emplace(h, index);
    }

    static constexpr size_t npos = static_cast<size_t>(-1);

  private:
    const std::vector<SmsMessage>& messages_;
    std::vector<int64_t> seconds_;  // local second of each message, by index
    std::unordered_multimap<uint64_t, size_t> first_;
};

}  // namespace

size_t merge_fetched(std::vector<SmsMessage>& messages, std::vector<SmsMessage>& new_messages,
                     std::span<const SmsWireRecord> fetched) {
    for (SmsMessage& m : messages)
        m.set_on_phone(0);
    messages.reserve(messages.size() + fetched.size());
    FirstMatchIndex index(messages, messages.size() + fetched.size());
    size_t appended = 0;
    for (const SmsWireRecord& w : fetched) {
        SmsMessage m = SmsMessage::from_wire(w);
        m.set_on_phone(1);
        const MessageKey k = key_of(m);
        const uint64_t h = hash_of(k);
        const size_t found = index.find(k, h);
        if (found != FirstMatchIndex::npos) {
            messages[found] = std::move(m);
            continue;
        }
        messages.push_back(m);
        index.add_new(k.local_second, h, messages.size() - 1);
        new_messages.push_back(std::move(m));
        ++appended;
    }
    return appended;
}

}  // namespace quillet
