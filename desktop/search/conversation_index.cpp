#include "desktop/search/conversation_index.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <system_error>
#include <thread>

#include "desktop/search/text_folding.h"
#include "desktop/store/box_set.h"
#include "desktop/store/recipients.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

// Where `q` first occurs in `text` from `from` on; npos when nowhere. With
// SSE2, sixteen places are tried at once by the query's first, second and
// last byte, and only the places where all three fit are compared whole: a
// search keystroke reads a lifetime's texts at the speed of memory. (By two
// bytes alone, "bien" would stop at every "bring".)
size_t find_folded(std::string_view text, size_t from, std::string_view q) {
#if defined(__SSE2__)
    const size_t k = q.size();
    if (k < 2)
        return text.find(q, from);
    const char* const s = text.data();
    const __m128i first = _mm_set1_epi8(q[0]);
    const __m128i second = _mm_set1_epi8(q[1]);
    const __m128i last = _mm_set1_epi8(q.back());
    size_t i = from;
    for (; i + k - 1 + 16 <= text.size(); i += 16) {
        const auto at = [s, i](size_t offset) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + offset));
        };
        const __m128i fits = _mm_and_si128(
            _mm_and_si128(_mm_cmpeq_epi8(at(0), first), _mm_cmpeq_epi8(at(1), second)),
            _mm_cmpeq_epi8(at(k - 1), last));
        auto mask = static_cast<uint32_t>(_mm_movemask_epi8(fits));
        while (mask != 0) {
            const auto place = i + static_cast<size_t>(__builtin_ctz(mask));
            if (k <= 3 || std::memcmp(s + place + 2, q.data() + 2, k - 3) == 0)
                return place;
            mask &= mask - 1;
        }
    }
    return text.find(q, i);
#else
    return text.find(q, from);
#endif
}

constexpr uint32_t kNone = UINT32_MAX;

uint32_t hash_of(std::string_view s) {
    return static_cast<uint32_t>(std::hash<std::string_view>{}(s));
}

// The end of the NUL-ended folded text at `at`.
size_t folded_end(const std::string& folded, size_t at) {
    return at + std::strlen(folded.c_str() + at);
}

}  // namespace

// One message of a box as last seen, and where its folded text lies. Kept
// small: a lifetime's history holds a million of them. Its time and read
// flag are its place's.
struct ConversationIndex::Entry {
    const char16_t* text = nullptr;  // with size, number and time: which message it is
    uint32_t text_size = 0;
    uint32_t number_hash = 0;
    uint32_t id = kNone;  // its place
    uint32_t folded_at = 0;
};

struct ConversationIndex::Box {
    std::vector<Entry> entries;  // in box order
    // The entries' folded texts, each followed by a NUL, in the order of the
    // entries (boxes only append and remove), with the texts of dropped
    // entries still between them until compact().
    std::string folded;
    size_t dead = 0;  // bytes of folded texts no longer in the box
    // The box's revision when its entries were last compared with it: while
    // it stays, they are still its first messages, and a slice compares
    // only what follows them.
    uint64_t compared_at = 0;
};

struct ConversationIndex::Conversation {
    std::string key;
    std::vector<std::string> spellings;
    std::string folded_spellings;  // for finding "Bank" by its text
    std::vector<std::optional<ParsedNumber>> parsed;
    // Members: (message id, spelling), unordered.
    std::vector<std::pair<uint32_t, uint32_t>> members;
    size_t unread = 0;
    uint32_t last = kNone;  // a member position
    bool last_stale = false;
};

// Where a message id is now, and the first conversation it belongs to;
// the rare message naming several numbers has the others in more_in_.
struct ConversationIndex::Place {
    FileTime time = 0;
    uint32_t index = 0;
    Membership in{kNone, 0};  // conversation kNone: none (no number)
    uint8_t box = 0;
    uint8_t read = 0;
    bool more = false;
};

