// What used to keep the program from ending, each run in a child process of
// its own that must end by itself within seconds: a signal while the window
// waits on the link or cannot end at all, a FIFO named as the sound file, a
// message box on the way out, and an empty or unreadable one-instance lock.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "desktop/app/single_instance.h"
#include "desktop/app/termination_signals.h"
#include "desktop/views/gui_seams.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kDidNotEnd = -1;

// Runs `body` in a child with its own QApplication (offscreen) and returns
// its exit code, or kDidNotEnd when it was still running after `limit`
// (then it is killed). `meanwhile` gets the child's pid once it is ready.
int in_child(const std::function<int()>& body, std::chrono::milliseconds limit,
             const std::function<void(pid_t)>& meanwhile = {}) {
    int ready[2];
    if (::pipe(ready) != 0)
        return kDidNotEnd;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ready[0]);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        int code = 0;
        {
            static int argc = 1;
            static char name[] = "exit_hangs_test";
            static char* argv[] = {name, nullptr};
            QApplication app(argc, argv);
            [[maybe_unused]] const ssize_t n = ::write(ready[1], "r", 1);
            code = body();
        }
        std::exit(code);  // the whole way out, destructors and all
    }
    ::close(ready[1]);
    char byte = 0;
    [[maybe_unused]] const ssize_t n = ::read(ready[0], &byte, 1);
    ::close(ready[0]);
    if (meanwhile)
        meanwhile(pid);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);  // only the child this test made
            ::waitpid(pid, &status, 0);
            return kDidNotEnd;
        }
        std::this_thread::sleep_for(20ms);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void terminate_soon(pid_t pid) {
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(200ms);
    ::kill(pid, SIGTERM);
}

class ExitHangs : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "quillet-exit-XXXXXX").string();
        folder_ = ::mkdtemp(pattern.data());
    }
    void TearDown() override { fs::remove_all(folder_); }
    fs::path folder_;
};

TEST_F(ExitHangs, ASignalWakesTheWaitOfTheWindow) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    const int code = in_child(
        [&] {
            const TerminationSignals handlers([] {}, [&] { ::shutdown(pair[0], SHUT_RDWR); }, 5s);
            char byte = 0;
            return ::recv(pair[0], &byte, 1, 0) == 0 ? 0 : 1;  // as a link waits for a reply
        },
        4s, terminate_soon);
    EXPECT_EQ(code, 0);
}

TEST_F(ExitHangs, AProgramThatCannotEndIsEndedAfterTheGrace) {
    const int code = in_child(
        [] {
            const TerminationSignals handlers([] {}, [] {}, 1s);
            for (;;)
                std::this_thread::sleep_for(1s);
            return 0;
        },
        5s, terminate_soon);
    EXPECT_EQ(code, TerminationSignals::kWatchdogExit);
}

TEST_F(ExitHangs, NoMessageBoxOpensOnceTheProgramIsEnding) {
    EXPECT_EQ(in_child(
                  [] {
                      stop_asking();
                      show_message_box(nullptr, QStringLiteral("Could not save the settings."));
                      return ask_yes_no(nullptr, QStringLiteral("Discard?")) ? 1 : 0;
                  },
                  4s),
              0);
}

TEST_F(ExitHangs, AFifoNamedAsTheSoundFileIsNotWaitedOn) {
    const fs::path fifo = folder_ / "new-message.wav";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(in_child(
                  [&] {
                      play_sound_file(QString::fromStdString(fifo.string()));
                      // Long enough for a sound system to open the file.
                      QElapsedTimer playing;
                      playing.start();
                      while (playing.elapsed() < 500)
                          QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
                      return 0;
                  },
                  5s),
              0);
}

TEST_F(ExitHangs, AnEmptyOrUnreadableLockFileStopsNoStart) {
    ::setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
    ::chmod(folder_.c_str(), 0700);
    const fs::path lock = folder_ / (std::string(SingleInstance::kGuardName) + ".lock");
    for (const mode_t mode : {mode_t{0600}, mode_t{0}}) {
        SCOPED_TRACE(mode);
        std::ofstream(lock).close();  // empty
        ::chmod(lock.c_str(), mode);
        EXPECT_EQ(in_child([] { return SingleInstance().claim() ? 0 : 1; }, 5s), 0);
        fs::remove(lock);
    }
}

}  // namespace
}  // namespace quillet
