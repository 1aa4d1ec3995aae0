// quillet-cli import and import --undo run as programs on a data folder of
// the test's own, interrupted and failed where they write: a kill or a
// full disk injected into their renames by strace, a clean-up started
// while an import runs, small tmpfs mounts for TMPDIR and the data folder.
// What is checked is what the user keeps: the box files, the records, the
// attachment files.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <numeric>
#include <sstream>
#include <thread>

#include "desktop/library/importer.h"
#include "desktop/store/box_file.h"
#include "protocol/text_codec.h"
#include "tests/link/link_test_support.h"
#include "tests/store/store_test_support.h"

namespace quillet {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int64_t kT0 = 1'500'000'000'000;  // ms

// An Android backup: `count` received texts "hello N" a second apart from
// `first` on (`first` twice with `twice`), and `pictures` MMS with a
// picture of `picture_bytes`.
std::string backup(int first, int count, int pictures = 0, size_t picture_bytes = 12,
                   bool twice = false) {
    std::string xml = "<smses count=\"" + std::to_string(count + pictures) + "\">";
    for (int i = first - (twice ? 1 : 0); i < first + count; ++i)
        xml += "<sms address=\"+49170123" + std::to_string(1000 + std::max(i, first) % 50) +
               "\" date=\"" + std::to_string(kT0 + std::max(i, first) * 1000) +
               "\" type=\"1\" body=\"hello " + std::to_string(std::max(i, first)) +
               "\" read=\"1\"/>";
    const std::string data((picture_bytes + 2) / 3 * 4, 'Q');
    for (int i = 0; i < pictures; ++i)
        xml += "<mms date=\"" + std::to_string(kT0 - (i + 1) * 60'000) +
               "\" msg_box=\"1\" read=\"1\" address=\"+4930777\"><parts><part seq=\"0\" "
               "ct=\"image/png\" name=\"IMG_" +
               std::to_string(i) + ".png\" data=\"" + data +
               "\"/><part seq=\"1\" ct=\"text/plain\" text=\"Look " + std::to_string(i) +
               "\"/></parts></mms>";
    return xml + "</smses>";
}

class CliImport : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(temp_.path() / "program");
        fs::create_directories(temp_.path() / "tmp");
        fs::create_directories(data());
        fs::copy_file(fs::path(QUILLET_PROGRAM_DIR) / "quillet-cli",
                      temp_.path() / "program" / "quillet-cli");
    }
    fs::path data() const { return xdg() / "quillet"; }
    fs::path xdg() const { return xdg_.empty() ? temp_.path() / "xdg" : xdg_; }
    fs::path file(const std::string& name, const std::string& bytes) const {
        test::write_file(temp_.path() / name, bytes);
        return temp_.path() / name;
    }
    // quillet-cli with `args`, behind `wrapper` (strace); output and error.
    test::ProgramResult cli(const std::string& args, const std::string& wrapper = "") const {
        // LeakSanitizer cannot work under strace: an asan build's leak check
        // would fail every traced run at its end.
        const std::string env = "env XDG_DATA_HOME='" + xdg().string() + "' TMPDIR='" +
                                tmpdir().string() +
                                "' XDG_RUNTIME_DIR= ASAN_OPTIONS=detect_leaks=0 ";
        return test::run_program("/bin/sh",
                                 {"-c", env + wrapper + " '" + (temp_.path() / "program").string() +
                                            "/quillet-cli' " + args + " 2>&1"});
    }
    // The files each rename of a run puts in place, in order; the data
    // folder is as before afterwards.
    std::vector<std::string> renames_of(const std::string& args) const {
        const fs::path saved = temp_.path() / "saved";
        fs::copy(data(), saved, fs::copy_options::recursive);
        const fs::path trace = temp_.path() / "trace";
        cli(args, "strace -f -qq -e trace=rename,renameat -o '" + trace.string() + "'");
        fs::remove_all(data());
        fs::rename(saved, data());
        std::vector<std::string> names;
        std::istringstream lines(test::file_contents(trace));
        for (std::string line; std::getline(lines, line);) {
            const size_t end = line.rfind("\")");
            const size_t start = line.rfind('"', end - 1);
            if (end != std::string::npos && start != std::string::npos)
                names.push_back(line.substr(start + 1, end - start - 1));
        }
        return names;
    }
    // strace making the `n`th rename (from 1) do `what` instead.
    static std::string at_rename(size_t n, const std::string& what) {
        return "strace -f -qq -o /dev/null -e trace=rename,renameat -e inject=rename,renameat:" +
               what + ":when=" + std::to_string(n);
    }
    static size_t index_of(const std::vector<std::string>& names, const std::string& name,
                           size_t nth = 1) {
        for (size_t i = 0; i < names.size(); ++i) {
            if ((names[i] == name || names[i].ends_with("/" + name)) && --nth == 0)
                return i + 1;
        }
        ADD_FAILURE() << name << " is not renamed";
        return 0;
    }
    std::vector<std::u16string> inbox() const {
        std::string error;
        const std::optional<DecodedBox> box = read_box_file(data() / "inbox1.sms", error);
        std::vector<std::u16string> texts;
        if (box) {
            for (const SmsMessage& m : box->messages)
                texts.emplace_back(m.text_view());
        }
        return texts;
    }
    size_t inbox_count(std::u16string_view text) const {
        const auto texts = inbox();
        return static_cast<size_t>(std::count(texts.begin(), texts.end(), text));
    }
    ImportFolder imports() const { return ImportFolder(data()); }
    // What a later start does first.
    size_t clean_up() const {
        MessageLibrary library(data());
        for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems})
            library.load_box(kind);
        return Importer(library, nullptr).finish_interrupted();
    }
    fs::path tmpdir() const { return tmpdir_.empty() ? temp_.path() / "tmp" : tmpdir_; }

    test::TempFolder temp_;
    fs::path xdg_;
    fs::path tmpdir_;
};

