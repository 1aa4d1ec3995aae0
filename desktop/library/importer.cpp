#include "desktop/library/importer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <ctime>
#include <deque>
#include <fstream>
#include <map>
#include <new>
#include <numeric>
#include <optional>
#include <set>
#include <span>
#include <system_error>
#include <tuple>
#include <unordered_set>

#include "desktop/formats/import_text.h"
#include "desktop/formats/iphone_import.h"
#include "desktop/library/data_folder_lock.h"
#include "desktop/library/import_origins.h"
#include "desktop/library/message_matcher.h"
#include "desktop/store/box_file.h"
#include "desktop/store/safe_file.h"
#include "desktop/store/unique_fd.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace fs = std::filesystem;
namespace {

constexpr uint8_t kImportedClass = 1;
constexpr const char* kAnotherImport =
    "another import or undo is running on this data folder; try again when it has ended";
constexpr size_t kMaxAttachmentName = 120;

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// The number field as a box keeps it (normalise_number: a number's "+" and
// digits, a sender name as written, 8-bit), several recipients joined by ";".
std::string stored_number(std::string_view address) {
    std::string out;
    size_t start = 0;
    while (start <= address.size()) {
        const size_t end = std::min(address.find_first_of(";~", start), address.size());
        const std::string_view one = trimmed(address.substr(start, end - start));
        if (!one.empty()) {
            if (!out.empty())
                out += ';';
            out += normalise_number(to_ansi(from_utf8(one)));
        }
        start = end + 1;
    }
    if (out.size() > kTextFieldSize - 1)
        out.resize(kTextFieldSize - 1);
    return out;
}

// A wall-clock time with no zone, read as this machine's local time.
int64_t local_wall_to_utc_ms(int64_t wall_ms) {
    const int64_t seconds = wall_ms >= 0 ? wall_ms / 1000 : (wall_ms - 999) / 1000;
    const time_t as_utc = static_cast<time_t>(seconds);
    std::tm t{};
    if (::gmtime_r(&as_utc, &t) == nullptr)
        return wall_ms;
    t.tm_isdst = -1;
    const time_t local = ::mktime(&t);
    if (local == static_cast<time_t>(-1))
        return wall_ms;
    return int64_t{local} * 1000 + (wall_ms - seconds * 1000);
}

std::string safe_attachment_name(std::string_view suggested) {
    std::string name(suggested.substr(suggested.find_last_of("/\\") == std::string_view::npos
                                          ? 0
                                          : suggested.find_last_of("/\\") + 1));
    name = import::without_controls(name);
    if (name.empty() || name == "." || name == "..")
        name = "attachment";
    if (name.size() > kMaxAttachmentName)
        name = name.substr(name.size() - kMaxAttachmentName);
    if (name.front() == '.')
        name.insert(name.begin(), '_');
    return name;
}

// Attachments written into one folder (the run's staging folder), each
// under a name of its own. A name once given stays taken, so that dropping
// the files of a message already kept does not change the names later
// messages get: the same file read again names the same files.
class FolderAttachments : public AttachmentSink {
  public:
    FolderAttachments(fs::path folder, fs::path spool, bool dry_run)
        : folder_(std::move(folder)), spool_(std::move(spool)), dry_run_(dry_run) {}
    ~FolderAttachments() override { end(false); }

    std::optional<std::string> begin(std::string_view suggested) override {
        end(false);
        const std::string name = safe_attachment_name(suggested);
        for (int n = 1; n < 10'000; ++n) {
            std::string candidate = n == 1 ? name : std::to_string(n) + "-" + name;
            if (!taken_.insert(candidate).second)
                continue;
            if (dry_run_) {
                ++saved_;
                return candidate;
            }
            std::error_code ec;
            make_folders(folder_, ec);
            const fs::path file = folder_ / candidate;
            fd_ =
                UniqueFd(::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                new_mode_at(file, 0666)));
            if (fd_.valid()) {
                current_ = std::move(candidate);
                return current_;
            }
            if (errno != EEXIST)
                return std::nullopt;
        }
        return std::nullopt;
    }
    bool write(std::string_view bytes) override {
        if (dry_run_)
            return true;
        for (size_t done = 0; done < bytes.size();) {
            const ssize_t put = ::write(fd_.get(), bytes.data() + done, bytes.size() - done);
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
                return false;
            done += static_cast<size_t>(put);
        }
        return true;
    }
    bool end(bool keep) override {
        if (!fd_.valid())
            return dry_run_ && keep;
        // Flushed all at once before the import commits (flush_to_disk):
        // one flush per picture would cost most of an import's time.
        const bool ok = ::close(fd_.release()) == 0;
        if (!keep || !ok) {
            ::unlink((folder_ / current_).c_str());
            return false;
        }
        ++saved_;
        return true;
    }
    fs::path spool_folder() const override {
        if (dry_run_)
            return spool_;  // a dry run leaves nothing behind: its spool has no name
        std::error_code ec;
        make_folders(folder_, ec);
        return folder_;
    }
    // The files of a message that is not added go again.
    void drop(const std::vector<ImportedAttachment>& attachments) {
        for (const ImportedAttachment& a : attachments) {
            if (!dry_run_)
                ::unlink((folder_ / a.name).c_str());
            --saved_;
        }
    }
    size_t saved() const { return saved_; }

