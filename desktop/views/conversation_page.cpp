#include "conversation_page.h"

#include <QCoreApplication>
#include <QDateTime>

#include "desktop/search/text_folding.h"

namespace quillet {
namespace {

QDateTime local_time(const SmsMessage& m) {
    return QDateTime::fromSecsSinceEpoch(unix_seconds(m.time()));
}

std::u16string u16(const QString& s) {
    return s.toStdU16String();
}

// The page's words in the desktop's language. Only a text with a count
// passes one: a count picks a plural form, which a plain text has none of.
std::u16string translated(const char* text) {
    return QCoreApplication::translate("quillet::ConversationPage", text).toStdU16String();
}

std::u16string translated_count(const char* text, size_t n) {
    return QCoreApplication::translate("quillet::ConversationPage", text, nullptr,
                                       static_cast<int>(n))
        .toStdU16String();
}

std::u16string number_text(size_t n) {
    const std::string digits = std::to_string(n);
    return std::u16string(digits.begin(), digits.end());
}

void append_message(std::u16string& out, const ConversationEntry& e, size_t position,
                    const ConversationPageFields& fields, const QLocale& locale) {
    const std::u16string side = e.sent ? u"sent" : u"received";
    const std::u16string cell_class = e.deleted ? side + u" deleted" : side;
    const std::u16string time = u16(locale.toString(local_time(*e.message).time(), u"HH:mm"));
    std::u16string gone;
    if (e.deleted) {
        gone = u" <span class=\"gone\">\u00b7 " +
               html_escaped(translated(
                   QT_TRANSLATE_NOOP("quillet::ConversationPage", "deleted on device"))) +
               u"</span>";
    }
    const std::u16string_view text = e.message->text_view();
    const std::u16string shown = page_message_text(text);
    // Paragraphs, not tables: the view lays out hundreds of them at once.
    // A Hebrew or Arabic text runs from the right of its place.
    const bool rtl = right_to_left(text);
    out += u"<p class=\"" + cell_class + u"\" align=\"" + (e.sent || rtl ? u"right" : u"left") +
           (rtl ? u"\" dir=\"rtl" : u"") + u"\"><a name=\"m" + number_text(position) +
           u"\"></a><span class=\"time\">" + html_escaped(time) + u"</span>" + gone + u"<br>" +
           message_as_html(shown, search_hits(shown, fields.folded_query)) + u"</p>\n";
}

std::u16string exchange(const ConversationPageFields& fields, const QLocale& locale) {
    std::u16string out;
    out.reserve(fields.shown.size() * 400);
    QDate day;
    for (size_t i = 0; i < fields.shown.size(); ++i) {
        const ConversationEntry& e = fields.shown[i];
        const QDate date = local_time(*e.message).date();
        if (date != day) {
            day = date;
            out += u"<p class=\"day\" align=\"center\">" +
                   html_escaped(u16(locale.toString(date, QLocale::LongFormat))) + u"</p>\n";
        }
        append_message(out, e, fields.earlier + i, fields, locale);
    }
    return out;
}

std::u16string earlier_link(size_t earlier) {
    if (earlier == 0)
        return {};
    return u"<p class=\"earlier\" align=\"center\"><a href=\"" + std::u16string(kEarlierLink) +
           u"\">" +
           html_escaped(translated_count(
               QT_TRANSLATE_N_NOOP("quillet::ConversationPage", "Show earlier messages (%n more)"),
               earlier)) +
           u"</a></p>";
}

}  // namespace

TextRanges search_hits(std::u16string_view text, std::string_view folded_query) {
    if (folded_query.empty())
        return {};
    return FoldedText(text).find_all(folded_query);
}

std::u16string render_conversation_page(std::string_view template_bytes,
                                        const ConversationPageFields& fields,
                                        const QLocale& locale) {
    const size_t total = fields.earlier + fields.shown.size();
    return fill_template(
        template_bytes, [&](std::u16string_view name) -> std::optional<std::u16string> {
            if (name == u"sender")
                return html_escaped(fields.sender);
            if (name == u"phone")
                return html_escaped(fields.phone);
            if (name == u"count")
                return html_escaped(
                    total == 1
                        ? translated(QT_TRANSLATE_NOOP("quillet::ConversationPage", "1 message"))
                        : translated_count(
                              QT_TRANSLATE_N_NOOP("quillet::ConversationPage", "%n messages"),
                              total));
            if (name == u"earlier")
                return earlier_link(fields.earlier);
            if (name == u"messages")
                return exchange(fields, locale);
            return std::nullopt;
        });
}

}  // namespace quillet
