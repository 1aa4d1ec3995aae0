// The sentinel thread: it owns the link's set-up and watches the Inbox.
#include <optional>
#include <system_error>

#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/log_file.h"
#include "desktop/store/orx_exception.h"
#include "platform/rapi/rapi.h"

namespace quillet {
namespace {

void log(std::string_view text) {
    program_log().log_line(text);
}

}  // namespace

bool SmartphoneSmsConnect::start_sentinel(NewMessageCallback callback,
                                          std::chrono::milliseconds interval) {
    if (sentinel_.joinable())
        return false;
    interval_ = interval;
    stop_ = false;
    callback_ = std::move(callback);
    log("SENTINEL: create thread");
    try {
        sentinel_ = std::thread([this] { sentinel_main(); });
    } catch (const std::system_error&) {
        log("SENTINEL: create thread failed");
        return false;
    }
    return true;
}

bool SmartphoneSmsConnect::start_sentinel(NewMessageCallback callback) {
    return start_sentinel(std::move(callback), settings_.sentinel_interval);
}

void SmartphoneSmsConnect::sentinel_main() {
    while (!stop_) {
        run();
        if (stop_)
            break;
        log("SENTINEL: connection lost.");
        state_ = LinkState::LOST;
        rapi::CeRapiUninit();
        pause_after_loss();
    }
}

int SmartphoneSmsConnect::run() {
    try {
        log("SENTINEL: init");
        init();
        initialised_ = true;
        SentinelTick(true);
        while (!stop_) {
            log("SENTINEL: in loop");
            SentinelTick(false);
            sleep_unless_stopping(interval_);
        }
        rapi::CeRapiUninit();
        initialised_ = false;
        return 0;
    } catch (const std::exception&) {
        // Link failures are not shown to the user: the thread sets the link
        // up again after its pause.
        log("SENTINEL: Exception");
        initialised_ = false;
        return -2;
    }
}

void SmartphoneSmsConnect::pause_after_loss() {
    std::unique_lock guard(wake_mutex_);
    for (int i = 0; i < settings_.pause_steps; ++i) {
        if (stop_ || state_ == LinkState::PLEASE_CONNECT)
            return;
        wake_.wait_for(guard, settings_.pause_step,
                       [this] { return stop_ || state_ == LinkState::PLEASE_CONNECT; });
    }
}

void SmartphoneSmsConnect::sleep_unless_stopping(std::chrono::milliseconds d) {
    std::unique_lock guard(wake_mutex_);
    wake_.wait_for(guard, d, [this] { return stop_.load(); });
}

bool SmartphoneSmsConnect::raise_newest_seen(FileTime t) {
    // A restore raises it too, from the thread that writes.
    FileTime seen = newest_seen_;
    while (t > seen) {
        if (newest_seen_.compare_exchange_weak(seen, t))
            return true;
    }
    return false;
}

void SmartphoneSmsConnect::notify_new_message() {
    if (!callback_)
        return;
    // The callback is the window's; whatever it throws is not a link failure.
    try {
        callback_();
    } catch (...) {
        log("SENTINEL: Exception");
    }
}

bool SmartphoneSmsConnect::SentinelTick(bool first) {
    log("SENTINEL: SentinelTick()");
    std::optional<FileTime> newest;
    {
        std::lock_guard guard(lock_);
        send_command(CommandBlock::with_code(CommandCode::SMSSENTINEL));
        const int32_t present = receive_int32();
        if (present != 0 && present != 1) {
            reject_reply("receive_data: bad sentinel reply from device (" +
                         std::to_string(present) + ")");
        }
        if (present == 1)
            newest = receive_record().time;
    }
    if (newest) {
        if (first)
            newest_seen_ = *newest;
        else if (raise_newest_seen(*newest))
            notify_new_message();
    }
    ++ticks_;
    log("SENTINEL: SentinelTick() end");
    return true;
}

}  // namespace quillet
