// The main window's commands.
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QTextStream>

#include "desktop/app/main_frame.h"
#include "desktop/composer/new_sms_window.h"
#include "desktop/formats/csv_xml_export.h"
#include "desktop/store/log_file.h"
#include "desktop/store/orx_exception.h"
#include "desktop/views/about_box.h"
#include "desktop/views/command_scope.h"
#include "desktop/views/contacts_window.h"
#include "desktop/views/engine_texts.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/help_window.h"
#include "desktop/views/html_form_view.h"
#include "desktop/views/list_pane.h"
#include "desktop/views/move_command.h"
#include "desktop/views/options_window.h"
#include "desktop/views/restore_command.h"
#include "desktop/views/sms_list_view.h"
#include "desktop/views/sms_tree_view.h"
#include "desktop/views/window_parts.h"
#include "protocol/text_codec.h"

namespace quillet {

namespace {

std::filesystem::path local_path(const QString& path) {
    return std::filesystem::path(path.toStdString());
}

}  // namespace

void MainFrame::after_command() {
    save_changed_boxes();
    if (list_pane_->box_list_shown() && !list_view_->list_model().rows_match_box())
        list_view_->fill_from_box(*current_box_);
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
    if (isVisible() && !list_pane_->showing_conversations())
        html_view_->show_message(nullptr, kIdleTemplate);
    list_pane_->show_conversations();
}

void MainFrame::show_box(BoxKind kind) {
    current_box_ = &box(kind);
    tree_view_->select_quietly(current_box_->kind());
    // Another box: nothing of it is shown yet. The same box again keeps the
    // message shown and selected (back from the conversations: shown again).
    const bool from_conversations = list_pane_->showing_conversations();
    if (isVisible() && (list_view_->current_box() != current_box_ || from_conversations))
        html_view_->show_message(nullptr, kIdleTemplate);
    list_pane_->show_box(*current_box_);
    if (from_conversations && list_pane_->box_list_shown())
        list_view_->redisplay();
    list_view_->setColumnWidth(MessageListModel::kSender, sender_width_);
}

void MainFrame::ask_for_get_sms() {
    on_button_get_sms();
}

void MainFrame::on_button_get_sms() {
    if (CommandScope::running()) {
        get_sms_waiting_ = true;
        return;
    }
    const CommandScope command;
    program_log().log_line("on_button_get_sms() {");
    show_status(tr("Retrieving messages..."));
    const uint64_t shown_revision = current_box_->revision();
    const GetSmsReport got = library_.get_sms(link_, options_, this);
    set_progress(-1);
    // A Get SMS that finds the box as it was leaves the list as it is:
    // refilling a big box is most of such a command's time.
    if (current_box_->revision() != shown_revision)
        list_view_->fill_from_box(*current_box_);
    if (!got.ok()) {
        show_status(QString());
        show_new_message_notice(0, {});
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
    QString sender;
    if (got.newest_arrived) {
        newest_arrived_ = *got.newest_arrived;
        sender = sender_name(newest_arrived_);
    }
    show_new_message_notice(static_cast<int>(got.arrived), sender);
    // After a burst the notice counts every arrival since the user last
    // looked; the status says the same, not only this fetch's share.
    QString status = tr("%n new imported messages", nullptr, count);
    if (notice_count_ > count)
        status += tr(" (%n new since you last looked)", nullptr, notice_count_);
    show_status(status);
    Q_EMIT getSmsFinished(count);
}

void MainFrame::move_to_pc() {
    if (CommandScope::running())
        return;
    const CommandScope command;
    const auto refill = [this] { list_view_->fill_from_box(*current_box_); };
    const QString status = run_move_command(this, library_, link_, options_, this, refill);
    refill();
    show_status(status);
}

void MainFrame::restore_to_phone() {
    if (CommandScope::running())
        return;
    const CommandScope command;
    RestoreOffer offer;
    if (const auto shown = list_pane_->shown_conversation()) {
        offer.conversation = shown->number;
        const QString name = to_qstring(list_pane_->shown_conversation_name());
        const QString number = to_qstring(from_ansi(shown->number));
        offer.conversation_name =
            name.isEmpty() ? number : QStringLiteral("%1 (%2)").arg(name, number);
    }
    if (!list_pane_->showing_conversations())
        offer.selection = list_pane_->chosen_messages().refs;
    if (contacts_window_)
        offer.contacts = contacts_window_->contacts().contacts();
    const QString status = run_restore_command(this, library_, link_, offer, this);
    if (!status.isEmpty())
        show_status(status);
}

QString MainFrame::sender_name(const SmsMessage& message) const {
    const QString number = to_qstring(from_ansi(message.number()));
    if (!contacts_window_)
        return number;
    const QString name =
        to_qstring(contacts_window_->contacts().find_name_by_number(message.number()));
    if (name.isEmpty() || name == number)
        return number;
    return QStringLiteral("%1 (%2)").arg(name, number);
}

NewSmsWindow* MainFrame::new_sms() {
    if (!contacts_window_)
        return nullptr;
    auto* composer = new NewSmsWindow(link_, sent_items(), *contacts_window_);
    composer_ = composer;
    composers_.erase(std::remove_if(composers_.begin(), composers_.end(),
                                    [](const QPointer<NewSmsWindow>& p) { return p.isNull(); }),
                     composers_.end());
    composers_.emplace_back(composer);
    connect(composer, &NewSmsWindow::closing, this, [this](QSize size) { composer_size_ = size; });
    const QRect frame = frameGeometry();
    composer->setGeometry(QRect(QPoint(frame.left() + 50, frame.top() + 100), composer_size_));
    composer->show();
    composer->raise();
    composer->activateWindow();
    return composer;
}

NewSmsWindow* MainFrame::composer() {
    return composer_.data();
}

void MainFrame::on_message_shown(const SmsMessage& message) {
    selected_message_ = message;
}

bool MainFrame::message_shown() const {
    if (list_pane_->showing_conversations())
        return false;
    if (list_pane_->showing_results())
        return list_pane_->result_shown();
    return list_view_->current_row() != -1;
}

void MainFrame::reply() {
    if (!contacts_window_)
        return;
    if (list_pane_->showing_conversations()) {
        const std::optional<Correspondence> shown = list_pane_->shown_conversation();
        if (!shown)
            return;
        NewSmsWindow* composer = new_sms();
        if (composer == nullptr)
            return;
        Contact contact;
        set_text_field(
            contact.name,
            to_ansi_field(contacts_window_->contacts().find_name_by_number(shown->number)));
        set_text_field(contact.number, shown->number);
        composer->add_recipient(contact);
        return;
    }
    if (!message_shown())
        return;
    NewSmsWindow* composer = new_sms();
    if (composer == nullptr)
        return;
    const std::u16string name =
        contacts_window_->contacts().find_name_by_number(selected_message_.number());
    Contact contact;
    set_text_field(contact.name, to_ansi_field(name));
    contact.number = selected_message_.number_field();
    composer->add_recipient(contact);
}

void MainFrame::forward() {
    if (!message_shown())
        return;
    NewSmsWindow* composer = new_sms();
    if (composer == nullptr)
        return;
    composer->set_message_text(selected_message_.text_view());
}

namespace {

// The status text after a deletion: what it really did.
QString deletion_text(const DeletionReport& done, bool on_device) {
    if (done.asked == 0)
        return MainFrame::tr("No message selected: nothing deleted.");
    if (!done.link_failure)
        return on_device ? MainFrame::tr("SMS Message(s) deleted.")
                         : MainFrame::tr("Message(s) deleted.");
    if (done.deleted == 0)
        return on_device
                   ? MainFrame::tr("No message deleted on device: the phone could not be reached.")
                   : MainFrame::tr("No message deleted: the phone could not be reached.");
    return on_device ? MainFrame::tr(
                           "%1 of %2 messages deleted on device: the phone could not be "
                           "reached.")
                           .arg(done.deleted)
                           .arg(done.asked)
                     : MainFrame::tr("%1 of %2 messages deleted: the phone could not be reached.")
                           .arg(done.deleted)
                           .arg(done.asked);
}

// "Nora Weiss", "Nora Weiss and Paul", "Nora Weiss, Paul and 3 others".
QString correspondents_text(const QStringList& names) {
    constexpr qsizetype kNamed = 3;
    if (names.size() == 1)
        return names.front();
    if (names.size() <= kNamed) {
        return MainFrame::tr("%1 and %2")
            .arg(names.mid(0, names.size() - 1).join(QStringLiteral(", ")), names.back());
    }
    return MainFrame::tr("%1 and %2 others")
        .arg(names.mid(0, kNamed - 1).join(QStringLiteral(", ")))
        .arg(names.size() - kNamed + 1);
}

// One key removes whole exchanges: the question says how much and whose.
QString conversation_deletion_question(const ListPane::ConversationChoice& choice, bool on_device) {
    const QString who = correspondents_text(choice.correspondents);
    const bool one = choice.messages == 1;
    QString text;
    if (on_device) {
        text = one ? MainFrame::tr("Delete the message exchanged with %1 on the phone?").arg(who)
                   : MainFrame::tr("Delete the %1 messages exchanged with %2 on the phone?")
                         .arg(choice.messages)
                         .arg(who);
        return text + QLatin1Char(' ') +
               MainFrame::tr("Quillet keeps its copies, marked as no longer on the phone.");
    }
    text =
        one ? MainFrame::tr("Delete the message exchanged with %1, on the phone and here?").arg(who)
            : MainFrame::tr("Delete the %1 messages exchanged with %2, on the phone and here?")
                  .arg(choice.messages)
                  .arg(who);
    if (choice.shared == 1) {
        text +=
            QLatin1Char(' ') + MainFrame::tr(
                                   "One of them also went to others and leaves their conversations "
                                   "too.");
    } else if (choice.shared > 1) {
        text += QLatin1Char(' ') +
                MainFrame::tr("%1 of them also went to others and leave their conversations too.")
                    .arg(choice.shared);
    }
    return text;
}

// Several messages at once: the question says how many, and where from.
QString deletion_question(const ListPane::Chosen& chosen, bool on_device) {
    const int count = static_cast<int>(chosen.refs.size());
    return on_device
               ? MainFrame::tr("Delete these %n messages on the phone? Quillet keeps its copies.",
                               nullptr, count)
               : MainFrame::tr("Delete these %n messages, on the phone and here?", nullptr, count);
}

}  // namespace

// The conversations delete every message of those selected, after asking;
// the results across the boxes delete the one selected.
void MainFrame::delete_messages() {
    delete_in_list(false);
}

void MainFrame::delete_messages_on_device() {
    delete_in_list(true);
}

void MainFrame::delete_in_list(bool on_device) {
    const ListPane::Chosen chosen = list_pane_->chosen_messages();
    if (chosen.conversations) {
        if (chosen.conversations->messages > 0 &&
            !ask_yes_no(this, conversation_deletion_question(*chosen.conversations, on_device)))
            return;
    } else if (chosen.refs.size() > 1 && !ask_yes_no(this, deletion_question(chosen, on_device))) {
        return;
    }
    const CommandScope command;
    show_status(on_device ? tr("Deleting SMS message(s) on device...")
                          : tr("Deleting SMS message(s)..."));
    const DeleteWhere where = on_device ? DeleteWhere::OnPhoneOnly : DeleteWhere::HereAndOnPhone;
    const DeletionReport done = library_.delete_messages(chosen.refs, where, link_);
    if (done.link_failure) {
        show_message_box(this, SmsListView::delete_failure_text(*done.link_failure));
    }
    list_pane_->after_deletion(chosen, done.deleted, where == DeleteWhere::HereAndOnPhone);
    show_status(deletion_text(done, on_device));
}

// Marking and selecting act on the rows of a box; the conversations and the
// results across the boxes have none to act on.
void MainFrame::mark_read() {
    const CommandScope command;
    if (list_pane_->box_list_shown())
        list_view_->mark_selected_read();
}

void MainFrame::mark_unread() {
    const CommandScope command;
    if (list_pane_->box_list_shown())
        list_view_->mark_selected_unread();
}

void MainFrame::select_all() {
    const CommandScope command;
    if (list_pane_->box_list_shown())
        list_view_->select_all();
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
    export_box(false);
}

void MainFrame::export_xml() {
    export_box(true);
}

void MainFrame::run_export(const std::function<QString()>& work) {
    const CommandScope command;
    const QString failure = work();
    if (failure.isEmpty())
        return;
    show_message_box(this, failure);
}

void MainFrame::export_box(bool xml) {
    const QString box = tree_view_->node(current_box_->kind())->text(0);
    const QString path =
        xml ? ask_save_file_name(this, tr("Export to XML file"), tr("XML files (*.xml)"),
                                 QStringLiteral("xml"), dated_file_name(box, QStringLiteral("xml")))
            : ask_save_file_name(this, tr("Export to CSV file"), tr("CSV files (*.csv)"),
                                 QStringLiteral("csv"),
                                 dated_file_name(box, QStringLiteral("csv")));
    if (path.isEmpty())
        return;
    const CommandScope command;
    static const ContactList no_contacts;
    const ContactList& contacts = contacts_window_ ? contacts_window_->contacts() : no_contacts;
    const SaveResult result = xml ? quillet::export_xml(local_path(path), *current_box_, contacts)
                                  : quillet::export_csv(local_path(path), *current_box_, contacts);
    if (result) {
        show_status(
            tr("%n messages exported to %1", nullptr, static_cast<int>(current_box_->count()))
                .arg(QDir::toNativeSeparators(path)));
        return;
    }
    show_message_box(this, tr("Unable to export the messages to %1.\nDetails:\n%2")
                               .arg(path, QString::fromStdString(result.error)));
}

}  // namespace quillet
