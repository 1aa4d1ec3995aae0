#include "sms_box.h"

#include <algorithm>
#include <atomic>
#include <optional>
#include <system_error>
#include <unordered_map>

#include "desktop/store/app_paths.h"
#include "desktop/store/box_file.h"
#include "desktop/store/message_merge.h"
#include "desktop/store/orx_exception.h"

namespace quillet {

void SmsBox::advance_revision() {
    // Unique across boxes, so a revision names one state of one box's
    // contents: whoever keeps something made from a box can tell it is
    // still current by the revision alone.
    static std::atomic<uint64_t> last{0};
    revision_ = last.fetch_add(1, std::memory_order_relaxed) + 1;
}

namespace fs = std::filesystem;
namespace {

bool move_aside(const fs::path& path, fs::path& moved_to) {
    const fs::path target = free_aside_name(path, ".unknown-");
    if (target.empty())
        return false;
    std::error_code ec;
    fs::rename(path, target, ec);
    if (ec)
        return false;
    moved_to = target;
    return true;
}

}  // namespace

std::u16string_view box_file_name(BoxKind kind) {
    switch (kind) {
        case BoxKind::Inbox:
            return kInboxFileName;
        case BoxKind::SentItems:
            return kSentFileName;
        case BoxKind::DeletedItems:
            return kDeletedFileName;
    }
    return kInboxFileName;
}

SmsBox::SmsBox(BoxKind kind) : kind_(kind) {}

LoadBoxResult SmsBox::load_box(std::u16string_view file_name) {
    return load_box_file(app_file_path(file_name));
}

LoadBoxResult SmsBox::load_box_file(const fs::path& path) {
    using Status = LoadBoxResult::Status;
    LoadBoxResult result;
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (st.type() == fs::file_type::not_found)
        return result;

    std::string error = ec ? ec.message() : std::string();
    std::optional<DecodedBox> read;
    try {
        if (!ec)
            read = read_box_file(path, error);
    } catch (const std::bad_alloc&) {
        // The file is sound as far as anyone knows: it stays where it is, and
        // this run never saves the box over it.
        result.status = Status::Unreadable;
        result.outcome = Outcome::unreadable("there is not enough memory to read it (" +
                                             std::to_string(fs::file_size(path, ec) >> 20) +
                                             " MiB); the file is left as it is");
        left_untouched_ = path;
        return result;
    }
    if (!read) {
        result.status = Status::Unreadable;
        result.outcome = Outcome::unreadable(error);
        if (!move_aside(path, result.kept_aside))
            pending_keep_aside_ = path;
        return result;
    }
    DecodedBox& box = *read;
    if (box.version == BoxFileVersion::Unknown) {
        result.status = Status::UnknownHeader;
        result.outcome = Outcome::bad_input("not a box file of a known version");
        if (!move_aside(path, result.kept_aside))
            pending_keep_aside_ = path;
        return result;
    }
    const size_t before = messages_.size();
    advance_revision();
    sort_column_ = box.sort_column;
    sort_order_ = box.sort_order;
    try {
        append_loaded(std::move(box.messages));
    } catch (const std::bad_alloc&) {
        messages_.resize(before);
        result.status = Status::Unreadable;
        result.outcome = Outcome::unreadable(
            "there is not enough memory to hold its messages; the file is left as it is");
        left_untouched_ = path;
        return result;
    }
    result.records = messages_.size() - before;
    result.upgraded = box.version == BoxFileVersion::V100;
    result.status = Status::Loaded;
    if (!box.damage.empty()) {
        result.status = Status::Damaged;
        result.outcome = Outcome::damaged(box.damage);
        // The file is rewritten from the kept records at the end of the run;
        // a copy of what was found stays for whoever wants to look closer.
        result.kept_aside = keep_copy_aside(path, ".damaged-");
    }
    return result;
}

void SmsBox::append_loaded(std::vector<SmsMessage>&& loaded) {
    if (messages_.empty()) {
        messages_ = std::move(loaded);
        return;
    }
    messages_.insert(messages_.end(), std::make_move_iterator(loaded.begin()),
                     std::make_move_iterator(loaded.end()));
}

Outcome SmsBox::may_save_to(const fs::path& path) {
    if (!left_untouched_.empty() && left_untouched_ == path) {
        return Outcome::refused(
            "Could not save " + path.string() +
            ": the file found there at start was too large to read, and is left untouched");
    }
    if (pending_keep_aside_.empty() || pending_keep_aside_ != path)
        return Outcome::done();
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(path, ec))) {
        pending_keep_aside_.clear();
        return Outcome::done();
    }
    fs::path moved;
    if (!move_aside(path, moved)) {
        return Outcome::refused("Could not save " + path.string() +
                                ": the file found there at start could not be read or kept "
                                "aside, and is left untouched");
    }
    pending_keep_aside_.clear();
    return Outcome::done();
}

Outcome SmsBox::save_box(std::u16string_view file_name) {
    return save_box_file(app_file_path(file_name));
}

