// What the conversation and search index really holds on the heap for
// 100,000 messages and 2,000 contacts (search_scene.h), against the texts'
// own size (UTF-16, as the boxes keep them). Goal: <= 2x.
//
// Every allocation of this program is counted (operator new and delete
// below), so the figure includes what the index's own estimate
// (memory_bytes) leaves out: hash tables, the number memo, the contact
// names folded by the first search, and the allocator's rounding.
//
// Counters: "heap_per_text" (the goal), "estimate_per_text" (memory_bytes),
// "heap_bytes", "text_bytes".
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

#include "bench/search/search_scene.h"
#include "desktop/search/conversation_index.h"

namespace {

std::atomic<size_t> g_heap{0};

void* counted_alloc(size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr)
        throw std::bad_alloc();
    g_heap.fetch_add(malloc_usable_size(p), std::memory_order_relaxed);
    return p;
}

void counted_free(void* p) noexcept {
    if (p == nullptr)
        return;
    g_heap.fetch_sub(malloc_usable_size(p), std::memory_order_relaxed);
    std::free(p);
}

}  // namespace

void* operator new(size_t size) {
    return counted_alloc(size);
}
void* operator new[](size_t size) {
    return counted_alloc(size);
}
void operator delete(void* p) noexcept {
    counted_free(p);
}
void operator delete[](void* p) noexcept {
    counted_free(p);
}
void operator delete(void* p, size_t) noexcept {
    counted_free(p);
}
void operator delete[](void* p, size_t) noexcept {
    counted_free(p);
}

namespace quillet {
namespace {

using namespace quillet::bench;

void BM_IndexHeap(benchmark::State& state) {
    const Scene& s = scene();
    // libphonenumber's tables are the program's, loaded once whatever the
    // index: loaded before the count starts.
    PhoneNumbers("DE").parse("+491701234567");
    size_t heap = 0;
    size_t estimate = 0;
    for (auto _ : state) {
        const size_t before = g_heap.load();
        {
            auto index = std::make_unique<ConversationIndex>(PhoneNumbers("DE"));
            index->update(s.inbox, s.sent, s.deleted);
            // A search by name folds the contacts' names once.
            const SearchQuery by_name(u"person", PhoneNumbers("DE"));
            benchmark::DoNotOptimize(index->search_conversations(by_name, &s.contacts));
            heap = g_heap.load() - before;
            estimate = index->memory_bytes();
        }
    }
    const auto text = static_cast<double>(s.text_bytes);
    state.counters["heap_bytes"] = static_cast<double>(heap);
    state.counters["text_bytes"] = text;
    state.counters["heap_per_text"] = static_cast<double>(heap) / text;
    state.counters["estimate_per_text"] = static_cast<double>(estimate) / text;
}
BENCHMARK(BM_IndexHeap)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace quillet
BENCHMARK_MAIN();
