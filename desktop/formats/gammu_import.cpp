#include "desktop/formats/gammu_import.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <list>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "desktop/formats/import_text.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

constexpr size_t kReadPiece = 64 * 1024;
constexpr size_t kMaxLineBytes = 1 << 20;
constexpr size_t kMaxTextKeys = 100;
// A part holds at most 140 bytes (280 hex digits); this is generous.
constexpr size_t kMaxSectionTextBytes = 64 * 1024;
// Parts held while their long messages wait, in UTF-16 units.
constexpr size_t kMaxPendingUnits = 8u << 20;
// Parts of long messages waiting for the rest; beyond this the oldest set
// is given on with what it has.
constexpr size_t kMaxPendingSets = 1000;

// Hex digits as bytes; false at anything else.
bool hex_bytes(std::string_view hex, std::string& out) {
    if (hex.size() % 2 != 0)
        return false;
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int hi = import::hex_digit(hex[i]);
        const int lo = import::hex_digit(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out += static_cast<char>(hi * 16 + lo);
    }
    return true;
}

// UCS-2 big-endian bytes as UTF-16; a lone half becomes U+FFFD.
std::u16string from_ucs2_be(std::string_view bytes, uint64_t& replaced) {
    std::u16string out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        out += static_cast<char16_t>((static_cast<uint8_t>(bytes[i]) << 8) |
                                     static_cast<uint8_t>(bytes[i + 1]));
    import::mend_text(out, replaced);
    return out;
}

// "YYYYMMDDTHHMMSS" with an optional "Z": milliseconds as if UTC.
std::optional<int64_t> parse_time(std::string_view s, bool& zoneless) {
    zoneless = !(s.size() == 16 && (s.back() == 'Z' || s.back() == 'z'));
    if (!zoneless)
        s.remove_suffix(1);
    if (s.size() != 15 || (s[8] != 'T' && s[8] != 't'))
        return std::nullopt;
    const auto field = [&](size_t at, size_t n) { return import::parse_int(s.substr(at, n)); };
    const auto y = field(0, 4), mo = field(4, 2), d = field(6, 2);
    const auto h = field(9, 2), mi = field(11, 2), se = field(13, 2);
    if (!y || !mo || !d || !h || !mi || !se)
        return std::nullopt;
    return import::wall_clock_ms(*y, *mo, *d, *h, *mi, *se);
}

// One [SMSBackup…] section, as its keys came.
struct Section {
    std::string number, number_unicode, date_time, sent, state, pdu, coding, udh;
    std::vector<std::pair<int, std::string>> texts;
    size_t text_bytes = 0;
};

// Which long message a part belongs to.
struct Concatenation {
    unsigned ref = 0, total = 0, part = 0;
};

// What the user data header says: which long message a part belongs to,
// and whether it is addressed to an application port (a machine message:
// WAP push, settings).
struct Header {
    std::optional<Concatenation> concatenation;
    bool port = false;
};

Header header_of(std::string_view udh) {
    Header h;
    // UDHL, then elements: identifier, length, data.
    for (size_t i = 1; i + 1 < udh.size();) {
        const auto id = static_cast<uint8_t>(udh[i]);
        const size_t length = static_cast<uint8_t>(udh[i + 1]);
        const auto at = [&](size_t k) {
            return static_cast<unsigned>(static_cast<uint8_t>(udh[i + 2 + k]));
        };
        if (i + 2 + length > udh.size())
            break;
        if (id == 0x00 && length == 3 && !h.concatenation)
            h.concatenation = Concatenation{at(0), at(1), at(2)};
        if (id == 0x08 && length == 4 && !h.concatenation)
            h.concatenation = Concatenation{at(0) << 8 | at(1), at(2), at(3)};
        h.port = h.port || (id == 0x04 && length == 2) || (id == 0x05 && length == 4);
        i += 2 + length;
    }
    return h;
}

class GammuReader {
  public:
    explicit GammuReader(ImportSink& sink) : sink_(sink) {}
    void line(std::string_view line);
    void finish();
    uint64_t& replaced() { return replaced_; }

  private:
    void end_section();
    void take(const Section& s);

    ImportSink& sink_;
    bool in_backup_section_ = false;
    Section section_;
    uint64_t replaced_ = 0;

    struct PartSet {
        std::string key;
        std::vector<std::optional<ImportedMessage>> parts;
        size_t have = 0;
        size_t units = 0;
    };
    std::unordered_set<std::string> machine_messages_;
    size_t pending_units_ = 0;
    std::list<PartSet> pending_;
    std::unordered_map<std::string, std::list<PartSet>::iterator> by_key_;
    void give(std::list<PartSet>::iterator set);
};

