// Search and conversations at scale (search_scene.h).
//
// Goals: each keystroke's filtering <= 30 ms; the conversation list built
// <= 150 ms and brought up to date after an import of 1,000 messages
// <= 20 ms; the index <= 2x the texts' own size (counter "index_per_text").
#include <benchmark/benchmark.h>

#include <random>

#include "bench/search/search_scene.h"
#include "desktop/search/conversation_index.h"

namespace quillet {
namespace {

using namespace quillet::bench;

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
