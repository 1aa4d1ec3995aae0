#include "desktop/formats/mail_import.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "desktop/formats/import_text.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

constexpr size_t kReadPiece = 64 * 1024;
// Above this a date is in milliseconds (1973 in ms, year 5138 in seconds).
constexpr int64_t kMillisecondsFrom = 100'000'000'000;

bool starts_nocase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && import::lowered(text.substr(0, prefix.size())) == prefix;
}

// One quoted-printable line decoded onto `out`; true when it ends in a
// soft line break ("=" at its end), which joins it to the next.
bool decode_qp_line(std::string_view line, std::string& out) {
    // Trailing blanks are not the text's (RFC 2045); leading ones are.
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '=') {
            out += line[i];
            continue;
        }
        if (i + 1 == line.size())
            return true;
        const int hi = i + 2 < line.size() ? import::hex_digit(line[i + 1]) : -1;
        const int lo = i + 2 < line.size() ? import::hex_digit(line[i + 2]) : -1;
        if (hi < 0 || lo < 0) {
            out += '=';  // not an escape: kept as written
            continue;
        }
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return false;
}

// "%E2%82%AC" decoded (RFC 2231 values).
std::string percent_decoded(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const int hi = text[i] == '%' && i + 2 < text.size() ? import::hex_digit(text[i + 1]) : -1;
        const int lo = hi >= 0 ? import::hex_digit(text[i + 2]) : -1;
        if (lo >= 0) {
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Latin-1 bytes as UTF-8.
std::string utf8_from_latin1(std::string_view bytes) {
    std::string out;
    for (const char c : bytes)
        import::append_utf8(out, static_cast<uint8_t>(c));
    return out;
}

bool is_latin1(std::string_view charset) {
    const std::string c = import::lowered(charset);
    return c == "iso-8859-1" || c == "latin1" || c == "iso8859-1" || c == "windows-1252" ||
           c == "cp1252";
}

// A Content-Type or Content-Disposition: its value and its parameters,
// names lowered, RFC 2231 continuations ("name*0*=", "name*1*=") and
// charsets ("UTF-8''%E2%82%AC.jpg") resolved.
struct HeaderValue {
    std::string value;
    std::map<std::string, std::string> params;
};

HeaderValue parse_header_value(std::string_view text) {
    HeaderValue out;
    size_t i = text.find(';');
    out.value = import::lowered(import::trim(text.substr(0, i)));
    // name -> pieces by their number; whether each was *-encoded
    std::map<std::string, std::map<int, std::pair<std::string, bool>>> pieces;
    while (i != std::string_view::npos && i < text.size()) {
        ++i;
        const size_t eq = text.find('=', i);
        if (eq == std::string_view::npos)
            break;
        std::string name = import::lowered(import::trim(text.substr(i, eq - i)));
        size_t j = eq + 1;
        while (j < text.size() && (text[j] == ' ' || text[j] == '\t'))
            ++j;
        std::string value;
        if (j < text.size() && text[j] == '"') {
            for (++j; j < text.size() && text[j] != '"'; ++j) {
                if (text[j] == '\\' && j + 1 < text.size())
                    ++j;
                value += text[j];
            }
            i = text.find(';', j);
        } else {
            i = text.find(';', j);
            value =
                std::string(import::trim(text.substr(j, i == std::string_view::npos ? i : i - j)));
        }
        const bool encoded = name.ends_with('*');
        if (encoded)
            name.pop_back();
        int number = 0;
        if (const size_t star = name.find('*'); star != std::string::npos) {
            number = static_cast<int>(import::parse_int(name.substr(star + 1)).value_or(0));
            name.erase(star);
        }
        pieces[name][number] = {std::move(value), encoded};
    }
    for (auto& [name, parts] : pieces) {
        std::string joined;
        std::string charset;
        for (auto& [number, part] : parts) {
            auto& [value, encoded] = part;
            if (encoded && number == 0) {
                // charset'language'value
                const size_t q1 = value.find('\'');
                const size_t q2 = q1 == std::string::npos ? q1 : value.find('\'', q1 + 1);
                if (q2 != std::string::npos) {
                    charset = value.substr(0, q1);
                    value.erase(0, q2 + 1);
                }
            }
            joined += encoded ? percent_decoded(value) : value;
        }
        out.params[name] = is_latin1(charset) ? utf8_from_latin1(joined) : joined;
    }
    return out;
}

// A mail's header fields, unfolded, names lowered; repeated ones joined.
class Header {
  public:
    // A line of the header; false when the header grew past its bound.
    bool line(std::string_view line) {
        if ((line.starts_with(' ') || line.starts_with('\t')) && !fields_.empty()) {
            fields_.back().second += ' ';
            fields_.back().second += import::trim(line);
        } else if (const size_t colon = line.find(':'); colon != std::string_view::npos) {
            fields_.emplace_back(import::lowered(import::trim(line.substr(0, colon))),
                                 std::string(import::trim(line.substr(colon + 1))));
        }
        size_ += line.size();
        return size_ <= kMaxMailTextBytes;
    }
    std::string get(std::string_view name) const {
        std::string value;
        for (const auto& [n, v] : fields_) {
            if (n == name)
                value += (value.empty() ? "" : ", ") + v;
        }
        return value;
    }
    void clear() {
        fields_.clear();
        size_ = 0;
    }

  private:
    std::vector<std::pair<std::string, std::string>> fields_;
    size_t size_ = 0;
};

// The numbers of "+491701234567@unknown.email" addresses in a To: or
// From: line, which is how SMS Backup+ writes a person without a mail
// address.
std::vector<std::string> unknown_email_numbers(std::string_view line) {
    std::vector<std::string> numbers;
    const std::string low = import::lowered(line);
    for (size_t at = low.find("@unknown.email"); at != std::string::npos;
         at = low.find("@unknown.email", at + 1)) {
        size_t start = at;
        while (start > 0 &&
               std::string_view("<, \t\"").find(line[start - 1]) == std::string_view::npos)
            --start;
        if (start < at)
            numbers.emplace_back(line.substr(start, at - start));
    }
    return numbers;
}

std::string digits_key(std::string_view number) {
    std::string digits;
    for (const char c : number) {
        if (c >= '0' && c <= '9')
            digits += c;
    }
    return digits.size() > 9 ? digits.substr(digits.size() - 9) : digits;
}

// One leaf part of a mail as it streams by.
struct Leaf {
    enum class Kind { Text, Attachment, Ignored } kind = Kind::Ignored;
    std::string encoding;  // "base64", "quoted-printable", else as is
    std::string charset;
    std::string content_type;
    std::string bytes;  // a text part's, still encoded
    bool first_line = true;
    bool attachment_open = false;
    bool failed = false;
    std::string saved_name;
    import::Base64Decoder base64;
};

// The state of one mail: its header, then its body split into parts at
// the boundaries of every multipart around it.
class MailReader {
  public:
    MailReader(ImportSink& sink, AttachmentSink& attachments)
        : sink_(sink), attachments_(attachments) {}

    void line(std::string_view line);
    // A line was longer than kMaxMailLineBytes: the mail is skipped.
    void too_long() {
        if (mail_.leaf.attachment_open)
            attachments_.end(false);
        mail_.leaf = Leaf();
        skip("a mail with a line longer than 1 MB");
    }
    void end_mail();
    uint64_t replaced() const { return replaced_; }

  private:
    enum class State { MailHeader, PartHeader, Leaf, Between, Skip };

    void mail_header_done();
    void part_header_done(const Header& header);
    void leaf_line(std::string_view line);
    void end_leaf();
    std::optional<std::string> boundary_met(std::string_view line);
    // The mail is not taken; the first reason found is the one given.
    void skip(std::string why) {
        if (!mail_.skip)
            mail_.skip = std::move(why);
        mail_.state = State::Skip;
    }

    ImportSink& sink_;
    AttachmentSink& attachments_;
    // What one mail has shown so far.
    struct Mail {
        State state = State::MailHeader;
        Header header;
        Header part_header;
        std::vector<std::string> boundaries;
        Leaf leaf;
        std::optional<std::string> skip;
        ImportedMessage message;
        bool mms = false;
        std::string texts;
    } mail_;
    uint64_t replaced_ = 0;
};

void MailReader::line(std::string_view line) {
    switch (mail_.state) {
        case State::Skip:
            return;
        case State::MailHeader:
            if (!line.empty()) {
                if (!mail_.header.line(line))
                    skip("a mail whose header is over 8 MB");
                return;
            }
            mail_header_done();
            return;
        case State::PartHeader:
            if (!line.empty()) {
                if (!mail_.part_header.line(line))
                    skip("a mail part whose header is over 8 MB");
                return;
            }
            part_header_done(mail_.part_header);
            mail_.part_header.clear();
            return;
        case State::Leaf:
        case State::Between:
            if (const std::optional<std::string> closing = boundary_met(line)) {
                if (mail_.state == State::Leaf)
                    end_leaf();
                mail_.state = closing->empty() ? State::PartHeader : State::Between;
                return;
            }
            if (mail_.state == State::Leaf)
                leaf_line(line);
            return;
    }
}

// "--b" opens a part of the multipart with boundary b (gives ""); "--b--"
// closes that multipart (gives b) and any inside it. Nothing: no boundary.
std::optional<std::string> MailReader::boundary_met(std::string_view line) {
    if (!line.starts_with("--") || mail_.boundaries.empty())
        return std::nullopt;
    const std::string_view rest = import::trim(line.substr(2));
    for (size_t i = mail_.boundaries.size(); i-- > 0;) {
        const std::string& b = mail_.boundaries[i];
        if (rest == b) {
            mail_.boundaries.resize(i + 1);
            return std::string();
        }
        if (rest.size() == b.size() + 2 && rest.starts_with(b) && rest.ends_with("--")) {
            std::string closed = b;
            mail_.boundaries.resize(i);
            return closed;
        }
    }
    return std::nullopt;
}

void MailReader::mail_header_done() {
    const std::string type = import::lowered(import::trim(mail_.header.get("x-smssync-datatype")));
    if (type.empty()) {
        mail_.skip = "a mail that SMS Backup+ did not write (no X-smssync-datatype)";
    } else if (type == "calllog") {
        mail_.skip = "a call log entry, not a message";
    } else if (type != "sms" && type != "mms") {
        mail_.skip = "a mail of SMS Backup+ that is not a message (" +
                     import::without_controls(type.substr(0, 20)) + ")";
    }
    if (mail_.skip) {
        mail_.state = State::Skip;
        return;
    }
    mail_.mms = type == "mms";
    const std::string kind = mail_.mms ? "an MMS" : "an SMS";
    const std::string direction = std::string(import::trim(mail_.header.get("x-smssync-type")));
    // An SMS: 1 received, 2 sent; an MMS: Android's m_type (132 received,
    // 128 sent), or its box as some versions write it.
    if (direction == "1" || (mail_.mms && direction == "132")) {
        mail_.message.received = true;
    } else if (direction == "2" || (mail_.mms && direction == "128")) {
        mail_.message.received = false;
    } else {
        skip(direction == "3" ? "a draft" : kind + " that is neither received nor sent");
        return;
    }
    // Milliseconds for SMS, seconds for MMS, as the format says; some
    // versions wrote milliseconds for both: the value tells.
    const std::optional<int64_t> date =
        import::parse_int(import::trim(mail_.header.get("x-smssync-date")));
    if (!date) {
        skip(kind + " without a readable date");
        return;
    }
    const int64_t ms =
        *date >= kMillisecondsFrom || *date <= -kMillisecondsFrom ? *date : *date * 1000;
    if (const auto why = import::time_out_of_range(ms)) {
        skip(kind + " with " + std::string(*why));
        return;
    }
    mail_.message.time_ms = ms;
    mail_.message.read =
        !mail_.message.received || import::trim(mail_.header.get("x-smssync-read")) != "0";

    // The correspondents: the phone's number, then for an MMS the others
    // that To: and From: name by number.
    std::vector<std::string> addresses;
    std::vector<std::string> keys;
    const auto add = [&](std::string_view address) {
        address = import::trim(address);
        const std::string key =
            digits_key(address).empty() ? std::string(address) : digits_key(address);
        if (!address.empty() && std::find(keys.begin(), keys.end(), key) == keys.end()) {
            keys.push_back(key);
            addresses.emplace_back(address);
        }
    };
    const std::string raw = mail_.header.get("x-smssync-address");
    for (size_t start = 0;;) {
        const size_t tilde = raw.find('~', start);
        add(std::string_view(raw).substr(start, tilde - start));
        if (tilde == std::string::npos)
            break;
        start = tilde + 1;
    }
    if (mail_.mms) {
        for (const char* field : {"to", "from", "cc"}) {
            for (const std::string& number : unknown_email_numbers(mail_.header.get(field)))
                add(number);
        }
    }
    for (const std::string& a : addresses)
        mail_.message.address += (mail_.message.address.empty() ? "" : ";") + a;
    if (mail_.message.address.empty()) {
        skip(kind + " without the number it was exchanged with");
        return;
    }
    part_header_done(mail_.header);
}

void MailReader::part_header_done(const Header& header) {
    const HeaderValue type = parse_header_value(header.get("content-type"));
    if (type.value.starts_with("multipart/")) {
        const auto boundary = type.params.find("boundary");
        if (boundary == type.params.end() || boundary->second.empty()) {
            mail_.state = State::Between;  // nothing in it can be told apart
            return;
        }
        mail_.boundaries.push_back(boundary->second);
        mail_.state = State::Between;
        return;
    }
    mail_.leaf = Leaf();
    mail_.leaf.content_type = type.value.empty() ? "text/plain" : type.value;
    mail_.leaf.encoding = import::lowered(import::trim(header.get("content-transfer-encoding")));
    mail_.leaf.charset = type.params.contains("charset") ? type.params.at("charset") : "utf-8";
    const HeaderValue disposition = parse_header_value(header.get("content-disposition"));
    std::string name = disposition.params.contains("filename") ? disposition.params.at("filename")
                       : type.params.contains("name")          ? type.params.at("name")
                                                               : std::string();
    mail_.state = State::Leaf;
    if (mail_.leaf.content_type == "application/smil")
        return;  // the layout of an MMS's slides, not its content
    if (mail_.leaf.content_type == "text/plain" && name.empty() &&
        disposition.value != "attachment") {
        mail_.leaf.kind = Leaf::Kind::Text;
        return;
    }
    if (!mail_.mms)
        return;  // an SMS has only its text
    if (name.empty())
        name = "attachment";
    const std::optional<std::string> saved = attachments_.begin(name);
    if (!saved) {
        sink_.skipped("an attachment that could not be saved");
        return;
    }
    mail_.leaf.kind = Leaf::Kind::Attachment;
    mail_.leaf.attachment_open = true;
    mail_.leaf.saved_name = *saved;
}

void MailReader::leaf_line(std::string_view line) {
    if (mail_.leaf.kind == Leaf::Kind::Ignored)
        return;
    if (mail_.leaf.kind == Leaf::Kind::Text) {
        if (mail_.leaf.bytes.size() + line.size() + 1 > kMaxMailTextBytes) {
            mail_.leaf.kind = Leaf::Kind::Ignored;
            skip("a message whose text is over 8 MB");
            return;
        }
        mail_.leaf.bytes.append(line);
        mail_.leaf.bytes += '\n';
        return;
    }
    std::string bytes;
    if (mail_.leaf.encoding == "base64") {
        mail_.leaf.base64.feed(line, bytes);
    } else if (mail_.leaf.encoding == "quoted-printable") {
        if (!decode_qp_line(line, bytes))
            bytes += "\r\n";
    } else {
        // The line break before a boundary is the boundary's: each line's
        // break is written before the next line.
        if (!mail_.leaf.first_line)
            bytes += "\r\n";
        bytes.append(line);
    }
    mail_.leaf.first_line = false;
    if (!bytes.empty() && !attachments_.write(bytes))
        mail_.leaf.failed = true;
}

void MailReader::end_leaf() {
    if (mail_.leaf.kind == Leaf::Kind::Text) {
        std::string decoded;
        if (mail_.leaf.encoding == "base64") {
            mail_.leaf.base64.feed(mail_.leaf.bytes, decoded);
        } else if (mail_.leaf.encoding == "quoted-printable") {
            size_t start = 0;
            while (start < mail_.leaf.bytes.size()) {
                const size_t nl = mail_.leaf.bytes.find('\n', start);
                if (!decode_qp_line(std::string_view(mail_.leaf.bytes).substr(start, nl - start),
                                    decoded))
                    decoded += '\n';
                start = nl + 1;
            }
        } else {
            decoded = std::move(mail_.leaf.bytes);
        }
        while (!decoded.empty() && (decoded.back() == '\n' || decoded.back() == '\r'))
            decoded.pop_back();
        if (is_latin1(mail_.leaf.charset))
            decoded = utf8_from_latin1(decoded);
        if (!mail_.texts.empty() && !decoded.empty())
            mail_.texts += '\n';
        mail_.texts += decoded;
    } else if (mail_.leaf.attachment_open) {
        mail_.leaf.attachment_open = false;
        if (!attachments_.end(!mail_.leaf.failed) || mail_.leaf.failed) {
            sink_.skipped("an attachment that could not be saved");
        } else {
            mail_.message.attachments.push_back(
                {std::string(import::attachment_kind(mail_.leaf.content_type)),
                 mail_.leaf.saved_name});
        }
    }
    mail_.leaf = Leaf();
}

void MailReader::end_mail() {
    if (mail_.state == State::Leaf)
        end_leaf();
    if (mail_.leaf.attachment_open)
        attachments_.end(false);
    if (mail_.state == State::MailHeader && !mail_.skip)
        mail_.skip = "a mail without a body";
    if (mail_.skip) {
        sink_.skipped(*mail_.skip);
    } else if (mail_.mms && mail_.texts.empty() && mail_.message.attachments.empty()) {
        sink_.skipped("an MMS without any part");
    } else {
        mail_.message.text = import::utf16_from_utf8(mail_.texts, replaced_);
        // Android writes line breaks as LF; a mail carries them as CR LF.
        std::erase(mail_.message.text, u'\r');
        for (const ImportedAttachment& a : mail_.message.attachments)
            import::append_attachment_line(mail_.message.text, a, replaced_);
        sink_.message(std::move(mail_.message));
    }
    mail_ = Mail();
}

// Splits a file into lines of at most kMaxMailLineBytes, with or without CR
// LF, telling the lines of an mbox's mails apart at "From " lines.
class MailFile {
  public:
    MailFile(MailReader& reader, bool mbox) : reader_(reader), mbox_(mbox) {}

    void feed(std::string_view piece) {
        while (!piece.empty()) {
            const size_t nl = piece.find('\n');
            const std::string_view part = piece.substr(0, nl);
            if (line_.size() + part.size() > kMaxMailLineBytes)
                cut_ = true;
            else if (!cut_)
                line_.append(part);
            if (nl == std::string_view::npos)
                return;
            piece.remove_prefix(nl + 1);
            take_line();
        }
    }
    void finish() {
        if (!line_.empty() || cut_)
            take_line();
        if (in_mail_)
            reader_.end_mail();
    }

  private:
    void take_line() {
        if (!line_.empty() && line_.back() == '\r')
            line_.pop_back();
        std::string_view line = line_;
        if (mbox_ && line.starts_with("From ")) {
            if (in_mail_)
                reader_.end_mail();
            in_mail_ = true;
        } else if (cut_) {
            in_mail_ = true;
            reader_.too_long();
        } else {
            // ">From " (and ">>From ") in a body: one ">" was added.
            if (mbox_ && line.starts_with('>') && line.find_first_not_of('>') != line.npos &&
                line.substr(line.find_first_not_of('>')).starts_with("From "))
                line.remove_prefix(1);
            if (in_mail_ || !mbox_) {
                in_mail_ = true;
                reader_.line(line);
            }
        }
        line_.clear();
        cut_ = false;
    }

    MailReader& reader_;
    const bool mbox_;
    std::string line_;
    bool cut_ = false;
    bool in_mail_ = false;
};

// Reads one file through `file`, telling the sink how far `done` is of
// `total`; false when the user cancelled. `why` gets a reading failure.
bool read_file(const fs::path& path, MailFile& file, ImportSink& sink, uint64_t& done,
               uint64_t total, Outcome& why) {
    const UniqueFd fd = open_regular_file(path, why);
    if (!fd.valid())
        return true;
    std::string buffer(kReadPiece, '\0');
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            why = Outcome::unreadable("the file cannot be read: " +
                                      std::string(std::strerror(errno)));
            return true;
        }
        if (n == 0)
            break;
        done += static_cast<uint64_t>(n);
        if (!sink.progress(done, total))
            return false;
        file.feed(std::string_view(buffer.data(), static_cast<size_t>(n)));
    }
    file.finish();
    return true;
}

