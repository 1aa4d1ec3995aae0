// One message box (Inbox, Sent Items or Deleted Items): its messages in
// storage order, the queue of messages the last imports added, and the
// message list's sort state. Lives in memory; read and written whole.
//
// The box counts its own changes: every operation that changes what the box
// file holds (messages, their flags, the sort state) advances revision(), so
// whoever saves it can tell whether it changed since.
//
// Indices are positions in storage order. An index out of range throws
// std::out_of_range; it never reads or writes outside the box.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/store/device_operations.h"
#include "desktop/store/safe_file.h"
#include "desktop/store/sms_message.h"

namespace quillet {

inline constexpr std::u16string_view kInboxFileName = u"inbox1.sms";
inline constexpr std::u16string_view kSentFileName = u"sent1.sms";
inline constexpr std::u16string_view kDeletedFileName = u"deleted1.sms";

// The box file of a kind: "inbox1.sms", "sent1.sms" or "deleted1.sms".
std::u16string_view box_file_name(BoxKind kind);

// What load_box found, for the GUI to tell the user.
struct LoadBoxResult {
    enum class Status {
        Missing,        // no file: an empty box, nothing to say
        Loaded,         // read whole (a version 1.00 file too)
        UnknownHeader,  // not a box file of a known version: the box is empty
        Damaged,        // broke off: the complete records before the break were kept
        Unreadable,     // exists but could not be read: the box is empty (out of
                        // memory: the file stays in place, see save_box)
    };
    Status status = Status::Missing;
    size_t records = 0;  // messages loaded
    // UnknownHeader, Unreadable: where the file was moved ("<file>.unknown-<n>")
    // so that saving the box cannot destroy it; empty when it could not be moved
    // yet (save_box then tries again and refuses to overwrite it).
    // Damaged: where a copy of the file as found was kept ("<file>.damaged-<n>").
    std::filesystem::path kept_aside;
    // Done for Missing and Loaded; else what was wrong, of kind Damaged,
    // Unreadable or (UnknownHeader) BadInput.
    Outcome outcome;
    bool upgraded = false;  // a version 1.00 file: saving writes it as 1.10
};

// Writes `messages` as a version 1.10 box file at `path`, atomically, as
// SmsBox::save_box_file does once may_save_to allowed it: for a copy of a
// box written away from its box.
Outcome save_box_messages(const std::filesystem::path& path, int32_t sort_column,
                          int32_t sort_order, std::span<const SmsMessage> messages);

class SmsBox {
  public:
    // An empty box of that kind, sort_column -1, sort_order -1.
    explicit SmsBox(BoxKind kind);
    virtual ~SmsBox() = default;
    SmsBox(const SmsBox&) = default;
    SmsBox& operator=(const SmsBox&) = default;

    BoxKind kind() const { return kind_; }

    // Reads the box file `file_name` (resolved by app_file_path) into the box,
    // appending to its messages, and takes the sort state from it. A file of
    // an unknown header, or one that cannot be read, is moved aside at once.
    // Advances the revision when it read a file.
    LoadBoxResult load_box(std::u16string_view file_name);
    // The same for a file named by its full path.
    LoadBoxResult load_box_file(const std::filesystem::path& path);
    // Writes the whole box as a version 1.10 file, atomically: a failed save
    // leaves the old file whole and says why. Refuses to overwrite a file that
    // load_box found unreadable or of unknown header and could not move aside,
    // or could not read for want of memory.
    Outcome save_box(std::u16string_view file_name);
    Outcome save_box_file(const std::filesystem::path& path);
    // What save_box_file checks before it writes `path`: Refused, and why,
    // when the box must not be written there (see above). A file of unknown
    // header not moved aside yet is moved now.
    Outcome may_save_to(const std::filesystem::path& path);

    // Takes in the messages of this box's file as another writer left it
    // (quillet-cli get, an import): a message found in both keeps this box's
    // fields, read when read in either, and takes the file's on-phone flag
    // (the other writer saw the phone later); one only in the file is
    // appended. Messages only here stay. Returns how many were appended.
    size_t take_in(std::span<const SmsMessage> from_file);

