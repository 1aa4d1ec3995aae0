// Setting the link up: the remote API, the agent's copy and start, and the
// agent's connection; the send and receive primitives.
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <new>
#include <thread>

#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/app_paths.h"
#include "desktop/store/log_file.h"
#include "desktop/store/orx_exception.h"
#include "desktop/store/unique_fd.h"
#include "platform/rapi/link_peer.h"
#include "platform/rapi/rapi.h"

namespace quillet {
namespace {

using Clock = std::chrono::steady_clock;

void log(std::string_view text) {
    program_log().log_line(text);
}

// The whole agent file, or an exception with the link's text.
std::vector<uint8_t> read_agent_file(const UniqueFd& file) {
    struct stat st {};
    if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        throw ORX_Exception("init_dir: Could not read exe file for device.");
    }
    std::vector<uint8_t> buffer;
    try {
        buffer.resize(static_cast<size_t>(st.st_size));
    } catch (const std::bad_alloc&) {
        throw ORX_Exception("init_dir: No ExeBuffer.");
    }
    size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t n = ::read(file.get(), buffer.data() + done, buffer.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw ORX_Exception("init_dir: Could not read exe file for device.");
        done += static_cast<size_t>(n);
    }
    return buffer;
}

// "user NAME" for a user id, or "user id N" when it has no name.
std::string user_name(uid_t uid) {
    passwd entry{};
    passwd* found = nullptr;
    std::array<char, 1024> buffer{};
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_name != nullptr) {
        return std::string("user ") + found->pw_name;
    }
    return "user id " + std::to_string(uid);
}

// "10 seconds", or "700 ms" for a limit that is not whole seconds.
std::string duration_text(std::chrono::milliseconds d) {
    if (d.count() % 1000 == 0)
        return std::to_string(d.count() / 1000) + " seconds";
    return std::to_string(d.count()) + " ms";
}

// Waits for the remote API's event in short steps, so that a link being
// destroyed does not sit out a whole wait.
bool wait_for_phone(const rapi::RapiEvent& event, std::chrono::milliseconds wait,
                    const std::atomic<bool>& stop) {
    constexpr std::chrono::milliseconds kStep{100};
    const auto deadline = Clock::now() + wait;
    while (!stop) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        const auto step = std::min(left, kStep);
        if (rapi::WaitForSingleObject(event, static_cast<uint32_t>(step.count())) ==
            rapi::WAIT_OBJECT_0) {
            return true;
        }
    }
    return false;
}

}  // namespace

SmartphoneSmsConnect::SmartphoneSmsConnect(LinkSettings settings)
    : settings_(settings), interval_(settings.sentinel_interval) {}

