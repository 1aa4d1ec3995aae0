#include "desktop/formats/xml_input_filter.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>

namespace quillet::import {
namespace {

constexpr size_t kMaxNameBytes = 256;
constexpr size_t kMaxHeadBytes = 512;
constexpr size_t kSpoolPiece = 64 * 1024;
constexpr uint64_t kSpoolShrinkAbove = 64u << 20;
constexpr const char* kDeclarations =
    "the file declares entities or a document type of its own, which a backup never does: "
    "refused";

bool is_space(char c) {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

// A character reference at `in[i]` ("&#123;" or "&#x7B;"): its value and
// length, or nothing when there is none (or one too long to be sound).
std::optional<uint32_t> char_reference(std::string_view in, size_t i, size_t& length) {
    if (in.compare(i, 2, "&#") != 0)
        return std::nullopt;
    size_t k = i + 2;
    const bool hex = k < in.size() && (in[k] == 'x' || in[k] == 'X');
    k += hex ? 1 : 0;
    uint64_t value = 0;
    const size_t first = k;
    for (; k < in.size() && k - first < 10; ++k) {
        const char c = in[k];
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            break;
        value = value * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    }
    if (k == first || k >= in.size() || in[k] != ';')
        return std::nullopt;
    length = k + 1 - i;
    return static_cast<uint32_t>(std::min<uint64_t>(value, 0xFFFFFFFF));
}

size_t line_ends(std::string_view s) {
    return static_cast<size_t>(std::count(s.begin(), s.end(), '\n'));
}

bool xml_char(uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

void append_reference(std::string& out, uint32_t c) {
    out += "&#";
    out += std::to_string(c);
    out += ';';
}

}  // namespace

uint64_t repair_references(std::string_view in, std::string& out) {
    uint64_t replaced = 0;
    size_t i = 0;
    while (i < in.size()) {
        const size_t amp = in.find("&#", i);
        if (amp == std::string_view::npos) {
            out.append(in.substr(i));
            break;
        }
        out.append(in.substr(i, amp - i));
        size_t length = 0;
        const std::optional<uint32_t> c = char_reference(in, amp, length);
        if (!c) {
            out += "&#";
            i = amp + 2;
            continue;
        }
        i = amp + length;
        if (*c >= 0xD800 && *c <= 0xDBFF) {
            size_t low_length = 0;
            const std::optional<uint32_t> low = char_reference(in, i, low_length);
            if (low && *low >= 0xDC00 && *low <= 0xDFFF) {
                append_reference(out, 0x10000 + ((*c - 0xD800) << 10) + (*low - 0xDC00));
                i += low_length;
                continue;
            }
        }
        if (xml_char(*c)) {
            out.append(in.substr(amp, length));
        } else {
            append_reference(out, 0xFFFD);
            ++replaced;
        }
    }
    return replaced;
}

PartSpool::PartSpool(const std::filesystem::path& folder) {
    fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ >= 0)
        return;
    // A file system without unnamed files: a named one, gone at once.
    std::string pattern = folder / ".quillet-parts-XXXXXX";
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ >= 0)
        ::unlink(pattern.c_str());
}

PartSpool::PartSpool() : PartSpool(std::filesystem::temp_directory_path()) {}

PartSpool::~PartSpool() {
    if (fd_ >= 0)
        ::close(fd_);
}

uint64_t PartSpool::begin() {
    open_ = true;
    return size_;
}

bool PartSpool::append(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(size_));
        if (n <= 0)
            return false;
        size_ += static_cast<uint64_t>(n);
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

void PartSpool::end() {
    open_ = false;
}

bool PartSpool::read(uint64_t offset, uint64_t length,
                     const std::function<bool(std::string_view)>& piece) const {
    if (offset + length > size_)
        return false;
    std::string buffer(static_cast<size_t>(std::min<uint64_t>(length, kSpoolPiece)), '\0');
    while (length > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(length, buffer.size()));
        const ssize_t n = ::pread(fd_, buffer.data(), want, static_cast<off_t>(offset));
        if (n <= 0 || !piece(std::string_view(buffer.data(), static_cast<size_t>(n))))
            return false;
        offset += static_cast<uint64_t>(n);
        length -= static_cast<uint64_t>(n);
    }
    return true;
}

void PartSpool::consumed(uint64_t offset) {
    if (open_ || offset < size_)
        return;
    // Everything written has been taken: start again at the beginning.
    if (size_ > kSpoolShrinkAbove && ::ftruncate(fd_, 0) != 0)
        return;
    size_ = 0;
}

