// The main window's tray icon and the new-message notification.
#include <QMenu>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QThread>
#include <QWindowStateChangeEvent>
#include <algorithm>

#include "desktop/app/desktop_notifier.h"
#include "desktop/app/main_frame.h"
#include "desktop/app/notification_relay.h"
#include "desktop/views/engine_texts.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/pictures.h"
#include "desktop/views/sms_list_view.h"
#include "desktop/views/window_parts.h"

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
    if (frame_ == nullptr)
        return;
    MainFrame* frame = frame_;
    QMetaObject::invokeMethod(
        frame, [frame] { frame->new_message_arrived(); }, Qt::QueuedConnection);
}

void MainFrame::build_tray_icon() {
    tray_ = new QSystemTrayIcon(application_icon(), this);
    tray_->setObjectName(QStringLiteral("trayIcon"));
    tray_->setToolTip(tr("Quillet"));
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::Trigger)
                    bring_to_front();
            });
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("trayMenu"));
    auto add = [this, menu](const QString& text, const char* name, auto handler) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, guarded(handler));
    };
    add(tr("Show Quillet"), "trayShowAction", &MainFrame::bring_to_front);
    add(tr("Get SMS"), "trayGetSmsAction", &MainFrame::on_button_get_sms);
    menu->addSeparator();
    add(tr("Quit"), "trayQuitAction", &QWidget::close);
    tray_->setContextMenu(menu);
}

bool MainFrame::tray_wanted() const {
    return options_.minimize_to_tray != 0 && system_tray_available();
}

void MainFrame::hide_to_tray() {
    if (!system_tray_available()) {
        // Hidden with no icon to bring it back: the taskbar instead.
        showMinimized();
        return;
    }
    tray_->show();
    hide();
    in_tray_ = true;
}

void MainFrame::bring_to_front() {
    if (options_.minimize_to_tray && in_tray_) {
        tray_->hide();
        showNormal();
        in_tray_ = false;
    } else if (!options_.minimize_to_tray && !isMaximized()) {
        showNormal();
    }
    raise();
    activateWindow();
}

void MainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        redraw_toolbar_pictures();
    if (event->type() != QEvent::WindowStateChange)
        return;
    if (!isMinimized() || !tray_wanted())
        return;
    // Minimising with "minimise to tray" hides the window instead: once the
    // state change is done, it goes to the tray at its former size.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!isMinimized())
                return;
            hide_to_tray();
            setWindowState(windowState() & ~Qt::WindowMinimized);
        },
        Qt::QueuedConnection);
}

void MainFrame::new_message_arrived() {
    if (thread() != QThread::currentThread()) {
        relay_->post();
        return;
    }
    on_new_message();
}

void MainFrame::on_new_message() {
    // The import runs later in its own turn; it names the sender in the
    // notice.
    QMetaObject::invokeMethod(this, &MainFrame::on_button_get_sms, Qt::QueuedConnection);
    if (options_.sound_notification || options_.popup_message) {
        bring_to_front();
        activateWindow();
    }
    if (options_.sound_notification)
        play_sound_file(to_qstring(options_.sound_filename));
    if (options_.popup_message)
        notice_waiting_ = true;
}

void MainFrame::build_desktop_notifier() {
    notifier_ = new DesktopNotifier(this);
    connect(notifier_, &DesktopNotifier::showRequested, this, &MainFrame::show_arrived_message);
    connect(notifier_, &DesktopNotifier::dismissed, this, [this] { notice_count_ = 0; });
    connect(notifier_, &DesktopNotifier::failed, this, &MainFrame::show_notice_box);
}

void MainFrame::show_new_message_notice(int arrived, const QString& sender) {
    if (!notice_waiting_)
        return;
    notice_waiting_ = false;
    notice_count_ += std::max(arrived, 1);
    notice_sender_ = sender;
    if (!notifier_->available()) {
        show_notice_box();
        return;
    }
    QString summary = sender.isEmpty() ? tr("New message") : sender;
    if (notice_count_ > 1) {
        summary =
            sender.isEmpty()
                ? tr("%n new messages", nullptr, notice_count_)
                : tr("%n new messages, the latest from %1", nullptr, notice_count_).arg(sender);
    }
    QString body = arrived > 0 ? first_line(newest_arrived_.text_view())
                               : shown_engine_text(options_.popup_message_text);
    notifier_->notify(summary, body);
}

void MainFrame::show_arrived_message() {
    notice_count_ = 0;
    bring_to_front();
    show_box(BoxKind::Inbox);
    const MessageListModel& model = list_view_->list_model();
    for (int row = 0; row < model.rowCount(); ++row) {
        if (!inbox().message_ref(model.message_index(row)).same_message(newest_arrived_))
            continue;
        const QModelIndex index = model.index(row, 0);
        list_view_->selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        list_view_->scrollTo(index);
        list_view_->setFocus();
        return;
    }
}

void MainFrame::show_notice_box() {
    const QString& sender = notice_sender_;
    QString text = shown_engine_text(options_.popup_message_text);
    if (!sender.isEmpty()) {
        text += QStringLiteral("\n\n");
        text += notice_count_ == 1
                    ? tr("From %1").arg(sender)
                    : tr("%n new messages, the latest from %1", nullptr, notice_count_).arg(sender);
    } else if (notice_count_ > 1) {
        text += tr("\n\n%1 new messages").arg(notice_count_);
    }
    if (notice_) {
        // One notice at a time: later arrivals update it.
        notice_->setText(text);
        notice_->raise();
        return;
    }
    notice_ = new QMessageBox(QMessageBox::NoIcon, tr("Quillet"), text, QMessageBox::Ok, this);
    notice_->setObjectName(QStringLiteral("newMessageNotice"));
    notice_->setTextFormat(Qt::PlainText);
    notice_->setAttribute(Qt::WA_DeleteOnClose);
    notice_->setWindowModality(Qt::NonModal);
    connect(notice_, &QDialog::finished, this, [this] { notice_count_ = 0; });
    notice_->show();
}

}  // namespace quillet
