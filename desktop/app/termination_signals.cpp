#include "termination_signals.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>
#include <csignal>
#include <cstdio>

namespace quillet {
namespace {

// Two socket pairs: the handler writes to [0] of each; the GUI thread reads
// g_fds[1], the watchdog g_watch[1].
int g_fds[2] = {-1, -1};
int g_watch[2] = {-1, -1};
std::atomic<bool> g_signalled{false};

extern "C" void on_termination_signal(int) {
    g_signalled = true;
    const char byte = 1;
    // Nothing else is safe here; a full pipe already holds a wake-up.
    [[maybe_unused]] const ssize_t a = ::write(g_fds[0], &byte, 1);
    [[maybe_unused]] const ssize_t b = ::write(g_watch[0], &byte, 1);
}

void set_handler(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

void close_pair(int (&fds)[2]) {
    for (int& fd : fds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

// Waits for the first signal (or the pair closing), then wakes what the GUI
// thread waits for and gives the program `grace` to end by itself. Touches
// nothing of the object that started it, so it may outlive it.
void watch(int fd, std::function<void()> at_once, std::chrono::milliseconds grace) {
    char byte = 0;
    ssize_t n = 0;
    do {
        n = ::read(fd, &byte, 1);
    } while (n < 0 && errno == EINTR);
    if (n <= 0)
        return;  // ended without a signal
    if (at_once)
        at_once();
    std::this_thread::sleep_for(grace);
    std::fprintf(stderr, "Quillet did not end within %lld s of the signal; it ends now.\n",
                 static_cast<long long>(grace.count() / 1000));
    ::_exit(TerminationSignals::kWatchdogExit);
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> on_signal,
                                       std::function<void()> at_once,
                                       std::chrono::milliseconds grace, QObject* parent)
    : QObject(parent), on_signal_(std::move(on_signal)) {
    if (g_fds[0] >= 0)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_fds) != 0)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_watch) != 0) {
        close_pair(g_fds);
        return;
    }
    ::fcntl(g_fds[0], F_SETFL, O_NONBLOCK);
    ::fcntl(g_watch[0], F_SETFL, O_NONBLOCK);
    g_signalled = false;
    notifier_ = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char buffer[16];
        [[maybe_unused]] const ssize_t n = ::read(g_fds[1], buffer, sizeof buffer);
        if (on_signal_)
            on_signal_();
    });
    watchdog_ = std::thread(watch, g_watch[1], std::move(at_once), grace);
    set_handler(on_termination_signal);
}

TerminationSignals::~TerminationSignals() {
    if (notifier_ == nullptr)
        return;
    set_handler(SIG_DFL);
    delete notifier_;
    close_pair(g_fds);
    if (g_signalled) {
        watchdog_.detach();  // its grace bounds the rest of the way out
        return;
    }
    // The watchdog's read ends when the other side closes.
    ::shutdown(g_watch[0], SHUT_RDWR);
    watchdog_.join();
    close_pair(g_watch);
}

}  // namespace quillet
