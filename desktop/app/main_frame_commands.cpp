// The main window's commands.
#include <QApplication>
#include <QDir>

#include "desktop/app/export_commands.h"
#include "desktop/app/main_frame.h"
#include "desktop/app/tray_notice.h"
#include "desktop/composer/new_sms_window.h"
#include "desktop/store/log_file.h"
#include "desktop/views/about_box.h"
#include "desktop/views/box_files.h"
#include "desktop/views/command_scope.h"
#include "desktop/views/contacts_window.h"
#include "desktop/views/delete_command.h"
#include "desktop/views/engine_texts.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/help_window.h"
#include "desktop/views/html_form_view.h"
#include "desktop/views/import_command.h"
#include "desktop/views/import_history.h"
#include "desktop/views/list_pane.h"
#include "desktop/views/move_command.h"
#include "desktop/views/options_window.h"
#include "desktop/views/restore_command.h"
#include "desktop/views/sms_list_view.h"
#include "desktop/views/sms_tree_view.h"
#include "desktop/views/status_panes.h"
#include "protocol/text_codec.h"

namespace quillet {

void MainFrame::after_command() {
    if (!shut_down_)
        box_files_->save_changed();
    list_pane_->boxes_changed();
    if (get_sms_waiting_) {
        get_sms_waiting_ = false;
        QMetaObject::invokeMethod(this, &MainFrame::on_button_get_sms, Qt::QueuedConnection);
    }
}

void MainFrame::say_out_of_memory() {
    show_message_box(this, tr("There is not enough memory to finish this command. What it "
                              "finished is kept; close other programs and try again."));
}

void MainFrame::show_conversations() {
    tree_view_->select_conversations_quietly();
    list_pane_->show_conversations();
}

void MainFrame::show_box(BoxKind kind) {
    current_box_ = &box(kind);
    tree_view_->select_quietly(kind);
    list_pane_->show_box(*current_box_);
}

void MainFrame::show_arrived_message(const SmsMessage& message) {
    show_box(BoxKind::Inbox);
    list_view_->select_message(message);
}

void MainFrame::on_button_get_sms() {
    if (CommandScope::running()) {
        get_sms_waiting_ = true;
        return;
    }
    const CommandScope command;
    program_log().log_line("on_button_get_sms() {");
    status_->show(tr("Retrieving messages..."));
    const uint64_t shown_revision = current_box_->revision();
    const GetSmsReport got = library_.get_sms(link_, options_, status_.get());
    status_->set_progress(-1);
    // A Get SMS that finds the box as it was leaves the list as it is:
    // refilling a big box is most of such a command's time.
    if (current_box_->revision() != shown_revision)
        list_view_->fill_from_box(*current_box_);
    if (!got.ok()) {
        status_->show(QString());
        tray_->fetched(0, std::nullopt);
        show_message_box(this, got.link_failure
                                   ? failure_text(tr("Please Check your ActiveSync connection.\n"
                                                     "Details:\n"),
                                                  *got.link_failure)
                                   : tr("There is not enough memory to take in all of the "
                                        "phone's messages. Nothing is lost: what was not taken "
                                        "in is still on the phone. Close other programs and "
                                        "choose Get SMS again."));
        Q_EMIT getSmsFinished(-1);
        return;
    }
    const int count = static_cast<int>(got.new_messages);
    tray_->fetched(static_cast<int>(got.arrived), got.newest_arrived);
    // After a burst the notice counts every arrival since the user last
    // looked; the status says the same, not only this fetch's share.
    QString status = tr("%n new imported messages", nullptr, count);
    if (tray_->unseen() > count)
        status += tr(" (%n new since you last looked)", nullptr, tray_->unseen());
    status_->show(status);
    Q_EMIT getSmsFinished(count);
}

void MainFrame::move_to_pc() {
    if (CommandScope::running())
        return;
    const CommandScope command;
    const auto refill = [this] { list_view_->fill_from_box(*current_box_); };
    status_->show(run_move_command(this, library_, link_, options_, status_.get(), refill));
}

void MainFrame::restore_to_phone() {
    if (CommandScope::running())
        return;
    const CommandScope command;
    RestoreOffer offer;
    list_pane_->shown().offer_to_restore(offer);
    if (contacts_window_)
        offer.contacts = contacts_window_->contacts().contacts();
    const QString status = run_restore_command(this, library_, link_, offer, status_.get());
    // The written messages are on the phone now.
    list_view_->fill_from_box(*current_box_);
    if (!status.isEmpty())
        status_->show(status);
}

void MainFrame::import_from(bool folder) {
    const CommandScope command;
    const QString status = run_import_command(this, library_, contacts_window_.get(), folder);
    if (origins_)
        origins_->invalidate();
    if (!status.isEmpty())
        status_->show(status);
}

void MainFrame::show_imports() {
    if (CommandScope::running())
        return;
    {
        // What quillet-cli imported meanwhile shows in the lists too.
        const CommandScope command;
        box_files_->take_in();
        if (origins_)
            origins_->invalidate();
    }
    if (!imports_window_) {
        imports_window_ = std::make_unique<ImportHistoryWindow>(
            library_,
            [this](const QString& status) {
                if (origins_)
                    origins_->invalidate();
                if (!status.isEmpty())
                    status_->show(status);
            },
            this);
    }
    imports_window_->show_history();
}

NewSmsWindow* MainFrame::new_sms() {
    if (!contacts_window_)
        return nullptr;
    auto* composer = new NewSmsWindow(link_, sent_items(), *contacts_window_);
    composer_ = composer;
    std::erase_if(composers_, [](const QPointer<NewSmsWindow>& p) { return p.isNull(); });
    composers_.emplace_back(composer);
    connect(composer, &NewSmsWindow::closing, this, [this](QSize size) { composer_size_ = size; });
    const QRect frame = frameGeometry();
    composer->setGeometry(QRect(QPoint(frame.left() + 50, frame.top() + 100), composer_size_));
    composer->show();
    composer->raise();
    composer->activateWindow();
    return composer;
}

void MainFrame::reply() {
    if (!contacts_window_)
        return;
    const std::optional<TextField> number = list_pane_->shown().correspondent();
    if (!number)
        return;
    NewSmsWindow* composer = new_sms();
    if (composer == nullptr)
        return;
    Contact contact;
    set_text_field(
        contact.name,
        to_ansi_field(contacts_window_->contacts().find_name_by_number(text_field(*number))));
    contact.number = *number;
    composer->add_recipient(contact);
}

void MainFrame::forward() {
    if (list_pane_->shown().message_shown() == nullptr)
        return;
    NewSmsWindow* composer = new_sms();
    if (composer == nullptr)
        return;
    composer->set_message_text(list_pane_->last_shown().text_view());
}

void MainFrame::delete_messages() {
    run_delete_command(this, list_pane_->shown(), library_, link_, false, *status_);
}

void MainFrame::delete_messages_on_device() {
    run_delete_command(this, list_pane_->shown(), library_, link_, true, *status_);
}

void MainFrame::mark_read() {
    const CommandScope command;
    list_pane_->shown().mark_selected(true);
}

void MainFrame::mark_unread() {
    const CommandScope command;
    list_pane_->shown().mark_selected(false);
}

void MainFrame::select_all() {
    const CommandScope command;
    list_pane_->shown().select_all();
}

void MainFrame::show_contacts() {
    if (contacts_window_)
        contacts_window_->show_for(nullptr);
}

void MainFrame::show_options() {
    if (options_window_)
        options_window_->show_with(options_);
}

void MainFrame::show_help() {
    if (!help_window_)
        help_window_ = std::make_unique<HelpWindow>();
    help_window_->show_manual();
}

void MainFrame::show_about() {
    AboutBox about(this);
    about.exec();
}

void MainFrame::export_csv() {
    exports_->box(*current_box_, tree_view_->node(current_box_->kind())->text(0), false);
}

void MainFrame::export_xml() {
    exports_->box(*current_box_, tree_view_->node(current_box_->kind())->text(0), true);
}

void MainFrame::print_conversation() {
    exports_->print_conversation(list_pane_->shown());
}

}  // namespace quillet
