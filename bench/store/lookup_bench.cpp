// Names for the numbers of 100,000 messages against 2,000 contacts: the
// indexed find_name_by_number (numbers compared as the network sees them,
// in region DE and without a region) against the per-call scan of the last
// 7 digits. A third of the messages come from contacts, a third from unknown
// numbers, a third from short codes.
#include <benchmark/benchmark.h>

#include <random>

#include "desktop/store/contact_list.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

constexpr size_t kContacts = 2'000;
constexpr size_t kMessages = 100'000;

struct LookupCase {
    ContactList contacts{PhoneNumbers("DE")};
    std::vector<std::string> numbers;  // message numbers, normalised
};

const LookupCase& lookup_case() {
    static const LookupCase c = [] {
        std::mt19937 rng(5);
        LookupCase out;
        std::vector<std::string> national;
        for (size_t i = 0; i < kContacts; ++i) {
            const std::string digits = std::to_string(10'000'000 + rng() % 90'000'000);
            national.push_back(digits);
            out.contacts.append(
                make_contact("Contact " + std::to_string(i),
                             "0151 " + digits.substr(0, 4) + " " + digits.substr(4)));
        }
        out.contacts.sort_contacts();
        for (size_t i = 0; i < kMessages; ++i) {
            switch (rng() % 3) {
                case 0:  // a contact, international form
                    out.numbers.push_back("+49151" + national[rng() % kContacts]);
                    break;
                case 1:  // nobody known
                    out.numbers.push_back("+4917" + std::to_string(rng()));
                    break;
                default:  // a short service number
                    out.numbers.push_back(std::to_string(rng() % 100'000));
            }
        }
        return out;
    }();
    return c;
}

// The plain algorithm: clean every contact's number on every call.
std::u16string scan_name(const std::vector<Contact>& contacts, std::string_view q) {
    for (const Contact& c : contacts) {
        const std::string cleaned = clean_contact_number(text_field(c.number));
        const bool tails = q.size() > 7 && cleaned.size() > 7;
        const bool equal =
            tails ? q.substr(q.size() - 7) == std::string_view(cleaned).substr(cleaned.size() - 7)
                  : q == cleaned;
        if (equal)
            return from_ansi(text_field(c.name));
    }
    return from_ansi(q);
}

void BM_LookupIndexed(benchmark::State& state) {
    const LookupCase& c = lookup_case();
    for (auto _ : state) {
        for (const std::string& n : c.numbers) {
            benchmark::DoNotOptimize(c.contacts.find_name_by_number(n));
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kMessages));
}
BENCHMARK(BM_LookupIndexed)->Unit(benchmark::kMillisecond);

// The first pass after start: no spelling parsed yet.
void BM_LookupIndexedFirstPass(benchmark::State& state) {
    const LookupCase& c = lookup_case();
    for (auto _ : state) {
        c.contacts.phone_numbers().forget();
        for (const std::string& n : c.numbers) {
            benchmark::DoNotOptimize(c.contacts.find_name_by_number(n));
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kMessages));
}
BENCHMARK(BM_LookupIndexedFirstPass)->Unit(benchmark::kMillisecond);

// Without a region the national contact numbers are no full numbers: the
// last 7 digits decide.
void BM_LookupIndexedNoRegion(benchmark::State& state) {
    const LookupCase& c = lookup_case();
    ContactList contacts = c.contacts;
    contacts.set_phone_numbers(PhoneNumbers("ZZ"));
    for (auto _ : state) {
        for (const std::string& n : c.numbers) {
            benchmark::DoNotOptimize(contacts.find_name_by_number(n));
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kMessages));
}
BENCHMARK(BM_LookupIndexedNoRegion)->Unit(benchmark::kMillisecond);

void BM_LookupScan(benchmark::State& state) {
    const LookupCase& c = lookup_case();
    for (auto _ : state) {
        for (const std::string& n : c.numbers) {
            benchmark::DoNotOptimize(scan_name(c.contacts.contacts(), n));
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kMessages));
}
BENCHMARK(BM_LookupScan)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace quillet
