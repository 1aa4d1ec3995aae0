// The lock that leaves the phone to one of the program and "quillet-cli get":
// its private folder, a holder in another process, its release when that
// process dies, and the program's set-up refused while another holds it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "desktop/link/link_lock.h"
#include "protocol/text_codec.h"
#include "tests/link/link_test_support.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using test::LinkWorld;
using test::thrown_text;

// Holds the lock in a child process until the returned pid is killed; -1
// when the child could not take it (it has ended then). A child forked while
// this process holds the lock shares that lock until it ends, so a child
// that did not take it ends at once.
pid_t hold_in_child(const fs::path& folder, const char* holder) {
    int ready[2];
    if (::pipe(ready) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ready[0]);
        LinkLock lock(folder);
        const char ok = lock.try_acquire(holder) ? '1' : '0';
        [[maybe_unused]] const ssize_t n = ::write(ready[1], &ok, 1);
        if (ok == '1')
            ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char ok = 0;
    const ssize_t n = ::read(ready[0], &ok, 1);
    ::close(ready[0]);
    if (n == 1 && ok == '1')
        return pid;
    ::waitpid(pid, nullptr, 0);
    return -1;
}

// Only ever a child this test made: never 0 or -1, which would signal a
// whole process group or every process.
void end_child(pid_t pid) {
    ASSERT_GT(pid, 0);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

class ScopedRuntimeDir {
  public:
    explicit ScopedRuntimeDir(const fs::path& folder) {
        if (const char* old = std::getenv("XDG_RUNTIME_DIR"))
            old_ = old;
        ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    }
    ~ScopedRuntimeDir() {
        if (old_) {
            ::setenv("XDG_RUNTIME_DIR", old_->c_str(), 1);
        } else {
            ::unsetenv("XDG_RUNTIME_DIR");
        }
    }

  private:
    std::optional<std::string> old_;
};

TEST(LinkLock, PrivateRuntimeFolderIsTheUsersOwnAndClosed) {
    LinkWorld world;
    const fs::path open = world.folder() / "open";
    const fs::path closed = world.folder() / "closed";
    ASSERT_EQ(::mkdir(open.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(closed.c_str(), 0700), 0);
    {
        ScopedRuntimeDir runtime(closed);
        EXPECT_EQ(private_runtime_folder(), closed);
    }
    ScopedRuntimeDir runtime(open);  // others may enter: not used
    const fs::path fallback = private_runtime_folder();
    EXPECT_EQ(fallback.filename(), "quillet-" + std::to_string(::getuid()));
    struct stat st {};
    ASSERT_EQ(::stat(fallback.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);
}

TEST(LinkLock, AnotherProcessHoldsItUntilItDies) {
    LinkWorld world;
    const pid_t cli = hold_in_child(world.folder(), "quillet-cli get");
    ASSERT_GT(cli, 0);
    LinkLock program(world.folder());
    EXPECT_FALSE(program.try_acquire("quillet"));
    EXPECT_FALSE(program.held());
    EXPECT_EQ(program.other_holder(), "quillet-cli get (pid " + std::to_string(cli) + ")");
    EXPECT_TRUE(program.error().empty());
    end_child(cli);  // killed, not ended: the system frees the lock
    EXPECT_TRUE(program.try_acquire("quillet"));
    EXPECT_TRUE(program.try_acquire("quillet"));  // already held
    EXPECT_EQ(hold_in_child(world.folder(), "quillet-cli get"), -1);
    program.release();
    const pid_t again = hold_in_child(world.folder(), "quillet-cli get");
    EXPECT_GT(again, 0);
    end_child(again);
}

TEST(LinkLock, ProgramSetUpIsRefusedWhileTheCommandLineHoldsThePhone) {
    LinkWorld world;
    world.phone_ok({"init"});
    const pid_t cli = hold_in_child(world.folder(), "quillet-cli get");
    ASSERT_GT(cli, 0);
    LinkLock lock(world.folder());
    LinkSettings settings = test::quick_settings();
    settings.connect_polls = 10;
    SmartphoneSmsConnect link(settings);
    link.set_set_up_gate(program_set_up_gate(lock));
    const std::string holder = "quillet-cli get (pid " + std::to_string(cli) + ")";
    const std::string in_use =
        "The phone is in use by " + holder + "; try again when it has finished.";
    EXPECT_EQ(thrown_text([&] { link.init(); }), in_use);
    EXPECT_TRUE(world.agent_pids().empty());  // the phone was not touched
    EXPECT_EQ(link.state(), LinkState::PLEASE_CONNECT);

    // A device operation waiting for the sentinel's set-up hears who holds
    // the phone, as a kind with the holder.
    ASSERT_TRUE(link.start_sentinel([] {}));
    try {
        link.connect();
        ADD_FAILURE() << "connected while the command line holds the phone";
    } catch (const ORX_Exception& e) {
        EXPECT_EQ(e.what(), "Could not connect: " + in_use);
        EXPECT_EQ(e.kind(), ORX_Exception::Kind::NotConnectedInUse);
        EXPECT_EQ(e.argument(), from_utf8(holder));
    }

    end_child(cli);
    link.connect();
    EXPECT_TRUE(lock.held());
    EXPECT_EQ(world.agent_pids().size(), 1u);
}

}  // namespace
}  // namespace quillet
