// The SIM card's phone book (the cellular core library's SIM functions),
// emulated over the phone image. On the phone these are imported by
// ordinal: SimInitialize 1, SimDeinitialize 2, SimReadPhonebookEntry 4,
// SimGetPhonebookStatus 5, SimWritePhonebookEntry 6.
//
// The emulated SIM numbers its slots from 1 to its size, as SIM cards do. A
// phone whose SIM size is 0 has no SIM card: SimInitialize fails.
//
// A handle reads through the opening thread's phone::device_store(): it is
// used on that thread.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "platform/ce/ce_types.h"

namespace quillet::ce {

using HSIM = uint32_t;

inline constexpr DWORD SIM_PBSTORAGE_SIM = 0x10;

inline constexpr HRESULT SIM_E_NOSIM = hresult(0x8800002B);
inline constexpr HRESULT SIM_E_NOTFOUND = hresult(0x88000042);
inline constexpr HRESULT SIM_E_INVALIDINDEX = hresult(0x88000041);

// SIMPHONEBOOKENTRY, 1040 bytes: size (uint32, set to 1040 by the caller)
// at 0, number at 8 (UTF-16LE, NUL-terminated, 256 units), address type at
// 520, numbering plan at 524, name at 528 (UTF-16LE, NUL-terminated, 256
// units).
namespace sim_entry {
inline constexpr size_t kSize = 1040;
inline constexpr size_t kNumber = 8;
inline constexpr size_t kAddressType = 520;
inline constexpr size_t kNumPlan = 524;
inline constexpr size_t kName = 528;
inline constexpr size_t kMaxUnits = 256;
}  // namespace sim_entry
using SIMPHONEBOOKENTRY = std::array<uint8_t, sim_entry::kSize>;

HRESULT SimInitialize(DWORD flags, void* callback, DWORD parameter, HSIM* sim);
HRESULT SimDeinitialize(HSIM sim);
// Reads slot `index`: SIM_E_INVALIDINDEX outside 1..total, SIM_E_NOTFOUND
// for an empty slot, E_INVALIDARG when the entry's size field is not 1040.
HRESULT SimReadPhonebookEntry(HSIM sim, DWORD location, DWORD index,
                              std::span<uint8_t, sim_entry::kSize> entry);
// Writes slot `index` (1..total) with the entry's name and number, as
// SimReadPhonebookEntry lays them out; the errors are those of reading.
HRESULT SimWritePhonebookEntry(HSIM sim, DWORD location, DWORD index,
                               std::span<const uint8_t, sim_entry::kSize> entry);
HRESULT SimGetPhonebookStatus(HSIM sim, DWORD location, DWORD* used, DWORD* total);

}  // namespace quillet::ce
