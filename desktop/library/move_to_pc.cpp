#include "desktop/library/move_to_pc.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <set>

#include "desktop/library/data_folder_lock.h"
#include "desktop/store/box_file.h"
#include "desktop/store/unique_fd.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

constexpr BoxKind kKinds[] = {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems};

size_t at(BoxKind kind) {
    return static_cast<size_t>(kind);
}

bool same_fields(const SmsMessage& a, const SmsMessage& b) {
    return a.entry_id() == b.entry_id() && a.time() == b.time() &&
           a.number_field() == b.number_field() && a.message_class() == b.message_class() &&
           a.text_view() == b.text_view();
}

// Every field a box file stores.
bool same_everything(const SmsMessage& a, const SmsMessage& b) {
    return same_fields(a, b) && a.read() == b.read() && a.on_phone() == b.on_phone();
}

bool sync_path(const std::filesystem::path& path, int flags) {
    const UniqueFd fd(::open(path.c_str(), flags | O_RDONLY | O_CLOEXEC));
    return fd.valid() && ::fsync(fd.get()) == 0;
}

// A box's messages by entry id; an id held twice is no proof of either.
using ById = std::map<EntryId, std::optional<SmsMessage>>;

ById by_id(const std::vector<SmsMessage>& messages) {
    ById out;
    for (const SmsMessage& m : messages) {
        const auto [it, added] = out.try_emplace(m.entry_id(), m);
        if (!added)
            it->second.reset();
    }
    return out;
}

const SmsMessage* find(const ById& ids, const EntryId& id) {
    const auto it = ids.find(id);
    return it == ids.end() || !it->second ? nullptr : &*it->second;
}

}  // namespace

size_t MoveReport::kept_total() const {
    return std::accumulate(kept.begin(), kept.end(), size_t{0});
}

PhoneMove::PhoneMove(MessageLibrary& library, DeviceOperations& device, MoveChoice choice,
                     FileTime now)
    : library_(library), device_(device), choice_(choice), now_(now) {}

Outcome PhoneMove::fetch(BoxKind kind, std::vector<SmsWireRecord>& records, StatusSink* sink) {
    try {
        if (device_.fetch_folder(kind, records, sink) >= 0)
            return Outcome::done();
        return Outcome::unreachable("the phone's folder could not be read");
    } catch (const ORX_Exception& e) {
        return Outcome::unreachable(to_utf8(e.message()));
    }
}

GetSmsReport PhoneMove::get(const Options& options, StatusSink* sink) {
    Options all = options;
    all.import_inbox = all.import_sent_items = all.import_deleted_items = 1;
    return library_.get_sms(device_, all, sink);
}

std::vector<bool> PhoneMove::chosen(const std::vector<FileTime>& times,
                                    const MoveChoice& choice) const {
    std::vector<bool> out(times.size(), true);
    if (choice.older_than_days) {
        const uint64_t span = uint64_t{*choice.older_than_days} * 86'400 * kTicksPerSecond;
        const FileTime limit = now_ > span ? now_ - span : 0;
        for (size_t i = 0; i < times.size(); ++i)
            out[i] = times[i] <= limit;
    }
    if (choice.keep_newest && *choice.keep_newest > 0) {
        std::vector<size_t> order(times.size());
        std::iota(order.begin(), order.end(), size_t{0});
        // Newest first; of equal times the later one counts as newer.
        std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            return std::pair(times[a], a) > std::pair(times[b], b);
        });
        for (size_t i = 0; i < order.size() && i < *choice.keep_newest; ++i)
            out[order[i]] = false;
    }
    return out;
}