bool XmlInputFilter::fail(std::string message) {
    if (error_.empty())
        error_ = std::move(message);
    return false;
}

std::string_view XmlInputFilter::repair_utf8(std::string_view in, bool last) {
    if (!pending_utf8_.empty()) {
        joined_ = pending_utf8_;
        joined_.append(in);
        pending_utf8_.clear();
        in = joined_;
    }
    if (!utf8_)
        return in;
    repaired_.clear();
    size_t clean = 0;  // start of the valid run not yet copied
    size_t i = 0;
    while (i < in.size()) {
        // Eight printable ASCII bytes at a time: the common case.
        uint64_t word = 0;
        if (i + 8 <= in.size() && (std::memcpy(&word, in.data() + i, 8), true) &&
            ((word | (word - 0x2020202020202020ull)) & 0x8080808080808080ull) == 0) {
            i += 8;
            continue;
        }
        const auto byte = static_cast<uint8_t>(in[i]);
        // A control character XML cannot carry (a NUL written raw) is
        // mended like a broken sequence, not left to stop the parser.
        if ((byte >= 0x20 || byte == '\t' || byte == '\n' || byte == '\r') && byte < 0x80) {
            ++i;
            continue;
        }
        uint32_t c = 0;
        const size_t length = byte < 0x80 ? 0 : utf8_sequence(in, i, c);
        if (length > 0) {
            i += length;
            continue;
        }
        // A sequence cut by the end of this piece is completed by the next.
        if (!last && in.size() - i < 4) {
            const uint8_t lead = static_cast<uint8_t>(in[i]);
            const size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
            bool prefix = lead >= 0xC2 && lead <= 0xF4 && i + need > in.size();
            for (size_t k = i + 1; prefix && k < in.size(); ++k)
                prefix = (static_cast<uint8_t>(in[k]) & 0xC0) == 0x80;
            if (prefix) {
                repaired_.append(in.substr(clean, i - clean));
                pending_utf8_.assign(in.substr(i));
                return repaired_;
            }
        }
        repaired_.append(in.substr(clean, i - clean));
        repaired_ += "\xEF\xBF\xBD";
        ++replaced_;
        clean = ++i;
    }
    if (clean == 0)
        return in;  // nothing to mend: no copy
    repaired_.append(in.substr(clean));
    return repaired_;
}

bool XmlInputFilter::feed(std::string_view in, bool last, std::string& out) {
    if (!error_.empty())
        return false;
    if (!checked_prolog_) {
        // The declaration is read whole, however the file's first pieces
        // come: it tells whether the bytes are to be UTF-8.
        head_.append(in);
        if (head_.find("?>") == std::string::npos && head_.size() < kMaxHeadBytes && !last)
            return true;
        checked_prolog_ = true;
        in = head_;
        if (in.size() >= 2 && (in.substr(0, 2) == "\xFE\xFF" || in.substr(0, 2) == "\xFF\xFE" ||
                               in[0] == '\0' || in[1] == '\0'))
            return fail("the file is in UTF-16; backups are read in UTF-8");
        const size_t declaration_end = in.find("?>");
        if (in.find("<?xml") < 4 && declaration_end != std::string_view::npos) {
            const std::string_view declaration = in.substr(0, declaration_end);
            const size_t at = declaration.find("encoding");
            if (at != std::string_view::npos) {
                std::string name;
                for (size_t k = at + 8; k < declaration.size() && name.size() < 16; ++k) {
                    const char c = declaration[k];
                    if (c == '=' || c == '"' || c == '\'' || is_space(c)) {
                        if (!name.empty())
                            break;
                        continue;
                    }
                    name += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
                }
                utf8_ = name == "utf-8" || name == "utf8";
            }
        }
    }
    const size_t content = in.find_last_not_of(" \t\r\n");
    if (content != std::string_view::npos)
        last_content_line_ = lines_ + line_ends(in.substr(0, content)) + 1;
    lines_ += line_ends(in);
    if (!lex(repair_utf8(in, last), out))
        return false;
    if (last && state_ == State::Text)
        flush_text(out);
    return true;
}

size_t XmlInputFilter::pass_until(std::string_view in, size_t i, std::string_view terminator,
                                  std::string& out) {
    for (; i < in.size(); ++i) {
        const char c = in[i];
        out += c;
        recent_ += c;
        if (recent_.size() > terminator.size())
            recent_.erase(0, 1);
        if (recent_ == terminator) {
            state_ = State::Text;
            return i + 1;
        }
    }
    return i;
}