// A start of the window (its clean-up) while quillet-cli import is saving
// the boxes: the clean-up leaves the running import alone, and the import
// ends with every message, its record and its picture.
TEST_F(CliImport, ACleanUpDuringARunningImportLeavesItAlone) {
    const std::string import_many = "import '" + file("many.xml", backup(0, 200, 1)).string() + "'";
    // Held back by 3 s as its picture goes into place: the import is
    // pending meanwhile, before it saves the boxes.
    const size_t into_place = index_of(renames_of(import_many), "imports/1");
    auto running = std::async(std::launch::async, [&] {
        return cli(import_many, at_rename(into_place, "delay_enter=3s"));
    });
    const auto until = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < until &&
           !(imports().record(1) && imports().record(1)->state == ImportRecord::State::Pending))
        std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(imports().record(1)) << "the import never became pending";
    EXPECT_EQ(clean_up(), 0u);
    const test::ProgramResult done = running.get();
    ASSERT_EQ(done.exit_code, 0) << done.output;
    EXPECT_EQ(inbox().size(), 201u);
    EXPECT_EQ(imports().record(1)->state, ImportRecord::State::Done);
    EXPECT_EQ(imports().added(1).size(), 201u);
    EXPECT_TRUE(fs::is_regular_file(imports().attachments(1) / "IMG_0.png"));
    // A later start finds nothing to finish.
    EXPECT_EQ(clean_up(), 0u);
    EXPECT_EQ(inbox().size(), 201u);
}