  private:
    fs::path folder_;
    fs::path spool_;
    bool dry_run_;
    UniqueFd fd_;
    std::string current_;
    std::set<std::string> taken_;
    size_t saved_ = 0;
};

// Staging folders not moved into place by the end of a run are removed at
// once, whatever ended it (a full disk, a failed save, a cancel).
struct StagingFolders {
    ~StagingFolders() {
        std::error_code ec;
        for (const fs::path& stage : paths)
            fs::remove_all(stage, ec);
    }
    std::vector<fs::path> paths;
};

// A message as undo and the clean-up find it: box, time, number, text.
using MessageKey = std::tuple<FileTime, std::string, uint64_t>;

MessageKey key_of(const AddedMessage& a) {
    return {a.time, a.number, a.text_hash};
}

// Where the copies of each wanted message are in `box`, in order. Only
// messages of a wanted time are hashed: a lifetime's box costs a pass.
std::map<MessageKey, std::vector<size_t>> copies_in(const SmsBox& box,
                                                    const std::map<MessageKey, size_t>& wanted) {
    std::map<MessageKey, std::vector<size_t>> out;
    std::set<FileTime> times;
    for (const auto& [key, n] : wanted)
        times.insert(std::get<0>(key));
    for (size_t i = 0; i < box.count(); ++i) {
        const SmsMessage& m = box.message_ref(i);
        if (!times.contains(m.time()))
            continue;
        MessageKey key{m.time(), std::string(m.number()), text_hash(m.text_view())};
        if (wanted.contains(key))
            out[std::move(key)].push_back(i);
    }
    return out;
}

// How many entries of `added` name each message, per box.
std::array<std::map<MessageKey, size_t>, 3> count_by_box(const std::vector<AddedMessage>& added) {
    std::array<std::map<MessageKey, size_t>, 3> out;
    for (const AddedMessage& a : added) {
        if (a.box >= 0 && a.box < 3)
            ++out[static_cast<size_t>(a.box)][key_of(a)];
    }
    return out;
}

bool held_by_phone(const SmsMessage& m) {
    return m.on_phone() != 0 || m.entry_id() != EntryId{};
}

constexpr std::array<BoxKind, 3> kBoxes{BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems};

// Everything written to the file system that holds `folder`, in one call.
void flush_to_disk(const fs::path& folder) {
    const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid())
        ::syncfs(fd.get());
}

void note_skip(ImportRecord& record, std::string_view why) {
    auto found = std::find_if(record.skipped.begin(), record.skipped.end(),
                              [&](const auto& s) { return s.first == why; });
    if (found == record.skipped.end())
        record.skipped.emplace_back(std::string(why), 1);
    else
        ++found->second;
}

// What the reading itself met, beside the counts.
void add_reading_notes(ImportRecord& record, const ReadReport& got) {
    if (!got.damage.empty())
        record.problems.push_back(got.damage);
    if (got.announced && got.held && *got.announced != *got.held)
        record.problems.push_back("the file announces " + std::to_string(*got.announced) +
                                  " messages but holds " + std::to_string(*got.held));
    if (got.replaced > 0)
        record.problems.push_back(std::to_string(got.replaced) +
                                  " characters could not be read as written and were replaced "
                                  "by \xEF\xBF\xBD");
}

BoxKind box_for(bool received) {
    return received ? BoxKind::Inbox : BoxKind::SentItems;
}

