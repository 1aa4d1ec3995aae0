// New-message notices through the desktop's notification service
// (org.freedesktop.Notifications on the session bus), where the desktop has
// one. A notice names its sender in the summary and shows the first line in
// the body, and offers "Show", the action (also the click on the notice)
// that brings the message up in Quillet. One notice at a time: a later one
// replaces the one still on the screen.
//
// The window never waits on the bus: every call to it runs on a thread of
// its own (connecting to the bus, asking the service, watching its
// signals), each with a short limit. A notice the service refuses, or does
// not answer within the answer wait, is reported by failed() so that the
// caller shows its own popup; the notifier then rests for a while, and
// every notice during the rest fails at once, without trying the bus.
#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <memory>

class QThread;
class QTimer;

namespace quillet {

class NoticeCourier;

class DesktopNotifier : public QObject {
    Q_OBJECT

  public:
    static constexpr const char* kService = "org.freedesktop.Notifications";
    static constexpr const char* kPath = "/org/freedesktop/Notifications";
    // The program's icon in the icon theme, and its desktop entry.
    static constexpr const char* kIconName = "org.quillet.Quillet";
    static constexpr std::chrono::milliseconds kAnswerWait{2000};
    static constexpr std::chrono::milliseconds kRest{5 * 60 * 1000};

    explicit DesktopNotifier(QObject* parent = nullptr,
                             std::chrono::milliseconds answer_wait = kAnswerWait,
                             std::chrono::milliseconds rest = kRest);
    ~DesktopNotifier() override;
    DesktopNotifier(const DesktopNotifier&) = delete;
    DesktopNotifier& operator=(const DesktopNotifier&) = delete;

    // Whether notices go to the service: the last one was not refused or
    // left unanswered within the rest. Never asks the bus.
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
    // The service did not take the notice (refused, not there, silent).
    void failed();

  private:
    void on_answered(uint id);
    // The notice in flight was refused or not answered in time.
    void give_up();
    void on_action_invoked(uint id, const QString& action);
    void on_closed(uint id);

    std::chrono::milliseconds rest_;
    std::unique_ptr<QThread> thread_;
    NoticeCourier* courier_ = nullptr;  // lives on thread_, deleted when it ends
    QTimer* answer_timer_ = nullptr;
    std::chrono::steady_clock::time_point resting_until_{};
    bool in_flight_ = false;  // sent, and neither answered nor given up yet
    uint id_ = 0;
};

}  // namespace quillet
