#include "data_move.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "desktop/store/app_paths.h"
#include "desktop/store/contact_list.h"
#include "desktop/store/options.h"
#include "desktop/store/safe_file.h"
#include "desktop/store/sms_box.h"
#include "desktop/store/unique_fd.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace fs = std::filesystem;
namespace {

constexpr std::array kBoxes{BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems};
// The message page the view writes (its name in the views is
// "templates\tmp.html").
constexpr std::string_view kPageFile = "templates/tmp.html";

std::string box_name(BoxKind kind) {
    return to_utf8(box_file_name(kind));
}

bool is_plain_file(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(fs::symlink_status(path, ec));
}

bool holds_boxes(const fs::path& folder) {
    return std::ranges::any_of(
        kBoxes, [&](BoxKind kind) { return is_plain_file(folder / box_name(kind)); });
}

// A copy of a box kept aside after a failed read: "<box>.unknown-<n>" or
// "<box>.damaged-<n>".
bool is_kept_copy(const std::string& name) {
    return std::ranges::any_of(kBoxes, [&](BoxKind kind) {
        const std::string box = box_name(kind);
        return name.starts_with(box + ".unknown-") || name.starts_with(box + ".damaged-");
    });
}

// The earlier run's files present in `program`, relative names.
std::vector<std::string> earlier_files(const fs::path& program) {
    std::vector<std::string> names;
    for (BoxKind kind : kBoxes)
        names.push_back(box_name(kind));
    names.push_back(to_utf8(kContactsFileName));
    names.emplace_back(kOptionsFileName);
    names.emplace_back("logfile.txt");
    names.emplace_back(kPageFile);
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(program, ec)) {
        const std::string name = entry.path().filename().string();
        if (is_kept_copy(name))
            names.push_back(name);
    }
    std::erase_if(names, [&](const std::string& name) { return !is_plain_file(program / name); });
    return names;
}

std::string errno_text(std::string_view what, int error) {
    return std::string(what) + ": " + std::strerror(error);
}

bool copy_contents(int in, int out) {
    std::array<char, 64 * 1024> buffer{};
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out, buffer.data() + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
                return false;
            done += put;
        }
    }
}

// Gives `temp` the name `to` unless something has it already.
int name_without_overwriting(const fs::path& temp, const fs::path& to) {
    if (::link(temp.c_str(), to.c_str()) == 0) {
        ::unlink(temp.c_str());
        return 0;
    }
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP)
        return errno;
    // A file system without hard links.
    if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    return errno;
}

// Across file systems: a flushed copy beside the target, then named.
std::string place_copy(const fs::path& from, const fs::path& to) {
    const UniqueFd in = open_for_reading(from);
    struct stat info {};
    if (!in.valid() || ::fstat(in.get(), &info) != 0)
        return errno_text("cannot read it", errno);
    const fs::path temp = to.parent_path() / ("." + to.filename().string() + ".moving");
    UniqueFd out(
        ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, info.st_mode & 0666));
    if (!out.valid())
        return errno_text("cannot write in the data folder", errno);
    bool copied = copy_contents(in.get(), out.get()) && ::fsync(out.get()) == 0;
    int error = copied ? 0 : errno;
    if (::close(out.release()) != 0 && copied) {
        copied = false;
        error = errno;
    }
    if (!copied) {
        ::unlink(temp.c_str());
        return errno_text("cannot copy it", error);
    }
    const int naming = name_without_overwriting(temp, to);
    if (naming == 0)
        return {};
    ::unlink(temp.c_str());
    return errno_text("cannot name the copy", naming);
}

// Puts `from` at `to` too, never over an existing `to`: empty, or why not.
std::string place(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    make_folders(to.parent_path(), ec);
    if (ec)
        return "cannot create " + to.parent_path().string() + ": " + ec.message();
    if (::link(from.c_str(), to.c_str()) == 0)
        return {};
    if (errno == EEXIST)
        return "a file of that name appeared in the data folder";
    return place_copy(from, to);
}

void flush_folder(const fs::path& folder) {
    const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid())
        ::fsync(fd.get());
}

// The move's journal: the names it is placing, written before the first is
// placed and removed once the originals are gone. A start that finds it
// finishes the move a killed start began.
constexpr std::string_view kJournal = ".quillet-move-journal";

bool write_journal(const fs::path& data, const std::vector<std::string>& names, std::string& why) {
    std::error_code ec;
    make_data_folder(data, ec);
    std::string text;
    for (const std::string& name : names)
        text += name + '\n';
    const Outcome saved = save_file_atomically(data / kJournal, text);
    why = saved.what();
    return saved.ok();
}

// The names a journal lists; nullopt when there is none.
std::optional<std::vector<std::string>> read_journal(const fs::path& data) {
    std::string text;
    if (!read_data_file(data / kJournal, text))
        return std::nullopt;
    std::vector<std::string> names;
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        std::string name = text.substr(start, end - start);
        // Only plain names of this folder or its templates/: a damaged or
        // planted journal never leads outside.
        if (!name.empty() && name.find("..") == std::string::npos && name[0] != '/')
            names.push_back(std::move(name));
        start = end + 1;
    }
    return names;
}

bool same_folder(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec) || a.lexically_normal() == b.lexically_normal();
}

}  // namespace