// Whether two files hold the same bytes (their sizes are known equal).
bool same_bytes(const fs::path& a, const fs::path& b) {
    const UniqueFd fa(::open(a.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    const UniqueFd fb(::open(b.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fa.valid() || !fb.valid())
        return false;
    std::string pa(64 * 1024, '\0'), pb(64 * 1024, '\0');
    for (;;) {
        const ssize_t na = ::read(fa.get(), pa.data(), pa.size());
        if (na < 0)
            return false;
        size_t got = 0;
        while (got < static_cast<size_t>(na)) {
            const ssize_t nb = ::read(fb.get(), pb.data() + got, static_cast<size_t>(na) - got);
            if (nb <= 0)
                return false;
            got += static_cast<size_t>(nb);
        }
        if (na == 0)
            return ::read(fb.get(), pb.data(), 1) == 0;
        if (std::memcmp(pa.data(), pb.data(), got) != 0)
            return false;
    }
}

// A file's bytes hashed (FNV-1a); none when it cannot be read.
std::optional<uint64_t> content_hash(const fs::path& file) {
    const UniqueFd fd(::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid())
        return std::nullopt;
    uint64_t h = 0xcbf29ce484222325ULL;
    std::array<unsigned char, 64 * 1024> buffer;
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return h;
        for (ssize_t i = 0; i < n; ++i)
            h = (h ^ buffer[static_cast<size_t>(i)]) * 0x100000001b3ULL;
    }
}

// The attachment files kept so far (every import's folder), by size, so
// that a picture kept already is not kept twice: an equal new file becomes
// another name of the kept one (a hard link). Where the file system has no
// hard links, the copy stays. Files of equal size are told apart by a hash
// of their bytes (made when first needed) before any are compared whole:
// pictures of one camera often share a size, and comparing each new one
// with every kept one would grow with the square of their number.
class KeptAttachments {
  public:
    explicit KeptAttachments(const fs::path& imports) {
        std::error_code ec;
        for (const auto& folder : fs::directory_iterator(imports, ec)) {
            const std::string name = folder.path().filename().string();
            if (name.empty() ||
                !std::all_of(name.begin(), name.end(),
                             [](unsigned char c) { return c >= '0' && c <= '9'; }) ||
                !folder.is_directory(ec))
                continue;
            for (const auto& file : fs::directory_iterator(folder.path(), ec))
                add(file.path(), std::nullopt);
        }
    }
    // `file` as another name of an equal kept file, when there is one.
    void share(const fs::path& file) {
        struct stat st {};
        if (::lstat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            return;
        std::vector<Kept>& same_size = by_size_[static_cast<uintmax_t>(st.st_size)];
        if (same_size.empty()) {
            same_size.push_back({file, st.st_ino, std::nullopt});
            return;
        }
        const std::optional<uint64_t> hash = content_hash(file);
        if (!hash)
            return;
        for (Kept& kept : same_size) {
            if (kept.inode == st.st_ino)
                continue;
            if (!kept.hash)
                kept.hash = content_hash(kept.path);
            if (kept.hash != hash || !same_bytes(file, kept.path))
                continue;
            const fs::path link = file.string() + ".quillet-link";
            if (::link(kept.path.c_str(), link.c_str()) != 0)
                break;
            if (::rename(link.c_str(), file.c_str()) != 0)
                ::unlink(link.c_str());
            return;
        }
        same_size.push_back({file, st.st_ino, hash});
    }

  private:
    struct Kept {
        fs::path path;
        ino_t inode;
        std::optional<uint64_t> hash;  // made when a file of its size comes
    };
    void add(const fs::path& file, std::optional<uint64_t> hash) {
        struct stat st {};
        if (::lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            by_size_[static_cast<uintmax_t>(st.st_size)].push_back({file, st.st_ino, hash});
    }
    std::map<uintmax_t, std::vector<Kept>> by_size_;
};

// The run's staging folder becomes the import's attachment folder.
Outcome rename_into_place(const fs::path& stage, const fs::path& folder) {
    std::error_code ec;
    fs::rename(stage, folder, ec);
    if (ec)
        return Outcome::unwritable("the attachments could not be moved to " + folder.string() +
                                   ": " + ec.message());
    return {};
}

}  // namespace

// One file being read: matches each message as it comes and keeps those
// to add until the run commits.
struct Importer::Source : ImportSink {
    Source(MessageMatcher& m, ImportRecord& r, ImportProgress* p, FolderAttachments* a)
        : matcher(m), record(r), progress_to(p), attachments(a) {}

    void message(ImportedMessage&& in) override {
        const int64_t utc_ms = in.zoneless ? local_wall_to_utc_ms(in.time_ms) : in.time_ms;
        SmsMessage m;
        m.set_text(in.text);
        m.set_number_raw(stored_number(in.address));
        m.set_time(filetime_from_ms(utc_ms));
        m.set_read(in.read ? 1 : 0);
        m.set_message_class(kImportedClass);
        m.set_on_phone(0);
        if (!take(box_for(in.received), std::move(m), in.zoneless ? in.time_ms : utc_ms,
                  in.zoneless) &&
            attachments != nullptr)
            attachments->drop(in.attachments);
    }
    // False when the message is kept already (not added).
    bool take(BoxKind kind, SmsMessage&& m, int64_t match_ms, bool zoneless) {
        const MessageMatcher::Result r =
            matcher.match(kind, m.number(), m.text_view(), match_ms, zoneless);
        if (r.verdict == MessageMatcher::Verdict::Kept) {
            ++record.duplicates;
            return false;
        }
        if (r.verdict == MessageMatcher::Verdict::PossibleDuplicate) {
            ++record.possible_duplicates;
            possible.push_back(added_message(static_cast<int>(kind), m));
        }
        matcher.add(kind, m, {kind, SIZE_MAX}, true);
        ++record.added;
        to_add.emplace_back(kind, std::move(m));
        return true;
    }
    void skipped(std::string_view why) override { note_skip(record, why); }
    bool progress(uint64_t done, uint64_t total) override {
        return progress_to == nullptr || progress_to->progress(record.file, done, total);
    }

    MessageMatcher& matcher;
    ImportRecord& record;
    ImportProgress* progress_to;
    FolderAttachments* attachments;
    std::vector<std::pair<BoxKind, SmsMessage>> to_add;
    std::vector<AddedMessage> possible;
    std::vector<ImportedContact> contacts;
};

// An import a Quillet folder's messages came from there, carried here as
// an import of its own: its file, format and time, the messages of it that
// are added, and the attachments they name, under the names they name.
struct Importer::Part {
    Part(MessageMatcher& matcher, ImportRecord& r, const fs::path& stage, const fs::path& spool,
         bool dry_run)
        : record(r),
          attachments(std::make_unique<FolderAttachments>(stage, spool, dry_run)),
          source(std::make_unique<Source>(matcher, r, nullptr, nullptr)) {}

    // Copies the files `text` names in `from` (once each).
    void carry(std::u16string_view text, const fs::path& from) {
        for (const auto& [name, file] : named_attachments(text, from)) {
            const std::string wanted = to_utf8(name);
            if (!copied.insert(wanted).second || !attachments->begin(wanted))
                continue;
            std::ifstream in(file, std::ios::binary);
            std::string piece(64 * 1024, '\0');
            bool written = static_cast<bool>(in);
            while (written && in) {
                in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
                if (const auto got = in.gcount(); got > 0)
                    written = attachments->write(
                        std::string_view(piece.data(), static_cast<size_t>(got)));
            }
            attachments->end(written && in.eof());
        }
    }

    ImportRecord& record;
    std::unique_ptr<FolderAttachments> attachments;
    std::unique_ptr<Source> source;
    std::set<std::string> copied;
};

size_t ImportRun::added() const {
    size_t n = 0;
    for (const ImportRecord& r : imports)
        n += r.added;
    return n;
}

Importer::Importer(MessageLibrary& library, ContactList* contacts)
    : library_(library), contacts_(contacts), folder_(library.folder()) {}

std::vector<fs::path> Importer::expand(const std::vector<fs::path>& paths,
                                       std::vector<std::string>& failures) const {
    std::vector<fs::path> files;
    for (const fs::path& path : paths) {
        std::error_code ec;
        if (!fs::is_directory(path, ec) || detect_format(path) != ImportFormat::Unknown) {
            files.push_back(path);
            continue;
        }
        std::vector<fs::path> inside;
        for (const auto& entry : fs::directory_iterator(path, ec)) {
            if (const std::optional<Outcome> unusable = unusable_path(entry.path()))
                failures.push_back(entry.path().string() + ": " + unusable->what());
            else if (detect_format(entry.path()) != ImportFormat::Unknown)
                inside.push_back(entry.path());
        }
        if (inside.empty())
            failures.push_back(path.string() + ": holds no backup Quillet can read");
        std::sort(inside.begin(), inside.end());
        files.insert(files.end(), inside.begin(), inside.end());
    }
    return files;
}

std::vector<Contact> Importer::add_contacts(const std::vector<ImportedContact>& contacts,
                                            bool dry_run, ImportRecord& record) {
    std::vector<Contact> added;
    if (contacts_ == nullptr)
        return added;
    // A number already in the list, in any spelling the conversations take
    // for the same person, is not added again.
    std::unordered_set<std::string> seen;
    std::vector<std::pair<Contact, std::u16string>> fresh;
    for (const ImportedContact& c : contacts) {
        const std::u16string full = from_utf8(c.name);
        for (const std::string& written : c.numbers) {
            const std::string number = normalise_number(written);
            if (contacts_->name_for_number(number) ||
                !seen.insert(contacts_->phone_numbers().group_key(number)).second) {
                note_skip(record, "a number the contact list already holds");
                continue;
            }
            fresh.emplace_back(make_contact(to_ansi(full), number), full);
            added.push_back(fresh.back().first);
        }
    }
    if (!dry_run && !fresh.empty()) {
        contacts_->append_all(fresh);
        contacts_->sort_contacts();
    }
    return added;
}

namespace {

using TakeKept = std::function<void(BoxKind, SmsMessage&&, const MessageOrigin*)>;

// Reads the box file at `path` as box `kind`: every message off the phone.
Outcome read_box_into(const fs::path& path, BoxKind kind, ImportOrigins* origins,
                      const TakeKept& take) {
    std::string error;
    std::optional<DecodedBox> box = read_box_file(path, error);
    if (!box)
        return Outcome::unreadable(path.string() + ": " + error);
    if (box->version == BoxFileVersion::Unknown)
        return Outcome::bad_input(path.string() + ": not a box file");
    for (SmsMessage& m : box->messages) {
        const std::optional<MessageOrigin> origin =
            origins != nullptr ? origins->origin_of(m) : std::nullopt;
        m.set_on_phone(0);
        m.set_entry_id({});
        take(kind, std::move(m), origin ? &*origin : nullptr);
    }
    return {};
}

// Reads a Quillet data or archive folder's boxes and contacts; each
// message comes with where it came from there, when an import brought it.
ReadReport read_quillet_folder(const fs::path& folder, std::vector<ImportedContact>& contacts,
                               const TakeKept& take) {
    ReadReport report;
    ImportOrigins origins(folder);
    for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems}) {
        const fs::path path = folder / to_utf8(box_file_name(kind));
        std::error_code ec;
        if (!fs::exists(path, ec))
            continue;
        report.outcome = read_box_into(path, kind, &origins, take);
        if (!report.outcome)
            return report;
    }
    ContactList theirs;
    theirs.load_contacts_file(folder / to_utf8(kContactsFileName));
    for (const Contact& c : theirs.contacts())
        contacts.push_back({to_utf8(theirs.full_name(c)), {std::string(text_field(c.number))}});
    return report;
}

// Reads one box file (a copy of one, under any name): its box is told by
// the name's start, as the boxes are named ("sent1…", "deleted1…"), else
// the Inbox. Where its messages came from is not known apart from their
// folder, so each is a message of its own.
ReadReport read_quillet_box(const fs::path& path, const TakeKept& take) {
    const std::string name = path.filename().string();
    BoxKind kind = BoxKind::Inbox;
    if (name.starts_with("sent"))
        kind = BoxKind::SentItems;
    else if (name.starts_with("deleted"))
        kind = BoxKind::DeletedItems;
    return {.outcome = read_box_into(path, kind, nullptr, take)};
}

}  // namespace

ImportRun Importer::run(const std::vector<fs::path>& paths, bool dry_run,
                        ImportProgress* progress) {
    ImportRun run;
    std::optional<ImportLock> lock;
    if (!dry_run) {
        lock.emplace(library_.folder());
        if (!lock->held()) {
            run.outcome = Outcome::refused(kAnotherImport);
            return run;
        }
        if (const BoxSaveReport taken = library_.take_in_changes(); !taken.ok()) {
            run.outcome = taken.outcome();
            return run;
        }
    }
    const std::vector<fs::path> files = expand(paths, run.failures);
    static const PhoneNumbers kNoContactsNumbers;
    // Freed once every file is read (the sources' references to it are
    // not used after that): with the messages to add, it is most of a
    // run's memory, and the commit needs room for the boxes.
    std::optional<MessageMatcher> kept_messages(
        std::in_place, contacts_ ? contacts_->phone_numbers() : kNoContactsNumbers,
        MessageMatcher::GroupCopies::AreTheGroup);
    MessageMatcher& matcher = *kept_messages;
    for (const BoxKind kind : kBoxes)
        matcher.add_box(library_.box(kind));

    int next_id = dry_run ? 0 : folder_.next_id();
    std::vector<std::unique_ptr<Source>> sources;
    std::deque<ImportRecord> records;  // stable: each Source refers to its own
    StagingFolders staging;
    // The import a Quillet folder's message came from there, as a part of
    // the folder's import here.
    const auto part_for = [&](const MessageOrigin& origin, const ImportRecord& folder,
                              std::map<fs::path, std::unique_ptr<Part>>& parts) -> Part& {
        std::unique_ptr<Part>& part = parts[origin.attachments];
        if (part)
            return *part;
        ImportRecord& record = records.emplace_back();
        record.id = dry_run ? 0 : folder.id + static_cast<int>(parts.size());
        record.time = origin.time;
        record.file = origin.file;
        record.format = origin.format;
        record.part_of = folder.id;
        const fs::path stage = folder_.path() / (".staging-" + std::to_string(record.id));
        staging.paths.push_back(stage);
        part = std::make_unique<Part>(matcher, record, stage, library_.folder(), dry_run);
        return *part;
    };
    for (size_t i = 0; i < files.size(); ++i) {
        const fs::path& file = files[i];
        ImportRecord& record = records.emplace_back();
        record.id = dry_run ? 0 : next_id;
        record.time = static_cast<int64_t>(std::time(nullptr));
        std::error_code ec;
        record.file = fs::absolute(file, ec).string();
        const ImportFormat format = detect_format(file);
        record.format = std::string(format_name(format));
        matcher.begin_source();
        const fs::path stage = folder_.path() / (".staging-" + std::to_string(record.id));
        staging.paths.push_back(stage);
        std::map<fs::path, std::unique_ptr<Part>> parts;
        FolderAttachments attachments(stage, library_.folder(), dry_run);
        auto source = std::make_unique<Source>(matcher, record, progress, &attachments);
        ReadReport got;
        const TakeKept take_kept = [&](BoxKind kind, SmsMessage&& m, const MessageOrigin* origin) {
            const int64_t ms = unix_ms(m.time());
            if (origin == nullptr) {
                source->take(kind, std::move(m), ms, false);
                return;
            }
            Part& part = part_for(*origin, record, parts);
            const std::u16string text(m.text_view());
            if (part.source->take(kind, std::move(m), ms, false))
                part.carry(text, origin->attachments);
        };
        try {
            switch (format) {
                case ImportFormat::Unknown:
                    got.outcome = unusable_path(file).value_or(
                        Outcome::bad_input("not a backup Quillet can read"));
                    break;
                case ImportFormat::AndroidCalls:
                    got.outcome = Outcome::bad_input("a call log, not messages: nothing to import");
                    break;
                case ImportFormat::Vcard:
                    got = read_vcards(file, source->contacts, *source);
                    break;
                case ImportFormat::IphoneBackup:
                    got = read_iphone_backup(file, *source, attachments, source->contacts);
                    break;
                case ImportFormat::QuilletFolder:
                    got = read_quillet_folder(file, source->contacts, take_kept);
                    break;
                case ImportFormat::QuilletBox:
                    got = read_quillet_box(file, take_kept);
                    break;
                default:
                    got = read_messages(file, format, *source, attachments);
                    break;
            }
        } catch (const std::bad_alloc&) {
            got = {.outcome = Outcome::unreadable("not enough memory to read it")};
        }
        attachments.end(false);
        source->attachments = nullptr;
        record.attachments = attachments.saved();
        if (got.outcome.kind() == Outcome::Kind::Cancelled) {
            run.outcome = got.outcome;
            break;
        }
        if (!got.outcome) {
            matcher.discard_source();
            fs::remove_all(stage, ec);
            run.failures.push_back(file.string() + ": " + got.outcome.what());
            continue;
        }
        if (!dry_run)
            next_id += static_cast<int>(parts.size());
        add_reading_notes(record, got);
        if (!dry_run)
            ++next_id;
        run.imports.push_back(record);
        sources.push_back(std::move(source));
        // The imports it carried, in the order they were met.
        std::vector<Part*> carried;
        for (auto& [from, part] : parts)
            carried.push_back(part.get());
        std::sort(carried.begin(), carried.end(),
                  [](const Part* a, const Part* b) { return a->record.id < b->record.id; });
        for (Part* part : carried) {
            part->attachments->end(false);
            part->record.attachments = part->attachments->saved();
            run.imports.push_back(part->record);
            sources.push_back(std::move(part->source));
        }
    }
    kept_messages.reset();
    if (run.outcome.kind() == Outcome::Kind::Cancelled) {
        run.imports.clear();
        return run;
    }
    if (dry_run) {
        for (size_t i = 0; i < sources.size(); ++i) {
            run.imports[i].contacts =
                add_contacts(sources[i]->contacts, true, run.imports[i]).size();
            run.contacts_added += run.imports[i].contacts;
        }
        return run;
    }
    std::vector<fs::path> stages;
    for (const ImportRecord& record : run.imports)
        stages.push_back(folder_.path() / (".staging-" + std::to_string(record.id)));
    commit(run, sources, stages);
    if (!run.outcome) {
        run.imports.clear();
        return run;
    }
    // Contacts: each import's list of what it added is on disk before the
    // contacts file holds them, so that undo finds them.
    for (size_t i = 0; i < sources.size(); ++i) {
        ImportRecord& record = run.imports[i];
        const size_t skips = record.skipped_count();
        const std::vector<Contact> added = add_contacts(sources[i]->contacts, false, record);
        if (added.empty()) {
            if (record.skipped_count() != skips)
                folder_.save_record(record);
            continue;
        }
        record.contacts = added.size();
        run.contacts_added += added.size();
        if (Outcome saved = folder_.save_contacts(record.id, added); !saved)
            run.failures.push_back("imports: " + saved.what());
        folder_.save_record(record);
    }
    if (run.contacts_added > 0 && contacts_ != nullptr) {
        const Outcome saved =
            contacts_->save_contacts(from_utf8((library_.folder() / "contacts.sql").string()));
        if (!saved)
            run.failures.push_back("contacts.sql: " + saved.what());
    }
    return run;
}

// The attachments on disk, each import pending with its targets, the
// messages in, the boxes saved, done. Any step that fails leaves the boxes
// and the records as before the run (or, when even that cannot be saved,
// pending, for the next start to finish).
void Importer::commit(ImportRun& run, std::vector<std::unique_ptr<Source>>& sources,
                      const std::vector<fs::path>& staging) {
    std::optional<KeptAttachments> kept;
    for (size_t i = 0; i < sources.size(); ++i) {
        if (run.imports[i].attachments == 0)
            continue;
        if (!kept)
            kept.emplace(folder_.path());
        std::error_code ec;
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(staging[i], ec))
            files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files)
            kept->share(file);
    }
    flush_to_disk(folder_.path());
    std::vector<int> recorded;
    const auto forget_records = [&] {
        for (const int id : recorded)
            folder_.remove(id);
    };
    for (size_t i = 0; i < sources.size(); ++i) {
        ImportRecord& record = run.imports[i];
        std::vector<AddedMessage> added;
        added.reserve(sources[i]->to_add.size());
        for (const auto& [kind, m] : sources[i]->to_add)
            added.push_back(added_message(static_cast<int>(kind), m));
        // Written before the record: a pending record always has them.
        Outcome saved = folder_.save_targets(record.id, copies_before(added));
        if (saved)
            saved = folder_.save_added(record.id, added);
        if (saved)
            saved = folder_.save_possible(record.id, sources[i]->possible);
        if (saved)
            saved = folder_.save_record(record);
        recorded.push_back(record.id);
        if (saved && record.attachments > 0)
            saved = rename_into_place(staging[i], folder_.attachments(record.id));
        if (!saved) {
            run.outcome = std::move(saved);
            forget_records();
            return;
        }
    }
    // Where each box's new messages are: another writer's, taken in by the
    // save, come after them. Their places are listed before any goes in, so
    // that taking them out again needs no memory.
    std::array<std::vector<size_t>, 3> places;
    for (const auto& source : sources) {
        for (const auto& [kind, m] : source->to_add)
            places[static_cast<size_t>(kind)].push_back(0);
    }
    std::array<size_t, 3> appended{};
    for (const BoxKind kind : kBoxes) {
        std::vector<size_t>& ours = places[static_cast<size_t>(kind)];
        std::iota(ours.begin(), ours.end(), library_.box(kind).count());
    }
    const auto take_back = [&] {
        for (const BoxKind kind : kBoxes) {
            const size_t k = static_cast<size_t>(kind);
            library_.box(kind).remove_here(std::span(places[k]).first(appended[k]));
        }
    };
    const auto take_out = [&] {
        take_back();
        // Saved as before the run; when even that fails, the records stay
        // pending and the next start takes the messages out.
        if (library_.save_changed().ok())
            forget_records();
    };
    try {
        for (auto& source : sources) {
            for (auto& [kind, m] : source->to_add) {
                library_.box(kind).append(m);
                ++appended[static_cast<size_t>(kind)];
            }
        }
    } catch (const std::bad_alloc&) {
        // Nothing was saved yet: the boxes on disk are as they were.
        take_back();
        forget_records();
        run.outcome = Outcome::unreadable("there is not enough memory to take the messages in");
        return;
    }
    // Every message is in its box: the run's own copies go before the save
    // needs its memory (taking them out again needs only their places).
    for (auto& source : sources)
        std::vector<std::pair<BoxKind, SmsMessage>>().swap(source->to_add);
    run.outcome = library_.save_changed().outcome();
    if (!run.outcome) {
        take_out();
        return;
    }
    for (ImportRecord& record : run.imports) {
        record.state = ImportRecord::State::Done;
        if (Outcome done = folder_.save_record(record); !done) {
            // Told done while its record says pending, the next start would
            // undo it: it is taken out now, and the failure said.
            run.outcome =
                Outcome::unwritable("the import's record could not be written: " + done.what());
            for (ImportRecord& r : run.imports) {
                r.state = ImportRecord::State::Pending;
                folder_.save_record(r);
            }
            take_out();
            return;
        }
    }
}

