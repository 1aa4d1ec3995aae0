#include "desktop/app/export_commands.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QPrintDialog>
#include <QPrinter>

#include "desktop/formats/android_backup.h"
#include "desktop/formats/csv_xml_export.h"
#include "desktop/formats/vcard.h"
#include "desktop/library/import_origins.h"
#include "desktop/library/message_library.h"
#include "desktop/print/archive.h"
#include "desktop/print/conversation_print.h"
#include "desktop/views/command_scope.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/shown_list.h"
#include "desktop/views/status_panes.h"
#include "desktop/views/window_parts.h"

namespace quillet {
namespace {

std::filesystem::path local_path(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QString replaced_note(size_t replaced) {
    if (replaced == 0)
        return {};
    return ExportCommands::tr(" (%1 characters XML cannot carry shown as \uFFFD)").arg(replaced);
}

}  // namespace

ExportCommands::ExportCommands(QWidget& parent, MessageLibrary& library, StatusPanes& status)
    : parent_(parent), library_(library), status_(status) {}

const ContactList& ExportCommands::contacts() const {
    static const ContactList no_contacts;
    return contacts_ != nullptr ? *contacts_ : no_contacts;
}

void ExportCommands::run(const std::function<QString()>& work) {
    const CommandScope command;
    const QString failure = work();
    if (failure.isEmpty())
        return;
    show_message_box(&parent_, failure);
}

void ExportCommands::box(const SmsBox& box, const QString& name, bool xml) {
    const QString path = xml ? ask_save_file_name(&parent_, tr("Export to XML file"),
                                                  tr("XML files (*.xml)"), QStringLiteral("xml"),
                                                  dated_file_name(name, QStringLiteral("xml")))
                             : ask_save_file_name(&parent_, tr("Export to CSV file"),
                                                  tr("CSV files (*.csv)"), QStringLiteral("csv"),
                                                  dated_file_name(name, QStringLiteral("csv")));
    if (path.isEmpty())
        return;
    run([&] {
        const std::filesystem::path file(path.toStdString());
        const Outcome result =
            xml ? export_xml(file, box, contacts()) : export_csv(file, box, contacts());
        if (!result)
            return tr("Unable to export the messages to %1.\nDetails:\n%2")
                .arg(path, QString::fromStdString(result.what()));
        status_.show(tr("%n messages exported to %1", nullptr, static_cast<int>(box.count()))
                         .arg(QDir::toNativeSeparators(path)));
        return QString();
    });
}

void ExportCommands::android(bool with_deleted) {
    const QString path =
        ask_save_file_name(&parent_, tr("Export as Android SMS backup"), tr("XML files (*.xml)"),
                           QStringLiteral("xml"),
                           dated_file_name(QStringLiteral("sms-backup"), QStringLiteral("xml")));
    if (path.isEmpty())
        return;
    run([&] {
        const AndroidBackupReport r =
            export_android_backup(local_path(path),
                                  {library_.box(BoxKind::Inbox), library_.box(BoxKind::SentItems),
                                   with_deleted ? &library_.box(BoxKind::DeletedItems) : nullptr},
                                  contacts());
        if (!r.outcome)
            return tr("Unable to export the messages to %1.\nDetails:\n%2")
                .arg(path, QString::fromStdString(r.outcome.what()));
        status_.show(tr("%n messages exported%1", nullptr, static_cast<int>(r.counts.messages))
                         .arg(replaced_note(r.counts.replaced)));
        return QString();
    });
}

void ExportCommands::vcard() {
    const QString path = ask_save_file_name(&parent_, tr("Export contacts as vCard"),
                                            tr("vCard files (*.vcf)"), QStringLiteral("vcf"),
                                            dated_file_name(tr("Contacts"), QStringLiteral("vcf")));
    if (path.isEmpty())
        return;
    run([&] {
        size_t cards = 0;
        const Outcome r = export_vcard(local_path(path), contacts(), &cards);
        if (!r)
            return tr("Unable to export the contacts to %1.\nDetails:\n%2")
                .arg(path, QString::fromStdString(r.what()));
        status_.show(tr("%n contacts exported", nullptr, static_cast<int>(cards)));
        return QString();
    });
}

bool ExportCommands::has_conversation(ShownList& list) {
    if (list.conversation().has_value())
        return true;
    show_message_box(&parent_, list.conversation_missing());
    return false;
}

QString ExportCommands::title(const Correspondence& c) const {
    return correspondent_title(contacts().find_name_by_number(c.number), c.number);
}

void ExportCommands::conversation_pdf(ShownList& list) {
    if (!has_conversation(list))
        return;
    const QString path = ask_save_file_name(
        &parent_, tr("Export conversation as PDF"), tr("PDF files (*.pdf)"), QStringLiteral("pdf"),
        dated_file_name(title(*list.conversation()), QStringLiteral("pdf")));
    if (path.isEmpty())
        return;
    run([&] {
        const Correspondence c = *list.conversation();
        const Outcome written = write_conversation_pdf(path, {title(c), &c}, QLocale::system());
        if (!written)
            return tr("Unable to export the conversation to %1.\nDetails:\n%2")
                .arg(path, QString::fromStdString(written.what()));
        status_.show(tr("Conversation of %n messages exported", nullptr,
                        static_cast<int>(c.messages.size())));
        return QString();
    });
}

void ExportCommands::print_conversation(ShownList& list) {
    if (!has_conversation(list))
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(paper_size_for(QLocale::system())));
    printer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    if (!ask_printer(&parent_, printer))
        return;
    run([&] {
        const Correspondence c = *list.conversation();
        if (paint_conversation(printer, {title(c), &c}, QLocale::system()) == 0)
            return tr("Unable to print the conversation.");
        status_.show(tr("Conversation printed."));
        return QString();
    });
}

void ExportCommands::archive() {
    // The archive is a new folder: the name typed is the folder's.
    const QString path =
        ask_save_file_name(&parent_, tr("Export archive to a new folder"), QString(), QString(),
                           dated_file_name(QStringLiteral("Quillet"), QString()));
    if (path.isEmpty())
        return;
    run([&] {
        const ImportedFiles imported = imported_files(library_.folder());
        const ArchiveReport r = write_archive(
            path,
            {library_.box(BoxKind::Inbox), library_.box(BoxKind::SentItems),
             &library_.box(BoxKind::DeletedItems)},
            contacts(), QLocale::system(),
            [this](size_t done, size_t total) {
                status_.set_progress(total == 0 ? 0 : static_cast<int>(100 * done / total));
            },
            {imported.attachments, imported.listing});
        status_.set_progress(-1);
        if (!r.outcome)
            return tr("Unable to write the archive.\nDetails:\n%1")
                .arg(QString::fromStdString(r.outcome.what()));
        status_.show(
            tr("Archive written: %1 messages, %2 contacts, %3 conversations, %4 attachments%5")
                .arg(r.messages)
                .arg(r.cards)
                .arg(r.conversations)
                .arg(r.attachments)
                .arg(replaced_note(r.replaced)));
        return QString();
    });
}

}  // namespace quillet
