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

// An undo removes messages, and a program that holds the boxes (the
// window, get, move, restore) would save them again: it waits until that
// one has ended. An import only adds, which every writer takes in, so it
// runs beside them.
bool lock_for_undo(LinkLock& lock, std::ostream& err) {
    if (lock.try_acquire("quillet-cli import --undo"))
        return true;
    const std::string other = lock.other_holder();
    err << "quillet-cli: " << (lock.error().empty() ? "" : lock.error() + "; ")
        << (other.empty() ? "Quillet" : other)
        << " holds the messages and would save the undone ones again; undo the import in "
           "Quillet's window (File > Imports...), or close it first.\n";
    return false;
}

void print_undo(std::ostream& out, int id, const UndoReport& undone, bool dry_run) {
    out << "import " << id << (dry_run ? " would be undone: " : " undone: ") << undone.removed
        << " messages " << (dry_run ? "to remove" : "removed");
    if (undone.kept > 0)
        out << ", " << undone.kept << " kept (the phone holds them now)";
    if (undone.contacts_removed > 0)
        out << ", " << undone.contacts_removed << " contacts removed";
    if (undone.missing > 0)
        out << ", " << undone.missing << " not found";
    out << '\n';
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
    if (args.undo && !args.dry_run && !lock_for_undo(lock, err))
        return kFailed;
    MessageLibrary library;
    open_user_folder(library, args.dry_run, err);
    if (!load(library, err))
        return kFailed;
    ContactList contacts;
    contacts.load_contacts_file(library.folder() / to_utf8(kContactsFileName));
    Importer importer(library, &contacts);
    const std::optional<ImportRecord> to_undo =
        args.undo ? importer.folder().record(*args.undo) : std::nullopt;
    if (!args.dry_run)
        importer.finish_interrupted();

    if (args.undo) {
        const UndoReport undone = importer.undo(*args.undo, args.dry_run);
        const std::optional<ImportRecord> now = importer.folder().record(*args.undo);
        if (to_undo && to_undo->state == ImportRecord::State::Undoing && now &&
            now->state == ImportRecord::State::Undone && !args.dry_run) {
            out << "import " << *args.undo << " undone: its undo had been cut short and is "
                << "finished now\n";
            return kDone;
        }
        if (undone.outcome.ok() || undone.removed + undone.kept > 0)
            print_undo(out, *args.undo, undone, args.dry_run);
        if (!undone.outcome) {
            err << "quillet-cli: " << undone.outcome.what() << '\n';
            return kFailed;
        }
        if (undone.missing > 0) {
            err << "quillet-cli: " << undone.missing << " of the messages import " << *args.undo
                << " added could not be found (changed or deleted since); their attachments are "
                   "kept\n";
            return kFailed;
        }
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

int run_imports(const Arguments& args, std::ostream& out, std::ostream& err) {
    MessageLibrary library(args.data ? *args.data : std::filesystem::path());
    if (!args.data)
        open_user_folder(library, false, err);
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
                << (r.state == ImportRecord::State::Undone    ? "\tundone"
                    : r.state == ImportRecord::State::Undoing ? "\tundoing"
                                                              : "")
                << '\n';
        }
    }
    out.flush();
    return out ? kDone : kFailed;
}

}  // namespace quillet::cli
