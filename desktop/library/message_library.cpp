#include "desktop/library/message_library.h"

#include <algorithm>
#include <new>

#include "desktop/library/data_folder_lock.h"
#include "desktop/library/message_matcher.h"
#include "desktop/store/app_paths.h"
#include "desktop/store/box_file.h"
#include "desktop/store/log_file.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace fs = std::filesystem;

namespace {
const Outcome kNoRoomToTakeIn = Outcome::unreadable(
    "not enough memory to take in what another program saved there; the file is left as it is");

Outcome of_box(BoxKind kind, const Outcome& outcome) {
    return outcome.about(to_utf8(box_file_name(kind)));
}
}  // namespace

MessageLibrary::MessageLibrary(fs::path folder) : folder_(std::move(folder)) {}

DataMoveReport MessageLibrary::open_user_folder(bool dry_run) {
    DataMoveReport report = settle_data_folder(dry_run);
    dry_run_ = dry_run;
    folder_ = data_folder();
    return report;
}

fs::path MessageLibrary::box_path(BoxKind kind) const {
    return folder_ / to_utf8(box_file_name(kind));
}

std::optional<MessageLibrary::FileIdentity> MessageLibrary::identity_of(BoxKind kind) const {
    return box_file_identity(box_path(kind));
}

LoadBoxResult MessageLibrary::load_box(BoxKind kind) {
    finish_background_save();
    const DataFolderLock lock(folder_, !dry_run_);
    SmsBox& b = box(kind);
    const std::optional<FileIdentity> before = identity_of(kind);
    const LoadBoxResult result = b.load_box_file(box_path(kind));
    const bool file_holds_box = result.status == LoadBoxResult::Status::Loaded && !result.upgraded;
    saved_revision_[index(kind)] = file_holds_box ? b.revision() : kFileBehind;
    known_file_[index(kind)] =
        result.status == LoadBoxResult::Status::Missing ? std::nullopt : before;
    return result;
}

bool MessageLibrary::file_behind(BoxKind kind) const {
    const std::optional<uint64_t>& saved = saved_revision_[index(kind)];
    return saved.has_value() && *saved != box(kind).revision();
}

std::optional<MessageLibrary::FileIdentity> MessageLibrary::take_in_if_changed(
    BoxKind kind, BoxSaveReport& report) {
    const std::optional<FileIdentity> now = identity_of(kind);
    if (!now || now == known_file_[index(kind)])
        return now;
    std::string error;
    std::optional<DecodedBox> theirs = read_box_file(box_path(kind), error);
    if (!theirs || theirs->version == BoxFileVersion::Unknown)
        return now;  // not a box file now: save_box keeps what is ours
    const size_t taken = box(kind).take_in(theirs->messages);
    report.taken_in += taken;
    if (taken > 0)
        program_log().log_line(to_utf8(box_file_name(kind)) + ": " + std::to_string(taken) +
                               " messages another writer kept were taken in");
    return now;
}

BoxSaveReport MessageLibrary::take_in_changes() {
    BoxSaveReport report = finish_background_save();
    const DataFolderLock lock(folder_);
    for (const SmsBox& b : boxes_) {
        const BoxKind kind = b.kind();
        if (!saved_revision_[index(kind)])
            continue;  // not loaded: nothing to take in
        try {
            known_file_[index(kind)] = take_in_if_changed(kind, report);
        } catch (const std::bad_alloc&) {
            report.failures.push_back(of_box(kind, kNoRoomToTakeIn));
        }
    }
    return report;
}

BoxSaveReport MessageLibrary::save_changed() {
    BoxSaveReport report = finish_background_save();
    const bool any_behind = std::any_of(boxes_.begin(), boxes_.end(),
                                        [&](const SmsBox& b) { return file_behind(b.kind()); });
    if (!any_behind)
        return report;
    const DataFolderLock lock(folder_);
    for (SmsBox& b : boxes_) {
        if (file_behind(b.kind()))
            save_now(b, report);
    }
    return report;
}

void MessageLibrary::save_now(SmsBox& b, BoxSaveReport& report) {
    const BoxKind kind = b.kind();
    try {
        take_in_if_changed(kind, report);
    } catch (const std::bad_alloc&) {
        report.failures.push_back(of_box(kind, kNoRoomToTakeIn));
        return;
    }
    if (const Outcome saved = b.save_box_file(box_path(kind)); !saved) {
        report.failures.push_back(of_box(kind, saved));
        return;
    }
    saved_revision_[index(kind)] = b.revision();
    known_file_[index(kind)] = identity_of(kind);
}

BoxSaveReport MessageLibrary::save_changed_in_background(std::function<void()> ended) {
    BoxSaveReport report;
    if (background_->running())
        return report;
    std::vector<BackgroundSave::Box> away;
    {
        const DataFolderLock lock(folder_);
        for (SmsBox& b : boxes_) {
            const BoxKind kind = b.kind();
            if (!file_behind(kind))
                continue;
            if (b.count() < background_from_) {
                save_now(b, report);
                continue;
            }
            std::optional<FileIdentity> file;
            Outcome allowed;
            try {
                file = take_in_if_changed(kind, report);
            } catch (const std::bad_alloc&) {
                allowed = kNoRoomToTakeIn;
            }
            if (allowed)
                allowed = b.may_save_to(box_path(kind));
            if (allowed)
                away.push_back({&b, box_path(kind), file});
            else
                report.failures.push_back(of_box(kind, allowed));
        }
    }
    if (away.empty())
        return report;
    try {
        background_->start(folder_, away, std::move(ended));
    } catch (const std::exception&) {
        // No room for the copies or no thread to write them (std::bad_alloc,
        // std::system_error): the boxes are written here and now.
        const DataFolderLock lock(folder_);
        for (const BackgroundSave::Box& b : away)
            save_now(box(b.box->kind()), report);
    }
    return report;
}

