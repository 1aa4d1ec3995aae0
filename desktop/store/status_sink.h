// Where a device operation reports what a fetch is doing. The caller hands
// its sink to the fetch (device_operations.h): the main window its status
// and progress bar for the folder fetches, the contacts window its status
// bar for the contact fetch. The link calls it on the thread that runs the
// fetch, from within the exchange.
#pragma once

#include <string_view>

namespace quillet {

class StatusSink {
  public:
    virtual ~StatusSink() = default;
    // The text for the first pane of the status bar.
    virtual void set_status_text(std::u16string_view text) = 0;
    // 0 to 99 while a folder fetch runs; -1 once it has ended (also when it
    // failed). The contact fetch reports texts only.
    virtual void set_progress(int percent) = 0;
};

}  // namespace quillet