MovePlan PhoneMove::plan(const MoveChoice& choice) const {
    MovePlan plan;
    for (const BoxKind kind : kKinds) {
        if (!choice.boxes[at(kind)])
            continue;
        std::vector<FileTime> times;
        for (const SmsMessage& m : library_.box(kind).messages())
            if (m.on_phone() != 0)
                times.push_back(m.time());
        const std::vector<bool> take = chosen(times, choice);
        for (size_t i = 0; i < times.size(); ++i) {
            if (!take[i])
                continue;
            ++plan.by_box[at(kind)];
            plan.oldest = std::min(plan.oldest.value_or(times[i]), times[i]);
            plan.newest = std::max(plan.newest.value_or(times[i]), times[i]);
        }
    }
    return plan;
}

std::optional<PhoneMove::Identity> PhoneMove::identity_of(BoxKind kind) const {
    struct stat st {};
    if (::stat(library_.box_path(kind).c_str(), &st) != 0)
        return std::nullopt;
    return Identity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                    static_cast<uint64_t>(st.st_size),
                    int64_t{st.st_mtim.tv_sec} * 1'000'000'000 + st.st_mtim.tv_nsec};
}

bool PhoneMove::prove(MoveReport& report) {
    if (const Outcome saved = library_.save_changed().outcome(); !saved) {
        report.outcome = saved.about("the boxes could not be saved, nothing was deleted");
        return false;
    }
    const DataFolderLock lock(library_.folder());
    for (const BoxKind kind : kKinds) {
        proven_[at(kind)].clear();
        proven_file_[at(kind)] = identity_of(kind);
        const bool on_phone = std::ranges::any_of(library_.box(kind).messages(),
                                                  [](const SmsMessage& m) { return m.on_phone(); });
        if (!chosen_box(kind) || !on_phone)
            continue;
        const std::string name = to_utf8(box_file_name(kind));
        if (!sync_path(library_.box_path(kind), 0)) {
            report.outcome =
                Outcome::unwritable(name + " could not be written to disk, nothing was deleted");
            return false;
        }
        std::string error;
        std::optional<DecodedBox> back = read_box_file(library_.box_path(kind), error);
        if (!back) {
            report.outcome = Outcome::unreadable(
                name + " could not be read back, nothing was deleted: " + error);
            return false;
        }
        // Only what the file holds exactly as the box does is proven kept.
        const ById here = by_id(library_.box(kind).messages());
        for (SmsMessage& m : back->messages) {
            const SmsMessage* mine = find(here, m.entry_id());
            if (m.on_phone() != 0 && mine && same_everything(*mine, m))
                proven_[at(kind)].push_back(std::move(m));
        }
    }
    if (!sync_path(library_.folder(), O_DIRECTORY)) {
        report.outcome = Outcome::unwritable(
            "the data folder could not be written to disk, nothing was deleted");
        return false;
    }
    return true;
}

void PhoneMove::count(MoveReport& report, KeptReason r, size_t n) const {
    report.kept[static_cast<size_t>(r)] += n;
}