// Per message added, how many copies the boxes held before: what the
// clean-up of a killed run brings them back to.
std::vector<MessageTarget> Importer::copies_before(const std::vector<AddedMessage>& added) const {
    std::vector<MessageTarget> targets;
    const auto wanted = count_by_box(added);
    for (const BoxKind kind : kBoxes) {
        const auto& keys = wanted[static_cast<size_t>(kind)];
        const auto copies = copies_in(library_.box(kind), keys);
        for (const auto& [key, n] : keys) {
            const auto found = copies.find(key);
            targets.push_back(
                {{static_cast<int>(kind), std::get<0>(key), std::get<1>(key), std::get<2>(key)},
                 found == copies.end() ? 0 : found->second.size()});
        }
    }
    return targets;
}

size_t Importer::bring_down(const std::vector<AddedMessage>& added,
                            const std::vector<MessageTarget>& targets) {
    std::map<std::pair<int, MessageKey>, size_t> target_of;
    for (const MessageTarget& t : targets)
        target_of[{t.message.box, key_of(t.message)}] = t.copies;
    const auto wanted = count_by_box(added);
    size_t removed = 0;
    for (const BoxKind kind : kBoxes) {
        const auto& keys = wanted[static_cast<size_t>(kind)];
        if (keys.empty())
            continue;
        SmsBox& box = library_.box(kind);
        std::vector<size_t> gone;
        for (const auto& [key, positions] : copies_in(box, keys)) {
            const auto target = target_of.find({static_cast<int>(kind), key});
            const size_t keep = target == target_of.end() ? 0 : target->second;
            size_t excess = positions.size() > keep ? positions.size() - keep : 0;
            excess = std::min(excess, keys.at(key));
            // The newest copies first: a run appends at the end.
            for (auto at = positions.rbegin(); at != positions.rend() && excess > 0; ++at) {
                if (held_by_phone(box.message_ref(*at)))
                    continue;
                gone.push_back(*at);
                --excess;
            }
        }
        std::sort(gone.begin(), gone.end());
        box.remove_here(gone);
        removed += gone.size();
    }
    return removed;
}

