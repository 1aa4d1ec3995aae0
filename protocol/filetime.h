// FILETIME: 100-nanosecond intervals since 1 January 1601, UTC. The one time
// format of memory, the link and the files.
#pragma once

#include <cstdint>
#include <ctime>

namespace quillet {

using FileTime = uint64_t;

inline constexpr FileTime kTicksPerSecond = 10'000'000;
// 1601-01-01 to 1970-01-01 in ticks.
inline constexpr FileTime kUnixEpochTicks = 116'444'736'000'000'000ULL;

// The system clock now.
FileTime filetime_now();
FileTime filetime_from_unix(int64_t seconds, uint32_t nanoseconds = 0);
// Whole seconds since 1970 (UTC), rounded down; earlier times are negative.
int64_t unix_seconds(FileTime t);
// The same instant as whole seconds of the local calendar: what is compared
// when two messages are tested for the same second.
int64_t local_seconds(FileTime t);
// Broken-down UTC and local time of the whole second of `t`.
std::tm utc_tm(FileTime t);
std::tm local_tm(FileTime t);

}  // namespace quillet
