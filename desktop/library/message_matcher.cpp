#include "desktop/library/message_matcher.h"

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "protocol/text_codec.h"

namespace quillet {
namespace {

constexpr int64_t kWindowMs = 2'000;
constexpr int64_t kDayMs = 86'400'000;
constexpr int64_t kQuarterHourMs = 15 * 60'000;
constexpr int64_t kMaxZoneMs = 14 * 3'600'000;

bool is_blank(char16_t c) {
    return c == u' ' || c == u'\t';
}

// Whether a zoneless time fits `kept` at some whole-quarter-hour offset.
bool fits_some_zone(int64_t kept_ms, int64_t wall_ms) {
    const int64_t d = kept_ms - wall_ms;
    if (std::llabs(d) > kMaxZoneMs + kWindowMs)
        return false;
    const int64_t nearest = (d >= 0 ? d + kQuarterHourMs / 2 : d - kQuarterHourMs / 2) /
                            kQuarterHourMs * kQuarterHourMs;
    return std::llabs(d - nearest) <= kWindowMs && std::llabs(nearest) <= kMaxZoneMs;
}

}  // namespace

std::u16string normalised_text(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            c = u'\n';
        }
        if (c == u'\n') {
            while (!out.empty() && is_blank(out.back()))
                out.pop_back();
        }
        out += c;
    }
    while (!out.empty() && (is_blank(out.back()) || out.back() == u'\n'))
        out.pop_back();
    return out;
}

int64_t unix_ms(FileTime t) {
    return (static_cast<int64_t>(t) - static_cast<int64_t>(kUnixEpochTicks)) / 10'000;
}

FileTime filetime_from_ms(int64_t ms) {
    return static_cast<FileTime>(ms * 10'000 + static_cast<int64_t>(kUnixEpochTicks));
}

MessageMatcher::MessageMatcher(const PhoneNumbers& numbers, GroupCopies copies)
    : numbers_(numbers), copies_(copies) {}

std::string MessageMatcher::correspondent_key(std::string_view stored_number) const {
    std::string joined;
    for (const std::string& k : numbers_.correspondent_keys(stored_number))
        joined += (joined.empty() ? "" : ";") + k;
    return joined;
}

uint64_t MessageMatcher::key_of(BoxKind box, const std::string& correspondent,
                                const std::u16string& text) const {
    const uint64_t a = std::hash<std::string>{}(correspondent);
    const uint64_t b = std::hash<std::u16string>{}(text);
    return (a * 0x9E3779B97F4A7C15ULL) ^ (b + 0x51ULL * (static_cast<uint64_t>(box) + 1));
}

void MessageMatcher::add(BoxKind box, const SmsMessage& message, MessageRef ref,
                         bool from_this_source) {
    const std::vector<std::string> keys = numbers_.correspondent_keys(message.number());
    Entry e{unix_ms(message.time()),
            ref,
            {},
            normalised_text(message.text_view()),
            from_this_source ? source_ : 0,
            from_this_source};
    for (const std::string& k : keys)
        e.correspondent += (e.correspondent.empty() ? "" : ";") + k;
    // A group message also answers, once per member, for the copies other
    // tools write one per recipient.
    if (keys.size() > 1 && copies_ == GroupCopies::AreTheGroup) {
        for (const std::string& member : keys) {
            Entry copy{e.time_ms, ref, member, e.text, e.used_in, e.added};
            members_[key_of(box, copy.correspondent, copy.text)].push_back(std::move(copy));
        }
    }
    const uint64_t key = key_of(box, e.correspondent, e.text);
    entries_[key].push_back(std::move(e));
}

void MessageMatcher::add_box(const SmsBox& box) {
    entries_.reserve(entries_.size() + box.count());
    for (size_t i = 0; i < box.count(); ++i)
        add(box.kind(), box.message_ref(i), {box.kind(), i}, false);
}

void MessageMatcher::begin_source() {
    ++source_;
}

void MessageMatcher::discard_source() {
    for (auto* index : {&entries_, &members_}) {
        for (auto& [key, entries] : *index)
            std::erase_if(entries, [&](const Entry& e) { return e.added && e.used_in == source_; });
    }
}

MessageMatcher::Search MessageMatcher::search(Index& index, BoxKind box,
                                              const std::string& correspondent,
                                              const std::u16string& normal, int64_t time_ms,
                                              bool zoneless) {
    Search result;
    const auto found = index.find(key_of(box, correspondent, normal));
    if (found == index.end())
        return result;
    int64_t best_distance = 0;
    const int64_t reach = zoneless ? kDayMs + kMaxZoneMs : kDayMs;
    for (Entry& e : found->second) {
        if (e.correspondent != correspondent || e.text != normal)
            continue;  // a hash collision
        // One this source already matched or added stands for another
        // message of the source: two alike in one source are two.
        if (e.used_in == source_)
            continue;
        const int64_t distance = std::llabs(e.time_ms - time_ms);
        result.near = result.near || distance <= reach;
        const bool fits = zoneless ? fits_some_zone(e.time_ms, time_ms) : distance <= kWindowMs;
        if (!fits)
            continue;
        ++result.fitting;
        if (result.best == nullptr || distance < best_distance) {
            result.best = &e;
            best_distance = distance;
        }
    }
    return result;
}

MessageMatcher::Result MessageMatcher::match(BoxKind box, std::string_view stored_number,
                                             std::u16string_view text, int64_t time_ms,
                                             bool zoneless) {
    Result result;
    const std::string correspondent = correspondent_key(stored_number);
    const std::u16string normal = normalised_text(text);
    Search found = search(entries_, box, correspondent, normal, time_ms, zoneless);
    const bool one_person = correspondent.find(';') == std::string::npos;
    if ((found.best == nullptr || (zoneless && found.fitting != 1)) && one_person) {
        // A copy written for one recipient of a group message kept whole.
        const Search member = search(members_, box, correspondent, normal, time_ms, zoneless);
        if (member.best != nullptr && (!zoneless || member.fitting == 1))
            found = member;
        else
            found.near = found.near || member.near || member.fitting > 1;
    }
    if (found.best != nullptr && (!zoneless || found.fitting == 1)) {
        found.best->used_in = source_;
        result.verdict = Verdict::Kept;
        result.kept = found.best->ref;
        return result;
    }
    if (found.fitting > 1 || found.near)
        result.verdict = Verdict::PossibleDuplicate;
    return result;
}

}  // namespace quillet
