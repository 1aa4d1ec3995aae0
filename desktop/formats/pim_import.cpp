#include "desktop/formats/pim_import.h"

#include <zip.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "desktop/formats/import_text.h"
#include "desktop/formats/smsie_import.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

using Archive = std::unique_ptr<zip_t, decltype(&zip_discard)>;
using Fields = std::vector<std::u16string>;

// "msgs_…​.csm", in any folder of the ZIP, in any case.
bool is_messages_entry(std::string_view name) {
    name.remove_prefix(
        name.find_last_of('/') == std::string_view::npos ? 0 : name.find_last_of('/') + 1);
    return name.size() > 9 && import::equal_nocase(name.substr(0, 5), "msgs_") &&
           import::equal_nocase(name.substr(name.size() - 4), ".csm");
}

std::vector<zip_uint64_t> messages_entries(zip_t* archive) {
    std::vector<zip_uint64_t> found;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), 0);
        if (name != nullptr && is_messages_entry(name))
            found.push_back(static_cast<zip_uint64_t>(i));
    }
    return found;
}

// Splits UTF-16 bytes (little-endian unless a byte-order mark says
// otherwise) into lines of fields: ";" between fields, a field may be
// quoted, a backslash escapes the next character in or out of quotes, a
// line break inside quotes belongs to the field.
class CsmLexer {
  public:
    // `line` gets each line's fields and its number (from 1); a line longer
    // than kMaxPimLineUnits comes as no fields.
    explicit CsmLexer(std::function<void(Fields&, uint64_t)> line) : line_(std::move(line)) {}

    void feed(std::string_view bytes) {
        for (const char byte : bytes) {
            if (!odd_) {
                first_ = static_cast<uint8_t>(byte);
                odd_ = true;
                continue;
            }
            odd_ = false;
            const auto second = static_cast<uint8_t>(byte);
            if (units_ == 0 &&
                ((first_ == 0xFE && second == 0xFF) || (first_ == 0xFF && second == 0xFE))) {
                big_endian_ = first_ == 0xFE;
                ++units_;
                continue;
            }
            ++units_;
            unit(static_cast<char16_t>(big_endian_ ? (first_ << 8) | second
                                                   : (second << 8) | first_));
        }
    }
    // The last line, which may lack its line break; false when it was cut
    // off inside quotes or after a backslash.
    bool finish() {
        const bool whole = !quoted_ && !escaped_;
        if (!fields_.empty() || !field_.empty() || quoted_ || too_long_)
            end_line();
        return whole;
    }
    uint64_t line_number() const { return line_number_; }

  private:
    void unit(char16_t c) {
        if (++length_ > kMaxPimLineUnits && !too_long_) {
            too_long_ = true;
            fields_.clear();
            field_.clear();
        }
        if (escaped_) {
            escaped_ = false;
            // An escape the file does not define keeps its backslash:
            // Windows Mobile's folder names begin with one ("\%MDF1").
            if (c == u'n')
                add(u'\n');
            else if (c == u'r')
                add(u'\r');
            else if (c == u't')
                add(u'\t');
            else if (c == u'\\' || c == u'"' || c == u';')
                add(c);
            else if (c != u'\n') {
                add(u'\\');
                add(c);
            }
        } else if (c == u'\\') {
            escaped_ = true;
        } else if (quoted_ && c == u'"') {
            quoted_ = false;
        } else if (quoted_) {
            add(c);
        } else if (c == u'"' && field_.empty()) {
            quoted_ = true;
        } else if (c == u';') {
            end_field();
        } else if (c == u'\n') {
            end_line();
        } else if (c != u'\r') {
            add(c);
        }
    }
    void add(char16_t c) {
        if (!too_long_)
            field_ += c;
    }
    void end_field() {
        if (!too_long_)
            fields_.push_back(std::move(field_));
        field_.clear();
    }
    void end_line() {
        end_field();
        ++line_number_;
        if (too_long_)
            fields_.clear();
        line_(fields_, line_number_);
        fields_.clear();
        length_ = 0;
        too_long_ = false;
        quoted_ = false;
        escaped_ = false;
    }

    std::function<void(Fields&, uint64_t)> line_;
    Fields fields_;
    std::u16string field_;
    uint64_t units_ = 0;
    uint64_t line_number_ = 0;
    size_t length_ = 0;
    uint8_t first_ = 0;
    bool odd_ = false;
    bool big_endian_ = false;
    bool quoted_ = false;
    bool escaped_ = false;
    bool too_long_ = false;
};