namespace {

// Places every name of `to_move` not placed yet, then removes the originals
// and the journal. A name that cannot be placed undoes the placing: then
// nothing has moved.
void place_all(const fs::path& program, const fs::path& data,
               const std::vector<std::string>& to_move, DataMoveReport& report) {
    std::vector<std::string> placed_now;
    for (const std::string& name : to_move) {
        std::error_code ec;
        const bool there = fs::exists(fs::symlink_status(data / name, ec));
        const bool original = is_plain_file(program / name);
        if (there || !original) {
            // Placed before a kill, or its original already removed.
            report.moved.push_back(name);
            continue;
        }
        const std::string why = place(program / name, data / name);
        if (why.empty()) {
            report.moved.push_back(name);
            placed_now.push_back(name);
            continue;
        }
        // Undo: what was placed is a second name or a copy of a file still
        // in the program folder.
        for (const std::string& placed : report.moved) {
            if (is_plain_file(program / placed))
                ::unlink((data / placed).c_str());
        }
        report.moved.clear();
        ::unlink((data / kJournal).c_str());
        report.outcome = DataMoveReport::Outcome::Failed;
        report.failure = name + ": " + why;
        return;
    }
    flush_folder(data);
    flush_folder(data / "templates");
    // Every file has its place in the data folder: only now do the
    // originals go. One that cannot be removed is an identical copy; the
    // next start finds boxes in both and says so.
    for (const std::string& name : report.moved)
        ::unlink((program / name).c_str());
    flush_folder(program);
    ::unlink((data / kJournal).c_str());
    flush_folder(data);
    report.outcome = DataMoveReport::Outcome::Moved;
}

}  // namespace

DataMoveReport move_earlier_data(const fs::path& program, const fs::path& data) {
    DataMoveReport report;
    report.from = program;
    report.to = data;
    if (same_folder(program, data))
        return report;
    // A move that a kill interrupted is finished first, whatever the data
    // folder holds by now.
    if (const std::optional<std::vector<std::string>> journal = read_journal(data)) {
        place_all(program, data, *journal, report);
        return report;
    }
    if (!holds_boxes(program))
        return report;
    if (holds_boxes(data)) {
        report.outcome = DataMoveReport::Outcome::LeftBehind;
        return report;
    }
    std::vector<std::string> to_move;
    for (std::string& name : earlier_files(program)) {
        std::error_code ec;
        if (fs::exists(fs::symlink_status(data / name, ec)))
            report.clashed.push_back(std::move(name));
        else
            to_move.push_back(std::move(name));
    }
    std::string why;
    if (!write_journal(data, to_move, why)) {
        report.outcome = DataMoveReport::Outcome::Failed;
        report.failure = std::string(kJournal) + ": " + why;
        return report;
    }
    place_all(program, data, to_move, report);
    return report;
}

namespace {

// Where the files of a move still to be done are whole: the program folder
// until a killed move began to remove its originals, the data folder after.
std::optional<fs::path> pending_move_source(const fs::path& program, const fs::path& data) {
    if (same_folder(program, data))
        return std::nullopt;
    if (const std::optional<std::vector<std::string>> journal = read_journal(data)) {
        const bool originals_whole = std::ranges::all_of(
            *journal, [&](const std::string& name) { return is_plain_file(program / name); });
        return originals_whole ? program : data;
    }
    if (!holds_boxes(program) || holds_boxes(data))
        return std::nullopt;
    return program;
}

}  // namespace

DataMoveReport settle_data_folder(bool dry_run) {
    if (data_folder_fixed_for_testing() || is_portable()) {
        keep_data_in_program_folder(false);
        return {};
    }
    const fs::path program = program_folder();
    const fs::path data = user_data_folder();
    if (dry_run) {
        DataMoveReport report;
        report.from = program;
        report.to = data;
        const std::optional<fs::path> source = pending_move_source(program, data);
        if (source)
            report.outcome = DataMoveReport::Outcome::Pending;
        keep_data_in_program_folder(source == program);
        return report;
    }
    DataMoveReport report = move_earlier_data(program, data);
    keep_data_in_program_folder(report.outcome == DataMoveReport::Outcome::Failed);
    return report;
}

std::u16string data_move_notice(const DataMoveReport& report) {
    const std::u16string from = from_utf8(report.from.string());
    const std::u16string to = from_utf8(report.to.string());
    switch (report.outcome) {
        case DataMoveReport::Outcome::Nothing:
            return {};
        case DataMoveReport::Outcome::LeftBehind:
            return u"Box files of an earlier run remain in " + from +
                   u"; your messages are kept in " + to + u".";
        case DataMoveReport::Outcome::Failed:
            return u"Your messages could not be moved from " + from + u" to " + to + u" (" +
                   from_utf8(report.failure) + u"); they are used where they are for now.";
        case DataMoveReport::Outcome::Pending:
            return u"Your messages are still to be moved from " + from + u" to " + to +
                   u"; a dry run moves nothing, so they were read where they are, and the first "
                   u"command that is not a dry run moves them.";
        case DataMoveReport::Outcome::Moved:
            break;
    }
    if (report.clashed.empty())
        return u"Your messages were moved from " + from + u" to " + to + u".";
    std::u16string notice = u"Your messages were moved to " + to + u"; left in " + from + u", as " +
                            to + u" has its own:";
    for (const std::string& name : report.clashed)
        notice += u" " + from_utf8(name);
    return notice + u".";
}

}  // namespace quillet
