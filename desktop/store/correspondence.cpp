#include "correspondence.h"
#include "desktop/store/recipients.h"

#include <algorithm>
#include <unordered_map>

namespace quillet {
namespace {

template <typename Visit>
void each_message(const BoxSet& boxes, Visit&& visit) {
    for (const SmsMessage& m : boxes.inbox.messages())
        visit(m, ExchangedMessage{&m, false, false});
    for (const SmsMessage& m : boxes.sent.messages())
        visit(m, ExchangedMessage{&m, true, false});
    if (boxes.deleted) {
        for (const SmsMessage& m : boxes.deleted->messages())
            visit(m, ExchangedMessage{&m, false, true});
    }
}

void oldest_first(Correspondence& c) {
    std::stable_sort(c.messages.begin(), c.messages.end(),
                     [](const ExchangedMessage& a, const ExchangedMessage& b) {
                         return a.message->time() < b.message->time();
                     });
}

}  // namespace

Correspondence correspondence_with(std::string_view number, const BoxSet& boxes,
                                   const PhoneNumbers& numbers) {
    const std::string key = numbers.group_key(number);
    Correspondence c;
    c.number = std::string(number);
    each_message(boxes, [&](const SmsMessage& m, const ExchangedMessage& e) {
        for (std::string_view recipient : recipients_of(m.number())) {
            if (numbers.group_key(recipient) != key)
                continue;
            if (c.messages.empty())
                c.number = std::string(recipient);
            c.messages.push_back(e);
            return;
        }
    });
    oldest_first(c);
    return c;
}

std::vector<Correspondence> all_correspondences(const BoxSet& boxes, const PhoneNumbers& numbers) {
    std::vector<Correspondence> out;
    std::unordered_map<std::string, size_t> by_key;
    each_message(boxes, [&](const SmsMessage& m, const ExchangedMessage& e) {
        for (std::string_view recipient : recipients_of(m.number())) {
            const auto [at, added] = by_key.try_emplace(numbers.group_key(recipient), out.size());
            if (added)
                out.push_back({std::string(recipient), {}});
            out[at->second].messages.push_back(e);
        }
    });
    for (Correspondence& c : out)
        oldest_first(c);
    return out;
}

}  // namespace quillet
