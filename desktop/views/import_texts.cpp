#include "desktop/views/import_texts.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <optional>

#include "desktop/views/window_parts.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

constexpr const char* kContext = "quillet::EngineText";

// Every fixed text the readers and the import give (desktop/formats,
// desktop/library/importer.cpp), as the translation's sources.
constexpr const char* kFixed[] = {
    QT_TRANSLATE_NOOP("quillet::EngineText", "Android backup"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "Android call log"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "Gammu backup"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "Quillet folder"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "a draft"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "a message in the outbox"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "a message that failed to send"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "a message queued to be sent"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "a delivery report"),
    QT_TRANSLATE_NOOP("quillet::EngineText",
                      "a machine message (a WAP push or settings), not a text"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "an SMS of unknown type"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "an MMS of unknown box"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "an SMS that is neither received nor sent"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "an MMS that is neither received nor sent"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "an SMS without a readable date"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "an MMS without a readable date"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "a message without a readable time"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "an SMS with a date before 1601"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "an SMS with a date after 30828"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "an MMS with a date before 1601"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "an MMS with a date after 30828"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "a message with a date before 1601"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "a message with a date after 30828"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "an SMS with a value longer than 8 MB"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "an MMS with a value longer than 8 MB"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "an MMS part with a value longer than 8 MB"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "an MMS without any part"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "an MMS part whose data is damaged"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "an attachment that could not be saved"),
    QT_TRANSLATE_NOOP("quillet::EngineText",
                      "a message at or after the damage, which could not be read"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "a section with more than 64 kB of text"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "a text with damaged hex (the readable part kept)"),
    QT_TRANSLATE_NOOP("quillet::EngineText",
                      "a long message with parts missing (kept with the parts there are)"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "a line longer than 1 MB"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "a line longer than 16 MB"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "a line that is not a JSON object"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "a ZIP entry whose size cannot be read"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "a ZIP entry larger than 4 GB"),
    QT_TRANSLATE_NOOP("quillet::EngineText",
                      "a ZIP entry that expands more than 100 times (a ZIP bomb)"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "a contact card without a phone number"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "a contact card cut off before its end"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "a number the contact list already holds"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "not a backup Quillet can read"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "holds no backup Quillet can read"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "a call log, not messages: nothing to import"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "there is no such file or folder"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "a named pipe, not a file: skipped"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "a device, not a file: skipped"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "a socket, not a file: skipped"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "a special file, not a file: skipped"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "the file could not be read"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "the file holds no XML element"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "the file is not well-formed XML"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "the file is in UTF-16; backups are read in UTF-8"),
    QT_TRANSLATE_NOOP("quillet::EngineText",
                      "the file declares entities or a document type of its own, which a "
                      "backup never does: refused"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "an Android call log: it holds calls, not messages"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "not a readable ZIP file"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "a ZIP without messages.ndjson: not an sms-ie export"),
    QT_TRANSLATE_NOOP("quillet::EngineText",
                      "an sms-ie export of the older kind (one JSON document), which is not "
                      "read: export again with a current sms-ie"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "messages.ndjson does not hold JSON objects"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "messages.ndjson could not be read from the ZIP"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "a contacts file over 64 MB: not read"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "more than 100,000 cards: not read"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "not enough memory to read it"),
    QT_TRANSLATE_NOOP("quillet::EngineText",
                      "it ends in the middle of a message (the file was cut short)"),
    QT_TRANSLATE_NOOP("quillet::EngineText",
                      "elements nested more than 256 deep, which a backup never holds"),
};

// Texts with figures or names in them: the English with %1 and %2 where
// they stand, matched by the pieces around them.
constexpr const char* kPatterns[] = {
    QT_TRANSLATE_NOOP("quillet::EngineText", "the file announces %1 messages but holds %2"),
    QT_TRANSLATE_NOOP("quillet::EngineText",
                      "%1 characters could not be read as written and were replaced by %2"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "the file is damaged at line %1: %2"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "the file cannot be opened: %1"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "it cannot be read: %1"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "not an Android message backup (its root is <%1>)"),
    QT_TRANSLATE_NOOP("quillet::EngineText", "messages.ndjson refused: %1"),
};

QString translated(const char* source) {
    return QCoreApplication::translate(kContext, source);
}

// The pattern's figures in `text`, or nothing when it is not this pattern.
std::optional<QStringList> figures(const QString& pattern, const QString& text) {
    // The literal pieces escaped, each figure a group (the first as short
    // as it can be: "%1: %2" splits at the first ": ").
    QString expression;
    const QStringList pieces = pattern.split(QRegularExpression(QStringLiteral("%[12]")));
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            expression += i == 1 ? QStringLiteral("(.*?)") : QStringLiteral("(.*)");
        expression += QRegularExpression::escape(pieces[i]);
    }
    const QRegularExpressionMatch match =
        QRegularExpression(QLatin1Char('^') + expression + QLatin1Char('$'),
                           QRegularExpression::DotMatchesEverythingOption)
            .match(text);
    if (!match.hasMatch())
        return std::nullopt;
    QStringList found = match.capturedTexts();
    found.removeFirst();
    return found;
}

// The translation of a text the import gives, or nothing for one it does
// not know (a parser's own words, a name).
std::optional<QString> known_text(std::string_view english) {
    for (const char* fixed : kFixed) {
        if (english == fixed)
            return translated(fixed);
    }
    const QString text = to_qstring(from_utf8(english));
    for (const char* pattern : kPatterns) {
        const std::optional<QStringList> found = figures(QString::fromUtf8(pattern), text);
        if (!found)
            continue;
        QString shown = translated(pattern);
        // A reason inside a note ("damaged at line 4: it ends ...") is
        // translated too.
        for (const QString& figure : *found)
            shown = shown.arg(known_text(figure.toStdString()).value_or(figure));
        return shown;
    }
    return std::nullopt;
}

}  // namespace

QString shown_import_text(std::string_view english) {
    return known_text(english).value_or(to_qstring(from_utf8(english)));
}

QString shown_import_failure(std::string_view english) {
    // "FILE: why": the file's name may hold ": " itself, so the first split
    // whose rest is a known text wins.
    for (size_t at = english.find(": "); at != std::string_view::npos;
         at = english.find(": ", at + 1)) {
        if (const std::optional<QString> why = known_text(english.substr(at + 2)))
            return to_qstring(from_utf8(english.substr(0, at + 2))) + *why;
    }
    return to_qstring(from_utf8(english));
}

}  // namespace quillet
