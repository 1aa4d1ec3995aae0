#include "desktop/views/delete_command.h"

#include <QCoreApplication>
#include <QStringList>

#include "desktop/library/message_library.h"
#include "desktop/views/command_scope.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/shown_list.h"
#include "desktop/views/sms_list_view.h"
#include "desktop/views/status_panes.h"

namespace quillet {
namespace {

class DeleteCommand {
    Q_DECLARE_TR_FUNCTIONS(DeleteCommand)

  public:
    static QString done_text(const DeletionReport& done, bool on_device);
    static QString question(const ChosenMessages& chosen, bool on_device);

  private:
    static QString correspondents_text(const QStringList& names);
    static QString conversation_question(const ConversationChoice& choice, bool on_device);
};

// The status text after a deletion: what it really did.
QString DeleteCommand::done_text(const DeletionReport& done, bool on_device) {
    if (done.asked == 0)
        return tr("No message selected: nothing deleted.");
    if (!done.link_failure)
        return on_device ? tr("SMS Message(s) deleted.") : tr("Message(s) deleted.");
    if (done.deleted == 0)
        return on_device ? tr("No message deleted on device: the phone could not be reached.")
                         : tr("No message deleted: the phone could not be reached.");
    return (on_device ? tr("%1 of %2 messages deleted on device: the phone could not be "
                           "reached.")
                      : tr("%1 of %2 messages deleted: the phone could not be reached."))
        .arg(done.deleted)
        .arg(done.asked);
}

// "Nora Weiss", "Nora Weiss and Paul", "Nora Weiss, Paul and 3 others".
QString DeleteCommand::correspondents_text(const QStringList& names) {
    constexpr qsizetype kNamed = 3;
    if (names.size() == 1)
        return names.front();
    if (names.size() <= kNamed) {
        return tr("%1 and %2")
            .arg(names.mid(0, names.size() - 1).join(QStringLiteral(", ")), names.back());
    }
    return tr("%1 and %2 others")
        .arg(names.mid(0, kNamed - 1).join(QStringLiteral(", ")))
        .arg(names.size() - kNamed + 1);
}

// One key removes whole exchanges: the question says how much and whose.
QString DeleteCommand::conversation_question(const ConversationChoice& choice, bool on_device) {
    const QString who = correspondents_text(choice.correspondents);
    const bool one = choice.messages == 1;
    QString text;
    if (on_device) {
        text = one ? tr("Delete the message exchanged with %1 on the phone?").arg(who)
                   : tr("Delete the %1 messages exchanged with %2 on the phone?")
                         .arg(choice.messages)
                         .arg(who);
        return text + QLatin1Char(' ') +
               tr("Quillet keeps its copies, marked as no longer on the phone.");
    }
    text = one ? tr("Delete the message exchanged with %1, on the phone and here?").arg(who)
               : tr("Delete the %1 messages exchanged with %2, on the phone and here?")
                     .arg(choice.messages)
                     .arg(who);
    if (choice.shared == 1) {
        text += QLatin1Char(' ') +
                tr("One of them also went to others and leaves their conversations too.");
    } else if (choice.shared > 1) {
        text += QLatin1Char(' ') +
                tr("%1 of them also went to others and leave their conversations too.")
                    .arg(choice.shared);
    }
    return text;
}

// Whole conversations, or several messages at once: the question says how
// many, whose and where from. Empty: one message or none, asked for no
// question.
QString DeleteCommand::question(const ChosenMessages& chosen, bool on_device) {
    if (chosen.conversations) {
        if (chosen.conversations->messages == 0)
            return {};
        return conversation_question(*chosen.conversations, on_device);
    }
    const int count = static_cast<int>(chosen.refs.size());
    if (count <= 1)
        return {};
    return on_device ? tr("Delete these %n messages on the phone? Quillet keeps its copies.",
                          nullptr, count)
                     : tr("Delete these %n messages, on the phone and here?", nullptr, count);
}

}  // namespace

void run_delete_command(QWidget* parent, ShownList& list, MessageLibrary& library,
                        DeviceOperations& device, bool on_device, StatusPanes& status) {
    const ChosenMessages chosen = list.chosen();
    const QString question = DeleteCommand::question(chosen, on_device);
    if (!question.isEmpty() && !ask_yes_no(parent, question))
        return;
    const CommandScope command;
    status.show(on_device ? DeleteCommand::tr("Deleting SMS message(s) on device...")
                          : DeleteCommand::tr("Deleting SMS message(s)..."));
    const DeleteWhere where = on_device ? DeleteWhere::OnPhoneOnly : DeleteWhere::HereAndOnPhone;
    const DeletionReport done = library.delete_messages(chosen.refs, where, device);
    if (done.link_failure)
        show_message_box(parent, SmsListView::delete_failure_text(*done.link_failure));
    list.after_deletion(chosen, done.deleted, where == DeleteWhere::HereAndOnPhone);
    status.show(DeleteCommand::done_text(done, on_device));
}

}  // namespace quillet
