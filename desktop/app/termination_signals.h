// SIGTERM and SIGINT (the session ending, Ctrl+C in a terminal) end the
// program the way File > Exit does, on the GUI thread: the handler only
// writes a byte into a socket pair, and the GUI thread reads it.
//
// The GUI thread may be busy when the signal comes (a reply being read, a
// save), so a watchdog thread hears the signal too: it runs `at_once` at
// once (to wake what the GUI thread waits for) and, should the program
// still run `grace` later, ends it there and then. A session that ends
// never waits on a program that cannot.
#pragma once

#include <QObject>
#include <chrono>
#include <functional>
#include <thread>

class QSocketNotifier;

namespace quillet {

class TerminationSignals : public QObject {
  public:
    static constexpr std::chrono::milliseconds kGrace{8000};
    // Exit code of a program the watchdog ended: as if killed by SIGTERM.
    static constexpr int kWatchdogExit = 143;

    // Installs the handlers; `on_signal` runs on this thread for each signal,
    // `at_once` (when given) on the watchdog thread at the first one. One
    // instance at a time.
    explicit TerminationSignals(std::function<void()> on_signal, std::function<void()> at_once = {},
                                std::chrono::milliseconds grace = kGrace,
                                QObject* parent = nullptr);
    // Puts the default handlers back. After a signal the watchdog stays,
    // so that the rest of the way out is bounded too.
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    bool installed() const { return notifier_ != nullptr; }

  private:
    std::function<void()> on_signal_;
    QSocketNotifier* notifier_ = nullptr;
    std::thread watchdog_;
};

}  // namespace quillet
