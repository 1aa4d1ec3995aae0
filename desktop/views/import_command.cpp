#include "desktop/views/import_command.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QProgressDialog>
#include <QStringList>
#include <chrono>

#include "desktop/library/data_folder_lock.h"
#include "desktop/library/importer.h"
#include "desktop/library/sync_copies.h"
#include "desktop/store/shown_time.h"
#include "desktop/views/contacts_window.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/import_texts.h"
#include "desktop/views/window_parts.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

// The texts' context for the translations.
class ImportCommand {
    Q_DECLARE_TR_FUNCTIONS(ImportCommand)
};

// The progress dialog: the file, how far, the time left; Cancel stops the
// run before anything is kept.
class ProgressDialog : public ImportProgress {
  public:
    explicit ProgressDialog(QWidget* parent) : dialog_(parent) {
        dialog_.setObjectName(QStringLiteral("importProgress"));
        dialog_.setWindowTitle(ImportCommand::tr("Import"));
        dialog_.setMinimumDuration(300);
        dialog_.setRange(0, 1000);
        dialog_.setWindowModality(Qt::WindowModal);
        started_ = std::chrono::steady_clock::now();
    }
    bool progress(std::string_view file, uint64_t done, uint64_t total) override {
        if (total > 0) {
            dialog_.setValue(static_cast<int>(done * 1000 / total));
            const QString name =
                QFile::decodeName(QByteArray(file.data(), static_cast<qsizetype>(file.size())));
            dialog_.setLabelText(
                ImportCommand::tr("Reading %1\n%2").arg(name, time_left(done, total)));
        }
        QApplication::processEvents();
        return !dialog_.wasCanceled();
    }

  private:
    QString time_left(uint64_t done, uint64_t total) const {
        return quillet::time_left(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count(),
            done, total);
    }

    QProgressDialog dialog_;
    std::chrono::steady_clock::time_point started_;
};

QString file_line(const ImportRecord& r) {
    QString line =
        ImportCommand::tr(
            "%1 (%2): %3 added, %4 already kept, %5 possible "
            "duplicates, %6")
            .arg(QFile::decodeName(QByteArray::fromStdString(r.file)), shown_import_text(r.format))
            .arg(r.added)
            .arg(r.duplicates)
            .arg(r.possible_duplicates)
            .arg(ImportCommand::tr("%n attachments", nullptr,
                                   static_cast<int>(std::min<size_t>(r.attachments, INT32_MAX))));
    for (const auto& [why, count] : r.skipped)
        line += QLatin1Char('\n') +
                ImportCommand::tr("  %1 skipped: %2").arg(count).arg(shown_import_text(why));
    for (const std::string& problem : r.problems)
        line += QLatin1Char('\n') + QStringLiteral("  ") + shown_import_text(problem);
    return line;
}

// The first possible duplicates, so the user can look at them.
QString possible_lines(const ImportFolder& folder, const ImportRun& run) {
    constexpr size_t kShown = 10;
    QStringList lines;
    for (const ImportRecord& r : run.imports) {
        for (const AddedMessage& a : folder.possible(r.id)) {
            if (static_cast<size_t>(lines.size()) == kShown)
                break;
            lines << ImportCommand::tr("  %1, %2")
                         .arg(to_qstring(shown_date_time(a.time)), to_qstring(from_ansi(a.number)));
        }
    }
    if (lines.isEmpty())
        return {};
    return ImportCommand::tr("Possible duplicates (kept, look them up by date and number):") +
           QLatin1Char('\n') + lines.join(QLatin1Char('\n'));
}

}  // namespace

QString another_import_text() {
    return ImportCommand::tr(
        "Another import or undo is running on Quillet's data folder (from the command line); "
        "try again when it has ended.");
}

