#include "desktop/app/tray_notice.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QThread>
#include <algorithm>

#include "desktop/app/desktop_notifier.h"
#include "desktop/app/notification_relay.h"
#include "desktop/store/log_file.h"
#include "desktop/views/engine_texts.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/pictures.h"
#include "desktop/views/window_parts.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

// A message's first line, for a notice.
QString first_line(std::u16string_view text) {
    const size_t end = text.find_first_of(u"\r\n");
    return to_qstring(text.substr(0, end == std::u16string_view::npos ? text.size() : end));
}

}  // namespace

void NotificationRelay::post() {
    std::lock_guard lock(mutex_);
    if (notice_ == nullptr)
        return;
    TrayNotice* notice = notice_;
    QMetaObject::invokeMethod(
        notice, [notice] { notice->message_arrived(); }, Qt::QueuedConnection);
}

TrayNotice::TrayNotice(QMainWindow& window, const Options& options)
    : QObject(&window),
      window_(window),
      options_(options),
      relay_(std::make_shared<NotificationRelay>(this)) {
    build_icon();
    build_notifier();
    qApp->installEventFilter(this);
}

TrayNotice::~TrayNotice() {
    qApp->removeEventFilter(this);
    relay_->forget_notice();
}

void TrayNotice::build_icon() {
    tray_ = new QSystemTrayIcon(application_icon(), this);
    tray_->setObjectName(QStringLiteral("trayIcon"));
    tray_->setToolTip(tr("Quillet"));
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::Trigger)
                    bring_to_front();
            });
    auto* menu = new QMenu(&window_);
    menu->setObjectName(QStringLiteral("trayMenu"));
    auto add = [this, menu](const QString& text, const char* name, auto handler) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, handler);
    };
    add(tr("Show Quillet"), "trayShowAction", &TrayNotice::bring_to_front);
    add(tr("Get SMS"), "trayGetSmsAction", &TrayNotice::getSmsRequested);
    menu->addSeparator();
    add(tr("Quit"), "trayQuitAction", &TrayNotice::quitRequested);
    tray_->setContextMenu(menu);
}

void TrayNotice::build_notifier() {
    notifier_ = new DesktopNotifier(this);
    connect(notifier_, &DesktopNotifier::showRequested, this, &TrayNotice::show_arrived_message);
    connect(notifier_, &DesktopNotifier::dismissed, this, [this] { count_ = 0; });
    connect(notifier_, &DesktopNotifier::failed, this, [this] {
        program_log().log_line("the desktop did not take the notice: shown in a window");
        show_notice_box();
    });
}

bool TrayNotice::tray_wanted() const {
    return options_.minimize_to_tray != 0 && system_tray_available();
}

void TrayNotice::hide_to_tray() {
    if (!system_tray_available()) {
        // Hidden with no icon to bring it back: the taskbar instead.
        window_.showMinimized();
        return;
    }
    tray_->show();
    window_.hide();
    in_tray_ = true;
}

void TrayNotice::bring_to_front() {
    if (options_.minimize_to_tray && in_tray_) {
        tray_->hide();
        window_.showNormal();
        in_tray_ = false;
    } else if (!options_.minimize_to_tray && !window_.isMaximized()) {
        window_.showNormal();
    }
    window_.raise();
    window_.activateWindow();
}

void TrayNotice::window_state_changed() {
    if (!window_.isMinimized() || !tray_wanted())
        return;
    // Once the state change is done.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!window_.isMinimized())
                return;
            hide_to_tray();
            window_.setWindowState(window_.windowState() & ~Qt::WindowMinimized);
        },
        Qt::QueuedConnection);
}

void TrayNotice::window_closed() {
    tray_->hide();
}

std::function<void()> TrayNotice::arrival_callback() const {
    std::weak_ptr<NotificationRelay> relay = relay_;
    return [relay] {
        if (auto alive = relay.lock())
            alive->post();
    };
}

void TrayNotice::message_arrived() {
    if (thread() != QThread::currentThread()) {
        relay_->post();
        return;
    }
    // The Get SMS runs later in its own turn; it names the sender in the
    // notice.
    QMetaObject::invokeMethod(
        this, [this] { Q_EMIT getSmsRequested(); }, Qt::QueuedConnection);
    if (options_.sound_notification || options_.popup_message) {
        bring_to_front();
        window_.activateWindow();
    }
    if (options_.sound_notification)
        play_sound_file(to_qstring(options_.sound_filename));
    if (options_.popup_message)
        waiting_ = true;
}

// The user at work in the window has seen what came in: the next notice
// counts from there. Not every notification service says when its popup
// went away (notification-daemon lets it expire without a word), so the
// service's NotificationClosed alone would leave the count growing.
bool TrayNotice::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (count_ == 0 || (type != QEvent::MouseButtonPress && type != QEvent::KeyPress))
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget != nullptr && widget->window() == &window_)
        count_ = 0;
    return false;
}

QString TrayNotice::sender_name(const SmsMessage& message) const {
    const QString number = to_qstring(from_ansi(message.number()));
    if (contacts_ == nullptr)
        return number;
    const QString name = to_qstring(contacts_->find_name_by_number(message.number()));
    if (name.isEmpty() || name == number)
        return number;
    return QStringLiteral("%1 (%2)").arg(name, number);
}

void TrayNotice::fetched(int arrived, const std::optional<SmsMessage>& newest) {
    QString sender;
    if (newest) {
        newest_ = *newest;
        sender = sender_name(newest_);
    }
    if (!waiting_)
        return;
    waiting_ = false;
    count_ += std::max(arrived, 1);
    sender_ = sender;
    if (!notifier_->available()) {
        show_notice_box();
        return;
    }
    QString summary = sender.isEmpty() ? tr("New message") : sender;
    if (count_ > 1) {
        summary = sender.isEmpty()
                      ? tr("%n new messages", nullptr, count_)
                      : tr("%n new messages, the latest from %1", nullptr, count_).arg(sender);
    }
    const QString body = arrived > 0 ? first_line(newest_.text_view())
                                     : shown_popup_text(options_.popup_message_text);
    program_log().log_line("new message notice sent to the desktop");
    notifier_->notify(summary, body);
}

void TrayNotice::show_arrived_message() {
    count_ = 0;
    bring_to_front();
    Q_EMIT arrivedMessageWanted(newest_);
}

void TrayNotice::show_notice_box() {
    QString text = shown_popup_text(options_.popup_message_text);
    if (!sender_.isEmpty()) {
        text += QStringLiteral("\n\n");
        text += count_ == 1
                    ? tr("From %1").arg(sender_)
                    : tr("%n new messages, the latest from %1", nullptr, count_).arg(sender_);
    } else if (count_ > 1) {
        text += tr("\n\n%1 new messages").arg(count_);
    }
    if (box_) {
        // One notice at a time: later arrivals update it.
        box_->setText(text);
        box_->raise();
        return;
    }
    box_ = new QMessageBox(QMessageBox::NoIcon, tr("Quillet"), text, QMessageBox::Ok, &window_);
    box_->setObjectName(QStringLiteral("newMessageNotice"));
    box_->setTextFormat(Qt::PlainText);
    box_->setAttribute(Qt::WA_DeleteOnClose);
    box_->setWindowModality(Qt::NonModal);
    connect(box_, &QDialog::finished, this, [this] { count_ = 0; });
    box_->show();
}

}  // namespace quillet
