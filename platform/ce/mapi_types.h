// Result codes, property tags, flags and property values of the phone's
// message store (CE MAPI), under the names the phone's headers give them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ce/ce_types.h"
#include "protocol/filetime.h"

namespace quillet::ce {

inline constexpr HRESULT MAPI_E_CALL_FAILED = E_FAIL;
inline constexpr HRESULT MAPI_E_NO_SUPPORT = hresult(0x80040102);
inline constexpr HRESULT MAPI_E_INVALID_ENTRYID = hresult(0x80040107);
inline constexpr HRESULT MAPI_E_NOT_FOUND = hresult(0x8004010F);
inline constexpr HRESULT MAPI_E_LOGON_FAILED = hresult(0x80040111);
inline constexpr HRESULT MAPI_E_TOO_COMPLEX = hresult(0x80040117);
inline constexpr HRESULT MAPI_E_NOT_INITIALIZED = hresult(0x80040605);
inline constexpr HRESULT MAPI_E_INVALID_PARAMETER = E_INVALIDARG;
inline constexpr HRESULT MAPI_E_INTERFACE_NOT_SUPPORTED = E_NOINTERFACE;
inline constexpr HRESULT MAPI_W_ERRORS_RETURNED = hresult(0x00040380);
inline constexpr HRESULT MAPI_W_PARTIAL_COMPLETION = hresult(0x00040680);

inline constexpr ULONG PT_LONG = 0x0003;
inline constexpr ULONG PT_ERROR = 0x000A;
inline constexpr ULONG PT_UNICODE = 0x001F;
inline constexpr ULONG PT_SYSTIME = 0x0040;
inline constexpr ULONG PT_BINARY = 0x0102;
inline constexpr ULONG PROP_TYPE(ULONG tag) {
    return tag & 0xFFFF;
}
inline constexpr ULONG PROP_ID(ULONG tag) {
    return tag >> 16;
}
inline constexpr ULONG CHANGE_PROP_TYPE(ULONG tag, ULONG type) {
    return (tag & 0xFFFF0000) | type;
}

inline constexpr ULONG PR_MESSAGE_CLASS = 0x001A001F;
inline constexpr ULONG PR_SUBJECT = 0x0037001F;
inline constexpr ULONG PR_SENDER_EMAIL_ADDRESS = 0x0C1F001F;
inline constexpr ULONG PR_DISPLAY_TO = 0x0E04001F;
inline constexpr ULONG PR_MESSAGE_DELIVERY_TIME = 0x0E060040;
inline constexpr ULONG PR_MESSAGE_FLAGS = 0x0E070003;
inline constexpr ULONG PR_ENTRYID = 0x0FFF0102;
inline constexpr ULONG PR_BODY = 0x1000001F;
inline constexpr ULONG PR_DISPLAY_NAME = 0x3001001F;
inline constexpr ULONG PR_EMAIL_ADDRESS = 0x3003001F;
inline constexpr ULONG PR_IPM_WASTEBASKET_ENTRYID = 0x35E30102;
inline constexpr ULONG PR_IPM_SENTMAIL_ENTRYID = 0x35E40102;

inline constexpr ULONG MAPI_UNICODE = 0x80000000;
inline constexpr ULONG MAPI_BEST_ACCESS = 0x00000010;
inline constexpr ULONG TABLE_SORT_ASCEND = 0;
inline constexpr ULONG TABLE_SORT_DESCEND = 1;
inline constexpr LONG BOOKMARK_BEGINNING = 0;
inline constexpr LONG BOOKMARK_CURRENT = 1;
inline constexpr LONG BOOKMARK_END = 2;
inline constexpr ULONG MAPI_STORE = 1;
inline constexpr ULONG MAPI_FOLDER = 3;
inline constexpr ULONG MAPI_MESSAGE = 5;
inline constexpr ULONG STGM_READ = 0;
inline constexpr DWORD COINIT_MULTITHREADED = 0;
inline constexpr uint32_t MSGFLAG_READ = 0x0001;

using SBinary = std::vector<uint8_t>;
using ENTRYLIST = std::vector<SBinary>;
using SPropTagArray = std::vector<ULONG>;

// One property value; the member that holds it follows PROP_TYPE(ulPropTag).
// A missing property comes back with type PT_ERROR and its code in `err`.
struct SPropValue {
    ULONG ulPropTag = 0;
    LONG l = 0;
    FileTime ft = 0;
    std::u16string lpszW;
    SBinary bin;
    HRESULT err = S_OK;
};
using SRow = std::vector<SPropValue>;
using SRowSet = std::vector<SRow>;

struct SSortOrder {
    ULONG ulPropTag = 0;
    ULONG ulOrder = TABLE_SORT_ASCEND;
};
using SSortOrderSet = std::vector<SSortOrder>;

SPropValue prop_error(ULONG tag, HRESULT code);

}  // namespace quillet::ce
