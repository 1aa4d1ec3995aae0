#include "platform/ce/sim.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/phone/device_store.h"
#include "protocol/byte_order.h"

namespace quillet::ce {
namespace {

struct Sims {
    std::mutex lock;
    std::map<HSIM, std::shared_ptr<phone::PhoneStore>> open;
    HSIM next = 1;
};

Sims& sims() {
    static Sims s;
    return s;
}

phone::PhoneStore* find(Sims& s, HSIM sim) {
    const auto it = s.open.find(sim);
    return it == s.open.end() ? nullptr : it->second.get();
}

void put_text(std::span<uint8_t> entry, size_t offset, const std::u16string& text) {
    const size_t n = std::min(text.size(), sim_entry::kMaxUnits - 1);
    for (size_t i = 0; i < n; ++i)
        put_u16le(entry, offset + 2 * i, static_cast<uint16_t>(text[i]));
    put_u16le(entry, offset + 2 * n, 0);
}

std::u16string get_text(std::span<const uint8_t> entry, size_t offset) {
    std::u16string text;
    for (size_t i = 0; i < sim_entry::kMaxUnits; ++i) {
        const auto unit = static_cast<char16_t>(get_u16le(entry, offset + 2 * i));
        if (unit == u'\0')
            break;
        text += unit;
    }
    return text;
}

}  // namespace

HRESULT SimInitialize(DWORD /*flags*/, void* /*callback*/, DWORD /*parameter*/, HSIM* sim) {
    if (sim == nullptr)
        return E_INVALIDARG;
    std::shared_ptr<phone::PhoneStore> store;
    try {
        store = phone::device_store();
        if (store->sim_size() <= 0)
            return SIM_E_NOSIM;
    } catch (const phone::PhoneDbError&) {
        return E_FAIL;
    }
    Sims& s = sims();
    std::lock_guard guard(s.lock);
    *sim = s.next++;
    s.open.emplace(*sim, std::move(store));
    return S_OK;
}

HRESULT SimDeinitialize(HSIM sim) {
    Sims& s = sims();
    std::lock_guard guard(s.lock);
    return s.open.erase(sim) == 1 ? S_OK : E_INVALIDARG;
}

namespace {

// Runs `step` on the store of an open SIM for one slot within its size; the
// errors every slot call shares otherwise.
template <class Step>
HRESULT on_slot(HSIM sim, DWORD location, DWORD index, std::span<const uint8_t> entry, Step step) {
    Sims& s = sims();
    std::lock_guard guard(s.lock);
    phone::PhoneStore* store = find(s, sim);
    if (store == nullptr || location != SIM_PBSTORAGE_SIM)
        return E_INVALIDARG;
    if (get_u32le(entry, 0) != sim_entry::kSize)
        return E_INVALIDARG;
    try {
        if (index < 1 || index > static_cast<DWORD>(store->sim_size()))
            return SIM_E_INVALIDINDEX;
        return step(*store);
    } catch (const phone::PhoneDbError&) {
        return E_FAIL;
    }
}

}  // namespace

HRESULT SimReadPhonebookEntry(HSIM sim, DWORD location, DWORD index,
                              std::span<uint8_t, sim_entry::kSize> entry) {
    return on_slot(sim, location, index, entry, [&](phone::PhoneStore& store) {
        const auto found = store.sim_entry(static_cast<int>(index));
        if (!found)
            return SIM_E_NOTFOUND;
        std::fill(entry.begin() + 4, entry.end(), uint8_t{0});
        put_text(entry, sim_entry::kNumber, found->number);
        put_u32le(entry, sim_entry::kAddressType, found->number.starts_with(u"+") ? 1 : 0);
        put_text(entry, sim_entry::kName, found->name);
        return S_OK;
    });
}

HRESULT SimWritePhonebookEntry(HSIM sim, DWORD location, DWORD index,
                               std::span<const uint8_t, sim_entry::kSize> entry) {
    return on_slot(sim, location, index, entry, [&](phone::PhoneStore& store) {
        store.set_sim_entry({static_cast<int>(index), get_text(entry, sim_entry::kName),
                             get_text(entry, sim_entry::kNumber)});
        return S_OK;
    });
}

HRESULT SimGetPhonebookStatus(HSIM sim, DWORD location, DWORD* used, DWORD* total) {
    Sims& s = sims();
    std::lock_guard guard(s.lock);
    phone::PhoneStore* store = find(s, sim);
    if (store == nullptr || location != SIM_PBSTORAGE_SIM)
        return E_INVALIDARG;
    try {
        const int size = store->sim_size();
        DWORD count = 0;
        for (const phone::SimEntry& e : store->sim_entries()) {
            if (e.slot >= 1 && e.slot <= size)
                ++count;
        }
        if (used != nullptr)
            *used = count;
        if (total != nullptr)
            *total = static_cast<DWORD>(size);
    } catch (const phone::PhoneDbError&) {
        return E_FAIL;
    }
    return S_OK;
}

}  // namespace quillet::ce
