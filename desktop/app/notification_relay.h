// Carries the link's new-message callback from its keep-alive thread to the
// main window on the GUI thread. The callback holds the relay, not the
// window: once the window is gone the relay drops the calls, whichever of
// the two ends first.
#pragma once

#include <QMetaObject>
#include <QPointer>
#include <mutex>

namespace quillet {

class MainFrame;

struct NotificationRelay {
    explicit NotificationRelay(MainFrame* frame) : frame_(frame) {}

    // Any thread: queues the window's handling on the GUI thread.
    void post();
    // The window is going: later posts do nothing. Waits for a post under way.
    void forget_frame() {
        std::lock_guard lock(mutex_);
        frame_ = nullptr;
    }

  private:
    std::mutex mutex_;
    MainFrame* frame_;
};

}  // namespace quillet
