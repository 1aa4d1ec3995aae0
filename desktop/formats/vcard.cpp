#include "desktop/formats/vcard.h"

#include <cstdint>
#include <cstdio>
#include <unordered_map>
#include <vector>

#include "protocol/text_codec.h"

namespace quillet {
namespace {

constexpr size_t kMaxLineOctets = 75;

struct Person {
    std::string given;   // UTF-8
    std::string family;  // UTF-8
    std::string shown;   // FN: what makes two entries one person
    std::vector<std::string> numbers;
};

std::string trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return std::string(s);
}

Person person_of(const std::string& name) {
    Person p;
    // The phone writes "First,Last"; a SIM name such as "Doe, John" (a
    // blank after the comma) is kept as written.
    const size_t comma = name.find(',');
    if (comma != std::string::npos && name.find(',', comma + 1) == std::string::npos &&
        (comma + 1 == name.size() || name[comma + 1] != ' ')) {
        p.given = trimmed(std::string_view(name).substr(0, comma));
        p.family = trimmed(std::string_view(name).substr(comma + 1));
        p.shown =
            p.given.empty() || p.family.empty() ? p.given + p.family : p.given + ' ' + p.family;
    } else {
        p.given = trimmed(name);
        p.shown = p.given;
    }
    return p;
}

// The characters a telephone number is written with; anything else is left
// out, so the value needs no escaping.
std::string tel_value(std::string_view number) {
    std::string out;
    for (char c : number) {
        if ((c >= '0' && c <= '9') || c == '+' || c == '*' || c == '#' || c == ' ' || c == '-' ||
            c == '(' || c == ')' || c == '.')
            out += c;
    }
    return trimmed(out);
}

// The contact list's own matching rule (find_name_by_number).
bool same_number(std::string_view a, std::string_view b) {
    const std::string ca = clean_contact_number(a);
    const std::string cb = clean_contact_number(b);
    if (ca.size() > 7 && cb.size() > 7)
        return ca.compare(ca.size() - 7, 7, cb, cb.size() - 7, 7) == 0;
    return ca == cb;
}

void add_number(Person& p, const std::string& number) {
    if (number.empty())
        return;
    for (std::string& known : p.numbers) {
        if (!same_number(known, number))
            continue;
        if (known.front() != '+' && number.front() == '+')
            known = number;
        return;
    }
    p.numbers.push_back(number);
}

std::vector<Person> people_of(const ContactList& contacts) {
    std::vector<Person> people;
    std::unordered_map<std::string, size_t> by_name;
    for (const Contact& c : contacts.contacts()) {
        Person p = person_of(to_utf8(contacts.full_name(c)));
        const std::string number = tel_value(text_field(c.number));
        if (p.shown.empty() && number.empty())
            continue;
        // Nameless entries stay apart: nothing says they are one person.
        const auto [at, added] = by_name.try_emplace(p.shown, people.size());
        if (added || p.shown.empty()) {
            people.push_back(std::move(p));
            add_number(people.back(), number);
        } else {
            Person& same = people[at->second];
            // The phone's entry knows which part is the family name.
            if (same.family.empty() && !p.family.empty()) {
                same.given = std::move(p.given);
                same.family = std::move(p.family);
            }
            add_number(same, number);
        }
    }
    return people;
}

std::string escaped(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' || c == ',' || c == ';') {
            out += '\\';
            out += c;
        } else if (c == '\r' || c == '\n') {
            out += "\\n";
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) {
            out += "\xEF\xBF\xBD";  // a text value holds no controls: U+FFFD
        } else {
            out += c;
        }
    }
    return out;
}

// Appends one content line, folded so that no line exceeds 75 octets and
// no UTF-8 sequence is cut.
void append_line(std::string& out, std::string_view line) {
    size_t room = kMaxLineOctets;
    while (line.size() > room) {
        size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut;
        out.append(line.substr(0, cut));
        out += "\r\n ";
        line.remove_prefix(cut);
        room = kMaxLineOctets - 1;  // the leading space counts
    }
    out.append(line);
    out += "\r\n";
}

uint64_t fnv1a(std::string_view text, uint64_t h) {
    for (const char c : text)
        h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
    return h;
}

// A UUID made of what names the card (its FN), so each export gives the
// same card the same UID and address books that file cards by UID update
// it rather than adding another. Version 8 (made by the program's own rule),
// RFC 4122 variant.
std::string card_uid(std::string_view shown) {
    const uint64_t high = fnv1a(shown, 0xcbf29ce484222325ULL);
    const uint64_t low = fnv1a(shown, high ^ 0x9e3779b97f4a7c15ULL);
    char text[48];
    std::snprintf(text, sizeof text, "urn:uuid:%08x-%04x-8%03x-%04x-%012llx",
                  static_cast<unsigned>(high >> 32), static_cast<unsigned>(high >> 16 & 0xFFFF),
                  static_cast<unsigned>(high & 0x0FFF),
                  static_cast<unsigned>(0x8000 | (low >> 48 & 0x3FFF)),
                  static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFULL));
    return text;
}

void append_card(std::string& out, const Person& p) {
    append_line(out, "BEGIN:VCARD");
    append_line(out, "VERSION:3.0");
    const std::string shown = p.shown.empty() && !p.numbers.empty() ? p.numbers.front() : p.shown;
    append_line(out, "UID:" + card_uid(shown));
    append_line(out, "N:" + escaped(p.family) + ";" + escaped(p.given) + ";;;");
    append_line(out, "FN:" + escaped(shown));
    for (const std::string& number : p.numbers)
        append_line(out, "TEL;TYPE=CELL:" + number);
    append_line(out, "END:VCARD");
}

}  // namespace

std::string vcard_bytes(const ContactList& contacts, size_t* cards) {
    const std::vector<Person> people = people_of(contacts);
    std::string out;
    for (const Person& p : people)
        append_card(out, p);
    if (cards)
        *cards = people.size();
    return out;
}

Outcome export_vcard(const std::filesystem::path& path, const ContactList& contacts,
                     size_t* cards) {
    return save_file_atomically(path, std::string_view(vcard_bytes(contacts, cards)));
}

}  // namespace quillet