struct Importer::UndoPlan {
    std::array<std::vector<size_t>, 3> remove;  // per box, ascending
    std::vector<AddedMessage> kept;
    std::vector<MessageTarget> targets;
    size_t removed = 0;
    size_t missing = 0;
};

Importer::UndoPlan Importer::plan_undo(const std::vector<AddedMessage>& added) const {
    UndoPlan plan;
    const auto wanted = count_by_box(added);
    for (const BoxKind kind : kBoxes) {
        const auto& keys = wanted[static_cast<size_t>(kind)];
        const SmsBox& box = library_.box(kind);
        const auto copies = copies_in(box, keys);
        auto& remove = plan.remove[static_cast<size_t>(kind)];
        for (const auto& [key, n] : keys) {
            const auto found = copies.find(key);
            const std::vector<size_t> none;
            const std::vector<size_t>& positions = found == copies.end() ? none : found->second;
            size_t removing = 0;
            size_t phone = 0;
            for (auto at = positions.rbegin(); at != positions.rend(); ++at) {
                if (held_by_phone(box.message_ref(*at))) {
                    ++phone;
                } else if (removing < n) {
                    remove.push_back(*at);
                    ++removing;
                }
            }
            const size_t kept = std::min(n - removing, phone);
            const AddedMessage message{static_cast<int>(kind), std::get<0>(key), std::get<1>(key),
                                       std::get<2>(key)};
            plan.kept.insert(plan.kept.end(), kept, message);
            plan.targets.push_back({message, positions.size() - removing});
            plan.removed += removing;
            plan.missing += n - removing - kept;
        }
        std::sort(remove.begin(), remove.end());
    }
    return plan;
}