SmartphoneSmsConnect::~SmartphoneSmsConnect() {
    {
        std::lock_guard guard(wake_mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    {
        std::lock_guard guard(socket_mutex_);
        socket_.shutdown();
        listener_.shutdown();
    }
    if (sentinel_.joinable())
        sentinel_.join();
}

void SmartphoneSmsConnect::connect() {
    log("SmartphoneSmsConnect::connect()");
    // The state is read without the link lock: the sentinel holds the lock
    // for a whole set-up, and the caller is the window.
    if (state_ == LinkState::CONNECTED) {
        log("SmartphoneSmsConnect::connect() case CONNECTED");
        log("SmartphoneSmsConnect::connect() end");
        return;
    }
    log("SmartphoneSmsConnect::connect() case PLEASE_CONNECT");
    {
        std::lock_guard wake_guard(wake_mutex_);
        setup_problem_.reset();
        // Only a lost link is asked for again: a set-up that finished since
        // the look above keeps its CONNECTED.
        LinkState lost = LinkState::LOST;
        state_.compare_exchange_strong(lost, LinkState::PLEASE_CONNECT);
    }
    wake_.notify_all();
    for (int i = 0; i < settings_.connect_polls; ++i) {
        std::this_thread::sleep_for(settings_.connect_poll);
        if (state_ == LinkState::CONNECTED)
            return;
    }
    log("SmartphoneSmsConnect::connect() exception Could not connect");
    std::lock_guard wake_guard(wake_mutex_);
    throw ORX_Exception::not_connected(setup_problem_ ? &*setup_problem_ : nullptr);
}

void SmartphoneSmsConnect::note_setup_problem(const ORX_Exception& problem) {
    std::lock_guard wake_guard(wake_mutex_);
    setup_problem_ = problem;
}

SmartphoneSmsConnect::ExchangeLock SmartphoneSmsConnect::lock_for_operation() {
    ExchangeLock guard(lock_, std::defer_lock);
    if (!guard.try_lock_for(settings_.lock_wait)) {
        log("SmartphoneSmsConnect: link busy");
        throw ORX_Exception(ORX_Exception::Kind::LinkBusy, u"");
    }
    return guard;
}

int SmartphoneSmsConnect::init() {
    if (initialised_)
        return 1;
    log("SPC init");
    std::lock_guard guard(lock_);
    if (gate_) {
        if (const std::optional<ORX_Exception> refusal = gate_()) {
            // The caller waiting in connect() hears why.
            note_setup_problem(*refusal);
            throw *refusal;
        }
    }
    try {
        log("SPC init() open rapi");
        open_rapi(settings_.rapi_wait, settings_.rapi_tries);
        // Listening comes first: an agent must never find another program
        // listening in our place.
        log("SPC init() listen");
        listen_for_agent();
        log("SPC init() install_soft");
        install_soft();  // false: the agent already on the phone is started
        log("SPC init() run_remote_exe");
        run_remote_exe();
        log("SPC init() init_socket");
        accept_agent();
    } catch (...) {
        {
            std::lock_guard socket_guard(socket_mutex_);
            listener_.close();
        }
        rapi::CeRapiUninit();
        throw;
    }
    rapi::CeRapiUninit();
    state_ = LinkState::CONNECTED;
    log("SPC init CONNECTED!");
    return 0;
}

bool SmartphoneSmsConnect::open_rapi(std::chrono::milliseconds wait, int tries) {
    std::lock_guard guard(lock_);
    for (int i = 0; i < tries && !stop_; ++i) {
        rapi::RAPIINIT init;
        const rapi::HRESULT hr = rapi::CeRapiInitEx(init);
        if (!rapi::failed(hr) && wait_for_phone(init.heRapiInit, wait, stop_) &&
            !rapi::failed(init.hrRapiInit)) {
            return true;
        }
        rapi::CeRapiUninit();
    }
    throw ORX_Exception("Unable to open RAPI");
}

bool SmartphoneSmsConnect::install_soft() {
    std::lock_guard guard(lock_);
    constexpr uint32_t kMaxPath = 255;
    std::u16string temp;
    const uint32_t length = rapi::CeGetTempPath(kMaxPath, temp);
    if (length == 0 || length > kMaxPath) {
        throw ORX_Exception("InstallSoft: Could not get TempPath.");
    }
    device_folder_ = temp + u"quillet";
    if (rapi::CeGetFileAttributes(device_folder_) == rapi::INVALID_FILE_ATTRIBUTES &&
        !rapi::CeCreateDirectory(device_folder_)) {
        throw ORX_Exception("InstallSoft: Could not create directory");
    }
    rapi::CeHandle remote = rapi::CeCreateFile(device_folder_ + u"\\phonelet.exe",
                                               rapi::GENERIC_READ | rapi::GENERIC_WRITE, 0,
                                               rapi::CREATE_ALWAYS, rapi::FILE_ATTRIBUTE_NORMAL);
    if (!remote.valid())
        return false;

    const UniqueFd local = open_for_reading(resource_path(u"ondevice\\phonelet.exe"));
    if (!local.valid())
        throw ORX_Exception("init_dir: Could not find exe file for device.");
    const std::vector<uint8_t> buffer = read_agent_file(local);
    uint32_t written = 0;
    if (!rapi::CeWriteFile(remote, buffer, &written) || written != buffer.size()) {
        throw ORX_Exception("init_dir: Could not write file (CeWriteFile)");
    }
    rapi::CeCloseHandle(remote);
    return true;
}

bool SmartphoneSmsConnect::run_remote_exe() {
    std::lock_guard guard(lock_);
    rapi::PROCESS_INFORMATION info;
    agent_pid_ = 0;
    if (!rapi::CeCreateProcess(device_folder_ + u"\\phonelet.exe", u"", &info)) {
        throw ORX_Exception("do_command: Unable to CeCreateProcess");
    }
    agent_pid_ = info.dwProcessId;
    return true;
}

void SmartphoneSmsConnect::listen_for_agent() {
    std::lock_guard guard(lock_);
    if (socket_.valid())
        return;
    constexpr int kBacklog = 20;
    const uint16_t port = link_port();
    LinkSocket listener = LinkSocket::listen_loopback(port, kBacklog);
    if (!listener.valid()) {
        std::string text = "init_socket: Could not listen for the device.";
        if (const auto owner = rapi::ListenerOwner(port)) {
            const std::string problem = "the link's port " + std::to_string(port) +
                                        " is held by another program (" + user_name(*owner) +
                                        "); the phone's agent was not started.";
            note_setup_problem(ORX_Exception(problem));
            text = "init_socket: " + problem;
        }
        log("SPC " + text);
        throw ORX_Exception(text);
    }
    std::lock_guard socket_guard(socket_mutex_);
    if (stop_)
        throw ORX_Exception("init_socket: The device did not connect.");
    listener_ = std::move(listener);
}

void SmartphoneSmsConnect::accept_agent() {
    std::lock_guard guard(lock_);
    if (socket_.valid())
        return;
    // Only the connection of the process that run_remote_exe started is the
    // agent's; any other local program's is closed and the wait goes on, up
    // to the accept limit. Four accepts that fail outright end it as well.
    const auto deadline = Clock::now() + settings_.accept_limit;
    LinkSocket accepted;
    int failed_accepts = 0;
    while (!stop_ && failed_accepts < 4) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            break;
        uint32_t peer = 0;
        LinkSocket s = listener_.accept_one(static_cast<int>(left.count()), &peer);
        if (!s.valid()) {
            if (Clock::now() < deadline)
                ++failed_accepts;
            continue;
        }
        if (peer != INADDR_LOOPBACK || !rapi::IsConnectionFromProcess(s.fd(), agent_pid_)) {
            log("SPC init_socket: connection from another program closed");
            continue;
        }
        accepted = std::move(s);
        break;
    }
    accepted.set_receive_limit(settings_.receive_limit);
    {
        std::lock_guard socket_guard(socket_mutex_);
        listener_.close();
        if (!stop_) {
            socket_ = std::move(accepted);
            received_.clear();
            reply_started_ = Clock::now();
            reply_bytes_ = 0;
            reply_socket_bytes_ = 0;
        }
    }
    if (!socket_.valid())
        throw ORX_Exception("init_socket: The device did not connect.");
}

std::ptrdiff_t SmartphoneSmsConnect::send_data(std::span<const uint8_t> bytes) {
    std::lock_guard guard(lock_);
    if (!socket_.valid())
        return -1;
    if (!socket_.send_all(bytes)) {
        close_socket();
        log("SPC: send_data socket error");
        throw ORX_Exception("send_data socket error");
    }
    // What the agent sends next answers this: its reply starts now.
    reply_started_ = Clock::now();
    reply_bytes_ = 0;
    reply_socket_bytes_ = socket_.received_bytes();
    return static_cast<std::ptrdiff_t>(bytes.size());
}

std::ptrdiff_t SmartphoneSmsConnect::receive_data(std::span<uint8_t> buffer) {
    std::lock_guard guard(lock_);
    log("SPC::receive_data()");
    if (!socket_.valid()) {
        log("SPC::receive_data() end");
        return -1;
    }
    const Clock::time_point reply_deadline = reply_deadline_for(buffer.size());
    socket_.set_reply_deadline(reply_deadline);
    if (!received_.read_exact(socket_, buffer)) {
        // Closed, so the next set-up listens for the new agent instead of
        // staying on a broken connection.
        const bool timed_out = socket_.timed_out();
        // Bytes of this reply that arrived, whole pieces or not (what the
        // buffer held at the send belonged to an earlier reply).
        const uint64_t arrived = socket_.received_bytes() - reply_socket_bytes_;
        close_socket();
        if (timed_out && arrived > 0 && Clock::now() >= reply_deadline) {
            log("SPC::receive_data reply too slow");
            throw ORX_Exception("receive_data: the device's reply came too slowly (" +
                                std::to_string(arrived) + " bytes in " +
                                duration_text(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    Clock::now() - reply_started_)) +
                                ")");
        }
        if (timed_out) {
            log("SPC::receive_data time limit");
            throw ORX_Exception("receive_data: no answer from the device within " +
                                duration_text(settings_.receive_limit));
        }
        log("SPC::receive_data socket error");
        throw ORX_Exception("receive_data socket error");
    }
    reply_bytes_ += buffer.size();
    return static_cast<std::ptrdiff_t>(buffer.size());
}

Clock::time_point SmartphoneSmsConnect::reply_deadline_for(size_t more) const {
    using std::chrono::milliseconds;
    const uint64_t bytes = reply_bytes_ + more;
    const uint64_t floor = std::max<uint32_t>(settings_.reply_floor, 1);
    const auto earned = milliseconds(std::min<uint64_t>(
        bytes * 1000 / floor, static_cast<uint64_t>(settings_.reply_limit.count())));
    return reply_started_ + std::min(settings_.receive_limit + earned, settings_.reply_limit);
}

void SmartphoneSmsConnect::interrupt() {
    std::lock_guard guard(socket_mutex_);
    socket_.shutdown();
    listener_.shutdown();
}

void SmartphoneSmsConnect::close_socket() {
    std::lock_guard guard(socket_mutex_);
    socket_.close();
    received_.clear();
}

}  // namespace quillet
