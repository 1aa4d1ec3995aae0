// The private runtime folder that holds the link lock, when another user
// took its name in the shared temporary folder first: the lock moves to the
// home folder and still leaves the phone to one holder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <optional>

#include "desktop/link/link_lock.h"
#include "tests/link/link_test_support.h"
#include "tests/store/other_user.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(RuntimeFolder, ANameTakenInTheTemporaryFolderMovesTheLockHome) {
    const std::optional<uid_t> other = test::other_user();
    struct Case {
        const char* what;
        std::function<void(const fs::path& taken, const fs::path& world)> plant;
    };
    const Case cases[] = {
        {"open to every user",
         [](const fs::path& taken, const fs::path&) {
             fs::create_directory(taken);
             ::chmod(taken.c_str(), 0777);
         }},
        {"a link to a private folder",
         [](const fs::path& taken, const fs::path& world) {
             fs::create_directory(world / "elsewhere");
             ::chmod((world / "elsewhere").c_str(), 0700);
             fs::create_directory_symlink(world / "elsewhere", taken);
         }},
        {"another user's",
         [&other](const fs::path& taken, const fs::path&) {
             fs::create_directory(taken);
             ::chmod(taken.c_str(), 0700);
             ASSERT_EQ(::chown(taken.c_str(), *other, *other), 0);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (!other && std::string_view(c.what) == "another user's") {
            std::printf("skipped \"another user's\": %s\n", test::kNeedsRoot);
            continue;
        }
        test::LinkWorld world;
        fs::create_directories(world.folder() / "tmp");
        fs::create_directories(world.folder() / "home");
        const ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr);
        const ScopedEnv tmp("TMPDIR", (world.folder() / "tmp").c_str());
        const ScopedEnv home("HOME", (world.folder() / "home").c_str());
        c.plant(world.folder() / "tmp" / ("quillet-" + std::to_string(::getuid())), world.folder());

        const fs::path folder = private_runtime_folder();
        EXPECT_EQ(folder, world.folder() / "home" / ".quillet-runtime");
        struct stat st {};
        ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        LinkLock program;
        LinkLock command_line;
        EXPECT_TRUE(program.try_acquire("quillet"));
        EXPECT_FALSE(command_line.try_acquire("quillet-cli get"));
    }
}

}  // namespace
}  // namespace quillet
