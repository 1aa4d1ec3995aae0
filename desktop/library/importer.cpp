#include "desktop/library/importer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <map>
#include <new>
#include <system_error>
#include <unordered_set>

#include "desktop/formats/import_text.h"
#include "desktop/library/message_matcher.h"
#include "desktop/store/box_file.h"
#include "desktop/store/unique_fd.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace fs = std::filesystem;
namespace {

constexpr uint8_t kImportedClass = 1;
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

// Attachments written into one folder, each under a name of its own.
class FolderAttachments : public AttachmentSink {
  public:
    explicit FolderAttachments(fs::path folder, bool dry_run)
        : folder_(std::move(folder)), dry_run_(dry_run) {}
    ~FolderAttachments() override { end(false); }

    std::optional<std::string> begin(std::string_view suggested) override {
        end(false);
        std::string name = safe_attachment_name(suggested);
        if (dry_run_) {
            ++saved_;
            return name;
        }
        std::error_code ec;
        fs::create_directories(folder_, ec);
        for (int n = 1; n < 10'000; ++n) {
            const std::string candidate = n == 1 ? name : std::to_string(n) + "-" + name;
            fd_ = UniqueFd(::open((folder_ / candidate).c_str(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
            if (fd_.valid()) {
                current_ = candidate;
                return candidate;
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
    size_t saved() const { return saved_; }

  private:
    fs::path folder_;
    bool dry_run_;
    UniqueFd fd_;
    std::string current_;
    size_t saved_ = 0;
};

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

}  // namespace

// One file being read: matches each message as it comes and keeps those
// to add until the run commits.
struct Importer::Source : ImportSink {
    Source(MessageMatcher& m, ImportRecord& r, ImportProgress* p, bool dry)
        : matcher(m), record(r), progress_to(p), dry_run(dry) {}

    void message(ImportedMessage&& in) override {
        const int64_t utc_ms = in.zoneless ? local_wall_to_utc_ms(in.time_ms) : in.time_ms;
        SmsMessage m;
        m.set_text(in.text);
        m.set_number_raw(stored_number(in.address));
        m.set_time(filetime_from_ms(utc_ms));
        m.set_read(in.read ? 1 : 0);
        m.set_message_class(kImportedClass);
        m.set_on_phone(0);
        take(box_for(in.received), std::move(m), in.zoneless ? in.time_ms : utc_ms, in.zoneless);
    }
    void take(BoxKind kind, SmsMessage&& m, int64_t match_ms, bool zoneless) {
        const MessageMatcher::Result r =
            matcher.match(kind, m.number(), m.text_view(), match_ms, zoneless);
        if (r.verdict == MessageMatcher::Verdict::Kept) {
            ++record.duplicates;
            return;
        }
        if (r.verdict == MessageMatcher::Verdict::PossibleDuplicate) {
            ++record.possible_duplicates;
            possible.push_back(added_message(static_cast<int>(kind), m));
        }
        matcher.add(kind, m, {kind, SIZE_MAX}, true);
        ++record.added;
        to_add.emplace_back(kind, std::move(m));
    }
    void skipped(std::string_view why) override { note_skip(record, why); }
    bool progress(uint64_t done, uint64_t total) override {
        return progress_to == nullptr || progress_to->progress(record.file, done, total);
    }

    MessageMatcher& matcher;
    ImportRecord& record;
    ImportProgress* progress_to;
    bool dry_run;
    std::vector<std::pair<BoxKind, SmsMessage>> to_add;
    std::vector<AddedMessage> possible;
    std::vector<ImportedContact> contacts;
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
        if (!fs::is_directory(path, ec) || detect_format(path) == ImportFormat::QuilletFolder) {
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

// Reads a Quillet data or archive folder's boxes and contacts.
ReadReport read_quillet_folder(const fs::path& folder, std::vector<ImportedContact>& contacts,
                               const std::function<void(BoxKind, SmsMessage&&)>& take) {
    ReadReport report;
    for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems}) {
        const fs::path path = folder / to_utf8(box_file_name(kind));
        std::error_code ec;
        if (!fs::exists(path, ec))
            continue;
        std::string error;
        std::optional<DecodedBox> box = read_box_file(path, error);
        if (!box) {
            report.outcome = Outcome::unreadable(path.string() + ": " + error);
            return report;
        }
        if (box->version == BoxFileVersion::Unknown) {
            report.outcome = Outcome::bad_input(path.string() + ": not a box file");
            return report;
        }
        for (SmsMessage& m : box->messages) {
            m.set_on_phone(0);
            m.set_entry_id({});
            take(kind, std::move(m));
        }
    }
    ContactList theirs;
    theirs.load_contacts_file(folder / to_utf8(kContactsFileName));
    for (const Contact& c : theirs.contacts())
        contacts.push_back({to_utf8(theirs.full_name(c)), {std::string(text_field(c.number))}});
    return report;
}

}  // namespace

ImportRun Importer::run(const std::vector<fs::path>& paths, bool dry_run,
                        ImportProgress* progress) {
    ImportRun run;
    const std::vector<fs::path> files = expand(paths, run.failures);
    static const PhoneNumbers kNoContactsNumbers;
    MessageMatcher matcher(contacts_ ? contacts_->phone_numbers() : kNoContactsNumbers,
                           MessageMatcher::GroupCopies::AreTheGroup);
    for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems})
        matcher.add_box(library_.box(kind));

    int next_id = dry_run ? 0 : folder_.next_id();
    std::vector<std::unique_ptr<Source>> sources;
    std::vector<ImportRecord> records(files.size());
    std::vector<fs::path> staging;
    for (size_t i = 0; i < files.size(); ++i) {
        const fs::path& file = files[i];
        ImportRecord& record = records[i];
        record.id = dry_run ? 0 : next_id;
        record.time = static_cast<int64_t>(std::time(nullptr));
        std::error_code ec;
        record.file = fs::absolute(file, ec).string();
        const ImportFormat format = detect_format(file);
        record.format = std::string(format_name(format));
        matcher.begin_source();
        auto source = std::make_unique<Source>(matcher, record, progress, dry_run);
        const fs::path stage = folder_.path() / (".staging-" + std::to_string(record.id));
        FolderAttachments attachments(stage, dry_run);
        ReadReport got;
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
                case ImportFormat::QuilletFolder:
                    got = read_quillet_folder(file, source->contacts,
                                              [&](BoxKind kind, SmsMessage&& m) {
                                                  const int64_t ms = unix_ms(m.time());
                                                  source->take(kind, std::move(m), ms, false);
                                              });
                    break;
                default:
                    got = read_messages(file, format, *source, attachments);
                    break;
            }
        } catch (const std::bad_alloc&) {
            got = {.outcome = Outcome::unreadable("not enough memory to read it")};
        }
        record.attachments = attachments.saved();
        if (got.outcome.kind() == Outcome::Kind::Cancelled) {
            run.outcome = got.outcome;
            std::filesystem::remove_all(stage, ec);
            break;
        }
        if (!got.outcome) {
            matcher.discard_source();
            std::filesystem::remove_all(stage, ec);
            run.failures.push_back(file.string() + ": " + got.outcome.what());
            continue;
        }
        add_reading_notes(record, got);
        if (!dry_run)
            ++next_id;
        staging.push_back(stage);
        run.imports.push_back(record);
        sources.push_back(std::move(source));
    }
    std::error_code ec;
    if (run.outcome.kind() == Outcome::Kind::Cancelled) {
        for (const fs::path& stage : staging)
            fs::remove_all(stage, ec);
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

    // Commit: the attachments on disk, each import pending, the messages in,
    // the boxes saved, done.
    flush_to_disk(folder_.path());
    std::array<size_t, 3> before{};
    for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems})
        before[static_cast<size_t>(kind)] = library_.box(kind).count();
    for (size_t i = 0; i < sources.size(); ++i) {
        ImportRecord& record = run.imports[i];
        std::vector<AddedMessage> added;
        added.reserve(sources[i]->to_add.size());
        for (const auto& [kind, m] : sources[i]->to_add)
            added.push_back(added_message(static_cast<int>(kind), m));
        Outcome saved = folder_.save_added(record.id, added);
        if (saved)
            saved = folder_.save_possible(record.id, sources[i]->possible);
        if (saved)
            saved = folder_.save_record(record);
        if (!saved) {
            run.outcome = std::move(saved);
            break;
        }
        if (record.attachments > 0)
            fs::rename(staging[i], folder_.attachments(record.id), ec);
    }
    if (run.outcome) {
        for (auto& source : sources) {
            for (auto& [kind, m] : source->to_add)
                library_.box(kind).append(m);
        }
        run.outcome = library_.save_changed().outcome();
    }
    if (!run.outcome) {
        // Nothing kept: the boxes as before, the records gone.
        for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems}) {
            SmsBox& box = library_.box(kind);
            std::vector<size_t> extra;
            for (size_t i = before[static_cast<size_t>(kind)]; i < box.count(); ++i)
                extra.push_back(i);
            box.remove_here(extra);
        }
        for (const ImportRecord& record : run.imports) {
            for (const char* suffix : {".record", ".added", ".possible"})
                fs::remove(folder_.path() / (std::to_string(record.id) + suffix), ec);
            fs::remove_all(folder_.attachments(record.id), ec);
        }
        run.imports.clear();
        return run;
    }
    for (ImportRecord& record : run.imports) {
        record.state = ImportRecord::State::Done;
        folder_.save_record(record);
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

size_t Importer::remove_added(const std::vector<AddedMessage>& added, size_t& kept) {
    size_t removed = 0;
    for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems}) {
        std::map<std::tuple<FileTime, std::string, uint64_t>, size_t> wanted;
        for (const AddedMessage& a : added) {
            if (a.box == static_cast<int>(kind))
                ++wanted[{a.time, a.number, a.text_hash}];
        }
        if (wanted.empty())
            continue;
        SmsBox& box = library_.box(kind);
        std::vector<size_t> gone;
        for (size_t i = 0; i < box.count(); ++i) {
            const SmsMessage& m = box.message_ref(i);
            const auto found =
                wanted.find({m.time(), std::string(m.number()), text_hash(m.text_view())});
            if (found == wanted.end() || found->second == 0)
                continue;
            --found->second;
            // A phone message took it over since: it is the phone's now.
            if (m.on_phone() != 0 || m.entry_id() != EntryId{}) {
                ++kept;
                continue;
            }
            gone.push_back(i);
        }
        box.remove_here(gone);
        removed += gone.size();
    }
    return removed;
}

