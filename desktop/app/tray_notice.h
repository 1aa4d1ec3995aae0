// The main window's tray icon ("trayIcon") and its notice of new messages.
//
// The icon's menu ("trayMenu") holds "Show Quillet", "Get SMS" and "Quit";
// the last two only emit their request signals, the window runs them.
//
// When the link tells of a new message, a Get SMS is asked for and, as the
// settings say, the window comes forward, the sound plays and the notice
// waits for the Get SMS to end; it then names the newest message's sender.
// Where the desktop has a notification service it is a desktop
// notification (desktop_notifier.h) with the message's first line, whose
// "Show" asks for that message to be shown; elsewhere, or when the service
// refuses it, a box ("newMessageNotice", not modal) with the options'
// popup text. While either is open, later arrivals update it instead of
// opening another, counting every arrival since the user last looked.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

#include "desktop/store/contact_list.h"
#include "desktop/store/options.h"
#include "desktop/store/sms_message.h"

class QMainWindow;
class QSystemTrayIcon;

namespace quillet {

class DesktopNotifier;
struct NotificationRelay;

class TrayNotice : public QObject {
    Q_OBJECT

  public:
    // `window` and `options` are the frame's and must outlive this.
    TrayNotice(QMainWindow& window, const Options& options);
    ~TrayNotice() override;

    // Names for the notice; not owned.
    void set_contacts(const ContactList* contacts) { contacts_ = contacts; }

    // --- Tray -------------------------------------------------------------
    // Puts the icon in the tray and hides the window; where the desktop has
    // no tray it minimises the window to the taskbar instead.
    void hide_to_tray();
    // Out of the tray (or restored, unless maximised) and in front.
    void bring_to_front();
    bool in_tray() const { return in_tray_; }
    QSystemTrayIcon& tray_icon() { return *tray_; }
    // "Minimize to System Tray" chosen and a tray to go to.
    bool tray_wanted() const;
    // The window's state changed: minimised with "minimise to tray" it goes
    // to the tray instead, at its former size.
    void window_state_changed();
    // The window closed: the icon goes.
    void window_closed();

    // --- New messages -----------------------------------------------------
    // The link's callback, safe on any thread and after this is gone.
    std::function<void()> arrival_callback() const;
    // On the GUI thread: a new message was told of.
    void message_arrived();
    // A Get SMS ended: `arrived` messages came, `newest` the newest of them
    // (none when it failed or found none). A notice waiting is shown.
    void fetched(int arrived, const std::optional<SmsMessage>& newest);
    // Arrivals since the user last looked.
    int unseen() const { return count_; }
    QMessageBox* new_message_notice() const { return box_.data(); }
    DesktopNotifier& desktop_notifier() { return *notifier_; }

  Q_SIGNALS:
    void getSmsRequested();
    void quitRequested();
    // The notice's "Show": the window is in front, the message is to be
    // shown and selected in the Inbox.
    void arrivedMessageWanted(const quillet::SmsMessage& message);

  protected:
    // The user at work in the window has seen what came in.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void build_icon();
    void build_notifier();
    void show_arrived_message();
    void show_notice_box();
    // "Name (number)", or the number alone for one not in the contacts.
    QString sender_name(const SmsMessage& message) const;

    QMainWindow& window_;
    const Options& options_;
    const ContactList* contacts_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    bool in_tray_ = false;
    DesktopNotifier* notifier_ = nullptr;
    QPointer<QMessageBox> box_;
    int count_ = 0;
    bool waiting_ = false;
    QString sender_;
    SmsMessage newest_;
    std::shared_ptr<NotificationRelay> relay_;
};

}  // namespace quillet
