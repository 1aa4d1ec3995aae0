#include "text_codec.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <stdexcept>
#include <vector>

#include "wire_format.h"

namespace quillet {
namespace {

// One conversion descriptor per thread and direction: iconv_t is not safe to
// share between threads, and opening one per call is slow.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
        }
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts `in`; on an input sequence that cannot be converted, writes
    // `replacement` and skips `skip` input bytes.
    std::string run(std::string_view in, std::string_view replacement, size_t skip) {
        std::string out;
        out.reserve(in.size() * 2 + 8);
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        size_t src_left = in.size();
        std::vector<char> buffer(4096);
        while (src_left > 0) {
            char* dst = buffer.data();
            size_t dst_left = buffer.size();
            const size_t r = iconv(cd_, &src, &src_left, &dst, &dst_left);
            out.append(buffer.data(), buffer.size() - dst_left);
            if (r != static_cast<size_t>(-1))
                continue;
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL (a cut sequence at the end): replace and move on.
            out.append(replacement);
            const size_t n = std::min(skip, src_left);
            src += n;
            src_left -= n;
        }
        return out;
    }

  private:
    iconv_t cd_;
};

std::u16string bytes_to_u16(const std::string& bytes) {
    std::u16string out(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    }
    return out;
}

std::string u16_to_bytes(std::u16string_view s) {
    std::string out(s.size() * 2, '\0');
    for (size_t i = 0; i < s.size(); ++i) {
        out[2 * i] = static_cast<char>(s[i] & 0xFF);
        out[2 * i + 1] = static_cast<char>(s[i] >> 8);
    }
    return out;
}

bool is_ascii(std::string_view s) {
    for (char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

bool is_ascii(std::u16string_view s) {
    for (char16_t c : s) {
        if (c >= 0x80)
            return false;
    }
    return true;
}

// Code page 1252 from 0x80 to 0x9F; the rest of the page is Latin-1. The five
// bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand
// for the C1 controls of the same code, as the PC's own conversion has them,
// so that every byte reads and writes back unchanged.
constexpr std::array<char16_t, 32> kHighHalf = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98
};

char16_t cp1252_char(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F)
        return kHighHalf[byte - 0x80];
    return byte;
}

// The byte of a UTF-16 unit, or "?" when the code page has none.
unsigned char cp1252_byte(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<unsigned char>(c);
    for (size_t i = 0; i < kHighHalf.size(); ++i) {
        if (kHighHalf[i] == c)
            return static_cast<unsigned char>(0x80 + i);
    }
    return '?';
}

}  // namespace

std::string to_ansi(std::u16string_view text) {
    // ASCII is the same in both; most numbers and names never reach the table.
    if (is_ascii(text))
        return std::string(text.begin(), text.end());
    // No character outside the BMP exists in the code page: a surrogate pair
    // becomes one "?", and so does a lone surrogate.
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            ++i;
        }
        out += static_cast<char>(cp1252_byte(c));
    }
    return out;
}

std::u16string from_ansi(std::string_view text) {
    if (is_ascii(text))
        return std::u16string(text.begin(), text.end());
    std::u16string out;
    out.reserve(text.size());
    for (const char c : text)
        out += cp1252_char(static_cast<unsigned char>(c));
    return out;
}

std::string to_utf8(std::u16string_view text) {
    if (is_ascii(text))
        return std::string(text.begin(), text.end());
    thread_local Converter c("UTF-8", "UTF-16LE");
    return c.run(u16_to_bytes(text), "\xEF\xBF\xBD", 2);
}

std::u16string from_utf8(std::string_view text) {
    if (is_ascii(text))
        return std::u16string(text.begin(), text.end());
    thread_local Converter c("UTF-16LE", "UTF-8");
    return bytes_to_u16(c.run(text, u16_to_bytes(u"\uFFFD"), 1));
}

std::string to_ansi_field(std::u16string_view text) {
    std::string s = to_ansi(text);
    if (s.size() > kTextFieldSize - 1)
        s.resize(kTextFieldSize - 1);
    return s;
}

}  // namespace quillet
