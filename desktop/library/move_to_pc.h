// Move to PC: makes room on the phone by deleting there what the data
// folder is proven to keep, for the window and quillet-cli alike.
//
// The steps, in order, and why nothing can be lost between them:
//  1. get(): a Get SMS, so the boxes hold all the phone holds.
//  2. prove(): the boxes are saved, fsync'd with their folder, and read back
//     from disk; a message counts as kept only when the file holds it with
//     its entry id and every field. Nothing has been deleted yet, so a crash
//     or a full disk up to here leaves every message on the phone.
//  3. delete_proven(): the phone's folders are fetched again and a message is
//     deleted there only when it is proven kept, within the user's choice,
//     and the fetched record with its entry id still is that message: a
//     kept message stands for the one phone message of its entry id alone
//     (message_merge.h), so one of two alike phone messages never goes for
//     the other. One
//     that arrived after step 1 is not proven, so it stays. The boxes keep
//     every moved message, marked as no longer on the phone. When a box file
//     changed on disk since step 2, nothing is deleted.
//  4. Still in delete_proven(): the phone is asked again, and the report says
//     how many went and why the others stayed.
// plan() only tells what step 3 would delete, for a question or --dry-run.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "desktop/library/message_library.h"
#include "desktop/store/outcome.h"
#include "protocol/filetime.h"

namespace quillet {

// Which messages the user wants off the phone.
struct MoveChoice {
    // Inbox, Sent Items, Deleted Items, in BoxKind order.
    std::array<bool, 3> boxes{true, true, true};
    // Only messages at least this many whole days old (24-hour days back
    // from now).
    std::optional<uint32_t> older_than_days;
    // Per box, the newest this many messages on the phone stay there.
    std::optional<size_t> keep_newest;
};

// What the deletions would take off the phone.
struct MovePlan {
    std::array<size_t, 3> by_box{};  // BoxKind order
    std::optional<FileTime> oldest, newest;
    size_t total() const { return by_box[0] + by_box[1] + by_box[2]; }
};

// Why a message on the phone stayed there.
enum class KeptReason {
    NotProvenKept,   // the box file on disk does not hold it (arrived later)
    OutsideChoice,   // another box, too new, or among the newest kept
    ChangedOnPhone,  // its entry id names another message now
    LinkLost,        // the phone went away before its turn
    PhoneRefused,    // asked, but still there afterwards
    Cancelled,       // the user stopped the move before its turn
};
inline constexpr size_t kKeptReasons = 6;

struct MoveReport {
    size_t moved = 0;
    std::array<size_t, kKeptReasons> kept{};  // by KeptReason
    // Not done when the move stopped short; with nothing deleted, or after
    // the deletions it names in `moved`.
    Outcome outcome;
    // Step 4 could not ask the phone; `moved` counts what the phone said it
    // deleted.
    bool unchecked = false;
    size_t kept_total() const;
    size_t kept_for(KeptReason r) const { return kept[static_cast<size_t>(r)]; }
};

class PhoneMove {
  public:
    // `library` with its three boxes loaded; `now` dates --older-than.
    PhoneMove(MessageLibrary& library, DeviceOperations& device, MoveChoice choice,
              FileTime now = filetime_now());

    // Step 1, with every box fetched whatever the options' boxes say.
    GetSmsReport get(const Options& options, StatusSink* sink);
    // What step 3 would delete of what the boxes now hold on the phone, with
    // the choice given (a window offers others before it asks).
    MovePlan plan() const { return plan(choice_); }
    MovePlan plan(const MoveChoice& choice) const;
    // What the user chose after all; before prove().
    void choose(const MoveChoice& choice) { choice_ = choice; }
    const MoveChoice& choice() const { return choice_; }
    // Step 2; false with the report's outcome set when nothing may be
    // deleted.
    bool prove(MoveReport& report);
    // Steps 3 and 4, after prove() returned true. `cancelled` is asked
    // before each deletion, with how many were done; once it says yes, the
    // rest stay on the phone.
    void delete_proven(MoveReport& report, StatusSink* sink,
                       const std::function<bool(size_t done)>& cancelled = {});
    // Every step; the report of the whole.
    MoveReport run(const Options& options, StatusSink* sink);

  private:
    struct Identity {
        uint64_t device = 0, inode = 0, size = 0;
        int64_t modified_ns = 0;
        bool operator==(const Identity&) const = default;
    };
    std::optional<Identity> identity_of(BoxKind kind) const;
    bool chosen_box(BoxKind kind) const { return choice_.boxes[static_cast<size_t>(kind)]; }
    // Of these times (one box's messages on the phone), which `choice` takes.
    std::vector<bool> chosen(const std::vector<FileTime>& times, const MoveChoice& choice) const;
    // Deletes the chosen, proven records of one box's fresh fetch and says
    // why the others stay. Once `lost` (the link failed), none is deleted.
    void delete_in(BoxKind kind, const std::vector<SmsWireRecord>& fetched, MoveReport& report,
                   bool& lost, const std::function<bool(size_t done)>& cancelled);
    void check_afterwards(MoveReport& report, StatusSink* sink);
    // One folder of the phone as it is now; Unreachable, with the link's
    // text, when the phone could not be asked.
    Outcome fetch(BoxKind kind, std::vector<SmsWireRecord>& records, StatusSink* sink);
    void count(MoveReport& report, KeptReason r, size_t n = 1) const;

    MessageLibrary& library_;
    DeviceOperations& device_;
    MoveChoice choice_;
    FileTime now_;
    // Per box, the messages the file on disk holds, as read back.
    std::array<std::vector<SmsMessage>, 3> proven_;
    std::array<std::optional<Identity>, 3> proven_file_;
    // Per box, what the phone said it deleted.
    std::array<std::vector<SmsWireRecord>, 3> deleted_;
};

}  // namespace quillet