// An import that holds a message twice adds its second copy; killed
// before its boxes were saved, the clean-up takes nothing out, and never
// the copy an earlier import added. The same for an undo killed after the
// boxes were saved and run again.
TEST_F(CliImport, KilledRunsTakeOutOnlyWhatTheySaved) {
    ASSERT_EQ(cli("import '" + file("a.xml", backup(0, 3)).string() + "'").exit_code, 0);
    const fs::path twice = file("b.xml", backup(0, 1, 0, 0, true));
    const std::string import_b = "import '" + twice.string() + "'";
    const size_t inbox_save = index_of(renames_of(import_b), "inbox1.sms");
    EXPECT_NE(cli(import_b, at_rename(inbox_save, "error=EINTR:signal=SIGKILL")).exit_code, 0);
    ASSERT_EQ(imports().record(2)->state, ImportRecord::State::Pending);
    EXPECT_EQ(clean_up(), 1u);
    EXPECT_EQ(inbox_count(u"hello 0"), 1u);
    EXPECT_EQ(inbox().size(), 3u);
    EXPECT_FALSE(imports().record(2));

    ASSERT_EQ(cli(import_b).exit_code, 0);
    ASSERT_EQ(inbox_count(u"hello 0"), 2u);
    const std::vector<std::string> undo = renames_of("import --undo 2");
    const size_t after_boxes = index_of(undo, "inbox1.sms") + 1;
    ASSERT_EQ(undo.at(after_boxes - 1), "2.record");
    EXPECT_NE(
        cli("import --undo 2", at_rename(after_boxes, "error=EINTR:signal=SIGKILL")).exit_code, 0);
    EXPECT_EQ(inbox_count(u"hello 0"), 1u);
    const test::ProgramResult again = cli("import --undo 2");
    EXPECT_EQ(again.exit_code, 0) << again.output;
    EXPECT_EQ(inbox_count(u"hello 0"), 1u);
    EXPECT_EQ(imports().record(2)->state, ImportRecord::State::Undone);
    EXPECT_EQ(inbox().size(), 3u);
}

// The record cannot be written after the boxes were saved: the import is
// not reported done (the next start would take it out), nothing is kept;
// an undo says so and the record tells what the boxes hold.
TEST_F(CliImport, ARecordThatCannotBeWrittenIsAFailureAndTheBoxesFollowIt) {
    const std::string import_a = "import '" + file("a.xml", backup(0, 3)).string() + "'";
    const size_t done = index_of(renames_of(import_a), "1.record", 2);
    const test::ProgramResult failed = cli(import_a, at_rename(done, "error=ENOSPC"));
    EXPECT_EQ(failed.exit_code, 1) << failed.output;
    EXPECT_NE(failed.output.find("nothing was imported"), std::string::npos) << failed.output;
    EXPECT_TRUE(inbox().empty());
    EXPECT_EQ(clean_up(), 0u);
    EXPECT_TRUE(imports().records().empty());

    ASSERT_EQ(cli(import_a).exit_code, 0);
    const std::vector<std::string> undo = renames_of("import --undo 1");
    const size_t undone = index_of(undo, "1.record", 2);
    const test::ProgramResult half = cli("import --undo 1", at_rename(undone, "error=ENOSPC"));
    EXPECT_EQ(half.exit_code, 1) << half.output;
    EXPECT_NE(half.output.find("record could not be marked"), std::string::npos) << half.output;
    EXPECT_TRUE(inbox().empty());
    EXPECT_EQ(imports().record(1)->state, ImportRecord::State::Undoing);
    EXPECT_EQ(clean_up(), 1u);
    EXPECT_EQ(imports().record(1)->state, ImportRecord::State::Undone);
}

