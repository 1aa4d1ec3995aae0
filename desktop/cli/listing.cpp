#include "desktop/cli/listing.h"

#include <cstdio>
#include <ostream>

#include "protocol/filetime.h"
#include "protocol/text_codec.h"

namespace quillet::cli {
namespace {

const char* box_name(BoxKind kind) {
    switch (kind) {
        case BoxKind::Inbox:
            return "inbox";
        case BoxKind::SentItems:
            return "sent";
        case BoxKind::DeletedItems:
            break;
    }
    return "deleted";
}

std::string json_name(const std::optional<std::u16string>& name) {
    return name ? json_string(to_utf8(*name)) : "null";
}

}  // namespace

std::string field(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned code = static_cast<unsigned char>(text[i]);
        const unsigned next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        // U+0080..U+009F arrive as 0xC2 0x80..0x9F in UTF-8.
        if (code == 0xC2 && next >= 0x80 && next <= 0x9F) {
            code = next;
            ++i;
        } else if (code >= 0x20 && code != 0x7F) {
            out += text[i];
            continue;
        }
        if (code == '\t' || code == '\n' || code == '\r') {
            out += ' ';
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", code);
        out += escaped;
    }
    return out;
}

std::string json_string(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string utc_time(FileTime time) {
    const std::tm t = utc_tm(time);
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

void print_messages(std::ostream& out, const DataFolder& data,
                    const std::vector<MessageRef>& messages, bool json) {
    if (json)
        out << '[';
    bool first = true;
    for (const MessageRef& r : messages) {
        const SmsMessage& m = data.box(r.box).message_ref(r.index);
        const std::string number = to_utf8(from_ansi(m.number()));
        const std::optional<std::u16string> name = data.contacts.name_for_number(m.number());
        const std::string text = to_utf8(m.text_view());
        if (!json) {
            out << utc_time(m.time()) << '\t' << box_name(r.box) << '\t' << field(number) << '\t'
                << (name ? field(to_utf8(*name)) : "") << '\t' << (m.read() ? "read" : "unread")
                << '\t' << field(text) << '\n';
            continue;
        }
        out << (first ? "\n" : ",\n") << "  {\"box\": \"" << box_name(r.box) << "\", \"time\": \""
            << utc_time(m.time()) << "\", \"number\": " << json_string(number)
            << ", \"name\": " << json_name(name) << ", \"text\": " << json_string(text)
            << ", \"read\": " << (m.read() ? "true" : "false")
            << ", \"on_phone\": " << (m.on_phone() ? "true" : "false") << '}';
        first = false;
    }
    if (json)
        out << (first ? "]\n" : "\n]\n");
}

void print_conversations(std::ostream& out, const DataFolder& data, const ConversationIndex& index,
                         const std::vector<size_t>& conversations, bool json) {
    if (json)
        out << '[';
    bool first = true;
    for (const size_t c : conversations) {
        const ConversationSummary s = index.summary(c);
        const std::string number = to_utf8(from_ansi(s.number));
        const std::optional<std::u16string> name = data.contacts.name_for_number(s.number);
        if (!json) {
            out << utc_time(s.last_time) << '\t' << field(number) << '\t'
                << (name ? field(to_utf8(*name)) : "") << '\t' << s.messages << '\t' << s.unread
                << '\n';
            continue;
        }
        std::string numbers;
        for (const std::string& spelling : s.numbers)
            numbers += (numbers.empty() ? "" : ", ") + json_string(to_utf8(from_ansi(spelling)));
        out << (first ? "\n" : ",\n") << "  {\"name\": " << json_name(name)
            << ", \"number\": " << json_string(number) << ", \"numbers\": [" << numbers
            << "], \"messages\": " << s.messages << ", \"unread\": " << s.unread
            << ", \"last_time\": \"" << utc_time(s.last_time) << "\"}";
        first = false;
    }
    if (json)
        out << (first ? "]\n" : "\n]\n");
}

}  // namespace quillet::cli
