#include "link_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>

#include <algorithm>
#include <utility>

#include "wire_format.h"

namespace quillet {

LinkSocket::~LinkSocket() {
    close();
}

LinkSocket::LinkSocket(LinkSocket&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      receive_limit_(other.receive_limit_),
      reply_deadline_(other.reply_deadline_),
      received_bytes_(std::exchange(other.received_bytes_, 0)) {}

LinkSocket& LinkSocket::operator=(LinkSocket&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        receive_limit_ = other.receive_limit_;
        reply_deadline_ = other.reply_deadline_;
        received_bytes_ = std::exchange(other.received_bytes_, 0);
        timed_out_ = false;
    }
    return *this;
}

void LinkSocket::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void LinkSocket::shutdown() {
    if (fd_ >= 0)
        ::shutdown(fd_, SHUT_RDWR);
}

bool LinkSocket::send_all(std::span<const uint8_t> bytes) {
    if (fd_ < 0)
        return false;
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

bool LinkSocket::wait_readable(std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready > 0)
            return true;  // readable, closed or failed: recv tells which
        if (ready < 0 && errno != EINTR)
            return true;
    }
}

std::chrono::steady_clock::time_point LinkSocket::piece_deadline() const {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point none{};
    const Clock::time_point own = receive_limit_.count() > 0 ? Clock::now() + receive_limit_ : none;
    if (reply_deadline_ == none)
        return own;
    return own == none ? reply_deadline_ : std::min(own, reply_deadline_);
}

bool LinkSocket::receive_exact(std::span<uint8_t> out) {
    timed_out_ = false;
    if (fd_ < 0)
        return false;
    const auto deadline = piece_deadline();
    size_t got = 0;
    while (got < out.size()) {
        const std::ptrdiff_t n = receive_until(out.subspan(got), deadline);
        if (n <= 0)
            return false;
        got += static_cast<size_t>(n);
    }
    return true;
}

std::ptrdiff_t LinkSocket::receive_some(std::span<uint8_t> out) {
    timed_out_ = false;
    return receive_until(out, piece_deadline());
}

std::ptrdiff_t LinkSocket::receive_until(std::span<uint8_t> out,
                                         std::chrono::steady_clock::time_point deadline) {
    if (fd_ < 0 || out.empty())
        return 0;
    for (;;) {
        if (deadline != std::chrono::steady_clock::time_point{} && !wait_readable(deadline)) {
            timed_out_ = true;
            return 0;
        }
        const ssize_t n = ::recv(fd_, out.data(), out.size(), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            int pending = 0;
            socklen_t len = sizeof pending;
            ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &pending, &len);  // cleared, not used
            return 0;
        }
        received_bytes_ += static_cast<uint64_t>(n);
        return n;
    }
}

static sockaddr_in ipv4_address(uint32_t ipv4, uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(ipv4);
    return addr;
}

static void set_no_delay(int fd) {
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

LinkSocket LinkSocket::listen_loopback(uint16_t port, int backlog) {
    LinkSocket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!s.valid())
        return s;
    int one = 1;
    ::setsockopt(s.fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    const sockaddr_in addr = ipv4_address(INADDR_LOOPBACK, port);
    if (::bind(s.fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(s.fd_, backlog) != 0) {
        s.close();
    }
    return s;
}

LinkSocket LinkSocket::accept_one(int timeout_ms, uint32_t* peer_ipv4) {
    if (fd_ < 0)
        return LinkSocket();
    pollfd p{fd_, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&p, 1, timeout_ms);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0 || (p.revents & POLLIN) == 0)
        return LinkSocket();
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    LinkSocket s(::accept4(fd_, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC));
    if (s.valid()) {
        set_no_delay(s.fd_);
        if (peer_ipv4)
            *peer_ipv4 = ntohl(peer.sin_addr.s_addr);
    }
    return s;
}

LinkSocket LinkSocket::connect_ipv4(uint32_t ipv4, uint16_t port) {
    LinkSocket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!s.valid())
        return s;
    const sockaddr_in addr = ipv4_address(ipv4, port);
    if (::connect(s.fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        s.close();
        return s;
    }
    set_no_delay(s.fd_);
    return s;
}

uint16_t link_port() {
    const char* v = std::getenv("QUILLET_LINK_PORT");
    if (v == nullptr || *v == '\0')
        return kLinkPort;
    char* end = nullptr;
    const long port = std::strtol(v, &end, 10);
    if (*end != '\0' || port <= 0 || port > 65535)
        return kLinkPort;
    return static_cast<uint16_t>(port);
}

}  // namespace quillet
