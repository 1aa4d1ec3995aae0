// What saving does to the files around it, with the real umask, real
// symbolic links and real killed saves: modes as the user set them, links
// kept, the message page never written through a link, leftovers of killed
// saves removed at the next start (and nothing else), and the default sound
// path kept across a save whatever the program folder is called.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <thread>

#include "desktop/formats/csv_xml_export.h"
#include "desktop/store/box_file.h"
#include "desktop/store/contact_list.h"
#include "desktop/store/options.h"
#include "desktop/store/safe_file.h"
#include "desktop/store/sms_box.h"
#include "desktop/store/unique_fd.h"
#include "store_test_support.h"

namespace quillet {
namespace {
using namespace quillet::test;

mode_t mode_of(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return st.st_mode & 07777;
}

class ScopedUmask {
  public:
    explicit ScopedUmask(mode_t mask) : old_(::umask(mask)) {}
    ~ScopedUmask() { ::umask(old_); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

  private:
    mode_t old_;
};

SmsBox box_of(int n) {
    SmsBox box(BoxKind::Inbox);
    for (int i = 0; i < n; ++i) {
        SmsMessage m;
        m.set_text(u"text " + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)));
        m.set_number("+49" + std::to_string(i));
        m.set_time(133'000'000'000'000'000ULL + static_cast<FileTime>(i));
        box.append(m);
    }
    return box;
}

// Every kind of file the program saves: boxes, settings, contacts, exports.
std::vector<std::pair<const char*, std::function<bool()>>> every_save(const AppFolders& folders) {
    return {
        {"box", [] { return box_of(3).save_box(u"inbox1.sms").ok(); }},
        {"settings", [] { return save_options(Options()).file.ok(); }},
        {"contacts",
         [] {
             ContactList list;
             list.append(make_contact("Amy", "1"));
             return list.save_contacts(u"contacts.sql").ok();
         }},
        {"export",
         [&folders] {
             return export_csv(folders.data() / "out.csv", box_of(2), ContactList()).ok();
         }},
    };
}

fs::path saved_file(const AppFolders& folders, std::string_view kind) {
    const std::map<std::string_view, const char*> names = {{"box", "inbox1.sms"},
                                                           {"settings", "options.cfg"},
                                                           {"contacts", "contacts.sql"},
                                                           {"export", "out.csv"}};
    return folders.data() / names.at(kind);
}

// Each failing read or save says which kind of failure it is, and its line
// names what failed and why: the front ends tell the user from these alone.
TEST(FailureKindTest, EachFailingStepSaysItsKindAndWhy) {
    TempFolder dir;
    const fs::path fifo = dir.path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(dir.path() / "folder");
    write_file(dir.path() / "big", std::string(100, 'x'));
    write_file(dir.path() / "inbox1.sms", "not a box file of any version");
    write_file(dir.path() / "sent1.sms",
               std::string(kBoxHeader110) + le32(0) + le32(0) + le32(3) + "cut");
    const auto read = [](const fs::path& path, uintmax_t most = kMaxWholeFile) {
        std::string out;
        return read_data_file(path, out, most);
    };
    const auto load = [&dir](const char* name) {
        SmsBox box(BoxKind::Inbox);
        return box.load_box_file(dir.path() / name).outcome;
    };
    const struct {
        const char* step;
        Outcome outcome;
        Outcome::Kind kind;
        std::string_view says;
    } cases[] = {
        {"save into no folder", save_file_atomically(dir.path() / "no/x", "x"),
         Outcome::Kind::Unwritable, "no/x"},
        {"save over a FIFO", save_file_atomically(fifo, "x"), Outcome::Kind::Refused,
         "not a regular file"},
        {"save over a folder", save_file_atomically(dir.path() / "folder", "x"),
         Outcome::Kind::Refused, "folder"},
        {"read nothing", read(dir.path() / "none"), Outcome::Kind::Missing, "No such file"},
        {"read a folder", read(dir.path() / "folder"), Outcome::Kind::Unreadable,
         "not a regular file"},
        {"read too much", read(dir.path() / "big", 10), Outcome::Kind::Unreadable,
         "larger than 10 bytes"},
        {"load an unknown box", load("inbox1.sms"), Outcome::Kind::BadInput, "known version"},
        {"load a cut box", load("sent1.sms"), Outcome::Kind::Damaged, "record 1"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(c.outcome) << c.step;
        EXPECT_EQ(c.outcome.kind(), c.kind) << c.step << ": " << c.outcome.what();
        EXPECT_FALSE(c.outcome.what().empty()) << c.step;
        EXPECT_NE(c.outcome.what().find(c.says), std::string::npos)
            << c.step << ": " << c.outcome.what();
    }
    EXPECT_TRUE(read(dir.path() / "big").ok());
    EXPECT_EQ(save_file_atomically(dir.path() / "big", "y").what(), "");
}

TEST(SaveModeTest, NewFilesFollowTheUmaskAndReplacedFilesKeepTheirMode) {
    for (const mode_t mask : {mode_t{077}, mode_t{022}, mode_t{027}}) {
        SCOPED_TRACE(mask);
        AppFolders folders;
        ScopedUmask umask(mask);
        for (const auto& [kind, save] : every_save(folders)) {
            SCOPED_TRACE(kind);
            const fs::path file = saved_file(folders, kind);
            ASSERT_TRUE(save());
            EXPECT_EQ(mode_of(file), 0666 & ~mask);
            for (const mode_t set : {mode_t{0600}, mode_t{0640}, mode_t{0604}}) {
                ::chmod(file.c_str(), set);
                ASSERT_TRUE(save());
                EXPECT_EQ(mode_of(file), set);
            }
        }
    }
}

TEST(SymlinkTest, ASymlinkedFileIsSavedThroughToItsTarget) {
    AppFolders folders;
    const fs::path elsewhere = folders.data().parent_path() / "synced";
    fs::create_directories(elsewhere / "deeper");
    // A relative link to a relative link, then a dangling one.
    fs::create_symlink("../synced/inbox.sms", folders.data() / "inbox1.sms");
    fs::create_symlink("deeper/inbox.sms", elsewhere / "inbox.sms");
    write_file(elsewhere / "deeper/inbox.sms", "old contents");
    ::chmod((elsewhere / "deeper/inbox.sms").c_str(), 0600);
    fs::create_symlink(elsewhere / "sent.sms", folders.data() / "sent1.sms");

    ASSERT_TRUE(box_of(4).save_box(u"inbox1.sms"));
    ASSERT_TRUE(box_of(2).save_box(u"sent1.sms"));
    EXPECT_TRUE(fs::is_symlink(folders.data() / "inbox1.sms"));
    EXPECT_TRUE(fs::is_symlink(elsewhere / "inbox.sms"));
    EXPECT_TRUE(fs::is_symlink(folders.data() / "sent1.sms"));
    EXPECT_EQ(mode_of(elsewhere / "deeper/inbox.sms"), 0600u);

    SmsBox inbox(BoxKind::Inbox);
    EXPECT_EQ(inbox.load_box(u"inbox1.sms").status, LoadBoxResult::Status::Loaded);
    EXPECT_EQ(inbox.count(), 4u);
    SmsBox sent(BoxKind::SentItems);
    EXPECT_EQ(sent.load_box(u"sent1.sms").status, LoadBoxResult::Status::Loaded);
    EXPECT_EQ(sent.count(), 2u);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(elsewhere / "sent.sms")));
    // No temporary file is left in either folder.
    for (const fs::path& folder : {folders.data(), elsewhere, elsewhere / "deeper"}) {
        for (const auto& entry : fs::directory_iterator(folder))
            EXPECT_EQ(entry.path().string().find("quillet-save"), std::string::npos);
    }
}

TEST(SymlinkTest, TheMessagePageIsNeverWrittenThroughALinkOrIntoAFifo) {
    AppFolders folders;
    const fs::path page = folders.data() / "tmp.html";
    const fs::path victim = folders.data().parent_path() / "victim.txt";
    write_file(victim, "precious");
    const std::vector<uint8_t> bytes = {'<', 'p', '>'};

    fs::create_symlink(victim, page);
    ASSERT_TRUE(write_scratch_file(page, bytes));
    EXPECT_EQ(file_contents(victim), "precious");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(page)));
    EXPECT_EQ(file_contents(page), "<p>");

    // A hard link to another file is not written through either.
    fs::remove(page);
    fs::create_hard_link(victim, page);
    ASSERT_TRUE(write_scratch_file(page, bytes));
    EXPECT_EQ(file_contents(victim), "precious");
    EXPECT_EQ(file_contents(page), "<p>");
    ASSERT_TRUE(write_scratch_file(page, std::vector<uint8_t>{'x'}));  // rewritten in place
    EXPECT_EQ(file_contents(page), "x");

    fs::remove(page);
    ASSERT_EQ(::mkfifo(page.c_str(), 0600), 0);
    ASSERT_TRUE(write_scratch_file(page, bytes));  // would block if it opened the FIFO
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(page)));
}