UndoReport Importer::undo(int id, bool dry_run) {
    UndoReport result;
    std::optional<ImportLock> lock;
    if (!dry_run) {
        lock.emplace(library_.folder());
        if (!lock->held()) {
            result.outcome = Outcome::refused(kAnotherImport);
            return result;
        }
        if (const BoxSaveReport taken = library_.take_in_changes(); !taken.ok()) {
            result.outcome = taken.outcome();
            return result;
        }
    }
    std::optional<ImportRecord> record = folder_.record(id);
    if (!record) {
        result.outcome = Outcome::missing("there is no import " + std::to_string(id));
        return result;
    }
    // The imports a Quillet folder brought along go with it.
    for (ImportRecord& part : folder_.records()) {
        if (part.part_of != id || part.state != ImportRecord::State::Done)
            continue;
        const UndoReport undone = undo_one(part, dry_run);
        result.removed += undone.removed;
        result.kept += undone.kept;
        result.missing += undone.missing;
        if (!undone.outcome && undone.outcome.kind() != Outcome::Kind::Missing) {
            result.outcome = undone.outcome;
            return result;
        }
    }
    const UndoReport undone = undo_one(*record, dry_run);
    result.removed += undone.removed;
    result.kept += undone.kept;
    result.missing += undone.missing;
    result.contacts_removed = undone.contacts_removed;
    result.outcome = undone.outcome;
    return result;
}

