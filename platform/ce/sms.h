// The phone's SMS service, emulated over the phone image.
//
// SmsSendMessage records every accepted submission in the image (the phone
// tool's "outbox"); while the phone refuses (the tool's "refuse on") every
// submission fails. Nothing is delivered anywhere. A handle writes through
// the opening thread's phone::device_store(): it is used on that thread.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "platform/ce/ce_types.h"

namespace quillet::ce {

using SMS_HANDLE = uint32_t;
using HANDLE = uint32_t;
using SMS_MESSAGE_ID = uint32_t;

inline constexpr const char16_t* SMS_MSGTYPE_TEXT = u"Microsoft Text SMS Protocol";
inline constexpr DWORD SMS_MODE_RECEIVE = 1;
inline constexpr DWORD SMS_MODE_SEND = 2;
inline constexpr DWORD SMSDE_OPTIMAL = 0;
inline constexpr DWORD SMS_OPTION_DELIVERY_NONE = 0;
inline constexpr size_t SMS_MAX_ADDRESS_LENGTH = 256;

inline constexpr HRESULT SMS_E_INVALIDDATA = hresult(0x82000101);
inline constexpr HRESULT SMS_E_PROVIDERSPECIFICBUFFERWRONGSIZE = hresult(0x82000103);
inline constexpr HRESULT SMS_E_INVALIDPROTOCOL = hresult(0x8200010B);
inline constexpr HRESULT SMS_E_INVALIDADDRESS = hresult(0x82000107);
inline constexpr HRESULT SMS_E_MISC = hresult(0x820001FF);

enum SMS_ADDRESS_TYPE : uint32_t {
    SMSAT_UNKNOWN = 0,
    SMSAT_INTERNATIONAL = 1,
    SMSAT_NATIONAL = 2,
};

struct SMS_ADDRESS {
    SMS_ADDRESS_TYPE smsatAddressType = SMSAT_UNKNOWN;
    std::u16string ptsAddress;  // at most SMS_MAX_ADDRESS_LENGTH units
};

enum PROVIDER_SPECIFIC_MESSAGE_CLASS : uint32_t {
    PS_MESSAGE_CLASS0 = 0,
    PS_MESSAGE_CLASS1 = 1,
    PS_MESSAGE_CLASS2 = 2,
    PS_MESSAGE_CLASS3 = 3,
};

// TEXT_PROVIDER_SPECIFIC_DATA, 12 bytes: message options, message class,
// replace option, each a little-endian 32-bit value.
inline constexpr size_t kTextProviderDataSize = 12;
std::array<uint8_t, kTextProviderDataSize> text_provider_data(DWORD message_options,
                                                              PROVIDER_SPECIFIC_MESSAGE_CLASS cls,
                                                              DWORD replace_option);

// Opens the provider; only SMS_MSGTYPE_TEXT in SMS_MODE_SEND is offered.
// Fails when the phone image cannot be opened.
HRESULT SmsOpen(const char16_t* provider, DWORD mode, SMS_HANDLE* handle, HANDLE* event);
// Submits `data` (UTF-16LE text, an even number of bytes) to `destination`.
// `provider_data` must be the 12-byte text provider data.
HRESULT SmsSendMessage(SMS_HANDLE handle, const SMS_ADDRESS* smsc, const SMS_ADDRESS* destination,
                       const void* validity_period, std::span<const uint8_t> data,
                       std::span<const uint8_t> provider_data, DWORD data_encoding, DWORD options,
                       SMS_MESSAGE_ID* message_id);
HRESULT SmsClose(SMS_HANDLE handle);

}  // namespace quillet::ce