// The mails of a Maildir, cur/ then new/, each folder in name order.
std::vector<fs::path> maildir_files(const fs::path& folder, uint64_t& total) {
    std::vector<fs::path> files;
    for (const char* sub : {"cur", "new"}) {
        std::vector<fs::path> inside;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder / sub, ec)) {
            if (entry.is_regular_file(ec) && !entry.is_symlink(ec) &&
                !entry.path().filename().string().starts_with('.')) {
                inside.push_back(entry.path());
                total += entry.file_size(ec);
            }
        }
        std::sort(inside.begin(), inside.end());
        files.insert(files.end(), inside.begin(), inside.end());
    }
    return files;
}

}  // namespace

bool looks_like_smssync_mail(std::string_view head) {
    if (head.starts_with("From "))
        return true;
    // A single mail: header lines up to the first empty one, one of them
    // X-smssync-…
    for (size_t i = 0; i < head.size();) {
        size_t end = head.find('\n', i);
        end = end == std::string_view::npos ? head.size() : end;
        const std::string_view line = import::trim(head.substr(i, end - i));
        if (line.empty())
            return false;
        if (starts_nocase(line, "x-smssync-"))
            return true;
        if (head[i] != ' ' && head[i] != '\t' && line.find(':') == std::string_view::npos)
            return false;
        i = end + 1;
    }
    return false;
}

