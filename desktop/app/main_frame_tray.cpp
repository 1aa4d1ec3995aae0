// The main window's tray icon and the new-message notification.
#include <QSystemTrayIcon>
#include <QThread>
#include <QWindowStateChangeEvent>

#include "desktop/app/main_frame.h"
#include "desktop/app/notification_relay.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/window_parts.h"

namespace quillet {

void NotificationRelay::post() {
    std::lock_guard lock(mutex_);
    if (frame_ == nullptr)
        return;
    MainFrame* frame = frame_;
    QMetaObject::invokeMethod(
        frame, [frame] { frame->new_message_arrived(); }, Qt::QueuedConnection);
}

void MainFrame::hide_to_tray() {
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
    if (event->type() != QEvent::WindowStateChange)
        return;
    if (!isMinimized() || !options_.minimize_to_tray)
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
    // The import runs later in its own turn, while a popup may be open.
    QMetaObject::invokeMethod(this, &MainFrame::on_button_get_sms, Qt::QueuedConnection);
    if (options_.sound_notification || options_.popup_message) {
        bring_to_front();
        activateWindow();
    }
    if (options_.sound_notification)
        play_sound_file(to_qstring(options_.sound_filename));
    if (options_.popup_message) {
        show_message_box(this, to_qstring(options_.popup_message_text), QMessageBox::NoIcon,
                         QStringLiteral("Quillet"));
    }
}

}  // namespace quillet
