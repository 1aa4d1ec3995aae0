#include "platform/ce/sms.h"

#include <map>
#include <memory>
#include <mutex>

#include "platform/phone/device_store.h"
#include "protocol/byte_order.h"

namespace quillet::ce {
namespace {

// Open providers by handle. The agent is single-threaded; the lock keeps
// the table sound for any other caller.
struct Providers {
    std::mutex lock;
    std::map<SMS_HANDLE, std::shared_ptr<phone::PhoneStore>> open;
    SMS_HANDLE next = 1;
    SMS_MESSAGE_ID next_message = 1;
};

Providers& providers() {
    static Providers p;
    return p;
}

std::u16string text_from_bytes(std::span<const uint8_t> data) {
    std::u16string text(data.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(get_u16le(data, 2 * i));
    return text;
}

}  // namespace

std::array<uint8_t, kTextProviderDataSize> text_provider_data(DWORD message_options,
                                                              PROVIDER_SPECIFIC_MESSAGE_CLASS cls,
                                                              DWORD replace_option) {
    std::array<uint8_t, kTextProviderDataSize> out{};
    put_u32le(out, 0, message_options);
    put_u32le(out, 4, cls);
    put_u32le(out, 8, replace_option);
    return out;
}

HRESULT SmsOpen(const char16_t* provider, DWORD mode, SMS_HANDLE* handle, HANDLE* event) {
    if (handle == nullptr || event == nullptr)
        return E_INVALIDARG;
    if (provider == nullptr || std::u16string_view(provider) != SMS_MSGTYPE_TEXT) {
        return SMS_E_INVALIDPROTOCOL;
    }
    if (mode != SMS_MODE_SEND)
        return E_INVALIDARG;
    std::shared_ptr<phone::PhoneStore> store;
    try {
        store = phone::device_store();
    } catch (const phone::PhoneDbError&) {
        return E_FAIL;
    }
    Providers& p = providers();
    std::lock_guard guard(p.lock);
    *handle = p.next++;
    *event = *handle;
    p.open.emplace(*handle, std::move(store));
    return S_OK;
}

HRESULT SmsSendMessage(SMS_HANDLE handle, const SMS_ADDRESS* /*smsc*/,
                       const SMS_ADDRESS* destination, const void* /*validity_period*/,
                       std::span<const uint8_t> data, std::span<const uint8_t> provider_data,
                       DWORD /*data_encoding*/, DWORD /*options*/, SMS_MESSAGE_ID* message_id) {
    Providers& p = providers();
    std::lock_guard guard(p.lock);
    const auto it = p.open.find(handle);
    if (it == p.open.end())
        return E_INVALIDARG;
    if (destination == nullptr || destination->ptsAddress.size() > SMS_MAX_ADDRESS_LENGTH) {
        return SMS_E_INVALIDADDRESS;
    }
    if (data.size() % 2 != 0)
        return SMS_E_INVALIDDATA;
    if (provider_data.size() != kTextProviderDataSize)
        return SMS_E_PROVIDERSPECIFICBUFFERWRONGSIZE;
    const uint32_t cls = get_u32le(provider_data, 4);
    if (cls > PS_MESSAGE_CLASS3)
        return SMS_E_INVALIDDATA;
    try {
        phone::PhoneStore& store = *it->second;
        if (store.sms_refusing())
            return SMS_E_MISC;
        store.add_submission({destination->ptsAddress,
                              static_cast<int>(destination->smsatAddressType),
                              static_cast<int>(cls), text_from_bytes(data),
                              static_cast<uint32_t>(data.size()), filetime_now()});
    } catch (const phone::PhoneDbError&) {
        return E_FAIL;
    }
    if (message_id != nullptr)
        *message_id = p.next_message++;
    return S_OK;
}

HRESULT SmsClose(SMS_HANDLE handle) {
    Providers& p = providers();
    std::lock_guard guard(p.lock);
    return p.open.erase(handle) == 1 ? S_OK : E_INVALIDARG;
}

}  // namespace quillet::ce