UndoReport Importer::undo_one(ImportRecord& record, bool dry_run) {
    UndoReport result;
    const int id = record.id;
    const std::string name = "import " + std::to_string(id);
    if (record.state == ImportRecord::State::Undone) {
        result.outcome = Outcome::refused(name + " was undone already");
        return result;
    }
    if (record.state == ImportRecord::State::Pending) {
        result.outcome = Outcome::refused(
            name + " did not finish; what it saved is taken out at the next start");
        return result;
    }
    if (record.state == ImportRecord::State::Undoing) {
        // Killed half-way before: finished as the next start would.
        if (!dry_run)
            finish_undo(record, result);
        return result;
    }
    const std::vector<AddedMessage> added = folder_.added(id);
    UndoPlan plan = plan_undo(added);
    result.removed = plan.removed;
    result.kept = plan.kept.size();
    result.missing = plan.missing;
    if (!added.empty() && plan.missing == added.size()) {
        result.outcome = Outcome::missing(
            "none of the " + std::to_string(added.size()) + " messages " + name +
            " added is in the boxes as it added them (changed or deleted since); nothing was "
            "undone");
        return result;
    }
    if (dry_run)
        return result;

    record.state = ImportRecord::State::Undoing;
    Outcome saved = folder_.save_targets(id, plan.targets);
    if (saved)
        saved = folder_.save_kept(id, plan.kept);
    if (saved)
        saved = folder_.save_record(record);
    if (!saved) {
        result.outcome = Outcome::unwritable(name +
                                             " was not undone: its record could not be "
                                             "written: " +
                                             saved.what());
        record.state = ImportRecord::State::Done;
        folder_.save_record(record);
        return result;
    }
    for (const BoxKind kind : kBoxes)
        library_.box(kind).remove_here(plan.remove[static_cast<size_t>(kind)]);
    if (const Outcome boxes = library_.save_changed().outcome(); !boxes) {
        result.outcome = Outcome::unwritable(boxes.what() + "; the undo of " + name +
                                             " is finished when Quillet next starts");
        return result;
    }
    if (contacts_ != nullptr && record.contacts > 0) {
        result.contacts_removed = contacts_->remove(folder_.contacts(id));
        result.outcome =
            contacts_->save_contacts(from_utf8((library_.folder() / "contacts.sql").string()));
        if (!result.outcome)
            return result;
    }
    mark_undone(record, plan.missing == 0, result);
    return result;
}