void XmlInputFilter::flush_text(std::string& out) {
    if (text_cut_) {
        // Never leave half a reference where the run was cut.
        const size_t amp = text_.rfind('&');
        if (amp != std::string::npos && text_.find(';', amp) == std::string::npos)
            text_.resize(amp);
    }
    replaced_ += repair_references(text_, out);
    keep_lines(out);
    text_.clear();
    text_cut_ = false;
}

void XmlInputFilter::start_value(char quote) {
    quote_ = quote;
    drop_value_ = attr_name_.rfind("quillet-", 0) == 0;
    if (!drop_value_ && tag_name_ == "part" && attr_name_ == "data") {
        spool_offset_ = spool_.begin();
        spool_length_ = 0;
        base64_ = Base64Decoder();
        decoded_.clear();
        state_ = State::DataValue;
        return;
    }
    value_.clear();
    value_cut_ = false;
    state_ = State::Value;
}

void XmlInputFilter::end_value(std::string& out) {
    state_ = State::InTag;
    if (drop_value_) {
        lost_lines_ += line_ends(value_);
        keep_lines(out);
        return;
    }
    out += attr_name_;
    out += '=';
    out += quote_;
    if (value_cut_) {
        tag_cut_ = true;
    } else {
        replaced_ += repair_references(value_, out);
    }
    out += quote_;
    keep_lines(out);
}

void XmlInputFilter::keep_lines(std::string& out) {
    out.append(lost_lines_, '\n');
    lost_lines_ = 0;
}

void XmlInputFilter::end_tag_markers(std::string& out) {
    if (tag_cut_)
        out += " quillet-cut=\"1\"";
    if (tag_spooled_) {
        out += " quillet-spool=\"";
        out += std::to_string(spool_offset_);
        out += ' ';
        out += std::to_string(spool_length_);
        out += base64_.bad() ? " 1\"" : " 0\"";
    }
    tag_cut_ = false;
    tag_spooled_ = false;
}

