#include "desktop/cli/phone_session.h"

#include "desktop/cli/listing.h"
#include "protocol/text_codec.h"

namespace quillet::cli {

void open_user_folder(MessageLibrary& library, bool dry_run, std::ostream& err) {
    const std::u16string notice = data_move_notice(library.open_user_folder(dry_run));
    if (!notice.empty())
        err << "quillet-cli: " << field(to_utf8(notice)) << '\n';
}

bool lock_or_say(LinkLock& lock, std::string_view holder, std::string_view window_command,
                 std::ostream& err) {
    if (lock.try_acquire(std::string(holder)))
        return true;
    const std::string other = lock.other_holder();
    err << "quillet-cli: " << (lock.error().empty() ? "" : lock.error() + "; ")
        << "the phone is in use by " << (other.empty() ? "Quillet" : other) << "; use "
        << window_command << " in Quillet's window, or close it first.\n";
    return false;
}

std::string load_reason(const LoadBoxResult& r) {
    if (r.outcome || r.status == LoadBoxResult::Status::UnknownHeader)
        return {};
    return ": " + r.outcome.what();
}

bool load_whole(MessageLibrary& library, std::string_view consequence, std::ostream& err) {
    for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems}) {
        const LoadBoxResult r = library.load_box(kind);
        if (r.status == LoadBoxResult::Status::Unreadable ||
            r.status == LoadBoxResult::Status::UnknownHeader ||
            r.status == LoadBoxResult::Status::Damaged) {
            err << "quillet-cli: " << to_utf8(box_file_name(kind)) << " could not be read whole"
                << load_reason(r) << "; " << consequence << '\n';
            return false;
        }
    }
    return true;
}

}  // namespace quillet::cli