bool ConversationIndex::same(const Entry& e, const SmsMessage& m) const {
    const std::u16string_view t = m.text_view();
    return e.text == t.data() && e.text_size == t.size() && places_[e.id].time == m.time() &&
           e.number_hash == hash_of(m.number());
}

// Both visits, mutable and not, walk the inline membership, then the others.
template <class Index, class Visit>
void ConversationIndex::visit_memberships(Index& index, uint32_t id, Visit&& visit) {
    auto& p = index.places_[id];
    if (p.in.conversation == kNone)
        return;
    visit(p.in);
    if (p.more) {
        for (auto& m : index.more_in_.at(id))
            visit(m);
    }
}

template <class Visit>
void ConversationIndex::for_each_membership(uint32_t id, Visit&& visit) {
    visit_memberships(*this, id, visit);
}

template <class Visit>
void ConversationIndex::for_each_conversation_of(uint32_t id, Visit&& visit) const {
    visit_memberships(*this, id, [&](const Membership& m) { visit(m.conversation); });
}

ConversationIndex::ConversationIndex(const PhoneNumbers& numbers) : numbers_(numbers) {
    // A lifetime's history holds a million of each.
    static_assert(sizeof(void*) != 8 || sizeof(Entry) == 24);
    static_assert(sizeof(Place) == 24);
    for (auto& box : boxes_)
        box = std::make_unique<Box>();
}

ConversationIndex::~ConversationIndex() = default;

void ConversationIndex::clear() {
    for (auto& box : boxes_)
        *box = Box();
    std::vector<Place>().swap(places_);
    std::vector<uint32_t>().swap(free_places_);
    std::unordered_map<uint32_t, std::vector<Membership>>().swap(more_in_);
    std::vector<Conversation>().swap(conversations_);
    std::vector<uint32_t>().swap(live_);
    std::unordered_map<std::string, uint32_t>().swap(by_key_);
    std::unordered_map<std::string, std::pair<uint32_t, uint32_t>>().swap(by_spelling_);
    std::vector<std::optional<std::string>>().swap(folded_names_);
}

void ConversationIndex::update(const SmsBox& inbox, const SmsBox& sent, const SmsBox& deleted) {
    update_some(inbox, sent, deleted, SIZE_MAX);
}

bool ConversationIndex::update_some(const SmsBox& inbox, const SmsBox& sent, const SmsBox& deleted,
                                    size_t most) {
    // Indexing a history anew: one allocation of places, not one per doubling.
    if (places_.empty())
        places_.reserve(inbox.messages().size() + sent.messages().size() +
                        deleted.messages().size());
    const std::array<const SmsBox*, 3> boxes{&inbox, &sent, &deleted};
    for (size_t b = 0; b < boxes.size(); ++b) {
        // A slice ends inside a box: what the index holds of it is a prefix
        // of the box, and the next slice compares a longer one.
        const size_t held = boxes_[b]->entries.size();
        const size_t count = boxes[b]->messages().size();
        const size_t rest = count > held ? count - held : 0;
        if (rest > most) {
            update_box(b, *boxes[b], held + most);
            return false;
        }
        update_box(b, *boxes[b], count);
        most -= rest;
    }
    for (Conversation& c : conversations_) {
        if (c.last_stale)
            refresh_last(c);
    }
    refresh_live();
    return true;
}

