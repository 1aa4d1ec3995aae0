// The agent's one connection to the desktop program.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "protocol/link_socket.h"

namespace quillet {

class DesktopConnection {
  public:
    static constexpr int kConnectAttempts = 50;
    static constexpr uint32_t kAttemptPauseMs = 500;

    // The port is protocol's link_port(): 12121 unless a test names another.
    explicit DesktopConnection(uint16_t port);
    virtual ~DesktopConnection();
    DesktopConnection(const DesktopConnection&) = delete;
    DesktopConnection& operator=(const DesktopConnection&) = delete;

    // Starts sockets, resolves the desktop's host name and makes up to
    // kConnectAttempts attempts, pausing kAttemptPauseMs after each one
    // (also after the one that succeeds). False when the name does not
    // resolve or every attempt failed; the connection then has no socket.
    bool connect();
    bool connected() const { return socket_.valid(); }

    // Queues the bytes when there is a socket. Queued bytes leave in pieces
    // of kSendPieceBytes (a piece at least that large at once), and all of
    // them before the next receive and when the connection object goes: a
    // reply of many small records takes a few system calls, not two per
    // record. The bytes and their order do not change. A failure shows at
    // the next receive.
    void send(std::span<const uint8_t> bytes);
    void send_int32(int32_t value);
    // Sends what is queued now.
    void flush();
    // Sends what is queued, then reads exactly bytes.size() bytes: returns
    // that number, or -1 when the desktop closed the connection or it broke.
    int receive(std::span<uint8_t> bytes);

    static constexpr size_t kSendPieceBytes = 64 * 1024;

  private:
    uint16_t port_;
    LinkSocket socket_;
    std::vector<uint8_t> queued_;
};

}  // namespace quillet
