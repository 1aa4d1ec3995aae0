// Import of a fetched folder into a box: the indexed merge of SmsBox against
// the first-match scan, on the same box and the same records.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

#include "bench_data.h"
#include "desktop/store/box_file.h"
#include "desktop/store/message_merge.h"
#include "desktop/store/sms_box.h"

namespace quillet {
namespace {

// Hands back the prepared records of a folder, as the link would.
class PreparedPhone : public DeviceOperations {
  public:
    explicit PreparedPhone(std::vector<SmsWireRecord> folder) : folder_(std::move(folder)) {}
    int fetch_folder(BoxKind, std::vector<SmsWireRecord>& records, StatusSink*) override {
        records.insert(records.end(), folder_.begin(), folder_.end());
        return static_cast<int>(folder_.size());
    }
    bool delete_on_device(BoxKind, const SmsWireRecord&) override { return true; }
    int fetch_contacts(std::vector<Contact>&, StatusSink*) override { return 0; }
    bool send_sms(const SmsWireRecord&) override { return true; }

  private:
    std::vector<SmsWireRecord> folder_;
};

// The plain algorithm: for each record, scan the box from its first message.
void import_by_scan(std::vector<SmsMessage>& messages, std::vector<SmsMessage>& queue,
                    DeviceOperations& phone) {
    std::vector<SmsWireRecord> fetched;
    phone.fetch_folder(BoxKind::Inbox, fetched, nullptr);
    for (SmsMessage& m : messages)
        m.set_on_phone(0);
    for (const SmsWireRecord& w : fetched) {
        SmsMessage m = SmsMessage::from_wire(w);
        m.set_on_phone(1);
        auto it = std::find_if(messages.begin(), messages.end(),
                               [&](const SmsMessage& e) { return m.same_message(e); });
        if (it != messages.end()) {
            *it = m;
            continue;
        }
        messages.push_back(m);
        queue.push_back(m);
    }
}

// A box of n messages and a folder of n records: half of them the box's
// messages, half new ones, shuffled. The box is as the program has it after
// start: read from its file.
struct ImportCase {
    SmsBox box{BoxKind::Inbox};
    std::vector<SmsWireRecord> folder;
};

ImportCase make_case(size_t n) {
    std::mt19937 rng(static_cast<unsigned>(n));
    ImportCase c;
    std::vector<SmsWireRecord> stored;
    std::vector<SmsMessage> messages;
    for (size_t i = 0; i < n; ++i) {
        stored.push_back(bench::phone_record(rng, i, 300));
        messages.push_back(SmsMessage::from_wire(stored.back()));
    }
    for (const SmsMessage& m : decode_box_file(encode_box_file(-1, -1, messages)).messages)
        c.box.append(m);
    for (size_t i = 0; i < n; ++i) {
        c.folder.push_back(i % 2 == 0 ? stored[rng() % n] : bench::phone_record(rng, n + i, 300));
    }
    return c;
}

// Copying the box in and freeing it afterwards are not part of an import.
void BM_ImportIndexed(benchmark::State& state) {
    const ImportCase c = make_case(static_cast<size_t>(state.range(0)));
    PreparedPhone phone(c.folder);
    for (auto _ : state) {
        state.PauseTiming();
        auto box = std::make_unique<SmsBox>(c.box);
        state.ResumeTiming();
        benchmark::DoNotOptimize(box->import_new_smses(phone));
        state.PauseTiming();
        box.reset();
        state.ResumeTiming();
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ImportIndexed)
    ->Arg(5'000)
    ->Arg(10'000)
    ->Arg(20'000)
    ->Arg(40'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_ImportScan(benchmark::State& state) {
    const ImportCase c = make_case(static_cast<size_t>(state.range(0)));
    PreparedPhone phone(c.folder);
    for (auto _ : state) {
        state.PauseTiming();
        auto messages = std::make_unique<std::vector<SmsMessage>>(c.box.messages());
        auto queue = std::make_unique<std::vector<SmsMessage>>();
        state.ResumeTiming();
        import_by_scan(*messages, *queue, phone);
        benchmark::DoNotOptimize(queue->size());
        state.PauseTiming();
        messages.reset();
        queue.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ImportScan)->Arg(5'000)->Arg(20'000)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
}  // namespace quillet
