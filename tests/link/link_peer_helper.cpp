// The other programs on the link's loopback address, for the link's tests:
//
//   link_peer_helper handover SOCKET
//       The agent a test plays. The desktop's set-up copies a script that
//       runs this onto the phone and starts it, as it starts the real agent.
//       It asks the test (listening on the local socket SOCKET) for the go,
//       connects to the desktop's port, hands the connection over, and stays
//       until the desktop has spoken or the test lets go, so that the
//       connection is its own while the desktop looks at who made it. Without
//       a test listening it ends at once: an agent that never connects.
//   link_peer_helper squat PORT MS
//       Another program that holds the link's port: listens on it for MS
//       milliseconds and prints "connections N".
//   link_peer_helper knock PORT MS
//       Another program that poses as the agent: for MS milliseconds connects
//       to the port again and again and waits for a command on each
//       connection; prints "connections N closed C bytes B".
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "protocol/link_socket.h"

namespace {

using quillet::LinkSocket;
using Clock = std::chrono::steady_clock;

int connect_local(const char* path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path, sizeof addr.sun_path - 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool send_fd(int over, int fd) {
    char byte = 'h';
    iovec iov{&byte, 1};
    alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(int))> control{};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control.data();
    msg.msg_controllen = control.size();
    cmsghdr* c = CMSG_FIRSTHDR(&msg);
    c->cmsg_level = SOL_SOCKET;
    c->cmsg_type = SCM_RIGHTS;
    c->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(c), &fd, sizeof(int));
    return ::sendmsg(over, &msg, MSG_NOSIGNAL) == 1;
}

int handover(const char* path) {
    const int test = connect_local(path);
    if (test < 0)
        return 0;
    char go = 0;
    if (::read(test, &go, 1) != 1)
        return 0;
    LinkSocket link;
    for (int i = 0; i < 250 && !link.valid(); ++i) {
        link = LinkSocket::connect_ipv4(INADDR_LOOPBACK, quillet::link_port());
        if (!link.valid())
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!link.valid() || !send_fd(test, link.fd()))
        return 0;
    pollfd fds[2] = {{link.fd(), POLLIN | POLLRDHUP, 0}, {test, POLLIN, 0}};
    while (::poll(fds, 2, -1) == 0 || (fds[0].revents == 0 && fds[1].revents == 0)) {
    }
    ::close(test);
    return 0;
}

int squat(uint16_t port, int ms) {
    LinkSocket listener = LinkSocket::listen_loopback(port, 20);
    if (!listener.valid()) {
        std::printf("cannot listen\n");
        return 1;
    }
    std::printf("listening\n");
    std::fflush(stdout);
    int connections = 0;
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        if (listener.accept_one(20).valid())
            ++connections;
    }
    std::printf("connections %d\n", connections);
    return 0;
}

int knock(uint16_t port, int ms) {
    int connections = 0;
    int closed = 0;
    long bytes = 0;
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        LinkSocket s = LinkSocket::connect_ipv4(INADDR_LOOPBACK, port);
        if (!s.valid()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        ++connections;
        pollfd p{s.fd(), POLLIN, 0};
        if (::poll(&p, 1, 300) <= 0)
            continue;
        std::array<uint8_t, 256> buffer{};
        const ssize_t n = ::recv(s.fd(), buffer.data(), buffer.size(), 0);
        if (n > 0)
            bytes += n;
        else
            ++closed;
    }
    std::printf("connections %d closed %d bytes %ld\n", connections, closed, bytes);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "handover" && argc == 3)
        return handover(argv[2]);
    if ((mode == "squat" || mode == "knock") && argc == 4) {
        const auto port = static_cast<uint16_t>(std::atoi(argv[2]));
        const int ms = std::atoi(argv[3]);
        return mode == "squat" ? squat(port, ms) : knock(port, ms);
    }
    std::fprintf(stderr,
                 "usage: link_peer_helper handover SOCKET | squat PORT MS | knock PORT MS\n");
    return 2;
}
