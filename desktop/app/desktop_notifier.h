// New-message notices through the desktop's notification service
// (org.freedesktop.Notifications on the session bus), where the desktop has
// one. A notice names its sender in the summary and shows the first line in
// the body, and offers "Show", the action (also the click on the notice)
// that brings the message up in Quillet. One notice at a time: a later one
// replaces the one still on the screen.
//
// Calls never block the window: a notice the service refuses (or a bus that
// went away) is reported by failed(), so the caller can fall back to its own
// popup.
#pragma once

#include <QObject>
#include <QString>

class QDBusPendingCallWatcher;

namespace quillet {

class DesktopNotifier : public QObject {
    Q_OBJECT

  public:
    static constexpr const char* kService = "org.freedesktop.Notifications";
    static constexpr const char* kPath = "/org/freedesktop/Notifications";
    // The program's icon in the icon theme, and its desktop entry.
    static constexpr const char* kIconName = "org.quillet.Quillet";

    explicit DesktopNotifier(QObject* parent = nullptr);

    // Whether the session bus has the service (running or startable on
    // demand). Asked anew each time: the desktop's daemon may come and go.
    bool available() const;
    // Sends the notice; the body is the message's first line (markup in it
    // is shown as text).
    void notify(const QString& summary, const QString& body);
    // The id of the notice shown last; 0 before the service answered.
    uint notice_id() const { return id_; }

  Q_SIGNALS:
    // The user chose the notice's "Show" (or clicked the notice).
    void showRequested();
    // The notice is gone from the screen (closed, expired, or acted on).
    void dismissed();
    // The service did not take the notice.
    void failed();

  private Q_SLOTS:
    // Bus signals (QtDBus names its receivers by signature).
    void on_action_invoked(uint id, const QString& action);
    void on_closed(uint id, uint reason);

  private:
    enum class Markup { Unknown, Read, Plain };
    void send(const QString& summary, const QString& body);
    void on_notify_reply(QDBusPendingCallWatcher* watcher);

    Markup markup_ = Markup::Unknown;
    uint id_ = 0;
    bool listening_ = false;
};

}  // namespace quillet