// "YYYY,MM,DD,hh,mm,ss": milliseconds as if UTC.
std::optional<int64_t> parse_time(const std::string& text) {
    int64_t part[6] = {};
    size_t at = 0;
    for (int i = 0; i < 6; ++i) {
        const size_t comma = text.find(',', at);
        if (comma == std::string::npos && i < 5)
            return std::nullopt;
        const auto value = import::parse_int(import::trim(text.substr(at, comma - at)));
        if (!value)
            return std::nullopt;
        part[i] = *value;
        at = comma == std::string::npos ? text.size() : comma + 1;
    }
    return import::wall_clock_ms(part[0], part[1], part[2], part[3], part[4], part[5]);
}

// The message's flags as a number: decimal, or hex with "0x".
std::optional<int64_t> parse_flags(std::string text) {
    text = std::string(import::trim(text));
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        try {
            return std::stoll(text.substr(2), nullptr, 16);
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }
    return import::parse_int(text);
}

// "\%MDF1" and the like, whatever backslashes the writer put before it.
std::string folder_key(const std::string& folder) {
    std::string key(import::trim(folder));
    while (!key.empty() && key.front() == '\\')
        key.erase(0, 1);
    for (char& c : key)
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
    return key;
}

constexpr uint32_t kMessageRead = 0x1;  // MSGFLAG_READ of the message flags

class PimReader {
  public:
    explicit PimReader(ImportSink& sink) : sink_(sink) {}
    // One line of an entry; the first is its header.
    void line(Fields& fields);
    void next_entry() { columns_.clear(); }
    bool had_header() const { return any_header_; }
    uint64_t replaced() const { return replaced_; }

  private:
    std::optional<size_t> index_of(const Fields& fields, std::string_view column) const;
    std::string field(const Fields& fields, std::string_view column) const;
    std::string recipients(const Fields& fields) const;

    ImportSink& sink_;
    std::unordered_map<std::string, size_t> columns_;
    size_t header_size_ = 0;
    bool any_header_ = false;
    uint64_t replaced_ = 0;
};

std::optional<size_t> PimReader::index_of(const Fields& fields, std::string_view column) const {
    const auto it = columns_.find(std::string(column));
    if (it == columns_.end())
        return std::nullopt;
    size_t index = it->second;
    // Recipients may take more fields than its one column: the columns
    // after it count from the end of the line.
    const auto recipients = columns_.find("Recipients");
    if (recipients != columns_.end() && index > recipients->second && fields.size() > header_size_)
        index += fields.size() - header_size_;
    if (index >= fields.size())
        return std::nullopt;
    return index;
}

std::string PimReader::field(const Fields& fields, std::string_view column) const {
    const std::optional<size_t> index = index_of(fields, column);
    return index ? to_utf8(fields[*index]) : std::string();
}

// The recipients' numbers joined by ";": each recipient has the same
// number of sub-fields, the third its number.
std::string PimReader::recipients(const Fields& fields) const {
    const auto at = columns_.find("Recipients");
    if (at == columns_.end() || at->second >= fields.size())
        return {};
    const size_t extra = fields.size() > header_size_ ? fields.size() - header_size_ : 0;
    std::vector<std::string> parts;
    for (size_t i = at->second; i <= at->second + extra && i < fields.size(); ++i) {
        const std::string value = to_utf8(fields[i]);
        for (size_t start = 0;;) {
            const size_t semicolon = value.find(';', start);
            parts.emplace_back(import::trim(value.substr(start, semicolon - start)));
            if (semicolon == std::string::npos)
                break;
            start = semicolon + 1;
        }
    }
    const auto count = import::parse_int(import::trim(field(fields, "Recipient Nbr")));
    const size_t n = count && *count > 0 ? static_cast<size_t>(*count) : 1;
    const size_t each = parts.size() / n;
    std::string joined;
    for (size_t r = 0; each >= 3 && r < n; ++r) {
        const std::string& number = parts[r * each + 2];
        if (number.empty())
            continue;
        joined += (joined.empty() ? "" : ";") + number;
    }
    return joined;
}