void PhoneMove::delete_in(BoxKind kind, const std::vector<SmsWireRecord>& fetched,
                          MoveReport& report, bool& lost,
                          const std::function<bool(size_t done)>& cancelled) {
    if (!chosen_box(kind)) {
        count(report, KeptReason::OutsideChoice, fetched.size());
        return;
    }
    std::vector<FileTime> times;
    for (const SmsWireRecord& r : fetched)
        times.push_back(r.time);
    const std::vector<bool> take = chosen(times, choice_);
    const ById proven = by_id(proven_[at(kind)]);
    // A phone message is named by its entry id alone: none, or one two
    // records share, names no message that may go.
    std::map<EntryId, size_t> named;
    for (const SmsWireRecord& r : fetched)
        ++named[r.entry_id];
    SmsBox& box = library_.box(kind);
    std::map<EntryId, size_t> index;
    for (size_t i = 0; i < box.count(); ++i)
        index.emplace(box.message_ref(i).entry_id(), i);
    for (size_t i = 0; i < fetched.size(); ++i) {
        if (!take[i]) {
            count(report, KeptReason::OutsideChoice);
            continue;
        }
        const SmsMessage now = SmsMessage::from_wire(fetched[i]);
        const SmsMessage* kept = find(proven, now.entry_id());
        const auto place = index.find(now.entry_id());
        if (!kept || place == index.end()) {
            count(report, KeptReason::NotProvenKept);
            continue;
        }
        if (!same_fields(*kept, now) || now.entry_id() == EntryId{} || named[now.entry_id()] != 1) {
            count(report, KeptReason::ChangedOnPhone);
            continue;
        }
        if (lost) {
            count(report, KeptReason::LinkLost);
            continue;
        }
        if (report.kept_for(KeptReason::Cancelled) > 0 || (cancelled && cancelled(report.moved))) {
            count(report, KeptReason::Cancelled);
            continue;
        }
        try {
            box.delete_message_on_phone(place->second, device_);
        } catch (const ORX_Exception& e) {
            report.outcome = Outcome::unreachable(
                "the phone went away during the deletions; the rest stays on it: " +
                to_utf8(e.message()));
            count(report, KeptReason::LinkLost);
            lost = true;
            continue;
        }
        deleted_[at(kind)].push_back(fetched[i]);
        ++report.moved;
    }
}

void PhoneMove::delete_proven(MoveReport& report, StatusSink* sink,
                              const std::function<bool(size_t done)>& cancelled) {
    for (auto& d : deleted_)
        d.clear();
    std::array<std::vector<SmsWireRecord>, 3> fetched;
    for (const BoxKind kind : kKinds) {
        if (const Outcome asked = fetch(kind, fetched[at(kind)], sink); !asked) {
            report.outcome = asked.about(
                "the phone could not be asked before the deletions, nothing was deleted");
            return;
        }
    }
    {
        const DataFolderLock lock(library_.folder());
        for (const BoxKind kind : kKinds) {
            if (identity_of(kind) == proven_file_[at(kind)])
                continue;
            report.outcome =
                Outcome::refused(to_utf8(box_file_name(kind)) +
                                 " changed on disk since it was read back, nothing was deleted");
            return;
        }
    }
    bool lost = false;
    for (const BoxKind kind : kKinds)
        delete_in(kind, fetched[at(kind)], report, lost, cancelled);
    const Outcome saved = library_.save_changed().outcome();
    if (!saved && report.outcome)
        report.outcome = saved.about("the boxes still say the moved messages are on the phone");
    if (lost)
        report.unchecked = true;
    else
        check_afterwards(report, sink);
}

void PhoneMove::check_afterwards(MoveReport& report, StatusSink* sink) {
    for (const BoxKind kind : kKinds) {
        if (deleted_[at(kind)].empty())
            continue;
        std::vector<SmsWireRecord> now;
        if (const Outcome asked = fetch(kind, now, sink); !asked) {
            report.unchecked = true;
            if (report.outcome)
                report.outcome = asked.about("the phone could not be asked after the deletions");
            return;
        }
        std::set<EntryId> there;
        for (const SmsWireRecord& r : now)
            there.insert(r.entry_id);
        for (const SmsWireRecord& gone : deleted_[at(kind)]) {
            if (!there.contains(gone.entry_id))
                continue;
            --report.moved;
            count(report, KeptReason::PhoneRefused);
        }
    }
}

MoveReport PhoneMove::run(const Options& options, StatusSink* sink) {
    MoveReport report;
    const GetSmsReport got = get(options, sink);
    if (got.link_failure) {
        report.outcome = Outcome::unreachable("Get SMS failed, nothing was deleted: " +
                                              to_utf8(got.link_failure->message()));
        return report;
    }
    if (got.out_of_memory) {
        report.outcome =
            Outcome::unreadable("not enough memory for the phone's messages, nothing was deleted");
        return report;
    }
    if (prove(report))
        delete_proven(report, sink);
    return report;
}

}  // namespace quillet
