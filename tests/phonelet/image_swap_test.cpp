// A phone image replaced while the agent holds its connection, as a user
// swapping images does (another image copied beside phone.db and renamed
// over it): the agent's next command reads the new image, whole, never
// paired with the old one's write-ahead log.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/phonelet/agent_harness.h"

namespace quillet::testing {
namespace {

namespace fs = std::filesystem;

void deliver(const fs::path& root, int count) {
    for (int i = 0; i < count; ++i) {
        const ToolResult r = run_tool(
            root, {"deliver", "--from", "+4917", "--text", "message " + std::to_string(i)});
        ASSERT_EQ(r.exit_code, 0) << r.err;
    }
}

size_t inbox_count(TestDesktop& desktop) {
    desktop.send_block(CommandCode::READINBOX);
    return desktop.read_folder_reply().size();
}

TEST(ImageSwap, ARenamedOverImageIsReadWholeByTheNextCommand) {
    TestDesktop desktop;
    deliver(desktop.root(), 3);
    ASSERT_TRUE(desktop.start_agent());
    ASSERT_EQ(inbox_count(desktop), 3u);
    deliver(desktop.root(), 3);  // their log stays beside the image meanwhile
    ASSERT_EQ(inbox_count(desktop), 6u);

    TestDesktop other;
    deliver(other.root(), 2);
    const fs::path beside = desktop.image() / "phone.db.new";
    fs::copy_file(other.image() / "phone.db", beside);
    fs::rename(beside, desktop.image() / "phone.db");
    EXPECT_EQ(inbox_count(desktop), 2u);
    deliver(desktop.root(), 1);
    EXPECT_EQ(inbox_count(desktop), 3u);
    const ToolResult list = run_tool(desktop.root(), {"list", "inbox"});
    EXPECT_EQ(list.exit_code, 0) << list.err;
}

}  // namespace
}  // namespace quillet::testing