Outcome SmsBox::save_box_file(const fs::path& path) {
    if (Outcome allowed = may_save_to(path); !allowed)
        return allowed;
    return save_box_messages(path, sort_column_, sort_order_, messages_);
}

Outcome save_box_messages(const fs::path& path, int32_t sort_column, int32_t sort_order,
                          std::span<const SmsMessage> messages) {
    return save_file_atomically(path, [&](const ChunkWriter& write) {
        return write_box_file(sort_column, sort_order, messages, write);
    });
}

size_t SmsBox::take_in(std::span<const SmsMessage> from_file) {
    // Each message here answers for one message of the file, so two equal
    // messages in the file stay two.
    std::unordered_multimap<FileTime, size_t> unmatched;
    unmatched.reserve(messages_.size());
    for (size_t i = 0; i < messages_.size(); ++i)
        unmatched.emplace(messages_[i].time(), i);
    size_t appended = 0;
    bool changed = false;
    for (const SmsMessage& theirs : from_file) {
        auto [first, last] = unmatched.equal_range(theirs.time());
        auto match = std::find_if(first, last, [&](const auto& entry) {
            return messages_[entry.second].same_message(theirs);
        });
        if (match == last) {
            messages_.push_back(theirs);
            ++appended;
            changed = true;
            continue;
        }
        SmsMessage& ours = messages_[match->second];
        unmatched.erase(match);
        if (theirs.read() != 0 && ours.read() == 0) {
            ours.set_read(theirs.read());
            changed = true;
        }
        if (theirs.on_phone() != ours.on_phone()) {
            ours.set_on_phone(theirs.on_phone());
            ours.set_entry_id(theirs.entry_id());
            changed = true;
        }
    }
    if (changed)
        advance_revision();
    return appended;
}

void SmsBox::adopt_phone_copies(std::span<const std::pair<size_t, size_t>> kept_and_copy) {
    std::vector<size_t> copies;
    copies.reserve(kept_and_copy.size());
    for (const auto& [kept, copy] : kept_and_copy) {
        const uint8_t read = std::max(messages_.at(kept).read(), messages_.at(copy).read());
        messages_.at(kept) = messages_.at(copy);
        messages_.at(kept).set_read(read);
        copies.push_back(copy);
    }
    remove_here(copies);
}

void SmsBox::remove_here(std::span<const size_t> indices) {
    if (indices.empty())
        return;
    size_t next = 0;
    size_t kept = 0;
    for (size_t i = 0; i < messages_.size(); ++i) {
        if (next < indices.size() && indices[next] == i) {
            ++next;
            continue;
        }
        if (kept != i)
            messages_[kept] = std::move(messages_[i]);
        ++kept;
    }
    messages_.erase(messages_.begin() + static_cast<ptrdiff_t>(kept), messages_.end());
    advance_revision();
}

void SmsBox::set_phone_entry(size_t index, const std::optional<EntryId>& id) {
    SmsMessage& m = messages_.at(index);
    const EntryId entry = id.value_or(EntryId{});
    const uint8_t on_phone = id ? 1 : 0;
    if (m.entry_id() == entry && m.on_phone() == on_phone)
        return;
    m.set_entry_id(entry);
    m.set_on_phone(on_phone);
    advance_revision();
}

void SmsBox::append(const SmsMessage& message) {
    messages_.push_back(message);
    advance_revision();
}

void SmsBox::set_read(uint8_t value, size_t index) {
    SmsMessage& m = messages_.at(index);
    if (m.read() == value)
        return;
    m.set_read(value);
    advance_revision();
}

void SmsBox::set_sort_column(int32_t column) {
    if (sort_column_ == column)
        return;
    sort_column_ = column;
    advance_revision();
}

void SmsBox::set_sort_order(int32_t order) {
    if (sort_order_ == order)
        return;
    sort_order_ = order;
    advance_revision();
}

void SmsBox::delete_message_on_phone(size_t index, DeviceOperations& device) {
    SmsMessage& m = messages_.at(index);
    device.delete_on_device(kind_, m.to_wire());
    if (m.on_phone() != 0) {
        m.set_on_phone(0);
        advance_revision();
    }
}

void SmsBox::delete_message(size_t index, DeviceOperations& device) {
    delete_message_on_phone(index, device);
    messages_.erase(messages_.begin() + static_cast<ptrdiff_t>(index));
    advance_revision();
}

bool SmsBox::pop_new(SmsMessage& out) {
    if (new_messages_.empty())
        return false;
    out = std::move(new_messages_.back());
    new_messages_.pop_back();
    return true;
}

size_t SmsBox::import_new_smses(DeviceOperations& device, StatusSink* sink) {
    std::vector<SmsWireRecord> fetched;
    const int announced = device.fetch_folder(kind_, fetched, sink);
    if (announced < 0)
        throw ORX_Exception(u"import_new_smses()");
    bool changed = false;
    const size_t appended =
        merge_fetched_owned(messages_, new_messages_, std::move(fetched), &changed);
    if (changed)
        advance_revision();
    return appended;
}

}  // namespace quillet
