// Session, store, folder and message objects of the emulated message store.
#include "platform/ce/mapi.h"

#include <optional>

#include "platform/phone/device_store.h"

namespace quillet::ce {
namespace {

int g_mapi_initialised = 0;
thread_local bool t_com_initialised = false;

SPropValue unicode(ULONG tag, std::u16string text) {
    SPropValue v;
    v.ulPropTag = tag;
    v.lpszW = std::move(text);
    return v;
}

SPropValue binary(ULONG tag, SBinary bytes) {
    SPropValue v;
    v.ulPropTag = tag;
    v.bin = std::move(bytes);
    return v;
}

SPropValue systime(ULONG tag, FileTime t) {
    SPropValue v;
    v.ulPropTag = tag;
    v.ft = t;
    return v;
}

SPropValue long_value(ULONG tag, LONG l) {
    SPropValue v;
    v.ulPropTag = tag;
    v.l = l;
    return v;
}

std::u16string widen(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

SRow contents_row(const phone::Message& m) {
    return {unicode(PR_MESSAGE_CLASS, m.message_class),
            unicode(PR_SUBJECT, m.subject),
            systime(PR_MESSAGE_DELIVERY_TIME, m.delivery_time),
            unicode(PR_SENDER_EMAIL_ADDRESS, m.sender),
            binary(PR_ENTRYID, m.entry_id),
            long_value(PR_MESSAGE_FLAGS, static_cast<LONG>(m.flags))};
}

std::vector<uint8_t> utf16le_bytes(std::u16string_view text) {
    std::vector<uint8_t> out(text.size() * 2);
    for (size_t i = 0; i < text.size(); ++i) {
        out[2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
        out[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
    }
    return out;
}

// A folder's rows, read from the image as the table's cursor moves, within
// one read snapshot taken at the first read: every walk, and every message
// opened meanwhile, sees the same rows. Sorts on delivery time only.
class FolderRows : public RowSource {
  public:
    FolderRows(std::shared_ptr<phone::PhoneStore> store, int64_t folder_id)
        : store_(std::move(store)), folder_id_(folder_id) {}

    HRESULT sort(const SSortOrderSet& order) override {
        if (order.size() > 1 ||
            (order.size() == 1 && order[0].ulPropTag != PR_MESSAGE_DELIVERY_TIME)) {
            return MAPI_E_TOO_COMPLEX;
        }
        newest_first_ = order.size() == 1 && order[0].ulOrder == TABLE_SORT_DESCEND;
        cursor_.reset();
        return S_OK;
    }

    void rewind() override {
        if (!snapshot_)
            snapshot_.emplace(store_);
        if (cursor_) {
            cursor_->rewind();
        } else {
            cursor_.emplace(*store_, folder_id_, newest_first_);
        }
    }

    bool next(SRow& row) override {
        if (!cursor_)
            rewind();
        if (!cursor_->next())
            return false;
        const phone::Message& m = cursor_->row();
        row.resize(6);
        set(row[0], PR_MESSAGE_CLASS).lpszW = m.message_class;
        set(row[1], PR_SUBJECT).lpszW = m.subject;
        set(row[2], PR_MESSAGE_DELIVERY_TIME).ft = m.delivery_time;
        set(row[3], PR_SENDER_EMAIL_ADDRESS).lpszW = m.sender;
        set(row[4], PR_ENTRYID).bin = m.entry_id;
        set(row[5], PR_MESSAGE_FLAGS).l = static_cast<LONG>(m.flags);
        return true;
    }

    ULONG count() override {
        if (!snapshot_)
            snapshot_.emplace(store_);
        return static_cast<ULONG>(store_->message_count(folder_id_));
    }

  private:
    static SPropValue& set(SPropValue& v, ULONG tag) {
        v.ulPropTag = tag;
        v.err = S_OK;
        return v;
    }

    std::shared_ptr<phone::PhoneStore> store_;
    int64_t folder_id_;
    bool newest_first_ = false;
    // Declared before the cursor: the cursor's statement ends first.
    std::optional<phone::ReadSnapshot> snapshot_;
    std::optional<phone::FolderCursor> cursor_;
};

}  // namespace

IMessage::IMessage(std::shared_ptr<phone::PhoneStore> store, int64_t id, SBinary entry_id)
    : store_(std::move(store)), id_(id), entry_id_(std::move(entry_id)) {}

IMessage::IMessage(std::shared_ptr<phone::PhoneStore> store, int64_t folder_id)
    : store_(std::move(store)), id_(0), draft_(Draft{folder_id, {}}) {}

IMessage::~IMessage() = default;

HRESULT IMessage::SetProps(const std::vector<SPropValue>& values) {
    if (!draft_)
        return MAPI_E_NO_SUPPORT;
    phone::Message& m = draft_->message;
    for (const SPropValue& v : values) {
        switch (v.ulPropTag) {
            case PR_MESSAGE_CLASS:
                m.message_class = v.lpszW;
                break;
            case PR_SUBJECT:
                m.subject = v.lpszW;
                break;
            case PR_BODY:
                m.body = v.lpszW;
                break;
            case PR_SENDER_EMAIL_ADDRESS:
                m.sender = v.lpszW;
                break;
            case PR_MESSAGE_DELIVERY_TIME:
                m.delivery_time = v.ft;
                break;
            case PR_MESSAGE_FLAGS:
                m.flags = static_cast<uint32_t>(v.l);
                break;
            default:
                break;
        }
    }
    return S_OK;
}

HRESULT IMessage::ModifyRecipients(ULONG flags, const ADRLIST& recipients) {
    if (!draft_)
        return MAPI_E_NO_SUPPORT;
    if (flags != MODRECIP_ADD)
        return MAPI_E_INVALID_PARAMETER;
    for (const SRow& row : recipients) {
        phone::Recipient r;
        for (const SPropValue& v : row) {
            if (v.ulPropTag == PR_DISPLAY_NAME)
                r.display_to = v.lpszW;
            else if (v.ulPropTag == PR_EMAIL_ADDRESS)
                r.email = v.lpszW;
        }
        draft_->message.recipients.push_back(std::move(r));
    }
    return S_OK;
}

HRESULT IMessage::SaveChanges(ULONG /*flags*/) {
    if (!draft_)
        return S_OK;
    try {
        phone::Folder folder;
        folder.id = draft_->folder_id;
        entry_id_ = store_->add_message(folder, draft_->message);
        id_ = store_->message_id(entry_id_).value_or(0);
    } catch (const phone::PhoneDbError&) {
        return MAPI_E_CALL_FAILED;
    }
    draft_.reset();
    return S_OK;
}

HRESULT IMessage::read(phone::Message& message) const {
    try {
        auto found = store_->message(entry_id_, false);
        if (!found)
            return MAPI_E_NOT_FOUND;
        message = std::move(*found);
    } catch (const phone::PhoneDbError&) {
        return MAPI_E_CALL_FAILED;
    }
    return S_OK;
}

SRow IMessage::properties() const {
    if (draft_)
        return contents_row(draft_->message);
    phone::Message m;
    if (FAILED(read(m)))
        return {};
    SRow row = contents_row(m);
    if (m.body)
        row.push_back(unicode(PR_BODY, *m.body));
    return row;
}

HRESULT IMessage::GetRecipientTable(ULONG /*flags*/, std::unique_ptr<IMAPITable>& table) {
    table = std::make_unique<IMAPITable>(std::make_unique<MemoryRows>([store = store_, id = id_] {
        SRowSet rows;
        uint32_t number = 0;
        for (const phone::Recipient& r : store->recipients(id)) {
            SBinary recipient_id(4, 0);
            recipient_id.push_back(static_cast<uint8_t>(number++));
            rows.push_back({binary(PR_ENTRYID, std::move(recipient_id)),
                            unicode(PR_DISPLAY_TO, r.display_to),
                            unicode(PR_EMAIL_ADDRESS, r.email)});
        }
        return rows;
    }));
    return S_OK;
}

HRESULT IMessage::OpenProperty(ULONG tag, const IID* iid, ULONG /*interface_options*/,
                               ULONG /*flags*/, std::unique_ptr<IStream>& stream) {
    if (iid == nullptr || !(*iid == IID_IStream))
        return MAPI_E_INTERFACE_NOT_SUPPORTED;
    if (tag != PR_BODY)
        return MAPI_E_NO_SUPPORT;
    phone::Message m;
    if (const HRESULT hr = read(m); FAILED(hr))
        return hr;
    if (!m.body)
        return MAPI_E_NOT_FOUND;
    stream = std::make_unique<IStream>(utf16le_bytes(*m.body));
    return S_OK;
}

IMAPIFolder::IMAPIFolder(std::shared_ptr<phone::PhoneStore> store, int64_t folder_id,
                         SBinary entry_id, std::u16string name)
    : store_(std::move(store)),
      folder_id_(folder_id),
      entry_id_(std::move(entry_id)),
      name_(std::move(name)) {}

IMAPIFolder::~IMAPIFolder() = default;

SRow IMAPIFolder::properties() const {
    return {binary(PR_ENTRYID, entry_id_), unicode(PR_DISPLAY_NAME, name_)};
}

HRESULT IMAPIFolder::GetContentsTable(ULONG /*flags*/, std::unique_ptr<IMAPITable>& table) {
    table = std::make_unique<IMAPITable>(std::make_unique<FolderRows>(store_, folder_id_));
    return S_OK;
}

HRESULT IMAPIFolder::DeleteMessages(const ENTRYLIST& entries, ULONG /*ui_param*/,
                                    void* /*progress*/, ULONG /*flags*/) {
    phone::Folder folder;
    folder.id = folder_id_;
    bool all = true;
    try {
        for (const SBinary& id : entries)
            all = store_->delete_message(folder, id) && all;
    } catch (const phone::PhoneDbError&) {
        return MAPI_E_CALL_FAILED;
    }
    return all ? S_OK : MAPI_W_PARTIAL_COMPLETION;
}

HRESULT IMAPIFolder::CreateMessage(const IID* /*iid*/, ULONG /*flags*/,
                                   std::unique_ptr<IMessage>& message) {
    message = std::make_unique<IMessage>(store_, folder_id_);
    return S_OK;
}

IMsgStore::IMsgStore(std::shared_ptr<phone::PhoneStore> store) : store_(std::move(store)) {}

IMsgStore::~IMsgStore() = default;

SRow IMsgStore::properties() const {
    SRow row = {binary(PR_ENTRYID, store_->store_entry_id()), unicode(PR_DISPLAY_NAME, u"SMS")};
    if (auto sent = store_->folder(phone::FolderRole::SentItems)) {
        row.push_back(binary(PR_IPM_SENTMAIL_ENTRYID, sent->entry_id));
    }
    if (auto deleted = store_->folder(phone::FolderRole::DeletedItems)) {
        row.push_back(binary(PR_IPM_WASTEBASKET_ENTRYID, deleted->entry_id));
    }
    return row;
}

HRESULT IMsgStore::GetReceiveFolder(const char16_t* /*message_class*/, ULONG /*flags*/,
                                    SBinary& entry_id, std::u16string* explicit_class) {
    try {
        auto inbox = store_->folder(phone::FolderRole::Inbox);
        if (!inbox)
            return MAPI_E_NOT_FOUND;
        entry_id = inbox->entry_id;
    } catch (const phone::PhoneDbError&) {
        return MAPI_E_CALL_FAILED;
    }
    if (explicit_class != nullptr)
        explicit_class->clear();
    return S_OK;
}

IMAPISession::IMAPISession(std::shared_ptr<phone::PhoneStore> store) : store_(std::move(store)) {}

IMAPISession::~IMAPISession() = default;

HRESULT IMAPISession::GetMsgStoresTable(ULONG /*flags*/, std::unique_ptr<IMAPITable>& table) {
    if (!logged_on_)
        return MAPI_E_LOGON_FAILED;
    table = std::make_unique<IMAPITable>(std::make_unique<MemoryRows>([store = store_] {
        return SRowSet{
            {binary(PR_ENTRYID, store->store_entry_id()), unicode(PR_DISPLAY_NAME, u"SMS")}};
    }));
    return S_OK;
}

HRESULT IMAPISession::OpenMsgStore(ULONG /*ui_param*/, const SBinary& entry_id, const IID* /*iid*/,
                                   ULONG /*flags*/, std::unique_ptr<IMsgStore>& store) {
    if (!logged_on_)
        return MAPI_E_LOGON_FAILED;
    try {
        if (entry_id != store_->store_entry_id())
            return MAPI_E_INVALID_ENTRYID;
    } catch (const phone::PhoneDbError&) {
        return MAPI_E_CALL_FAILED;
    }
    store = std::make_unique<IMsgStore>(store_);
    return S_OK;
}

HRESULT IMAPISession::OpenEntry(const SBinary& entry_id, const IID* /*iid*/, ULONG /*flags*/,
                                ULONG* object_type, std::unique_ptr<IMAPIProp>& object) {
    if (!logged_on_)
        return MAPI_E_LOGON_FAILED;
    if (entry_id.size() != phone::kEntryIdBytes)
        return MAPI_E_INVALID_ENTRYID;
    try {
        if (auto id = store_->message_id(entry_id)) {
            object = std::make_unique<IMessage>(store_, *id, entry_id);
            if (object_type != nullptr)
                *object_type = MAPI_MESSAGE;
            return S_OK;
        }
        if (auto folder = store_->folder_by_entry_id(entry_id)) {
            object = std::make_unique<IMAPIFolder>(store_, folder->id, folder->entry_id,
                                                   widen(folder->name));
            if (object_type != nullptr)
                *object_type = MAPI_FOLDER;
            return S_OK;
        }
    } catch (const phone::PhoneDbError&) {
        return MAPI_E_CALL_FAILED;
    }
    return MAPI_E_NOT_FOUND;
}

HRESULT IMAPISession::Logoff(ULONG /*ui_param*/, ULONG /*flags*/, ULONG /*reserved*/) {
    logged_on_ = false;
    return S_OK;
}

HRESULT CoInitializeEx(void* /*reserved*/, DWORD /*flags*/) {
    if (t_com_initialised)
        return S_FALSE;
    t_com_initialised = true;
    return S_OK;
}

bool com_initialized() {
    return t_com_initialised;
}

HRESULT MAPIInitialize(void* /*init*/) {
    ++g_mapi_initialised;
    return S_OK;
}

void MAPIUninitialize() {
    if (g_mapi_initialised > 0)
        --g_mapi_initialised;
}

HRESULT MAPILogonEx(ULONG /*ui_param*/, const char16_t* /*profile*/, const char16_t* /*password*/,
                    ULONG /*flags*/, std::unique_ptr<IMAPISession>& session) {
    if (g_mapi_initialised == 0)
        return MAPI_E_NOT_INITIALIZED;
    try {
        session = std::make_unique<IMAPISession>(phone::device_store());
    } catch (const phone::PhoneDbError&) {
        return MAPI_E_LOGON_FAILED;
    }
    return S_OK;
}

}  // namespace quillet::ce
