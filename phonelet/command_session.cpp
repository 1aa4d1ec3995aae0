#include "phonelet/command_session.h"

#include <vector>

#include "platform/ce/ce_system.h"
#include "protocol/byte_order.h"

namespace quillet {
namespace {

// The text of a WRITESMS record: from offset 68 to its terminator or, in a
// record without one, to its end. Nothing past the record is read.
std::u16string record_text(std::span<const uint8_t> record) {
    std::u16string text;
    for (size_t at = wire_offset::kText; at + 1 < record.size(); at += 2) {
        const auto unit = static_cast<char16_t>(get_u16le(record, at));
        if (unit == u'\0')
            break;
        text += unit;
    }
    return text;
}

}  // namespace

// Indexed by command code. Built by to_array, so a table that misses a code
// (or has one too many) does not compile.
const std::array<CommandSession::Handler, kCommandCodeCount> CommandSession::kHandlers =
    std::to_array<CommandSession::Handler>({
        &CommandSession::write_sms,           // 0 WRITESMS
        &CommandSession::count_contacts,      // 1 READNCON
        &CommandSession::read_contact,        // 2 READCON
        &CommandSession::count_inbox,         // 3 READNSMS
        &CommandSession::read_inbox_message,  // 4 READSMS
        &CommandSession::sentinel,            // 5 SMSSENTINEL
        &CommandSession::unhandled,           // 6 RESETCOMM
        &CommandSession::read_all_contacts,   // 7 READALLCON
        &CommandSession::read_inbox,          // 8 READINBOX
        &CommandSession::delete_inbox,        // 9 DELINBOX
        &CommandSession::delete_sent,         // 10 DELSENT
        &CommandSession::delete_deleted,      // 11 DELDELETED
        &CommandSession::read_sent,           // 12 READSENT
        &CommandSession::read_deleted,        // 13 READDELETED
        &CommandSession::read_commands,       // 14 READCOMMANDS
        &CommandSession::write_messages,      // 15 WRITEMESSAGES
        &CommandSession::write_contacts,      // 16 WRITECONTACTS
    });

CommandSession::CommandSession(DesktopConnection& connection) : connection_(connection) {}

CommandSession::~CommandSession() = default;

bool CommandSession::dispatch(const CommandBlock& block) {
    if (block.code < 0 || static_cast<size_t>(block.code) >= kHandlers.size()) {
        return unhandled(block);
    }
    return (this->*kHandlers[static_cast<size_t>(block.code)])(block);
}

void CommandSession::reply(uint8_t byte) {
    connection_.send(std::span(&byte, 1));
}

bool CommandSession::write_sms(const CommandBlock& block) {
    const uint32_t size = get_u32le(block.payload, wire_offset::kSize);
    // A size no record can have means the stream is out of step: reading
    // on would take later commands for text.
    if (check_record_size(size))
        return false;
    std::vector<uint8_t> piece(kWriteSmsPrefixSize + size);
    if (connection_.receive(piece) < 0)
        return false;
    const std::span<const uint8_t> bytes(piece);
    const auto record_bytes = bytes.subspan(kWriteSmsPrefixSize);
    SmsWireRecord record = decode_record_head(record_bytes.first<kRecordHeadSize>());
    record.text = record_text(record_bytes);

    if (!sms_.open()) {
        reply(kReplyFailed);
        return true;
    }
    const bool sent = sms_.send(record);
    sms_.close();
    reply(sent ? kReplySent : kReplyFailed);
    return true;
}

bool CommandSession::count_contacts(const CommandBlock&) {
    int count = 0;
    if (contacts_.open()) {
        count = contacts_.count();
        contacts_.close();
    }
    connection_.send_int32(count);
    return true;
}

bool CommandSession::read_contact(const CommandBlock& block) {
    bool sent = false;
    if (contacts_.open()) {
        sent = contacts_.send_one(connection_, block.index);
        contacts_.close();
    }
    if (!sent)
        connection_.send(ContactWireRecord{}.encode());
    return true;
}

bool CommandSession::count_inbox(const CommandBlock&) {
    int count = 0;
    if (folders_.open(FolderKind::Inbox, SortOrder::OldestFirst) == 0) {
        count = folders_.find(-1);
        folders_.close();
    }
    connection_.send_int32(count);
    return true;
}

bool CommandSession::read_inbox_message(const CommandBlock& block) {
    bool sent = false;
    if (folders_.open(FolderKind::Inbox, SortOrder::OldestFirst) == 0) {
        if (block.index >= 0 && folders_.find(block.index) == 0) {
            sent = folders_.send_current_record(connection_);
        }
        folders_.close();
    }
    if (!sent)
        connection_.send_int32(0);
    return true;
}

bool CommandSession::sentinel(const CommandBlock&) {
    // "Present" only with the newest text message read just now: when the
    // row cannot be read the answer is absent, never an older record or a
    // present flag with no record after it.
    const bool present =
        folders_.open(FolderKind::Inbox, SortOrder::NewestFirst) == 0 && folders_.find(0) == 0;
    connection_.send_int32(present ? 1 : 0);
    if (present)
        folders_.send_current_record(connection_);
    folders_.close();
    return true;
}

bool CommandSession::read_all_contacts(const CommandBlock&) {
    if (sim_.open()) {
        sim_.send_all(connection_);
        sim_.close();
    }
    if (contacts_.open()) {
        contacts_.send_all(connection_);
        contacts_.close();
    }
    connection_.send(ContactWireRecord{}.encode());
    return true;
}

bool CommandSession::read_folder(FolderKind kind) {
    if (folders_.open(kind, SortOrder::OldestFirst) != 0) {
        connection_.send_int32(0);
        return true;
    }
    // Read in one pass, so the count is known only at the end: the reply is
    // built whole and then sent in large pieces.
    folder_reply_.clear();
    const bool whole = folders_.append_all(folder_reply_);
    folders_.close();
    // The store failed during the walk: a reply cut short would leave the
    // desktop waiting for the rest, or taking a part for the folder. End
    // the connection, so that it sees a broken link instead.
    if (whole)
        connection_.send(folder_reply_);
    // A phone's memory is small: an exceptionally large reply is not kept.
    constexpr size_t kKeptReplyBytes = 64 * 1024 * 1024;
    if (folder_reply_.capacity() > kKeptReplyBytes)
        std::vector<uint8_t>().swap(folder_reply_);
    return whole;
}

bool CommandSession::read_inbox(const CommandBlock&) {
    return read_folder(FolderKind::Inbox);
}

bool CommandSession::read_sent(const CommandBlock&) {
    return read_folder(FolderKind::SentItems);
}

bool CommandSession::read_deleted(const CommandBlock&) {
    return read_folder(FolderKind::DeletedItems);
}

void CommandSession::delete_in_folder(FolderKind kind, const CommandBlock& block) {
    bool deleted = false;
    if (folders_.open(kind, SortOrder::OldestFirst) == 0) {
        const auto entry_id =
            std::span(block.payload).subspan<wire_offset::kEntryId, kEntryIdSize>();
        deleted = folders_.delete_message(entry_id);
        folders_.close();
    }
    reply(deleted ? kReplySent : kReplyFailed);
}

bool CommandSession::delete_inbox(const CommandBlock& block) {
    delete_in_folder(FolderKind::Inbox, block);
    return true;
}

bool CommandSession::delete_sent(const CommandBlock& block) {
    delete_in_folder(FolderKind::SentItems, block);
    return true;
}

bool CommandSession::delete_deleted(const CommandBlock& block) {
    delete_in_folder(FolderKind::DeletedItems, block);
    return true;
}

bool CommandSession::read_commands(const CommandBlock&) {
    uint32_t known = 0;
    for (size_t code = 0; code < kHandlers.size(); ++code) {
        if (kHandlers[code] != &CommandSession::unhandled)
            known |= uint32_t{1} << code;
    }
    connection_.send_int32(kCommandsMarker);
    connection_.send_int32(static_cast<int32_t>(known));
    return true;
}

bool CommandSession::write_messages(const CommandBlock& block) {
    const WriteBatchHead head = decode_write_batch_head(block);
    // A count or length no batch can have: what follows cannot be told
    // apart from the next command.
    if (head.count == 0 || head.count > kMaxWriteBatch || head.bytes > kMaxWriteBatchBytes)
        return false;
    std::vector<uint8_t> body(head.bytes);
    if (connection_.receive(body) < 0)
        return false;
    std::vector<uint8_t> answer(head.count * kWrittenMessageReplySize, 0);
    for (size_t i = 0; i < head.count; ++i)
        answer[i * kWrittenMessageReplySize] = kReplyFailed;
    const auto records = decode_message_batch(body, head.count);
    const bool inbox = block.index == static_cast<int32_t>(WriteTarget::Inbox);
    const bool sent = block.index == static_cast<int32_t>(WriteTarget::SentItems);
    const FolderKind kind = inbox ? FolderKind::Inbox : FolderKind::SentItems;
    if (records && (inbox || sent) && folders_.open(kind, SortOrder::OldestFirst) == 0) {
        for (size_t i = 0; i < records->size(); ++i) {
            const auto entry_id = folders_.add_message((*records)[i], inbox);
            if (!entry_id)
                continue;
            answer[i * kWrittenMessageReplySize] = kReplySent;
            std::copy(entry_id->begin(), entry_id->end(),
                      answer.begin() + static_cast<ptrdiff_t>(i * kWrittenMessageReplySize + 1));
        }
        folders_.close();
    }
    connection_.send(answer);
    return true;
}

bool CommandSession::write_contacts(const CommandBlock& block) {
    const WriteBatchHead head = decode_write_batch_head(block);
    if (head.count == 0 || head.count > kMaxWriteBatch ||
        head.bytes != head.count * kContactRecordSize) {
        return false;
    }
    std::vector<uint8_t> body(head.bytes);
    if (connection_.receive(body) < 0)
        return false;
    std::vector<uint8_t> answer(head.count, kReplyFailed);
    const bool known_target = block.index == static_cast<int32_t>(ContactTarget::PhoneContacts) ||
                              block.index == static_cast<int32_t>(ContactTarget::Sim);
    if (known_target && contact_writer_.open(static_cast<ContactTarget>(block.index))) {
        const std::span<const uint8_t> bytes(body);
        for (size_t i = 0; i < head.count; ++i) {
            const auto record = ContactWireRecord::decode(
                bytes.subspan(i * kContactRecordSize).first<kContactRecordSize>());
            if (contact_writer_.write(record))
                answer[i] = kReplySent;
        }
        contact_writer_.close();
    }
    connection_.send(answer);
    return true;
}

bool CommandSession::unhandled(const CommandBlock&) {
    ce::MessageBoxW(nullptr, u"default", u"", ce::MB_OK);
    return true;
}

}  // namespace quillet
