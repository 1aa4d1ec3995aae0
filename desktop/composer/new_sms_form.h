// The composer's form: the To: line, the recipients, the message class, the
// character and SMS part counters and the message text.
//
// Widgets (objectName):
//   "toLine"            the To: line; Return or leaving it adds its number
//   "recipientList"     RecipientList
//   "messageClassBox"   "Standard SMS" (class 1, selected at first) and
//                       "Notification" (class 0)
//   "characterCounter"  read-only; characters of the text, CR not counted
//   "partCounter"       how many SMS the text takes ("1 SMS", "3 SMS parts")
//   "messageEdit"       the message text
//
// On resize the message edit stretches right and down, the recipient list
// stretches right and keeps its height, the rest keep their places.
#pragma once

#include <QWidget>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "desktop/composer/recipient_list.h"
#include "desktop/store/sms_message.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace quillet {

class NewSmsForm : public QWidget {
    Q_OBJECT

  public:
    explicit NewSmsForm(QWidget* parent = nullptr);

    // See RecipientModel::add_recipient.
    void add_recipient(const Contact& contact);
    size_t recipient_count() const;
    Contact recipient_at(size_t index) const;

    // Replaces the message text and updates the counters.
    void set_message_text(std::u16string_view text);
    // The message text, line breaks as LF.
    std::u16string message_text() const;
    // 1 for "Standard SMS", 0 for "Notification".
    uint8_t message_class() const;

    // Adds the number standing in the To: line (its first 31 characters, as
    // 8-bit text) as a recipient with an empty name, and empties the line.
    void commit_to_line();
    // Shows the characters of the text (CR not counted) and its SMS parts.
    void update_counter();
    // Puts the cursor where the user types next: the text (after Reply) or
    // the To: line (after Forward).
    void focus_message();
    void focus_to_line();

    RecipientList& recipient_list() { return *recipients_; }

  private:
    QLineEdit* to_line_ = nullptr;
    RecipientList* recipients_ = nullptr;
    QComboBox* class_box_ = nullptr;
    QLineEdit* counter_ = nullptr;
    QLabel* parts_ = nullptr;
    QPlainTextEdit* message_ = nullptr;
};

// The part counter's text for a text: "1 SMS" or "<n> SMS parts".
QString sms_parts_text(std::u16string_view text);

}  // namespace quillet
