// File > Export and Print Conversation: the boxes, the contacts or a
// conversation written for other programs or put on paper. Each asks where
// to (or for a printer), runs as a command, says in the status bar what it
// wrote and in a message box what failed.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <functional>

class QWidget;

namespace quillet {

class ContactList;
struct Correspondence;
class MessageLibrary;
class ShownList;
class SmsBox;
class StatusPanes;

class ExportCommands {
    Q_DECLARE_TR_FUNCTIONS(ExportCommands)

  public:
    // All three must outlive the commands.
    ExportCommands(QWidget& parent, MessageLibrary& library, StatusPanes& status);

    // Names and numbers for what is written; not owned, may stay null.
    void set_contacts(const ContactList* contacts) { contacts_ = contacts; }

    // `box` as CSV or XML; `name` is the box as the window names it.
    void box(const SmsBox& box, const QString& name, bool xml);
    // Inbox and Sent Items (and Deleted Items) as an Android SMS backup; the
    // status says how many messages, and how many characters XML could not
    // carry.
    void android(bool with_deleted);
    void vcard();
    // The conversation `list` shows, or that of the message it shows (every
    // box, every spelling of its number), as PDF or on a printer.
    void conversation_pdf(ShownList& list);
    void print_conversation(ShownList& list);
    // Everything into one new folder (archive.h).
    void archive();

  private:
    const ContactList& contacts() const;
    // Runs `work` as a command; a failure text it returns is shown in a
    // message box.
    void run(const std::function<QString()>& work);
    bool has_conversation(ShownList& list);
    QString title(const Correspondence& c) const;

    QWidget& parent_;
    MessageLibrary& library_;
    StatusPanes& status_;
    const ContactList* contacts_ = nullptr;
};

}  // namespace quillet
