// The composer: a window in which one message is written, addressed and
// sent through the phone, one SMS per recipient, with a copy per recipient
// kept in Sent Items. Several composers may be open at once; each deletes
// itself when it closes, and stops being the contacts window's target then.
//
// Widgets (objectName):
//   "newSmsWindow"       the window, titled "New SMS"
//   "newSmsForm"         NewSmsForm (which documents its controls)
//   "sendMenuAction"     menu "&Sms" > "&Send" (shortcut Ctrl+S)
//   "cancelMenuAction"   menu "&Sms" > "&Cancel"
//   "addMenuAction"      menu "&Contacts" > "&Add" (shortcut F4)
//   "sendToolAction"     toolbar "Send message"
//   "contactsToolAction" toolbar "Get from contacts"
//   "statusPane"         QLabel, status pane 0 ("Sending SMS Message...",
//                        "SMS Message Sent.", or what went wrong)
// Keys: Ctrl+S sends, F4 opens the contacts window, wherever the focus is.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <optional>
#include <string_view>
#include <vector>

#include "desktop/store/device_operations.h"
#include "desktop/store/sms_box.h"
#include "desktop/views/contacts_window.h"
#include "desktop/views/recipient_sink.h"

class QLabel;
class QToolBar;

namespace quillet {

class NewSmsForm;

class NewSmsWindow : public QMainWindow, public RecipientSink {
    Q_OBJECT

  public:
    // `phone` and `sent_items` must outlive the window.
    NewSmsWindow(DeviceOperations& phone, SmsBox& sent_items, ContactsWindow& contacts,
                 QWidget* parent = nullptr);
    ~NewSmsWindow() override;

    // A recipient from the contacts window or Reply; a number already
    // listed is ignored. The cursor goes to the text, which comes next.
    void add_recipient(const Contact& contact) override;
    // Forward: the message text (its CR LF line breaks as they are stored);
    // the cursor goes to the To: line, which comes next.
    void set_message_text(std::u16string_view text);

    // Sends the message to every recipient, one SMS each, reporting each
    // refused one in a message box; a number still in edit (To: line or list
    // cell) is committed first. Once one SMS went out it appends one copy per
    // recipient (refused ones included) to Sent Items and closes, saying how
    // many were sent. Recipients that are one number in two spellings get
    // one SMS and one copy. A recipient the phone cannot send to (see
    // sendable_address) stops the sending before anything went out: its row
    // is marked and a message box names it. When every recipient was refused nothing is stored and
    // the window stays open with its text. It is one command: Sent Items is
    // saved when it ends. Without a recipient it says "Please fill in a
    // recipient." and stays.
    void send_message();
    // A text was written and not sent: closing asks before it is dropped.
    bool has_draft() const;
    // Shows the contacts window with this composer as its target.
    void show_contacts();

    NewSmsForm& form() { return *form_; }

  Q_SIGNALS:
    // The window is closing (and deleting itself) at this size.
    void closing(QSize size);

  protected:
    void closeEvent(QCloseEvent* event) override;
    // A new palette (the desktop turned dark or light): the toolbar's
    // pictures are drawn again in its ink.
    void changeEvent(QEvent* event) override;

  private:
    void build_bars();
    // The recipients to send to, each number once; nullopt (and the user
    // told) when one cannot be sent to.
    std::optional<std::vector<Contact>> checked_recipients();
    void set_status(const QString& text);

    DeviceOperations& phone_;
    SmsBox& sent_items_;
    // Guarded: at shutdown the contacts window may go first.
    QPointer<ContactsWindow> contacts_;
    NewSmsForm* form_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    QLabel* status_pane_ = nullptr;
    bool sent_ = false;
};

}  // namespace quillet