void ConversationIndex::update_box(size_t b, const SmsBox& box, size_t take) {
    Box& seen = *boxes_[b];
    std::vector<Entry>& entries = seen.entries;
    // In place: an entry kept moves down, never past one not yet compared,
    // and new ones are appended once every old one was compared. Storage for
    // the whole box is had once, not once per slice.
    entries.reserve(box.messages().size());
    const size_t old_count = entries.size();
    const size_t from = seen.compared_at == box.revision() ? std::min(old_count, take) : 0;
    seen.compared_at = box.revision();
    // Likewise the folded texts, one string per box: a text folds to about
    // a byte per UTF-16 unit, and growing it by doubling would copy a
    // lifetime's texts again and again.
    size_t folding = seen.folded.size();
    for (size_t i = from; i < box.messages().size(); ++i)
        folding += box.messages()[i].text_view().size() + 1;
    if (folding > seen.folded.capacity())
        seen.folded.reserve(folding);
    size_t j = from;
    size_t w = from;
    for (size_t i = from; i < take; ++i) {
        const SmsMessage& m = box.messages()[i];
        while (j < old_count && !same(entries[j], m))
            drop_entry(seen, entries[j++]);
        if (j == old_count) {
            entries.resize(w);
            add_entry(b, m, seen, entries);
            ++w;
            continue;
        }
        const Entry e = entries[j++];
        if (places_[e.id].read != m.read())
            set_read(e.id, m.read());
        places_[e.id].index = static_cast<uint32_t>(w);
        entries[w++] = e;
    }
    while (j < old_count)
        drop_entry(seen, entries[j++]);
    entries.resize(w);
    if (seen.dead > seen.folded.size() / 2)
        compact(seen);
}

void ConversationIndex::add_entry(size_t b, const SmsMessage& m, Box& box,
                                  std::vector<Entry>& into) {
    Entry e;
    e.text = m.text_view().data();
    e.text_size = static_cast<uint32_t>(m.text_view().size());
    e.number_hash = hash_of(m.number());
    e.folded_at = static_cast<uint32_t>(box.folded.size());
    append_folded(m.text_view(), box.folded);
    box.folded += '\0';

    e.id = new_place();
    {
        Place& p = places_[e.id];
        p.box = static_cast<uint8_t>(b);
        p.index = static_cast<uint32_t>(into.size());
        p.time = m.time();
        p.read = m.read();
    }
    for (std::string_view spelling : recipients_of(m.number())) {
        const auto [conversation, spelling_index] = conversation_for(spelling);
        bool joined = false;
        for_each_conversation_of(e.id, [&](uint32_t c) { joined = joined || c == conversation; });
        if (joined)
            continue;
        Conversation& c = conversations_[conversation];
        const Membership in{conversation, static_cast<uint32_t>(c.members.size())};
        c.members.emplace_back(e.id, spelling_index);
        add_membership(e.id, in);
        if (m.read() == 0)
            ++c.unread;
        if (!c.last_stale && (c.last == kNone || !newer(c, c.last, in.position)))
            c.last = in.position;
    }
    into.push_back(e);
}

void ConversationIndex::add_membership(uint32_t id, Membership in) {
    Place& p = places_[id];
    if (p.in.conversation == kNone) {
        p.in = in;
        return;
    }
    more_in_[id].push_back(in);
    p.more = true;
}

void ConversationIndex::drop_entry(Box& box, const Entry& e) {
    box.dead += folded_end(box.folded, e.folded_at) - e.folded_at + 1;
    const bool unread = places_[e.id].read == 0;
    for_each_membership(e.id, [&](const Membership& in) {
        Conversation& c = conversations_[in.conversation];
        if (unread)
            --c.unread;
        // Swap with the last member; the moved one learns its new position.
        const uint32_t back = static_cast<uint32_t>(c.members.size() - 1);
        if (in.position != back) {
            c.members[in.position] = c.members[back];
            for_each_membership(c.members[in.position].first, [&](Membership& other) {
                if (other.conversation == in.conversation && other.position == back)
                    other.position = in.position;
            });
        }
        c.members.pop_back();
        if (c.last == in.position)
            c.last_stale = true;
        else if (c.last == back)
            c.last = in.position;
    });
    Place& p = places_[e.id];
    p.in = {kNone, 0};
    if (p.more)
        more_in_.erase(e.id);
    p.more = false;
    free_places_.push_back(e.id);
}

