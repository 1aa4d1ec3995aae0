// SIGTERM and SIGINT (the session ending, Ctrl+C in a terminal) end the
// program the way File > Exit does, on the GUI thread: the handler only
// writes a byte into a socket pair, and the GUI thread reads it.
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace quillet {

class TerminationSignals : public QObject {
  public:
    // Installs the handlers; `on_signal` runs on this thread for each signal.
    // One instance at a time.
    explicit TerminationSignals(std::function<void()> on_signal, QObject* parent = nullptr);
    // Puts the default handlers back.
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    bool installed() const { return notifier_ != nullptr; }

  private:
    std::function<void()> on_signal_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace quillet
