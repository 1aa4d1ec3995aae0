// The device operations: one request and its whole reply each, under the
// link lock. Every length and count in a reply is checked before anything
// is allocated for it.
#include <chrono>
#include <string>

#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/log_file.h"
#include "desktop/store/orx_exception.h"
#include "protocol/byte_order.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

void log(std::string_view text) {
    program_log().log_line(text);
}

// No phone holds this many contacts; a longer list means the stream is broken.
constexpr int kMaxContacts = kMaxFolderCount;

// Ends the progress bar however the fetch ends.
class ProgressEnd {
  public:
    explicit ProgressEnd(StatusSink* sink) : sink_(sink) {}
    ~ProgressEnd() {
        if (sink_)
            sink_->set_progress(-1);
    }
    ProgressEnd(const ProgressEnd&) = delete;
    ProgressEnd& operator=(const ProgressEnd&) = delete;

  private:
    StatusSink* sink_;
};

// Reports a folder fetch's percentage to its sink, at most kReportsPerSecond
// times a second and only when it changed: the main window repaints its
// progress bar on every report, and a report per record froze it for
// seconds on a large box.
class ProgressReports {
  public:
    static constexpr int kReportsPerSecond = 30;

    ProgressReports(StatusSink* sink, BoxKind folder, int32_t count)
        : sink_(sink), folder_(folder), count_(count) {}

    // Record `index` (0-based) of the count has arrived.
    void received(int32_t index) {
        if (!sink_)
            return;
        const auto percent = static_cast<int>(int64_t{index} * 100 / count_);
        if (percent == shown_)
            return;
        const auto now = Clock::now();
        if (shown_ >= 0 && now - last_ < kInterval)
            return;
        shown_ = percent;
        last_ = now;
        sink_->report({EngineStatus::What::FolderProgress, folder_, percent, {}});
        sink_->set_progress(percent);
    }

  private:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kInterval = std::chrono::microseconds(1'000'000 / kReportsPerSecond);

    StatusSink* sink_;
    BoxKind folder_;
    int32_t count_;
    int shown_ = -1;
    Clock::time_point last_;
};

}  // namespace

// What one folder reply may still bring.
class SmartphoneSmsConnect::ReplyBudget {
  public:
    explicit ReplyBudget(uint64_t limit) : limit_(limit) {}
    // False when `bytes` more would pass the limit.
    bool take(uint64_t bytes) {
        if (bytes > limit_ - used_)
            return false;
        used_ += bytes;
        return true;
    }
    std::string limit_text() const {
        constexpr uint64_t kMiB = uint64_t{1} << 20;
        if (limit_ % (kMiB << 10) == 0)
            return std::to_string(limit_ >> 30) + " GiB";
        if (limit_ % kMiB == 0)
            return std::to_string(limit_ >> 20) + " MiB";
        return std::to_string(limit_) + " bytes";
    }

  private:
    uint64_t limit_;
    uint64_t used_ = 0;
};

void SmartphoneSmsConnect::send_command(const CommandBlock& block) {
    log("SPC::send_command()");
    send_piece(block.encode());
    log("SPC::send_command() end");
}

void SmartphoneSmsConnect::send_piece(std::span<const uint8_t> bytes) {
    // No connection left (an earlier exchange failed): the link is broken
    // until the sentinel sets it up again.
    if (send_data(bytes) < 0) {
        log("SPC: send_data socket error");
        throw ORX_Exception("send_data socket error");
    }
}

void SmartphoneSmsConnect::receive_piece(std::span<uint8_t> bytes) {
    if (receive_data(bytes) < 0)
        throw ORX_Exception("receive_data socket error");
}

int32_t SmartphoneSmsConnect::receive_int32() {
    std::array<uint8_t, 4> bytes{};
    receive_piece(bytes);
    return get_i32le(bytes, 0);
}

void SmartphoneSmsConnect::reject_reply(const std::string& text) {
    close_socket();
    log("SPC: " + text);
    throw ORX_Exception(text);
}

SmsWireRecord SmartphoneSmsConnect::receive_record(ReplyBudget* budget) {
    const auto size = static_cast<uint32_t>(receive_int32());
    if (const auto error = check_record_size(size)) {
        reject_reply(
            "receive_data: bad record from device: " + std::string(record_error_text(*error)) +
            " (size " + std::to_string(size) + ")");
    }
    // Checked before the record is allocated: the limit bounds what the
    // reply makes the desktop hold.
    if (budget && !budget->take(sizeof(int32_t) + size)) {
        reject_reply("receive_data: the device's reply passed " + budget->limit_text() +
                     "; the fetch was stopped");
    }
    // Checked above, so this never holds more than the largest record.
    record_bytes_.resize(size);
    receive_piece(record_bytes_);
    DecodedRecord decoded = decode_sms_record(record_bytes_);
    if (!decoded.record) {
        reject_reply("receive_data: bad record from device: " +
                     std::string(record_error_text(*decoded.error)));
    }
    return std::move(*decoded.record);
}