void ConversationIndex::set_read(uint32_t id, uint8_t read) {
    const uint8_t was = places_[id].read;
    for_each_conversation_of(id, [&](uint32_t conversation) {
        Conversation& c = conversations_[conversation];
        if (was == 0 && read != 0)
            --c.unread;
        else if (was != 0 && read == 0)
            ++c.unread;
    });
    places_[id].read = read;
}

uint32_t ConversationIndex::new_place() {
    if (!free_places_.empty()) {
        const uint32_t id = free_places_.back();
        free_places_.pop_back();
        return id;
    }
    places_.emplace_back();
    return static_cast<uint32_t>(places_.size() - 1);
}

std::pair<uint32_t, uint32_t> ConversationIndex::conversation_for(std::string_view spelling) {
    const auto known = by_spelling_.find(std::string(spelling));
    if (known != by_spelling_.end())
        return known->second;
    std::string key = numbers_.group_key(spelling);
    auto [it, added] = by_key_.try_emplace(key, static_cast<uint32_t>(conversations_.size()));
    if (added) {
        conversations_.emplace_back();
        conversations_.back().key = std::move(key);
        folded_names_.emplace_back();
    }
    Conversation& c = conversations_[it->second];
    c.spellings.emplace_back(spelling);
    c.parsed.push_back(numbers_.parse(spelling));
    append_folded(from_ansi(spelling), c.folded_spellings);
    c.folded_spellings += '\0';
    const std::pair<uint32_t, uint32_t> found{it->second,
                                              static_cast<uint32_t>(c.spellings.size() - 1)};
    by_spelling_.emplace(std::string(spelling), found);
    return found;
}

// Whether member `a` is newer than member `b`: later time, then later box,
// then later in its box.
bool ConversationIndex::newer(const Conversation& c, uint32_t a, uint32_t b) const {
    const Place& pa = places_[c.members[a].first];
    const Place& pb = places_[c.members[b].first];
    return std::tie(pa.time, pa.box, pa.index) > std::tie(pb.time, pb.box, pb.index);
}

void ConversationIndex::refresh_last(Conversation& c) const {
    // Called only from update(); const because it touches nothing but c.
    c.last = kNone;
    for (uint32_t m = 0; m < c.members.size(); ++m) {
        if (c.last == kNone || newer(c, m, c.last))
            c.last = m;
    }
    c.last_stale = false;
}

void ConversationIndex::refresh_live() {
    live_.clear();
    for (uint32_t i = 0; i < conversations_.size(); ++i) {
        if (!conversations_[i].members.empty())
            live_.push_back(i);
    }
}

void ConversationIndex::compact(Box& box) {
    std::string folded;
    folded.reserve(box.folded.size() - box.dead);
    for (Entry& e : box.entries) {
        const uint32_t at = static_cast<uint32_t>(folded.size());
        folded.append(box.folded, e.folded_at,
                      folded_end(box.folded, e.folded_at) - e.folded_at + 1);
        e.folded_at = at;
    }
    box.folded = std::move(folded);
    box.dead = 0;
}

ConversationSummary ConversationIndex::summary(size_t conversation) const {
    const Conversation& c = conversations_[live_.at(conversation)];
    ConversationSummary s;
    s.numbers = c.spellings;
    s.messages = c.members.size();
    s.unread = c.unread;
    if (c.last != kNone) {
        const auto [id, spelling] = c.members[c.last];
        const Place& p = places_[id];
        s.number = c.spellings[spelling];
        s.last = {static_cast<BoxKind>(p.box), p.index};
        s.last_time = p.time;
    }
    return s;
}

std::vector<MessageRef> ConversationIndex::messages_of(size_t conversation) const {
    const Conversation& c = conversations_[live_.at(conversation)];
    std::vector<const Place*> places;
    places.reserve(c.members.size());
    for (const auto& member : c.members)
        places.push_back(&places_[member.first]);
    std::sort(places.begin(), places.end(), [](const Place* a, const Place* b) {
        return std::tie(a->time, a->box, a->index) < std::tie(b->time, b->box, b->index);
    });
    std::vector<MessageRef> out;
    out.reserve(places.size());
    for (const Place* p : places)
        out.push_back({static_cast<BoxKind>(p->box), p->index});
    return out;
}

