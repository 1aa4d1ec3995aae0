// What the link's tests share: a temporary world with its own platform root,
// link port, program folder and data folder; the real phone tool; the agents
// running on the test's phone; and a hostile agent played by the test.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "desktop/link/link_settings.h"
#include "desktop/store/orx_exception.h"
#include "protocol/link_socket.h"

namespace quillet::test {

struct ProgramResult {
    int exit_code = -1;
    std::string output;  // standard output
};

// Runs a program to its end.
ProgramResult run_program(const std::filesystem::path& exe, const std::vector<std::string>& args);

// A port nobody listens on right now.
uint16_t free_port();

// Waits up to `limit` for `ready`; true when it became true.
bool wait_until(const std::function<bool()>& ready,
                std::chrono::milliseconds limit = std::chrono::seconds(10));

// Waits short enough for tests, long enough for a loaded machine.
LinkSettings quick_settings();

// Which agent the program folder offers the phone.
enum class Agent {
    Real,     // the build's program folder with the real phonelet
    Played,   // a phonelet.exe that hands its connection to a FakeAgent
    Missing,  // no ondevice/phonelet.exe at all
};

// One test's world, set up on the main thread before any link exists: a
// temporary folder holding the platform root and the data folder,
// QUILLET_PLATFORM_ROOT, QUILLET_LINK_PORT and XDG_DATA_HOME set, and a
// program folder with the chosen agent. Agents still running on its phone are killed at the end.
class LinkWorld {
  public:
    explicit LinkWorld(Agent agent = Agent::Real);
    ~LinkWorld();
    LinkWorld(const LinkWorld&) = delete;
    LinkWorld& operator=(const LinkWorld&) = delete;

    const std::filesystem::path& folder() const { return folder_; }
    std::filesystem::path image() const { return folder_ / "root" / "phone"; }
    // Where the desktop copies the agent on this phone.
    std::filesystem::path agent_on_phone() const;
    uint16_t port() const { return port_; }
    // Where a played agent asks its FakeAgent for the go.
    std::filesystem::path handover_socket() const { return folder_ / "handover.sock"; }

    // Runs quillet-phone with these arguments.
    ProgramResult phone(const std::vector<std::string>& args) const;
    // The same, failing the test unless it exits 0.
    std::string phone_ok(const std::vector<std::string>& args) const;

    // Processes running the agent copy of this world's phone.
    std::vector<pid_t> agent_pids() const;
    void kill_agents() const;

  private:
    std::filesystem::path folder_;
    uint16_t port_;
};

// Another program on the link's port (tests/link/link_peer_helper): run as
// the user "nobody" when this test runs as root, else as the test's user.
// `mode` is "squat" or "knock"; its printed summary comes back.
ProgramResult run_intruder(const std::string& mode, uint16_t port, int ms);
// Whether intruders run as another user here.
bool intruder_is_another_user();

// Plays the agent in a world of Agent::Played: the agent process that the
// desktop's set-up starts connects to the desktop and hands the connection
// over; `script` then runs on it, on a thread. Until release() a held agent
// does not connect. One at a time per world.
class FakeAgent {
  public:
    using Script = std::function<void(LinkSocket&)>;
    FakeAgent(const LinkWorld& world, Script script, bool held = false);
    // Shuts its connection down (ending a blocked read) and joins.
    ~FakeAgent();
    FakeAgent(const FakeAgent&) = delete;
    FakeAgent& operator=(const FakeAgent&) = delete;
    // Lets a held agent connect.
    void release();
    // Waits for the script to end by itself.
    void join();

  private:
    void run(const Script& script);
    // Waits for a handover on `conn` while not stopping; the received
    // descriptor or -1.
    int receive_handover(int conn);

    std::filesystem::path path_;
    LinkSocket listener_;
    std::mutex mutex_;
    std::condition_variable gate_;
    bool released_;
    bool stopping_ = false;
    LinkSocket socket_;
    std::thread thread_;
};

// Reads one command block; its code, or -1 when the desktop closed.
int read_command(LinkSocket& s);
// Sends little-endian int32 values.
void send_int32(LinkSocket& s, int32_t v);
// True when the desktop has closed its end (a read sees the end).
bool desktop_closed(LinkSocket& s);

// What the ORX_Exception that `f` throws says, or "<nothing thrown>".
template <class F>
std::string thrown_text(F&& f) {
    try {
        f();
    } catch (const ORX_Exception& e) {
        return e.what();
    }
    return "<nothing thrown>";
}

// How long `f` took.
template <class F>
std::chrono::milliseconds time_of(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

// The whole content of the file `p` (empty when it cannot be read).
std::string file_text(const std::filesystem::path& p);

}  // namespace quillet::test
