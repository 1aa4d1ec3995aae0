// A start-on-connect entry with arguments, as "quillet-cli get" needs: plug
// starts the program with them, a quoted path with blanks and a quoted
// argument included.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "platform/phone/phone_image.h"
#include "platform/registry/registry.h"
#include "tests/phonelet/agent_harness.h"

namespace quillet::testing {
namespace {

TEST(AutoStartArguments, PlugStartsTheEntryWithItsArguments) {
    TestDesktop desktop;
    const auto folder = desktop.root() / "my tools";
    std::filesystem::create_directories(folder);
    const auto said = desktop.root() / "said";
    const auto script = folder / "on connect.sh";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s|' \"$@\" > '" << said.string() << "'\n";
    ::chmod(script.c_str(), 0755);
    ::setenv(phone::kPlatformRootEnv, desktop.root().c_str(), 1);
    ASSERT_TRUE(
        registry::set_string(registry::kAutoStartKey, "Get",
                             u"\"" + script.u16string() + u"\" get --data \"/srv/my sms\""));
    ::unsetenv(phone::kPlatformRootEnv);
    ASSERT_EQ(run_tool(desktop.root(), {"plug"}).exit_code, 0);
    for (int i = 0; i < 500 && !std::filesystem::exists(said); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::ifstream in(said);
    const std::string args((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(args, "get|--data|/srv/my sms|");
}

}  // namespace
}  // namespace quillet::testing