void GammuReader::line(std::string_view text) {
    text = import::trim(text);
    if (text.empty() || text.front() == ';' || text.front() == '#')
        return;
    if (text.front() == '[') {
        end_section();
        const std::string_view name = text.substr(1);
        in_backup_section_ =
            name.size() >= 9 && import::equal_nocase(name.substr(0, 9), "SMSBackup");
        return;
    }
    const size_t eq = text.find('=');
    if (!in_backup_section_ || eq == std::string_view::npos)
        return;
    const std::string_view key = import::trim(text.substr(0, eq));
    std::string_view value = import::trim(text.substr(eq + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    const auto is = [&](std::string_view k) { return import::equal_nocase(key, k); };
    Section& s = section_;
    if (is("Number"))
        s.number = value;
    else if (is("NumberUnicode"))
        s.number_unicode = value;
    else if (is("DateTime"))
        s.date_time = value;
    else if (is("Sent"))
        s.sent = value;
    else if (is("State"))
        s.state = value;
    else if (is("PDU"))
        s.pdu = value;
    else if (is("Coding"))
        s.coding = value;
    else if (is("UDH"))
        s.udh = value;
    else if (key.size() == 6 && import::equal_nocase(key.substr(0, 4), "Text") &&
             s.texts.size() < kMaxTextKeys) {
        s.text_bytes += value.size();
        const auto index = import::parse_int(key.substr(4));
        if (index && *index >= 0 && s.text_bytes <= kMaxSectionTextBytes)
            s.texts.emplace_back(static_cast<int>(*index), std::string(value));
    }
}

void GammuReader::end_section() {
    if (in_backup_section_)
        take(section_);
    section_ = Section();
    in_backup_section_ = false;
}

void GammuReader::take(const Section& s) {
    if (import::equal_nocase(s.pdu, "Status_Report")) {
        sink_.skipped("a delivery report");
        return;
    }
    if (s.text_bytes > kMaxSectionTextBytes) {
        sink_.skipped("a section with more than 64 kB of text");
        return;
    }
    ImportedMessage m;
    m.received = s.pdu.empty() ? !(import::equal_nocase(s.state, "Sent") ||
                                   import::equal_nocase(s.state, "UnSent"))
                               : !import::equal_nocase(s.pdu, "Submit");
    m.read = !m.received || !import::equal_nocase(s.state, "UnRead");
    std::string bytes;
    if (!s.number_unicode.empty() && hex_bytes(s.number_unicode, bytes))
        m.address = to_utf8(from_ucs2_be(bytes, replaced_));
    else
        m.address = s.number;
    // Older writers (and Gammu's own documented example) give the time as
    // "Sent"; "DateTime" wins where both are readable.
    std::optional<int64_t> ms = parse_time(s.date_time, m.zoneless);
    if (!ms)
        ms = parse_time(s.sent, m.zoneless);
    if (!ms) {
        sink_.skipped("a message without a readable time");
        return;
    }
    if (const auto why = import::time_out_of_range(*ms)) {
        sink_.skipped("a message with " + std::string(*why));
        return;
    }
    m.time_ms = *ms;
    auto texts = s.texts;
    std::stable_sort(texts.begin(), texts.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    bool damaged = false;
    bytes.clear();
    for (const auto& [index, hex] : texts)
        damaged = !hex_bytes(hex, bytes) || damaged;
    if (damaged)
        sink_.skipped("a text with damaged hex (the readable part kept)");
    std::string udh;
    const Header header = hex_bytes(s.udh, udh) ? header_of(udh) : Header();
    const std::optional<Concatenation>& c = header.concatenation;
    const bool eight_bit = import::equal_nocase(s.coding, "8bit");
    if (eight_bit && header.port) {
        // Counted once per message, however many parts it came in.
        const std::string key = m.address + '\n' + (c ? std::to_string(c->ref) : "-");
        if (!c || machine_messages_.insert(key).second)
            sink_.skipped("a machine message (a WAP push or settings), not a text");
        return;
    }
    if (eight_bit) {
        for (char b : bytes)
            m.text += static_cast<char16_t>(static_cast<uint8_t>(b));
        import::mend_text(m.text, replaced_);
    } else {
        m.text = from_ucs2_be(bytes, replaced_);
    }
    if (!c || c->total < 2 || c->part < 1 || c->part > c->total) {
        sink_.message(std::move(m));
        return;
    }
    const std::string key = m.address + '\n' + std::to_string(c->ref) + '\n' +
                            std::to_string(c->total) + (m.received ? "r" : "s");
    auto found = by_key_.find(key);
    if (found != by_key_.end() && found->second->parts[c->part - 1]) {
        // The same part again: that set is as whole as it will get.
        give(found->second);
        found = by_key_.end();
    }
    if (found == by_key_.end()) {
        if (pending_.size() >= kMaxPendingSets)
            give(pending_.begin());
        pending_.push_back(
            PartSet{key, std::vector<std::optional<ImportedMessage>>(c->total), 0, 0});
        found = by_key_.emplace(key, std::prev(pending_.end())).first;
    }
    const auto set = found->second;
    set->units += m.text.size();
    pending_units_ += m.text.size();
    set->parts[c->part - 1] = std::move(m);
    if (++set->have == set->parts.size())
        give(set);
    while (pending_units_ > kMaxPendingUnits && !pending_.empty())
        give(pending_.begin());
}

void GammuReader::give(std::list<PartSet>::iterator set) {
    std::optional<ImportedMessage> joined;
    for (auto& part : set->parts) {
        if (!part)
            continue;
        if (!joined) {
            joined = std::move(part);
            continue;
        }
        joined->text += part->text;
        joined->read = joined->read && part->read;
    }
    if (set->have < set->parts.size())
        sink_.skipped("a long message with parts missing (kept with the parts there are)");
    pending_units_ -= set->units;
    by_key_.erase(set->key);
    pending_.erase(set);
    if (joined)
        sink_.message(std::move(*joined));
}

void GammuReader::finish() {
    end_section();
    while (!pending_.empty())
        give(pending_.begin());
}

// The file's bytes as UTF-8 lines, whatever its encoding.
class LineSplitter {
  public:
    LineSplitter(GammuReader& reader, ImportSink& sink) : reader_(reader), sink_(sink) {}
    void feed(std::string_view bytes);
    void finish();

  private:
    void add(std::string_view utf8);

    GammuReader& reader_;
    ImportSink& sink_;
    enum class Encoding { Unknown, Utf8, Utf16Be, Utf16Le } encoding_ = Encoding::Unknown;
    std::string carry_;
    char16_t high_ = 0;
    std::string line_;
    bool line_cut_ = false;
};

void LineSplitter::feed(std::string_view bytes) {
    std::string joined = carry_ + std::string(bytes);
    carry_.clear();
    std::string_view in = joined;
    if (encoding_ == Encoding::Unknown) {
        if (in.size() < 3 && !bytes.empty()) {
            carry_ = joined;
            return;
        }
        encoding_ = in.starts_with("\xFE\xFF")   ? Encoding::Utf16Be
                    : in.starts_with("\xFF\xFE") ? Encoding::Utf16Le
                                                 : Encoding::Utf8;
        if (encoding_ != Encoding::Utf8)
            in.remove_prefix(2);
        else if (in.starts_with("\xEF\xBB\xBF"))
            in.remove_prefix(3);
    }
    if (encoding_ == Encoding::Utf8) {
        add(in);
        return;
    }
    std::string utf8;
    size_t i = 0;
    for (; i + 1 < in.size(); i += 2) {
        const auto a = static_cast<uint8_t>(in[i]), b = static_cast<uint8_t>(in[i + 1]);
        const auto c =
            static_cast<char16_t>(encoding_ == Encoding::Utf16Be ? (a << 8 | b) : (b << 8 | a));
        if (high_ != 0 && c >= 0xDC00 && c <= 0xDFFF) {
            import::append_utf8(utf8, 0x10000 + ((high_ - 0xD800) << 10) + (c - 0xDC00));
            high_ = 0;
            continue;
        }
        if (high_ != 0) {
            import::append_utf8(utf8, 0xFFFD);
            ++reader_.replaced();
            high_ = 0;
        }
        if (c >= 0xD800 && c <= 0xDBFF) {
            high_ = c;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            import::append_utf8(utf8, 0xFFFD);
            ++reader_.replaced();
        } else {
            import::append_utf8(utf8, c);
        }
    }
    carry_.assign(in.substr(i));
    add(utf8);
}

void LineSplitter::add(std::string_view utf8) {
    while (!utf8.empty()) {
        const size_t nl = utf8.find('\n');
        const std::string_view piece = utf8.substr(0, nl);
        if (line_.size() + piece.size() > kMaxLineBytes) {
            line_cut_ = true;
        } else if (!line_cut_) {
            line_.append(piece);
        }
        if (nl == std::string_view::npos)
            return;
        utf8.remove_prefix(nl + 1);
        if (line_cut_)
            sink_.skipped("a line longer than 1 MB");
        else
            reader_.line(line_);
        line_.clear();
        line_cut_ = false;
    }
}

void LineSplitter::finish() {
    if (!carry_.empty() && encoding_ == Encoding::Unknown)
        feed({});
    add("\n");
}

}  // namespace

ReadReport read_gammu_backup(const std::filesystem::path& path, ImportSink& sink) {
    ReadReport report;
    const UniqueFd file = open_regular_file(path, report.outcome);
    if (!file.valid())
        return report;
    std::error_code ec;
    const uint64_t total = std::filesystem::file_size(path, ec);
    GammuReader reader(sink);
    LineSplitter lines(reader, sink);
    uint64_t done = 0;
    std::string piece(kReadPiece, '\0');
    for (;;) {
        const ssize_t n = ::read(file.get(), piece.data(), piece.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            report.outcome = Outcome::unreadable("the file could not be read");
            return report;
        }
        done += static_cast<uint64_t>(n);
        if (!sink.progress(done, total)) {
            report.outcome = Outcome::cancelled();
            return report;
        }
        if (n == 0)
            break;
        lines.feed(std::string_view(piece.data(), static_cast<size_t>(n)));
    }
    lines.finish();
    reader.finish();
    report.replaced = reader.replaced();
    return report;
}

}  // namespace quillet
