// Where the device link reports what a fetch is doing. The main window
// implements one for the folder fetches (status bar and progress bar), the
// contacts window one for the contact fetch. The link calls a sink on the
// thread that runs the fetch, from within the exchange.
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
