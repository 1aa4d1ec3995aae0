// Setting the link up: the remote API, the agent's copy and start, and the
// agent's connection; the send and receive primitives.
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <thread>

#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/app_paths.h"
#include "desktop/store/log_file.h"
#include "desktop/store/orx_exception.h"
#include "desktop/store/unique_fd.h"
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
    {
        std::lock_guard guard(lock_);
        log("SmartphoneSmsConnect::connect() has lock");
        if (state_ == LinkState::CONNECTED) {
            log("SmartphoneSmsConnect::connect() case CONNECTED");
            log("SmartphoneSmsConnect::connect() end");
            return;
        }
        log("SmartphoneSmsConnect::connect() case PLEASE_CONNECT");
        {
            std::lock_guard wake_guard(wake_mutex_);
            state_ = LinkState::PLEASE_CONNECT;
        }
        wake_.notify_all();
    }
    for (int i = 0; i < settings_.connect_polls; ++i) {
        std::this_thread::sleep_for(settings_.connect_poll);
        if (state_ == LinkState::CONNECTED)
            return;
    }
    log("SmartphoneSmsConnect::connect() exception Could not connect");
    throw ORX_Exception("Could not connect");
}

int SmartphoneSmsConnect::init() {
    if (initialised_)
        return 1;
    log("SPC init");
    std::lock_guard guard(lock_);
    if (gate_) {
        if (const std::string refusal = gate_(); !refusal.empty())
            throw ORX_Exception(refusal);
    }
    try {
        log("SPC init() open rapi");
        open_rapi(settings_.rapi_wait, settings_.rapi_tries);
        log("SPC init() install_soft");
        install_soft();  // false: the agent already on the phone is started
        log("SPC init() run_remote_exe");
        run_remote_exe();
        log("SPC init() init_socket");
        init_socket();
    } catch (...) {
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
    if (!rapi::CeCreateProcess(device_folder_ + u"\\phonelet.exe", u"", &info)) {
        throw ORX_Exception("do_command: Unable to CeCreateProcess");
    }
    return true;
}

void SmartphoneSmsConnect::init_socket() {
    std::lock_guard guard(lock_);
    if (socket_.valid())
        return;
    constexpr int kBacklog = 20;
    LinkSocket listener = LinkSocket::listen_loopback(link_port(), kBacklog);
    if (!listener.valid())
        throw ORX_Exception("init_socket: Could not listen for the device.");
    {
        std::lock_guard socket_guard(socket_mutex_);
        if (stop_)
            throw ORX_Exception("init_socket: The device did not connect.");
        listener_ = std::move(listener);
    }

    // The phone's link is the loopback address: a connection from anywhere
    // else is closed and the wait goes on, up to the accept limit. Four
    // accepts that fail outright end the wait as well.
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
        if (peer != INADDR_LOOPBACK) {
            log("SPC init_socket: connection from another address closed");
            continue;
        }
        accepted = std::move(s);
        break;
    }
    {
        std::lock_guard socket_guard(socket_mutex_);
        listener_.close();
        if (!stop_)
            socket_ = std::move(accepted);
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
    return static_cast<std::ptrdiff_t>(bytes.size());
}

std::ptrdiff_t SmartphoneSmsConnect::receive_data(std::span<uint8_t> buffer) {
    std::lock_guard guard(lock_);
    log("SPC::receive_data()");
    if (!socket_.valid()) {
        log("SPC::receive_data() end");
        return -1;
    }
    if (!socket_.receive_exact(buffer)) {
        // Closed, so the next set-up listens for the new agent instead of
        // staying on a broken connection.
        close_socket();
        log("SPC::receive_data socket error");
        throw ORX_Exception("receive_data socket error");
    }
    return static_cast<std::ptrdiff_t>(buffer.size());
}

void SmartphoneSmsConnect::close_socket() {
    std::lock_guard guard(socket_mutex_);
    socket_.close();
}

}  // namespace quillet
