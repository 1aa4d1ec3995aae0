// A TCP socket owned by one object, used by both ends of the link.
//
// Reads take exactly the bytes asked for: a receive error, the peer closing
// the connection (zero bytes) or, when a receive limit is set, the bytes not
// all arriving within it is a failure. Each send hands one whole piece to
// the connection. SIGPIPE is never raised; a broken connection shows as a
// failed send.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace quillet {

class LinkSocket {
  public:
    LinkSocket() = default;
    explicit LinkSocket(int fd) : fd_(fd) {}
    ~LinkSocket();
    LinkSocket(LinkSocket&& other) noexcept;
    LinkSocket& operator=(LinkSocket&& other) noexcept;
    LinkSocket(const LinkSocket&) = delete;
    LinkSocket& operator=(const LinkSocket&) = delete;

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    void close();
    // Wakes a thread blocked in receive or accept on this socket (it then
    // fails); the descriptor stays owned until close().
    void shutdown();

    // True when all of `bytes` went out.
    bool send_all(std::span<const uint8_t> bytes);
    // True when exactly out.size() bytes came in, within the receive limit
    // when one is set.
    bool receive_exact(std::span<uint8_t> out);
    // One read of what has arrived, at most out.size() bytes, waiting for
    // at least one (within the receive limit when one is set): their
    // number, or 0 when the peer closed the connection, it broke or the
    // limit ran out.
    std::ptrdiff_t receive_some(std::span<uint8_t> out);
    // The longest one receive_exact or receive_some may wait; zero (the
    // default) waits for as long as the bytes take.
    void set_receive_limit(std::chrono::milliseconds limit) { receive_limit_ = limit; }
    // No receive waits past `deadline`, whatever its own limit leaves; the
    // default time_point (zero) sets none. A reply sent a byte at a time
    // keeps each piece within its limit, but not the whole within this.
    void set_reply_deadline(std::chrono::steady_clock::time_point deadline) {
        reply_deadline_ = deadline;
    }
    // Whether the last receive failed because its limit ran out.
    bool timed_out() const { return timed_out_; }
    // Bytes received on this connection so far.
    uint64_t received_bytes() const { return received_bytes_; }

    // A listening IPv4 socket on 127.0.0.1:port (SO_REUSEADDR), or invalid.
    static LinkSocket listen_loopback(uint16_t port, int backlog);
    // Waits up to timeout_ms for a connection and accepts it; invalid on
    // timeout or error. `peer_ipv4` receives the peer's address (host order).
    LinkSocket accept_one(int timeout_ms, uint32_t* peer_ipv4 = nullptr);
    // Connects to ipv4:port (host order), or invalid.
    static LinkSocket connect_ipv4(uint32_t ipv4, uint16_t port);

  private:
    // Waits until the socket is readable or `deadline` passes; false then.
    bool wait_readable(std::chrono::steady_clock::time_point deadline);
    // One read, waiting for data until `deadline` when a limit is set.
    std::ptrdiff_t receive_until(std::span<uint8_t> out,
                                 std::chrono::steady_clock::time_point deadline);

    int fd_ = -1;
    // The deadline of a receive that starts now; the default time_point
    // for none.
    std::chrono::steady_clock::time_point piece_deadline() const;

    std::chrono::milliseconds receive_limit_{0};
    std::chrono::steady_clock::time_point reply_deadline_{};
    bool timed_out_ = false;
    uint64_t received_bytes_ = 0;
};

// The port of the link: 12121, unless QUILLET_LINK_PORT names another one
// (tests that run side by side).
uint16_t link_port();

}  // namespace quillet
