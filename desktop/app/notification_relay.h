// Carries the link's new-message callback from its keep-alive thread to the
// main window's notice on the GUI thread. The callback holds the relay, not
// the notice: once the notice is gone the relay drops the calls, whichever
// of the two ends first.
#pragma once

#include <QMetaObject>
#include <QPointer>
#include <mutex>

namespace quillet {

class TrayNotice;

struct NotificationRelay {
    explicit NotificationRelay(TrayNotice* notice) : notice_(notice) {}

    // Any thread: queues the notice's handling on the GUI thread.
    void post();
    // The notice is going: later posts do nothing. Waits for a post under way.
    void forget_notice() {
        std::lock_guard lock(mutex_);
        notice_ = nullptr;
    }

  private:
    std::mutex mutex_;
    TrayNotice* notice_;
};

}  // namespace quillet
