#include "sms_message.h"

namespace quillet {

std::string normalise_number(std::string_view source) {
    std::string out(source.size(), '\0');
    size_t used = 0;
    for (char c : source) {
        if ((c == '+' && used == 0) || (c >= '0' && c <= '9'))
            out[used++] = c;
    }
    out.resize(used);
    return out;
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
    size_t used = 0;
    for (char c : source) {
        if (used == kTextFieldSize - 1)
            break;
        if ((c == '+' && used == 0) || (c >= '0' && c <= '9'))
            field[used++] = c;
    }
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
