// Text as search compares it: full case folding ("Straße" and "STRASSE" are
// "strasse"; Greek final sigma is sigma), accents and other combining marks
// dropped ("Café" is "cafe"), and the dotted and dotless i of Turkish taken
// as "i". Folded text is UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// The folded form of UTF-16 `text`. A lone surrogate folds to U+FFFD; a NUL
// to a blank (folded texts are kept NUL-separated).
std::string fold_for_search(std::u16string_view text);
// Appends the folded form of `text` to `out`.
void append_folded(std::u16string_view text, std::string& out);

// A folded text that remembers where each of its bytes came from, for
// marking in the original what a search found in the folded form.
class FoldedText {
  public:
    explicit FoldedText(std::u16string_view text);

    const std::string& folded() const { return folded_; }

    // The range of `text` (UTF-16 units, start and length) whose folded form
    // covers folded bytes [begin, begin + length): whole characters, with
    // the marks that follow them.
    std::pair<size_t, size_t> source_range(size_t begin, size_t length) const;

    // Every place `folded_query` occurs in the text (not overlapping), as
    // source ranges, in order. An empty query occurs nowhere.
    std::vector<std::pair<size_t, size_t>> find_all(std::string_view folded_query) const;

  private:
    std::string folded_;
    std::vector<uint32_t> source_;  // per folded byte: where its character starts
    size_t source_size_ = 0;
};

}  // namespace quillet
