// The page of a conversation in the message view: the user-editable
// "templates\conversation_template.html" (the template language of
// message_page.h) with the exchange filled in.
//
// Placeholders:
//   {sender}    the correspondent's name, else the number, escaped
//   {phone}     every spelling of the number, ", "-separated, escaped
//   {count}     "1 message" or "N messages"
//   {earlier}   a link "Show N earlier messages" (href "quillet:earlier")
//               when the page leaves older messages out, else nothing
//   {messages}  the exchange, oldest first: a <p class="day"> with the long
//               date wherever the local day changes, then for each message
//               a paragraph (class "received", aligned left, or "sent",
//               aligned right, and "deleted" added for Deleted Items), whose
//               first line (class "time") holds the local time and, for
//               Deleted Items, "deleted on device". Each message starts with
//               an anchor "m<n>", n its position in the whole conversation.
// Every text is escaped; line breaks are kept; what a search found is marked
// as in the message page.
#pragma once

#include <QLocale>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/store/sms_message.h"
#include "desktop/views/message_page.h"

namespace quillet {

inline constexpr std::u16string_view kConversationTemplate =
    u"templates\\conversation_template.html";
// The link that asks for earlier messages.
inline constexpr std::u16string_view kEarlierLink = u"quillet:earlier";

struct ConversationEntry {
    const SmsMessage* message = nullptr;  // not owned
    bool sent = false;                    // from Sent Items; else received
    bool deleted = false;                 // from Deleted Items
};

struct ConversationPageFields {
    std::u16string sender;
    std::u16string phone;
    // The messages shown, oldest first: the newest part of the conversation.
    std::vector<ConversationEntry> shown;
    size_t earlier = 0;        // how many older messages are left out
    std::string folded_query;  // what to mark (fold_for_search); "" nothing
};

std::u16string render_conversation_page(std::string_view template_bytes,
                                        const ConversationPageFields& fields,
                                        const QLocale& locale);

// The places of `folded_query` in `text`, for marking (empty query: none).
TextRanges search_hits(std::u16string_view text, std::string_view folded_query);

}  // namespace quillet