// The record marked undone, and the attachments no kept message names
// removed (all kept when a message could not be found: it may name them).
void Importer::mark_undone(ImportRecord& record, bool attachments_known, UndoReport& result) {
    record.state = ImportRecord::State::Undone;
    if (const Outcome marked = folder_.save_record(record); !marked) {
        result.outcome = Outcome::unwritable("import " + std::to_string(record.id) +
                                             " was undone, but its record could not be marked "
                                             "so: " +
                                             marked.what());
        return;
    }
    if (!attachments_known)
        return;
    const fs::path folder = folder_.attachments(record.id);
    std::set<fs::path> named;
    const auto kept = count_by_box(folder_.kept(record.id));
    for (const BoxKind kind : kBoxes) {
        const SmsBox& box = library_.box(kind);
        for (const auto& [key, positions] : copies_in(box, kept[static_cast<size_t>(kind)])) {
            for (const size_t at : positions) {
                for (const auto& [text_name, file] :
                     named_attachments(box.message_ref(at).text_view(), folder))
                    named.insert(file.filename());
            }
        }
    }
    std::error_code ec;
    if (named.empty()) {
        fs::remove_all(folder, ec);
        return;
    }
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (!named.contains(entry.path().filename()))
            fs::remove(entry.path(), ec);
    }
}

// An undo killed half-way, finished: each message down to the copies the
// undo meant to leave, whatever it had saved already.
void Importer::finish_undo(ImportRecord& record, UndoReport& result) {
    const std::vector<AddedMessage> added = folder_.added(record.id);
    const std::vector<MessageTarget> targets = folder_.targets(record.id);
    result.removed = bring_down(added, targets);
    result.kept = folder_.kept(record.id).size();
    if (const Outcome boxes = library_.save_changed().outcome(); !boxes) {
        result.outcome = boxes;
        return;
    }
    // Whether each message is accounted for is no longer known: its
    // attachments stay.
    mark_undone(record, false, result);
}

size_t Importer::finish_interrupted() {
    const ImportLock lock(library_.folder());
    if (!lock.held())
        return 0;  // a living import or undo: what is pending is its own
    size_t finished = 0;
    for (ImportRecord& record : folder_.records()) {
        if (record.state == ImportRecord::State::Pending) {
            bring_down(folder_.added(record.id), folder_.targets(record.id));
            if (!library_.save_changed().ok())
                continue;
            folder_.remove(record.id);
            ++finished;
        } else if (record.state == ImportRecord::State::Undoing) {
            UndoReport report;
            finish_undo(record, report);
            finished += report.outcome.ok();
        }
    }
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder_.path(), ec)) {
        if (entry.path().filename().string().starts_with(".staging-"))
            fs::remove_all(entry.path(), ec);
    }
    return finished;
}

}  // namespace quillet
