// The main window's box files: loading them at start-up and saving the
// boxes whose revision moved past what their file holds.
#include <QDir>
#include <QFile>
#include <filesystem>

#include "desktop/app/main_frame.h"
#include "desktop/store/app_paths.h"
#include "desktop/store/safe_file.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/window_parts.h"

namespace quillet {

namespace {

// Where the file went, for the messages below.
QString kept_aside_text(const LoadBoxResult& result, const QString& missing) {
    if (result.kept_aside.empty())
        return missing;
    return MainFrame::tr("The file was kept as %1.")
        .arg(QString::fromStdString(result.kept_aside.string()));
}

}  // namespace

void MainFrame::load_boxes() {
    // What saves killed half-way left behind; a save running now is left alone.
    remove_interrupted_saves(library_.folder());
    for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems}) {
        // Ended while a message box about an earlier file was open: the
        // boxes not read yet stay unread, so they are never saved.
        if (shut_down_)
            return;
        const std::u16string_view name = box_file_name(kind);
        const LoadBoxResult result = library_.load_box(kind);
        const QString detail = QString::fromStdString(result.detail);
        switch (result.status) {
            case LoadBoxResult::Status::UnknownHeader:
                show_message_box(
                    this,
                    tr("Unknown version of Quillet in inbox files.\n") +
                        kept_aside_text(result, tr("The file is left where it is and will not "
                                                   "be saved over.")));
                break;
            case LoadBoxResult::Status::Damaged:
                show_message_box(
                    this, tr("The box file %1 is damaged: %2 messages could be read.\nDetails:\n"
                             "%3\n")
                                  .arg(to_qstring(name))
                                  .arg(result.records)
                                  .arg(detail) +
                              kept_aside_text(result, tr("No copy of the file as found could "
                                                         "be kept.")));
                break;
            case LoadBoxResult::Status::Unreadable:
                show_message_box(
                    this,
                    tr("The box file %1 could not be read; the box starts empty.\nDetails:\n%2\n")
                            .arg(to_qstring(name), detail) +
                        kept_aside_text(result, tr("The file is left where it is and will not "
                                                   "be saved over.")));
                break;
            case LoadBoxResult::Status::Missing:
            case LoadBoxResult::Status::Loaded:
                break;
        }
    }
}

QStringList MainFrame::save_boxes_behind() {
    return told(library_.save_changed());
}

QStringList MainFrame::told(const BoxSaveReport& report) {
    if (report.taken_in > 0) {
        show_status(tr("%n messages that another program kept in the box files were taken in.",
                       nullptr, static_cast<int>(report.taken_in)));
    }
    QStringList failures;
    for (const std::string& failure : report.failures)
        failures << QString::fromStdString(failure);
    return failures;
}

bool MainFrame::changes_kept_or_let_go() {
    for (;;) {
        const QStringList failures = save_boxes_behind();
        if (failures.isEmpty())
            return true;
        const int choice = ask_choice(
            this,
            tr("Your messages could not be saved. This session's changes (messages read or "
               "deleted here, messages sent from Quillet, which the phone keeps no copy of) "
               "would be lost.\nDetails:\n") +
                failures.join(QLatin1Char('\n')),
            {tr("Retry"), tr("Save to another folder..."), tr("Quit without saving")});
        if (choice < 0)
            return false;
        if (choice == 2) {
            changes_let_go_ = true;
            return true;
        }
        if (choice == 1 && saved_elsewhere())
            return true;
    }
}

bool MainFrame::saved_elsewhere() {
    const QString folder =
        ask_save_file_name(this, tr("Save the messages to a new folder"), QString(), QString());
    if (folder.isEmpty())
        return false;
    const BoxSaveReport report =
        QDir().mkpath(folder)
            ? library_.save_copy_to(std::filesystem::path(QFile::encodeName(folder).toStdString()))
            : BoxSaveReport{.failures = {tr("The folder could not be made.").toStdString()}};
    if (!report.failures.empty()) {
        show_message_box(this, tr("Unable to save your messages in %1.\nDetails:\n%2")
                                   .arg(folder, QString::fromStdString(report.failures.front())));
        return false;
    }
    show_message_box(this,
                     tr("Your messages were saved in %1. To go on with them, copy the files "
                        "there into the data folder once it can be written.")
                         .arg(folder),
                     QMessageBox::Information);
    changes_let_go_ = true;
    return true;
}

void MainFrame::save_changed_boxes() {
    if (shut_down_)
        return;
    // A large box is written on a thread of its own; the window goes on.
    // Its end is heard on the window's thread. The library waits for that
    // thread before it goes, so this window (the context) outlives it.
    report_save_failures(told(library_.save_changed_in_background([this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (shut_down_)
                    return;
                report_save_failures(told(library_.finish_background_save()));
                save_changed_boxes();  // what changed while it ran
            },
            Qt::QueuedConnection);
    })));
}

void MainFrame::report_save_failures(const QStringList& failures) {
    if (failures.isEmpty()) {
        save_failure_shown_ = false;
        return;
    }
    // Said once until a save works again; the boxes stay behind and are
    // tried again after every later command.
    if (save_failure_shown_)
        return;
    save_failure_shown_ = true;
    show_message_box(
        this, tr("Unable to save your messages.\nDetails:\n") + failures.join(QLatin1Char('\n')));
}

}  // namespace quillet