void PimReader::line(Fields& fields) {
    if (fields.empty()) {
        sink_.skipped("a line longer than 1,048,576 characters");
        return;
    }
    if (fields.size() == 1 && fields[0].empty())
        return;  // a blank line
    if (columns_.empty()) {
        for (size_t i = 0; i < fields.size(); ++i)
            columns_.emplace(std::string(import::trim(to_utf8(fields[i]))), i);
        header_size_ = fields.size();
        if (!columns_.contains("Msg Class") || !columns_.contains("Folder")) {
            columns_.clear();
            sink_.skipped("a messages list without its header line");
        } else {
            any_header_ = true;
        }
        return;
    }
    const std::string kind(import::trim(field(fields, "Msg Class")));
    if (!import::equal_nocase(kind.substr(0, 11), "IPM.SMStext")) {
        sink_.skipped(import::equal_nocase(kind.substr(0, 8), "IPM.Note") || kind.empty()
                          ? "an e-mail"
                          : "a message of a kind other than a text (" +
                                import::without_controls(kind.substr(0, 40)) + ")");
        return;
    }
    const std::string folder = folder_key(field(fields, "Folder"));
    if (folder != "%MDF1" && folder != "%MDF3") {
        sink_.skipped("a text message in a folder other than the Inbox and Sent Items");
        return;
    }
    ImportedMessage m;
    m.received = folder == "%MDF1";
    m.zoneless = true;
    std::optional<int64_t> ms = parse_time(field(fields, "Delivery Time"));
    if (!ms)
        ms = parse_time(field(fields, "Modify Time"));
    if (!ms) {
        sink_.skipped("a text message without a readable time");
        return;
    }
    if (const auto why = import::time_out_of_range(*ms)) {
        sink_.skipped("a text message with " + std::string(*why));
        return;
    }
    m.time_ms = *ms;
    m.address = import::trim(m.received ? field(fields, "Sender Address") : recipients(fields));
    if (m.address.empty() && m.received)
        m.address = import::trim(field(fields, "Sender Name"));
    if (m.address.empty()) {
        sink_.skipped(m.received ? "a received text message without a sender"
                                 : "a sent text message without a recipient");
        return;
    }
    // The text is the subject; some writers leave it empty and use the body.
    for (const char* column : {"Subject", "Body"}) {
        if (const auto index = index_of(fields, column); index && m.text.empty())
            m.text = std::move(fields[*index]);
    }
    import::mend_text(m.text, replaced_);
    const auto flags = parse_flags(field(fields, "Msg Flags"));
    m.read = !m.received || !flags || (*flags & kMessageRead) != 0;
    sink_.message(std::move(m));
}

}  // namespace

bool is_pim_backup(const std::filesystem::path& path) {
    Outcome why;
    Archive archive(open_zip(path, why), &zip_discard);
    return archive && !messages_entries(archive.get()).empty();
}

ReadReport read_pim_backup(const std::filesystem::path& path, ImportSink& sink) {
    Outcome unopened;
    Archive archive(open_zip(path, unopened), &zip_discard);
    if (!archive)
        return {.outcome = unopened};
    const std::vector<zip_uint64_t> entries = messages_entries(archive.get());
    if (entries.empty())
        return {.outcome = Outcome::bad_input("a ZIP without msgs_*.csm: not a PIM Backup file")};
    std::vector<uint64_t> sizes;
    uint64_t total = 0;
    for (const zip_uint64_t index : entries) {
        uint64_t size = 0;
        if (const auto why = zip_entry_refused(archive.get(), index, size))
            return {.outcome = Outcome::bad_input("the messages list is refused: " + *why)};
        sizes.push_back(size);
        total += size;
    }

    ReadReport report;
    PimReader reader(sink);
    uint64_t done = 0;
    bool cancelled = false;
    for (size_t e = 0; e < entries.size() && !cancelled; ++e) {
        reader.next_entry();
        CsmLexer lexer([&](Fields& fields, uint64_t) { reader.line(fields); });
        const bool read =
            read_zip_entry(archive.get(), entries[e], sizes[e], [&](std::string_view piece) {
                done += piece.size();
                if (!sink.progress(done, total)) {
                    cancelled = true;
                    return false;
                }
                lexer.feed(piece);
                return true;
            });
        if (cancelled)
            break;
        const char* name = zip_get_name(archive.get(), entries[e], 0);
        if (!read) {
            report.damage = std::string(name ? name : "the messages list") +
                            " could not be read to its end (the ZIP is damaged after line " +
                            std::to_string(lexer.line_number()) + ")";
        }
        if (!lexer.finish()) {
            report.damage = "the file is damaged at line " + std::to_string(lexer.line_number()) +
                            ": a quoted field never ends";
        }
    }
    if (cancelled)
        return {.outcome = Outcome::cancelled()};
    if (!reader.had_header())
        return {.outcome = Outcome::bad_input(
                    "the PIM Backup's messages list has no header line naming its columns")};
    report.replaced = reader.replaced();
    return report;
}

}  // namespace quillet
