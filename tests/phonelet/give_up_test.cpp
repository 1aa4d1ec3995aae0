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

// A loopback port that nothing listens on, held for the test: bound without
// SO_REUSEADDR and never listening, so connections to it are refused and no
// other test running meanwhile can take it and receive this agent's
// connections.
struct RefusingPort {
    LinkSocket socket{::socket(AF_INET, SOCK_STREAM, 0)};
    uint16_t port = 0;

    RefusingPort() {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(socket.fd(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
            return;
        socklen_t len = sizeof addr;
        ::getsockname(socket.fd(), reinterpret_cast<sockaddr*>(&addr), &len);
        port = ntohs(addr.sin_port);
    }
};

TEST(GiveUpTest, AgentEndsAfterFiftyAttemptsWithoutADesktop) {
    TempDir temp;
    const RefusingPort refusing;
    ASSERT_NE(refusing.port, 0);
    const auto start = std::chrono::steady_clock::now();
    ChildProcess agent(PHONELET_EXE, {},
                       {"QUILLET_LINK_PORT=" + std::to_string(refusing.port),
                        std::string(phone::kPlatformRootEnv) + "=" + temp.path().string()});
    // 50 pauses of 500 ms: about 25 s, and not much less.
    EXPECT_FALSE(agent.wait(std::chrono::seconds(20)).has_value());
    EXPECT_EQ(agent.wait(std::chrono::seconds(20)), 0);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(24'500));
}

}  // namespace
}  // namespace quillet::testing
