#include "desktop/search/text_folding.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <unordered_map>

namespace quillet {
namespace {

void append_utf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

icu::UnicodeString decomposed(const icu::UnicodeString& s) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    if (U_FAILURE(status))
        return s;
    icu::UnicodeString out = nfd->normalize(s, status);
    return U_FAILURE(status) ? s : out;
}

// One non-ASCII character folded: decomposed, fully case folded, decomposed
// again (folding may compose), marks dropped.
std::string fold_one(char32_t cp) {
    icu::UnicodeString s = decomposed(icu::UnicodeString(static_cast<UChar32>(cp)));
    s.foldCase(U_FOLD_CASE_DEFAULT);
    s = decomposed(s);
    std::string out;
    for (int32_t i = 0; i < s.length();) {
        const UChar32 c = s.char32At(i);
        i += U16_LENGTH(c);
        if (u_charType(c) == U_NON_SPACING_MARK || u_charType(c) == U_ENCLOSING_MARK)
            continue;
        append_utf8(c == 0x0131 ? U'i' : static_cast<char32_t>(c), out);
    }
    return out;
}

// Folding is the same for every occurrence of a character: remember it.
const std::string& folded_character(char32_t cp) {
    thread_local std::unordered_map<char32_t, std::string> known;
    const auto it = known.find(cp);
    if (it != known.end())
        return it->second;
    return known.emplace(cp, fold_one(cp)).first->second;
}

// Calls `each(start, end, cp)` for each code point of `text`.
template <typename Each>
void for_each_code_point(std::u16string_view text, Each each) {
    for (size_t i = 0; i < text.size();) {
        const size_t start = i;
        char32_t cp = text[i++];
        if (U16_IS_LEAD(cp) && i < text.size() && U16_IS_TRAIL(text[i])) {
            cp = U16_GET_SUPPLEMENTARY(cp, text[i]);
            ++i;
        } else if (U16_IS_SURROGATE(cp)) {
            cp = 0xFFFD;
        }
        each(start, cp);
    }
}

void append_folded_character(char32_t cp, std::string& out) {
    if (cp == 0) {
        out += ' ';
    } else if (cp < 0x80) {
        out += static_cast<char>(cp >= 'A' && cp <= 'Z' ? cp - 'A' + 'a' : cp);
    } else {
        out += folded_character(cp);
    }
}

}  // namespace

void append_folded(std::u16string_view text, std::string& out) {
    for_each_code_point(text, [&](size_t, char32_t cp) { append_folded_character(cp, out); });
}

std::string fold_for_search(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    append_folded(text, out);
    return out;
}

FoldedText::FoldedText(std::u16string_view text) : source_size_(text.size()) {
    folded_.reserve(text.size());
    source_.reserve(text.size());
    for_each_code_point(text, [&](size_t start, char32_t cp) {
        append_folded_character(cp, folded_);
        source_.resize(folded_.size(), static_cast<uint32_t>(start));
    });
}

std::pair<size_t, size_t> FoldedText::source_range(size_t begin, size_t length) const {
    if (begin >= source_.size() || length == 0)
        return {source_size_, 0};
    const size_t end_byte = std::min(begin + length, source_.size());
    const size_t start = source_[begin];
    size_t end = source_size_;
    for (size_t k = end_byte; k < source_.size(); ++k) {
        if (source_[k] > source_[end_byte - 1]) {
            end = source_[k];
            break;
        }
    }
    return {start, end - start};
}

std::vector<std::pair<size_t, size_t>> FoldedText::find_all(std::string_view folded_query) const {
    std::vector<std::pair<size_t, size_t>> found;
    if (folded_query.empty())
        return found;
    size_t at = 0;
    while ((at = std::string_view(folded_).find(folded_query, at)) != std::string_view::npos) {
        found.push_back(source_range(at, folded_query.size()));
        at += folded_query.size();
    }
    return found;
}

}  // namespace quillet
