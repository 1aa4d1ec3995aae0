// The exchanges that put a history back onto a phone: which commands the
// agent knows, and the two writes. Each batch is one exchange under the
// link lock, so the sentinel's ticks go on between batches.
#include <string>

#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/orx_exception.h"
#include "protocol/byte_order.h"

namespace quillet {
namespace {

// Records per WRITEMESSAGES: the phone saves each on its own, and its reply
// must come within the receive limit even on a slow store.
constexpr size_t kMessagesPerBatch = 250;
static_assert(kMessagesPerBatch <= kMaxWriteBatch);

// How many of `records`, from `from` on, go in one WRITEMESSAGES.
size_t batch_end(std::span<const SmsWireRecord> records, size_t from) {
    size_t bytes = 0;
    size_t end = from;
    while (end < records.size() && end - from < kMessagesPerBatch) {
        const size_t more = 4 + records[end].size();
        if (bytes + more > kMaxWriteBatchBytes)
            break;
        bytes += more;
        ++end;
    }
    return end;
}

}  // namespace

uint32_t SmartphoneSmsConnect::known_commands() {
    connect();
    const ExchangeLock guard = lock_for_operation();
    send_command(CommandBlock::with_code(CommandCode::READCOMMANDS));
    send_command(CommandBlock::with_code(CommandCode::READNCON));
    const int32_t first = receive_int32();
    if (first != kCommandsMarker)
        return kCommandsBeforeRestore;  // that was the contact count
    const auto known = static_cast<uint32_t>(receive_int32());
    receive_int32();  // READNCON's count
    return known;
}

std::vector<std::optional<EntryId>> SmartphoneSmsConnect::write_messages(
    BoxKind kind, std::span<const SmsWireRecord> records) {
    if (kind == BoxKind::DeletedItems)
        throw ORX_Exception("restore: messages go back to the Inbox or Sent Items only");
    const WriteTarget target = kind == BoxKind::Inbox ? WriteTarget::Inbox : WriteTarget::SentItems;
    connect();
    std::vector<std::optional<EntryId>> written;
    written.reserve(records.size());
    for (size_t from = 0; from < records.size();) {
        const size_t end = batch_end(records, from);
        // A record larger than a whole batch cannot exist (1 MiB at most).
        if (end == from)
            throw ORX_Exception("restore: a record is larger than the link carries");
        const WriteMessagesRequest request =
            encode_write_messages(target, records.subspan(from, end - from));
        std::vector<uint8_t> reply((end - from) * kWrittenMessageReplySize);
        {
            const ExchangeLock guard = lock_for_operation();
            send_piece(request.block);
            send_piece(request.records);
            receive_piece(reply);
            // What this program wrote into the Inbox has not arrived: the
            // sentinel's next tick must not take it for a new message.
            for (size_t i = 0; kind == BoxKind::Inbox && i < end - from; ++i) {
                if (reply[i * kWrittenMessageReplySize] == kReplySent)
                    raise_newest_seen(records[from + i].time);
            }
        }
        for (size_t i = 0; i < end - from; ++i) {
            const size_t at = i * kWrittenMessageReplySize;
            if (reply[at] != kReplySent) {
                written.emplace_back();
                continue;
            }
            EntryId id{};
            std::copy_n(reply.begin() + static_cast<ptrdiff_t>(at + 1), kEntryIdSize, id.begin());
            written.emplace_back(id);
        }
        from = end;
    }
    return written;
}

std::vector<bool> SmartphoneSmsConnect::write_contacts(ContactTarget target,
                                                       std::span<const Contact> contacts) {
    connect();
    std::vector<bool> written;
    written.reserve(contacts.size());
    for (size_t from = 0; from < contacts.size(); from += kMaxWriteBatch) {
        const auto batch =
            contacts.subspan(from, std::min<size_t>(kMaxWriteBatch, contacts.size() - from));
        const WriteContactsRequest request = encode_write_contacts(target, batch);
        std::vector<uint8_t> reply(batch.size());
        {
            const ExchangeLock guard = lock_for_operation();
            send_piece(request.block);
            send_piece(request.records);
            receive_piece(reply);
        }
        for (const uint8_t r : reply)
            written.push_back(r == kReplySent);
    }
    return written;
}

}  // namespace quillet