bool XmlInputFilter::lex(std::string_view in, std::string& out) {
    size_t i = 0;
    while (i < in.size()) {
        const char c = in[i];
        switch (state_) {
            case State::Text: {
                const size_t lt = in.find('<', i);
                const size_t end = lt == std::string_view::npos ? in.size() : lt;
                const size_t room = kMaxValueBytes - text_.size();
                text_.append(in.substr(i, std::min(end - i, room)));
                if (end - i > room) {
                    text_cut_ = true;
                    lost_lines_ += line_ends(in.substr(i + room, end - i - room));
                }
                i = end;
                if (lt != std::string_view::npos) {
                    flush_text(out);
                    state_ = State::TagOpen;
                    ++i;
                }
                break;
            }
            case State::TagOpen:
                if (c == '!') {
                    markup_.clear();
                    state_ = State::Markup;
                    ++i;
                } else if (c == '?') {
                    out += "<?";
                    recent_.clear();
                    state_ = State::Instruction;
                    ++i;
                } else if (c == '/') {
                    out += "</";
                    recent_.clear();
                    state_ = State::EndTag;
                    ++i;
                } else {
                    out += '<';
                    tag_name_.clear();
                    tag_cut_ = false;
                    tag_spooled_ = false;
                    state_ = State::TagName;
                }
                break;
            case State::Markup: {
                markup_ += c;
                ++i;
                recent_.clear();
                const auto prefix_of = [&](std::string_view word) {
                    return word.substr(0, markup_.size()) == markup_;
                };
                if (markup_ == "--") {
                    out += "<!--";
                    state_ = State::Comment;
                } else if (markup_ == "[CDATA[") {
                    out += "<![CDATA[";
                    state_ = State::CData;
                } else if (markup_ == "DOCTYPE") {
                    out += "<!";
                    out += markup_;
                    doctype_quote_ = 0;
                    state_ = State::Doctype;
                } else if (!prefix_of("--") && !prefix_of("[CDATA[") && !prefix_of("DOCTYPE")) {
                    return fail(kDeclarations);
                }
                break;
            }
            case State::Comment:
                i = pass_until(in, i, "-->", out);
                break;
            case State::CData:
                i = pass_until(in, i, "]]>", out);
                break;
            case State::Instruction:
                i = pass_until(in, i, "?>", out);
                break;
            case State::EndTag:
                i = pass_until(in, i, ">", out);
                break;
            case State::Doctype:
                // Only a name and an external identifier: an internal subset
                // ("[") is where entities are declared, and lexing it
                // (comments, instructions, quotes inside) is how a filter gets
                // fooled into letting one through.
                out += c;
                ++i;
                if (doctype_quote_ != 0) {
                    doctype_quote_ = c == doctype_quote_ ? 0 : doctype_quote_;
                } else if (c == '"' || c == '\'') {
                    doctype_quote_ = c;
                } else if (c == '[' || c == '<') {
                    return fail(kDeclarations);
                } else if (c == '>') {
                    state_ = State::Text;
                }
                break;
            case State::TagName: {
                size_t end = i;
                while (end < in.size() && !is_space(in[end]) && in[end] != '/' && in[end] != '>')
                    ++end;
                const std::string_view part = in.substr(i, end - i);
                tag_name_.append(
                    part.substr(0, kMaxNameBytes - std::min(kMaxNameBytes, tag_name_.size())));
                out.append(part);
                i = end;
                if (end < in.size()) {
                    state_ = State::InTag;
                    ++elements_;
                    messages_ += tag_name_ == "sms" || tag_name_ == "mms";
                }
                break;
            }
            case State::InTag:
                if (c == '>' || c == '/') {
                    end_tag_markers(out);
                    out += c;
                    state_ = c == '>' ? State::Text : State::EmptyTagEnd;
                    ++i;
                } else if (is_space(c)) {
                    size_t end = i;
                    while (end < in.size() && is_space(in[end]))
                        ++end;
                    out.append(in.substr(i, end - i));
                    i = end;
                } else {
                    attr_name_.clear();
                    state_ = State::AttrName;
                }
                break;
            case State::EmptyTagEnd:
                out += c;
                ++i;
                if (c == '>')
                    state_ = State::Text;
                break;
            case State::AttrName:
                if (c == '=') {
                    state_ = State::BeforeValue;
                    ++i;
                } else if (is_space(c)) {
                    state_ = State::AfterAttrName;
                    ++i;
                } else if (c == '>' || c == '/') {
                    // No value: damaged; the parser says so.
                    out += attr_name_;
                    state_ = State::InTag;
                } else {
                    size_t end = i;
                    while (end < in.size() && in[end] != '=' && !is_space(in[end]) &&
                           in[end] != '>' && in[end] != '/')
                        ++end;
                    if (attr_name_.size() + (end - i) > kMaxNameBytes)
                        return fail("an attribute name longer than 256 bytes: not a backup");
                    attr_name_.append(in.substr(i, end - i));
                    i = end;
                }
                break;
            case State::AfterAttrName:
            case State::BeforeValue:
                if (is_space(c)) {
                    ++i;
                } else if (c == '=' && state_ == State::AfterAttrName) {
                    state_ = State::BeforeValue;
                    ++i;
                } else if ((c == '"' || c == '\'') && state_ == State::BeforeValue) {
                    start_value(c);
                    ++i;
                } else {
                    out += attr_name_;
                    out += state_ == State::BeforeValue ? "=" : "";
                    state_ = State::InTag;
                }
                break;
            case State::Value: {
                const size_t q = in.find(quote_, i);
                const size_t end = q == std::string_view::npos ? in.size() : q;
                if (!value_cut_) {
                    const size_t room = kMaxValueBytes - value_.size();
                    if (end - i > room) {
                        value_cut_ = true;
                        lost_lines_ += line_ends(value_);
                        value_.clear();
                        value_.shrink_to_fit();
                    } else {
                        value_.append(in.substr(i, end - i));
                    }
                }
                if (value_cut_)
                    lost_lines_ += line_ends(in.substr(i, end - i));
                i = end;
                if (q != std::string_view::npos) {
                    end_value(out);
                    ++i;
                }
                break;
            }
            case State::DataValue: {
                const size_t q = in.find(quote_, i);
                const size_t end = q == std::string_view::npos ? in.size() : q;
                base64_.feed(in.substr(i, end - i), decoded_);
                lost_lines_ += line_ends(in.substr(i, end - i));
                i = end;
                const bool done = q != std::string_view::npos;
                if (done || decoded_.size() >= kSpoolPiece) {
                    if (!spool_.usable() || !spool_.append(decoded_))
                        return fail("attachments could not be written to a temporary file");
                    spool_length_ += decoded_.size();
                    decoded_.clear();
                }
                if (done) {
                    spool_.end();
                    out += "data=";
                    out += quote_;
                    out += quote_;
                    keep_lines(out);
                    tag_spooled_ = true;
                    state_ = State::InTag;
                    ++i;
                }
                break;
            }
        }
    }
    return true;
}

}  // namespace quillet::import
