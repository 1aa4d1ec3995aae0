// With no desktop listening the agent gives up after 50 attempts, 500 ms
// apart, and ends on its own.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>

#include "platform/phone/phone_image.h"
#include "tests/phonelet/agent_harness.h"

namespace quillet::testing {
namespace {

// A loopback port that nothing listens on: bound, then released.
uint16_t unused_port() {
    LinkSocket s = LinkSocket::listen_loopback(0, 1);
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    getsockname(s.fd(), reinterpret_cast<sockaddr*>(&addr), &len);
    return ntohs(addr.sin_port);
}

TEST(GiveUpTest, AgentEndsAfterFiftyAttemptsWithoutADesktop) {
    TempDir temp;
    const auto start = std::chrono::steady_clock::now();
    ChildProcess agent(PHONELET_EXE, {},
                       {"QUILLET_LINK_PORT=" + std::to_string(unused_port()),
                        std::string(phone::kPlatformRootEnv) + "=" + temp.path().string()});
    // 50 pauses of 500 ms: about 25 s, and not much less.
    EXPECT_FALSE(agent.wait(std::chrono::seconds(20)).has_value());
    EXPECT_EQ(agent.wait(std::chrono::seconds(20)), 0);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(24'500));
}

}  // namespace
}  // namespace quillet::testing
