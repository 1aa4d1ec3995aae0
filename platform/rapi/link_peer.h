// Who is at the other end of the link. In this build the phone's network is
// the loopback address, shared with every local program: the desktop end
// asks these before it trusts a connection or gives up a port. Both read the
// system's socket tables (/proc); neither blocks.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>

namespace quillet::rapi {

// True when the other end of the connected TCP socket `fd` is a socket that
// process `pid` holds open: the connection was made by that program. False
// when it cannot be told (the process is gone, belongs to another user, or
// the connection is not found).
bool IsConnectionFromProcess(int fd, pid_t pid);

// The user that owns a socket listening on the loopback or any address at
// TCP `port`, when there is one.
std::optional<uid_t> ListenerOwner(uint16_t port);

}  // namespace quillet::rapi
