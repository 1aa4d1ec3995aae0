#include "phonelet/desktop_connection.h"

#include <array>

#include "platform/ce/ce_system.h"
#include "protocol/byte_order.h"

namespace quillet {

DesktopConnection::DesktopConnection(uint16_t port) : port_(port) {}

DesktopConnection::~DesktopConnection() {
    flush();
}

bool DesktopConnection::connect() {
    if (ce::WSAStartup(ce::MAKEWORD(1, 0)) != 0)
        return false;
    ce::HostEntry host;
    if (!ce::gethostbyname(ce::kDesktopHostName, host) || host.addresses.empty())
        return false;
    for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
        socket_ = LinkSocket::connect_ipv4(host.addresses.front(), port_);
        ce::Sleep(kAttemptPauseMs);
        if (socket_.valid())
            return true;
    }
    return false;
}

void DesktopConnection::send(std::span<const uint8_t> bytes) {
    if (!socket_.valid())
        return;
    if (queued_.size() + bytes.size() > kSendPieceBytes) {
        flush();
        if (bytes.size() >= kSendPieceBytes) {
            socket_.send_all(bytes);
            return;
        }
    }
    queued_.insert(queued_.end(), bytes.begin(), bytes.end());
}

void DesktopConnection::flush() {
    if (queued_.empty())
        return;
    if (socket_.valid())
        socket_.send_all(queued_);
    queued_.clear();
}

void DesktopConnection::send_int32(int32_t value) {
    std::array<uint8_t, 4> bytes{};
    put_i32le(bytes, 0, value);
    send(bytes);
}

int DesktopConnection::receive(std::span<uint8_t> bytes) {
    flush();
    if (!socket_.receive_exact(bytes))
        return -1;
    return static_cast<int>(bytes.size());
}

}  // namespace quillet
