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

void SmsMessage::set_time_now() {
    time_ = filetime_now();
}

void SmsMessage::set_number(std::string_view number) {
    set_text_field(number_, normalise_number(number));
}

void SmsMessage::set_number_raw(std::string_view number) {
    set_text_field(number_, number);
}

SmsMessage SmsMessage::from_wire(const SmsWireRecord& w) {
    SmsMessage m = from_wire_fields(w);
    m.set_text(w.text);
    return m;
}

SmsMessage SmsMessage::from_wire_fields(const SmsWireRecord& w) {
    SmsMessage m;
    m.set_number(text_field(w.address));
    m.time_ = w.time;
    m.message_class_ = w.message_class;
    m.entry_id_ = w.entry_id;
    m.read_ = w.flags != 0 ? 1 : 0;
    m.on_phone_ = 0;
    return m;
}

SmsMessage SmsMessage::from_wire(SmsWireRecord&& w) {
    SmsMessage m = from_wire_fields(w);
    m.set_text(MessageText(std::move(w.text)));
    return m;
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
    if (text_view() != other.text_view())
        return false;
    if (number() != other.number())
        return false;
    if (time_ / kTicksPerSecond == other.time_ / kTicksPerSecond)
        return true;
    return local_seconds(time_) == local_seconds(other.time_);
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
