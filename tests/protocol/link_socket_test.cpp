// The link's socket on real loopback TCP.
#include "protocol/link_socket.h"
#include "protocol/receive_buffer.h"

#include <gtest/gtest.h>
#include <netinet/in.h>

#include <array>
#include <chrono>
#include <numeric>
#include <thread>
#include <vector>

namespace quillet {
namespace {

struct Pair {
    LinkSocket listener, server, client;
};

Pair connected_pair() {
    Pair p;
    p.listener = LinkSocket::listen_loopback(0, 1);
    EXPECT_TRUE(p.listener.valid());
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    getsockname(p.listener.fd(), reinterpret_cast<sockaddr*>(&addr), &len);
    p.client = LinkSocket::connect_ipv4(INADDR_LOOPBACK, ntohs(addr.sin_port));
    uint32_t peer = 0;
    p.server = p.listener.accept_one(5000, &peer);
    EXPECT_EQ(peer, INADDR_LOOPBACK);
    return p;
}

TEST(LinkSocketTest, ReceiveExactGathersPiecesSentSeparately) {
    Pair p = connected_pair();
    ASSERT_TRUE(p.server.valid());
    ASSERT_TRUE(p.client.valid());
    std::thread writer([&] {
        const std::array<uint8_t, 3> a{1, 2, 3};
        const std::array<uint8_t, 2> b{4, 5};
        p.client.send_all(a);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        p.client.send_all(b);
    });
    std::array<uint8_t, 5> got{};
    EXPECT_TRUE(p.server.receive_exact(got));
    writer.join();
    EXPECT_EQ(got, (std::array<uint8_t, 5>{1, 2, 3, 4, 5}));
}

TEST(LinkSocketTest, PeerClosingMidReadIsAFailure) {
    Pair p = connected_pair();
    const std::array<uint8_t, 2> two{9, 9};
    p.client.send_all(two);
    p.client.close();
    std::array<uint8_t, 4> four{};
    EXPECT_FALSE(p.server.receive_exact(four));
}

// A long reply of small pieces, written in odd-sized bursts: every read
// gets exactly its bytes in order, large reads included, and a read never
// waits for bytes beyond what it asked for.
TEST(ReceiveBufferTest, HandsOutExactlyWhatWasSentInAnyPieces) {
    Pair p = connected_pair();
    std::vector<uint8_t> sent(3 * ReceiveBuffer::kCapacity + 777);
    std::iota(sent.begin(), sent.end(), uint8_t{0});
    std::thread writer([&] {
        for (size_t at = 0; at < sent.size(); at += 1001) {
            p.client.send_all(
                std::span(sent).subspan(at, std::min<size_t>(1001, sent.size() - at)));
        }
    });
    ReceiveBuffer in;
    std::vector<uint8_t> got;
    for (size_t n : {size_t{4}, size_t{70}, ReceiveBuffer::kCapacity + 5, size_t{1}, size_t{4}}) {
        std::vector<uint8_t> piece(n);
        ASSERT_TRUE(in.read_exact(p.server, piece));
        got.insert(got.end(), piece.begin(), piece.end());
    }
    std::vector<uint8_t> rest(sent.size() - got.size());
    ASSERT_TRUE(in.read_exact(p.server, rest));
    got.insert(got.end(), rest.begin(), rest.end());
    writer.join();
    EXPECT_EQ(got, sent);
    EXPECT_EQ(in.held(), 0u);

    // Nothing more was sent: a read returns what came, not waiting for a
    // full buffer.
    const std::array<uint8_t, 3> last{7, 8, 9};
    p.client.send_all(last);
    std::array<uint8_t, 3> three{};
    ASSERT_TRUE(in.read_exact(p.server, three));
    EXPECT_EQ(three, last);
}

TEST(ReceiveBufferTest, PeerClosingMidReadFailsAndDropsWhatWasHeld) {
    Pair p = connected_pair();
    const std::array<uint8_t, 6> six{1, 2, 3, 4, 5, 6};
    p.client.send_all(six);
    p.client.close();
    ReceiveBuffer in;
    std::array<uint8_t, 2> two{};
    ASSERT_TRUE(in.read_exact(p.server, two));
    EXPECT_EQ(in.held(), 4u);
    std::array<uint8_t, 8> eight{};
    EXPECT_FALSE(in.read_exact(p.server, eight));
    EXPECT_EQ(in.held(), 0u);
}

TEST(LinkSocketTest, ShutdownWakesABlockedReceive) {
    Pair p = connected_pair();
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        p.server.shutdown();
    });
    std::array<uint8_t, 1> one{};
    EXPECT_FALSE(p.server.receive_exact(one));
    closer.join();
}

TEST(LinkSocketTest, ClosedSocketSendsAndReceivesNothing) {
    LinkSocket none;
    const std::array<uint8_t, 1> one{1};
    std::array<uint8_t, 1> in{};
    EXPECT_FALSE(none.send_all(one));
    EXPECT_FALSE(none.receive_exact(in));
}

TEST(LinkSocketTest, AcceptTimesOutWithoutAPeer) {
    LinkSocket listener = LinkSocket::listen_loopback(0, 1);
    EXPECT_FALSE(listener.accept_one(50).valid());
}

TEST(LinkSocketTest, SendToAClosedPeerFailsWithoutKillingTheProcess) {
    Pair p = connected_pair();
    p.server.close();
    std::vector<uint8_t> big(1 << 20, 0x42);
    bool failed = false;
    for (int i = 0; i < 8 && !failed; ++i)
        failed = !p.client.send_all(big);
    EXPECT_TRUE(failed);
}

}  // namespace
}  // namespace quillet