bool SmartphoneSmsConnect::send_sms(const SmsWireRecord& record) {
    connect();
    const WriteSmsRequest request = encode_write_sms(record);
    std::array<uint8_t, 1> reply{};
    {
        const ExchangeLock guard = lock_for_operation();
        log("SPC::send_command()");
        send_piece(request.block);
        log("SPC::send_command() end");
        send_piece(request.second_piece);
        receive_piece(reply);
    }
    if (reply[0] == kReplySent)
        return true;
    throw ORX_Exception(ORX_Exception::Kind::NotSent, from_ansi(text_field(record.address)));
}

bool SmartphoneSmsConnect::delete_on_device(BoxKind kind, const SmsWireRecord& record) {
    CommandCode code = CommandCode::DELINBOX;
    switch (kind) {
        case BoxKind::Inbox:
            code = CommandCode::DELINBOX;
            break;
        case BoxKind::SentItems:
            code = CommandCode::DELSENT;
            break;
        case BoxKind::DeletedItems:
            code = CommandCode::DELDELETED;
            break;
        default:
            return false;
    }
    connect();
    std::array<uint8_t, 1> reply{};
    {
        const ExchangeLock guard = lock_for_operation();
        send_command(block_with_head(code, record));
        receive_piece(reply);
    }
    return reply[0] == kReplySent;
}

int SmartphoneSmsConnect::fetch(CommandCode code, BoxKind folder,
                                std::vector<SmsWireRecord>& records, StatusSink* sink) {
    if (sink)
        sink->report({EngineStatus::What::FolderStarted, folder, 0, {}});
    const ProgressEnd progress_end(sink);
    connect();
    const ExchangeLock guard = lock_for_operation();
    send_command(CommandBlock::with_code(code));
    const int32_t count = receive_int32();
    if (count < 0 || count > kMaxFolderCount) {
        reject_reply("receive_data: bad message count from device (" + std::to_string(count) + ")");
    }
    ReplyBudget budget(settings_.folder_reply_limit);
    ProgressReports progress(sink, folder, count);
    for (int32_t i = 0; i < count; ++i) {
        records.push_back(receive_record(&budget));
        progress.received(i);
    }
    return count;
}

int SmartphoneSmsConnect::fetch_inbox(std::vector<SmsWireRecord>& records, StatusSink* sink) {
    return fetch(CommandCode::READINBOX, BoxKind::Inbox, records, sink);
}

int SmartphoneSmsConnect::fetch_sent(std::vector<SmsWireRecord>& records, StatusSink* sink) {
    return fetch(CommandCode::READSENT, BoxKind::SentItems, records, sink);
}

int SmartphoneSmsConnect::fetch_deleted(std::vector<SmsWireRecord>& records, StatusSink* sink) {
    return fetch(CommandCode::READDELETED, BoxKind::DeletedItems, records, sink);
}

int SmartphoneSmsConnect::fetch_folder(BoxKind kind, std::vector<SmsWireRecord>& records,
                                       StatusSink* sink) {
    switch (kind) {
        case BoxKind::Inbox:
            return fetch_inbox(records, sink);
        case BoxKind::SentItems:
            return fetch_sent(records, sink);
        case BoxKind::DeletedItems:
            return fetch_deleted(records, sink);
    }
    return -1;
}

int SmartphoneSmsConnect::fetch_contacts(std::vector<Contact>& contacts, StatusSink* sink) {
    connect();
    const ExchangeLock guard = lock_for_operation();
    send_command(CommandBlock::with_code(CommandCode::READALLCON));
    int appended = 0;
    for (;;) {
        std::array<uint8_t, kContactRecordSize> bytes{};
        receive_piece(bytes);
        const ContactWireRecord contact = ContactWireRecord::decode(bytes);
        // Only the end marker (64 zero bytes) ends the list: an entry with a
        // name and no number, or with both fields empty but bytes after them,
        // is still the agent's, and the rest of the list must be read.
        if (contact.is_end_marker())
            break;
        if (contact.is_blank())
            continue;
        if (appended >= kMaxContacts)
            reject_reply("receive_data: too many contacts from device");
        contacts.push_back(contact);
        if (sink) {
            sink->report({EngineStatus::What::ContactRetrieved, BoxKind::Inbox, appended,
                          from_ansi(text_field(contact.name))});
        }
        ++appended;
    }
    return appended;
}

}  // namespace quillet
