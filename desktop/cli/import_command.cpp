#include "desktop/cli/import_command.h"

#include <unistd.h>

#include "desktop/cli/listing.h"
#include "desktop/cli/phone_session.h"
#include "desktop/library/importer.h"
#include "desktop/link/link_lock.h"
#include "protocol/text_codec.h"

namespace quillet::cli {
namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;

// "12 %" on a terminal, rewritten in place; nothing elsewhere.
class TerminalProgress : public ImportProgress {
  public:
    explicit TerminalProgress(std::ostream& out) : out_(out), terminal_(::isatty(STDOUT_FILENO)) {}
    ~TerminalProgress() override {
        if (shown_)
            out_ << "\r\x1b[K" << std::flush;
    }
    bool progress(std::string_view file, uint64_t done, uint64_t total) override {
        if (!terminal_ || total == 0)
            return true;
        const uint64_t percent = done * 100 / total;
        if (percent != last_) {
            out_ << "\r\x1b[KReading " << field(file) << ": " << percent << " %" << std::flush;
            last_ = percent;
            shown_ = true;
        }
        return true;
    }

  private:
    std::ostream& out_;
    const bool terminal_;
    uint64_t last_ = 101;
    bool shown_ = false;
};

void print_summary(std::ostream& out, const ImportRecord& r, bool dry_run) {
    out << (dry_run ? "would import " : "imported ") << field(r.file) << " (" << r.format
        << "): added " << r.added << ", already kept " << r.duplicates << ", possible duplicates "
        << r.possible_duplicates << ", attachments " << r.attachments << ", skipped "
        << r.skipped_count();
    if (r.contacts > 0)
        out << ", contacts added " << r.contacts;
    if (!dry_run)
        out << " [import " << r.id << "]";
    out << '\n';
    for (const auto& [why, count] : r.skipped)
        out << "  skipped " << count << ": " << field(why) << '\n';
    for (const std::string& problem : r.problems)
        out << "  note: " << field(problem) << '\n';
}

std::string utc_seconds(int64_t seconds) {
    return utc_time(filetime_from_unix(seconds));
}

// Takes the phone link's lock, as get does: the data folder has one writer
// with a phone at a time.
bool lock_or_say(LinkLock& lock, std::string_view holder, std::ostream& err) {
    if (lock.try_acquire(holder))
        return true;
    const std::string other = lock.other_holder();
    err << "quillet-cli: " << (lock.error().empty() ? "" : lock.error() + "; ")
        << "Quillet's data folder is in use by " << (other.empty() ? "Quillet" : other)
        << "; import from Quillet's window, or close it first.\n";
    return false;
}

bool load(MessageLibrary& library, std::ostream& err) {
    for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems}) {
        const LoadBoxResult r = library.load_box(kind);
        if (r.status == LoadBoxResult::Status::Unreadable ||
            r.status == LoadBoxResult::Status::UnknownHeader) {
            err << "quillet-cli: " << to_utf8(box_file_name(kind)) << " could not be read"
                << load_reason(r) << '\n';
            return false;
        }
    }
    return true;
}

}  // namespace

int run_import(const Arguments& args, std::ostream& out, std::ostream& err) {
    if (args.data) {
        err << "quillet-cli: import fills Quillet's own data folder; it takes no --data\n";
        return 2;
    }
    LinkLock lock;
    if (!args.dry_run && !lock_or_say(lock, "quillet-cli import", err))
        return kFailed;
    MessageLibrary library;
    library.open_user_folder();
    if (!load(library, err))
        return kFailed;
    ContactList contacts;
    contacts.load_contacts_file(library.folder() / to_utf8(kContactsFileName));
    Importer importer(library, &contacts);
    if (!args.dry_run)
        importer.finish_interrupted();

    if (args.undo) {
        const UndoReport undone = importer.undo(*args.undo);
        if (!undone.outcome) {
            err << "quillet-cli: " << undone.outcome.what() << '\n';
            return kFailed;
        }
        out << "import " << *args.undo << " undone: " << undone.removed << " messages removed";
        if (undone.kept > 0)
            out << ", " << undone.kept << " kept (the phone holds them now)";
        if (undone.contacts_removed > 0)
            out << ", " << undone.contacts_removed << " contacts removed";
        out << '\n';
        return kDone;
    }
    std::vector<std::filesystem::path> paths(args.paths.begin(), args.paths.end());
    ImportRun run;
    {
        TerminalProgress progress(out);
        run = importer.run(paths, args.dry_run, &progress);
    }
    for (const ImportRecord& r : run.imports)
        print_summary(out, r, args.dry_run);
    if (run.contacts_added > 0)
        out << run.contacts_added << " contacts " << (args.dry_run ? "read" : "added") << '\n';
    for (const std::string& failure : run.failures)
        err << "quillet-cli: " << field(failure) << '\n';
    if (!run.outcome) {
        err << "quillet-cli: nothing was imported: " << run.outcome.what() << '\n';
        return kFailed;
    }
    if (run.imports.empty() && run.contacts_added == 0) {
        if (run.failures.empty())
            err << "quillet-cli: nothing could be imported\n";
        return kFailed;
    }
    return run.failures.empty() ? kDone : kFailed;
}

int run_imports(const Arguments& args, std::ostream& out) {
    MessageLibrary library(args.data ? *args.data : std::filesystem::path());
    if (!args.data)
        library.open_user_folder();
    const std::vector<ImportRecord> records = ImportFolder(library.folder()).records();
    if (args.json) {
        out << '[';
        for (size_t i = 0; i < records.size(); ++i) {
            const ImportRecord& r = records[i];
            out << (i ? ",\n " : "") << "{\"id\": " << r.id
                << ", \"time\": " << json_string(utc_seconds(r.time))
                << ", \"file\": " << json_string(r.file)
                << ", \"format\": " << json_string(r.format) << ", \"added\": " << r.added
                << ", \"duplicates\": " << r.duplicates
                << ", \"possible_duplicates\": " << r.possible_duplicates
                << ", \"undone\": " << (r.state == ImportRecord::State::Undone ? "true" : "false")
                << '}';
        }
        out << "]\n";
    } else {
        for (const ImportRecord& r : records) {
            out << r.id << '\t' << utc_seconds(r.time) << '\t' << field(r.file) << '\t' << r.format
                << '\t' << r.added << '\t' << r.duplicates << '\t' << r.possible_duplicates
                << (r.state == ImportRecord::State::Undone ? "\tundone" : "") << '\n';
        }
    }
    out.flush();
    return out ? kDone : kFailed;
}

}  // namespace quillet::cli
