#include "desktop/composer/new_sms_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <exception>
#include <optional>
#include <set>
#include <string>

#include "desktop/composer/new_sms_form.h"
#include "desktop/store/orx_exception.h"
#include "desktop/store/phone_number.h"
#include "desktop/views/command_scope.h"
#include "desktop/views/engine_texts.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/pictures.h"
#include "desktop/views/window_parts.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

QString send_failed() {
    return NewSmsWindow::tr(
        "Could not send message. Please check your ActiveSync connection and "
        "if the phone numbers are valid.\nDetails:\n");
}

QAction* named_action(QAction* action, const char* name, const QString& prompt = {}) {
    action->setObjectName(QLatin1StringView(name));
    if (!prompt.isEmpty()) {
        action->setStatusTip(prompt);
        action->setToolTip(prompt);
    }
    return action;
}

// Hands one message to the phone. A phone that says no without raising is
// reported the way the link reports a refusal.
void send_one(DeviceOperations& phone, const SmsMessage& message) {
    if (phone.send_sms(message.to_wire()))
        return;
    throw ORX_Exception(ORX_Exception::Kind::NotSent, from_ansi(message.number()));
}

}  // namespace

NewSmsWindow::NewSmsWindow(DeviceOperations& phone, SmsBox& sent_items, ContactsWindow& contacts,
                           QWidget* parent)
    : QMainWindow(parent), phone_(phone), sent_items_(sent_items), contacts_(&contacts) {
    setObjectName(QStringLiteral("newSmsWindow"));
    setWindowTitle(tr("New SMS"));
    setAttribute(Qt::WA_DeleteOnClose);
    form_ = new NewSmsForm(this);
    setCentralWidget(form_);
    build_bars();
}

NewSmsWindow::~NewSmsWindow() {
    if (contacts_)
        contacts_->forget_target(this);
}

void NewSmsWindow::build_bars() {
    auto* sms_menu = menuBar()->addMenu(tr("&Sms"));
    auto* send = named_action(sms_menu->addAction(tr("&Send")), "sendMenuAction");
    // Window shortcuts: taken before the focused control sees the key.
    send->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    auto* cancel = named_action(sms_menu->addAction(tr("&Cancel")), "cancelMenuAction");
    auto* contacts_menu = menuBar()->addMenu(tr("&Contacts"));
    auto* add = named_action(contacts_menu->addAction(tr("&Add")), "addMenuAction");
    add->setShortcut(QKeySequence(Qt::Key_F4));
    connect(send, &QAction::triggered, this, &NewSmsWindow::send_message);
    connect(cancel, &QAction::triggered, this, &QWidget::close);
    connect(add, &QAction::triggered, this, &NewSmsWindow::show_contacts);

    auto* toolbar = addToolBar(tr("New SMS"));
    toolbar->setObjectName(QStringLiteral("newSmsToolBar"));
    toolbar->setMovable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto* send_tool =
        named_action(toolbar->addAction(tr("Send message")), "sendToolAction", tr("Send message"));
    set_toolbar_picture(*send_tool, ToolbarPicture::Send, palette());
    auto* contacts_tool = named_action(toolbar->addAction(tr("Get from contacts")),
                                       "contactsToolAction", tr("Get from contacts"));
    set_toolbar_picture(*contacts_tool, ToolbarPicture::Contacts, palette());
    toolbar_ = toolbar;
    connect(send_tool, &QAction::triggered, this, &NewSmsWindow::send_message);
    connect(contacts_tool, &QAction::triggered, this, &NewSmsWindow::show_contacts);

    status_pane_ = add_status_panes(this);
}

void NewSmsWindow::add_recipient(const Contact& contact) {
    form_->add_recipient(contact);
    form_->focus_message();
}

void NewSmsWindow::set_message_text(std::u16string_view text) {
    form_->set_message_text(text);
    form_->focus_to_line();
}

void NewSmsWindow::show_contacts() {
    if (contacts_)
        contacts_->show_for(this);
}

void NewSmsWindow::set_status(const QString& text) {
    status_pane_->setText(text);
    status_pane_->repaint();
}

void NewSmsWindow::send_message() {
    size_t sent = 0;
    size_t count = 0;
    {
        const CommandScope command;
        set_status(tr("Sending SMS Message..."));
        // A number still being typed, in the To: line or in the list, is a
        // recipient too.
        form_->commit_to_line();
        form_->recipient_list().commit_open_editor();

        SmsMessage message;
        message.set_text(form_->message_text());
        message.strip_cr();  // the phone takes line breaks as LF only
        message.set_message_class(form_->message_class());
        message.set_time_now();

        if (form_->recipient_count() == 0) {
            set_status(tr("SMS Message not sent: no recipient."));
            show_message_box(this, tr("Please fill in a recipient."));
            return;
        }
        const std::optional<std::vector<Contact>> recipients = checked_recipients();
        if (!recipients)
            return;
        count = recipients->size();
        for (const Contact& recipient : *recipients) {
            message.set_number(text_field(recipient.number));
            try {
                send_one(phone_, message);
                ++sent;
            } catch (const ORX_Exception& e) {
                show_message_box(this, failure_text(send_failed(), e));
            } catch (const std::exception& e) {
                show_message_box(this, send_failed() + QString::fromUtf8(e.what()));
            }
        }
        if (sent == 0) {
            // Nothing left the phone: the text stays here to be sent again.
            set_status(tr("SMS Message not sent: every recipient was refused."));
            return;
        }

        // Every recipient gets a copy, refused ones included, with CR LF line
        // breaks as stored messages have them.
        message.expand_lf();
        message.set_read(1);
        for (const Contact& recipient : *recipients) {
            message.set_number(text_field(recipient.number));
            sent_items_.append(message);
        }
    }
    set_status(sent == count ? tr("SMS Message Sent.")
                             : tr("SMS Message sent to %1 of %2 recipients.").arg(sent).arg(count));
    sent_ = true;
    close();
}

std::optional<std::vector<Contact>> NewSmsWindow::checked_recipients() {
    const PhoneNumbers numbers;
    std::vector<Contact> recipients;
    std::set<std::string> keys;
    for (size_t i = 0; i < form_->recipient_count(); ++i) {
        const Contact recipient = form_->recipient_at(i);
        const std::string_view number = text_field(recipient.number);
        if (!sendable_address(number)) {
            const QString shown = to_qstring(from_ansi(number));
            form_->recipient_list().mark_recipient(i);
            set_status(tr("SMS Message not sent: \"%1\" is no recipient.").arg(shown));
            show_message_box(this, tr("\"%1\" is not a phone number, a short code or a sender "
                                      "name.\nCorrect or delete it, then send again.")
                                       .arg(shown));
            return std::nullopt;
        }
        if (keys.insert(numbers.group_key(normalise_number(number))).second)
            recipients.push_back(recipient);
    }
    return recipients;
}

bool NewSmsWindow::has_draft() const {
    return !sent_ && !form_->message_text().empty();
}

void NewSmsWindow::closeEvent(QCloseEvent* event) {
    if (has_draft() && !ask_yes_no(this, tr("Discard the message you have written?"))) {
        event->ignore();
        return;
    }
    if (contacts_)
        contacts_->forget_target(this);
    Q_EMIT closing(size());
    QMainWindow::closeEvent(event);
}

void NewSmsWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && toolbar_ != nullptr)
        redraw_toolbar_pictures(toolbar_->actions(), palette());
}

}  // namespace quillet
