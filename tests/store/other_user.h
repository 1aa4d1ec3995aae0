// A second local user for tests of what one user can do to another: made
// with useradd when the tests run as root, none otherwise (the caller skips
// and says so).
#pragma once

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

namespace quillet::test {

inline constexpr const char* kOtherUser = "quillet-other";
inline constexpr const char* kNeedsRoot = "needs a second user, made with useradd only as root";

inline std::optional<uid_t> other_user() {
    if (::geteuid() != 0)
        return std::nullopt;
    if (::getpwnam(kOtherUser) == nullptr &&
        std::system("useradd --system --no-create-home quillet-other >/dev/null 2>&1") != 0)
        return std::nullopt;
    const passwd* user = ::getpwnam(kOtherUser);
    if (user == nullptr)
        return std::nullopt;
    return user->pw_uid;
}

}  // namespace quillet::test
