// What every main-window test sets up: a temp data folder, a temp platform
// root with a real phone image made by the real quillet-phone, the real
// program folder (so the real ondevice/phonelet.exe is copied and started),
// a free link port, and message boxes, file dialogs and sounds answered by
// the test. Then the real link with short waits, and the real main window.
#pragma once

#include <memory>

#include "desktop/app/main_frame.h"
#include "desktop/app/tray_notice.h"
#include "desktop/link/smartphone_sms_connect.h"
#include "tests/gui/gui_test_env.h"

namespace quillet::testing {

class MainTestEnv : public GuiTestEnv {
  public:
    // Kills every agent running from this phone's image: the link breaks.
    void kill_agents() const;

    // The link, with waits short enough for tests; `connect_wait_ms` is how
    // long a command waits for the link to be set up.
    static LinkSettings test_link_settings(int connect_wait_ms = 15000);
};

// The real link and the real main window, shown and started up.
struct RunningFrame {
    std::unique_ptr<SmartphoneSmsConnect> link;
    std::unique_ptr<MainFrame> frame;

    explicit RunningFrame(int connect_wait_ms = 15000);
    ~RunningFrame();
    MainFrame* operator->() const { return frame.get(); }
    // Runs Get SMS and returns the count it reported (-1: link failure).
    int get_sms();
    // A new running window whose Get SMS brought messages in; none when it
    // brought nothing or failed.
    static std::unique_ptr<RunningFrame> after_get_sms();
};

// Ends a test's environment; the message boxes it saw shown under the wait
// cursor, which every test expects to be none.
int end_test_env(std::unique_ptr<MainTestEnv>& env);

// A message as the boxes keep it, for the scenes the tests write:
// `unix_time` in seconds since 1970.
SmsMessage scene_message(const std::string& number, const std::u16string& text, int64_t unix_time,
                         bool read = true);

}  // namespace quillet::testing
