// The main window's exports beyond one box: the Android backup, the contacts'
// vCard, the conversation of the selected message as PDF or on a printer,
// and the archive of everything; and the import of other phones' backups.
#include <QFile>
#include <QLocale>
#include <QPrintDialog>
#include <QPrinter>

#include "desktop/app/main_frame.h"
#include "desktop/formats/android_backup.h"
#include "desktop/formats/vcard.h"
#include "desktop/link/link_lock.h"
#include "desktop/print/archive.h"
#include "desktop/print/conversation_print.h"
#include "desktop/store/recipients.h"
#include "desktop/views/command_scope.h"
#include "desktop/views/contacts_window.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/html_form_view.h"
#include "desktop/views/import_command.h"
#include "desktop/views/list_pane.h"
#include "desktop/views/window_parts.h"

namespace quillet {
namespace {

std::filesystem::path local_path(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QString replaced_note(size_t replaced) {
    if (replaced == 0)
        return {};
    return MainFrame::tr(" (%1 characters XML cannot carry shown as \uFFFD)").arg(replaced);
}

}  // namespace

const ContactList& MainFrame::export_contacts() const {
    static const ContactList no_contacts;
    return contacts_window_ ? contacts_window_->contacts() : no_contacts;
}

void MainFrame::export_android(bool with_deleted) {
    const QString path = ask_save_file_name(
        this, tr("Export as Android SMS backup"), tr("XML files (*.xml)"), QStringLiteral("xml"),
        dated_file_name(QStringLiteral("sms-backup"), QStringLiteral("xml")));
    if (path.isEmpty())
        return;
    run_export([&] {
        const AndroidBackupResult r = export_android_backup(
            local_path(path), {inbox(), sent_items(), with_deleted ? &deleted_items() : nullptr},
            export_contacts());
        if (!r.saved)
            return tr("Unable to export the messages to %1.\nDetails:\n%2")
                .arg(path, QString::fromStdString(r.saved.error));
        show_status(tr("%n messages exported%1", nullptr, static_cast<int>(r.counts.messages))
                        .arg(replaced_note(r.counts.replaced)));
        return QString();
    });
}

void MainFrame::import_backups() {
    import_from(false);
}

void MainFrame::import_folder() {
    import_from(true);
}

void MainFrame::import_from(bool folder) {
    const std::string holder = LinkLock().other_holder();
    if (holder.find("import") != std::string::npos) {
        show_message_box(this, tr("An import is running from the command line (%1); import "
                                  "again when it has ended.")
                                   .arg(QString::fromStdString(holder)));
        return;
    }
    const CommandScope command;
    const QString status = run_import_command(this, library_, contacts_window_.get(), folder);
    if (origins_)
        origins_->invalidate();
    if (!status.isEmpty())
        show_status(status);
}

void MainFrame::export_android_all() {
    export_android(true);
}

void MainFrame::export_android_boxes() {
    export_android(false);
}

void MainFrame::export_vcard() {
    const QString path = ask_save_file_name(this, tr("Export contacts as vCard"),
                                            tr("vCard files (*.vcf)"), QStringLiteral("vcf"),
                                            dated_file_name(tr("Contacts"), QStringLiteral("vcf")));
    if (path.isEmpty())
        return;
    run_export([&] {
        size_t cards = 0;
        const SaveResult r = quillet::export_vcard(local_path(path), export_contacts(), &cards);
        if (!r)
            return tr("Unable to export the contacts to %1.\nDetails:\n%2")
                .arg(path, QString::fromStdString(r.error));
        show_status(tr("%n contacts exported", nullptr, static_cast<int>(cards)));
        return QString();
    });
}

bool MainFrame::has_conversation() {
    // Only what the view shows now: a message shown earlier is not it.
    if (list_pane_->showing_conversations()
            ? list_pane_->shown_conversation().has_value()
            : html_view_->showing_page() && selected_message_.text().has_value())
        return true;
    show_message_box(this, list_pane_->showing_conversations()
                               ? tr("Select a conversation first.")
                               : tr("Select a message of the conversation first."));
    return false;
}

Correspondence MainFrame::selected_conversation() {
    // The conversation shown is the one the window groups: every spelling
    // the network takes as its number.
    if (std::optional<Correspondence> shown = list_pane_->shown_conversation())
        return std::move(*shown);
    return correspondence_with(recipients_of(selected_message_.number()).front(),
                               {inbox(), sent_items(), &deleted_items()},
                               export_contacts().phone_numbers());
}

QString MainFrame::conversation_title(const Correspondence& c) const {
    return correspondent_title(export_contacts().find_name_by_number(c.number), c.number);
}

void MainFrame::export_conversation_pdf() {
    if (!has_conversation())
        return;
    const QString path = ask_save_file_name(
        this, tr("Export conversation as PDF"), tr("PDF files (*.pdf)"), QStringLiteral("pdf"),
        dated_file_name(conversation_title(selected_conversation()), QStringLiteral("pdf")));
    if (path.isEmpty())
        return;
    run_export([&] {
        const Correspondence c = selected_conversation();
        const QString error =
            write_conversation_pdf(path, {conversation_title(c), &c}, QLocale::system());
        if (!error.isEmpty())
            return tr("Unable to export the conversation to %1.\nDetails:\n%2").arg(path, error);
        show_status(tr("Conversation of %n messages exported", nullptr,
                       static_cast<int>(c.messages.size())));
        return QString();
    });
}

void MainFrame::print_conversation() {
    if (!has_conversation())
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(paper_size_for(QLocale::system())));
    printer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    if (!ask_printer(this, printer))
        return;
    run_export([&] {
        const Correspondence c = selected_conversation();
        if (paint_conversation(printer, {conversation_title(c), &c}, QLocale::system()) == 0)
            return tr("Unable to print the conversation.");
        show_status(tr("Conversation printed."));
        return QString();
    });
}

void MainFrame::export_archive() {
    // The archive is a new folder: the name typed is the folder's.
    const QString path =
        ask_save_file_name(this, tr("Export archive to a new folder"), QString(), QString(),
                           dated_file_name(QStringLiteral("Quillet"), QString()));
    if (path.isEmpty())
        return;
    run_export([&] {
        const ArchiveResult r =
            write_archive(path, {inbox(), sent_items(), &deleted_items()}, export_contacts(),
                          QLocale::system(), [this](size_t done, size_t total) {
                              set_progress(total == 0 ? 0 : static_cast<int>(100 * done / total));
                          });
        set_progress(-1);
        if (!r.ok())
            return tr("Unable to write the archive.\nDetails:\n%1").arg(r.error);
        show_status(tr("Archive written: %1 messages, %2 contacts, %3 conversations%4")
                        .arg(r.messages)
                        .arg(r.cards)
                        .arg(r.conversations)
                        .arg(replaced_note(r.replaced)));
        return QString();
    });
}

}  // namespace quillet