bool is_maildir(const fs::path& folder) {
    std::error_code ec;
    return fs::is_directory(folder / "cur", ec) && fs::is_directory(folder / "new", ec);
}

ReadReport read_smssync_mail(const fs::path& path, ImportSink& sink, AttachmentSink& attachments) {
    std::error_code ec;
    uint64_t total = 0;
    std::vector<fs::path> files;
    const bool maildir = fs::is_directory(path, ec);
    if (maildir) {
        files = maildir_files(path, total);
    } else {
        files.push_back(path);
        total = fs::file_size(path, ec);
    }
    MailReader reader(sink, attachments);
    uint64_t done = 0;
    ReadReport report;
    for (const fs::path& file : files) {
        Outcome why;
        bool mbox = false;
        if (!maildir) {
            // An mbox starts with a "From " line; a single mail does not.
            char head[5] = {};
            const UniqueFd fd = open_regular_file(file, why);
            mbox = fd.valid() && ::read(fd.get(), head, 5) == 5 &&
                   std::string_view(head, 5) == "From ";
        }
        MailFile lines(reader, mbox);
        if (!read_file(file, lines, sink, done, total, why))
            return {.outcome = Outcome::cancelled()};
        if (!why.ok()) {
            if (!maildir)
                return {.outcome = why};
            sink.skipped("a mail file that cannot be read");
        }
    }
    report.replaced = reader.replaced();
    return report;
}

}  // namespace quillet
