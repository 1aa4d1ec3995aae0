// Opening the connection to the phone, and starting programs on it.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/phone/phone_image.h"
#include "platform/rapi/rapi.h"
#include "platform/rapi/rapi_internal.h"
#include "protocol/text_codec.h"

extern char** environ;

namespace quillet::rapi {
namespace {

// How often a wait looks whether the phone has been plugged in.
constexpr std::chrono::milliseconds kPlugPoll{25};

// Programs started on the phone that have not been collected yet. An ended
// one is collected at the next call of the remote API, so ended agents do not
// pile up as zombies, and no thread of ours waits on them.
class StartedPrograms {
  public:
    void add(pid_t pid) {
        std::lock_guard lock(mutex_);
        pids_.push_back(pid);
    }
    void collect_ended() {
        std::lock_guard lock(mutex_);
        std::erase_if(pids_, [](pid_t pid) {
            int status = 0;
            const pid_t r = ::waitpid(pid, &status, WNOHANG);
            return r == pid || (r < 0 && errno == ECHILD);
        });
    }

  private:
    std::mutex mutex_;
    std::vector<pid_t> pids_;
};

StartedPrograms& started_programs() {
    static StartedPrograms programs;
    return programs;
}

// The environment of a program on the phone: ours, with the phone image set.
std::vector<std::string> phone_environment() {
    const std::string key = std::string(phone::kPhoneImageEnv) + "=";
    std::vector<std::string> env;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
        if (std::string_view(*e).starts_with(key))
            continue;
        env.emplace_back(*e);
    }
    env.push_back(key + phone::image_folder().string());
    return env;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    out.reserve(strings.size() + 1);
    for (std::string& s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

}  // namespace

struct RapiEvent::State {
    std::atomic<bool> signalled{false};
};

struct RapiEventAccess {
    static RapiEvent make() {
        RapiEvent event;
        event.state_ = std::make_shared<RapiEvent::State>();
        return event;
    }
    static RapiEvent::State* state(const RapiEvent& event) { return event.state_.get(); }
};

uint32_t WaitForSingleObject(const RapiEvent& event, uint32_t timeout_ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    RapiEvent::State* state = RapiEventAccess::state(event);
    for (;;) {
        if (state != nullptr) {
            if (state->signalled)
                return WAIT_OBJECT_0;
            if (phone::is_plugged(phone::image_folder())) {
                state->signalled = true;
                return WAIT_OBJECT_0;
            }
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return WAIT_TIMEOUT;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(kPlugPoll, deadline - now));
    }
}

HRESULT CeRapiInitEx(RAPIINIT& init) {
    started_programs().collect_ended();
    if (init.cbSize != kRapiInitSize)
        return E_INVALIDARG;
    init.heRapiInit = RapiEventAccess::make();
    init.hrRapiInit = S_OK;
    return S_OK;
}

HRESULT CeRapiUninit() {
    started_programs().collect_ended();
    return S_OK;
}

bool CeCreateProcess(std::u16string_view path, std::u16string_view command_line,
                     PROCESS_INFORMATION* info) {
    started_programs().collect_ended();
    if (!detail::phone_ready())
        return false;
    const auto host = detail::host_path(path);
    if (!host) {
        detail::set_last_error(ERROR_INVALID_NAME);
        return false;
    }
    // Only a program inside the phone's files: no link on the way to it.
    const auto place = detail::device_place(path);
    struct stat st {};
    if (!place ||
        ::fstatat(place->folder.fd(), place->name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(st.st_mode)) {
        detail::set_last_error(ERROR_FILE_NOT_FOUND);
        return false;
    }
    std::vector<std::string> args{host->string()};
    if (!command_line.empty())
        args.push_back(to_utf8(command_line));
    std::vector<std::string> env = phone_environment();
    std::vector<char*> argv = pointers(args);
    std::vector<char*> envp = pointers(env);

    // The program starts with no signal blocked, whatever thread starts it.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    const int err = ::posix_spawn(&pid, argv[0], nullptr, &attr, argv.data(), envp.data());
    posix_spawnattr_destroy(&attr);
    if (err != 0) {
        detail::set_last_error(detail::error_from_errno(err));
        return false;
    }
    started_programs().add(pid);
    if (info)
        info->dwProcessId = pid;
    return true;
}

}  // namespace quillet::rapi
