#include "desktop/composer/new_sms_form.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>

#include "desktop/composer/part_count.h"
#include "desktop/views/window_parts.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

constexpr int kToLineWidth = 160;
constexpr int kRecipientListHeight = 96;
constexpr int kCounterWidth = 56;
// The longest number a Contact holds.
constexpr int kMaxNumberLength = static_cast<int>(kTextFieldSize) - 1;

template <typename T>
T* named(T* widget, const char* name) {
    widget->setObjectName(QLatin1StringView(name));
    return widget;
}

}  // namespace

QString sms_parts_text(std::u16string_view text) {
    const SmsPartCount count = count_sms_parts(text);
    if (count.parts == 1)
        return NewSmsForm::tr("1 SMS");
    return NewSmsForm::tr("%1 SMS parts").arg(count.parts);
}

NewSmsForm::NewSmsForm(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("newSmsForm"));
    to_line_ = named(new QLineEdit(this), "toLine");
    to_line_->setMaxLength(kMaxNumberLength);
    to_line_->setFixedWidth(kToLineWidth);
    recipients_ = new RecipientList(this);
    recipients_->setFixedHeight(kRecipientListHeight);
    class_box_ = named(new QComboBox(this), "messageClassBox");
    class_box_->addItem(tr("Standard SMS"));
    class_box_->addItem(tr("Notification"));
    class_box_->setCurrentIndex(0);
    counter_ = named(new QLineEdit(QStringLiteral("0"), this), "characterCounter");
    counter_->setReadOnly(true);
    counter_->setAlignment(Qt::AlignRight);
    counter_->setFixedWidth(kCounterWidth);
    counter_->setFocusPolicy(Qt::NoFocus);
    parts_ = named(new QLabel(this), "partCounter");
    message_ = named(new QPlainTextEdit(this), "messageEdit");
    message_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* to_row = new QHBoxLayout;
    to_row->addWidget(new QLabel(tr("To:"), this));
    to_row->addWidget(to_line_);
    to_row->addStretch(1);
    auto* class_row = new QHBoxLayout;
    class_row->addWidget(class_box_);
    class_row->addSpacing(12);
    class_row->addWidget(counter_);
    class_row->addWidget(new QLabel(tr("characters"), this));
    class_row->addSpacing(8);
    class_row->addWidget(parts_);
    class_row->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(to_row);
    layout->addWidget(recipients_);
    layout->addLayout(class_row);
    layout->addWidget(new QLabel(tr("Message:"), this));
    layout->addWidget(message_, 1);

    connect(to_line_, &QLineEdit::returnPressed, this, &NewSmsForm::commit_to_line);
    connect(to_line_, &QLineEdit::editingFinished, this, &NewSmsForm::commit_to_line);
    connect(message_, &QPlainTextEdit::textChanged, this, &NewSmsForm::update_counter);
    setTabOrder(to_line_, recipients_);
    setTabOrder(recipients_, class_box_);
    setTabOrder(class_box_, message_);
    update_counter();
}

void NewSmsForm::add_recipient(const Contact& contact) {
    recipients_->recipients().add_recipient(contact);
}

size_t NewSmsForm::recipient_count() const {
    return recipients_->recipients().recipient_count();
}

Contact NewSmsForm::recipient_at(size_t index) const {
    return recipients_->recipients().recipient_at(index);
}

void NewSmsForm::set_message_text(std::u16string_view text) {
    message_->setPlainText(to_qstring(text));
    update_counter();
}

std::u16string NewSmsForm::message_text() const {
    // The raw text keeps no-break spaces, which toPlainText would turn into
    // blanks; only the paragraph and line separators become LF.
    QString text = message_->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    return text.toStdU16String();
}

uint8_t NewSmsForm::message_class() const {
    return class_box_->currentIndex() == 1 ? 0 : 1;
}

void NewSmsForm::commit_to_line() {
    const QString line = to_line_->text().left(kMaxNumberLength);
    Contact contact;
    set_text_field(contact.number, to_ansi_field(line.toStdU16String()));
    to_line_->clear();
    if (!text_field(contact.number).empty())
        add_recipient(contact);
}

void NewSmsForm::focus_message() {
    message_->setFocus();
    message_->moveCursor(QTextCursor::End);
}

void NewSmsForm::focus_to_line() {
    to_line_->setFocus();
}

void NewSmsForm::update_counter() {
    std::u16string text = message_text();
    std::erase(text, u'\r');
    counter_->setText(QString::number(text.size()));
    parts_->setText(sms_parts_text(text));
}

}  // namespace quillet
