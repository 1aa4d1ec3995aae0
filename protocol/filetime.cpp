#include "filetime.h"

#include <chrono>

namespace quillet {
namespace {

// Keep every time that reaches the C library inside what it can represent.
constexpr int64_t kMaxUnixSeconds = 253'402'300'799;  // 9999-12-31 23:59:59

time_t clamp_time(int64_t s) {
    if (s > kMaxUnixSeconds)
        return static_cast<time_t>(kMaxUnixSeconds);
    return static_cast<time_t>(s);
}

}  // namespace

FileTime filetime_now() {
    const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
    const auto ticks =
        std::chrono::duration_cast<std::chrono::nanoseconds>(since_epoch).count() / 100;
    return kUnixEpochTicks + static_cast<FileTime>(ticks);
}

FileTime filetime_from_unix(int64_t seconds, uint32_t nanoseconds) {
    const int64_t ticks = seconds * static_cast<int64_t>(kTicksPerSecond) + nanoseconds / 100;
    return kUnixEpochTicks + static_cast<FileTime>(ticks);
}

int64_t unix_seconds(FileTime t) {
    if (t >= kUnixEpochTicks)
        return static_cast<int64_t>((t - kUnixEpochTicks) / kTicksPerSecond);
    const FileTime before = kUnixEpochTicks - t;
    return -static_cast<int64_t>((before + kTicksPerSecond - 1) / kTicksPerSecond);
}

std::tm utc_tm(FileTime t) {
    const time_t s = clamp_time(unix_seconds(t));
    std::tm tm{};
    gmtime_r(&s, &tm);
    return tm;
}

std::tm local_tm(FileTime t) {
    const time_t s = clamp_time(unix_seconds(t));
    std::tm tm{};
    localtime_r(&s, &tm);
    return tm;
}

int64_t local_seconds(FileTime t) {
    const int64_t s = unix_seconds(t);
    return s + local_tm(t).tm_gmtoff;
}

}  // namespace quillet
