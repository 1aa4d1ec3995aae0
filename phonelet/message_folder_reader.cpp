#include "phonelet/message_folder_reader.h"

#include <algorithm>

#include "phonelet/vomapi_message.h"
#include "protocol/byte_order.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

// The columns of the open folder, in this order.
enum Column { kClass, kSubject, kDeliveryTime, kSender, kEntryId, kFlags, kColumnCount };
const ce::SPropTagArray kColumns = {
    ce::PR_MESSAGE_CLASS,        ce::PR_SUBJECT, ce::PR_MESSAGE_DELIVERY_TIME,
    ce::PR_SENDER_EMAIL_ADDRESS, ce::PR_ENTRYID, ce::PR_MESSAGE_FLAGS};

bool starts_with_ignoring_case(std::u16string_view text, std::u16string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    return std::equal(prefix.begin(), prefix.end(), text.begin(), [](char16_t a, char16_t b) {
        auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
        return lower(a) == lower(b);
    });
}

bool is_text_message(const ce::SRow& row) {
    if (row.size() != kColumnCount || row[kClass].ulPropTag != ce::PR_MESSAGE_CLASS)
        return false;
    const std::u16string& cls = row[kClass].lpszW;
    return starts_with_ignoring_case(cls, u"IPM.SMSText") ||
           starts_with_ignoring_case(cls, u"IPM.Note");
}

// A quoted sender ("Name" <address>) yields the address between the angle
// brackets, each unit by its low byte; any other value is converted whole.
// A quoted value without "<" is taken whole; one without a closing ">" up
// to its end.
std::string sender_address(std::u16string_view sender) {
    if (!sender.starts_with(u'"'))
        return to_ansi_field(sender);
    const size_t open = sender.find(u'<', 1);
    if (open == std::u16string_view::npos)
        return to_ansi_field(sender);
    const size_t close = sender.find(u'>', open + 1);
    const std::u16string_view inside =
        sender.substr(open + 1, close == std::u16string_view::npos ? std::u16string_view::npos
                                                                   : close - open - 1);
    std::string address;
    for (char16_t unit : inside) {
        if (address.size() == kTextFieldSize - 1)
            break;
        const auto byte = static_cast<char>(unit & 0xFF);
        if (byte == '\0')
            break;
        address += byte;
    }
    return address;
}

}  // namespace

MessageFolderReader::~MessageFolderReader() {
    close();
}

int MessageFolderReader::open(FolderKind kind, SortOrder order) {
    close();
    ce::CoInitializeEx(nullptr, ce::COINIT_MULTITHREADED);
    if (ce::FAILED(ce::MAPIInitialize(nullptr)))
        return 1;
    mapi_initialised_ = true;
    const int step = open_folder(kind);
    if (step != 0) {
        close();
        return step;
    }
    if (ce::FAILED(folder_->GetContentsTable(0, table_))) {
        close();
        return 8;
    }
    const ce::ULONG direction =
        order == SortOrder::OldestFirst ? ce::TABLE_SORT_ASCEND : ce::TABLE_SORT_DESCEND;
    if (ce::FAILED(table_->SortTable({{ce::PR_MESSAGE_DELIVERY_TIME, direction}}, 0))) {
        close();
        return 9;
    }
    if (ce::FAILED(table_->SetColumns(kColumns, 0))) {
        close();
        return 10;
    }
    return 0;
}

int MessageFolderReader::open_folder(FolderKind kind) {
    if (ce::FAILED(ce::MAPILogonEx(0, nullptr, nullptr, 0, session_)))
        return 2;
    std::unique_ptr<ce::IMsgStore> store;
    {
        std::unique_ptr<ce::IMAPITable> stores;
        if (ce::FAILED(session_->GetMsgStoresTable(ce::MAPI_UNICODE, stores)))
            return 3;
        ce::SRowSet rows;
        if (ce::FAILED(stores->QueryRows(1, 0, rows)) || rows.empty() || rows[0].empty()) {
            return 4;
        }
        if (ce::FAILED(session_->OpenMsgStore(0, rows[0][0].bin, nullptr, 0, store)))
            return 5;
    }
    ce::SBinary folder_id;
    if (kind == FolderKind::Inbox) {
        if (ce::FAILED(store->GetReceiveFolder(nullptr, ce::MAPI_UNICODE, folder_id, nullptr))) {
            return 6;
        }
    } else {
        const ce::ULONG tag = kind == FolderKind::SentItems ? ce::PR_IPM_SENTMAIL_ENTRYID
                                                            : ce::PR_IPM_WASTEBASKET_ENTRYID;
        ce::SPropValue value;
        if (ce::FAILED(ce::HrGetOneProp(*store, tag, value)))
            return 7;
        folder_id = std::move(value.bin);
    }
    store.reset();
    std::unique_ptr<ce::IMAPIProp> object;
    ce::ULONG type = 0;
    if (ce::FAILED(session_->OpenEntry(folder_id, nullptr, ce::MAPI_BEST_ACCESS, &type, object))) {
        return 7;
    }
    folder_ = ce::query_interface<ce::IMAPIFolder>(object);
    return folder_ ? 0 : 7;
}

void MessageFolderReader::close() {
    current_.reset();
    table_.reset();
    folder_.reset();
    if (session_) {
        session_->Logoff(0, 0, 0);
        session_.reset();
    }
    if (mapi_initialised_) {
        ce::MAPIUninitialize();
        mapi_initialised_ = false;
    }
}

MessageFolderReader::Walk MessageFolderReader::next_text_row(ce::SRowSet& rows) {
    for (;;) {
        if (ce::FAILED(table_->QueryRows(1, 0, rows)))
            return Walk::Failed;
        if (rows.empty())
            return Walk::End;
        if (is_text_message(rows.front()))
            return Walk::Row;
    }
}

