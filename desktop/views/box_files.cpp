#include "desktop/views/box_files.h"

#include <QDir>
#include <QFile>
#include <filesystem>

#include "desktop/library/message_library.h"
#include "desktop/store/app_paths.h"
#include "desktop/store/safe_file.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/status_panes.h"
#include "desktop/views/window_parts.h"

namespace quillet {
namespace {

// Where the file went, for the messages below.
QString kept_aside_text(const LoadBoxResult& result, const QString& missing) {
    if (result.kept_aside.empty())
        return missing;
    return BoxFiles::tr("The file was kept as %1.")
        .arg(QString::fromStdString(result.kept_aside.string()));
}

// What a message box says of a box file that did not load as it is; empty
// when it did.
QString load_problem(BoxKind kind, const LoadBoxResult& result) {
    const QString name = to_qstring(box_file_name(kind));
    const QString detail = QString::fromStdString(result.outcome.what());
    const QString left = BoxFiles::tr("The file is left where it is and will not be saved over.");
    switch (result.status) {
        case LoadBoxResult::Status::UnknownHeader:
            return BoxFiles::tr("Unknown version of Quillet in inbox files.\n") +
                   kept_aside_text(result, left);
        case LoadBoxResult::Status::Damaged:
            return BoxFiles::tr(
                       "The box file %1 is damaged: %2 messages could be read.\n"
                       "Details:\n%3\n")
                       .arg(name)
                       .arg(result.records)
                       .arg(detail) +
                   kept_aside_text(result, BoxFiles::tr("No copy of the file as found could "
                                                        "be kept."));
        case LoadBoxResult::Status::Unreadable:
            return BoxFiles::tr(
                       "The box file %1 could not be read; the box starts empty.\n"
                       "Details:\n%2\n")
                       .arg(name, detail) +
                   kept_aside_text(result, left);
        case LoadBoxResult::Status::Missing:
        case LoadBoxResult::Status::Loaded:
            break;
    }
    return {};
}

}  // namespace

BoxFiles::BoxFiles(QWidget& parent, MessageLibrary& library, StatusPanes& status)
    : parent_(parent), library_(library), status_(status) {}

void BoxFiles::load(const std::function<bool()>& ended) {
    // What saves killed half-way left behind; a save running now is left alone.
    remove_interrupted_saves(library_.folder());
    for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems}) {
        if (ended())
            return;
        const QString problem = load_problem(kind, library_.load_box(kind));
        if (!problem.isEmpty())
            show_message_box(&parent_, problem);
    }
}

QStringList BoxFiles::save_behind() {
    return told(library_.save_changed());
}

void BoxFiles::take_in() {
    report(told(library_.take_in_changes()));
}

QStringList BoxFiles::told(const BoxSaveReport& report) {
    if (report.taken_in > 0) {
        status_.show(tr("%n messages that another program kept in the box files were taken in.",
                        nullptr, static_cast<int>(report.taken_in)));
    }
    QStringList failures;
    for (const Outcome& failure : report.failures)
        failures << QString::fromStdString(failure.what());
    return failures;
}

void BoxFiles::save_changed() {
    if (closed_)
        return;
    // A large box is written on a thread of its own; the window goes on.
    // Its end is heard on the window's thread. The library waits for that
    // thread before it goes, so the window (the context) outlives it.
    report(told(library_.save_changed_in_background([this] {
        QMetaObject::invokeMethod(
            &parent_,
            [this] {
                if (closed_)
                    return;
                report(told(library_.finish_background_save()));
                save_changed();  // what changed while it ran
            },
            Qt::QueuedConnection);
    })));
}

void BoxFiles::save_last(QStringList failures) {
    closed_ = true;
    if (!let_go_)
        failures << save_behind();
    failure_shown_ = false;  // the last chance to say it
    report(failures);
}

bool BoxFiles::kept_or_let_go() {
    for (;;) {
        const QStringList failures = save_behind();
        if (failures.isEmpty())
            return true;
        const int choice = ask_choice(
            &parent_,
            tr("Your messages could not be saved. This session's changes (messages read or "
               "deleted here, messages sent from Quillet, which the phone keeps no copy of) "
               "would be lost.\nDetails:\n") +
                failures.join(QLatin1Char('\n')),
            {tr("Retry"), tr("Save to another folder..."), tr("Quit without saving")});
        if (choice < 0)
            return false;
        if (choice == 2) {
            let_go_ = true;
            return true;
        }
        if (choice == 1 && saved_elsewhere())
            return true;
    }
}

bool BoxFiles::saved_elsewhere() {
    const QString folder =
        ask_save_file_name(&parent_, tr("Save the messages to a new folder"), QString(), QString());
    if (folder.isEmpty())
        return false;
    const BoxSaveReport report =
        QDir().mkpath(folder)
            ? library_.save_copy_to(std::filesystem::path(QFile::encodeName(folder).toStdString()))
            : BoxSaveReport{.failures = {Outcome::unwritable(
                                tr("The folder could not be made.").toStdString())}};
    if (!report.failures.empty()) {
        show_message_box(&parent_,
                         tr("Unable to save your messages in %1.\nDetails:\n%2")
                             .arg(folder, QString::fromStdString(report.outcome().what())));
        return false;
    }
    show_message_box(&parent_,
                     tr("Your messages were saved in %1. To go on with them, copy the files "
                        "there into the data folder once it can be written.")
                         .arg(folder),
                     QMessageBox::Information);
    let_go_ = true;
    return true;
}

void BoxFiles::report(const QStringList& failures) {
    if (failures.isEmpty()) {
        failure_shown_ = false;
        return;
    }
    // Said once until a save works again; the boxes stay behind and are
    // tried again after every later command.
    if (failure_shown_)
        return;
    failure_shown_ = true;
    show_message_box(&parent_, tr("Unable to save your messages.\nDetails:\n") +
                                   failures.join(QLatin1Char('\n')));
}

}  // namespace quillet
