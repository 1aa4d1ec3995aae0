// Search and conversations at scale: 100,000 messages over the three boxes
// (80 % Inbox, 15 % Sent Items, 5 % Deleted Items) from 3,000
// correspondents, 2,000 of them contacts; numbers written internationally
// and nationally, some short codes and sender names; texts of 3 to 25 words.
//
// Goals: each keystroke's filtering <= 30 ms; the conversation list built
// <= 150 ms and brought up to date after an import of 1,000 messages
// <= 20 ms; the index <= 2x the texts' own size (counter "index_per_text").
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "desktop/search/conversation_index.h"
#include "desktop/store/contacts_file.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

constexpr size_t kMessages = 100'000;
constexpr size_t kContacts = 2'000;
constexpr size_t kCorrespondents = 3'000;

const char* const kWords[] = {
    "meeting",  "tomorrow", "dinner", "café",   "Straße", "train",  "late",    "call",
    "me",       "when",     "you",    "land",   "see",    "at",     "the",     "station",
    "bring",    "wine",     "thanks", "for",    "today",  "merci",  "bientôt", "à",
    "jeudi",    "ok",       "yes",    "no",     "maybe",  "office", "parking", "Grüße",
    "İstanbul", "kapı",     "οδός",   "number", "code",   "your",   "is",      "ready"};

std::u16string text_of(std::mt19937& rng) {
    static const std::vector<std::u16string> words = [] {
        std::vector<std::u16string> out;
        for (const char* w : kWords)
            out.push_back(from_utf8(w));
        return out;
    }();
    std::u16string text;
    const size_t count = 3 + rng() % 23;
    for (size_t i = 0; i < count; ++i) {
        if (i > 0)
            text += u' ';
        text += words[rng() % words.size()];
    }
    return text;
}

std::string number_of(size_t correspondent, std::mt19937& rng) {
    if (correspondent % 100 == 99)
        return "Bank" + std::to_string(correspondent);
    if (correspondent % 100 == 98)
        return std::to_string(20'000 + correspondent);
    const std::string national = "1" + std::to_string(510'000'000 + correspondent * 7);
    return rng() % 4 == 0 ? "0" + national : "+49" + national;
}

struct Scene {
    SmsBox inbox{BoxKind::Inbox};
    SmsBox sent{BoxKind::SentItems};
    SmsBox deleted{BoxKind::DeletedItems};
    ContactList contacts{PhoneNumbers("DE")};
    size_t text_bytes = 0;

    void add(std::mt19937& rng, size_t i) {
        SmsMessage m;
        m.set_text(text_of(rng));
        m.set_number_raw(number_of(rng() % kCorrespondents, rng));
        m.set_time(filetime_from_unix(1'700'000'000 + static_cast<int64_t>(i) * 60));
        m.set_read(static_cast<uint8_t>(rng() % 5 != 0));
        text_bytes += m.text_view().size() * sizeof(char16_t);
        const size_t r = rng() % 100;
        (r < 80 ? inbox : r < 95 ? sent : deleted).append(m);
    }
};

Scene make_scene(size_t messages) {
    std::mt19937 rng(17);
    Scene s;
    // Through a contacts file: one sort and one index for all of them.
    std::vector<Contact> contacts;
    for (size_t c = 0; c < kContacts; ++c) {
        std::mt19937 spelling(static_cast<uint32_t>(c));
        contacts.push_back(
            make_contact("Person " + std::to_string(c) + ",Family", number_of(c, spelling)));
    }
    const std::vector<uint8_t> bytes = encode_contacts_file(contacts);
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "quillet-search-bench-contacts.sql";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    s.contacts.load_contacts_file(file);
    std::filesystem::remove(file);
    for (size_t i = 0; i < messages; ++i)
        s.add(rng, i);
    return s;
}

const Scene& scene() {
    static const Scene s = make_scene(kMessages);
    return s;
}

const ConversationIndex& built_index() {
    static const auto index = [] {
        auto i = std::make_unique<ConversationIndex>(PhoneNumbers("DE"));
        i->update(scene().inbox, scene().sent, scene().deleted);
        return i;
    }();
    return *index;
}

// Typing "stat" a key at a time, the whole list filtered at each key.
void BM_SearchKeystroke(benchmark::State& state) {
    const ConversationIndex& index = built_index();
    const std::u16string typed = u"Straße";
    const size_t keys = static_cast<size_t>(state.range(0));
    const SearchQuery query(typed.substr(0, keys), PhoneNumbers("DE"));
    size_t found = 0;
    for (auto _ : state) {
        found = 0;
        for (BoxKind k : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems})
            found += index.search(k, query, &scene().contacts).size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_SearchKeystroke)->DenseRange(1, 6)->Unit(benchmark::kMillisecond);

// A number typed nationally, and a contact's name.
void BM_SearchNumberAndName(benchmark::State& state) {
    const ConversationIndex& index = built_index();
    const SearchQuery query(state.range(0) == 0 ? u"0151 000" : u"person 12", PhoneNumbers("DE"));
    size_t found = 0;
    for (auto _ : state) {
        found = index.search(BoxKind::Inbox, query, &scene().contacts).size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_SearchNumberAndName)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_SearchConversations(benchmark::State& state) {
    const ConversationIndex& index = built_index();
    const SearchQuery query(u"bientot", PhoneNumbers("DE"));
    for (auto _ : state)
        benchmark::DoNotOptimize(index.search_conversations(query, &scene().contacts));
}
BENCHMARK(BM_SearchConversations)->Unit(benchmark::kMillisecond);

// The conversation list from nothing; "cold" also forgets every parsed
// number first, as at start-up.
void BM_ConversationsBuild(benchmark::State& state) {
    const Scene& s = scene();
    const PhoneNumbers numbers("DE");
    size_t bytes = 0;
    for (auto _ : state) {
        if (state.range(0) == 1)
            numbers.forget();
        ConversationIndex index(numbers);
        index.update(s.inbox, s.sent, s.deleted);
        bytes = index.memory_bytes();
        benchmark::DoNotOptimize(index.count());
    }
    state.counters["index_per_text"] =
        static_cast<double>(bytes) / static_cast<double>(s.text_bytes);
}
BENCHMARK(BM_ConversationsBuild)->ArgName("cold")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// 1,000 new messages arrive in a box of 100,000; the index catches up.
void BM_ConversationsAfterImport(benchmark::State& state) {
    Scene s = make_scene(kMessages);
    ConversationIndex index(PhoneNumbers("DE"));
    index.update(s.inbox, s.sent, s.deleted);
    std::mt19937 rng(99);
    size_t next = kMessages;
    for (auto _ : state) {
        state.PauseTiming();
        for (size_t i = 0; i < 1'000; ++i)
            s.add(rng, next++);
        state.ResumeTiming();
        index.update(s.inbox, s.sent, s.deleted);
    }
    state.counters["conversations"] = static_cast<double>(index.count());
}
BENCHMARK(BM_ConversationsAfterImport)->Unit(benchmark::kMillisecond)->Iterations(20);

// Nothing changed: what every update after a read mark costs at least.
void BM_ConversationsUnchanged(benchmark::State& state) {
    Scene s = make_scene(kMessages);
    ConversationIndex index(PhoneNumbers("DE"));
    index.update(s.inbox, s.sent, s.deleted);
    for (auto _ : state)
        index.update(s.inbox, s.sent, s.deleted);
}
BENCHMARK(BM_ConversationsUnchanged)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet
BENCHMARK_MAIN();
