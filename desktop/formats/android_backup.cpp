#include "desktop/formats/android_backup.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "desktop/formats/xml_attribute.h"
#include "desktop/store/recipients.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

enum class SmsType : uint8_t { Received = 1, Sent = 2 };

// One <sms> element: a message and how it is written.
struct Entry {
    const SmsMessage* message;
    SmsType type;
};

void add_entries(std::vector<Entry>& entries, const SmsMessage& m, SmsType type) {
    entries.push_back({&m, type});
}

std::vector<Entry> sorted_entries(const BoxSet& boxes) {
    std::vector<Entry> entries;
    entries.reserve(boxes.inbox.count() + boxes.sent.count() +
                    (boxes.deleted ? boxes.deleted->count() : 0));
    for (const SmsMessage& m : boxes.inbox.messages())
        add_entries(entries, m, SmsType::Received);
    for (const SmsMessage& m : boxes.sent.messages())
        add_entries(entries, m, SmsType::Sent);
    if (boxes.deleted) {
        for (const SmsMessage& m : boxes.deleted->messages())
            add_entries(entries, m, SmsType::Received);
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.message->time() < b.message->time();
    });
    return entries;
}

void append_number(std::string& out, int64_t value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

int64_t unix_milliseconds(FileTime t) {
    constexpr int64_t kTicksPerMillisecond = 10'000;
    const int64_t ticks = static_cast<int64_t>(t - kUnixEpochTicks);
    // Rounded down, also before 1970.
    return ticks / kTicksPerMillisecond - (ticks % kTicksPerMillisecond < 0 ? 1 : 0);
}

// "Mar 4, 2026 9:05:00 PM" in local time, the same in every locale.
void append_readable_date(std::string& out, FileTime t) {
    static constexpr std::string_view kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::tm local = local_tm(t);
    const auto two = [&](int v) {
        out += static_cast<char>('0' + v / 10);
        out += static_cast<char>('0' + v % 10);
    };
    out += kMonths[std::clamp(local.tm_mon, 0, 11)];
    out += ' ';
    append_number(out, local.tm_mday);
    out += ", ";
    append_number(out, local.tm_year + 1900);
    out += ' ';
    const int hour12 = local.tm_hour % 12 == 0 ? 12 : local.tm_hour % 12;
    append_number(out, hour12);
    out += ':';
    two(local.tm_min);
    out += ':';
    two(local.tm_sec);
    out += local.tm_hour < 12 ? " AM" : " PM";
}

// Writes the elements into a buffer handed on in pieces of about 1 MiB.
class BackupWriter {
  public:
    BackupWriter(const ContactList& contacts, const ChunkWriter* sink)
        : contacts_(contacts), sink_(sink) {
        buffer_.reserve(kPiece + 64 * 1024);
    }

    bool write(const std::vector<Entry>& entries) {
        buffer_ += "<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n<smses count=\"";
        append_number(buffer_, static_cast<int64_t>(entries.size()));
        buffer_ += "\">\n";
        for (const Entry& e : entries) {
            append_element(e);
            if (buffer_.size() >= kPiece && !flush())
                return false;
        }
        buffer_ += "</smses>\n";
        return flush();
    }

    std::string& buffer() { return buffer_; }
    size_t replaced() const { return replaced_; }

  private:
    static constexpr size_t kPiece = 1024 * 1024;

    bool flush() {
        if (!sink_)
            return true;
        const bool ok =
            (*sink_)(std::span(reinterpret_cast<const uint8_t*>(buffer_.data()), buffer_.size()));
        buffer_.clear();
        return ok;
    }

    void append_element(const Entry& e) {
        const SmsMessage& m = *e.message;
        const std::vector<std::string_view> recipients = recipients_of(m.number());
        buffer_ += "  <sms protocol=\"0\" address=\"";
        // Several recipients in one element, "~"-joined, as the phones'
        // backup apps write a group message and read it back.
        for (size_t i = 0; i < recipients.size(); ++i) {
            if (i > 0)
                buffer_ += '~';
            replaced_ += append_xml_attribute(buffer_, from_ansi(recipients[i]));
        }
        buffer_ += "\" date=\"";
        append_number(buffer_, unix_milliseconds(m.time()));
        buffer_ += "\" type=\"";
        buffer_ += e.type == SmsType::Sent ? '2' : '1';
        buffer_ += "\" subject=\"null\" body=\"";
        replaced_ += append_xml_attribute(buffer_, m.text_view());
        buffer_ += "\" toa=\"null\" sc_toa=\"null\" service_center=\"null\" read=\"";
        buffer_ += e.type == SmsType::Sent || m.read() != 0 ? '1' : '0';
        buffer_ += "\" status=\"-1\" locked=\"0\" date_sent=\"0\" readable_date=\"";
        append_readable_date(buffer_, m.time());
        buffer_ += "\" contact_name=\"";
        if (recipients.size() == 1) {
            buffer_ += contact_name(recipients[0]);
        } else {
            // A group: each member's name, or number, ", "-joined.
            for (size_t i = 0; i < recipients.size(); ++i) {
                const std::string& name = contact_name(recipients[i]);
                buffer_ += i > 0 ? ", " : "";
                if (name == "(Unknown)")
                    replaced_ += append_xml_attribute(buffer_, from_ansi(recipients[i]));
                else
                    buffer_ += name;
            }
        }
        buffer_ += "\" />\n";
    }

    // The escaped name, looked up once per number.
    const std::string& contact_name(std::string_view address) {
        auto found = names_.find(std::string(address));
        if (found != names_.end())
            return found->second;
        const std::optional<std::u16string> name = contacts_.name_for_number(address);
        std::string escaped;
        if (!name || name->empty()) {
            escaped = "(Unknown)";
        } else {
            replaced_ += append_xml_attribute(escaped, *name);
        }
        return names_.emplace(std::string(address), std::move(escaped)).first->second;
    }

    const ContactList& contacts_;
    const ChunkWriter* sink_;
    std::string buffer_;
    size_t replaced_ = 0;
    std::unordered_map<std::string, std::string> names_;
};

}  // namespace

std::string android_backup_bytes(const BoxSet& boxes, const ContactList& contacts,
                                 AndroidBackupCounts* counts) {
    const std::vector<Entry> entries = sorted_entries(boxes);
    BackupWriter writer(contacts, nullptr);
    writer.write(entries);
    if (counts)
        *counts = {entries.size(), writer.replaced()};
    return std::move(writer.buffer());
}

AndroidBackupReport export_android_backup(const std::filesystem::path& path, const BoxSet& boxes,
                                          const ContactList& contacts) {
    const std::vector<Entry> entries = sorted_entries(boxes);
    AndroidBackupReport result;
    result.outcome = save_file_atomically(path, [&](const ChunkWriter& sink) {
        BackupWriter writer(contacts, &sink);
        const bool ok = writer.write(entries);
        result.counts = {entries.size(), writer.replaced()};
        return ok;
    });
    return result;
}

}  // namespace quillet
