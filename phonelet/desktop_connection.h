// The agent's one connection to the desktop program.
#pragma once

#include <cstdint>
#include <span>

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

    // Hands the bytes to one send when there is a socket; a failure shows
    // at the next receive.
    void send(std::span<const uint8_t> bytes);
    void send_int32(int32_t value);
    // Reads exactly bytes.size() bytes: returns that number, or -1 when the
    // desktop closed the connection or it broke.
    int receive(std::span<uint8_t> bytes);
    // While held, sent pieces leave in full segments rather than one packet
    // each; releasing sends what is left at once. A long reply (a whole
    // folder) is held so that the desktop wakes per segment, not per piece.
    // The bytes and their order do not change.
    void hold_output(bool on);

  private:
    uint16_t port_;
    LinkSocket socket_;
};

}  // namespace quillet