// Saves killed at random points leave their temporary files; the next start
// removes them all, and nothing else: not the files, not look-alikes, not a
// save that is running.
TEST(InterruptedSaveTest, LeftoversOfKilledSavesAreRemovedAtTheNextStart) {
    AppFolders folders;
    ASSERT_TRUE(box_of(5).save_box(u"inbox1.sms"));
    const std::string saved = file_contents(folders.data() / "inbox1.sms");
    constexpr int kKills = 12;
    for (int kill = 0; kill < kKills; ++kill) {
        int started[2];
        ASSERT_EQ(::pipe(started), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // A save that writes slowly, killed while it writes: it says when
            // its first piece is written.
            save_file_atomically(folders.data() / "inbox1.sms", [&](const ChunkWriter& write) {
                const std::vector<uint8_t> piece(64 * 1024, 'x');
                for (bool first = true;; first = false) {
                    if (!write(piece))
                        return false;
                    if (first && ::write(started[1], "s", 1) != 1)
                        return false;
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            });
            ::_exit(0);
        }
        ::close(started[1]);
        char byte = 0;
        EXPECT_EQ(::read(started[0], &byte, 1), 1);
        ::close(started[0]);
        std::this_thread::sleep_for(std::chrono::milliseconds(3 * kill));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    // Look-alikes of the user's own, and a save running now.
    const std::vector<std::string> others = {"inbox1.sms.backup",
                                             "inbox1.sms.AbC123",
                                             "inbox1.sms.quillet-save-AbC12",
                                             "inbox1.sms.quillet-save-AbC1234",
                                             "notes.quillet-save-ab-123",
                                             "inbox1.sms.damaged-1"};
    for (const std::string& name : others)
        write_file(folders.data() / name, "mine");
    fs::create_symlink(folders.data() / "inbox1.sms", folders.data() / "x.quillet-save-Link12");
    write_file(folders.data() / "sent1.sms.quillet-save-Busy12", "being written");
    const UniqueFd busy(
        ::open((folders.data() / "sent1.sms.quillet-save-Busy12").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(busy.get(), LOCK_EX | LOCK_NB), 0);

    size_t leftovers = 0;
    for (const auto& entry : fs::directory_iterator(folders.data())) {
        const std::string name = entry.path().filename().string();
        leftovers += name.starts_with("inbox1.sms.quillet-save-") && name.size() == 30;
    }
    EXPECT_EQ(leftovers, static_cast<size_t>(kKills));
    const RemovedTemps removed = remove_interrupted_saves(folders.data());
    EXPECT_EQ(removed.files, static_cast<size_t>(kKills));
    EXPECT_GT(removed.bytes, 0u);
    EXPECT_EQ(file_contents(folders.data() / "inbox1.sms"), saved);  // never touched by a kill
    for (const std::string& name : others)
        EXPECT_EQ(file_contents(folders.data() / name), "mine") << name;
    EXPECT_TRUE(fs::is_symlink(folders.data() / "x.quillet-save-Link12"));
    EXPECT_TRUE(fs::exists(folders.data() / "sent1.sms.quillet-save-Busy12"));
    std::printf(
        "[ figures  ] %d saves killed, %zu leftovers (%ju bytes) removed, %zu look-alikes "
        "kept\n",
        kKills, removed.files, removed.bytes, others.size() + 2);
}

// The default sound lies in the program folder; a folder name the settings
// file cannot carry ("#" starts a comment, "Ω" is not in the code page) is
// left out of what is stored, and the path comes back whole.
TEST(SoundPathTest, TheDefaultSoundSurvivesASaveWhateverTheProgramFolderIsCalled) {
    for (const char* folder_name : {"Quillet #2", "Quillet \xCE\xA9", "plain"}) {
        SCOPED_TRACE(folder_name);
        TempFolder temp;
        const fs::path program = temp.path() / folder_name;
        fs::create_directories(program);
        fs::create_directories(temp.path() / "data");
        set_app_folders_for_testing(program, temp.path() / "data");
        const Options defaults;
        ASSERT_TRUE(save_options(defaults));
        EXPECT_NE(file_contents(temp.path() / "data/options.cfg")
                      .find("sound_filename = templates/voice/message4you.wav\r\n"),
                  std::string::npos);
        Options loaded;
        ASSERT_TRUE(load_options(loaded));
        EXPECT_EQ(loaded.sound_filename, defaults.sound_filename);

        // A sound elsewhere is stored as it is.
        loaded.sound_filename = u"/usr/share/sounds/ding.wav";
        ASSERT_TRUE(save_options(loaded));
        Options again;
        ASSERT_TRUE(load_options(again));
        EXPECT_EQ(again.sound_filename, u"/usr/share/sounds/ding.wav");
    }
}

}  // namespace
}  // namespace quillet
