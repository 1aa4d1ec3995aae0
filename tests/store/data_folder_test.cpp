// Where the program keeps its data ($XDG_DATA_HOME/quillet, or the program
// folder of a portable install), where it finds its resources (beside it, or
// the installed layout), and the one-time move of an earlier run's files out
// of the program folder: clashes, a file that cannot be moved, once only.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <optional>

#include "desktop/store/data_move.h"
#include "store_test_support.h"

using namespace quillet;
using namespace quillet::test;

namespace {

class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value != nullptr)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

// A program folder and an XDG_DATA_HOME of the test's own; the data folder
// follows the rule.
class DataFolderTest : public ::testing::Test {
  protected:
    DataFolderTest() : xdg_("XDG_DATA_HOME", (temp_.path() / "xdg").c_str()) {
        fs::create_directories(program());
        set_program_folder_for_testing(program());
        keep_data_in_program_folder(false);
    }
    ~DataFolderTest() override { keep_data_in_program_folder(false); }

    fs::path program() const { return temp_.path() / "program"; }
    fs::path xdg_data() const { return temp_.path() / "xdg/quillet"; }

    TempFolder temp_;
    ScopedEnv xdg_;
};

std::string notice_text(const DataMoveReport& report) {
    const std::u16string notice = data_move_notice(report);
    return std::string(notice.begin(), notice.end());
}

dev_t device_of(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_dev : 0;
}

}  // namespace

TEST_F(DataFolderTest, TheDataFolderIsXdgDataHomeUnlessAPortableFileStandsBesideTheProgram) {
    EXPECT_EQ(user_data_folder(), xdg_data());
    EXPECT_EQ(data_folder(), xdg_data());
    EXPECT_TRUE(fs::is_directory(xdg_data()));  // created on use
    EXPECT_EQ(app_relative_path("options.cfg"), xdg_data() / "options.cfg");
    EXPECT_FALSE(is_portable());

    write_file(program() / "portable", "");
    EXPECT_TRUE(is_portable());
    EXPECT_EQ(data_folder(), program());
    EXPECT_EQ(app_file_path(u"inbox1.sms"), program() / "inbox1.sms");
}

TEST_F(DataFolderTest, WithoutAnAbsoluteXdgDataHomeTheDataFolderIsUnderHome) {
    const ScopedEnv home("HOME", temp_.path().c_str());
    {
        const ScopedEnv unset("XDG_DATA_HOME", nullptr);
        EXPECT_EQ(user_data_folder(), temp_.path() / ".local/share/quillet");
    }
    const ScopedEnv relative("XDG_DATA_HOME", "relative/place");
    EXPECT_EQ(user_data_folder(), temp_.path() / ".local/share/quillet");
}

TEST_F(DataFolderTest, ResourcesComeFromTheProgramFolderOrTheInstalledLayout) {
    EXPECT_EQ(resource_path(u"help/index.html"), program() / "help/index.html");
    EXPECT_EQ(resource_path(u"ondevice\\phonelet.exe"), program() / "ondevice/phonelet.exe");

    const fs::path prefix = temp_.path() / "usr";
    fs::create_directories(prefix / "bin");
    fs::create_directories(prefix / "share/quillet");
    set_program_folder_for_testing(prefix / "bin");
    EXPECT_EQ(resource_path(u"templates\\inbox_template.html"),
              prefix / "share/quillet/templates/inbox_template.html");
    EXPECT_EQ(resource_path(u"ondevice\\phonelet.exe"),
              prefix / "lib/quillet/ondevice/phonelet.exe");
    // The data folder never is the installed program folder.
    EXPECT_EQ(data_folder(), xdg_data());
}

TEST_F(DataFolderTest, AnEarlierRunsFilesMoveOnceAndNothingIsOverwritten) {
    write_file(program() / "inbox1.sms", "inbox bytes");
    write_file(program() / "sent1.sms", "sent bytes");
    write_file(program() / "inbox1.sms.damaged-1", "kept copy");
    write_file(program() / "contacts.sql", "contacts");
    write_file(program() / "options.cfg", "old = 1\r\n");
    fs::create_directories(program() / "templates");
    write_file(program() / "templates/tmp.html", "<p>page</p>");
    write_file(program() / "notes.txt", "not ours");
    fs::create_directories(xdg_data());
    write_file(xdg_data() / "options.cfg", "new = 1\r\n");

    const DataMoveReport report = settle_data_folder();
    ASSERT_EQ(report.outcome, DataMoveReport::Outcome::Moved);
    EXPECT_EQ(file_contents(xdg_data() / "inbox1.sms"), "inbox bytes");
    EXPECT_EQ(file_contents(xdg_data() / "sent1.sms"), "sent bytes");
    EXPECT_EQ(file_contents(xdg_data() / "inbox1.sms.damaged-1"), "kept copy");
    EXPECT_EQ(file_contents(xdg_data() / "contacts.sql"), "contacts");
    EXPECT_EQ(file_contents(xdg_data() / "templates/tmp.html"), "<p>page</p>");
    for (const char* gone :
         {"inbox1.sms", "sent1.sms", "inbox1.sms.damaged-1", "contacts.sql", "templates/tmp.html"})
        EXPECT_FALSE(fs::exists(program() / gone)) << gone;
    // The clash: both files stay as they were.
    EXPECT_EQ(file_contents(xdg_data() / "options.cfg"), "new = 1\r\n");
    EXPECT_EQ(file_contents(program() / "options.cfg"), "old = 1\r\n");
    EXPECT_EQ(file_contents(program() / "notes.txt"), "not ours");
    EXPECT_FALSE(fs::exists(xdg_data() / "notes.txt"));
    EXPECT_EQ(data_folder(), xdg_data());
    EXPECT_EQ(notice_text(report), "Your messages were moved to " + xdg_data().string() +
                                       "; left in " + program().string() + ", as " +
                                       xdg_data().string() + " has its own: options.cfg.");

    // Once: the data folder has boxes now.
    EXPECT_EQ(settle_data_folder().outcome, DataMoveReport::Outcome::Nothing);
}

