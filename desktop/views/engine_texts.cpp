#include "desktop/views/engine_texts.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <vector>

#include "desktop/views/window_parts.h"

namespace quillet {
namespace {

// The engine's texts, as the engine writes them; %1, %2... stand for what it
// fills in (a repeated %n is the same text twice).
constexpr const char* kContext = "quillet::EngineText";
constexpr const char* kSources[] = {
    // The composer's send (desktop/link).
    QT_TRANSLATE_NOOP("quillet::EngineText", "OnDeviceError: could not send sms to %1"),
    // The link's failures to reach the phone (desktop/link): the first that
    // matches is taken, so the general "%1" comes last.
    QT_TRANSLATE_NOOP("quillet::EngineText", "Could not connect"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "Could not connect: the link is busy"),
    QT_TRANSLATE_NOOP("quillet::EngineText",
                      "Could not connect: The phone is in use by %1; try again when it has "
                      "finished."),
    QT_TRANSLATE_NOOP("quillet::EngineText",
                      "The phone is in use by %1; try again when it has finished."),
    QT_TRANSLATE_NOOP("quillet::EngineText", "Could not connect: %1"),
    // The contact import's outcome (desktop/store/contact_list).
    QT_TRANSLATE_NOOP("quillet::EngineText",
                      "No contacts available. Please Check your ActiveSync connection."),
    QT_TRANSLATE_NOOP("quillet::EngineText",
                      "No contacts available. Please Check your ActiveSync connection.\n"
                      "details:\n%1"),
    // The options' default text of the new-message popup (desktop/store/options).
    QT_TRANSLATE_NOOP("quillet::EngineText", "You have received a new SMS message."),
    // The data folder's move at start-up (desktop/store/data_move).
    QT_TRANSLATE_NOOP("quillet::EngineText",
                      "Box files of an earlier run remain in %1; your messages are kept in %2."),
    QT_TRANSLATE_NOOP("quillet::EngineText",
                      "Your messages could not be moved from %1 to %2 (%3); they are used where "
                      "they are for now."),
    QT_TRANSLATE_NOOP("quillet::EngineText", "Your messages were moved from %1 to %2."),
    QT_TRANSLATE_NOOP("quillet::EngineText",
                      "Your messages were moved to %1; left in %2, as %1 has its own:%3."),
};

struct Pattern {
    const char* source;
    QRegularExpression match;
};

// "a %1 b" -> the whole of a(?<p1>.*?) b; a placeholder seen before matches
// the same text again.
Pattern make_pattern(const char* source) {
    static const QRegularExpression placeholder(QStringLiteral("%([1-9])"));
    const QString text = QString::fromUtf8(source);
    QString expression;
    QString seen;
    qsizetype at = 0;
    for (auto it = placeholder.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        expression += QRegularExpression::escape(text.mid(at, m.capturedStart() - at));
        const QString number = m.captured(1);
        expression += seen.contains(number) ? QStringLiteral("\\k<p%1>").arg(number)
                                            : QStringLiteral("(?<p%1>.*?)").arg(number);
        seen += number;
        at = m.capturedEnd();
    }
    expression += QRegularExpression::escape(text.mid(at));
    return {source, QRegularExpression(QRegularExpression::anchoredPattern(expression),
                                       QRegularExpression::DotMatchesEverythingOption)};
}

const std::vector<Pattern>& patterns() {
    static const std::vector<Pattern> all = [] {
        std::vector<Pattern> made;
        for (const char* source : kSources)
            made.push_back(make_pattern(source));
        return made;
    }();
    return all;
}

// `translated` with each %n replaced, in one pass, by what the engine put
// there: a name with "%2" in it stays as it is.
QString fill_in(const QString& translated, const QRegularExpressionMatch& found) {
    QString out;
    for (qsizetype i = 0; i < translated.size(); ++i) {
        const QChar c = translated[i];
        const bool placeholder = c == QLatin1Char('%') && i + 1 < translated.size() &&
                                 translated[i + 1] >= QLatin1Char('1') &&
                                 translated[i + 1] <= QLatin1Char('9');
        if (!placeholder) {
            out += c;
            continue;
        }
        const int number = translated[i + 1].digitValue();
        out += found.captured(QStringLiteral("p%1").arg(number));
        ++i;
    }
    return out;
}

}  // namespace

QString shown_engine_text(std::u16string_view text) {
    const QString original = to_qstring(text);
    for (const Pattern& pattern : patterns()) {
        const QRegularExpressionMatch found = pattern.match.match(original);
        if (!found.hasMatch())
            continue;
        const QString translated = QCoreApplication::translate(kContext, pattern.source);
        if (translated == QLatin1String(pattern.source))
            return original;
        return fill_in(translated, found);
    }
    return original;
}

QString shown_status(const EngineStatus& status) {
    using What = EngineStatus::What;
    const auto text = [](const char* source) {
        return QCoreApplication::translate(kContext, source);
    };
    const QString figure = QString::number(status.figure);
    switch (status.what) {
        case What::FolderStarted:
            switch (status.folder) {
                case BoxKind::Inbox:
                    return text(QT_TRANSLATE_NOOP("quillet::EngineText", "importing inbox..."));
                case BoxKind::SentItems:
                    return text(QT_TRANSLATE_NOOP("quillet::EngineText", "importing sent sms..."));
                case BoxKind::DeletedItems:
                    return text(
                        QT_TRANSLATE_NOOP("quillet::EngineText", "importing deleted sms..."));
            }
            break;
        case What::FolderProgress:
            switch (status.folder) {
                case BoxKind::Inbox:
                    return text(QT_TRANSLATE_NOOP("quillet::EngineText", "importing inbox: %1%"))
                        .arg(figure);
                case BoxKind::SentItems:
                    return text(QT_TRANSLATE_NOOP("quillet::EngineText", "importing sent sms: %1%"))
                        .arg(figure);
                case BoxKind::DeletedItems:
                    return text(QT_TRANSLATE_NOOP("quillet::EngineText",
                                                  "importing deleted sms: %1%"))
                        .arg(figure);
            }
            break;
        case What::ContactRetrieved:
            // One pass: a name with "%2" in it stays as it is.
            return text(QT_TRANSLATE_NOOP("quillet::EngineText", "retrieving contact %1: %2"))
                .arg(figure, to_qstring(status.name));
        case What::RestoreProgress:
            return text(QT_TRANSLATE_NOOP("quillet::EngineText", "restoring to the phone: %1%"))
                .arg(figure);
    }
    return to_qstring(english(status));
}

QString with_template_words(const QString& page) {
    // The words of templates/*.html that the view shows.
    static constexpr const char* kWords[] = {
        QT_TRANSLATE_NOOP("quillet::TemplateWords",
                          "Choose a message in the list above to read it here."),
        QT_TRANSLATE_NOOP("quillet::TemplateWords",
                          "Get SMS (Ctrl+G) brings in the new messages from your phone."),
        QT_TRANSLATE_NOOP("quillet::TemplateWords", "FROM"),
        QT_TRANSLATE_NOOP("quillet::TemplateWords", "RECEIVED"),
        QT_TRANSLATE_NOOP("quillet::TemplateWords",
                          "Received on your phone and kept in the Inbox."),
        QT_TRANSLATE_NOOP("quillet::TemplateWords", "CONTACT"),
        QT_TRANSLATE_NOOP("quillet::TemplateWords", "DATE"),
        QT_TRANSLATE_NOOP("quillet::TemplateWords", "CONVERSATION WITH"),
    };
    QString shown = page;
    for (const char* word : kWords) {
        const QString translated = QCoreApplication::translate("quillet::TemplateWords", word);
        if (translated == QLatin1String(word))
            continue;
        shown.replace(QLatin1Char('>') + QLatin1String(word) + QLatin1Char('<'),
                      QLatin1Char('>') + translated.toHtmlEscaped() + QLatin1Char('<'));
    }
    return shown;
}

QString failure_text(const QString& prefix, const ORX_Exception& failure) {
    return (prefix + shown_engine_text(failure.message())).left(ORX_Exception::kMaxPrefixed);
}

}  // namespace quillet
