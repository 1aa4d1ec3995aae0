// read_vcards (import_source.h): the name and numbers of each card of a
// vCard 2.1 or 3.0 file.
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "desktop/formats/import_source.h"
#include "desktop/formats/import_text.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

constexpr uint64_t kMaxVcardFileBytes = 64u << 20;

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
    return out;
}

std::string quoted_printable(std::string_view in) {
    const auto nibble = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                      : -1;
    };
    std::string out;
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '=' && i + 2 < in.size() + 0 && nibble(in[i + 1]) >= 0 &&
            nibble(in[i + 2]) >= 0) {
            out += static_cast<char>(nibble(in[i + 1]) * 16 + nibble(in[i + 2]));
            i += 2;
        } else {
            out += in[i];
        }
    }
    return out;
}

// Bytes in `charset` as UTF-8 (as they are when iconv does not know it).
std::string to_utf8_from(std::string_view bytes, const std::string& charset) {
    if (charset.empty() || charset == "UTF-8" || charset == "UTF8")
        return std::string(bytes);
    iconv_t cd = iconv_open("UTF-8", charset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::string(bytes);
    std::unique_ptr<void, int (*)(iconv_t)> closer(cd, &iconv_close);
    std::string out(bytes.size() * 4 + 4, '\0');
    std::string in(bytes);
    char* src = in.data();
    size_t src_left = in.size();
    char* dst = out.data();
    size_t dst_left = out.size();
    while (src_left > 0 && iconv(cd, &src, &src_left, &dst, &dst_left) == static_cast<size_t>(-1)) {
        if (errno != EILSEQ && errno != EINVAL)
            break;
        // A byte the charset does not have: U+FFFD, and on.
        if (dst_left < 3)
            break;
        std::memcpy(dst, "\xEF\xBF\xBD", 3);
        dst += 3, dst_left -= 3;
        ++src, --src_left;
    }
    out.resize(out.size() - dst_left);
    return out;
}

// "\," "\;" "\n" "\\" of vCard 3.0 text; `split` cuts at unescaped ";".
std::vector<std::string> unescape(std::string_view value, bool split) {
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\' && i + 1 < value.size()) {
            const char n = value[++i];
            parts.back() += n == 'n' || n == 'N' ? '\n' : n;
        } else if (c == ';' && split) {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

std::string trimmed(std::string s) {
    const size_t a = s.find_first_not_of(" \t");
    const size_t b = s.find_last_not_of(" \t");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

struct Property {
    std::string name;
    bool quoted_printable = false;
    std::string charset;
    std::string value;
};

std::optional<Property> property(std::string_view line) {
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    Property p;
    std::string_view head = line.substr(0, colon);
    p.value = std::string(line.substr(colon + 1));
    size_t semi = head.find(';');
    p.name = upper(head.substr(0, semi));
    if (const size_t dot = p.name.find('.'); dot != std::string::npos)
        p.name.erase(0, dot + 1);
    while (semi != std::string_view::npos) {
        head.remove_prefix(semi + 1);
        semi = head.find(';');
        const std::string param = upper(head.substr(0, semi));
        if (param == "QUOTED-PRINTABLE" || param == "ENCODING=QUOTED-PRINTABLE")
            p.quoted_printable = true;
        else if (param.rfind("CHARSET=", 0) == 0)
            p.charset = param.substr(8);
    }
    return p;
}

// The file's logical lines: folded lines unfolded, quoted-printable soft
// line breaks joined.
std::vector<std::string> logical_lines(std::string_view text) {
    std::vector<std::string> lines;
    bool soft_break = false;
    while (!text.empty()) {
        const size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (soft_break && !lines.empty()) {
            lines.back() += line;
        } else if (!line.empty() && (line.front() == ' ' || line.front() == '\t') &&
                   !lines.empty()) {
            lines.back() += line.substr(1);
        } else {
            lines.emplace_back(line);
        }
        const std::string& last = lines.back();
        const size_t colon = last.find(':');
        soft_break = !last.empty() && last.back() == '=' && colon != std::string::npos &&
                     upper(std::string_view(last).substr(0, colon)).find("QUOTED-PRINTABLE") !=
                         std::string::npos;
        if (soft_break)
            lines.back().pop_back();
    }
    return lines;
}

}  // namespace

ReadReport read_vcards(const std::filesystem::path& path, std::vector<ImportedContact>& contacts,
                       ImportSink& sink) {
    ReadReport outcome;
    const UniqueFd file = open_regular_file(path, outcome.outcome);
    if (!file.valid())
        return outcome;
    struct stat st {};
    if (::fstat(file.get(), &st) != 0 || static_cast<uint64_t>(st.st_size) > kMaxVcardFileBytes) {
        outcome.outcome = Outcome::bad_input("a contacts file over 64 MB: not read");
        return outcome;
    }
    std::string text(static_cast<size_t>(st.st_size), '\0');
    size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(file.get(), text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            outcome.outcome = Outcome::unreadable("the file could not be read");
            return outcome;
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    text.resize(got);
    if (text.starts_with("\xEF\xBB\xBF"))
        text.erase(0, 3);

    std::vector<ImportedContact> read;
    std::vector<std::string_view> skips;
    size_t cards = 0;
    std::optional<ImportedContact> card;
    std::string formatted;
    for (const std::string& line : logical_lines(text)) {
        const std::optional<Property> p = property(line);
        if (!p)
            continue;
        if (p->name == "BEGIN" && upper(trimmed(p->value)) == "VCARD") {
            if (card)
                skips.emplace_back("a contact card cut off before its end");
            card.emplace();
            formatted.clear();
            continue;
        }
        if (!card)
            continue;
        if (p->name == "END") {
            if (!formatted.empty())
                card->name = formatted;
            if (++cards > kMaxImportedContacts) {
                outcome.outcome = Outcome::bad_input("more than 100,000 cards: not read");
                return outcome;
            }
            if (card->numbers.empty())
                skips.emplace_back("a contact card without a phone number");
            else
                read.push_back(std::move(*card));
            card.reset();
            continue;
        }
        std::string value = p->quoted_printable ? quoted_printable(p->value) : p->value;
        value = to_utf8(import::utf16_from_utf8(to_utf8_from(value, p->charset), outcome.replaced));
        if (p->name == "FN") {
            formatted = trimmed(unescape(value, false).front());
        } else if (p->name == "N") {
            // Family; given; additional; prefix; suffix: shown as
            // "given additional family".
            const std::vector<std::string> n = unescape(value, true);
            std::string name;
            for (size_t k : {size_t{1}, size_t{2}, size_t{0}}) {
                const std::string part = k < n.size() ? trimmed(n[k]) : std::string();
                if (!part.empty())
                    name += (name.empty() ? "" : " ") + part;
            }
            card->name = name;
        } else if (p->name == "TEL") {
            // Every type (home, work, fax, ...) is kept: each is a number
            // the person may be reached at. A URI value loses its "tel:".
            std::string number = trimmed(value);
            if (upper(number.substr(0, 4)) == "TEL:")
                number.erase(0, 4);
            if (!number.empty())
                card->numbers.push_back(std::move(number));
        }
    }
    if (card)
        skips.emplace_back("a contact card cut off before its end");
    contacts.insert(contacts.end(), std::make_move_iterator(read.begin()),
                    std::make_move_iterator(read.end()));
    for (const std::string_view why : skips)
        sink.skipped(why);
    return outcome;
}

}  // namespace quillet
