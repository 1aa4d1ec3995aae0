// The desktop's copy of one text message, and one contact.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "desktop/store/message_text.h"
#include "protocol/filetime.h"
#include "protocol/wire_format.h"

namespace quillet {

// One address-book entry: name and number, 32 bytes of 8-bit text each,
// byte for byte the record that travels on the link and in "contacts.sql".
using Contact = ContactWireRecord;
// A contact of an 8-bit name and number, each cut to 31 bytes.
Contact make_contact(std::string_view name, std::string_view number);

// A number written with digits and separators ("+49 (170) 123-4567") keeps
// an optional leading "+" and every digit. A sender name ("Bank", "DHL
// Express", an e-mail address) is its own correspondent and is kept as
// written, without the blanks around it; of "Name" <address> the address.
std::string normalise_number(std::string_view source);
// The same, as a message stores it: cut to 31 bytes, zeros after.
TextField normalised_number_field(std::string_view source);
// What normalise_number made of a sender name before names were kept (a
// name without digits became ""), so that messages stored then are found.
std::string former_normalised_number(std::string_view source);

// Whether two times fall in the same whole second of the local calendar.
// One offset serves both (UTC's: a whole-second offset does not change which
// times share a second), so that the two passes of the repeated autumn hour,
// an hour apart, stay two seconds: converting each time with its own offset
// would make them one.
inline bool same_second_of(FileTime a, FileTime b) {
    return a / kTicksPerSecond == b / kTicksPerSecond;
}

class SmsMessage {
  public:
    SmsMessage() = default;
    // Every field as a box file stores it. `number` holds nothing but zeros
    // after its first zero byte, and ends in one.
    SmsMessage(MessageText text, const TextField& number, FileTime time, uint8_t message_class,
               uint8_t read, uint8_t on_phone, const EntryId& entry_id)
        : text_(std::move(text)),
          message_class_(message_class),
          read_(read),
          on_phone_(on_phone),
          has_text_(true),
          number_(number),
          time_(time),
          entry_id_(entry_id) {}

    // Absent only in a record that has not been filled yet.
    std::optional<std::u16string_view> text() const {
        return has_text_ ? std::optional(text_.view()) : std::nullopt;
    }
    // The text, or an empty one when absent.
    std::u16string_view text_view() const { return text_.view(); }
    std::string_view number() const { return text_field(number_); }
    const TextField& number_field() const { return number_; }
    FileTime time() const { return time_; }
    uint8_t message_class() const { return message_class_; }
    const EntryId& entry_id() const { return entry_id_; }
    uint8_t read() const { return read_; }
    uint8_t on_phone() const { return on_phone_; }

    void set_text(std::u16string_view text) { set_text(MessageText(text)); }
    // Shares `text` (box files keep a whole box's texts in one block).
    void set_text(MessageText text) {
        text_ = std::move(text);
        has_text_ = true;
    }
    void set_read(uint8_t v) { read_ = v; }
    void set_on_phone(uint8_t v) { on_phone_ = v; }
    void set_message_class(uint8_t v) { message_class_ = v; }
    void set_time(FileTime t) { time_ = t; }
    void set_time_now();
    void set_entry_id(const EntryId& id) { entry_id_ = id; }
    // Stores the normalised form of `number`.
    void set_number(std::string_view number);
    // Stores `number` exactly as given (cut to 31 bytes); box files keep
    // what they hold.
    void set_number_raw(std::string_view number);

    static SmsMessage from_wire(const SmsWireRecord& w);
    // Takes every field of `w` but its text (on_phone cleared).
    void set_fields_from_wire(const SmsWireRecord& w);
    // The same, taking the record's text over instead of copying it.
    static SmsMessage from_wire(SmsWireRecord&& w);
    // Requires a present text.
    SmsWireRecord to_wire() const;
    // Same text, same number, same second (same_second_of). Requires
    // present texts.
    bool same_message(const SmsMessage& other) const;
    // Removes every CR.
    void strip_cr();
    // Puts a CR before every LF; the whole text is kept, however long.
    void expand_lf();

  private:
    // In this order, the four small fields fill the text's last bytes and
    // a message takes 80 bytes: a lifetime's history holds a million.
    [[no_unique_address]] MessageText text_;
    uint8_t message_class_ = 0;
    uint8_t read_ = 0;
    uint8_t on_phone_ = 0;
    bool has_text_ = false;
    TextField number_{};
    FileTime time_ = 0;
    EntryId entry_id_{};
};

}  // namespace quillet