// --dry-run --undo changes nothing; an undo that finds nothing of what its
// import added says so and fails.
TEST_F(CliImport, ADryUndoChangesNothingAndAnUndoThatFindsNothingFails) {
    ASSERT_EQ(cli("import '" + file("a.xml", backup(0, 3)).string() + "'").exit_code, 0);
    const std::string before = test::file_contents(data() / "inbox1.sms");
    const test::ProgramResult dry = cli("import --dry-run --undo 1");
    EXPECT_EQ(dry.exit_code, 0) << dry.output;
    EXPECT_NE(dry.output.find("import 1 would be undone: 3 messages to remove"), std::string::npos)
        << dry.output;
    EXPECT_EQ(test::file_contents(data() / "inbox1.sms"), before);
    EXPECT_EQ(imports().record(1)->state, ImportRecord::State::Done);

    // The messages changed behind the import's back: nothing it added is found.
    MessageLibrary library(data());
    library.load_box(BoxKind::Inbox);
    SmsBox& box = library.box(BoxKind::Inbox);
    std::vector<SmsMessage> edited(box.messages().begin(), box.messages().end());
    std::vector<size_t> all(box.count());
    std::iota(all.begin(), all.end(), size_t{0});
    box.remove_here(all);
    for (SmsMessage& m : edited) {
        m.set_text(u"edited");
        box.append(m);
    }
    ASSERT_TRUE(library.save_changed().ok());
    const test::ProgramResult none = cli("import --undo 1");
    EXPECT_EQ(none.exit_code, 1) << none.output;
    EXPECT_NE(none.output.find("none of the 3 messages import 1 added"), std::string::npos)
        << none.output;
    EXPECT_EQ(inbox().size(), 3u);
}

// The archive carries the imported pictures, in a folder per import, and
// the imports' listing, and its README says so; its message count is the
// boxes'.
TEST_F(CliImport, TheArchiveCarriesImportedPicturesAndSaysSo) {
    ASSERT_EQ(cli("import '" + file("a.xml", backup(0, 3, 1)).string() + "'").exit_code, 0);
    const fs::path archive = temp_.path() / "archive";
    const test::ProgramResult written =
        cli("export --format archive --output '" + archive.string() + "'");
    ASSERT_EQ(written.exit_code, 0) << written.output;
    EXPECT_NE(written.output.find("Archive written: 4 messages, 0 contacts, 4 conversations, "
                                  "1 attachments"),
              std::string::npos)
        << written.output;
    EXPECT_EQ(test::file_contents(archive / "attachments" / "1" / "IMG_0.png"),
              test::file_contents(imports().attachments(1) / "IMG_0.png"));
    EXPECT_TRUE(test::file_contents(archive / "imports.txt").starts_with("1\t"));
    EXPECT_NE(
        test::file_contents(archive / "README.txt")
            .find("attachments/     Pictures, sounds and other files of imported messages (1)"),
        std::string::npos);
}

// A small tmpfs (as root) holding `where`, unmounted at the end.
class Tmpfs {
  public:
    Tmpfs(const fs::path& where, const char* size) : where_(where) {
        fs::create_directories(where);
        mounted_ =
            ::mount("tmpfs", where.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) == 0;
    }
    ~Tmpfs() {
        if (mounted_)
            ::umount2(where_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }

  private:
    fs::path where_;
    bool mounted_ = false;
};

// A picture larger than TMPDIR's room comes in: it is spooled beside the
// data folder. A data folder too small for it refuses the file whole and
// keeps no staging folder.
TEST_F(CliImport, PicturesAreSpooledBesideTheDataFolderAndAFullDiskLeavesNoStaging) {
    tmpdir_ = temp_.path() / "small-tmp";
    const Tmpfs small_tmp(tmpdir_, "1m");
    if (!small_tmp.mounted())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    const fs::path big = file("big.xml", backup(0, 2, 1, 3 << 20));
    const test::ProgramResult spooled = cli("import '" + big.string() + "'");
    EXPECT_EQ(spooled.exit_code, 0) << spooled.output;
    EXPECT_EQ(fs::file_size(imports().attachments(1) / "IMG_0.png"), size_t{3} << 20);

    xdg_ = temp_.path() / "small-data";
    tmpdir_.clear();
    const Tmpfs small_data(xdg_, "2m");
    const test::ProgramResult full = cli("import '" + big.string() + "'");
    EXPECT_EQ(full.exit_code, 1) << full.output;
    std::vector<std::string> left;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(data() / "imports", ec))
        left.push_back(entry.path().filename().string());
    EXPECT_TRUE(left.empty()) << left.front();
    EXPECT_TRUE(inbox().empty());
}

}  // namespace
}  // namespace quillet
