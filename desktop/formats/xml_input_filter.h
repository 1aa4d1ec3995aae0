// What the Android backup reader puts between the file and libxml2, so that
// the parser sees a document it can read in bounded memory:
//
// - invalid UTF-8 becomes U+FFFD (counted);
// - a character reference to a high UTF-16 half followed by one to a low
//   half ("&#55357;&#56832;") becomes one reference to the character
//   ("&#128512;"); a lone half, and any reference XML 1.0 forbids, becomes
//   "&#65533;" (counted);
// - the `data` attribute of each <part> (base64, can be hundreds of MB) is
//   decoded into a PartSpool as it streams by; the parser sees data="" and
//   quillet-spool="OFFSET LENGTH BAD" (BAD 1 when the base64 was damaged);
// - any other attribute value or text run over kMaxValueBytes is left out:
//   the value becomes empty and its element gets quillet-cut="1";
// - a DOCTYPE with an internal subset, and any other "<!" declaration, is
//   refused (declared entities are how hostile files make a parser hang or
//   read other files); the parser never sees an entity declared;
// - every line break the parser does not see (inside part data, a value
//   left out) is put back between attributes or elements, so that the
//   parser's line numbers are the file's.
// Attributes named quillet-* in the file are dropped, so that only the
// filter sets them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "desktop/formats/import_text.h"

namespace quillet::import {

// The decoded bytes of <part> data, in a temporary file in `folder` (no
// name, or one removed at once) that is emptied whenever the reader has
// taken all of it.
class PartSpool {
  public:
    explicit PartSpool(const std::filesystem::path& folder);
    // In the temporary folder (for tests and tools).
    PartSpool();
    ~PartSpool();
    PartSpool(const PartSpool&) = delete;
    PartSpool& operator=(const PartSpool&) = delete;

    bool usable() const { return fd_ >= 0; }
    uint64_t begin();  // opens a value; returns its offset
    bool append(std::string_view bytes);
    void end();
    // Hands the bytes [offset, offset + length) over in pieces; false when
    // reading failed or `piece` returned false.
    bool read(uint64_t offset, uint64_t length,
              const std::function<bool(std::string_view)>& piece) const;
    // The reader has taken everything up to `offset`.
    void consumed(uint64_t offset);

  private:
    int fd_ = -1;
    uint64_t size_ = 0;
    bool open_ = false;
};

class XmlInputFilter {
  public:
    static constexpr size_t kMaxValueBytes = 8u << 20;

    explicit XmlInputFilter(PartSpool& spool) : spool_(spool) {}

    // Takes the next bytes of the file (`last` at its end) and appends what
    // the parser is to see to `out`. False: the file is refused (error()).
    bool feed(std::string_view in, bool last, std::string& out);

    const std::string& error() const { return error_; }
    uint64_t replaced() const { return replaced_; }
    // Start tags passed on so far: all of them, and those of <sms> and <mms>
    // (the messages the file holds).
    uint64_t elements() const { return elements_; }
    uint64_t messages() const { return messages_; }
    // The lines of the bytes taken so far, and the last that holds more
    // than blanks (where a file cut short ends).
    uint64_t lines() const { return lines_ + 1; }
    uint64_t last_content_line() const { return last_content_line_; }

  private:
    enum class State {
        Text,
        TagOpen,
        Markup,
        Comment,
        CData,
        Doctype,
        Instruction,
        EndTag,
        TagName,
        InTag,
        AttrName,
        AfterAttrName,
        BeforeValue,
        Value,
        DataValue,
        EmptyTagEnd
    };

    // `in` with invalid UTF-8 mended; a view of `in` itself when it is
    // sound, else of repaired_.
    std::string_view repair_utf8(std::string_view in, bool last);
    bool lex(std::string_view in, std::string& out);
    size_t pass_until(std::string_view in, size_t i, std::string_view terminator, std::string& out);
    void flush_text(std::string& out);
    void start_value(char quote);
    void end_value(std::string& out);
    void end_tag_markers(std::string& out);
    void keep_lines(std::string& out);
    bool fail(std::string message);

    PartSpool& spool_;
    State state_ = State::Text;
    bool checked_prolog_ = false;
    std::string head_;  // the file's first bytes, until its declaration ends
    bool utf8_ = true;
    std::string pending_utf8_;
    std::string joined_;
    std::string repaired_;
    std::string text_;
    bool text_cut_ = false;
    std::string markup_;  // what follows "<!" until its kind is known
    std::string recent_;  // the last bytes passed, to find terminators
    char doctype_quote_ = 0;
    std::string tag_name_;
    std::string attr_name_;
    char quote_ = 0;
    std::string value_;
    bool value_cut_ = false;
    bool drop_value_ = false;
    bool tag_cut_ = false;
    bool tag_spooled_ = false;
    uint64_t spool_offset_ = 0;
    uint64_t spool_length_ = 0;
    Base64Decoder base64_;
    std::string decoded_;
    std::string error_;
    uint64_t replaced_ = 0;
    uint64_t elements_ = 0;
    uint64_t messages_ = 0;
    uint64_t lines_ = 0;  // line breaks
    uint64_t last_content_line_ = 0;
    size_t lost_lines_ = 0;  // line breaks dropped and not yet put back
};

// Rewrites the character references of `in` as the filter does (pairs of
// UTF-16 halves joined, lone halves and forbidden characters as U+FFFD);
// returns how many were replaced.
uint64_t repair_references(std::string_view in, std::string& out);

}  // namespace quillet::import
