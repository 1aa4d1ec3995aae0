// The system's socket tables: /proc/net/tcp for the connections and
// listeners, /proc/<pid>/fd for the sockets a process holds.
#include "platform/rapi/link_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace quillet::rapi {
namespace {

constexpr unsigned kListenState = 0x0A;

// One line of /proc/net/tcp. Addresses as the table prints them: the
// address in network order read as a host number, the port in host order.
struct TcpEntry {
    uint32_t local_address = 0;
    unsigned local_port = 0;
    uint32_t remote_address = 0;
    unsigned remote_port = 0;
    unsigned state = 0;
    unsigned uid = 0;
    unsigned long inode = 0;
};

std::optional<TcpEntry> parse_line(const std::string& line) {
    TcpEntry e;
    const int fields = std::sscanf(
        line.c_str(), " %*u: %8X:%4X %8X:%4X %2X %*X:%*X %*X:%*X %*X %u %*u %lu", &e.local_address,
        &e.local_port, &e.remote_address, &e.remote_port, &e.state, &e.uid, &e.inode);
    if (fields != 7)
        return std::nullopt;
    return e;
}

template <class Match>
std::optional<TcpEntry> find_entry(Match&& match) {
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);  // the heading
    while (std::getline(table, line)) {
        if (const auto entry = parse_line(line); entry && match(*entry))
            return entry;
    }
    return std::nullopt;
}

bool process_holds_socket(pid_t pid, unsigned long inode) {
    namespace fs = std::filesystem;
    const std::string wanted = "socket:[" + std::to_string(inode) + "]";
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        std::error_code link_ec;
        if (fs::read_symlink(fd.path(), link_ec).string() == wanted && !link_ec)
            return true;
    }
    return false;
}

}  // namespace

bool IsConnectionFromProcess(int fd, pid_t pid) {
    if (pid <= 0)
        return false;
    sockaddr_in ours{};
    sockaddr_in theirs{};
    socklen_t ours_len = sizeof ours;
    socklen_t theirs_len = sizeof theirs;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&ours), &ours_len) != 0 ||
        ::getpeername(fd, reinterpret_cast<sockaddr*>(&theirs), &theirs_len) != 0 ||
        ours.sin_family != AF_INET || theirs.sin_family != AF_INET) {
        return false;
    }
    // The peer's own socket: its local end is our remote end and the other
    // way round.
    const auto peer = find_entry([&](const TcpEntry& e) {
        return e.local_address == theirs.sin_addr.s_addr &&
               e.local_port == ntohs(theirs.sin_port) && e.remote_address == ours.sin_addr.s_addr &&
               e.remote_port == ntohs(ours.sin_port);
    });
    return peer && peer->inode != 0 && process_holds_socket(pid, peer->inode);
}

std::optional<uid_t> ListenerOwner(uint16_t port) {
    // Any listener on the port stands in the way of ours, whatever address
    // it took, IPv4 or IPv6; the address is skipped, not compared.
    for (const char* table_name : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream table(table_name);
        std::string line;
        std::getline(table, line);
        while (std::getline(table, line)) {
            unsigned local_port = 0;
            unsigned state = 0;
            unsigned uid = 0;
            if (std::sscanf(line.c_str(),
                            " %*u: %*[0-9A-Fa-f]:%4X %*[0-9A-Fa-f]:%*4X %2X %*X:%*X %*X:%*X %*X %u",
                            &local_port, &state, &uid) == 3 &&
                state == kListenState && local_port == port) {
                return static_cast<uid_t>(uid);
            }
        }
    }
    return std::nullopt;
}

}  // namespace quillet::rapi
