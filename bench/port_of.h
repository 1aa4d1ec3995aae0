// The port a listening socket was given, for benchmarks that listen on port 0
// and tell an agent where to connect.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>

#include "protocol/link_socket.h"

namespace quillet::bench {

inline uint16_t port_of(const LinkSocket& s) {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    ::getsockname(s.fd(), reinterpret_cast<sockaddr*>(&addr), &len);
    return ntohs(addr.sin_port);
}

}  // namespace quillet::bench
