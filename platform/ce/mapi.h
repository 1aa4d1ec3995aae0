// The phone's message store (CE MAPI), emulated over the phone image.
//
// The calls, property tags, flags and result codes are those of the phone's
// store; objects are owned through std::unique_ptr (releasing one is
// resetting it). A session opens the image named by phone::device_image();
// every object it hands out keeps the image open while it lives.
//
// Folders: Inbox is the store's receive folder; Sent Items and Deleted Items
// are named by the store's PR_IPM_SENTMAIL_ENTRYID and
// PR_IPM_WASTEBASKET_ENTRYID. A contents table is a snapshot of the folder
// taken when it is first read, so a walk sees one consistent set of rows
// while the phone tool changes the image.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/ce/ce_types.h"
#include "platform/phone/phone_store.h"
#include "protocol/filetime.h"

namespace quillet::ce {

inline constexpr HRESULT MAPI_E_CALL_FAILED = E_FAIL;
inline constexpr HRESULT MAPI_E_NO_SUPPORT = hresult(0x80040102);
inline constexpr HRESULT MAPI_E_INVALID_ENTRYID = hresult(0x80040107);
inline constexpr HRESULT MAPI_E_NOT_FOUND = hresult(0x8004010F);
inline constexpr HRESULT MAPI_E_LOGON_FAILED = hresult(0x80040111);
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

// What a table loader gives: the rows, and whatever must stay alive while
// the table does (such as a read snapshot of the image).
struct TableData {
    SRowSet rows;
    std::shared_ptr<void> keep_alive;
};

// A table of rows. Rows come from a loader, called once when the table is
// first read: the table is a snapshot from then on.
class IMAPITable {
  public:
    using Loader = std::function<TableData()>;
    explicit IMAPITable(Loader loader);
    virtual ~IMAPITable();

    // The properties each row shows, in order; a property a row lacks shows
    // as PT_ERROR / MAPI_E_NOT_FOUND.
    HRESULT SetColumns(const SPropTagArray& columns, ULONG flags);
    // A stable sort on the keys, applied to the snapshot; the cursor goes to
    // the beginning.
    HRESULT SortTable(const SSortOrderSet& order, ULONG flags);
    HRESULT SeekRow(LONG origin, LONG row_count, LONG* rows_sought);
    // Up to row_count rows from the cursor on; none at the end (S_OK).
    HRESULT QueryRows(LONG row_count, ULONG flags, SRowSet& rows);
    HRESULT GetRowCount(ULONG flags, ULONG* count);

  private:
    HRESULT load();
    void sort();
    SRow project(const SRow& row) const;

    Loader loader_;
    bool loaded_ = false;
    std::shared_ptr<void> keep_alive_;
    SRowSet rows_;              // as loaded
    std::vector<size_t> view_;  // rows_ in sort order
    SPropTagArray columns_;
    SSortOrderSet order_;
    size_t cursor_ = 0;
};

// Anything with properties.
class IMAPIProp {
  public:
    virtual ~IMAPIProp();
    // One value per tag, in order; MAPI_W_ERRORS_RETURNED when any is
    // missing (those come back as PT_ERROR).
    HRESULT GetProps(const SPropTagArray& tags, ULONG flags, std::vector<SPropValue>& values);

  protected:
    virtual SRow properties() const = 0;
};

// One property by tag: MAPI_E_NOT_FOUND when the object lacks it.
HRESULT HrGetOneProp(IMAPIProp& object, ULONG tag, SPropValue& value);

class IStream {
  public:
    explicit IStream(std::vector<uint8_t> bytes);
    virtual ~IStream();
    // Copies up to buffer.size() bytes; *read is how many (0 at the end).
    HRESULT Read(std::span<uint8_t> buffer, ULONG* read);

  private:
    std::vector<uint8_t> bytes_;
    size_t position_ = 0;
};

class IMessage : public IMAPIProp {
  public:
    // The message of that row of `store`. Its properties, body and
    // recipients are read when asked for: opening costs one lookup.
    IMessage(std::shared_ptr<phone::PhoneStore> store, int64_t id, SBinary entry_id);
    ~IMessage() override;
    // Rows of PR_ENTRYID, PR_DISPLAY_TO, PR_EMAIL_ADDRESS, in recipient order.
    HRESULT GetRecipientTable(ULONG flags, std::unique_ptr<IMAPITable>& table);
    // PR_BODY as a stream of UTF-16LE bytes (no terminator);
    // MAPI_E_NOT_FOUND when the message has no body.
    HRESULT OpenProperty(ULONG tag, const IID* iid, ULONG interface_options, ULONG flags,
                         std::unique_ptr<IStream>& stream);

