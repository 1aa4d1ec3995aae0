// The scene the search benchmarks measure: 100,000 messages over the three
// boxes (80 % Inbox, 15 % Sent Items, 5 % Deleted Items) from 3,000
// correspondents, 2,000 of them contacts; numbers written internationally
// and nationally, some short codes and sender names; texts of 3 to 25 words.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "desktop/store/contact_list.h"
#include "desktop/store/contacts_file.h"
#include "desktop/store/sms_box.h"
#include "protocol/text_codec.h"

namespace quillet::bench {

inline constexpr size_t kMessages = 100'000;
inline constexpr size_t kContacts = 2'000;
inline constexpr size_t kCorrespondents = 3'000;

inline const char* const kWords[] = {
    "meeting",  "tomorrow", "dinner", "café",   "Straße", "train",  "late",    "call",
    "me",       "when",     "you",    "land",   "see",    "at",     "the",     "station",
    "bring",    "wine",     "thanks", "for",    "today",  "merci",  "bientôt", "à",
    "jeudi",    "ok",       "yes",    "no",     "maybe",  "office", "parking", "Grüße",
    "İstanbul", "kapı",     "οδός",   "number", "code",   "your",   "is",      "ready"};

inline std::u16string text_of(std::mt19937& rng) {
    static const std::vector<std::u16string> words = [] {
        std::vector<std::u16string> out;
        for (const char* w : kWords)
            out.push_back(from_utf8(w));
        return out;
    }();
    std::u16string text;
    const size_t count = 3 + rng() % 23;
    for (size_t i = 0; i < count; ++i) {
        if (i > 0)
            text += u' ';
        text += words[rng() % words.size()];
    }
    return text;
}

inline std::string number_of(size_t correspondent, std::mt19937& rng) {
    if (correspondent % 100 == 99)
        return "Bank" + std::to_string(correspondent);
    if (correspondent % 100 == 98)
        return std::to_string(20'000 + correspondent);
    const std::string national = "1" + std::to_string(510'000'000 + correspondent * 7);
    return rng() % 4 == 0 ? "0" + national : "+49" + national;
}

struct Scene {
    SmsBox inbox{BoxKind::Inbox};
    SmsBox sent{BoxKind::SentItems};
    SmsBox deleted{BoxKind::DeletedItems};
    ContactList contacts{PhoneNumbers("DE")};
    size_t text_bytes = 0;

    void add(std::mt19937& rng, size_t i) {
        SmsMessage m;
        m.set_text(text_of(rng));
        m.set_number_raw(number_of(rng() % kCorrespondents, rng));
        m.set_time(filetime_from_unix(1'700'000'000 + static_cast<int64_t>(i) * 60));
        m.set_read(static_cast<uint8_t>(rng() % 5 != 0));
        text_bytes += m.text_view().size() * sizeof(char16_t);
        const size_t r = rng() % 100;
        (r < 80 ? inbox : r < 95 ? sent : deleted).append(m);
    }
};

inline Scene make_scene(size_t messages) {
    std::mt19937 rng(17);
    Scene s;
    // Through a contacts file: one sort and one index for all of them.
    std::vector<Contact> contacts;
    for (size_t c = 0; c < kContacts; ++c) {
        std::mt19937 spelling(static_cast<uint32_t>(c));
        contacts.push_back(
            make_contact("Person " + std::to_string(c) + ",Family", number_of(c, spelling)));
    }
    const std::vector<uint8_t> bytes = encode_contacts_file(contacts);
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "quillet-search-bench-contacts.sql";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    s.contacts.load_contacts_file(file);
    std::filesystem::remove(file);
    for (size_t i = 0; i < messages; ++i)
        s.add(rng, i);
    return s;
}

inline const Scene& scene() {
    static const Scene s = make_scene(kMessages);
    return s;
}

}  // namespace quillet::bench
