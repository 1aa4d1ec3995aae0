#include "protocol/receive_buffer.h"

#include <algorithm>

namespace quillet {

ReceiveBuffer::ReceiveBuffer() : bytes_(kCapacity) {}

size_t ReceiveBuffer::take_held(std::span<uint8_t> out) {
    const size_t n = std::min(out.size(), held());
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(begin_), n, out.begin());
    begin_ += n;
    if (begin_ == end_)
        clear();
    return n;
}

bool ReceiveBuffer::read_exact(LinkSocket& socket, std::span<uint8_t> out) {
    size_t got = take_held(out);
    while (got < out.size()) {
        const std::span<uint8_t> rest = out.subspan(got);
        if (rest.size() >= kCapacity) {
            if (!socket.receive_exact(rest)) {
                clear();
                return false;
            }
            return true;
        }
        // Empty here: take_held emptied it before asking for more.
        const std::ptrdiff_t n = socket.receive_some(bytes_);
        if (n <= 0) {
            clear();
            return false;
        }
        end_ = static_cast<size_t>(n);
        got += take_held(rest);
    }
    return true;
}

}  // namespace quillet