std::optional<size_t> ConversationIndex::find(std::string_view number) const {
    return live_position(numbers_.group_key(number));
}

std::optional<size_t> ConversationIndex::find_typed(std::string_view number) const {
    // The spelling typed, then as a message stores it ("0170-1234567" is
    // kept as "01701234567"), then a full number that alone may be it.
    for (const std::string& spelling : {std::string(number), normalise_number(number)}) {
        if (const std::optional<size_t> found = live_position(numbers_.group_key(spelling)))
            return found;
    }
    const std::string digits = digits_of(number);
    if (digits.empty() || digits != normalise_number(number))
        return std::nullopt;
    std::optional<size_t> only;
    for (size_t at = 0; at < live_.size(); ++at) {
        const Conversation& c = conversations_[live_[at]];
        const bool fits = std::any_of(c.parsed.begin(), c.parsed.end(), [&](const auto& parsed) {
            return parsed && plausibly_same_number(*parsed, digits);
        });
        if (!fits)
            continue;
        if (only)
            return std::nullopt;
        only = at;
    }
    return only;
}

std::optional<size_t> ConversationIndex::live_position(const std::string& key) const {
    const auto it = by_key_.find(key);
    if (it == by_key_.end())
        return std::nullopt;
    const auto at = std::lower_bound(live_.begin(), live_.end(), it->second);
    if (at == live_.end() || *at != it->second)
        return std::nullopt;
    return static_cast<size_t>(at - live_.begin());
}

void ConversationIndex::names_changed() {
    for (auto& name : folded_names_)
        name.reset();
}

bool ConversationIndex::conversation_matches(uint32_t conversation, const SearchQuery& query,
                                             const ContactList* contacts) const {
    const Conversation& c = conversations_[conversation];
    if (query.matches_folded(c.folded_spellings))
        return true;
    for (size_t s = 0; s < c.spellings.size(); ++s) {
        if (query.matches_number(c.spellings[s], c.parsed[s]))
            return true;
    }
    if (contacts == nullptr || c.spellings.empty())
        return false;
    std::optional<std::string>& name = folded_names_[conversation];
    if (!name) {
        const std::optional<std::u16string> found = contacts->name_for_number(c.spellings.front());
        name = found ? fold_for_search(*found) : std::string();
    }
    return !name->empty() && query.matches_folded(*name);
}

std::vector<char> ConversationIndex::matching_conversations(const SearchQuery& query,
                                                            const ContactList* contacts) const {
    std::vector<char> matching(conversations_.size(), 0);
    for (uint32_t c : live_)
        matching[c] = conversation_matches(c, query, contacts) ? 1 : 0;
    return matching;
}

std::vector<size_t> ConversationIndex::search(BoxKind kind, const SearchQuery& query,
                                              const ContactList* contacts) const {
    const std::vector<char> hit = matches(kind, query, contacts);
    std::vector<size_t> found;
    for (size_t i = 0; i < hit.size(); ++i) {
        if (hit[i])
            found.push_back(i);
    }
    return found;
}

std::vector<char> ConversationIndex::matches(BoxKind kind, const SearchQuery& query,
                                             const ContactList* contacts) const {
    const Box& box = *boxes_[static_cast<size_t>(kind)];
    if (query.empty())
        return std::vector<char>(box.entries.size(), 1);
    std::vector<char> hit(box.entries.size(), 0);
    const std::vector<char> by_number = matching_conversations(query, contacts);
    // Most queries name no correspondent: then no message's places are visited.
    if (std::find(by_number.begin(), by_number.end(), 1) != by_number.end()) {
        for (size_t i = 0; i < box.entries.size(); ++i) {
            for_each_conversation_of(box.entries[i].id, [&](uint32_t conversation) {
                if (by_number[conversation])
                    hit[i] = 1;
            });
        }
    }
    mark_text_hits(box, query, hit);
    return hit;
}

