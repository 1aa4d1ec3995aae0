// Bytes of one connection read ahead in large pieces and handed out exactly
// as asked: a reply of many small records costs a few system calls instead
// of two per record.
//
// It reads only what the peer already sent, so it never waits for more than
// the caller asked for; bytes it holds belong to the connection they came
// from and are dropped with clear() when that connection goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "protocol/link_socket.h"

namespace quillet {

class ReceiveBuffer {
  public:
    static constexpr size_t kCapacity = 64 * 1024;

    ReceiveBuffer();

    // Fills `out` exactly: first from what is held, then from `socket`. A
    // read of at least kCapacity goes straight into `out`. False when the
    // connection ended or broke first; what was held is then gone.
    bool read_exact(LinkSocket& socket, std::span<uint8_t> out);
    // Drops what is held.
    void clear() { begin_ = end_ = 0; }
    size_t held() const { return end_ - begin_; }

  private:
    size_t take_held(std::span<uint8_t> out);

    std::vector<uint8_t> bytes_;
    size_t begin_ = 0;
    size_t end_ = 0;
};

}  // namespace quillet