BoxSaveReport MessageLibrary::finish_background_save() {
    BoxSaveReport report;
    for (const BackgroundSave::Written& w : background_->wait()) {
        if (w.written) {
            saved_revision_[index(w.kind)] = w.revision;
            known_file_[index(w.kind)] = w.file;
        } else if (!w.outcome) {
            report.failures.push_back(of_box(w.kind, w.outcome));
        }
    }
    return report;
}

BoxSaveReport MessageLibrary::save_copy_to(const std::filesystem::path& folder) {
    BoxSaveReport report = finish_background_save();
    for (SmsBox& b : boxes_) {
        if (!file_behind(b.kind()))
            continue;
        if (const Outcome saved = b.save_box_file(folder / box_file_name(b.kind())); !saved)
            report.failures.push_back(of_box(b.kind(), saved));
    }
    return report;
}

GetSmsReport MessageLibrary::get_sms(DeviceOperations& device, const Options& options,
                                     StatusSink* sink) {
    GetSmsReport report;
    const struct {
        uint8_t on;
        BoxKind kind;
        const char* line;
    } imports[] = {
        {options.import_inbox, BoxKind::Inbox, "importing inbox..."},
        {options.import_sent_items, BoxKind::SentItems, "importing sent items..."},
        {options.import_deleted_items, BoxKind::DeletedItems, "importing deleted items..."}};
    try {
        for (const auto& import : imports) {
            if (!import.on)
                continue;
            program_log().log_line(import.line);
            SmsBox& b = box(import.kind);
            const size_t before = b.count();
            b.import_new_smses(device, sink);
            adopt_imported(b, before, report);
        }
    } catch (const ORX_Exception& e) {
        report.link_failure = e;
    } catch (const std::bad_alloc&) {
        report.out_of_memory = true;
    }
    return report;
}

void MessageLibrary::adopt_imported(SmsBox& b, size_t before, GetSmsReport& report) {
    try {
        adopt_matches(b, before, report);
    } catch (const std::bad_alloc&) {
        // The box keeps the phone's copies beside the imported ones; the
        // next fetch must not count them as new again.
        for (SmsMessage dropped; b.pop_new(dropped);) {
        }
        throw;
    }
}

void MessageLibrary::adopt_matches(SmsBox& b, size_t before, GetSmsReport& report) {
    // What needs memory comes before anything in the box changes.
    std::vector<std::pair<size_t, size_t>> adopted;
    // Only a kept message that stands for no phone message yet (imported,
    // or on its way onto a phone by a restore) can be a new phone message's
    // other copy. One that has an entry id stood for that phone message
    // alone: moved to the PC, it is never a later twin.
    static const PhoneNumbers numbers;
    MessageMatcher matcher(numbers);
    bool any = false;
    for (size_t i = 0; i < before && b.count() > before; ++i) {
        const SmsMessage& m = b.message_ref(i);
        if (m.on_phone() == 0 && m.entry_id() == EntryId{}) {
            matcher.add(b.kind(), m, {b.kind(), i}, false);
            any = true;
        }
    }
    if (any) {
        matcher.begin_source();
        for (size_t j = before; j < b.count(); ++j) {
            const SmsMessage& m = b.message_ref(j);
            const MessageMatcher::Result r =
                matcher.match(b.kind(), m.number(), m.text_view(), unix_ms(m.time()), false);
            if (r.verdict == MessageMatcher::Verdict::Kept)
                adopted.emplace_back(r.kept.index, j);
        }
    }
    std::vector<SmsMessage> fresh;  // newest first
    fresh.reserve(b.queued_new());
    for (SmsMessage popped; b.pop_new(popped);)
        fresh.push_back(std::move(popped));
    for (const auto& [kept, copy] : adopted) {
        const SmsMessage& phone = b.message_ref(copy);
        std::erase_if(fresh, [&](const SmsMessage& f) {
            return f.time() == phone.time() && f.entry_id() == phone.entry_id();
        });
    }
    b.adopt_phone_copies(adopted);
    report.new_messages += fresh.size();
    if (b.kind() != BoxKind::Inbox)
        return;
    report.arrived += fresh.size();
    if (!fresh.empty() && !report.newest_arrived)
        report.newest_arrived = fresh.front();
}

DeletionReport MessageLibrary::delete_messages(std::vector<MessageRef> refs, DeleteWhere where,
                                               DeviceOperations& device) {
    std::sort(refs.begin(), refs.end(), [](const MessageRef& a, const MessageRef& b) {
        return std::pair(a.box, a.index) < std::pair(b.box, b.index);
    });
    refs.erase(std::unique(refs.begin(), refs.end()), refs.end());
    DeletionReport report;
    report.asked = refs.size();
    for (auto ref = refs.rbegin(); ref != refs.rend(); ++ref) {
        SmsBox& b = box(ref->box);
        if (ref->index >= b.count())
            continue;
        try {
            if (where == DeleteWhere::OnPhoneOnly) {
                b.delete_message_on_phone(ref->index, device);
            } else {
                b.delete_message(ref->index, device);
            }
        } catch (const ORX_Exception& e) {
            report.link_failure = e;
            break;
        }
        ++report.deleted;
    }
    return report;
}

}  // namespace quillet