// Every entry whose folded text holds the query: one pass of the box's folded
// texts, each hit mapped to its entry by position (entries keep their texts
// in box order, so hits come in the order of the entries). Over a lifetime's
// messages the two halves of the box are searched side by side.
void ConversationIndex::mark_text_hits(const Box& box, const SearchQuery& query,
                                       std::vector<char>& hit) const {
    const size_t n = box.entries.size();
    constexpr size_t kWorthAThread = 50'000;
    if (n < kWorthAThread) {
        mark_text_hits_in(box, query.folded(), 0, n, hit);
        return;
    }
    std::optional<std::jthread> second;
    try {
        second.emplace([&] { mark_text_hits_in(box, query.folded(), n / 2, n, hit); });
    } catch (const std::system_error&) {
        mark_text_hits_in(box, query.folded(), n / 2, n, hit);
    }
    mark_text_hits_in(box, query.folded(), 0, n / 2, hit);
}

// A folded query holds no NUL, so a hit never spans two texts: it lies in
// the last entry that starts at or before it, unless a dropped message's
// text lies between (only while the box has dead text).
void ConversationIndex::mark_text_hits_in(const Box& box, std::string_view q, size_t first,
                                          size_t last, std::vector<char>& hit) {
    if (first >= last)
        return;
    const char* const all = box.folded.data();
    const size_t stop = folded_end(box.folded, box.entries[last - 1].folded_at);
    size_t e = first;
    size_t at = box.entries[first].folded_at;
    while (at < stop) {
        at = find_folded(std::string_view(all, stop), at, q);
        if (at == std::string_view::npos)
            return;
        while (e + 1 < last && box.entries[e + 1].folded_at <= at)
            ++e;
        const size_t start = box.entries[e].folded_at;
        if (box.dead == 0 || std::memchr(all + start, '\0', at - start) == nullptr)
            hit[e] = 1;
        at = e + 1 < last ? box.entries[e + 1].folded_at : stop;
    }
}

std::vector<size_t> ConversationIndex::search_conversations(const SearchQuery& query,
                                                            const ContactList* contacts) const {
    std::vector<size_t> found;
    if (query.empty()) {
        for (size_t i = 0; i < live_.size(); ++i)
            found.push_back(i);
        return found;
    }
    std::vector<char> matching = matching_conversations(query, contacts);
    for (const auto& box : boxes_) {
        std::vector<char> hit(box->entries.size(), 0);
        mark_text_hits(*box, query, hit);
        for (size_t i = 0; i < hit.size(); ++i) {
            if (hit[i])
                for_each_conversation_of(
                    box->entries[i].id, [&](uint32_t conversation) { matching[conversation] = 1; });
        }
    }
    for (size_t i = 0; i < live_.size(); ++i) {
        if (matching[live_[i]])
            found.push_back(i);
    }
    return found;
}

size_t ConversationIndex::memory_bytes() const {
    size_t bytes = places_.capacity() * sizeof(Place);
    for (const auto& [id, more] : more_in_)
        bytes += sizeof(id) + sizeof(more) + more.capacity() * sizeof(Membership);
    for (const auto& box : boxes_)
        bytes += box->entries.capacity() * sizeof(Entry) + box->folded.capacity();
    for (const Conversation& c : conversations_) {
        bytes += sizeof(Conversation) + c.members.capacity() * sizeof(c.members[0]) +
                 c.folded_spellings.capacity() + c.key.capacity();
        for (const std::string& s : c.spellings)
            bytes += sizeof(s) + s.capacity();
    }
    return bytes;
}

}  // namespace quillet
