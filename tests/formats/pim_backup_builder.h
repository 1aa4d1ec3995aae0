// PIM Backup messages lists as Windows Mobile's backup writes them: a
// header naming the columns, then one UTF-16 line per message, each field
// quoted, backslash-escaped.
#pragma once

#include <string>
#include <string_view>

#include "protocol/text_codec.h"

namespace quillet::test {

constexpr std::string_view kPimHeader =
    "Msg Id;Sender Name;Sender Address;Sender AddressType;Prefix;Subject;Body;BodyType;Folder;"
    "Account;Msg Class;Content Length;Msg Size;Msg Flags;Msg Status;Modify Time;Delivery Time;"
    "Recipient Nbr;Recipients;Attachment Nbr;Attachments";

struct PimRow {
    std::string sender, subject, folder = "\\\\%MDF1", kind = "IPM.SMStext", flags = "1";
    std::string time = "2009,05,06,07,08,09", recipients_nbr = "0", recipients;
    std::string body;

    // A copy with one field changed.
    PimRow with(std::string PimRow::*field, std::string value) const {
        PimRow copy = *this;
        copy.*field = std::move(value);
        return copy;
    }
};

inline PimRow pim_row(std::string sender, std::string subject) {
    PimRow row;
    row.sender = std::move(sender);
    row.subject = std::move(subject);
    return row;
}

// One line; `subject` and `recipients` are written as given (escapes and
// all).
inline std::string pim_line(const PimRow& r) {
    const auto q = [](std::string_view v) { return "\"" + std::string(v) + "\""; };
    return q("1") + ";" + q("") + ";" + q(r.sender) + ";" + q("SMS") + ";" + q("") + ";" +
           q(r.subject) + ";" + q(r.body) + ";" + q("0") + ";" + q(r.folder) + ";" + q("SMS") +
           ";" + q(r.kind) + ";" + q("0") + ";" + q("0") + ";" + q(r.flags) + ";" + q("0") + ";" +
           q(r.time) + ";" + q(r.time) + ";" + q(r.recipients_nbr) + ";" + r.recipients + ";" +
           q("0") + ";" + q("");
}

// UTF-8 `text` as UTF-16 little-endian bytes after a byte-order mark.
inline std::string utf16le(std::string_view text) {
    std::string out = "\xFF\xFE";
    for (const char16_t c : from_utf8(text)) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

inline std::string pim_csm(const std::string& lines) {
    return utf16le(std::string(kPimHeader) + "\r\n" + lines);
}

}  // namespace quillet::test