  protected:
    SRow properties() const override;

  private:
    // The message as it is now; MAPI_E_NOT_FOUND once it was deleted.
    HRESULT read(phone::Message& message) const;

    std::shared_ptr<phone::PhoneStore> store_;
    int64_t id_;
    SBinary entry_id_;
};

class IMAPIFolder : public IMAPIProp {
  public:
    IMAPIFolder(std::shared_ptr<phone::PhoneStore> store, int64_t folder_id, SBinary entry_id,
                std::u16string name);
    ~IMAPIFolder() override;
    // Columns of every message: class, subject, delivery time, sender
    // address, entry id, flags (the set columns choose among them).
    HRESULT GetContentsTable(ULONG flags, std::unique_ptr<IMAPITable>& table);
    // Deletes the listed messages of this folder. An id that names none of
    // them is skipped and the result is MAPI_W_PARTIAL_COMPLETION.
    HRESULT DeleteMessages(const ENTRYLIST& entries, ULONG ui_param, void* progress, ULONG flags);

  protected:
    SRow properties() const override;

  private:
    std::shared_ptr<phone::PhoneStore> store_;
    int64_t folder_id_;
    SBinary entry_id_;
    std::u16string name_;
};

class IMsgStore : public IMAPIProp {
  public:
    explicit IMsgStore(std::shared_ptr<phone::PhoneStore> store);
    ~IMsgStore() override;
    // The entry id of the folder that receives messages of `message_class`
    // (nullptr: the default class): the Inbox.
    HRESULT GetReceiveFolder(const char16_t* message_class, ULONG flags, SBinary& entry_id,
                             std::u16string* explicit_class);

  protected:
    SRow properties() const override;

  private:
    std::shared_ptr<phone::PhoneStore> store_;
};

class IMAPISession {
  public:
    explicit IMAPISession(std::shared_ptr<phone::PhoneStore> store);
    virtual ~IMAPISession();
    // One row per store: PR_ENTRYID, PR_DISPLAY_NAME.
    HRESULT GetMsgStoresTable(ULONG flags, std::unique_ptr<IMAPITable>& table);
    HRESULT OpenMsgStore(ULONG ui_param, const SBinary& entry_id, const IID* iid, ULONG flags,
                         std::unique_ptr<IMsgStore>& store);
    // A folder (MAPI_FOLDER) or a message (MAPI_MESSAGE) by entry id;
    // MAPI_E_NOT_FOUND when nothing has it.
    HRESULT OpenEntry(const SBinary& entry_id, const IID* iid, ULONG flags, ULONG* object_type,
                      std::unique_ptr<IMAPIProp>& object);
    HRESULT Logoff(ULONG ui_param, ULONG flags, ULONG reserved);

  private:
    std::shared_ptr<phone::PhoneStore> store_;
    bool logged_on_ = true;
};

// What OpenEntry returned, as the interface the caller expects; empty when
// the object is of another kind.
template <class T>
std::unique_ptr<T> query_interface(std::unique_ptr<IMAPIProp>& object) {
    if (dynamic_cast<T*>(object.get()) == nullptr)
        return nullptr;
    return std::unique_ptr<T>(static_cast<T*>(object.release()));
}

// COM for the calling thread: S_OK the first time, S_FALSE after.
HRESULT CoInitializeEx(void* reserved, DWORD flags);
bool com_initialized();

HRESULT MAPIInitialize(void* init);
void MAPIUninitialize();
// Opens the phone's store: MAPI_E_NOT_INITIALIZED before MAPIInitialize,
// MAPI_E_LOGON_FAILED when the phone image cannot be opened.
HRESULT MAPILogonEx(ULONG ui_param, const char16_t* profile, const char16_t* password, ULONG flags,
                    std::unique_ptr<IMAPISession>& session);

}  // namespace quillet::ce