int MessageFolderReader::find(int position) {
    // A record from an earlier read must never pass for this one.
    current_.reset();
    const int not_found = position < 0 ? 0 : -1;
    if (!table_ || ce::FAILED(table_->SeekRow(ce::BOOKMARK_BEGINNING, 0, nullptr)))
        return not_found;
    int count = 0;
    ce::SRowSet rows;
    while (next_text_row(rows) == Walk::Row) {
        if (count == position) {
            read_row(rows.front());
            return 0;
        }
        ++count;
    }
    return position < 0 ? count : -1;
}

bool MessageFolderReader::append_all(std::vector<uint8_t>& reply) {
    const size_t count_at = reply.size();
    reply.resize(count_at + 4);
    int32_t count = 0;
    // A table that cannot even be started answers as a store that cannot be
    // opened: no messages.
    if (!table_ || ce::FAILED(table_->SeekRow(ce::BOOKMARK_BEGINNING, 0, nullptr))) {
        put_i32le(reply, count_at, count);
        return true;
    }
    ce::SRowSet rows;
    Walk walk = Walk::Row;
    while ((walk = next_text_row(rows)) == Walk::Row) {
        read_row(rows.front());
        const size_t size_at = reply.size();
        reply.resize(size_at + 4);
        put_u32le(reply, size_at, current_->size());
        current_->append_to(reply);
        ++count;
    }
    put_i32le(reply, count_at, count);
    return walk == Walk::End;
}

void MessageFolderReader::read_row(const ce::SRow& row) {
    SmsWireRecord record;
    std::u16string text = row[kSubject].lpszW;
    record.time = row[kDeliveryTime].ft;
    std::string address = sender_address(row[kSender].lpszW);
    // Only a message without a subject is opened: the table has the rest.
    if (text.empty()) {
        VOMAPIMessage message(*session_, row[kEntryId].bin);
        text = message.body();
        if (auto recipients = message.recipients())
            address = *recipients;
    }
    const ce::SBinary& id = row[kEntryId].bin;
    std::copy_n(id.begin(), std::min(id.size(), kEntryIdSize), record.entry_id.begin());
    record.flags = static_cast<uint32_t>(row[kFlags].l);
    set_text_field(record.address, address);
    // The desktop takes no record over 1 MiB: a longer subject is cut so the
    // link stays in step.
    constexpr size_t kMaxUnits = (kMaxSmsRecordSize - kMinSmsRecordSize) / 2;
    if (text.size() > kMaxUnits)
        text.resize(kMaxUnits);
    record.text = std::move(text);
    current_ = std::move(record);
}

bool MessageFolderReader::send_current_record(DesktopConnection& connection) {
    if (!current_)
        return false;
    const std::vector<uint8_t> bytes = current_->encode();
    connection.send_int32(static_cast<int32_t>(bytes.size()));
    connection.send(bytes);
    return true;
}

bool MessageFolderReader::delete_message(std::span<const uint8_t, kEntryIdSize> entry_id) {
    if (!folder_)
        return false;
    const ce::ENTRYLIST list = {ce::SBinary(entry_id.begin(), entry_id.end())};
    return ce::SUCCEEDED(folder_->DeleteMessages(list, 0, nullptr, 0));
}

std::optional<EntryId> MessageFolderReader::add_message(const SmsWireRecord& record,
                                                        bool received) {
    if (!folder_)
        return std::nullopt;
    std::unique_ptr<ce::IMessage> message;
    if (ce::FAILED(folder_->CreateMessage(nullptr, 0, message)))
        return std::nullopt;
    const std::u16string address = from_ansi(text_field(record.address));
    std::vector<ce::SPropValue> props;
    const auto text_prop = [&](ce::ULONG tag, const std::u16string& value) {
        props.emplace_back().ulPropTag = tag;
        props.back().lpszW = value;
    };
    text_prop(ce::PR_MESSAGE_CLASS, u"IPM.SMSText");
    text_prop(ce::PR_BODY, record.text);
    props.emplace_back().ulPropTag = ce::PR_MESSAGE_DELIVERY_TIME;
    props.back().ft = record.time;
    props.emplace_back().ulPropTag = ce::PR_MESSAGE_FLAGS;
    props.back().l = record.flags != 0 ? static_cast<ce::LONG>(ce::MSGFLAG_READ) : 0;
    if (received) {
        text_prop(ce::PR_SUBJECT, record.text);
        text_prop(ce::PR_SENDER_EMAIL_ADDRESS, address);
    }
    if (ce::FAILED(message->SetProps(props)))
        return std::nullopt;
    if (!received) {
        // "a;b": a message sent to several people, one recipient each.
        ce::ADRLIST recipients;
        for (size_t from = 0; from <= address.size();) {
            const size_t end = std::min(address.find(u';', from), address.size());
            const std::u16string one = address.substr(from, end - from);
            props.clear();
            text_prop(ce::PR_DISPLAY_NAME, one);
            text_prop(ce::PR_EMAIL_ADDRESS, one);
            recipients.push_back(props);
            from = end + 1;
        }
        if (ce::FAILED(message->ModifyRecipients(ce::MODRECIP_ADD, recipients)))
            return std::nullopt;
    }
    if (ce::FAILED(message->SaveChanges(0)))
        return std::nullopt;
    ce::SPropValue id;
    if (ce::FAILED(ce::HrGetOneProp(*message, ce::PR_ENTRYID, id)))
        return std::nullopt;
    EntryId entry_id{};
    std::copy_n(id.bin.begin(), std::min(id.bin.size(), kEntryIdSize), entry_id.begin());
    return entry_id;
}

}  // namespace quillet
