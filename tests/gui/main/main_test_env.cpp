#include "main_test_env.h"

#include <signal.h>

#include <QSignalSpy>
#include <QTest>

namespace quillet::testing {

void MainTestEnv::kill_agents() const {
    for (pid_t agent : running_agents())
        ::kill(agent, SIGKILL);
}

LinkSettings MainTestEnv::test_link_settings(int connect_wait_ms) {
    LinkSettings settings;
    settings.rapi_wait = std::chrono::milliseconds(200);
    settings.rapi_tries = 1;
    settings.connect_poll = std::chrono::milliseconds(50);
    settings.connect_polls = std::max(1, connect_wait_ms / 50);
    settings.pause_step = std::chrono::milliseconds(50);
    settings.pause_steps = 4;
    settings.accept_limit = std::chrono::milliseconds(15000);
    settings.sentinel_interval = std::chrono::milliseconds(100);
    return settings;
}

RunningFrame::RunningFrame(int connect_wait_ms)
    : link(
          std::make_unique<SmartphoneSmsConnect>(MainTestEnv::test_link_settings(connect_wait_ms))),
      frame(std::make_unique<MainFrame>(*link)) {
    frame->show();
    frame->start_up();
    frame->setWindowTitle(QStringLiteral("Quillet!"));
}

RunningFrame::~RunningFrame() {
    if (frame && !frame->has_shut_down())
        frame->close();
    frame.reset();
    link.reset();
}

int RunningFrame::get_sms() {
    QSignalSpy finished(frame.get(), &MainFrame::getSmsFinished);
    frame->on_button_get_sms();
    if (finished.isEmpty())
        return -2;
    return finished.takeFirst().at(0).toInt();
}

std::unique_ptr<RunningFrame> RunningFrame::after_get_sms() {
    auto frame = std::make_unique<RunningFrame>();
    if (frame->get_sms() <= 0)
        return nullptr;
    return frame;
}

int end_test_env(std::unique_ptr<MainTestEnv>& env) {
    const int under_wait_cursor = env->boxes_under_wait_cursor();
    env.reset();
    return under_wait_cursor;
}

SmsMessage scene_message(const std::string& number, const std::u16string& text, int64_t unix_time,
                         bool read) {
    SmsMessage m;
    m.set_number_raw(number);
    m.set_text(text);
    m.set_time(filetime_from_unix(unix_time));
    m.set_read(read ? 1 : 0);
    return m;
}

}  // namespace quillet::testing
