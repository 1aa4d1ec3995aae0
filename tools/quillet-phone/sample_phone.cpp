// The sample phone of "quillet-phone init --sample": a few dozen messages in
// the three folders over the last days, SIM entries and contacts that match
// some of the correspondents.
#include "protocol/text_codec.h"
#include "tools/quillet-phone/commands.h"

namespace quillet::phone_tool {
namespace {

using phone::Message;

constexpr FileTime kMinute = 60 * kTicksPerSecond;
constexpr FileTime kHour = 60 * kMinute;
constexpr FileTime kDay = 24 * kHour;

const char* const kAnna = "+491701234567";
const char* const kBen = "+447700900123";
const char* const kChloe = "+33612345678";
const char* const kDaniel = "+15551234567";
const char* const kOwn = "+491709999999";

struct Received {
    const char* from;
    FileTime ago;
    bool read;
    const char* text;
};

const Received kInbox[] = {
    {kAnna, 6 * kDay + 3 * kHour, true, "Are we still on for Saturday?"},
    {kBen, 6 * kDay + 1 * kHour, true, "Train is late, see you at 7."},
    {kChloe, 5 * kDay + 9 * kHour, true, "À bientôt, ça va ? On se voit jeudi."},
    {kAnna, 5 * kDay + 2 * kHour, true, "Grüße aus München! Das Ticket kostet 25 €."},
    {"+4930123456", 5 * kDay, true, "Your parcel will arrive tomorrow between 9 and 12."},
    {kDaniel, 4 * kDay + 7 * kHour, true, "Call me when you land."},
    {kBen, 4 * kDay + 5 * kHour, true, "Got the tickets. 2 x 45 € – pay me later."},
    {"\"Mobile Service\" <+4922112345>", 4 * kDay, true,
     "Your balance is 12,50 €. Top up now and get 5 € free."},
    {kChloe, 3 * kDay + 8 * kHour, true, "Merci pour hier soir !"},
    {kAnna, 3 * kDay + 1 * kHour, true, "Can you bring the salad?"},
    {kDaniel, 2 * kDay + 6 * kHour, true, "Meeting moved to 3pm."},
    {"+4917612312312", 2 * kDay + 2 * kHour, true, "Hi, this is Kai's new number."},
    {kBen, 1 * kDay + 9 * kHour, true, "Happy birthday!!"},
    {kAnna, 1 * kDay + 4 * kHour, false, "Dinner at 8? Table for four."},
    {kChloe, 20 * kHour, false, "Café demain à 10h ?"},
    {kDaniel, 5 * kHour, false, "Landed. Taxi in 20 min."},
    {kBen, 2 * kHour, false, "Forgot my keys at yours, sorry."},
    {kAnna, 25 * kMinute, false, "See you soon – Anna"},
};

struct SentMessage {
    const char* to;
    FileTime ago;
    const char* text;
};

const SentMessage kSent[] = {
    {kAnna, 6 * kDay + 2 * kHour, "Yes, Saturday at 8."},
    {kBen, 5 * kDay + 23 * kHour, "No problem."},
    {kChloe, 5 * kDay + 8 * kHour, "Oui, jeudi c'est parfait."},
    {kDaniel, 4 * kDay + 6 * kHour, "Will do."},
    {kBen, 4 * kDay + 4 * kHour, "Thanks! I owe you 90 €."},
    {kAnna, 3 * kDay, "Of course, potato or green?"},
    {kDaniel, 2 * kDay + 5 * kHour, "OK, 3pm works."},
    {kBen, 1 * kDay + 8 * kHour, "Thank you!"},
    {kAnna, 1 * kDay + 3 * kHour, "8 is perfect."},
};

std::u16string long_text() {
    std::u16string text = u"Long note: ";
    while (text.size() < 1500) {
        text += u"Here is the plan for the trip, day by day, with every stop and time. ";
    }
    return text;
}

Message received(const Received& r, FileTime now) {
    Message m;
    m.message_class = u"IPM.SMSText";
    m.subject = from_utf8(r.text);
    m.body = m.subject;
    m.sender = from_utf8(r.from);
    m.delivery_time = now - r.ago;
    m.flags = r.read ? phone::kFlagRead : 0;
    return m;
}

// Sent messages keep their text in the body and their number as recipient.
Message sent(const char* to, FileTime time, std::u16string text) {
    Message m;
    m.message_class = u"IPM.SMSText";
    m.body = std::move(text);
    m.sender = from_utf8(kOwn);
    m.recipients.push_back({from_utf8(to), from_utf8(to)});
    m.delivery_time = time;
    m.flags = phone::kFlagRead;
    return m;
}

Message other_row(std::u16string cls, std::u16string subject, FileTime time) {
    Message m;
    m.message_class = std::move(cls);
    m.subject = std::move(subject);
    m.delivery_time = time;
    m.flags = phone::kFlagRead;
    return m;
}

void fill_messages(phone::PhoneStore& store, FileTime now) {
    std::vector<Message> inbox;
    for (const Received& r : kInbox)
        inbox.push_back(received(r, now));
    inbox.push_back(other_row(u"IPM.MMS", u"Picture message", now - 3 * kDay - 3 * kHour));
    inbox.push_back(other_row(u"REPORT.IPM.SMSText.DR", u"Delivered", now - 3 * kDay));
    store.add_messages(*store.folder(phone::FolderRole::Inbox), inbox);

    std::vector<Message> sent_items;
    for (const SentMessage& s : kSent)
        sent_items.push_back(sent(s.to, now - s.ago, from_utf8(s.text)));
    sent_items.push_back(sent(kChloe, now - 2 * kDay, long_text()));
    // A recipient the store keeps as display text with the address type "SMS".
    Message sms_typed = sent(kDaniel, now - 10 * kHour, u"On my way.");
    sms_typed.recipients = {{from_utf8(kDaniel), u"SMS"}};
    sent_items.push_back(sms_typed);
    store.add_messages(*store.folder(phone::FolderRole::SentItems), sent_items);

    std::vector<Message> deleted;
    deleted.push_back(received({"+4930123456", 9 * kDay, true, "Your code is 493021."}, now));
    deleted.push_back(received({kBen, 8 * kDay, true, "Old news."}, now));
    deleted.push_back(sent(kAnna, now - 8 * kDay + kHour, u"Never mind."));
    deleted.push_back(received(
        {"\"Chloé Martin\" <chloe@example.org>", 7 * kDay, true, "Photos from the weekend"}, now));
    deleted.back().message_class = u"IPM.Note";
    deleted.push_back(other_row(u"IPM.Appointment", u"Dentist", now - 7 * kDay));
    store.add_messages(*store.folder(phone::FolderRole::DeletedItems), deleted);

    Message draft = sent(kBen, now - kHour, u"Draft: about next week...");
    store.add_message(store.ensure_folder("Drafts"), draft);
}

void fill_contacts(phone::PhoneStore& store) {
    store.set_sim_size(20);
    store.set_sim_entry({1, u"Anna", from_utf8(kAnna)});
    store.set_sim_entry({2, u"Ben", from_utf8(kBen)});
    store.set_sim_entry({3, u"Voicemail", u"+491713300"});
    store.set_sim_entry({5, from_utf8("Dr. Müller"), u"+498912345678"});
    store.set_sim_entry({9, u"Pizza", u"0301234567"});

    store.add_contact({0, u"Anna", u"Schmidt", from_utf8(kAnna), u"+49301111111"});
    store.add_contact({0, u"Ben", u"Taylor", from_utf8(kBen), u""});
    store.add_contact({0, from_utf8("Chloé"), u"Martin", from_utf8(kChloe), u""});
    store.add_contact({0, u"Daniel", u"Okafor", from_utf8(kDaniel), u"+15559876543"});
    store.add_contact({0, from_utf8("Éva"), from_utf8("Kovács"), u"", u"+3612345678"});
    store.add_contact({0, u"Office", u"Reception", u"+49302222222", u""});
}

}  // namespace

void fill_sample(phone::PhoneStore& store) {
    // Whole minutes, so that the sample reads well.
    const FileTime now = filetime_now() / kMinute * kMinute;
    fill_messages(store, now);
    fill_contacts(store);
}

}  // namespace quillet::phone_tool