TEST_F(DataFolderTest, BoxesAlreadyInTheDataFolderLeaveTheProgramFoldersAlone) {
    write_file(program() / "inbox1.sms", "earlier");
    write_file(program() / "contacts.sql", "earlier contacts");
    fs::create_directories(xdg_data());
    write_file(xdg_data() / "deleted1.sms", "current");

    const DataMoveReport report = settle_data_folder();
    EXPECT_EQ(report.outcome, DataMoveReport::Outcome::LeftBehind);
    EXPECT_EQ(file_contents(program() / "inbox1.sms"), "earlier");
    EXPECT_EQ(file_contents(program() / "contacts.sql"), "earlier contacts");
    EXPECT_FALSE(fs::exists(xdg_data() / "inbox1.sms"));
    EXPECT_EQ(data_folder(), xdg_data());
    EXPECT_NE(notice_text(report).find("remain in " + program().string()), std::string::npos);
}

TEST_F(DataFolderTest, NoBoxesOrAPortableInstallMoveNothing) {
    write_file(program() / "options.cfg", "alone = 1\r\n");
    EXPECT_EQ(settle_data_folder().outcome, DataMoveReport::Outcome::Nothing);
    EXPECT_TRUE(fs::exists(program() / "options.cfg"));

    write_file(program() / "inbox1.sms", "portable box");
    write_file(program() / "portable", "");
    const DataMoveReport report = settle_data_folder();
    EXPECT_EQ(report.outcome, DataMoveReport::Outcome::Nothing);
    EXPECT_TRUE(data_move_notice(report).empty());
    EXPECT_EQ(file_contents(program() / "inbox1.sms"), "portable box");
    EXPECT_EQ(data_folder(), program());
}

TEST(DataMoveTest, AFileThatCannotBeMovedMovesNothingAndTheRunKeepsTheProgramFolder) {
    // Across file systems the files are copied; a full disk stops the copy
    // of the second one.
    std::string pattern = "/dev/shm/quillet-program-XXXXXX";
    if (!fs::is_directory("/dev/shm") || ::mkdtemp(pattern.data()) == nullptr)
        GTEST_SKIP() << "no second file system in /dev/shm";
    const fs::path program = pattern;
    TempFolder data_home;
    const ScopedEnv xdg("XDG_DATA_HOME", data_home.path().c_str());
    const fs::path data = data_home.path() / "quillet";
    if (device_of(program) == device_of(data_home.path())) {
        fs::remove_all(program);
        GTEST_SKIP() << "/dev/shm is on the same file system as the temporary folder";
    }
    write_file(program / "inbox1.sms", "small inbox");
    write_file(program / "sent1.sms", std::string(256 * 1024, 's'));
    set_program_folder_for_testing(program);

    DataMoveReport report;
    {
        const FileSizeLimit full_disk(64 * 1024);
        report = settle_data_folder();
    }
    EXPECT_EQ(report.outcome, DataMoveReport::Outcome::Failed);
    EXPECT_TRUE(report.failure.starts_with("sent1.sms: cannot copy it")) << report.failure;
    // Nothing moved, nothing half-copied left behind.
    EXPECT_EQ(file_contents(program / "inbox1.sms"), "small inbox");
    EXPECT_EQ(fs::file_size(program / "sent1.sms"), 256u * 1024u);
    EXPECT_TRUE(fs::is_empty(data)) << "the data folder keeps nothing of the attempt";
    // This run uses the files where they are; the next start tries again.
    EXPECT_EQ(data_folder(), program);
    EXPECT_NE(notice_text(report).find("could not be moved from " + program.string()),
              std::string::npos);

    const DataMoveReport retry = settle_data_folder();
    EXPECT_EQ(retry.outcome, DataMoveReport::Outcome::Moved);
    EXPECT_EQ(fs::file_size(data / "sent1.sms"), 256u * 1024u);
    EXPECT_FALSE(fs::exists(program / "sent1.sms"));
    EXPECT_EQ(data_folder(), data);
    keep_data_in_program_folder(false);
    fs::remove_all(program);
}