UndoReport Importer::undo(int id) {
    UndoReport result;
    std::optional<ImportRecord> record = folder_.record(id);
    if (!record) {
        result.outcome = Outcome::missing("there is no import " + std::to_string(id));
        return result;
    }
    if (record->state == ImportRecord::State::Undone) {
        result.outcome = Outcome::refused("import " + std::to_string(id) + " was undone already");
        return result;
    }
    result.removed = remove_added(folder_.added(id), result.kept);
    result.outcome = library_.save_changed().outcome();
    if (!result.outcome)
        return result;
    if (contacts_ != nullptr && record->contacts > 0) {
        result.contacts_removed = contacts_->remove(folder_.contacts(id));
        result.outcome =
            contacts_->save_contacts(from_utf8((library_.folder() / "contacts.sql").string()));
        if (!result.outcome)
            return result;
    }
    record->state = ImportRecord::State::Undone;
    folder_.save_record(*record);
    std::error_code ec;
    fs::remove_all(folder_.attachments(id), ec);
    return result;
}

size_t Importer::finish_interrupted() {
    size_t undone = 0;
    for (ImportRecord& record : folder_.records()) {
        if (record.state != ImportRecord::State::Pending)
            continue;
        size_t kept = 0;
        remove_added(folder_.added(record.id), kept);
        if (!library_.save_changed().ok())
            continue;
        std::error_code ec;
        for (const char* suffix : {".record", ".added", ".possible"})
            fs::remove(folder_.path() / (std::to_string(record.id) + suffix), ec);
        fs::remove_all(folder_.attachments(record.id), ec);
        ++undone;
    }
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder_.path(), ec)) {
        if (entry.path().filename().string().starts_with(".staging-"))
            fs::remove_all(entry.path(), ec);
    }
    return undone;
}

}  // namespace quillet
