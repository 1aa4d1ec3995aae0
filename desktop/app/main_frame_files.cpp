// The main window's box files: loading them at start-up and saving the
// boxes a command changed.
#include "desktop/app/main_frame.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/window_parts.h"

namespace quillet {

void MainFrame::load_boxes() {
    for (SmsBox* box : {&inbox_, &sent_items_, &deleted_items_}) {
        const std::u16string_view name = box_file_name(box->kind());
        const LoadBoxResult result = box->load_box(name);
        const QString kept = QString::fromStdString(result.kept_aside.string());
        switch (result.status) {
            case LoadBoxResult::Status::UnknownHeader:
                show_message_box(this,
                                 kept.isEmpty()
                                     ? QStringLiteral("Unknown version of Quillet in inbox files.")
                                     : QStringLiteral("Unknown version of Quillet in inbox files.\n"
                                                      "The file was kept as %1.")
                                           .arg(kept));
                break;
            case LoadBoxResult::Status::Damaged:
                show_message_box(this,
                                 QStringLiteral("The box file %1 is damaged: %2 messages could be "
                                                "read.\nDetails:\n%3\nThe file as found was kept "
                                                "as %4.")
                                     .arg(to_qstring(name))
                                     .arg(result.records)
                                     .arg(QString::fromStdString(result.detail), kept));
                break;
            case LoadBoxResult::Status::Unreadable:
                show_message_box(this,
                                 QStringLiteral("The box file %1 could not be read; the box starts "
                                                "empty.\nDetails:\n%2")
                                     .arg(to_qstring(name), QString::fromStdString(result.detail)));
                break;
            case LoadBoxResult::Status::Missing:
            case LoadBoxResult::Status::Loaded:
                break;
        }
    }
}

void MainFrame::mark_changed(const SmsBox& box) {
    changed_[static_cast<int>(box.kind())] = true;
}

void MainFrame::save_changed_boxes() {
    if (shut_down_)
        return;
    QStringList failures;
    for (SmsBox* box : {&inbox_, &sent_items_, &deleted_items_}) {
        bool& changed = changed_[static_cast<int>(box->kind())];
        if (!changed)
            continue;
        const std::u16string_view name = box_file_name(box->kind());
        const SaveResult result = box->save_box(name);
        if (result) {
            changed = false;
        } else {
            failures << to_qstring(name) + QStringLiteral(": ") +
                            QString::fromStdString(result.error);
        }
    }
    report_save_failures(failures);
}

void MainFrame::report_save_failures(const QStringList& failures) {
    if (failures.isEmpty()) {
        save_failure_shown_ = false;
        return;
    }
    // Said once until a save works again; the boxes stay marked and are
    // tried again after every later command.
    if (save_failure_shown_)
        return;
    save_failure_shown_ = true;
    show_message_box(this, QStringLiteral("Unable to save your messages.\nDetails:\n") +
                               failures.join(QLatin1Char('\n')));
}

}  // namespace quillet
