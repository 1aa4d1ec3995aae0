// Where a device operation reports what a fetch is doing. The caller hands
// its sink to the fetch (device_operations.h): the main window its status
// and progress bar for the folder fetches, the contacts window its status
// bar for the contact fetch. The link calls it on the thread that runs the
// fetch, from within the exchange.
#pragma once

#include <string>
#include <string_view>

#include "desktop/store/box_kind.h"

namespace quillet {

// What an operation is doing, with its figures. The window words it in the
// desktop's language; the command line and the log in the engine's English
// (english()).
struct EngineStatus {
    enum class What {
        FolderStarted,     // a folder fetch began
        FolderProgress,    // `figure` percent of the folder arrived
        ContactRetrieved,  // contact number `figure` (from 0), `name`, arrived
        RestoreProgress,   // `figure` percent of a restore written
    };
    What what = What::FolderStarted;
    BoxKind folder = BoxKind::Inbox;  // of a folder fetch
    int figure = 0;
    std::u16string name;
};

// "importing inbox...", "importing sent sms: 40%", "retrieving contact 3:
// NAME", "restoring to the phone: 40%".
std::u16string english(const EngineStatus& status);

class StatusSink {
  public:
    virtual ~StatusSink() = default;
    // What the operation is doing; a sink that words it no other way gets
    // the English text.
    virtual void report(const EngineStatus& status) { set_status_text(english(status)); }
    // The text for the first pane of the status bar.
    virtual void set_status_text(std::u16string_view text) = 0;
    // 0 to 99 while a folder fetch runs; -1 once it has ended (also when it
    // failed). The contact fetch reports texts only.
    virtual void set_progress(int percent) = 0;
};

}  // namespace quillet