QString run_import_command(QWidget* parent, MessageLibrary& library, ContactsWindow* contacts,
                           bool folder) {
    if (!ImportLock(library.folder()).held()) {
        show_message_box(parent, another_import_text());
        return {};
    }
    const QStringList chosen = ask_open_file_names(
        parent,
        folder ? ImportCommand::tr("Import a folder of backups")
               : ImportCommand::tr("Import backups"),
        ImportCommand::tr(
            "Backups (*.xml *.zip *.smsbackup *.pib *.mbox *.eml *.msg *.vcf);;All files (*)"),
        folder);
    if (chosen.isEmpty())
        return {};
    std::vector<std::filesystem::path> paths;
    for (const QString& path : chosen)
        paths.emplace_back(QFile::encodeName(path).toStdString());
    return import_paths(parent, library, contacts, paths);
}

bool tell_sync_folder(QWidget* parent, const std::filesystem::path& folder) {
    const SyncService service = sync_service_of(folder);
    if (service == SyncService::None)
        return false;
    show_message_box(
        parent,
        ImportCommand::tr(
            "Quillet's data folder %1 lies in a folder that %2 keeps in step with other "
            "computers. When Quillet changes the boxes on two computers before they were synced, "
            "%2 keeps the boxes of one and puts the other's beside them as conflict copies. "
            "Quillet looks for such copies each time it starts and offers to take their "
            "messages in. Let the folder sync before you start Quillet on another computer.")
            .arg(QFile::decodeName(folder.string().c_str()),
                 QString::fromUtf8(sync_service_name(service))),
        QMessageBox::Information);
    return true;
}

QString offer_conflict_copies(QWidget* parent, MessageLibrary& library, ContactsWindow* contacts) {
    const std::vector<std::filesystem::path> copies =
        not_imported(box_conflict_copies(library.folder()), ImportFolder(library.folder()));
    if (copies.empty())
        return {};
    QStringList names;
    for (const std::filesystem::path& copy : copies)
        names << QFile::decodeName(copy.filename().string().c_str());
    const QString question =
        ImportCommand::tr(
            "The data folder holds %n copies of the boxes that a file-sync program kept when "
            "two computers changed them:\n%1\nMessages kept on the other computer may be only "
            "there. Take them in now? Each copy becomes one import, which File > Imports... "
            "can undo.",
            nullptr, static_cast<int>(copies.size()))
            .arg(names.join(QLatin1Char('\n')));
    if (!ask_yes_no(parent, question))
        return {};
    if (!ImportLock(library.folder()).held()) {
        show_message_box(parent, another_import_text());
        return {};
    }
    return import_paths(parent, library, contacts, copies);
}

QString import_paths(QWidget* parent, MessageLibrary& library, ContactsWindow* contacts,
                     const std::vector<std::filesystem::path>& paths) {
    Importer importer(library, contacts ? &contacts->contacts_to_extend() : nullptr);
    importer.finish_interrupted();
    ImportRun run;
    {
        ProgressDialog progress(parent);
        run = importer.run(paths, false, &progress);
    }
    if (run.outcome.kind() == Outcome::Kind::Cancelled)
        return ImportCommand::tr("Import cancelled: nothing was kept.");
    if (run.outcome.kind() == Outcome::Kind::Refused) {
        show_message_box(parent, another_import_text());
        return {};
    }
    if (contacts != nullptr && run.contacts_added > 0)
        contacts->contacts_added();
    QStringList text;
    for (const ImportRecord& r : run.imports)
        text << ImportCommand::tr("Import %1: %2").arg(r.id).arg(file_line(r));
    if (run.contacts_added > 0)
        text << ImportCommand::tr("%n contacts added", nullptr,
                                  static_cast<int>(run.contacts_added));
    for (const std::string& failure : run.failures)
        text << ImportCommand::tr("Not imported: %1").arg(shown_import_failure(failure));
    if (!run.outcome)
        text << ImportCommand::tr("Nothing was kept: the boxes could not be saved.\nDetails:\n%1")
                    .arg(QString::fromStdString(run.outcome.what()));
    if (const QString possible = possible_lines(importer.folder(), run); !possible.isEmpty())
        text << possible;
    show_message_box(parent, text.join(QLatin1Char('\n')), QMessageBox::Information);
    return ImportCommand::tr("%n messages imported", nullptr, static_cast<int>(run.added()));
}

}  // namespace quillet
