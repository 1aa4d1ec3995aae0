#include "sms_message.h"

namespace quillet {

namespace {

// Only digits and what people write between them: such a text is a number.
bool written_as_number(std::string_view source) {
    return source.find_first_not_of("+0123456789 -()./\t") == std::string_view::npos;
}

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::string former_normalised_number(std::string_view source) {
    std::string out;
    for (char c : source) {
        if ((c == '+' && out.empty()) || (c >= '0' && c <= '9'))
            out += c;
    }
    return out;
}

std::string normalise_number(std::string_view source) {
    if (written_as_number(source))
        return former_normalised_number(source);
    // "Name" <address>: the address is the correspondent, and fits the field
    // better (the phone's field may have cut the closing ">" off already).
    const size_t open = source.rfind('<');
    if (open != std::string_view::npos && source.find('@', open) != std::string_view::npos)
        return std::string(trimmed(source.substr(open + 1, source.find('>', open) - open - 1)));
    return std::string(trimmed(source));
}

Contact make_contact(std::string_view name, std::string_view number) {
    Contact c;
    set_text_field(c.name, name);
    set_text_field(c.number, number);
    return c;
}

void SmsMessage::set_time_now() {
    time_ = filetime_now();
}

TextField normalised_number_field(std::string_view source) {
    TextField field{};
    set_text_field(field, normalise_number(source));
    return field;
}

void SmsMessage::set_number(std::string_view number) {
    number_ = normalised_number_field(number);
}

void SmsMessage::set_number_raw(std::string_view number) {
    set_text_field(number_, number);
}

SmsMessage SmsMessage::from_wire(const SmsWireRecord& w) {
    SmsMessage m;
    m.set_fields_from_wire(w);
    m.set_text(w.text);
    return m;
}

SmsMessage SmsMessage::from_wire(SmsWireRecord&& w) {
    SmsMessage m;
    m.set_fields_from_wire(w);
    m.set_text(MessageText(std::move(w.text)));
    return m;
}

void SmsMessage::set_fields_from_wire(const SmsWireRecord& w) {
    set_number(text_field(w.address));
    time_ = w.time;
    message_class_ = w.message_class;
    entry_id_ = w.entry_id;
    read_ = w.flags != 0 ? 1 : 0;
    on_phone_ = 0;
}

SmsWireRecord SmsMessage::to_wire() const {
    SmsWireRecord w;
    w.address = number_;
    w.time = time_;
    w.message_class = message_class_;
    w.entry_id = entry_id_;
    w.flags = 0;
    w.text = text_view();
    return w;
}

bool SmsMessage::same_message(const SmsMessage& other) const {
    if (!same_units(text_view(), other.text_view()))
        return false;
    if (number() != other.number())
        return false;
    return same_second_of(time_, other.time_);
}

void SmsMessage::strip_cr() {
    const std::u16string_view text = text_view();
    if (!has_text_ || text.find(u'\r') == text.npos)
        return;
    std::u16string out(text);
    std::erase(out, u'\r');
    set_text(MessageText(std::move(out)));
}

void SmsMessage::expand_lf() {
    const std::u16string_view text = text_view();
    if (!has_text_ || text.find(u'\n') == text.npos)
        return;
    std::u16string out;
    out.reserve(text.size() + 16);
    for (char16_t c : text) {
        if (c == u'\n')
            out += u'\r';
        out += c;
    }
    set_text(MessageText(std::move(out)));
}

}  // namespace quillet

namespace quillet {
static_assert(sizeof(void*) != 8 || sizeof(SmsMessage) == 80, "see SmsMessage's fields");
}  // namespace quillet
