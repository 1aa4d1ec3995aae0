// The agent's start-up and command loop.
#include <gtest/gtest.h>

#include "tests/phonelet/agent_harness.h"

namespace quillet::testing {
namespace {

TEST(CommandLoopTest, UnknownCodesShowDefaultAndGetNoReply) {
    TestDesktop desktop;
    ASSERT_TRUE(desktop.start_agent());
    CommandBlock unknown;
    for (int32_t code : {6, 99, -1, 17}) {
        unknown.code = code;
        desktop.send_block(unknown);
    }
    // The next command is answered normally, and first.
    desktop.send_block(CommandCode::READINBOX);
    EXPECT_EQ(desktop.read(4), std::vector<uint8_t>(4, 0));
    EXPECT_TRUE(desktop.silent_for(std::chrono::milliseconds(200)));
    const auto shown = desktop.store().screen();
    ASSERT_EQ(shown.size(), 4u);
    for (const auto& box : shown) {
        EXPECT_EQ(box.text, u"default");
        EXPECT_EQ(box.caption, u"");
    }
}

TEST(CommandLoopTest, AgentEndsWhenTheDesktopCloses) {
    TestDesktop desktop;
    ASSERT_TRUE(desktop.start_agent());
    desktop.send_block(CommandCode::SMSSENTINEL);
    EXPECT_EQ(desktop.read_int32(), 0);
    desktop.close_connection();
    EXPECT_EQ(desktop.agent_exit(std::chrono::seconds(5)), 0);
}

TEST(CommandLoopTest, BlockCutShortEndsTheAgentWithNothingSent) {
    TestDesktop desktop;
    ASSERT_TRUE(desktop.start_agent());
    const auto block = CommandBlock::with_code(CommandCode::READINBOX).encode();
    desktop.send(std::span(block).first(40));
    desktop.close_connection();
    EXPECT_EQ(desktop.agent_exit(std::chrono::seconds(5)), 0);
}

TEST(CommandLoopTest, ManyCommandsOnOneConnectionStayInStep) {
    TestDesktop desktop;
    {
        auto store = desktop.store();
        store.add_message(*store.folder(phone::FolderRole::Inbox),
                          text_message(u"only", 133'000'000'000'000'000ULL, u"+1"));
    }
    ASSERT_TRUE(desktop.start_agent());
    for (int i = 0; i < 50; ++i) {
        desktop.send_block(CommandCode::SMSSENTINEL);
        desktop.send_block(CommandCode::READALLCON);
        desktop.send_block(CommandCode::READINBOX);
    }
    for (int i = 0; i < 50 && !HasFailure(); ++i) {
        ASSERT_EQ(desktop.read_int32(), 1);
        desktop.read(static_cast<size_t>(desktop.read_int32()));
        EXPECT_EQ(desktop.read(64), std::vector<uint8_t>(64, 0));
        EXPECT_EQ(desktop.read_folder_reply().size(), 1u);
    }
    EXPECT_TRUE(desktop.silent_for(std::chrono::milliseconds(200)));
}

}  // namespace
}  // namespace quillet::testing