    // Starts at 0; advanced by every change to what save_box would write,
    // to a value no box of this process had before.
    // The queue of new messages is not part of it.
    uint64_t revision() const { return revision_; }

    size_t count() const { return messages_.size(); }
    // A copy of the message at `index`.
    SmsMessage message_at(size_t index) const { return messages_.at(index); }
    // The message at `index` without a copy; valid until the box next changes.
    const SmsMessage& message_ref(size_t index) const { return messages_.at(index); }
    const std::vector<SmsMessage>& messages() const { return messages_; }

    // For each (kept, copy): message `kept` becomes the phone's message
    // `copy` (its entry id, time, number and text, so later fetches find it
    // as theirs), read when either was, and the copy is removed: a message
    // kept from elsewhere (an import) is the phone's now, with no second
    // copy. Copies ascending, each once.
    void adopt_phone_copies(std::span<const std::pair<size_t, size_t>> kept_and_copy);

    // Removes the messages at `indices` (ascending, each once) from this box
    // only, in one pass; the phone is not told.
    void remove_here(std::span<const size_t> indices);

    // Message `index` stands for the phone's entry `id` (on the phone), or,
    // with no id, for no phone message (not on the phone, no entry id).
    void set_phone_entry(size_t index, const std::optional<EntryId>& id);

    // Appends a copy; the queue of new messages is not touched.
    void append(const SmsMessage& message);
    // Appends messages as a box file held them, moved in without a copy
    // (what load_box does with what it read); the revision and the queue
    // of new messages are not touched.
    void append_loaded(std::vector<SmsMessage>&& loaded);
    // Setting the value a message already has is no change.
    void set_read(uint8_t value, size_t index);

    // Asks the phone to delete message `index` (the phone's answer is not
    // examined), then clears its on_phone. ORX_Exception from the link passes
    // to the caller with the message as it was: a deletion the phone never
    // heard of leaves it marked on the phone.
    void delete_message_on_phone(size_t index, DeviceOperations& device);
    // delete_message_on_phone, then removes the message; later messages move
    // up by one. When the link throws, the message stays in the box.
    void delete_message(size_t index, DeviceOperations& device);

    bool has_new() const { return !new_messages_.empty(); }
    size_t queued_new() const { return new_messages_.size(); }
    // Moves the newest queued message into `out` (last in, first out).
    // False, and `out` untouched, when the queue is empty.
    bool pop_new(SmsMessage& out);

    // Fetches the kind's phone folder and merges it (message_merge.h).
    // Throws ORX_Exception "import_new_smses()" when the fetch reports -1, and
    // lets the link's own ORX_Exception pass, and std::bad_alloc when the
    // folder does not fit in memory; in each case the box is unchanged.
    // Returns how many messages were appended and queued. The
    // revision advances when the merge changed anything, also without an
    // append (an on-phone flag, a read flag the phone set).
    // `sink` hears the fetch's progress.
    size_t import_new_smses(DeviceOperations& device, StatusSink* sink = nullptr);

    // The message list's sort state, saved in the box file. Setting the
    // value it has is no change.
    int32_t sort_column() const { return sort_column_; }
    void set_sort_column(int32_t column);
    int32_t sort_order() const { return sort_order_; }
    void set_sort_order(int32_t order);

  private:
    void advance_revision();

    BoxKind kind_;
    uint64_t revision_ = 0;
    int32_t sort_column_ = -1;
    int32_t sort_order_ = -1;
    std::vector<SmsMessage> messages_;
    std::vector<SmsMessage> new_messages_;

    // A file load_box had to protect but could not yet move aside.
    std::filesystem::path pending_keep_aside_;
    // A file too large for the memory at hand: never saved over in this run.
    std::filesystem::path left_untouched_;
};

}  // namespace quillet
