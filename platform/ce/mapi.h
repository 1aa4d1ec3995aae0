// The phone's message store (CE MAPI), emulated over the phone image.
//
// The calls, property tags, flags and result codes are those of the phone's
// store; objects are owned through std::unique_ptr (releasing one is
// resetting it). A session works on phone::device_store(), the image named
// by phone::device_image(); every object it hands out keeps that connection
// open while it lives.
//
// Folders: Inbox is the store's receive folder; Sent Items and Deleted Items
// are named by the store's PR_IPM_SENTMAIL_ENTRYID and
// PR_IPM_WASTEBASKET_ENTRYID. A contents table reads the folder within one
// read snapshot of the image, taken when it is first read, so its walks see
// one consistent set of rows while the phone tool changes the image.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/ce/mapi_table.h"
#include "platform/ce/mapi_types.h"
#include "platform/phone/phone_store.h"
#include "protocol/filetime.h"

namespace quillet::ce {

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

// ModifyRecipients: the rows are added to the message's recipients.
inline constexpr ULONG MODRECIP_ADD = 0x00000002;
// Rows of PR_DISPLAY_NAME and PR_EMAIL_ADDRESS, one per recipient.
using ADRLIST = std::vector<SRow>;

class IMessage : public IMAPIProp {
  public:
    // The message of that row of `store`. Its properties, body and
    // recipients are read when asked for: opening costs one lookup.
    IMessage(std::shared_ptr<phone::PhoneStore> store, int64_t id, SBinary entry_id);
    // A new message of that folder (IMAPIFolder::CreateMessage): in the
    // store only once SaveChanges succeeded, which gives it its entry id.
    IMessage(std::shared_ptr<phone::PhoneStore> store, int64_t folder_id);
    ~IMessage() override;
    // Sets the class, subject, body, sender, delivery time and flags of a
    // new message; other tags are ignored. MAPI_E_NO_SUPPORT once saved: the
    // emulated store keeps a saved message as it is.
    HRESULT SetProps(const std::vector<SPropValue>& values);
    // MODRECIP_ADD only, on a new message.
    HRESULT ModifyRecipients(ULONG flags, const ADRLIST& recipients);
    // Writes a new message into its folder in one step of the store;
    // MAPI_E_CALL_FAILED when the store cannot, and the message stays new.
    HRESULT SaveChanges(ULONG flags);
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
    // Set while the message is new: its folder and what SetProps gave it.
    struct Draft {
        int64_t folder_id = 0;
        phone::Message message;
    };
    std::optional<Draft> draft_;
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
    // A new, empty message of this folder (see IMessage::SaveChanges).
    HRESULT CreateMessage(const IID* iid, ULONG flags, std::unique_ptr<IMessage>& message);

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
