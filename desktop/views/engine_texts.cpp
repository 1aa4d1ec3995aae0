#include "desktop/views/engine_texts.h"

#include <QCoreApplication>

#include "desktop/store/options.h"
#include "desktop/views/window_parts.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

// The engine's English, as the translation's sources: each is the engine's
// text for one kind, with %1, %2... where the engine fills in its figures.
constexpr const char* kContext = "quillet::EngineText";

QString translated(const char* source) {
    return QCoreApplication::translate(kContext, source);
}

QString from_path(const std::filesystem::path& path) {
    return to_qstring(from_utf8(path.string()));
}

// " inbox1.sms sent1.sms": the files a move left behind, as the engine lists
// them.
QString clashed_names(const DataMoveReport& report) {
    QString names;
    for (const std::string& name : report.clashed)
        names += QLatin1Char(' ') + to_qstring(from_utf8(name));
    return names;
}

}  // namespace

QString shown_link_failure(const ORX_Exception& failure) {
    using Kind = ORX_Exception::Kind;
    const QString argument = to_qstring(failure.argument());
    switch (failure.kind()) {
        case Kind::Other:
            break;
        case Kind::NotConnected:
            if (argument.isEmpty())
                return translated(QT_TRANSLATE_NOOP("quillet::EngineText", "Could not connect"));
            return translated(QT_TRANSLATE_NOOP("quillet::EngineText", "Could not connect: %1"))
                .arg(argument);
        case Kind::LinkBusy:
            return translated(
                QT_TRANSLATE_NOOP("quillet::EngineText", "Could not connect: the link is busy"));
        case Kind::PhoneInUse:
            return translated(QT_TRANSLATE_NOOP(
                                  "quillet::EngineText",
                                  "The phone is in use by %1; try again when it has finished."))
                .arg(argument);
        case Kind::NotConnectedInUse:
            return translated(QT_TRANSLATE_NOOP("quillet::EngineText",
                                                "Could not connect: The phone is in use by %1; "
                                                "try again when it has finished."))
                .arg(argument);
        case Kind::NotSent:
            return translated(QT_TRANSLATE_NOOP("quillet::EngineText",
                                                "OnDeviceError: could not send sms to %1"))
                .arg(argument);
    }
    return to_qstring(failure.message());
}

QString shown_contacts_import(const ImportContactsResult& result) {
    using Status = ImportContactsResult::Status;
    switch (result.status) {
        case Status::Imported:
            break;
        case Status::NoContacts:
            return translated(QT_TRANSLATE_NOOP(
                "quillet::EngineText",
                "No contacts available. Please Check your ActiveSync connection."));
        case Status::LinkFailed:
            return translated(QT_TRANSLATE_NOOP("quillet::EngineText",
                                                "No contacts available. Please Check your "
                                                "ActiveSync connection.\ndetails:\n%1"))
                .arg(result.link_failure ? shown_link_failure(*result.link_failure) : QString());
    }
    return {};
}

QString shown_popup_text(std::u16string_view text) {
    if (text != kDefaultPopupText)
        return to_qstring(text);
    return translated(
        QT_TRANSLATE_NOOP("quillet::EngineText", "You have received a new SMS message."));
}

QString shown_data_move(const DataMoveReport& report) {
    using Kind = DataMoveReport::Outcome;
    const QString from = from_path(report.from);
    const QString to = from_path(report.to);
    switch (report.outcome) {
        case Kind::Nothing:
        case Kind::Pending:  // only a dry run leaves the move, and the window runs none
            return {};
        case Kind::LeftBehind:
            return translated(QT_TRANSLATE_NOOP("quillet::EngineText",
                                                "Box files of an earlier run remain in %1; your "
                                                "messages are kept in %2."))
                .arg(from, to);
        case Kind::Failed:
            return translated(QT_TRANSLATE_NOOP("quillet::EngineText",
                                                "Your messages could not be moved from %1 to %2 "
                                                "(%3); they are used where they are for now."))
                .arg(from, to, to_qstring(from_utf8(report.failure)));
        case Kind::Moved:
            break;
    }
    if (report.clashed.empty()) {
        return translated(QT_TRANSLATE_NOOP("quillet::EngineText",
                                            "Your messages were moved from %1 to %2."))
            .arg(from, to);
    }
    return translated(QT_TRANSLATE_NOOP("quillet::EngineText",
                                        "Your messages were moved to %1; left in %2, as %1 has "
                                        "its own:%3."))
        .arg(to, from, clashed_names(report));
}

QString shown_status(const EngineStatus& status) {
    using What = EngineStatus::What;
    const QString figure = QString::number(status.figure);
    switch (status.what) {
        case What::FolderStarted:
            switch (status.folder) {
                case BoxKind::Inbox:
                    return translated(
                        QT_TRANSLATE_NOOP("quillet::EngineText", "importing inbox..."));
                case BoxKind::SentItems:
                    return translated(
                        QT_TRANSLATE_NOOP("quillet::EngineText", "importing sent sms..."));
                case BoxKind::DeletedItems:
                    return translated(
                        QT_TRANSLATE_NOOP("quillet::EngineText", "importing deleted sms..."));
            }
            break;
        case What::FolderProgress:
            switch (status.folder) {
                case BoxKind::Inbox:
                    return translated(
                               QT_TRANSLATE_NOOP("quillet::EngineText", "importing inbox: %1%"))
                        .arg(figure);
                case BoxKind::SentItems:
                    return translated(
                               QT_TRANSLATE_NOOP("quillet::EngineText", "importing sent sms: %1%"))
                        .arg(figure);
                case BoxKind::DeletedItems:
                    return translated(QT_TRANSLATE_NOOP("quillet::EngineText",
                                                        "importing deleted sms: %1%"))
                        .arg(figure);
            }
            break;
        case What::ContactRetrieved:
            // One pass: a name with "%2" in it stays as it is.
            return translated(QT_TRANSLATE_NOOP("quillet::EngineText", "retrieving contact %1: %2"))
                .arg(figure, to_qstring(status.name));
        case What::RestoreProgress:
            return translated(
                       QT_TRANSLATE_NOOP("quillet::EngineText", "restoring to the phone: %1%"))
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
    return (prefix + shown_link_failure(failure)).left(ORX_Exception::kMaxPrefixed);
}

}  // namespace quillet
